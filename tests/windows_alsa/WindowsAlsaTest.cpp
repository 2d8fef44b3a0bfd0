// The receive and transmit windows against the kernel's ALSA sequencer in the alsa-vm VM
// (its ports in SequencerTools.h), with amidi and raw MIDI on the other side.

#include "tests/windows/WindowFixture.h"

#include "support/SequencerTools.h"
#include "windows/ReceiveWindow.h"
#include "windows/TransmitWindow.h"

#include <QProcess>

#include <string>

using WindowsOnAlsa = WindowFixture;

TEST_F(WindowsOnAlsa, ReceivesADumpThatAmidiSendsAndSendsAListThatRawMidiReceives)
{
    ASSERT_EQ(m_pManager->MidiInOpenByName("Virtual Raw MIDI 0-1 - VirMIDI 0-1"), 1);
    // Long enough to come through the sequencer in several pieces.
    const Bytes dump = SysEx(700, 7);
    const std::string sSaved = m_dir.File("dump.syx");
    m_driver.ChooseFile(QString::fromStdString(sSaved));
    CReceiveWindow receive;
    ASSERT_EQ(receive.Create(nullptr), 1);
    QProcess amidi;
    amidi.setProcessChannelMode(QProcess::MergedChannels);
    const QByteArray hex =
        QByteArray(reinterpret_cast<const char*>(dump.data()), qsizetype(dump.size())).toHex();
    WindowScript script;
    script.Then(
        "shown", [&] { return IsShown(receive); },
        [&] {
            amidi.start("amidi", {"-p", "hw:0,1", "-S", QString(hex) + "903C40"});
        });
    script.Then("amidi done", [&] { return amidi.state() == QProcess::NotRunning; });
    script.Then(
        "the dump complete",
        [&] { return ControlText(receive, 2) == Text("StatusReceiveComplete", int(dump.size())); });
    SaveThenClose(script, receive);
    script.RunModal(receive, 60000);
    receive.Destroy();
    EXPECT_EQ(amidi.exitCode(), 0) << amidi.readAll().toStdString();
    EXPECT_EQ(TempDir::Read(sSaved), dump);

    ASSERT_EQ(m_pManager->MidiOutOpenByName("Virtual Raw MIDI 0-2 - VirMIDI 0-2"), 1);
    const Bytes first = SysEx(600, 3), second = SysEx(300, 5);
    m_dir.Write("a.syx", first);
    m_dir.Write("b.syx", second);
    m_driver.ChooseFile(
        QString::fromStdString(m_dir.Write("bank.msy", "[MultiSysEx]\n1=a.syx\n2=b.syx\n")));
    SequencerTools::CRawMidiInstrument rawMidi("/dev/snd/midiC0D2");
    ASSERT_TRUE(rawMidi.IsOpen()) << "no raw MIDI hw:0,2";
    CTransmitWindow transmit;
    ASSERT_EQ(transmit.Create(nullptr), 1);
    WindowScript list;
    StepThrough(list, transmit,
                {{Text("FileOfNamedList", "bank.msy", 1, 2, "a.syx"), int(first.size())},
                 {Text("FileOfNamedList", "bank.msy", 2, 2, "b.syx"), int(second.size())}});
    list.RunModal(transmit, 60000);
    transmit.Destroy();
    const Bytes both = Join({first, second});
    PumpUntil([&] { return rawMidi.Heard().size() >= both.size(); }, 30000);
    EXPECT_EQ(rawMidi.Heard(), both);
}
