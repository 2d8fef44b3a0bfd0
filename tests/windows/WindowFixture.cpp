#include "WindowFixture.h"

#include "app/MessageManager.h"
#include "toolkit/Control.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTableView>

#include <map>
#include <unistd.h>

namespace
{
constexpr int kPollMs = 10;
} // namespace

void WindowScript::RunModal(CModalWindow& window, int iTimeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QObject::connect(&m_timer, &QTimer::timeout, this,
                     [&, iTimeoutMs]
                     {
                         if (m_nNext == m_steps.size())
                             return m_timer.stop();
                         if (elapsed.elapsed() > iTimeoutMs)
                             return window.CloseModal();
                         const auto& [sWhat, condition, action] = m_steps[m_nNext];
                         if (!condition())
                             return;
                         ++m_nNext;
                         if (action)
                             QTimer::singleShot(0, this, action);
                     });
    m_timer.start(kPollMs);
    window.ShowModal();
    m_timer.stop();
    m_timer.disconnect();
    if (m_nNext < m_steps.size())
        ADD_FAILURE() << "the window never came to: " << std::get<0>(m_steps[m_nNext]);
}

void WindowFixture::SetUp()
{
    // The windows remember devices and settings: in a store of the test's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(m_configDir.Path()));
    m_pVirtual = VirtualMidi::Get();
    if (m_pVirtual)
        m_pVirtual->Reset();
    else if (access("/dev/snd/seq", R_OK | W_OK) != 0)
        GTEST_SKIP() << "no ALSA sequencer on this machine; these tests run through alsa-vm";

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

void WindowFixture::TearDown()
{
    if (!m_pApp)
        return;
    EXPECT_EQ(m_driver.Unexpected(), 0) << "a dialog came that the test did not expect";
    EXPECT_EQ(m_driver.Unanswered(), 0) << "a dialog the test expected never came";
    // The application object closes its windows, then the MIDI manager, then the
    // message manager.
    delete m_pApp;
    g_pApplication = m_pSavedApplication;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (m_pVirtual)
        m_pVirtual->Reset();
}

void WindowFixture::Remember(const char* pszIn, const char* pszOut)
{
    snprintf(m_pApp->m_szMidiInDevice, sizeof(m_pApp->m_szMidiInDevice), "%s", pszIn);
    snprintf(m_pApp->m_szMidiOutDevice, sizeof(m_pApp->m_szMidiOutDevice), "%s", pszOut);
}

QWidget* Control(CModalWindow& window, int iID)
{
    return GetControlByID(window.GetWindowRef(), {FourCharCode("QMRK"), iID});
}

QString ControlText(CModalWindow& window, int iID)
{
    QWidget* pControl = Control(window, iID);
    if (auto* pLabel = qobject_cast<QLabel*>(pControl))
        return pLabel->text();
    auto* pButton = qobject_cast<QAbstractButton*>(pControl);
    return pButton ? pButton->text() : QString();
}

bool ControlEnabled(CModalWindow& window, int iID)
{
    QWidget* pControl = Control(window, iID);
    return pControl && pControl->isEnabled();
}

void ClickButton(CModalWindow& window, int iID)
{
    auto* pButton = qobject_cast<QAbstractButton*>(Control(window, iID));
    ASSERT_NE(pButton, nullptr) << "no button " << iID;
    pButton->click();
}

bool IsShown(CModalWindow& window)
{
    return window.GetWindowRef() && window.GetWindowRef()->isVisible();
}

void ExpectMnemonics(QWidget* pWindow)
{
    std::map<QString, QString> mnemonics;
    for (QPushButton* pButton : pWindow->findChildren<QPushButton*>())
    {
        const QString text = pButton->text();
        const qsizetype nAt = text.indexOf(QChar('&'));
        if (!pButton->isVisibleTo(pWindow))
            continue;
        EXPECT_TRUE(nAt >= 0 && nAt + 1 < text.size()) << "no mnemonic: " << text.toStdString();
        const auto [it, bNew] = mnemonics.emplace(text.mid(nAt + 1, 1).toLower(), text);
        EXPECT_TRUE(bNew) << text.toStdString() << " and " << it->second.toStdString();
    }
}

bool DialogUp()
{
    return qobject_cast<QDialog*>(QApplication::activeModalWidget()) != nullptr;
}

void SaveThenClose(WindowScript& script, CModalWindow& window)
{
    script.Then(
        "complete, to save", [] { return true; }, [&window] { ClickButton(window, kReceiveSave); });
    script.Then(
        "saved",
        [&window] {
            return ControlText(window, kReceiveStatus).startsWith(Text("StatusSaved", "")) &&
                   !DialogUp();
        },
        [&window] { ClickButton(window, kReceiveClose); });
}

WindowScript::Condition TransmitShows(CModalWindow& window, const QString& sName, int nSize,
                                      const char* pszSentButton)
{
    return [&window, sName, nSize, pszSentButton]
    {
        const auto* pProgress = qobject_cast<QProgressBar*>(Control(window, kTransmitProgress));
        return ControlText(window, kTransmitStatus) == (pszSentButton
                                                            ? Text("StatusTransmitComplete", nSize)
                                                            : Text("StatusTransmitReady", nSize)) &&
               ControlText(window, kTransmitFileName) == sName &&
               ControlText(window, kTransmitAction) ==
                   Text(pszSentButton ? pszSentButton : "ButtonStart") &&
               (!pszSentButton || pProgress->value() == 100);
    };
}

void StepThrough(WindowScript& script, CModalWindow& window,
                 const std::vector<std::pair<QString, int>>& files)
{
    const auto press = [&window] { ClickButton(window, kTransmitAction); };
    script.Then("ready", TransmitShows(window, files[0].first, files[0].second), press);
    for (size_t i = 0; i < files.size(); ++i)
        script.Then("file " + std::to_string(i + 1) + " sent",
                    TransmitShows(window, files[i].first, files[i].second,
                                  i + 1 < files.size() ? "ButtonNext" : "ButtonClose"),
                    press);
}

QWidget* MessageWindowUp()
{
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        if (pWidget->objectName() == "MessageWindow" && pWidget->isVisible())
            return pWidget;
    return nullptr;
}

void SelectRows(QWidget* pWindow, std::initializer_list<int> rows)
{
    auto* pTable = pWindow->findChild<QTableView*>("messageTable");
    pTable->clearSelection();
    for (int iRow : rows)
        pTable->selectionModel()->select(pTable->model()->index(iRow, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void ClickNamed(QWidget* pWindow, const char* pszButton)
{
    auto* pButton = pWindow->findChild<QAbstractButton*>(pszButton);
    ASSERT_TRUE(pButton && pButton->isEnabled()) << pszButton;
    pButton->click();
}

void PrintTo(const QString& text, std::ostream* pStream)
{
    *pStream << '"' << text.toStdString() << '"';
}
