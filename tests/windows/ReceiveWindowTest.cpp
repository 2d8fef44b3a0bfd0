#include "WindowFixture.h"

#include "app/MessageManager.h"
#include "file/MidiFileReader.h"
#include "toolkit/Utility.h"
#include "windows/ReceiveWindow.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include <filesystem>
#include <functional>

namespace
{
const char* const kSourceName = "Synth Co - Port 1";
using namespace ReceiveWindowIds;

// A GS reset, its sum right: a BAD one changes the status.
const Bytes kDump = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};

class ReceiveWindowTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        if (!SetUpPassed())
            return;
        m_hSource = m_pVirtual->AddSource("Synth Co", "Port 1");
        m_pVirtual->WaitIdle();
        ASSERT_EQ(m_pManager->MidiInOpenByName(kSourceName), 1);
        ASSERT_EQ(m_window.Create(nullptr), 1);
        // The message manager passes reception progress at most every 200 ms, counted
        // from its creation too.
        PumpFor(220);
    }

    void TearDown() override
    {
        m_window.Destroy();
        WindowFixture::TearDown();
    }

    // The dump arrives; once the window shows it complete, the action.
    void ReceiveDump(WindowScript& script, const WindowScript::Action& then = [] {})
    {
        script.Then(
            "shown", [&] { return IsShown(m_window); },
            [&] { m_pVirtual->Inject(m_hSource, {kDump}); });
        script.Then(
            "the dump complete", [&] { return ControlText(m_window, kStatusText) == Complete(); },
            then);
    }

    QString Complete() const { return Text("StatusReceiveComplete", int(kDump.size())); }

    MIDIEndpointRef m_hSource = 0;
    CReceiveWindow m_window;
};

} // namespace

// Closing with an unsaved dump asks first. Cancel keeps the window; Save with the save
// dialog cancelled keeps it too; a save that cannot create its file names the file and the
// reason and keeps the window; Save with a file chosen saves and closes.
TEST_F(ReceiveWindowTest, ClosingWithAnUnsavedDumpAsksFirst)
{
    const std::string sPath = m_dir.File("Received.syx");
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
    m_driver.ChooseFile(QString::fromStdString(sPath));

    WindowScript script;
    ReceiveDump(script, [&] { ClickButton(m_window, kCancelButton); });
    for (size_t nAnswered : {1u, 3u, 6u})
        script.Then(
            std::to_string(nAnswered) + " dialogs answered, the window still open",
            [&, nAnswered]
            { return m_driver.Seen().size() == nAnswered && !DialogUp() && IsShown(m_window); },
            [&, nAnswered]
            {
                EXPECT_EQ(ControlText(m_window, kStatusText), Complete());
                if (nAnswered < 6)
                    ClickButton(m_window, kCancelButton);
                else
                    CloseBox(m_window);
            });
    script.RunModal(m_window);

    EXPECT_TRUE(script.Finished());
    ASSERT_EQ(m_driver.Seen().size(), 8u) << ::testing::PrintToString(m_driver.Seen());
    EXPECT_EQ(m_driver.Seen()[0].className, "QMessageBox");
    EXPECT_EQ(m_driver.Seen()[0].title, "Quillmark");
    EXPECT_EQ(m_driver.Seen()[0].text, Text("Save Received Dump"));
    EXPECT_EQ(m_driver.Seen()[2].className, "QFileDialog");
    EXPECT_EQ(m_driver.Seen()[5].text, Text("SaveFailed", "Taken.syx"));
    EXPECT_EQ(m_driver.Seen()[5].informativeText, Text("ReasonIsFolder"));
    EXPECT_EQ(m_driver.Seen()[5].icon, QMessageBox::Critical);
    EXPECT_TRUE(std::filesystem::is_directory(sFolder));
    EXPECT_EQ(TempDir::Read(sPath), kDump);
}

