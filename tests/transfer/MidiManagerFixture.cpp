#include "MidiManagerFixture.h"

#include "platform/midi/MidiService.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <unistd.h>

bool FakeTransmitClock::SleepUntil(TimePoint due, const std::function<bool()>& bStop)
{
    if (m_onSleep)
        m_onSleep(due - m_now);
    if (bStop())
        return false;
    if (due > m_now)
        m_now = due;
    m_sleptUntil.push_back(std::chrono::duration_cast<std::chrono::microseconds>(m_now - kStart));
    return true;
}

bool FakeTransmitClock::WaitFor(const std::function<bool()>& bDone, std::chrono::milliseconds limit)
{
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!bDone())
    {
        if (std::chrono::steady_clock::now() >= giveUp)
            return bDone();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

void MidiManagerFixture::SetUp()
{
    if (m_bAlsa)
    {
        if (access("/dev/snd/seq", R_OK | W_OK) != 0)
            GTEST_SKIP() << "no ALSA sequencer on this machine; this test runs through alsa-vm";
        ASSERT_STREQ(MidiService::Get().Name(), "alsa");
    }
    else
    {
        setenv("QUILLMARK_MIDI", "virtual", 0);
        m_pVirtual = VirtualMidi::Get();
        ASSERT_NE(m_pVirtual, nullptr) << "the tests need the virtual MIDI back end";
        m_pVirtual->Reset();
    }
    m_pMessageManager = new CMessageManager;
    ASSERT_EQ(m_pMessageManager->Create(), 1);
    m_pMessageManager->AddListener(&m_recorder);
    m_pManager = new CMidiManager;
    m_pManager->Attach(m_pMessageManager, m_szRememberedIn, m_szRememberedOut);
    ASSERT_EQ(m_pManager->Create(), 1);
}

void MidiManagerFixture::TearDown()
{
    // In the application's order: no MIDI callback posts once the MIDI manager is gone.
    delete m_pManager;
    m_pManager = nullptr;
    if (m_pMessageManager)
        m_pMessageManager->Destroy();
    delete m_pMessageManager;
    m_pMessageManager = nullptr;
    if (m_pVirtual)
        m_pVirtual->Reset();
}

void MidiManagerFixture::OpenSource()
{
    m_hSource = m_pVirtual->AddSource("Synth Co", "Port 1");
    m_pVirtual->WaitIdle();
    ASSERT_EQ(m_pManager->MidiInOpenByName("Synth Co - Port 1"), 1);
    ForgetPosted();
}

void MidiManagerFixture::OpenDestination()
{
    m_hDestination = m_pVirtual->AddDestination("Synth Co", "Port 1");
    m_pVirtual->WaitIdle();
    ASSERT_EQ(m_pManager->MidiOutOpenByName("Synth Co - Port 1"), 1);
    ForgetPosted();
}

void MidiManagerFixture::ForgetPosted()
{
    PumpFor(50);
    m_recorder.m_messages.clear();
    m_recorder.m_senders.clear();
}

Bytes MidiManagerFixture::Received() const
{
    Bytes bytes(size_t(std::max(int(m_pManager->m_nReceivedSysExSize), 0)));
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = m_pManager->GetReceivedSysExData(int(i));
    return bytes;
}

int32_t MidiManagerFixture::TransmitEnd() const
{
    for (auto it = m_recorder.m_messages.rbegin(); it != m_recorder.m_messages.rend(); ++it)
        if (it->iMessage == LM_TRANSMIT_COMPLETE || it->iMessage == LM_TRANSMIT_CANCEL ||
            it->iMessage == LM_TRANSMIT_ERROR)
            return it->iMessage;
    return -1;
}

::testing::AssertionResult MessageIs(const tagListenerMessage& message, int32_t iMessage,
                                     int32_t iParam1, int32_t iParam2, int32_t iParam4)
{
    if (message.iMessage == iMessage && message.iParam1 == iParam1 && message.iParam2 == iParam2 &&
        message.iParam4 == iParam4)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got {" << message.iMessage << ", " << message.iParam1 << ", " << message.iParam2
           << ", " << message.iParam3 << ", " << message.iParam4 << "}, expected {" << iMessage
           << ", " << iParam1 << ", " << iParam2 << ", *, " << iParam4 << "}";
}
