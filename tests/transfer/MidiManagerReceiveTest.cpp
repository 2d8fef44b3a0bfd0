#include "MidiManagerFixture.h"

#include "support/LogCapture.h"
#include "toolkit/DebugLog.h"

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

namespace
{
const char* const kSourceName = "Synth Co - Port 1";

class MidiManagerReceive : public MidiManagerFixture
{
protected:
    void SetUp() override
    {
        MidiManagerFixture::SetUp();
        if (HasFatalFailure())
            return;
        OpenSource();
    }

    Bytes Received() const
    {
        Bytes bytes;
        for (int i = 0; i < m_pManager->m_nReceivedSysExSize; ++i)
            bytes.push_back(m_pManager->GetReceivedSysExData(i));
        return bytes;
    }

    bool WaitFor(int32_t iMessage)
    {
        return PumpUntil([&] { return m_recorder.Has(iMessage); });
    }
};
} // namespace

// Real-time bytes, in packets of their own or between data bytes, are left out; after the
// start they leave the message open and each counts as a run.
TEST_F(MidiManagerReceive, CollectsOneMessageRunByRunWithProgress)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    // Spaced beyond the message manager's throttle, so every progress post is delivered.
    PassThrottle();
    Inject({{0x90, 0x3C, 0x40}});
    PassThrottle();
    EXPECT_TRUE(m_recorder.m_messages.empty()) << "bytes before F0 are not reported";
    for (const Bytes& run : std::vector<Bytes>{{0xF0, 0x41, 0x10}, {0xF8, 0xFE}, {0x42}})
    {
        Inject({run});
        PassThrottle();
    }
    Inject({{0x43, 0xFA, 0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));

    const auto& messages = m_recorder.m_messages;
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_TRUE(MessageIs(messages[0], LM_RECEIVING, -1, 3, 0));
    EXPECT_TRUE(MessageIs(messages[1], LM_RECEIVING, -1, 3, 1));
    EXPECT_TRUE(MessageIs(messages[2], LM_RECEIVING, -1, 4, 3));
    EXPECT_TRUE(MessageIs(messages[3], LM_RECEIVING, -1, 4, 4));
    EXPECT_TRUE(MessageIs(messages[4], LM_RECEIVE_COMPLETE, 6, -1, 6));
    // Elapsed times count from the F0, which came three pauses before the F7.
    EXPECT_GE(messages[0].iParam3, 0);
    EXPECT_GE(messages[1].iParam3, 200);
    EXPECT_GE(messages[4].iParam3, 600);
    EXPECT_LT(messages[4].iParam3, 60000);
    for (CMessageManagerListener* pSender : m_recorder.m_senders)
        EXPECT_EQ(pSender, ManagerAsSender());

    EXPECT_EQ(m_pManager->m_nReceivedSysExSize, 6);
    EXPECT_EQ(Received(), (Bytes{0xF0, 0x41, 0x10, 0x42, 0x43, 0xF7}));
    EXPECT_EQ(m_pManager->GetReceivedSysExData(6), 0);
    EXPECT_EQ(m_pManager->GetReceivedSysExData(-1), 0);
}

// A status byte or a second F0 ends the reception with what came; the rest goes unheard.
TEST_F(MidiManagerReceive, StatusOrStartByteBreaksTheMessageAndKeepsWhatCame)
{
    for (const Bytes& breaker : std::vector<Bytes>{{0x90, 0x3C, 0x40}, {0xF0, 0x42, 0xF7}})
    {
        m_recorder.m_messages.clear();
        ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
        PassThrottle();
        Inject({{0xF0, 0x41, 0x10}});
        PassThrottle();
        Inject({breaker});
        ASSERT_TRUE(WaitFor(LM_RECEIVE_ERROR));
        Inject({{0x42, 0xF7}, {0xF0, 0x01, 0xF7}});
        m_pVirtual->WaitIdle();
        PumpFor(100);

        auto errors = m_recorder.Of(LM_RECEIVE_ERROR);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(MessageIs(errors[0], LM_RECEIVE_ERROR, -1, 3, 1));
        EXPECT_GE(errors[0].iParam3, 200);
        EXPECT_FALSE(m_recorder.Has(LM_RECEIVE_COMPLETE));
        EXPECT_EQ(m_recorder.Of(LM_RECEIVING).size(), 1u);
        EXPECT_EQ(Received(), (Bytes{0xF0, 0x41, 0x10}));
    }
}

