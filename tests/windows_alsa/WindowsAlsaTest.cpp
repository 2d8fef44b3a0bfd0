// The receive and transmit windows against the kernel's ALSA sequencer, with raw MIDI on
// the other side. Meant to run inside the alsa-vm tool's VM: bytes written to hw:0,N come
// out of the sequencer port "Virtual Raw MIDI 0-N - VirMIDI 0-N", and what is sent to that
// port can be read from hw:0,N.

#include "tests/windows/WindowFixture.h"

#include "support/SequencerTools.h"
#include "windows/ReceiveWindow.h"
#include "windows/TransmitWindow.h"

#include <QProcess>

#include <string>

namespace
{
using SequencerTools::CRawMidiInstrument;
using WindowsOnAlsa = WindowFixture;
} // namespace

TEST_F(WindowsOnAlsa, ReceivesADumpThatAmidiSendsAndSavesIt)
{
    ASSERT_EQ(m_pManager->MidiInOpenByName("Virtual Raw MIDI 0-1 - VirMIDI 0-1"), 1);
    // Long enough to come through the sequencer in several pieces.
    const Bytes dump = SysEx(700, 7);
    const std::string sSaved = m_dir.File("dump.syx");
    m_driver.ChooseFile(QString::fromStdString(sSaved));

    CReceiveWindow window;
    ASSERT_EQ(window.Create(nullptr), 1);
    QProcess amidi;
    amidi.setProcessChannelMode(QProcess::MergedChannels);
    const QByteArray hex =
        QByteArray(reinterpret_cast<const char*>(dump.data()), qsizetype(dump.size())).toHex();
    WindowScript script;
    script.Then(
        "shown", [&] { return IsShown(window); },
        [&] {
            amidi.start("amidi", {"-p", "hw:0,1", "-S", QString(hex) + "903C40"});
        });
    script.Then("amidi done", [&] { return amidi.state() == QProcess::NotRunning; });
    script.Then(
        "the dump complete",
        [&] { return ControlText(window, 2) == Text("StatusReceiveComplete", int(dump.size())); });
    SaveThenClose(script, window);
    script.RunModal(window, 60000);
    window.Destroy();

    EXPECT_EQ(amidi.exitCode(), 0) << amidi.readAll().toStdString();
    EXPECT_EQ(TempDir::Read(sSaved), dump);
}

TEST_F(WindowsOnAlsa, SendsAListThatRawMidiReceives)
{
    ASSERT_EQ(m_pManager->MidiOutOpenByName("Virtual Raw MIDI 0-2 - VirMIDI 0-2"), 1);
    const Bytes first = SysEx(600, 3), second = SysEx(300, 5);
    m_dir.Write("a.syx", first);
    m_dir.Write("b.syx", second);
    m_driver.ChooseFile(
        QString::fromStdString(m_dir.Write("bank.msy", "[MultiSysEx]\n1=a.syx\n2=b.syx\n")));

    CRawMidiInstrument rawMidi("/dev/snd/midiC0D2");
    ASSERT_TRUE(rawMidi.IsOpen()) << "no raw MIDI hw:0,2";

    CTransmitWindow window;
    ASSERT_EQ(window.Create(nullptr), 1);
    WindowScript script;
    StepThrough(script, window,
                {{Text("FileOfNamedList", "bank.msy", 1, 2, "a.syx"), int(first.size())},
                 {Text("FileOfNamedList", "bank.msy", 2, 2, "b.syx"), int(second.size())}});
    script.RunModal(window, 60000);
    window.Destroy();

    const Bytes both = Joined({first, second});
    PumpUntil([&] { return rawMidi.Heard().size() >= both.size(); }, 30000);
    EXPECT_EQ(rawMidi.Heard(), both);
}
