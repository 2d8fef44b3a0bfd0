#include "midi/LumMidi.h"
#include "support/LogCapture.h"
#include "tests/midi/MidiRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace
{
// Feeds packet lists straight into the read procedure, as the MIDI service would.
class LumMidiParser : public ::testing::Test
{
protected:
    void SetUp() override { m_midi.SetListener(&m_recorder); }

    void Receive(const std::vector<std::string>& packets)
    {
        std::vector<std::vector<uint8_t>> aPackets;
        for (const std::string& sPacket : packets)
            aPackets.push_back(Bytes(sPacket));
        ReceivePackets(aPackets);
    }

    void ReceivePackets(const std::vector<std::vector<uint8_t>>& packets)
    {
        MidiPacketListBuffer list(packets);
        CLumMidi::MacReadProc(list.List(), &m_midi, nullptr);
    }

    LogCapture m_log;
    MidiRecorder m_recorder;
    CLumMidi m_midi;
};

struct tagParseCase
{
    const char* pszName;
    std::vector<std::string> packets;
    std::vector<std::string> receiving; // every raw run; not checked when empty
    std::vector<std::string> receive;   // every message
    std::vector<std::string> log;
};

const tagParseCase kParseCases[] = {
    {"SysExAcrossPackets", {"F0 41 10", "42 12 00", "F7"}, {"F0 41 10", "42 12 00", "F7"},
     {"F0 41 10 42 12 00 F7"}, {}},
    // The clock goes on at once; the message around it arrives whole.
    {"RealTimeInsideSysEx", {"F0 01 F8 02 F7"}, {"F8", "F0 01 02", "F7"}, {"F8", "F0 01 02 F7"},
     {}},
    // A run is known to be over only at the next status byte or the end of the packet.
    {"RealTimeInsideShortMessage", {"90 3C F8 FE 40 80 3C 00 FA"}, {},
     {"F8", "FE", "90 3C 40", "FA", "80 3C 00"}, {}},
    {"RealTimeEndingAPacket", {"F0 01 02 F8", "03 FF 04", "F7"}, {},
     {"F8", "FF", "F0 01 02 03 04 F7"}, {}},
    {"ShortMessageInsideSysEx", {"F0 01", "90 3C 40", "02 F7"}, {}, {"90 3C 40", "F0 01 02 F7"},
     {}},
    {"RunningStatus", {"B0 07 64 07 50", "90 3C 40 3E 40"}, {},
     {"B0 07 64 07 50", "90 3C 40 3E 40"}, {}},
    {"LoneEox", {"F7"}, {"F7"}, {}, {"<Data Error? Eox:247>"}},
    {"DataWhileIdle", {"12 34", "F8 56"}, {"12 34", "F8", "56"}, {"F8"},
     {"<Data Error? Status Byte:18>", "<Data Error? Status Byte:86>"}},
    {"NewStartDropsTheUnfinished", {"F0 01", "F0 02 F7"}, {}, {"F0 02 F7"}, {}},
    {"EmptyPackets", {"", "F0 01 F7", ""}, {"F0 01", "F7"}, {"F0 01 F7"}, {}},
};

class LumMidiParse : public LumMidiParser, public ::testing::WithParamInterface<tagParseCase>
{
};

void PrintTo(const tagParseCase& c, std::ostream* pStream)
{
    *pStream << c.pszName;
}
} // namespace

TEST_P(LumMidiParse, SplitsPacketsIntoRunsAndMessages)
{
    const tagParseCase& c = GetParam();
    Receive(c.packets);
    if (!c.receiving.empty())
    {
        EXPECT_EQ(m_recorder.Of("receiving"), c.receiving);
    }
    EXPECT_EQ(m_recorder.Of("receive"), c.receive);
    EXPECT_EQ(m_log.Lines(), c.log);
}

INSTANTIATE_TEST_SUITE_P(Packets, LumMidiParse, ::testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(LumMidiParser, BytesAfterEoxBelongToNoMessage)
{
    // Runs cut from packets never hold an F7 inside; a run handed in directly may.
    std::vector<uint8_t> aRun = Bytes("F0 01 F7 02");
    m_midi.MacRecvProcess(int(aRun.size()), aRun.data());
    Receive({"F7"});

    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F0 01 F7"));
    EXPECT_THAT(m_log.Lines(), ElementsAre("<Data Error? Eox:247>"));
}

TEST_F(LumMidiParser, OverlongSysExIsDroppedAndTheNextOneStillArrives)
{
    std::vector<uint8_t> aPiece(65536, 0x55);
    aPiece[0] = 0xF0;
    ReceivePackets({aPiece});
    aPiece[0] = 0x55;
    for (int i = 1; i * 65536 <= CLumMidi::sm_iMaxSysExSize; ++i)
        ReceivePackets({aPiece});
    Receive({"F7", "F0 7D F7"});

    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F0 7D F7"));
    // One line for the dropped message; its tail and F7 are not data errors.
    EXPECT_THAT(m_log.Lines(),
                ElementsAre("CLumMidi::MacRecvProcess() - SysEx message longer than 4194304 "
                            "bytes dropped."));
}

TEST(LumMidiHooks, OwnHookComesBeforeTheListener)
{
    struct CTracingMidi : CLumMidi
    {
        explicit CTracingMidi(std::vector<std::string>* pTrace) : m_pTrace(pTrace) {}
        void OnMidiInRecv(int iLength, unsigned char*) override
        {
            m_pTrace->push_back("hook receive " + std::to_string(iLength));
        }
        void OnMidiInReceiving(int iLength, unsigned char*) override
        {
            m_pTrace->push_back("hook receiving " + std::to_string(iLength));
        }
        std::vector<std::string>* m_pTrace;
    };
    std::vector<std::string> trace;
    MidiRecorder recorder;
    recorder.onCall = [&](const MidiRecorder::tagCall& call)
    { trace.push_back("listener " + call.sKind + " " + std::to_string(call.iValue)); };
    CTracingMidi midi(&trace);
    midi.SetListener(&recorder);

    MidiPacketListBuffer list({Bytes("F0 01 F7")});
    CLumMidi::MacReadProc(list.List(), &midi, nullptr);

    EXPECT_THAT(trace, ElementsAre("hook receiving 2", "listener receiving 2", "hook receiving 1",
                                   "listener receiving 1", "hook receive 3", "listener receive 3"));
}

TEST(LumMidiDebugPrint, LogsHexOnOneLineCutAt255)
{
    LogCapture log;
    std::vector<uint8_t> aShort = Bytes("F0 41 0A F7");
    CLumMidi::DebugMidiMessagePrint(aShort.data(), int(aShort.size()));
    std::vector<uint8_t> aLong(200, 0xAB);
    CLumMidi::DebugMidiMessagePrint(aLong.data(), int(aLong.size()));

    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "F0 41 0A F7");
    EXPECT_EQ(lines[1].size(), 255u);
    EXPECT_EQ(lines[1].substr(0, 8), "AB AB AB");
}
