#include "WindowFixture.h"

#include "app/TransmitPreferences.h"
#include "support/MidiFileBuilder.h"
#include "toolkit/Control.h"
#include "windows/TransmitWindow.h"

#include <QMessageBox>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{
const char* const kDestinationName = "Synth Co - Port 1";
constexpr int kPause = 8;
constexpr int kSpeed = 9;
constexpr int kPaceAll = 10;
constexpr int kFilePause = 11;
constexpr int kSendAll = 12;
constexpr int kRemainingText = 13;
constexpr int kFilePauseRow = 14;
constexpr int kMessagesButton = 15;
constexpr int kFileTiming = 16;
constexpr int kCloseButton = 17;

// How the window names a file of a list.
QString Named(int nNumber, int nCount, const char* pszName)
{
    return Text("FileOfNamedList", "list.msy", nNumber, nCount, pszName);
}

class TransmitWindowTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        if (!SetUpPassed())
            return;
        m_hDestination = m_pVirtual->AddDestination("Synth Co", "Port 1");
        m_pVirtual->WaitIdle();
        ASSERT_EQ(m_pManager->MidiOutOpenByName(kDestinationName), 1);
        NewWindow();
    }

    void TearDown() override
    {
        if (m_pWindow)
            m_pWindow->Destroy();
        m_pWindow.reset();
        EXPECT_EQ(OpenFiles(), 0) << "the window closes every file it opened";
        WindowFixture::TearDown();
    }

    void NewWindow()
    {
        m_pWindow = std::make_unique<CTransmitWindow>();
        ASSERT_EQ(m_pWindow->Create(nullptr), 1);
    }

    // How many descriptors of this process are open on files of the test's folder.
    int OpenFiles() const
    {
        int nCount = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        {
            std::error_code error;
            nCount += std::filesystem::read_symlink(entry.path(), error)
                          .string()
                          .rfind(m_dir.Path(), 0) == 0;
        }
        return nCount;
    }

    // Chooses the file in the open dialog that showing the window brings up.
    void Choose(const std::string& sPath) { m_driver.ChooseFile(QString::fromStdString(sPath)); }
    // Writes the files a.syx, b.syx, ... and chooses a list of them in their order.
    void ChooseList(const std::vector<Bytes>& files)
    {
        std::string sList = "[MultiSysEx]\n";
        for (size_t i = 0; i < files.size(); ++i)
        {
            const std::string sName = std::string(1, char('a' + i)) + ".syx";
            m_dir.Write(sName, files[i]);
            sList += std::to_string(i + 1) + "=" + sName + "\n";
        }
        Choose(m_dir.Write("list.msy", sList));
    }

    WindowScript::Condition At(const QString& sName, int nSize, const char* pszSent = nullptr)
    {
        return TransmitShows(*m_pWindow, sName, nSize, pszSent);
    }
    QString Shows(int iID) { return ControlText(*m_pWindow, iID); }
    void Press() { ClickButton(*m_pWindow, kTransmitAction); }
    Bytes Captured() const { return m_pVirtual->Captured(m_hDestination); }
    int Value(int iID) { return GetControlValue(Control(*m_pWindow, iID)); }
    void SetValue(int iID, int iValue)
    {
        SetControlValue(Control(*m_pWindow, iID), int16_t(iValue));
    }
    bool Visible(int iID) { return Control(*m_pWindow, iID)->isVisible(); }

    MIDIEndpointRef m_hDestination = 0;
    std::unique_ptr<CTransmitWindow> m_pWindow;
};
} // namespace

// The close button cancels while a file of a list goes out: the window closes after the
// block in flight, and no more is sent.
TEST_F(TransmitWindowTest, CancelDuringAFileClosesTheWindowAndSendsNoMore)
{
    const std::vector<Bytes> files = {SysEx(100, 1), SysEx(600, 2)};
    ChooseList(files);
    WindowScript script;
    script.Then("ready", At(Named(1, 2, "a.syx"), 100), [&] { Press(); });
    script.Then("the first sent", At(Named(1, 2, "a.syx"), 100, "ButtonNext"),
                [&]
                {
                    // The next file starts with its first block held in flight.
                    m_pVirtual->HoldCompletions(true);
                    Press();
                });
    script.Then(
        "the next going out",
        [&]
        {
            return m_pVirtual->HeldCompletions() == 1 &&
                   Shows(kCloseButton) == Text("ButtonCancel") &&
                   Shows(kTransmitFileName) == Named(2, 2, "b.syx");
        },
        [&]
        {
            ClickButton(*m_pWindow, kCloseButton);
            m_pVirtual->HoldCompletions(false);
        });
    script.RunModal(*m_pWindow);

    EXPECT_EQ(Captured(), Join({files[0], Bytes(files[1].begin(), files[1].begin() + 256)}));
}

