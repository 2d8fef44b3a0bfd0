#include "TransferWindowFixture.h"

#include "app/MessageManager.h"
#include "toolkit/Control.h"
#include "toolkit/Utility.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QThread>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace
{
constexpr int kPollMs = 10;

QWidget* Control(CModalWindow& window, int iID)
{
    ControlID controlID;
    controlID.signature = FourCharCode("QMRK");
    controlID.id = iID;
    return GetControlByID(window.GetWindowRef(), controlID);
}
// What the window shows, for a failure message.
std::string Describe(CModalWindow& window)
{
    std::string sText;
    if (!window.GetWindowRef())
        return " (the window is gone)";
    for (QLabel* pLabel : window.GetWindowRef()->findChildren<QLabel*>())
        sText += " [" + pLabel->text().toStdString() + "]";
    for (QAbstractButton* pButton : window.GetWindowRef()->findChildren<QAbstractButton*>())
        sText += " <" + pButton->text().toStdString() + (pButton->isEnabled() ? ">" : " disabled>");
    return sText;
}
} // namespace

void WindowScript::Then(const std::string& sWhat, const Condition& condition, const Action& action)
{
    m_steps.push_back({sWhat, condition, action});
}

void WindowScript::RunModal(CModalWindow& window, int iTimeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QObject::connect(&m_timer, &QTimer::timeout, this,
                     [&, iTimeoutMs]
                     {
                         if (elapsed.elapsed() <= iTimeoutMs)
                         {
                             Poll();
                             return;
                         }
                         m_timer.stop();
                         ADD_FAILURE() << "the window never came to: " << m_steps[m_nNext].sWhat
                                       << Describe(window);
                         window.CloseModal();
                     });
    m_timer.start(kPollMs);
    window.ShowModal();
    m_timer.stop();
    m_timer.disconnect();
}

void WindowScript::Poll()
{
    if (Finished())
    {
        m_timer.stop();
        return;
    }
    tagStep& step = m_steps[m_nNext];
    if (!step.condition())
        return;
    ++m_nNext;
    QTimer::singleShot(0, this, step.action);
}

void TransferWindowFixture::SetUp()
{
    // The transmit window remembers device settings: in a store of the test's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(m_configDir.Path()));
    setenv("QUILLMARK_MIDI", "virtual", 0);
    m_pVirtual = VirtualMidi::Get();
    ASSERT_NE(m_pVirtual, nullptr) << "the tests need the virtual MIDI back end";
    m_pVirtual->Reset();

    m_pSavedApplication = g_pApplication;
    m_pApp = new CApplication;
    g_pApplication = m_pApp;
    m_pApp->m_pMessageManager = new CMessageManager;
    ASSERT_EQ(m_pApp->m_pMessageManager->Create(), 1);
    m_pManager = new CMidiManager;
    m_pManager->Attach(m_pApp->m_pMessageManager, m_pApp->m_szMidiInDevice,
                       m_pApp->m_szMidiOutDevice);
    m_pApp->m_pMidiManager = m_pManager;
    ASSERT_EQ(m_pManager->Create(), 1);
}

void TransferWindowFixture::TearDown()
{
    EXPECT_EQ(m_driver.Unexpected(), 0) << "a dialog came that the test did not expect";
    EXPECT_EQ(m_driver.Unanswered(), 0) << "a dialog the test expected never came";
    // The application object releases the MIDI manager, then the message manager.
    delete m_pApp;
    g_pApplication = m_pSavedApplication;
    if (m_pVirtual)
        m_pVirtual->Reset();
}

QString TransferWindowFixture::Text(const char* pszKey)
{
    return QString::fromUtf8(GetResourceString(pszKey));
}

QString TransferWindowFixture::Text(const char* pszKey, int iValue)
{
    char szText[256];
    snprintf(szText, sizeof(szText), GetResourceString(pszKey), iValue);
    return QString::fromUtf8(szText);
}

QString TransferWindowFixture::Text(const char* pszKey, int iValue1, int iValue2)
{
    char szText[256];
    snprintf(szText, sizeof(szText), GetResourceString(pszKey), iValue1, iValue2);
    return QString::fromUtf8(szText);
}

QString ControlText(CModalWindow& window, int iID)
{
    QWidget* pControl = Control(window, iID);
    if (auto* pLabel = qobject_cast<QLabel*>(pControl))
        return pLabel->text();
    if (auto* pButton = qobject_cast<QAbstractButton*>(pControl))
        return pButton->text();
    return QString();
}

bool ControlEnabled(CModalWindow& window, int iID)
{
    QWidget* pControl = Control(window, iID);
    return pControl && pControl->isEnabled();
}

int ProgressValue(CModalWindow& window, int iID)
{
    auto* pBar = qobject_cast<QProgressBar*>(Control(window, iID));
    return pBar ? pBar->value() : -1;
}

void ClickButton(CModalWindow& window, int iID)
{
    auto* pButton = qobject_cast<QAbstractButton*>(Control(window, iID));
    ASSERT_NE(pButton, nullptr) << "no button " << iID;
    pButton->click();
}

void CloseBox(CModalWindow& window)
{
    ASSERT_NE(window.GetWindowRef(), nullptr);
    window.GetWindowRef()->close();
}

bool IsShown(CModalWindow& window)
{
    return window.GetWindowRef() && window.GetWindowRef()->isVisible();
}

void ExpectMnemonics(QWidget* pWindow)
{
    std::map<QChar, QString> mnemonics;
    for (QPushButton* pButton : pWindow->findChildren<QPushButton*>())
    {
        if (!pButton->isVisibleTo(pWindow))
            continue;
        const QString text = pButton->text();
        const qsizetype nAt = text.indexOf(QChar('&'));
        if (nAt < 0 || nAt + 1 >= text.size())
        {
            ADD_FAILURE() << "no mnemonic: " << text.toStdString();
            continue;
        }
        const auto [it, bNew] = mnemonics.emplace(text[nAt + 1].toLower(), text);
        EXPECT_TRUE(bNew) << text.toStdString() << " and " << it->second.toStdString();
    }
}

bool DialogUp()
{
    return qobject_cast<QDialog*>(QApplication::activeModalWidget()) != nullptr;
}

void ChooseInFileDialog(QWidget* pDialog, const std::string& sPath, bool bUnchecked)
{
    auto* pFileDialog = qobject_cast<QFileDialog*>(pDialog);
    ASSERT_NE(pFileDialog, nullptr);
    const QFileInfo file(QString::fromStdString(sPath));
    pFileDialog->setDirectory(file.absolutePath());
    if (auto* pNameField = pFileDialog->findChild<QLineEdit*>("fileNameEdit"))
        pNameField->setText(file.fileName());
    else
        pFileDialog->selectFile(file.absoluteFilePath());
    if (bUnchecked)
        static_cast<QDialog*>(pFileDialog)->done(QDialog::Accepted);
    else
        static_cast<QDialog*>(pFileDialog)->accept();
}

void PrintTo(const DialogDriver::tagSeen& seen, std::ostream* pStream)
{
    *pStream << seen.className.toStdString() << " '" << seen.title.toStdString() << "' "
             << seen.text.toStdString();
}

void PrintTo(const QString& text, std::ostream* pStream)
{
    *pStream << '"' << text.toStdString() << '"';
}