TEST_F(MidiManagerReceive, OneArmingTakesOneMessage)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    Inject({{0x01, 0x02}, {0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x03, 0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));
    Inject({{0xF0, 0x04, 0xF7}});
    m_pVirtual->WaitIdle();
    PumpFor(100);
    EXPECT_EQ(m_recorder.Of(LM_RECEIVE_COMPLETE).size(), 1u);
    // One progress post, after the run F0 01.
    EXPECT_TRUE(MessageIs(m_recorder.Of(LM_RECEIVE_COMPLETE)[0], LM_RECEIVE_COMPLETE, 3, -1, 1));
    EXPECT_EQ(Received(), (Bytes{0xF0, 0x01, 0xF7}));

    // Arming again forgets the first and takes the next.
    m_recorder.m_messages.clear();
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    EXPECT_EQ(m_pManager->m_nReceivedSysExSize, 0);
    EXPECT_EQ(m_pManager->GetReceivedSysExData(0), 0);
    Inject({{0xF0, 0x05, 0x06, 0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));
    EXPECT_EQ(Received(), (Bytes{0xF0, 0x05, 0x06, 0xF7}));

    // Opening the input again forgets it too, and does not arm.
    ASSERT_EQ(m_pManager->MidiInOpenByName(kSourceName), 1);
    EXPECT_EQ(m_pManager->m_nReceivedSysExSize, 0);
    m_recorder.m_messages.clear();
    Inject({{0xF0, 0x02, 0xF7}});
    m_pVirtual->WaitIdle();
    PumpFor(100);
    EXPECT_TRUE(m_recorder.m_messages.empty());
}

// Larger than one storage piece and not a multiple of it, in many packets.
TEST_F(MidiManagerReceive, LargeMessageOverManyPacketsIsKeptWholeWithThrottledProgress)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    PassThrottle();
    const int nPackets = 300, nPacket = 701;
    Bytes expected{0xF0, 0x43};
    std::vector<Bytes> packets{{0xF0, 0x43}};
    for (int i = 0; i < nPackets; ++i)
    {
        Bytes packet;
        for (int j = 0; j < nPacket; ++j)
            packet.push_back(uint8_t((i * 7 + j) & 0x7F));
        expected.insert(expected.end(), packet.begin(), packet.end());
        packets.push_back(packet);
    }
    packets.push_back({0xF7});
    expected.push_back(0xF7);
    Inject(packets);
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));

    EXPECT_EQ(Received(), expected);
    // A progress post for each packet before the F7, counted whether or not the throttle
    // kept them.
    auto complete = m_recorder.Of(LM_RECEIVE_COMPLETE);
    ASSERT_EQ(complete.size(), 1u);
    EXPECT_TRUE(
        MessageIs(complete[0], LM_RECEIVE_COMPLETE, int32_t(expected.size()), -1, nPackets + 1));
    auto receiving = m_recorder.Of(LM_RECEIVING);
    ASSERT_FALSE(receiving.empty());
    EXPECT_LT(receiving.size(), size_t(nPackets + 1));
    EXPECT_TRUE(MessageIs(receiving[0], LM_RECEIVING, -1, 2, 0));
    for (size_t i = 1; i < receiving.size(); ++i)
    {
        EXPECT_GT(receiving[i].iParam4, receiving[i - 1].iParam4);
        EXPECT_EQ(receiving[i].iParam2, 2 + nPacket * receiving[i].iParam4);
    }
}

