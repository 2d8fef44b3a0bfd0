// CLumMidi against the kernel's ALSA sequencer in the alsa-vm VM (its ports in
// SequencerTools.h), checked with the ALSA tools.

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

using ::testing::ElementsAre;
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
    // the previous one has completed, none completing before its time on the cable.
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

TEST_F(AlsaSequencer, ListsThePortsReportsSetupChangesAndMovesSysExInBlocksAndPieces)
{
    MidiRecorder received, sent;
    CLumMidi in, out;
    ASSERT_EQ(in.Create("QMRK_IN"), 1);
    ASSERT_EQ(out.Create("QMRK_OUT"), 1);
    in.SetListener(&received);
    out.SetListener(&sent);
    ASSERT_EQ(in.MidiInOpen(0), 1);
    ASSERT_EQ(out.MidiOutOpen(0), 1);

    // The kernel's ports under display names, without our own; other software sees ours.
    const std::vector<std::string> expected = {
        "Midi Through - Midi Through Port-0", "Virtual Raw MIDI 0-0 - VirMIDI 0-0",
        "Virtual Raw MIDI 0-1 - VirMIDI 0-1", "Virtual Raw MIDI 0-2 - VirMIDI 0-2",
        "Virtual Raw MIDI 0-3 - VirMIDI 0-3"};
    EXPECT_EQ(DeviceNames(true), expected);
    EXPECT_EQ(DeviceNames(false), expected);
    const std::string sClients = ReadText("/proc/asound/seq/clients").toStdString();
    for (const char* pszName : {"QMRK_IN", "QMRK_OUT", "LumMidiInPort", "LumMidiOutPort"})
        EXPECT_NE(sClients.find('"' + std::string(pszName) + '"'), std::string::npos) << sClients;

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

    // Our own clients and ports change nothing; aseqdump's start and exit one each.
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(received.Count("notify") + sent.Count("notify"), 0u);
    QProcess aseqdump;
    ASSERT_TRUE(
        StartTool(aseqdump, "aseqdump", {}, QString::fromStdString(m_temp.File("aseqdump.txt"))));
    for (size_t nNotified : {1u, 2u})
    {
        if (nNotified == 2)
        {
            aseqdump.terminate();
            ASSERT_TRUE(aseqdump.waitForFinished(5000));
        }
        ASSERT_TRUE(received.WaitFor("notify", nNotified));
        ASSERT_TRUE(sent.WaitFor("notify", nNotified));
        EXPECT_EQ(
            size_t(std::ranges::count(DeviceNames(false), std::string("aseqdump - aseqdump"))),
            2 - nNotified);
        std::this_thread::sleep_for(1500ms);
        EXPECT_EQ(received.Count("notify"), nNotified);
        EXPECT_EQ(sent.Count("notify"), nNotified);
    }

    CRawMidiInstrument rawMidi("/dev/snd/midiC0D1");
    ASSERT_TRUE(rawMidi.IsOpen()) << "no raw MIDI hw:0,1";
    in.MidiInClose();
    out.MidiOutClose();
    // A file of two messages and a short message to raw MIDI.
    ASSERT_EQ(out.MidiOutOpen(DeviceIndex(false, "Virtual Raw MIDI 0-1 - VirMIDI 0-1")), 1);
    const std::vector<uint8_t> aFile = MessageStream(2, {300});
    SendInBlocks(out, sent, aFile);
    EXPECT_THAT(sent.ValuesOf("complete"), ElementsAre(256, 256, 88));
    EXPECT_EQ(out.Out(0, 0x90, 0x3C, 0x40), 0);
    std::vector<uint8_t> aExpected = aFile;
    aExpected.insert(aExpected.end(), {0x90, 0x3C, 0x40});
    PumpUntil([&] { return rawMidi.Heard().size() >= aExpected.size(); }, 20000);
    EXPECT_EQ(rawMidi.Heard(), aExpected);

    // From raw MIDI a long message comes in pieces of at most 256 bytes, joined.
    ASSERT_EQ(in.MidiInOpen(DeviceIndex(true, "Virtual Raw MIDI 0-2 - VirMIDI 0-2")), 1);
    const std::vector<uint8_t> aLong = MessageStream(1, {700});
    QProcess amidi;
    const QString sOutput = QString::fromStdString(m_temp.File("amidi.txt"));
    ASSERT_TRUE(StartTool(amidi, "amidi",
                          {"-p", "hw:0,2", "-S", QString::fromStdString(Hex(aLong) + " 90 3C 40")},
                          sOutput));
    ASSERT_TRUE(amidi.waitForFinished(20000));
    ASSERT_EQ(amidi.exitCode(), 0) << ReadText(sOutput + ".err").toStdString();
    ASSERT_TRUE(received.WaitFor("receive", 2));
    EXPECT_THAT(received.Of("receive"), ElementsAre(Hex(aLong), "90 3C 40"));
    const std::vector<std::string> runs = received.Of("receiving");
    EXPECT_GT(runs.size(), 3u) << "the SysEx should have come in pieces";
    for (const std::string& sRun : runs)
        EXPECT_LE((sRun.size() + 1) / 3, 256u);

    // A long message looped through Midi Through.
    const std::string sThrough = "Midi Through - Midi Through Port-0";
    in.MidiInClose();
    out.MidiOutClose();
    received.Clear();
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

    // Destroy completes the block in flight before it returns.
    const size_t nDone = sent.Count("complete");
    ASSERT_EQ(out.Out(256, aMessage.data()), 0);
    EXPECT_EQ(out.Destroy(), 1);
    EXPECT_EQ(sent.ValuesOf("complete").size(), nDone + 1);
    EXPECT_EQ(sent.ValuesOf("complete").back(), 256);
}
