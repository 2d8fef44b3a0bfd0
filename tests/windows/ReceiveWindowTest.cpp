#include "WindowFixture.h"

#include "app/ReceivePreferences.h"
#include "file/MidiFileReader.h"
#include "file/SysExDump.h"
#include "toolkit/Control.h"
#include "windows/ReceiveWindow.h"
#include "windows/SysExMessageModel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include <filesystem>
#include <functional>

namespace
{
constexpr int kModePopup = 7;
constexpr int kRequestText = 10;
constexpr int kRequestButton = 12;
constexpr int kRequestNote = 13;
constexpr int kDumpNote = 14;
constexpr int kStopButton = 15;
constexpr int kMessagesButton = 16;

const char* const kInstrument = "Quillmark Virtual Instrument - Port 1";
// A GS reset with its sum right, and wrong: a BAD one changes the status.
const Bytes kDump = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
const Bytes kDumpBad = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x40, 0xF7};

// The receive window on the virtual instrument, with the choices in m_prefs (one message
// unless a test sets whole dumps).
class ReceiveWindowTest : public WindowFixture
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
        // The message manager passes reception progress at most every 200 ms, counted
        // from its creation too.
        PumpFor(220);
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
    }

    QString Status() { return ControlText(m_window, kReceiveStatus); }
    QString Complete() const { return Text("StatusReceiveComplete", int(kDump.size())); }

    MIDIEndpointRef m_hSource = 0;
    tagReceivePreferences m_prefs;
    CReceiveWindow m_window;
};
} // namespace

// Closing (Escape too) with an unsaved dump asks; Cancel, a cancelled or failed save (named, with
// the reason) keep the window. A name without extension saves as the type chosen (.syx, .mid);
// exactly F0..F7 of the first message is kept, and the window receives once.
TEST_F(ReceiveWindowTest, ClosingWithAnUnsavedDumpAsksFirstThenSavesAsTheTypeChosen)
{
    const std::string sFolder = m_dir.File("Taken.syx");
    std::filesystem::create_directory(sFolder);
    m_driver.PressButton(QMessageBox::Cancel);
    m_driver.PressButton(QMessageBox::Save);
    m_driver.Cancel();
    m_driver.PressButton(QMessageBox::Save);
    // The whole path typed into the dialog's name field.
    m_driver.Do(
        [sFolder](QWidget* pDialog)
        {
            auto* pNameField = pDialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(pNameField, nullptr);
            pNameField->setText(QString::fromStdString(sFolder));
            static_cast<QDialog*>(pDialog)->done(QDialog::Accepted);
        });
    m_driver.PressButton(QMessageBox::Ok);
    m_driver.PressButton(QMessageBox::Save);
    QStringList offered;
    m_driver.Do(
        [&](QWidget* pDialog)
        {
            auto* pFileDialog = qobject_cast<QFileDialog*>(pDialog);
            offered = pFileDialog->nameFilters();
            pFileDialog->selectNameFilter(Text("Midi Files"));
            DialogDriver::SelectFile(pFileDialog, QString::fromStdString(m_dir.File("dump")));
            static_cast<QDialog*>(pFileDialog)->accept();
        });

    WindowScript script;
    script.Then(
        "shown, with Save disabled",
        [&] { return IsShown(m_window) && !ControlEnabled(m_window, kReceiveSave); },
        [&] {
            m_pVirtual->Inject(m_hSource, {{0x90, 0x3C, 0x40}, kDump, {0xF0, 0x01, 0xF7}});
        });
    script.Then(
        "the dump complete", [&] { return Status() == Complete(); },
        [&]
        {
            EXPECT_EQ(ControlText(m_window, kReceiveClose), Text("ButtonClose"));
            ExpectMnemonics(m_window.GetWindowRef());
            QTest::keyClick(m_window.GetWindowRef(), Qt::Key_Escape);
        });
    for (size_t nAnswered : {1u, 3u, 6u})
        script.Then(
            std::to_string(nAnswered) + " dialogs answered, the window still open",
            [&, nAnswered]
            { return m_driver.Seen().size() == nAnswered && !DialogUp() && IsShown(m_window); },
            [&, nAnswered]
            {
                EXPECT_EQ(Status(), Complete());
                if (nAnswered < 6)
                    ClickButton(m_window, kReceiveClose);
                else
                    m_window.GetWindowRef()->close();
            });
    Show(script);
    EXPECT_FALSE(m_window.OnShow());

    ASSERT_EQ(m_driver.Seen().size(), 8u);
    EXPECT_EQ(m_driver.Seen()[0].text, Text("Save Received Dump"));
    EXPECT_EQ(m_driver.Seen()[5].text, Text("SaveFailed", "Taken.syx"));
    EXPECT_EQ(m_driver.Seen()[5].informativeText, Text("ReasonIsFolder"));
    EXPECT_EQ(m_driver.Seen()[5].icon, QMessageBox::Critical);
    EXPECT_TRUE(std::filesystem::is_directory(sFolder));
    EXPECT_EQ(offered, (QStringList{Text("SysEx Files"), Text("Midi Files")}));
    const Bytes written = TempDir::Read(m_dir.File("dump.mid"));
    CMidiFileReader reader;
    ASSERT_EQ(reader.Read(written.data(), written.size()), 1);
    ASSERT_EQ(reader.Messages().size(), 1u);
    EXPECT_EQ(reader.Messages()[0].aucData, kDump);
}