// Each file that cannot be sent is told by name and reason before anything goes out, and
// the window does not stay; so is a file without its F7 unless the user agrees to send it.
TEST_F(TransmitWindowTest, ARefusedFileIsNamedWithTheReasonAndNothingIsSent)
{
    const Bytes noSysEx = MidiFileBuilder::File(
        0, 96, {MidiFileBuilder::Track({MidiFileBuilder::Event(0, {0x90, 0x3C, 0x40})})});
    const struct
    {
        const char* pszChosen; // written into the folder, or a folder made there
        std::string contents;
        const char* pszReasonKey;
        int nReasonNumber;
        const char* pszMessageKey = "FileCannotBeSent";
        const char* pszNamed = nullptr; // the file the message names, if not the chosen one
        const char* pszDefault = "OK";  // the key of the default button
    } cases[] = {
        {"empty.syx", "", "ReasonEmpty", 0},
        {"folder.syx", "<folder>", "ReasonIsFolder", 0},
        {"none.msy", "[MultiSysEx]\n", "ReasonListNoEntries", 0},
        {"twice.msy", "[MultiSysEx]\n1=a.syx\n1=a.syx\n", "ReasonListRepeatedNumber", 1},
        {"cut.msy", "[MultiSysEx]\n1=a.syx\n2=" + std::string(300, 'n') + "\n",
         "ReasonListNameTooLong", 2},
        {"text.msy", "[MultiSysEx]\n1=a.syx\n5=text.syx\n", "ReasonNotSysEx", 5,
         "ListedFileCannotBeSent", "text.syx"},
        {"bad.mid", std::string(noSysEx.begin(), noSysEx.end()), "MidiFileNoSysEx", 0,
         "Can't Read Midi File"},
        {"open.syx", "\xF0\x41\x10\x20", "FileUnterminatedQuestion", 0, "FileUnterminated", nullptr,
         "ButtonSendAnyway"},
    };
    m_dir.Write("a.syx", SysEx(30, 1));
    m_dir.Write("text.syx", "just some text\n");
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        const auto& refused = cases[i];
        SCOPED_TRACE(refused.pszChosen);
        const std::string sChosen = m_dir.File(refused.pszChosen);
        if (refused.contents == "<folder>")
            std::filesystem::create_directory(sChosen);
        else
            m_dir.Write(refused.pszChosen, refused.contents);
        // Accepted past the dialog's own checks of the name, as if the file system had
        // changed between the choice and its use.
        m_driver.Do(
            [sChosen](QWidget* pDialog)
            {
                DialogDriver::SelectFile(qobject_cast<QFileDialog*>(pDialog),
                                         QString::fromStdString(sChosen));
                static_cast<QDialog*>(pDialog)->done(QDialog::Accepted);
            });
        m_driver.PressButton(QMessageBox::Ok);
        if (i > 0)
            NewWindow();
        WindowScript().RunModal(*m_pWindow);

        ASSERT_EQ(m_driver.Seen().size(), 2 * i + 2);
        const DialogDriver::tagSeen& alert = m_driver.Seen().back();
        EXPECT_EQ(alert.text, Text(refused.pszMessageKey,
                                   refused.pszNamed ? refused.pszNamed : refused.pszChosen,
                                   refused.nReasonNumber, refused.pszChosen));
        EXPECT_EQ(alert.informativeText, Text(refused.pszReasonKey, refused.nReasonNumber));
        EXPECT_EQ(alert.defaultButton, Text(refused.pszDefault).remove(QChar('&')));
        EXPECT_EQ(m_pWindow->GetWindowRef(), nullptr) << "the window does not stay";
        EXPECT_TRUE(Captured().empty());
        EXPECT_EQ(OpenFiles(), 0);
    }
}

