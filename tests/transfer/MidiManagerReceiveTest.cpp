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

TEST_F(MidiManagerReceive, CollectsOneMessageRunByRunWithProgress)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    // Spaced beyond the message manager's throttle, so every progress post is delivered.
    PassThrottle();
    Inject({{0x90, 0x3C, 0x40}});
    PassThrottle();
    EXPECT_TRUE(m_recorder.m_messages.empty()) << "bytes before F0 are not reported";
    Inject({{0xF0, 0x41, 0x10}});
    PassThrottle();
    Inject({{0x42}});
    PassThrottle();
    Inject({{0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));

    const auto& messages = m_recorder.m_messages;
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(MessageIs(messages[0], LM_RECEIVING, -1, 3, 0));
    EXPECT_TRUE(MessageIs(messages[1], LM_RECEIVING, -1, 4, 1));
    EXPECT_TRUE(MessageIs(messages[2], LM_RECEIVE_COMPLETE, 5, -1, 2));
    // Elapsed times count from the F0, which came two pauses before the F7.
    EXPECT_GE(messages[0].iParam3, 0);
    EXPECT_GE(messages[1].iParam3, 200);
    EXPECT_GE(messages[2].iParam3, 400);
    EXPECT_LT(messages[2].iParam3, 60000);
    for (CMessageManagerListener* pSender : m_recorder.m_senders)
        EXPECT_EQ(pSender, ManagerAsSender());

    EXPECT_EQ(m_pManager->m_nReceivedSysExSize, 5);
    EXPECT_EQ(Received(), (Bytes{0xF0, 0x41, 0x10, 0x42, 0xF7}));
    EXPECT_EQ(m_pManager->GetReceivedSysExData(5), 0);
    EXPECT_EQ(m_pManager->GetReceivedSysExData(-1), 0);
}

TEST_F(MidiManagerReceive, RealTimeBytesInsideTheMessageAreLeftOut)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    PassThrottle();
    // Clock and active sensing while the instrument dumps, in their own packets and
    // between data bytes.
    Inject({{0xF0, 0x41}});
    Inject({{0xF8}});
    Inject({{0x10, 0xFE, 0x20}});
    Inject({{0xF8, 0xFA, 0xFC, 0xFF}, {0x30, 0xF8, 0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));

    EXPECT_FALSE(m_recorder.Has(LM_RECEIVE_ERROR));
    EXPECT_EQ(Received(), (Bytes{0xF0, 0x41, 0x10, 0x20, 0x30, 0xF7}));
    auto complete = m_recorder.Of(LM_RECEIVE_COMPLETE);
    ASSERT_EQ(complete.size(), 1u);
    EXPECT_EQ(complete[0].iParam1, 6);
    // The first progress post, after F0 41, is the one the throttle lets through.
    auto receiving = m_recorder.Of(LM_RECEIVING);
    ASSERT_FALSE(receiving.empty());
    EXPECT_TRUE(MessageIs(receiving[0], LM_RECEIVING, -1, 2, 0));
}

TEST_F(MidiManagerReceive, RealTimeRunAfterTheStartGoesOnReceiving)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    PassThrottle();
    Inject({{0xF0, 0x41}});
    PassThrottle();
    Inject({{0xF8}});
    PassThrottle();
    Inject({{0x7F, 0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));

    // The runs F0 41, F8 and 7F each leave the message open; F7 ends it.
    auto receiving = m_recorder.Of(LM_RECEIVING);
    ASSERT_EQ(receiving.size(), 3u);
    EXPECT_TRUE(MessageIs(receiving[0], LM_RECEIVING, -1, 2, 0));
    EXPECT_TRUE(MessageIs(receiving[1], LM_RECEIVING, -1, 2, 1));
    EXPECT_TRUE(MessageIs(receiving[2], LM_RECEIVING, -1, 3, 2));
    EXPECT_TRUE(MessageIs(m_recorder.Of(LM_RECEIVE_COMPLETE)[0], LM_RECEIVE_COMPLETE, 4, -1, 3));
    EXPECT_EQ(Received(), (Bytes{0xF0, 0x41, 0x7F, 0xF7}));
}

TEST_F(MidiManagerReceive, StatusByteBreaksTheMessageAndKeepsWhatCame)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    PassThrottle();
    Inject({{0xF0, 0x41, 0x10}});
    PassThrottle();
    Inject({{0x90, 0x3C, 0x40}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_ERROR));
    // Reception is over: the rest of the message and a whole new one go unheard.
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

TEST_F(MidiManagerReceive, SecondStartBreaksTheMessage)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    Inject({{0xF0, 0x41, 0x10, 0xF0, 0x42, 0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_ERROR));
    EXPECT_EQ(m_recorder.Of(LM_RECEIVE_ERROR)[0].iParam2, 3);
    EXPECT_FALSE(m_recorder.Has(LM_RECEIVE_COMPLETE));
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
}

TEST_F(MidiManagerReceive, MessageSplitOverManyPacketsWithThrottledProgress)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    PassThrottle();
    Bytes expected{0xF0, 0x43};
    std::vector<Bytes> packets{{0xF0, 0x43}};
    for (int i = 0; i < 300; ++i)
    {
        Bytes packet;
        for (int j = 0; j < 9; ++j)
            packet.push_back(uint8_t((i * 9 + j) & 0x7F));
        expected.insert(expected.end(), packet.begin(), packet.end());
        packets.push_back(packet);
    }
    packets.push_back({0xF7});
    expected.push_back(0xF7);
    Inject(packets);
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));

    EXPECT_EQ(Received(), expected);
    // 301 progress posts before the F7, counted whether or not the throttle kept them.
    auto complete = m_recorder.Of(LM_RECEIVE_COMPLETE);
    ASSERT_EQ(complete.size(), 1u);
    EXPECT_TRUE(MessageIs(complete[0], LM_RECEIVE_COMPLETE, int32_t(expected.size()), -1, 301));
    auto receiving = m_recorder.Of(LM_RECEIVING);
    ASSERT_FALSE(receiving.empty());
    EXPECT_LT(receiving.size(), 301u);
    EXPECT_TRUE(MessageIs(receiving[0], LM_RECEIVING, -1, 2, 0));
    for (size_t i = 1; i < receiving.size(); ++i)
    {
        EXPECT_GT(receiving[i].iParam4, receiving[i - 1].iParam4);
        EXPECT_EQ(receiving[i].iParam2, 2 + 9 * receiving[i].iParam4);
    }
}