// A status byte inside the message, data lost on the way, MIDI IN gone: each says so.
// None of these leaves anything to save: closing asks nothing.
TEST_F(ReceiveWindowTest, AnUnfinishedDumpLeavesNothingToSaveAndClosesWithoutAsking)
{
    const std::pair<QString, std::function<void()>> cases[] = {
        {Text("StatusReceiveError"),
         [&] {
             m_pVirtual->Inject(m_hSource, {{0x90, 0x3C, 0x40}});
         }},
        {Text("StatusReceiveDataLost"), [&] { m_pVirtual->BreakInput(m_hSource); }},
        {Text("StatusReceiveSourceGone"), [&] { m_pVirtual->RemoveEndpoint(m_hSource); }},
    };
    // The source goes last. A window receives once, so each case has its own.
    for (const auto& [status, breakIt] : cases)
    {
        SCOPED_TRACE(status.toStdString());
        CReceiveWindow window;
        ASSERT_EQ(window.Create(nullptr), 1);
        WindowScript script;
        script.Then(
            "shown", [&] { return IsShown(window); },
            [&]
            {
                m_pVirtual->Inject(m_hSource, {{0xF0, 0x41, 0x10}});
                breakIt();
            });
        script.Then(
            "the status", [&] { return ControlText(window, kReceiveStatus) == status; },
            [&]
            {
                EXPECT_FALSE(ControlEnabled(window, kReceiveSave));
                EXPECT_FALSE(window.ExecuteSave());
                ClickButton(window, kReceiveClose);
            });
        script.RunModal(window);
        EXPECT_TRUE(m_driver.Seen().empty());
        window.Destroy();
    }
}

// Without an output the request says why. Switched to whole dumps, the window records until
// Stop: a message broken by a status byte, and one cut by the stop, are left out and said so;
// every complete message is saved, and the mode chosen is remembered.
TEST_F(ReceiveWindowTest, StopsThenSavesEveryCompleteMessageAndSaysWhatWasLeftOut)
{
    const std::vector<Bytes> kept = {SysEx(44, 1), SysEx(44, 3), SysEx(304, 4)};
    const std::string sPath = m_dir.File("bank.syx");
    WindowScript script;
    script.Then(
        "shown, for one message", [&] { return IsShown(m_window); },
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
            EXPECT_FALSE(ControlEnabled(m_window, kReceiveSave));
            m_pVirtual->Inject(m_hSource,
                               {kept[0], {0xF0, 0x41, 0x02, 0x90}, kept[1], kept[2], {0xF0, 0x41}});
        });
    // The status, up to its first comma, counts the messages of a dump while it comes.
    script.Then(
        "the messages counted",
        [&] { return Status().startsWith(Text("StatusDumpReceiving", 3).section(',', 0, 0)); },
        [&]
        {
            EXPECT_FALSE(ControlEnabled(m_window, kModePopup)) << "bytes came: no change now";
            ClickButton(m_window, kStopButton);
        });
    script.Then("the note",
                [&]
                {
                    return ControlText(m_window, kDumpNote) ==
                           Text("DumpInterruptedOne") + ". " + Text("DumpIncompleteAtStop");
                });
    m_driver.ChooseFile(QString::fromStdString(sPath));
    script.Then("the recording ended with its counts, Save enabled",
                [&]
                {
                    return Status() == Text("StatusDumpComplete", 3, int(Join(kept).size())) &&
                           ControlEnabled(m_window, kReceiveSave);
                });
    SaveThenClose(script, m_window);
    Show(script);
    EXPECT_EQ(TempDir::Read(sPath), Join(kept));
    EXPECT_EQ(tagReceivePreferences::Read().bAllMessages, 1);
}