// Setup changes are posted once per client while the manager lives; a destroyed manager
// refuses everything until created again, as after a restart of the MIDI engine.
TEST_F(MidiManagerFixture, SetupChangesAndLifetime)
{
    PumpFor(50);
    m_recorder.m_messages.clear();
    uint32_t uiBefore = GetSystemTimeMs();
    m_pVirtual->AddDestination("Synth Co", "Port 2");
    m_pVirtual->WaitIdle();
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Of(LM_SETUP_CHANGED).size() >= 2; }));
    PumpFor(50);
    auto changes = m_recorder.Of(LM_SETUP_CHANGED);
    ASSERT_EQ(changes.size(), 2u);
    for (const tagListenerMessage& change : changes)
    {
        EXPECT_LE(uint32_t(change.iParam1) - uiBefore, 5000u);
        EXPECT_EQ(change.iParam2, -1);
        EXPECT_EQ(change.iParam3, -1);
        EXPECT_EQ(change.iParam4, -1);
    }

    EXPECT_EQ(m_pManager->Create(), 0);
    EXPECT_EQ(m_pManager->Destroy(), 1);
    EXPECT_EQ(m_pManager->Destroy(), 0);
    EXPECT_EQ(m_pManager->ReceiveSysExData(), 0);
    EXPECT_EQ(m_pManager->ReceiveSysExDump(0), 0);
    EXPECT_EQ(m_pManager->SendSysExRequest({0xF0, 0xF7}), 0);
    EXPECT_EQ(m_pManager->MidiInOpenByName(""), 0);
    EXPECT_EQ(m_pManager->MidiOutOpenByName(""), 0);
    m_pManager->MidiInClose();
    m_pManager->MidiOutClose();
    m_recorder.m_messages.clear();
    m_pVirtual->AddSource("Synth Co", "Port 9");
    m_pVirtual->WaitIdle();
    PumpFor(100);
    EXPECT_FALSE(m_recorder.Has(LM_SETUP_CHANGED));

    EXPECT_EQ(m_pManager->Create(), 1);
    EXPECT_EQ(m_pManager->ReceiveSysExData(), 1);
}

// --- Arming while input arrives -----------------------------------------------------

using MidiManagerConcurrency = MidiManagerFixture;

TEST_F(MidiManagerConcurrency, ArmingWhileInputArrives)
{
    OpenSource();
    std::atomic<bool> bStop{false};
    std::thread feeder(
        [&]
        {
            Bytes message{0xF0};
            for (int i = 0; i < 64; ++i)
                message.push_back(uint8_t(i));
            message.push_back(0xF7);
            while (!bStop.load())
                Inject({Bytes(message.begin(), message.begin() + 20),
                        Bytes(message.begin() + 20, message.end()),
                        {0xF8}});
        });
    for (int i = 0; i < 300; ++i)
    {
        m_pManager->ReceiveSysExData();
        // Whatever is being collected is a prefix of one message.
        if (m_pManager->m_nReceivedSysExSize > 0)
        {
            EXPECT_EQ(m_pManager->GetReceivedSysExData(0), 0xF0);
        }
        if (i % 50 == 0)
            PumpFor(5);
    }
    bStop = true;
    feeder.join();
    m_pVirtual->WaitIdle();

    // After the storm, one arming still collects one whole message.
    ForgetPosted();
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    Inject({{0xF0, 0x11, 0x22, 0xF7}});
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Has(LM_RECEIVE_COMPLETE); }));
    EXPECT_EQ(m_recorder.Of(LM_RECEIVE_COMPLETE)[0].iParam1, 4);
    EXPECT_EQ(m_pManager->GetReceivedSysExData(1), 0x11);
    EXPECT_EQ(m_pManager->GetReceivedSysExData(3), 0xF7);
}
