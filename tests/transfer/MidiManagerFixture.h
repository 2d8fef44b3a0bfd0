#pragma once

#include "ReceivedDump.h"
#include "app/MessageManager.h"
#include "platform/midi/VirtualMidi.h"
#include "support/EventPump.h"
#include "transfer/MidiManager.h"
#include "transfer/TransmitClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
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

// A transmit clock whose time moves only when the transmission sleeps: a sleep takes no
// real time and is recorded, as the offset from the start of what it slept until. Waits
// for completions are real (the virtual back end completes on its own thread) and take
// no clock time.
class FakeTransmitClock final : public CTransmitClock
{
public:
    TimePoint Now() override { return m_now; }
    bool SleepUntil(TimePoint due, const std::function<bool()>& bStop) override;
    bool WaitFor(const std::function<bool()>& bDone, std::chrono::milliseconds limit) override;
    void Wake() override {}

    static constexpr TimePoint kStart = TimePoint(std::chrono::hours(1));
    TimePoint m_now = kStart;
    std::vector<std::chrono::microseconds> m_sleptUntil;
    // Called at each sleep with how long it would be, before it looks at its stop.
    std::function<void(std::chrono::steady_clock::duration)> m_onSleep;
};

// What the MIDI manager is attached to in the application: a created message manager with
// a recorder registered and two remembered-name fields, and a created MIDI manager. On the
// virtual back end, reset to no endpoints; on the kernel's sequencer (m_bAlsa) it skips
// where there is none: those tests run inside the alsa-vm tool's VM.
class MidiManagerFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Adds the source "Synth Co - Port 1", opens it as MIDI IN and forgets what that posted.
    void OpenSource();
    // Adds the destination "Synth Co - Port 1", opens it as MIDI OUT and forgets what that
    // posted.
    void OpenDestination();
    // Lets what is posted arrive, then forgets it.
    void ForgetPosted();
    void Inject(const std::vector<Bytes>& packets) { m_pVirtual->Inject(m_hSource, packets); }

    // Lets the message manager's 200 ms throttle pass, so the next LM_RECEIVING is kept.
    static void PassThrottle() { PumpFor(220); }

    // The sender the manager posts with.
    CMessageManagerListener* ManagerAsSender() const
    {
        return static_cast<CMessageManagerListener*>(m_pManager);
    }
    // The message the last single-message reception holds.
    Bytes Received() const;
    // The last transmission's end (LM_TRANSMIT_COMPLETE, _CANCEL or _ERROR), -1 before one.
    int32_t TransmitEnd() const;

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

::testing::AssertionResult MessageIs(const tagListenerMessage& message, int32_t iMessage,
                                     int32_t iParam1, int32_t iParam2, int32_t iParam4);
