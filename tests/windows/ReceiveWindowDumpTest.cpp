#include "WindowFixture.h"

#include "app/ReceivePreferences.h"
#include "toolkit/Control.h"
#include "windows/ReceiveWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace
{
using namespace ReceiveWindowIds;
constexpr int kModePopup = 7;
constexpr int kRequestText = 10;
constexpr int kRequestButton = 12;
constexpr int kRequestNote = 13;
constexpr int kDumpNote = 14;
constexpr int kStopButton = 15;
constexpr int kMessagesButton = 16;

const char* const kInstrument = "Quillmark Virtual Instrument - Port 1";

Bytes Message(uint8_t ucId, int nData)
{
    Bytes message{0xF0, 0x41, ucId};
    for (int i = 0; i < nData; ++i)
        message.push_back(uint8_t((ucId * 3 + i) & 0x7F));
    message.push_back(0xF7);
    return message;
}

// The receive window on the virtual instrument, set to record whole dumps.
class ReceiveWindowDump : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        if (!SetUpPassed())
            return;
        m_hSource = m_pVirtual->AddInstrument();
        m_pVirtual->WaitIdle();
        ASSERT_EQ(m_pManager->MidiInOpenByName(kInstrument), 1);
        m_prefs.bAllMessages = 1;
    }

    void TearDown() override
    {
        m_window.Destroy();
        WindowFixture::TearDown();
    }

    void Show(WindowScript& script)
    {
        ASSERT_EQ(m_prefs.Write(), 1);
        ASSERT_EQ(m_window.Create(nullptr), 1);
        script.RunModal(m_window);
        EXPECT_TRUE(script.Finished());
    }

    // The recording ended and showed its counts.
    void EndedWith(WindowScript& script, int iMessages, int iBytes)
    {
        script.Then("the recording ended with its counts",
                    [&, iMessages, iBytes] {
                        return ControlText(m_window, kStatusText) ==
                               Text("StatusDumpComplete", iMessages, iBytes);
                    });
    }

    void SaveTo(WindowScript& script, const std::string& sPath)
    {
        m_driver.ChooseFile(QString::fromStdString(sPath));
        script.Then("Save enabled", [&] { return ControlEnabled(m_window, kSaveButton); });
        SaveThenClose(script, m_window);
    }

    MIDIEndpointRef m_hSource = 0;
    tagReceivePreferences m_prefs;
    CReceiveWindow m_window;
};

} // namespace

// A message broken by a status byte, and one cut by the stop, are left out and said so;
// every complete message is saved.
TEST_F(ReceiveWindowDump, StopsThenSavesEveryCompleteMessageAndSaysWhatWasLeftOut)
{
    const std::vector<Bytes> kept = {Message(1, 40), Message(3, 40), Message(4, 300)};
    const std::string sPath = m_dir.File("bank.syx");
    WindowScript script;
    script.Then(
        "shown, recording",
        [&] { return IsShown(m_window) && ControlEnabled(m_window, kStopButton); },
        [&]
        {
            EXPECT_FALSE(ControlEnabled(m_window, kSaveButton));
            m_pVirtual->Inject(m_hSource, {kept[0], {0xF0, 0x41, 0x02, 0x90}, kept[1], kept[2],
                                           {0xF0, 0x41}});
        });
    script.Then(
        "the messages counted",
        [&]
        {
            return ControlText(m_window, kStatusText)
                .startsWith(Text("StatusDumpReceiving", 3).section(',', 0, 0));
        },
        [&]
        {
            EXPECT_FALSE(ControlEnabled(m_window, kModePopup)) << "bytes came: no change now";
            ClickButton(m_window, kStopButton);
        });
    EndedWith(script, 3, int(Joined(kept).size()));
    script.Then("the note", [&] {
        return ControlText(m_window, kDumpNote) ==
               Text("DumpInterruptedOne") + ". " + Text("DumpIncompleteAtStop");
    });
    SaveTo(script, sPath);
    Show(script);
    EXPECT_EQ(TempDir::Read(sPath), Joined(kept));
}

