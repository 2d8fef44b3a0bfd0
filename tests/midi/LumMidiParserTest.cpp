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

std::vector<uint8_t> LongSysEx(size_t iLength)
{
    std::vector<uint8_t> aMessage = {0xF0, 0x43, 0x10};
    while (aMessage.size() < iLength - 1)
        aMessage.push_back(uint8_t(aMessage.size() & 0x7F));
    aMessage.push_back(0xF7);
    return aMessage;
}
} // namespace

TEST_F(LumMidiParser, AssemblesSysExAcrossPacketsAndSeesEveryRawRun)
{
    Receive({"F0 41 10", "42 12 00", "F7"});

    EXPECT_THAT(m_recorder.Of("receiving"), ElementsAre("F0 41 10", "42 12 00", "F7"));
    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F0 41 10 42 12 00 F7"));
    EXPECT_TRUE(m_log.Lines().empty());
}

TEST_F(LumMidiParser, AssemblesLongSysExDeliveredInPiecesWithClockBetween)
{
    // As ALSA hands it over: pieces of at most 256 bytes, the first with F0, the last with
    // F7, with timing clock and active sensing events in between and inside.
    std::vector<uint8_t> aMessage = LongSysEx(1000);
    std::vector<std::vector<uint8_t>> packets;
    for (size_t i = 0; i < aMessage.size(); i += 256)
    {
        std::vector<uint8_t> aPiece(aMessage.begin() + long(i),
                                    aMessage.begin() + long(std::min(i + 256, aMessage.size())));
        if (i == 512)
            aPiece.insert(aPiece.begin() + 100, 0xFE);
        packets.push_back(aPiece);
        packets.push_back({0xF8});
    }
    ReceivePackets(packets);

    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F8", "F8", "FE", "F8", Hex(aMessage), "F8"));
    EXPECT_TRUE(m_log.Lines().empty());
}

TEST_F(LumMidiParser, RealTimeByteInsideSysExNeitherEndsNorJoinsIt)
{
    Receive({"F0 01 F8 02 F7"});

    // The clock goes on at once; the message around it arrives whole.
    EXPECT_THAT(m_recorder.Of("receiving"), ElementsAre("F8", "F0 01 02", "F7"));
    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F8", "F0 01 02 F7"));
}

TEST_F(LumMidiParser, RealTimeBytesInsideShortMessageLeaveItWhole)
{
    Receive({"90 3C F8 FE 40 80 3C 00 FA"});

    // A run is known to be over only at the next status byte or the end of the packet.
    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F8", "FE", "90 3C 40", "FA", "80 3C 00"));
    EXPECT_TRUE(m_log.Lines().empty());
}

TEST_F(LumMidiParser, RealTimeAtTheEndOfAPacketDoesNotCutTheSysExAcrossPackets)
{
    Receive({"F0 01 02 F8", "03 FF 04", "F7"});

    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F8", "FF", "F0 01 02 03 04 F7"));
}

TEST_F(LumMidiParser, ShortMessageInsideSysExLeavesItInProgress)
{
    Receive({"F0 01", "90 3C 40", "02 F7"});

    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("90 3C 40", "F0 01 02 F7"));
}

TEST_F(LumMidiParser, RunningStatusStaysOneRun)
{
    Receive({"B0 07 64 07 50", "90 3C 40 3E 40"});

    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("B0 07 64 07 50", "90 3C 40 3E 40"));
}

TEST_F(LumMidiParser, LoneEoxWhileIdleIsLoggedAndNothingDelivered)
{
    Receive({"F7"});

    EXPECT_THAT(m_recorder.Of("receiving"), ElementsAre("F7"));
    EXPECT_EQ(m_recorder.Count("receive"), 0u);
    EXPECT_THAT(m_log.Lines(), ElementsAre("<Data Error? Eox:247>"));
}

TEST_F(LumMidiParser, DataWhileIdleIsLoggedButStillSeenRaw)
{
    Receive({"12 34", "F8 56"});

    EXPECT_THAT(m_recorder.Of("receiving"), ElementsAre("12 34", "F8", "56"));
    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F8"));
    EXPECT_THAT(m_log.Lines(),
                ElementsAre("<Data Error? Status Byte:18>", "<Data Error? Status Byte:86>"));
}

TEST_F(LumMidiParser, NewStartDropsTheUnfinishedMessage)
{
    Receive({"F0 01", "F0 02 F7"});

    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F0 02 F7"));
}

TEST_F(LumMidiParser, BytesAfterEoxBelongToNoMessage)
{
    // Runs cut from packets never hold an F7 inside; a run handed in directly may.
    std::vector<uint8_t> aRun = Bytes("F0 01 F7 02");
    m_midi.MacRecvProcess(int(aRun.size()), aRun.data());
    Receive({"F7"});

    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F0 01 F7"));
    EXPECT_THAT(m_log.Lines(), ElementsAre("<Data Error? Eox:247>"));
}

TEST_F(LumMidiParser, EmptyPacketsYieldNoRun)
{
    Receive({"", "F0 01 F7", ""});

    EXPECT_THAT(m_recorder.Of("receiving"), ElementsAre("F0 01", "F7"));
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
