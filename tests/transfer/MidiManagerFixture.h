#pragma once

#include "MessageRecorder.h"
#include "MidiEngine.h"

#include "app/MessageManager.h"
#include "platform/midi/VirtualMidi.h"
#include "support/EventPump.h"
#include "transfer/MidiManager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

// What the MIDI manager is attached to in the application: a created message manager with
// a recorder registered and two remembered-name fields; a created MIDI manager, and the
// virtual MIDI back end reset to no endpoints.
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
