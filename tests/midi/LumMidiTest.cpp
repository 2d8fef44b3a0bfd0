#include "tests/midi/LumMidiFixture.h"

#include "midi/LumSemaphore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

using ::testing::ElementsAre;
using namespace std::chrono_literals;

namespace
{
// The MIDI tests run on the virtual back end unless told otherwise, also where a sequencer
// exists. Set before main, so before the back end is chosen.
const int sg_iVirtualByDefault = setenv("QUILLMARK_MIDI", "virtual", 0);

using LumMidi = LumMidiFixture;
using LumMidiConcurrency = LumMidiFixture;
} // namespace

// One client only; each direction opens only with it, on an existing endpoint, and once.
// Endpoints are listed under display names cut to the buffer.
TEST_F(LumMidi, OpensListsReceivesAndSendsAndTheVirtualInstrumentAnswers)
{
    m_pVirtual->AddSource("Interface", "Port 1");
    m_pVirtual->AddDestination("Interface", "Port 2");
    CLumMidi midi;
    midi.SetListener(&m_recorder);
    EXPECT_EQ(midi.MidiInOpen(0) + midi.MidiOutOpen(0), 0); // no client yet
    EXPECT_EQ(midi.Create(nullptr), 0);
    ASSERT_EQ(midi.Create("QMRK_IN"), 1);
    EXPECT_EQ(midi.Create("QMRK_IN"), 0);
    EXPECT_EQ(midi.MidiInOpen(-1) + midi.MidiInOpen(1) + midi.MidiOutOpen(1), 0);
    EXPECT_FALSE(midi.MidiInIsOpen() || midi.MidiOutIsOpen());
    EXPECT_EQ(midi.MidiInOpen(0) + midi.MidiOutOpen(0), 2);
    EXPECT_EQ(midi.MidiInOpen(0) + midi.MidiOutOpen(0), 0);
    EXPECT_TRUE(midi.MidiInIsOpen() && midi.MidiOutIsOpen());
    EXPECT_EQ(m_pVirtual->ConnectionCount(m_pVirtual->GetSource(0)), 1);
    midi.MidiOutClose();
    EXPECT_FALSE(midi.MidiOutIsOpen());
    EXPECT_EQ(midi.Destroy(), 1);
    EXPECT_EQ(midi.Destroy(), 0);

    m_pVirtual->AddSource("", "Synth");
    m_pVirtual->AddSource("Odd\nBox", "Port\t3\x7F");
    EXPECT_EQ(midi.GetNumMidiInDevices() * 10 + midi.GetNumMidiOutDevices(), 31);
    // An endpoint without a device is " - " and its name; control characters become spaces.
    EXPECT_THAT(DeviceNames(true),
                ElementsAre("Interface - Port 1", " - Synth", "Odd Box - Port 3 "));
    char szName[256];
    midi.GetMidiOutDeviceName(0, szName, sizeof(szName));
    EXPECT_STREQ(szName, "Interface - Port 2");
    EXPECT_EQ(MacGetEndpointDeviceName(m_pVirtual->GetSource(1)), "");
    EXPECT_EQ(CLumMidi::MacGetEndpointDeviceName(m_pVirtual->GetSource(0)), "Interface");

    // Names are cut to the buffer without splitting characters.
    m_pVirtual->Reset();
    std::string sLongDevice(300, 'd');
    std::string sAccented;
    for (int i = 0; i < 10; ++i)
        sAccented += "\xC3\xA9"; // U+00E9, two bytes in UTF-8
    m_pVirtual->AddSource(sLongDevice.c_str(), "Port 1");
    m_pVirtual->AddSource(sAccented.c_str(), "Port 1");

    EXPECT_EQ(DeviceNames(true)[0], std::string(255, 'd')); // 256 bytes hold 255 characters
    GetMidiInDeviceName(0, szName, 8);
    EXPECT_STREQ(szName, "ddddddd");
    GetMidiInDeviceName(1, szName, 6); // room for 5 bytes: two whole characters
    EXPECT_STREQ(szName, "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(GetMidiInDeviceName(7, szName, sizeof(szName)), 1); // no such source
    EXPECT_STREQ(szName, " - ");

    // Only the open source is heard, on the back end's thread, until it is closed or removed.
    m_pVirtual->Reset();
    m_recorder.Clear();
    CLumMidi in;
    MIDIEndpointRef hOther = m_pVirtual->AddSource("Other", "Port 1");
    MIDIEndpointRef hSource = m_pVirtual->AddSource("Interface", "Port 1");
    ASSERT_EQ(in.Create("QMRK_IN"), 1);
    in.SetListener(&m_recorder);
    ASSERT_EQ(in.MidiInOpen(1), 1);
    m_pVirtual->Inject(hOther, {Bytes("90 01 01")});
    m_pVirtual->Inject(hSource, {Bytes("F0 41 10"), Bytes("42 F7")});
    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F0 41 10 42 F7"));
    for (const auto& call : m_recorder.Calls())
        EXPECT_NE(call.thread, std::this_thread::get_id());

    in.MidiInClose();
    EXPECT_FALSE(in.MidiInIsOpen());
    EXPECT_EQ(m_pVirtual->ConnectionCount(hSource), 0);
    m_pVirtual->Inject(hSource, {Bytes("90 3C 40")});
    EXPECT_EQ(m_recorder.Count("receive"), 1u);
    in.MidiInClose(); // closing again does nothing

    ASSERT_EQ(in.MidiInOpen(1), 1);
    EXPECT_TRUE(m_pVirtual->RemoveEndpoint(hSource));
    in.MidiInClose(); // its source is gone: closing still works
    EXPECT_FALSE(in.MidiInIsOpen());

    // A break drops the message it cut; what follows it continues nothing from before.
    for (bool bSourceGoes : {false, true})
    {
        SCOPED_TRACE(bSourceGoes ? "source gone" : "data lost");
        m_recorder.Clear();
        MIDIEndpointRef hSynth = m_pVirtual->AddSource("Synth", "Out");
        ASSERT_EQ(in.MidiInOpen(m_pVirtual->GetNumberOfSources() - 1), 1);
        m_pVirtual->Inject(hSynth, {Bytes("F0 41 F7"), Bytes("F0 41 10 42")});
        if (bSourceGoes)
            EXPECT_TRUE(m_pVirtual->RemoveEndpoint(hSynth) && !m_pVirtual->RemoveEndpoint(hSynth));
        else
            m_pVirtual->BreakInput(hSynth);
        m_pVirtual->Inject(hSynth, {Bytes("11 12 F7"), Bytes("F0 43 F7")});
        m_pVirtual->WaitIdle();
        EXPECT_THAT(m_recorder.ValuesOf("broken"),
                    ElementsAre(bSourceGoes ? kMIDIInputSourceGone : kMIDIInputDataLost));
        std::vector<std::string> expected{"F0 41 F7", "F0 43 F7"};
        if (bSourceGoes)
            expected.pop_back();
        EXPECT_EQ(m_recorder.Of("receive"), expected);
        in.MidiInClose();
    }

    // Nothing goes out closed, refused or empty; each send completes once with its length after
    // Out has returned, or at closing; a short message goes out as three bytes.
    CLumMidi out;
    std::vector<uint8_t> aBlock = Bytes("F0 7D 01 F7");
    EXPECT_EQ(out.Out(int(aBlock.size()), aBlock.data()), 0); // closed
    EXPECT_EQ(out.Out(0, 0x90, 0x3C, 0x40), 0);
    MIDIEndpointRef hDestination = OpenOut(out);
    m_pVirtual->FailNextSend(kMIDIMsgSendErr);
    EXPECT_EQ(out.Out(int(aBlock.size()), aBlock.data()), kMIDIMsgSendErr);
    EXPECT_EQ(out.Out(0, aBlock.data()), kMIDIParamErr);
    EXPECT_EQ(out.Out(-5, aBlock.data()), kMIDIParamErr);
    m_pVirtual->WaitIdle();
    EXPECT_TRUE(m_pVirtual->Captured(hDestination).empty());

    m_pVirtual->HoldCompletions(true);
    std::vector<uint8_t> aFirst(100, 0x11), aSecond(50, 0x22);
    aFirst[0] = 0xF0;
    aSecond[49] = 0xF7;
    EXPECT_EQ(out.Out(int(aFirst.size()), aFirst.data()), 0);
    EXPECT_EQ(out.Out(int(aSecond.size()), aSecond.data()), 0);
    aFirst.assign(100, 0); // the caller's buffer is free once Out returns
    m_pVirtual->WaitIdle();
    EXPECT_EQ(m_recorder.Count("complete"), 0u);
    EXPECT_EQ(m_pVirtual->HeldCompletions(), 2);
    m_pVirtual->HoldCompletions(false);
    ASSERT_TRUE(m_recorder.WaitFor("complete", 2));
    EXPECT_THAT(m_recorder.ValuesOf("complete"), ElementsAre(100, 50));
    EXPECT_EQ(m_pVirtual->Captured(hDestination).size(), 150u);

    m_pVirtual->HoldCompletions(true);
    std::vector<uint8_t> aLong(256, 0x01);
    out.Out(256, aLong.data());
    out.Out(10, aLong.data());
    out.MidiOutClose();
    EXPECT_THAT(m_recorder.ValuesOf("complete"), ElementsAre(100, 50, 256, 10));
    EXPECT_EQ(m_pVirtual->HeldCompletions(), 0);

    // Each byte of a short message is cut to its range.
    ASSERT_EQ(out.MidiOutOpen(0), 1);
    m_pVirtual->ClearCaptured(hDestination);
    EXPECT_EQ(out.Out(0x12, 0x95, 0x13C, 0x40), 0);
    EXPECT_EQ(out.Out(3, 0xC0, 5, 0), 0); // program change: still three bytes
    EXPECT_EQ(Hex(m_pVirtual->Captured(hDestination)), "92 3C 40 C3 05 00");
    m_pVirtual->RemoveEndpoint(hDestination);
    EXPECT_NE(out.Out(0, 0x90, 0x3C, 0x40), 0);
    EXPECT_TRUE(m_log.Contains("Faild to send MIDI Short Message."));

    // The instrument keeps the last dump sent to it (its messages, without real-time bytes),
    // plays it back when its input is opened, and answers its request with the bank.
    m_pVirtual->Reset();
    m_recorder.Clear();
    EXPECT_EQ(GetNumMidiInDevices(), 0);
    m_pVirtual->AddInstrument();
    ASSERT_GT(m_pVirtual->InstrumentDump().size(), 256u);

    const std::string sName = "Quillmark Virtual Instrument - Port 1";
    CLumMidi player, listener;
    ASSERT_EQ(player.Create("QMRK_OUT"), 1);
    ASSERT_EQ(listener.Create("QMRK_IN"), 1);
    player.SetListener(&m_recorder);
    listener.SetListener(&m_recorder);
    ASSERT_EQ(player.MidiOutOpen(DeviceIndex(false, sName)), 1);
    // Two messages, the first in two blocks with a clock byte in the middle of the second.
    std::vector<uint8_t> aDumpStart = Bytes("F0 7D 01 02"),
                         aDumpEnd = Bytes("03 F8 04 F7 F0 7D 05 F7");
    player.Out(int(aDumpStart.size()), aDumpStart.data());
    player.Out(int(aDumpEnd.size()), aDumpEnd.data());
    ASSERT_TRUE(m_recorder.WaitFor("complete", 2));
    const std::string sDump = "F0 7D 01 02 03 04 F7 F0 7D 05 F7";
    EXPECT_EQ(Hex(m_pVirtual->InstrumentDump()), sDump);

    ASSERT_EQ(listener.MidiInOpen(DeviceIndex(true, sName)), 1);
    ASSERT_TRUE(m_recorder.WaitFor("receive", 2, 10s));
    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F0 7D 01 02 03 04 F7", "F0 7D 05 F7"));

    std::vector<uint8_t> aRequest = VirtualMidi::InstrumentRequest();
    player.Out(int(aRequest.size()), aRequest.data());
    ASSERT_TRUE(m_recorder.WaitFor("receive", 2 + VirtualMidi::sm_nBankMessages, 10s));
    std::string sReceived;
    for (const std::string& sMessage : m_recorder.Of("receive"))
        sReceived += (sReceived.empty() ? "" : " ") + sMessage;
    EXPECT_NE(sReceived.find(Hex(VirtualMidi::InstrumentBank())), std::string::npos);
    EXPECT_EQ(Hex(m_pVirtual->InstrumentDump()), sDump) << "a request is not a dump";
}

// Completions and input run on the back end's thread while Destroy, a close or a listener
// change happen on the test's: the thread-sanitizer build runs this one.
TEST_F(LumMidiConcurrency, DestroyCloseAndListenerChangesRaceNoCallback)
{
    MIDIEndpointRef hDestination;
    {
        CLumMidi midi;
        hDestination = OpenOut(midi);
        m_pVirtual->PaceSends(hDestination, true);
        std::vector<uint8_t> aBlock(256, 0x01);
        midi.Out(256, aBlock.data());
        midi.Out(256, aBlock.data());

        EXPECT_EQ(midi.Destroy(), 1);
        EXPECT_THAT(m_recorder.ValuesOf("complete"), ElementsAre(256, 256));
        // The port went with the client: sending now fails, and closing does nothing more.
        EXPECT_TRUE(midi.MidiOutIsOpen());
        EXPECT_EQ(midi.Out(256, aBlock.data()), kMIDIInvalidPort);
    }
    m_pVirtual->WaitIdle();
    EXPECT_EQ(m_recorder.Count("complete"), 2u);
    EXPECT_EQ(m_pVirtual->CapturedSends(hDestination).size(), 2u);

    // Whoever closes a port or destroys a client may free what the callbacks use right after.
    MIDIEndpointRef hSource = m_pVirtual->AddSource("Interface", "Port 1");
    for (bool bDestroy : {false, true})
    {
        std::atomic<bool> bClosed{false};
        std::atomic<int> iLate{0};
        MidiRecorder recorder;
        recorder.onCall = [&](const MidiRecorder::tagCall&)
        {
            if (bClosed.load())
                ++iLate;
        };
        CLumMidi midi;
        ASSERT_EQ(midi.Create("QMRK_IN"), 1);
        midi.SetListener(&recorder);
        ASSERT_EQ(midi.MidiInOpen(0), 1);

        std::atomic<bool> bStop{false};
        std::thread feeder(
            [&]
            {
                while (!bStop.load())
                    m_pVirtual->Inject(hSource, {Bytes("F0 01 02"), Bytes("F8"), Bytes("03 F7")});
            });
        ASSERT_TRUE(recorder.WaitFor("receive", 20));
        if (bDestroy)
            midi.Destroy();
        else
            midi.MidiInClose();
        bClosed = true;
        std::this_thread::sleep_for(20ms);
        bStop = true;
        feeder.join();

        EXPECT_EQ(iLate.load(), 0) << (bDestroy ? "after Destroy" : "after MidiInClose");
    }

    // The listener may be set while the setup changes.
    MidiRecorder first, second;
    CLumMidi midi;
    ASSERT_EQ(midi.Create("QMRK_IN"), 1);
    std::atomic<bool> bStop{false};
    std::thread changer(
        [&]
        {
            while (!bStop.load())
                m_pVirtual->RemoveEndpoint(m_pVirtual->AddSource("Hot", "Plug"));
        });
    for (int i = 0; i < 200; ++i)
    {
        midi.SetListener(i % 2 ? &first : &second);
        std::this_thread::sleep_for(100us);
    }
    for (int i = 0; first.Count("notify") + second.Count("notify") == 0 && i < 500; ++i)
        std::this_thread::sleep_for(10ms);
    bStop = true;
    changer.join();
    midi.Destroy();
    EXPECT_GT(first.Count("notify") + second.Count("notify"), 0u);
}

// --- Packets into messages ---

namespace
{
// Feeds packet lists straight into the read procedure, as the MIDI service would.
void Receive(CLumMidi& midi, const std::vector<std::vector<uint8_t>>& packets)
{
    MidiPacketListBuffer list(packets);
    CLumMidi::MacReadProc(list.List(), &midi, nullptr);
}

// Packets, runs, messages and log lines are each split at '|'.
struct tagParseCase
{
    const char* pszName;
    const char* pszPackets;
    const char* pszReceiving; // every raw run; not checked when empty
    const char* pszReceive;   // every message
    const char* pszLog;
};

std::vector<std::string> Split(const std::string& sText)
{
    std::vector<std::string> parts;
    std::istringstream stream(sText + "|"); // so that a trailing empty part counts
    for (std::string sPart; !sText.empty() && std::getline(stream, sPart, '|');)
        parts.push_back(sPart);
    return parts;
}

const tagParseCase kParseCases[] = {
    {"SysExAcrossPackets", "F0 41 10|42 12 00|F7", "F0 41 10|42 12 00|F7", "F0 41 10 42 12 00 F7",
     ""},
    // The clock goes on at once; the message around it arrives whole.
    {"RealTimeInsideSysEx", "F0 01 F8 02 F7", "F8|F0 01 02|F7", "F8|F0 01 02 F7", ""},
    // A run is known to be over only at the next status byte or the end of the packet.
    {"RealTimeInsideShortMessage", "90 3C F8 FE 40 80 3C 00 FA", "", "F8|FE|90 3C 40|FA|80 3C 00",
     ""},
    {"RealTimeEndingAPacket", "F0 01 02 F8|03 FF 04|F7", "", "F8|FF|F0 01 02 03 04 F7", ""},
    {"ShortMessageInsideSysEx", "F0 01|90 3C 40|02 F7", "", "90 3C 40|F0 01 02 F7", ""},
    {"RunningStatus", "B0 07 64 07 50|90 3C 40 3E 40", "", "B0 07 64 07 50|90 3C 40 3E 40", ""},
    {"LoneEox", "F7", "F7", "", "<Data Error? Eox:247>"},
    {"DataWhileIdle", "12 34|F8 56", "12 34|F8|56", "F8",
     "<Data Error? Status Byte:18>|<Data Error? Status Byte:86>"},
    {"NewStartDropsTheUnfinished", "F0 01|F0 02 F7", "", "F0 02 F7", ""},
    {"EmptyPackets", "|F0 01 F7|", "F0 01|F7", "F0 01 F7", ""},
};
} // namespace

// Each case on a parser of its own. A SysEx message too long is dropped and the next one
// still arrives. The debug print logs hex on one line cut at 255.
TEST(LumMidiParser, SplitsPacketsIntoRunsAndMessagesAndDropsAnOverlongSysEx)
{
    LogCapture log;
    MidiRecorder recorder;
    for (const tagParseCase& c : kParseCases)
    {
        SCOPED_TRACE(c.pszName);
        log.Clear();
        recorder.Clear();
        CLumMidi midi;
        midi.SetListener(&recorder);
        std::vector<std::vector<uint8_t>> aPackets;
        for (const std::string& sPacket : Split(c.pszPackets))
            aPackets.push_back(Bytes(sPacket));
        Receive(midi, aPackets);
        if (*c.pszReceiving)
        {
            EXPECT_EQ(recorder.Of("receiving"), Split(c.pszReceiving));
        }
        EXPECT_EQ(recorder.Of("receive"), Split(c.pszReceive));
        EXPECT_EQ(log.Lines(), Split(c.pszLog));
    }

    log.Clear();
    recorder.Clear();
    CLumMidi midi;
    midi.SetListener(&recorder);
    std::vector<uint8_t> aPiece(65536, 0x55);
    aPiece[0] = 0xF0;
    Receive(midi, {aPiece});
    aPiece[0] = 0x55;
    for (int i = 1; i * 65536 <= CLumMidi::sm_iMaxSysExSize; ++i)
        Receive(midi, {aPiece});
    Receive(midi, {{0xF7}, Bytes("F0 7D F7")});
    EXPECT_THAT(recorder.Of("receive"), ElementsAre("F0 7D F7"));
    // One line for the dropped message; its tail and F7 are not data errors.
    EXPECT_THAT(log.Lines(),
                ElementsAre("CLumMidi::MacRecvProcess() - SysEx message longer than 4194304 "
                            "bytes dropped."));

    log.Clear();
    std::vector<uint8_t> aShort = Bytes("F0 41 0A F7");
    CLumMidi::DebugMidiMessagePrint(aShort.data(), int(aShort.size()));
    std::vector<uint8_t> aLong(200, 0xAB);
    CLumMidi::DebugMidiMessagePrint(aLong.data(), int(aLong.size()));
    EXPECT_THAT(log.Lines(), ElementsAre("F0 41 0A F7", Hex(aLong).substr(0, 255)));
}

// Memory goes into dump messages seven bytes at a time, behind a byte of their top bits.
TEST(LumMidiParser, MemoryGoesSevenBytesBehindTheirTopBitsAndComesBack)
{
    CLumMidi midi;
    const auto toMidi = [&](std::vector<uint8_t> aMemory)
    {
        std::vector<uint8_t> aMidi(aMemory.size() * 2 + 1);
        aMidi.resize(size_t(midi.MemoryToMidi(aMidi.data(), aMemory.data(), int(aMemory.size()))));
        return aMidi;
    };
    EXPECT_EQ(Hex(toMidi(Bytes("80 01 FF"))), "05 00 01 7F");
    EXPECT_EQ(midi.MemoryToMidi(nullptr, nullptr, 3), 0);
    midi.MidiToMemory(nullptr, nullptr, 3);
    for (int iCount : {0, 1, 7, 8, 15})
    {
        SCOPED_TRACE(iCount);
        std::vector<uint8_t> aMemory;
        for (int i = 0; i < iCount; ++i)
            aMemory.push_back(uint8_t(i * 37 + 0x70));
        const std::vector<uint8_t> aMidi = toMidi(aMemory);
        EXPECT_EQ(int(aMidi.size()), CalcDumpMessageSize(iCount));
        EXPECT_TRUE(std::all_of(aMidi.begin(), aMidi.end(), [](uint8_t b) { return b < 0x80; }));
        std::vector<uint8_t> aBack(aMemory.size(), 0);
        midi.MidiToMemory(aBack.data(), const_cast<uint8_t*>(aMidi.data()), iCount);
        EXPECT_EQ(aBack, aMemory);
    }
}

// --- The semaphore ---

// A second Wait blocks until the holder signals; two threads counting under the lock lose
// no increment; a timed wait acquires with 0 or gives up with -2 and logs.
TEST(LumSemaphoreConcurrency, WaitBlocksUntilSignalGuardsACounterAndTimesOut)
{
    CLumSemaphore lock(0, 1);
    ASSERT_EQ(lock.Wait(), 1);
    std::atomic<bool> acquired{false};
    std::thread other(
        [&]
        {
            EXPECT_EQ(lock.Wait(), 1);
            acquired = true;
            lock.Signal();
        });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(acquired.load());
    EXPECT_EQ(lock.Signal(), 1);
    other.join();
    EXPECT_TRUE(acquired.load());

    int counter = 0;
    auto work = [&]
    {
        for (int i = 0; i < 10000; ++i)
        {
            lock.Wait();
            ++counter;
            lock.Signal();
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 20000);

    CLumSemaphore timed(2, 1); // an out-of-range policy falls back to first-in-first-out
    EXPECT_EQ(timed.Wait(10ul), 0);
    EXPECT_EQ(timed.Signal(), 1);
    EXPECT_EQ(timed.Wait(), 1);

    LogCapture log;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(timed.Wait(999ul), -2); // still held; the deadline crosses a second
    EXPECT_GE(std::chrono::steady_clock::now() - start, 999ms);
    EXPECT_TRUE(log.Contains("Semaphore - Timeout"));
}