TEST_F(MidiManagerReceive, LargeDumpIsKeptWhole)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    // Larger than one storage piece, and not a multiple of it.
    const int nData = 200000;
    Bytes expected{0xF0};
    for (int i = 0; i < nData; ++i)
        expected.push_back(uint8_t((i * 7) & 0x7F));
    expected.push_back(0xF7);
    std::vector<Bytes> packets;
    for (size_t i = 0; i < expected.size(); i += 1000)
        packets.emplace_back(expected.begin() + long(i),
                             expected.begin() + long(std::min(expected.size(), i + 1000)));
    Inject(packets);
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));
    EXPECT_EQ(m_recorder.Of(LM_RECEIVE_COMPLETE)[0].iParam1, nData + 2);
    EXPECT_EQ(Received(), expected);
}

TEST_F(MidiManagerReceive, RunsFromAnotherMidiObjectAreIgnored)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    CLumMidi other;
    unsigned char message[] = {0xF0, 0x01, 0xF7};
    m_pManager->OnLumMidiInReceiving(&other, 3, message);
    PumpFor(100);
    EXPECT_TRUE(m_recorder.m_messages.empty());
    EXPECT_EQ(m_pManager->m_nReceivedSysExSize, 0);
}

TEST_F(MidiManagerReceive, ReopeningDisarmsAndForgets)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    Inject({{0xF0, 0x01, 0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));
    ASSERT_EQ(m_pManager->MidiInOpenByName(kSourceName), 1);
    EXPECT_EQ(m_pManager->m_nReceivedSysExSize, 0);
    m_recorder.m_messages.clear();
    Inject({{0xF0, 0x02, 0xF7}});
    m_pVirtual->WaitIdle();
    PumpFor(100);
    EXPECT_TRUE(m_recorder.m_messages.empty()) << "opening does not arm";
}

// --- Setup changes and lifetime ----------------------------------------------------

TEST_F(MidiManagerFixture, SetupChangeIsPostedOncePerClient)
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
}

TEST_F(MidiManagerFixture, CreateAndDestroyOnlyOnce)
{
    EXPECT_EQ(m_pManager->Create(), 0);
    EXPECT_EQ(m_pManager->Destroy(), 1);
    EXPECT_EQ(m_pManager->Destroy(), 0);
    EXPECT_EQ(m_pManager->ReceiveSysExData(), 0);
    EXPECT_EQ(m_pManager->MidiInOpenByName(""), 0);
    EXPECT_EQ(m_pManager->MidiOutOpenByName(""), 0);
    m_pManager->MidiInClose();
    m_pManager->MidiOutClose();
    // And again, as after a restart of the MIDI engine.
    EXPECT_EQ(m_pManager->Create(), 1);
    EXPECT_EQ(m_pManager->ReceiveSysExData(), 1);
}

TEST_F(MidiManagerFixture, NoSetupChangeAfterDestroy)
{
    ASSERT_EQ(m_pManager->Destroy(), 1);
    PumpFor(50);
    m_recorder.m_messages.clear();
    m_pVirtual->AddSource("Synth Co", "Port 9");
    m_pVirtual->WaitIdle();
    PumpFor(100);
    EXPECT_FALSE(m_recorder.Has(LM_SETUP_CHANGED));
}

// --- Arming while input arrives -----------------------------------------------------

using MidiManagerConcurrency = MidiManagerFixture;

TEST_F(MidiManagerConcurrency, ArmingWhileInputArrives)
{
    MIDIEndpointRef hSource = m_pVirtual->AddSource("Synth Co", "Port 1");
    m_pVirtual->WaitIdle();
    ASSERT_EQ(m_pManager->MidiInOpenByName("Synth Co - Port 1"), 1);

    std::atomic<bool> bStop{false};
    std::thread feeder(
        [&]
        {
            Bytes message{0xF0};
            for (int i = 0; i < 64; ++i)
                message.push_back(uint8_t(i));
            message.push_back(0xF7);
            while (!bStop.load())
                m_pVirtual->Inject(hSource, {Bytes(message.begin(), message.begin() + 20),
                                             Bytes(message.begin() + 20, message.end()),
                                             {0xF8}});
        });
    for (int i = 0; i < 300; ++i)
    {
        m_pManager->ReceiveSysExData();
        int nSize = m_pManager->m_nReceivedSysExSize;
        // Whatever is being collected is a prefix of one message.
        if (nSize > 0)
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
    PumpFor(50);
    m_recorder.m_messages.clear();
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    m_pVirtual->Inject(hSource, {{0xF0, 0x11, 0x22, 0xF7}});
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Has(LM_RECEIVE_COMPLETE); }));
    EXPECT_EQ(m_recorder.Of(LM_RECEIVE_COMPLETE)[0].iParam1, 4);
    EXPECT_EQ(m_pManager->GetReceivedSysExData(1), 0x11);
    EXPECT_EQ(m_pManager->GetReceivedSysExData(3), 0xF7);
}
