#pragma once

#include "ReceivedDump.h"
#include "app/MessageManager.h"
#include "platform/midi/MidiService.h"
#include "platform/midi/VirtualMidi.h"
#include "support/EventPump.h"
#include "transfer/MidiManager.h"
#include "transfer/TransmitClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <thread>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Stands in for a window: keeps every message the message manager delivers to it, in
// order, with its sender.
class MessageRecorder : public CMessageManagerListener
{
public:
    void OnMessageReceived(CMessageManager*, tagListenerMessage message,
                           CMessageManagerListener* pSender) override
    {
        m_messages.push_back(message);
        m_senders.push_back(pSender);
        if (m_onMessage)
            m_onMessage(message);
    }

    std::vector<tagListenerMessage> Of(int32_t iMessage) const
    {
        std::vector<tagListenerMessage> found;
        for (const tagListenerMessage& message : m_messages)
            if (message.iMessage == iMessage)
                found.push_back(message);
        return found;
    }
    bool Has(int32_t iMessage) const { return !Of(iMessage).empty(); }

    std::vector<tagListenerMessage> m_messages;
    std::vector<CMessageManagerListener*> m_senders;
    // Called for each message after it is recorded.
    std::function<void(const tagListenerMessage&)> m_onMessage;
};

// A clock that moves only when the transmission sleeps; each sleep is recorded as the offset
// from the start it slept until. Waits for completions are real but take no clock time.
class FakeTransmitClock final : public CTransmitClock
{
public:
    TimePoint Now() override { return m_now; }
    bool SleepUntil(TimePoint due, const std::function<bool()>& bStop) override
    {
        if (m_onSleep)
            m_onSleep(due - m_now);
        if (bStop())
            return false;
        m_now = std::max(m_now, due);
        m_sleptUntil.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(m_now - kStart));
        return true;
    }
    bool WaitFor(const std::function<bool()>& bDone, std::chrono::milliseconds limit) override
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
    void Wake() override {}

    static constexpr TimePoint kStart = TimePoint(std::chrono::hours(1));
    TimePoint m_now = kStart;
    std::vector<std::chrono::microseconds> m_sleptUntil;
    // Called at each sleep with how long it would be, before it looks at its stop.
    std::function<void(std::chrono::steady_clock::duration)> m_onSleep;
};

// A MIDI manager attached as in the application, a recorder listening; on the virtual back
// end from no endpoints, on the kernel's sequencer (m_bAlsa) skipped where there is none.
class MidiManagerFixture : public ::testing::Test
{
protected:
    void SetUp() override
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

    void TearDown() override
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

    // Adds the source (bIn) or destination "Synth Co - Port 1", opens it as MIDI IN or OUT
    // and forgets what that posted.
    void OpenPort(bool bIn)
    {
        const MIDIEndpointRef hEndpoint = bIn ? m_pVirtual->AddSource("Synth Co", "Port 1")
                                              : m_pVirtual->AddDestination("Synth Co", "Port 1");
        (bIn ? m_hSource : m_hDestination) = hEndpoint;
        m_pVirtual->WaitIdle();
        ASSERT_EQ(bIn ? m_pManager->MidiInOpenByName("Synth Co - Port 1")
                      : m_pManager->MidiOutOpenByName("Synth Co - Port 1"),
                  1);
        ForgetPosted();
    }
    // Lets what is posted arrive, then forgets it.
    void ForgetPosted()
    {
        PumpFor(50);
        m_recorder.m_messages.clear();
        m_recorder.m_senders.clear();
    }
    void Inject(const std::vector<Bytes>& packets) { m_pVirtual->Inject(m_hSource, packets); }

    // Lets the message manager's 200 ms throttle pass, so the next LM_RECEIVING is kept.
    static void PassThrottle() { PumpFor(220); }

    // The message the last single-message reception holds.
    Bytes Received() const
    {
        Bytes bytes(size_t(std::max(int(m_pManager->m_nReceivedSysExSize), 0)));
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = m_pManager->GetReceivedSysExData(int(i));
        return bytes;
    }
    // The last transmission's end (LM_TRANSMIT_COMPLETE, _CANCEL or _ERROR), -1 before one.
    int32_t TransmitEnd() const
    {
        for (auto it = m_recorder.m_messages.rbegin(); it != m_recorder.m_messages.rend(); ++it)
            if (it->iMessage == LM_TRANSMIT_COMPLETE || it->iMessage == LM_TRANSMIT_CANCEL ||
                it->iMessage == LM_TRANSMIT_ERROR)
                return it->iMessage;
        return -1;
    }

    bool m_bAlsa = false;
    CMessageManager* m_pMessageManager = nullptr;
    char m_szRememberedIn[256] = {};
    char m_szRememberedOut[256] = {};
    CMidiManager* m_pManager = nullptr;
    VirtualMidi* m_pVirtual = nullptr;
    MIDIEndpointRef m_hSource = 0;
    MIDIEndpointRef m_hDestination = 0;
    MessageRecorder m_recorder;
};

inline ::testing::AssertionResult MessageIs(const tagListenerMessage& message, int32_t iMessage,
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
