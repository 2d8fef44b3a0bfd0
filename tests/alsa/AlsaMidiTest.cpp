// CLumMidi against the kernel's ALSA sequencer, checked with the ALSA tools. Meant to run
// inside the alsa-vm tool's VM: Midi Through at 14:0 and four virtual raw MIDI ports at
// 16:0 to 19:0, where bytes written to hw:0,N come out of "Virtual Raw MIDI 0-N" and
// events sent to that port can be read from hw:0,N.

#include "support/SequencerTools.h"
#include "support/TempDir.h"
#include "tests/midi/LumMidiFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <sched.h>
#include <unistd.h>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using namespace std::chrono_literals;
using namespace SequencerTools;

namespace
{
class AlsaSequencer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (access("/dev/snd/seq", R_OK | W_OK) != 0)
            GTEST_SKIP() << "no ALSA sequencer on this machine; these tests run through alsa-vm";
        ASSERT_STREQ(MidiService::Get().Name(), "alsa");
    }

    // Sends a message the way a transmission does: blocks of at most 256 bytes, each after
    // the previous one has completed. Checks that no block completes before its bytes have
    // had their time on the cable.
    void SendInBlocks(CLumMidi& midi, MidiRecorder& recorder, std::vector<uint8_t> aMessage)
    {
        for (size_t iOffset = 0; iOffset < aMessage.size(); iOffset += 256)
        {
            int iLength = int(std::min<size_t>(256, aMessage.size() - iOffset));
            size_t iDone = recorder.Count("complete");
            auto sent = std::chrono::steady_clock::now();
            ASSERT_EQ(midi.Out(iLength, aMessage.data() + iOffset), 0);
            ASSERT_TRUE(recorder.WaitFor("complete", iDone + 1));
            EXPECT_GE(std::chrono::steady_clock::now() - sent,
                      std::chrono::microseconds(320 * iLength));
        }
    }

    TempDir m_temp;
};
} // namespace

TEST_F(AlsaSequencer, ListsTheKernelPortsUnderDisplayNamesWithoutOurOwn)
{
    CLumMidi in, out;
    ASSERT_EQ(in.Create("QMRK_IN"), 1);
    ASSERT_EQ(out.Create("QMRK_OUT"), 1);
    ASSERT_EQ(in.MidiInOpen(0), 1);
    ASSERT_EQ(out.MidiOutOpen(0), 1);

    const std::vector<std::string> expected = {
        "Midi Through - Midi Through Port-0", "Virtual Raw MIDI 0-0 - VirMIDI 0-0",
        "Virtual Raw MIDI 0-1 - VirMIDI 0-1", "Virtual Raw MIDI 0-2 - VirMIDI 0-2",
        "Virtual Raw MIDI 0-3 - VirMIDI 0-3"};
    EXPECT_EQ(DeviceNames(true), expected);
    EXPECT_EQ(DeviceNames(false), expected);

    // Other software sees our clients and ports under their names.
    std::string sClients = ReadText("/proc/asound/seq/clients").toStdString();
    EXPECT_NE(sClients.find("\"QMRK_IN\""), std::string::npos) << sClients;
    EXPECT_NE(sClients.find("\"QMRK_OUT\""), std::string::npos);
    EXPECT_NE(sClients.find("\"LumMidiInPort\""), std::string::npos);
    EXPECT_NE(sClients.find("\"LumMidiOutPort\""), std::string::npos);

    // The VM runs as root, who may schedule in real time: each client's reader does, so a
    // fast sender does not overrun the kernel's input pool while other threads run.
    int nReaders = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    {
        if (ReadText(QString::fromStdString(task.path().string() + "/comm")).trimmed() !=
            "qm-midi-alsa")
            continue;
        ++nReaders;
        EXPECT_EQ(sched_getscheduler(std::stoi(task.path().filename().string())), SCHED_FIFO);
    }
    EXPECT_EQ(nReaders, 2);
}