// An invalid request is explained, neither sent nor kept; a valid one is sent and remembered.
// Silence ends the bank's recording; a bad sum is told; the message window saves the messages
// in dump order, which is not the dump saved: closing asks.
TEST_F(ReceiveWindowTest, RequestedBankEndsInSilenceAndItsMessagesCanBeSavedFromTheirWindow)
{
    Remember(kInstrument, kInstrument);
    m_prefs = {1, 1, 1, "F0 01 F7"};
    const Bytes bank = VirtualMidi::InstrumentBank();
    const int iBytes = int(bank.size() + kDumpBad.size());
    const std::string sPicked = m_dir.File("picked.syx");
    const auto request = [&](const char* pszTyped)
    {
        qobject_cast<QLineEdit*>(Control(m_window, kRequestText))->setText(pszTyped);
        ClickButton(m_window, kRequestButton);
    };
    WindowScript script;
    script.Then(
        "shown",
        [&]
        {
            return IsShown(m_window) && ControlEnabled(m_window, kRequestButton) &&
                   !ControlEnabled(m_window, kMessagesButton);
        },
        [&] { request("F0 43 2X F7"); });
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
    script.Then(
        "the bank recorded",
        [&]
        { return m_pManager->GetDumpStatus().counts.llMessages == VirtualMidi::sm_nBankMessages; },
        [&] { m_pVirtual->Inject(m_hSource, {kDumpBad}); });
    script.Then(
        "the bad sum told", [&] { return Status() == Text("StatusReceiveCompleteBad", iBytes, 1); },
        [&]
        {
            EXPECT_TRUE(ControlText(m_window, kDumpNote).isEmpty()) << "nothing left out";
            ClickButton(m_window, kMessagesButton);
        });
    script.Then(
        "the messages shown", [] { return MessageWindowUp() != nullptr; },
        [&]
        {
            QWidget* pWindow = MessageWindowUp();
            EXPECT_EQ(pWindow->findChild<QLabel*>("summaryText")->text(),
                      Text("MessageSummary", 9, iBytes, 0, 1));
            EXPECT_FALSE(pWindow->findChild<QAbstractButton*>("sendSelectedButton")->isVisible());
            SelectRows(pWindow, {8, 3, 0, 1, 2, 4, 5, 6, 7});
            m_driver.ChooseFile(QString::fromStdString(sPicked));
            ClickNamed(pWindow, "saveSelectedButton");
        });
    script.Then(
        "saved", [&] { return !TempDir::Read(sPicked).empty() && !DialogUp(); },
        [&] { ClickNamed(MessageWindowUp(), "closeButton"); });
    script.Then(
        "back in the receive window", [] { return MessageWindowUp() == nullptr; },
        [&]
        {
            m_driver.PressButton(QMessageBox::Discard);
            ClickButton(m_window, kReceiveClose);
        });
    Show(script);
    EXPECT_EQ(TempDir::Read(sPicked), Join({bank, kDumpBad}));
    EXPECT_EQ(tagReceivePreferences::Read().sRequestHex, "F0 7D 51 4D 02 F7");
}

// GM System On (no sum); a Yamaha message cut off.
TEST(MessageWindow, TheModelShowsEachMessagesColumns)
{
    const Bytes kGMOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    const Bytes kYamahaCut = {0xF0, 0x43, 0x00, 0x09, 0x00};
    const struct
    {
        const char* apszTexts[CSysExMessageModel::kColumnCount];
        const char* pszChecksumKey;
    } rows[] = {
        {{"1", "Roland", "10", "11", "42 12 40 00 7F 00 41", nullptr}, "ChecksumOK"},
        {{"2", "Roland", "10", "11", "42 12 40 00 7F 00 40", nullptr}, "ChecksumBad"},
        {{"3", "Universal Non-Real Time: GM System On", "7F", "6", "09 01", nullptr},
         "ChecksumNone"},
        {{"4", "Yamaha", "00", "5", "09 00", nullptr}, "ChecksumUnterminated"},
    };
    CSysExDump dump;
    dump.Assign(Join({kDump, kDumpBad, kGMOn, kYamahaCut}));
    CSysExMessageModel model(dump.Index());
    ASSERT_EQ(model.rowCount(), 4);
    ASSERT_EQ(model.columnCount(), int(CSysExMessageModel::kColumnCount));
    for (int iRow = 0; iRow < 4; ++iRow)
    {
        SCOPED_TRACE(iRow);
        for (int iColumn = 0; iColumn < CSysExMessageModel::kChecksum; ++iColumn)
            EXPECT_EQ(model.data(model.index(iRow, iColumn)).toString(),
                      QString::fromLatin1(rows[iRow].apszTexts[iColumn]));
        EXPECT_EQ(model.data(model.index(iRow, CSysExMessageModel::kChecksum)).toString(),
                  Text(rows[iRow].pszChecksumKey));
        // Only a BAD sum stands out.
        EXPECT_EQ(model.data(model.index(iRow, CSysExMessageModel::kChecksum), Qt::ForegroundRole)
                      .isValid(),
                  iRow == 1);
    }
    EXPECT_FALSE(model.data(model.index(4, 0)).isValid());
}