// A status byte inside the message, data lost on the way, MIDI IN gone: each says so.
// None of these leaves anything to save: closing asks nothing.
TEST_F(ReceiveWindowTest, AnUnfinishedDumpLeavesNothingToSaveAndClosesWithoutAsking)
{
    const struct
    {
        QString status;
        std::function<void(VirtualMidi&, MIDIEndpointRef)> breakIt;
    } cases[] = {
        {Text("StatusReceiveError"),
         [](VirtualMidi& midi, MIDIEndpointRef h) { midi.Inject(h, {{0x90, 0x3C, 0x40}}); }},
        {Text("StatusReceiveDataLost"), [](VirtualMidi& midi, MIDIEndpointRef h) { midi.BreakInput(h); }},
        {Text("StatusReceiveSourceGone"),
         [](VirtualMidi& midi, MIDIEndpointRef h) { midi.RemoveEndpoint(h); }},
    };
    // The source goes last. A window receives once, so each case has its own.
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.status.toStdString());
        CReceiveWindow window;
        ASSERT_EQ(window.Create(nullptr), 1);
        WindowScript script;
        script.Then(
            "shown", [&] { return IsShown(window); },
            [&]
            {
                m_pVirtual->Inject(m_hSource, {{0xF0, 0x41, 0x10}});
                c.breakIt(*m_pVirtual, m_hSource);
            });
        script.Then(
            "the status", [&] { return ControlText(window, kStatusText) == c.status; },
            [&]
            {
                EXPECT_FALSE(ControlEnabled(window, kSaveButton));
                EXPECT_EQ(ControlText(window, kTimeText), "00:00");
                EXPECT_FALSE(window.ExecuteSave());
                ClickButton(window, kCancelButton);
            });
        script.RunModal(window);
        EXPECT_TRUE(script.Finished());
        EXPECT_TRUE(m_driver.Seen().empty());
        window.Destroy();
    }
}

// The save dialog offers .syx and .mid; a name without extension takes the type chosen, and
// a .mid holds the dump as a Standard MIDI File. Of what comes, exactly F0 through F7 of the
// first message is kept. Return saves, Escape closes without asking once saved, and the
// window receives once.
TEST_F(ReceiveWindowTest, SavesAsTheTypeChosenWhenTheNameHasNone)
{
    const std::string sWritten = m_dir.File("dump.mid");
    QStringList offered;
    m_driver.Do(
        [&](QWidget* pDialog)
        {
            auto* pFileDialog = qobject_cast<QFileDialog*>(pDialog);
            ASSERT_NE(pFileDialog, nullptr);
            offered = pFileDialog->nameFilters();
            pFileDialog->selectNameFilter(Text("Midi Files"));
            DialogDriver::SelectFile(pFileDialog, QString::fromStdString(m_dir.File("dump")));
            static_cast<QDialog*>(pFileDialog)->accept();
        });
    WindowScript script;
    script.Then(
        "shown, with Save disabled",
        [&] { return IsShown(m_window) && !ControlEnabled(m_window, kSaveButton); },
        [&] {
            m_pVirtual->Inject(m_hSource, {{0x90, 0x3C, 0x40}, kDump, {0xF0, 0x01, 0xF7}});
        });
    script.Then(
        "the dump complete", [&] { return ControlText(m_window, kStatusText) == Complete(); },
        [&]
        {
            EXPECT_EQ(ControlText(m_window, kCancelButton), Text("ButtonClose"));
            ExpectMnemonics(m_window.GetWindowRef());
            QTest::keyClick(m_window.GetWindowRef(), Qt::Key_Return);
        });
    script.Then(
        "saved",
        [&]
        {
            return std::filesystem::exists(sWritten) && !DialogUp() &&
                   ControlText(m_window, kStatusText) ==
                       Text("StatusSaved", std::filesystem::canonical(sWritten).c_str());
        },
        [&] { QTest::keyClick(m_window.GetWindowRef(), Qt::Key_Escape); });
    script.RunModal(m_window);
    ASSERT_TRUE(script.Finished());
    EXPECT_FALSE(m_window.OnShow());
    EXPECT_EQ(m_pManager->m_nReceivedSysExSize, int(kDump.size()));

    EXPECT_EQ(offered, (QStringList{Text("SysEx Files"), Text("Midi Files")}));
    const Bytes written = TempDir::Read(sWritten);
    CMidiFileReader reader;
    ASSERT_EQ(reader.Read(written.data(), written.size()), 1);
    ASSERT_EQ(reader.Messages().size(), 1u);
    EXPECT_EQ(reader.Messages()[0].aucData, kDump);
}
