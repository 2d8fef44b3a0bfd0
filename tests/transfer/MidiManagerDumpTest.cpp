#include "FakeTransmitClock.h"
#include "MidiManagerFixture.h"

#include "file/LumFile.h"
#include "support/TempDir.h"

#include <chrono>
#include <string>

namespace
{
using namespace std::chrono_literals;

const char* const kSourceName = "Synth Co - Port 1";

// A dump recording on the virtual back end, with a clock the test moves.
class MidiManagerDump : public MidiManagerFixture
{
protected:
    void SetUp() override
    {
        MidiManagerFixture::SetUp();
        if (HasFatalFailure())
            return;
        OpenSource();
        m_pManager->SetReceiveClock(&m_clock);
    }

    // Lets the dump's timer see what was injected.
    void LetTimerLook() { PumpFor(3 * CMidiManager::sm_iDumpTickMs); }

    Bytes Dump() { return ReceivedDump(*m_pManager); }

    bool WaitForEnd()
    {
        return PumpUntil([&] { return m_recorder.Has(LM_DUMP_END); });
    }

    FakeTransmitClock m_clock;
};

Bytes Message(uint8_t ucId, int nData)
{
    Bytes message{0xF0, 0x41, ucId};
    for (int i = 0; i < nData; ++i)
        message.push_back(uint8_t((ucId + i) & 0x7F));
    message.push_back(0xF7);
    return message;
}
} // namespace

// A Roland-style bank: 100 messages of 138 bytes, some split over packets, with active
// sensing between them; then one message broken off by a status byte and one still open
// at the stop, both left out.
TEST_F(MidiManagerDump, KeepsEveryCompleteMessageUntilStopped)
{
    std::vector<Bytes> packets;
    Bytes kept;
    for (int i = 0; i < 100; ++i)
    {
        Bytes message = Message(uint8_t(i), 135);
        kept.insert(kept.end(), message.begin(), message.end());
        packets.emplace_back(message.begin(), message.begin() + 70);
        packets.emplace_back(message.begin() + 70, message.end());
        packets.push_back({0xFE});
    }
    const Bytes broken{0xF0, 0x41, 0x02, 0x05}, last = Message(3, 10);
    kept.insert(kept.end(), last.begin(), last.end());
    for (const Bytes& packet : {broken, Bytes{0x90, 0x3C, 0x40}, last, broken})
        packets.push_back(packet);
    const int32_t iMessages = 101;

    ASSERT_EQ(m_pManager->ReceiveSysExDump(0), 1);
    Inject(packets);
    m_pVirtual->WaitIdle();
    LetTimerLook();
    m_clock.m_now += 1500ms;
    LetTimerLook();
    EXPECT_FALSE(m_recorder.Has(LM_DUMP_END)) << "without an idle time only Stop ends it";

    const tagDumpStatus running = m_pManager->GetDumpStatus();
    EXPECT_TRUE(running.bRecording);
    EXPECT_TRUE(running.bStarted);
    EXPECT_EQ(running.counts.llMessages, iMessages);
    auto progress = m_recorder.Of(LM_DUMP_RECEIVING);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().iParam1, iMessages);
    EXPECT_EQ(progress.back().iParam4, int32_t(running.counts.llCurrentBytes));

    EXPECT_EQ(m_pManager->StopReceive(), 1);
    ASSERT_TRUE(WaitForEnd());
    auto ends = m_recorder.Of(LM_DUMP_END);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_TRUE(MessageIs(ends[0], LM_DUMP_END, iMessages, int32_t(kept.size()), kDumpEndStopped));
    EXPECT_EQ(ends[0].iParam3, 1500) << "elapsed counts from the first byte";

    const tagDumpStatus status = m_pManager->GetDumpStatus();
    EXPECT_FALSE(status.bRecording);
    EXPECT_EQ(status.iEnd, kDumpEndStopped);
    EXPECT_EQ(status.counts.llInterrupted, 1);
    EXPECT_EQ(status.counts.bIncompleteAtStop, 1);
    EXPECT_EQ(Dump(), kept);
    TempDir dir;
    const std::string path = dir.Write("dump.syx", Bytes{});
    CLumFile file;
    ASSERT_EQ(file.Open(path.c_str(), 2), 1);
    EXPECT_EQ(m_pManager->WriteReceivedDump(&file), 1);
    file.Close();
    EXPECT_EQ(TempDir::Read(path), kept);
    EXPECT_EQ(m_pManager->WriteReceivedDump(nullptr), 0);

    // Stopped means stopped: later bytes are not taken.
    Inject({Message(9, 3)});
    m_pVirtual->WaitIdle();
    EXPECT_EQ(Dump(), kept);
    EXPECT_EQ(m_pManager->StopReceive(), 0);
}