// Silence ends the recording; a bad sum is told, and the messages can be looked at and
// saved from the message window, in the order of the dump.
TEST_F(ReceiveWindowDump, SilenceEndsTheRecordingAndTheMessagesCanBeSavedFromTheirWindow)
{
    m_prefs.bIdleStop = 1;
    m_prefs.iIdleSeconds = 1;
    const Bytes rolandBadSum = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x40, 0xF7};
    const std::vector<Bytes> messages = {Message(1, 100), rolandBadSum};
    const int iBytes = int(Joined(messages).size());
    WindowScript script;
    script.Then(
        "shown", [&] { return IsShown(m_window) && !ControlEnabled(m_window, kMessagesButton); },
        [&] { m_pVirtual->Inject(m_hSource, messages); });
    script.Then(
        "the bad sum told",
        [&] {
            return ControlText(m_window, kStatusText) ==
                   Text("StatusReceiveCompleteBad", iBytes, 1);
        },
        [&]
        {
            EXPECT_TRUE(ControlText(m_window, kDumpNote).isEmpty()) << "nothing left out";
            ClickButton(m_window, kMessagesButton);
        });
    // The messages, all selected, saved from the message window.
    const std::string sPath = m_dir.File("idle.syx");
    script.Then(
        "the messages shown", [] { return MessageWindowUp() != nullptr; },
        [&]
        {
            QWidget* pWindow = MessageWindowUp();
            EXPECT_EQ(pWindow->findChild<QLabel*>("summaryText")->text(),
                      Text("MessageSummary", 2, iBytes, 0, 1));
            EXPECT_FALSE(pWindow->findChild<QAbstractButton*>("sendSelectedButton")->isVisible());
            SelectRows(MessageWindowUp(), {1, 0});
            m_driver.ChooseFile(QString::fromStdString(sPath));
            ClickNamed(MessageWindowUp(), "saveSelectedButton");
        });
    script.Then(
        "saved", [&] { return TempDir::Read(sPath).size() == size_t(iBytes) && !DialogUp(); },
        [&] { ClickNamed(MessageWindowUp(), "closeButton"); });
    // That was not the dump saved: closing asks.
    script.Then(
        "back in the receive window", [] { return MessageWindowUp() == nullptr; },
        [&]
        {
            m_driver.PressButton(QMessageBox::Discard);
            ClickButton(m_window, kCancelButton);
        });
    Show(script);
    EXPECT_EQ(TempDir::Read(sPath), Joined(messages));
}

TEST_F(ReceiveWindowDump, RequestToTheInstrumentThenItsBankIsRecordedAndTheRequestRemembered)
{
    snprintf(m_pApp->m_szMidiOutDevice, sizeof(m_pApp->m_szMidiOutDevice), "%s", kInstrument);
    m_prefs.bIdleStop = 1;
    m_prefs.iIdleSeconds = 1;
    m_prefs.sRequestHex = "F0 01 F7";
    const std::string sPath = m_dir.File("bank.syx");
    const auto request = [&](const char* pszTyped)
    {
        qobject_cast<QLineEdit*>(Control(m_window, kRequestText))->setText(pszTyped);
        ClickButton(m_window, kRequestButton);
    };
    WindowScript script;
    script.Then(
        "shown", [&] { return IsShown(m_window) && ControlEnabled(m_window, kRequestButton); },
        [&] { request("F0 43 2X F7"); });
    // An invalid request is explained and neither sent nor kept.
    script.Then(
        "the request not hex",
        [&] { return ControlText(m_window, kRequestNote) == Text("RequestNotHex", 8); },
        [&]
                {
                    EXPECT_TRUE(m_pVirtual->Captured(m_hSource + 1).empty());
                    EXPECT_EQ(tagReceivePreferences::Read().sRequestHex, "F0 01 F7");
                    // Typed without spaces, in lower case.
                    request("f07d514d02f7");
                });
    const Bytes bank = VirtualMidi::InstrumentBank();
    EndedWith(script, VirtualMidi::sm_nBankMessages, int(bank.size()));
    SaveTo(script, sPath);
    Show(script);
    EXPECT_EQ(TempDir::Read(sPath), bank);
    EXPECT_EQ(tagReceivePreferences::Read().sRequestHex, "F0 7D 51 4D 02 F7");
}

TEST_F(ReceiveWindowDump, WithoutAnOutputTheRequestSaysWhyAndTheModeChoiceIsRemembered)
{
    m_pApp->m_szMidiOutDevice[0] = '\0';
    m_prefs.bAllMessages = 0;
    WindowScript script;
    script.Then(
        "shown", [&] { return IsShown(m_window); },
        [&]
        {
            EXPECT_EQ(ControlText(m_window, kRequestNote), Text("RequestNoOutput"));
            EXPECT_FALSE(ControlEnabled(m_window, kRequestButton));
            EXPECT_FALSE(Control(m_window, kStopButton)->isVisibleTo(m_window.GetWindowRef()))
                << "one message needs no Stop";
            auto* pPopup = qobject_cast<QComboBox*>(Control(m_window, kModePopup));
            pPopup->setCurrentIndex(1);
            emit pPopup->activated(1);
        });
    script.Then(
        "recording a whole dump", [&] { return ControlEnabled(m_window, kStopButton); },
        [&]
        {
            // A message now counts as part of a dump, not as the one message.
            m_pVirtual->Inject(m_hSource, {Message(1, 5)});
        });
    script.Then(
        "counted as a dump",
        [&]
        {
            return ControlText(m_window, kStatusText)
                .startsWith(Text("StatusDumpReceiving", 1).section(',', 0, 0));
        },
        [&] { ClickButton(m_window, kStopButton); });
    m_driver.PressButton(QMessageBox::Discard);
    script.Then(
        "stopped", [&] { return !ControlEnabled(m_window, kStopButton); },
        [&] { ClickButton(m_window, kCancelButton); });
    Show(script);
    EXPECT_EQ(tagReceivePreferences::Read().bAllMessages, 1);
}
