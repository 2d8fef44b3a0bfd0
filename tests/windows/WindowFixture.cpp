#include "WindowFixture.h"

#include "app/MessageManager.h"
#include "toolkit/Control.h"
#include "toolkit/Utility.h"

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
#include <QWidget>

#include <cstdio>
#include <map>
#include <unistd.h>

namespace
{
constexpr int kPollMs = 10;
// The ids of the controls in the receive and transmit windows' layouts.
constexpr int kReceiveStatus = 2;
constexpr int kReceiveClose = 5;
constexpr int kReceiveSave = 6;
constexpr int kTransmitFileName = 1;
constexpr int kTransmitStatus = 3;
constexpr int kTransmitProgress = 6;
constexpr int kTransmitAction = 7;

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
                         ADD_FAILURE() << "the window never came to: " << m_steps[m_nNext].sWhat;
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
    if (auto* pButton = qobject_cast<QAbstractButton*>(pControl))
        return pButton->text();
    return QString();
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

WindowScript::Condition TransmitReady(CModalWindow& window, const QString& sName, int nSize)
{
    return [&window, sName, nSize]
    {
        return ControlText(window, kTransmitStatus) == Text("StatusTransmitReady", nSize) &&
               ControlText(window, kTransmitFileName) == sName &&
               ControlText(window, kTransmitAction) == Text("ButtonStart");
    };
}

WindowScript::Condition TransmitSent(CModalWindow& window, const QString& sName, int nSize,
                                     const char* pszButton)
{
    return [&window, sName, nSize, pszButton]
    {
        return ControlText(window, kTransmitStatus) == Text("StatusTransmitComplete", nSize) &&
               ControlText(window, kTransmitFileName) == sName &&
               ControlText(window, kTransmitAction) == Text(pszButton) &&
               qobject_cast<QProgressBar*>(Control(window, kTransmitProgress))->value() == 100;
    };
}

void StepThrough(WindowScript& script, CModalWindow& window,
                 const std::vector<std::pair<QString, int>>& files)
{
    const auto press = [&window] { ClickButton(window, kTransmitAction); };
    script.Then("ready", TransmitReady(window, files[0].first, files[0].second), press);
    for (size_t i = 0; i < files.size(); ++i)
        script.Then("file " + std::to_string(i + 1) + " sent",
                    TransmitSent(window, files[i].first, files[i].second,
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
    QTableView* pTable = pWindow ? pWindow->findChild<QTableView*>("messageTable") : nullptr;
    ASSERT_NE(pTable, nullptr);
    pTable->clearSelection();
    for (int iRow : rows)
        pTable->selectionModel()->select(pTable->model()->index(iRow, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void ClickNamed(QWidget* pWindow, const char* pszButton)
{
    auto* pButton = pWindow ? pWindow->findChild<QAbstractButton*>(pszButton) : nullptr;
    ASSERT_NE(pButton, nullptr) << pszButton;
    ASSERT_TRUE(pButton->isEnabled()) << pszButton;
    pButton->click();
}

Bytes Joined(const std::vector<Bytes>& parts)
{
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

Bytes SysEx(size_t nLength, uint8_t ucSeed)
{
    Bytes bytes{0xF0};
    while (bytes.size() < nLength - 1)
        bytes.push_back(uint8_t((ucSeed + bytes.size()) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
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