// Messages chosen in the message window go out alone; Start then sends the whole file,
// with the pacing remembered for the device shown and what the user set stored for it.
TEST_F(TransmitWindowTest, SendsTheSelectedMessagesThenTheFileAsTheUserPacedIt)
{
    const tagTransmitSettings remembered{
        .iPauseMs = 20, .iBytesPerSecond = 1000, .iPacing = tagTransmitSettings::kPacingAtSpeed};
    ASSERT_EQ(CTransmitPreferences::WriteDeviceSettings(kDestinationName, remembered), 1);
    const Bytes file = Join({SysEx(20, 1), SysEx(30, 2), SysEx(40, 3)});
    const Bytes selection(file.begin() + 20, file.end());
    Choose(m_dir.Write("bank.syx", file));
    const tagTransmitSettings chosen{.iPauseMs = 5};
    WindowScript script;
    script.Then("ready", At("bank.syx", int(file.size())),
                [&]
                {
                    EXPECT_EQ((std::vector{Value(kPause), Value(kSpeed), Value(kPaceAll)}),
                              (std::vector{20, 1000, 1}));
                    EXPECT_FALSE(Visible(kSendAll)) << "a single file has no Send All";
                    EXPECT_FALSE(Visible(kFilePauseRow));
                    EXPECT_FALSE(Visible(kFileTiming)) << "only a MIDI file has a timing";
                    ClickButton(*m_pWindow, kMessagesButton);
                });
    script.Then(
        "the messages shown", [] { return MessageWindowUp() != nullptr; },
        [&]
        {
            SelectRows(MessageWindowUp(), {1, 2});
            ClickNamed(MessageWindowUp(), "sendSelectedButton");
        });
    script.Then(
        "the selection sent",
        [&]
        {
            return Shows(kTransmitStatus) ==
                       Text("StatusTransmitComplete", int(selection.size())) &&
                   Shows(kTransmitAction) == Text("ButtonStart");
        },
        [&]
        {
            EXPECT_EQ(Captured(), selection);
            SetValue(kPause, chosen.iPauseMs);
            SetValue(kSpeed, chosen.iBytesPerSecond);
            SetValue(kPaceAll, 0);
            Press();
        });
    script.Then("the whole file sent", At("bank.syx", int(file.size()), "ButtonClose"),
                [&]
                {
                    EXPECT_EQ(Shows(kRemainingText), "00:00");
                    Press();
                });
    script.RunModal(*m_pWindow);

    EXPECT_EQ(Captured(), Join({selection, file}));
    EXPECT_EQ(m_pManager->GetTransmitSettings(), chosen);
    EXPECT_EQ(CTransmitPreferences::ReadDeviceSettings(kDestinationName), chosen);
    // A software port with software pacing left off goes unpaced.
    EXPECT_EQ(m_pVirtual->LastSendPacing(m_hDestination), 0);
}

// A start that cannot begin (the output gone) and a send the back end refuses each leave
// the window ready to start the same file again. Send All then sends the rest of the list
// with the pause between files, the last without its F7 as the user agreed.
TEST_F(TransmitWindowTest, AFailedSendCanBeStartedAgainAndSendAllSendsTheRest)
{
    const Bytes first = SysEx(300, 1), second = SysEx(100, 2);
    Bytes third = SysEx(50, 3);
    third.pop_back();
    ChooseList({first, second, third});
    m_driver.PressButtonWithText(Text("ButtonSendAnyway").remove(QChar('&')));
    const auto failed = [this]
    {
        return Shows(kTransmitStatus) == Text("StatusTransmitError") &&
               Shows(kTransmitAction) == Text("ButtonStart") &&
               ControlEnabled(*m_pWindow, kTransmitAction);
    };
    WindowScript script;
    script.Then("ready", At(Named(1, 3, "a.syx"), 300),
                [&]
                {
                    // Nothing can be sent, and nothing is posted.
                    m_pManager->MidiOutClose();
                    Press();
                });
    script.Then("the send that cannot start", failed,
                [&]
                {
                    ASSERT_EQ(m_pManager->MidiOutOpenByName(kDestinationName), 1);
                    m_pVirtual->FailNextSend(kMIDIMsgSendErr);
                    Press();
                });
    script.Then("the refused send", failed,
                [&]
                {
                    EXPECT_TRUE(Captured().empty());
                    Press();
                });
    script.Then("the first sent", At(Named(1, 3, "a.syx"), 300, "ButtonNext"),
                [&]
                {
                    EXPECT_TRUE(Visible(kSendAll));
                    // Every button can be pressed from the keyboard, each by a letter of its own.
                    ExpectMnemonics(m_pWindow->GetWindowRef());
                    EXPECT_EQ(Value(kFilePause), 500) << "the default pause between files";
                    SetValue(kFilePause, 300);
                    ClickButton(*m_pWindow, kSendAll);
                });
    // All sent: Escape closes.
    script.Then("the rest sent", At(Named(3, 3, "c.syx"), 49, "ButtonClose"),
                [&] { QTest::keyClick(m_pWindow->GetWindowRef(), Qt::Key_Escape); });
    script.RunModal(*m_pWindow);

    EXPECT_EQ(Captured(), Join({first, second, third}));
    EXPECT_EQ(CTransmitPreferences::ReadFilePauseMs(), 300);
}