namespace
{
// When the silence after the last byte ends the recording.
struct tagIdleCase
{
    const char* pszName;
    int iIdleMs;
    // Clock steps, each followed by a look of the timer: ms to move on, and whether
    // bytes come before the step.
    std::vector<std::pair<int, bool>> steps;
    size_t nEndAfterStep; // steps.size() when it must not end
};

class MidiManagerDumpIdle : public MidiManagerDump,
                            public ::testing::WithParamInterface<tagIdleCase>
{
};

const tagIdleCase kIdleCases[] = {
    // A slow instrument may take long to start: the silence before it does not count.
    {"WaitsForTheFirstByte", 1000, {{5000, false}, {999, true}, {1, false}}, 2},
    {"EachByteStartsTheSilenceAgain",
     1000,
     {{0, true}, {900, true}, {900, true}, {1000, false}},
     3},
};

void PrintTo(const tagIdleCase& c, std::ostream* pStream)
{
    *pStream << c.pszName;
}

INSTANTIATE_TEST_SUITE_P(Cases, MidiManagerDumpIdle, ::testing::ValuesIn(kIdleCases),
                         [](const auto& info) { return std::string(info.param.pszName); });
} // namespace

TEST_P(MidiManagerDumpIdle, EndsAfterTheSilenceFollowingTheLastByte)
{
    const tagIdleCase& c = GetParam();
    ASSERT_EQ(m_pManager->ReceiveSysExDump(c.iIdleMs), 1);
    for (size_t i = 0; i < c.steps.size(); ++i)
    {
        if (c.steps[i].second)
        {
            Inject({Message(uint8_t(i), 4)});
            m_pVirtual->WaitIdle();
            LetTimerLook();
        }
        m_clock.m_now += std::chrono::milliseconds(c.steps[i].first);
        LetTimerLook();
        EXPECT_EQ(m_recorder.Has(LM_DUMP_END), i >= c.nEndAfterStep) << "after step " << i;
    }
    if (c.nEndAfterStep < c.steps.size())
    {
        const tagListenerMessage end = m_recorder.Of(LM_DUMP_END).at(0);
        EXPECT_EQ(end.iParam4, kDumpEndIdle);
        EXPECT_EQ(m_pManager->GetDumpStatus().iEnd, kDumpEndIdle);
        EXPECT_FALSE(m_pManager->GetDumpStatus().bRecording);
    }
}

// Input that has come but waits unread, behind a reader the system keeps from running, is
// not silence: the dump waits for it.
TEST_F(MidiManagerDump, SilenceWhileInputWaitsUnreadDoesNotEndIt)
{
    ASSERT_EQ(m_pManager->ReceiveSysExDump(1000), 1);
    Inject({Message(1, 4)});
    m_pVirtual->WaitIdle();
    LetTimerLook();
    m_pVirtual->SetInputWaiting(true);
    m_clock.m_now += 5s;
    LetTimerLook();
    EXPECT_FALSE(m_recorder.Has(LM_DUMP_END));
    m_pVirtual->SetInputWaiting(false);
    LetTimerLook();
    ASSERT_TRUE(m_recorder.Has(LM_DUMP_END));
    EXPECT_EQ(m_recorder.Of(LM_DUMP_END).at(0).iParam4, kDumpEndIdle);
}

TEST_F(MidiManagerDump, OneMessageArmingTakesOverAndTheDumpIsForgotten)
{
    ASSERT_EQ(m_pManager->ReceiveSysExDump(1000), 1);
    Inject({Message(1, 4)});
    m_pVirtual->WaitIdle();
    LetTimerLook();
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    EXPECT_TRUE(Dump().empty());
    m_clock.m_now += 5s;
    Inject({Message(2, 4), Message(3, 4)});
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Has(LM_RECEIVE_COMPLETE); }));
    LetTimerLook();
    EXPECT_FALSE(m_recorder.Has(LM_DUMP_END)) << "an abandoned recording does not end itself";
    EXPECT_EQ(m_pManager->m_nReceivedSysExSize, int(Message(2, 4).size()));
    EXPECT_EQ(m_pManager->StopReceive(), 0) << "the one message disarmed itself";
}

TEST_F(MidiManagerDump, RequestIsRefusedWithoutOutputOrWhenInvalid)
{
    const Bytes request{0xF0, 0x7D, 0x01, 0xF7};
    EXPECT_EQ(m_pManager->SendSysExRequest(request), 0) << "no MIDI OUT open";
    MIDIEndpointRef hDestination = m_pVirtual->AddDestination("Synth Co", "Port 1");
    m_pVirtual->WaitIdle();
    ASSERT_EQ(m_pManager->MidiOutOpenByName(kSourceName), 1);
    EXPECT_EQ(m_pManager->SendSysExRequest({0xF0, 0x7D, 0x80, 0xF7}), 0);
    EXPECT_EQ(m_pManager->SendSysExRequest({}), 0);
    EXPECT_TRUE(m_pVirtual->Captured(hDestination).empty());
    EXPECT_EQ(m_pManager->SendSysExRequest(request), 1);
    EXPECT_EQ(m_pVirtual->Captured(hDestination), request);
}