TEST_F(AlsaSequencer, SendsSysExBlocksAndShortMessagesThroughTheKernel)
{
    SequencerTools::CRawMidiInstrument rawMidi("/dev/snd/midiC0D1");
    ASSERT_TRUE(rawMidi.IsOpen()) << "no raw MIDI hw:0,1";

    MidiRecorder recorder;
    CLumMidi out;
    ASSERT_EQ(out.Create("QMRK_OUT"), 1);
    out.SetListener(&recorder);
    ASSERT_EQ(out.MidiOutOpen(DeviceIndex(false, "Virtual Raw MIDI 0-1 - VirMIDI 0-1")), 1);
    std::vector<uint8_t> aFile = MessageStream(2, {300}); // a file of two messages
    SendInBlocks(out, recorder, aFile);
    EXPECT_THAT(recorder.ValuesOf("complete"), ElementsAre(256, 256, 88));
    EXPECT_EQ(out.Out(0, 0x90, 0x3C, 0x40), 0);

    std::vector<uint8_t> aExpected = aFile;
    aExpected.insert(aExpected.end(), {0x90, 0x3C, 0x40});
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (rawMidi.Heard().size() < aExpected.size() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(rawMidi.Heard(), aExpected);

    // Destroy completes the block in flight before it returns.
    ASSERT_EQ(out.Out(256, aFile.data()), 0);
    EXPECT_EQ(out.Destroy(), 1);
    EXPECT_THAT(recorder.ValuesOf("complete"), ElementsAre(256, 256, 88, 256));
}

TEST_F(AlsaSequencer, ReceivesWhatARawMidiPortSendsAndJoinsTheSysExPieces)
{
    MidiRecorder recorder;
    CLumMidi in;
    ASSERT_EQ(in.Create("QMRK_IN"), 1);
    in.SetListener(&recorder);
    ASSERT_EQ(in.MidiInOpen(DeviceIndex(true, "Virtual Raw MIDI 0-2 - VirMIDI 0-2")), 1);

    std::vector<uint8_t> aMessage = MessageStream(1, {700});
    std::string sBytes = Hex(aMessage) + " 90 3C 40";
    QProcess amidi;
    const QString sOutput = QString::fromStdString(m_temp.File("amidi.txt"));
    ASSERT_TRUE(
        StartTool(amidi, "amidi", {"-p", "hw:0,2", "-S", QString::fromStdString(sBytes)}, sOutput));
    ASSERT_TRUE(amidi.waitForFinished(20000));
    ASSERT_EQ(amidi.exitCode(), 0) << ReadText(sOutput + ".err").toStdString();
    ASSERT_TRUE(recorder.WaitFor("receive", 2));

    EXPECT_THAT(recorder.Of("receive"), ElementsAre(Hex(aMessage), "90 3C 40"));
    std::vector<std::string> runs = recorder.Of("receiving");
    EXPECT_GT(runs.size(), 3u) << "the SysEx should have come in pieces";
    for (const std::string& sRun : runs)
        EXPECT_LE((sRun.size() + 1) / 3, 256u);
}

TEST_F(AlsaSequencer, LoopsALongSysExThroughMidiThroughAndNoInputArrivesOnceClosed)
{
    const std::string sThrough = "Midi Through - Midi Through Port-0";
    MidiRecorder sent, received;
    CLumMidi in, out;
    ASSERT_EQ(in.Create("QMRK_IN"), 1);
    ASSERT_EQ(out.Create("QMRK_OUT"), 1);
    in.SetListener(&received);
    out.SetListener(&sent);
    ASSERT_EQ(in.MidiInOpen(DeviceIndex(true, sThrough)), 1);
    ASSERT_EQ(out.MidiOutOpen(DeviceIndex(false, sThrough)), 1);

    std::vector<uint8_t> aMessage = MessageStream(1, {1500});
    SendInBlocks(out, sent, aMessage);

    ASSERT_TRUE(received.WaitFor("receive", 1));
    EXPECT_THAT(received.Of("receive"), ElementsAre(Hex(aMessage)));
    EXPECT_EQ(received.Count("receiving"), 7u); // six blocks, and the F7 as a run of its own

    // The reader routes without the back end's lock: closing while events flow must still
    // stop them before MidiInClose returns, and opening again must route them again.
    in.MidiInClose();
    MidiRecorder recorders[2];
    std::atomic<bool> abClosed[2] = {false, false};
    std::atomic<int> aiLate[2] = {0, 0};
    std::atomic<bool> bStop{false};
    std::thread feeder(
        [&]
        {
            while (!bStop.load())
                out.Out(0, 0x90, 0x3C, 0x40);
        });
    for (int iRound = 0; iRound < 2; ++iRound)
    {
        recorders[iRound].onCall = [&, iRound](const MidiRecorder::tagCall&)
        {
            if (abClosed[iRound].load())
                ++aiLate[iRound];
        };
        in.SetListener(&recorders[iRound]);
        ASSERT_EQ(in.MidiInOpen(DeviceIndex(true, sThrough)), 1);
        EXPECT_TRUE(recorders[iRound].WaitFor("receive", 20)) << "round " << iRound;
        in.MidiInClose();
        abClosed[iRound] = true;
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(aiLate[iRound].load(), 0) << "round " << iRound;
    }
    bStop = true;
    feeder.join();
}

TEST_F(AlsaSequencer, ReportsOneSetupChangeWhenAClientComesAndOneWhenItGoes)
{
    MidiRecorder recorderIn, recorderOut;
    CLumMidi in, out;
    ASSERT_EQ(in.Create("QMRK_IN"), 1);
    in.SetListener(&recorderIn);
    ASSERT_EQ(out.Create("QMRK_OUT"), 1); // our own clients and ports change nothing
    out.SetListener(&recorderOut);
    ASSERT_EQ(out.MidiOutOpen(0), 1);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(recorderIn.Count("notify") + recorderOut.Count("notify"), 0u);

    QProcess aseqdump;
    ASSERT_TRUE(
        StartTool(aseqdump, "aseqdump", {}, QString::fromStdString(m_temp.File("aseqdump.txt"))));
    ASSERT_TRUE(recorderIn.WaitFor("notify", 1));
    ASSERT_TRUE(recorderOut.WaitFor("notify", 1));
    EXPECT_THAT(DeviceNames(false), Contains("aseqdump - aseqdump"));
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(recorderIn.Count("notify"), 1u) << "one client start, one notification";

    aseqdump.terminate();
    ASSERT_TRUE(aseqdump.waitForFinished(5000));
    ASSERT_TRUE(recorderIn.WaitFor("notify", 2));
    ASSERT_TRUE(recorderOut.WaitFor("notify", 2));
    EXPECT_THAT(DeviceNames(false), Not(Contains("aseqdump - aseqdump")));
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(recorderIn.Count("notify"), 2u);
    EXPECT_EQ(recorderOut.Count("notify"), 2u);
}
