#include "MidiManagerFixture.h"

#include <QTimer>

#include <memory>

// What a break in MIDI IN or the loss of MIDI OUT does to a reception, a dump and a
// transmission: each ends at once and says why, and nothing damaged is kept or called sent.
namespace
{
class MidiManagerBreak : public MidiManagerFixture
{
protected:
    void SetUp() override
    {
        MidiManagerFixture::SetUp();
        if (HasFatalFailure())
            return;
        m_hDestination = m_pVirtual->AddDestination("Synth Co", "Port 1");
        OpenSource();
    }

    // The input overruns, or its source goes away.
    void Break(bool bSourceGoes)
    {
        if (bSourceGoes)
            m_pVirtual->RemoveEndpoint(m_hSource);
        else
            m_pVirtual->BreakInput(m_hSource);
        m_pVirtual->WaitIdle();
    }

};

const bool kSourceGoes[] = {false, true};

TEST_F(MidiManagerBreak, AnArmedReceptionEndsAtOnceSayingWhy)
{
    for (bool bSourceGoes : kSourceGoes)
    {
        SCOPED_TRACE(bSourceGoes ? "source gone" : "data lost");
        if (bSourceGoes)
        {
            // A break while not armed is only logged.
            m_pVirtual->BreakInput(m_hSource);
            PumpFor(60);
            EXPECT_TRUE(m_recorder.m_messages.empty());
        }
        ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
        Inject({{0xF0, 0x41, 0x10}});
        Break(bSourceGoes);
        ASSERT_TRUE(PumpUntil([&] { return m_recorder.Has(LM_RECEIVE_ERROR); }));
        const tagListenerMessage error = m_recorder.Of(LM_RECEIVE_ERROR).back();
        EXPECT_EQ(error.iParam1, bSourceGoes ? kReceiveErrorSourceGone : kReceiveErrorDataLost);
        EXPECT_EQ(error.iParam2, 3);
        EXPECT_FALSE(m_recorder.Has(LM_RECEIVE_COMPLETE));
        m_recorder.m_messages.clear();
    }
}

TEST_F(MidiManagerBreak, ADumpKeepsOnlyTheMessagesThatCameWholeBeforeTheBreak)
{
    for (bool bSourceGoes : kSourceGoes)
    {
        SCOPED_TRACE(bSourceGoes ? "source gone" : "data lost");
        if (bSourceGoes)
        {
            m_hSource = m_pVirtual->AddSource("Synth Co", "Port 2");
            m_pVirtual->WaitIdle();
            ASSERT_EQ(m_pManager->MidiInOpenByName("Synth Co - Port 2"), 1);
        }
        m_recorder.m_messages.clear();
        ASSERT_EQ(m_pManager->ReceiveSysExDump(0), 1);
        Inject({{0xF0, 0x41, 0x01, 0xF7}, {0xF0, 0x41, 0x02}});
        Break(bSourceGoes);
        ASSERT_TRUE(PumpUntil([&] { return m_recorder.Has(LM_DUMP_END); }));
        const tagListenerMessage end = m_recorder.Of(LM_DUMP_END).back();
        EXPECT_EQ(end.iParam4, bSourceGoes ? kDumpEndSourceGone : kDumpEndDataLost);
        EXPECT_EQ(end.iParam1, 1);
        EXPECT_EQ(end.iParam2, 4);
        EXPECT_EQ(m_pManager->GetDumpStatus().iEnd, end.iParam4);
        EXPECT_EQ(ReceivedDump(*m_pManager), (Bytes{0xF0, 0x41, 0x01, 0xF7}));
    }
}

TEST_F(MidiManagerBreak, AnOutputThatRefusesDoesNotOpenAndOneThatGoesFailsTheTransmission)
{
    m_pVirtual->FailNextConnect(kMIDINoConnection);
    EXPECT_EQ(m_pManager->MidiOutOpenByName("Synth Co - Port 1"), 0);
    ASSERT_EQ(m_pManager->MidiOutOpenByName("Synth Co - Port 1"), 1);

    // The destination goes while its second block is on the way: even though every block
    // was handed over, the transmission failed.
    m_pVirtual->HoldCompletions(true);
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&]
                     {
                         if (m_pVirtual->HeldCompletions() != 1)
                             return;
                         if (m_pVirtual->CapturedSends(m_hDestination).size() == 2)
                             m_pVirtual->RemoveEndpoint(m_hDestination);
                         m_pVirtual->HoldCompletions(false);
                         m_pVirtual->HoldCompletions(true);
                     });
    ticker.start(2);
    Bytes data(400, 0x01);
    data.front() = 0xF0;
    data.back() = 0xF7;
    EXPECT_EQ(m_pManager->TransmitSysExData(data.data(), int(data.size())), 0);
    ticker.stop();
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Has(LM_TRANSMIT_ERROR); }));
    EXPECT_TRUE(MessageIs(m_recorder.Of(LM_TRANSMIT_ERROR).back(), LM_TRANSMIT_ERROR, 400, 256, 1));
    EXPECT_FALSE(m_recorder.Has(LM_TRANSMIT_COMPLETE));
}
} // namespace
