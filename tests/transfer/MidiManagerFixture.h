#pragma once

#include "app/MessageManager.h"
#include "platform/midi/VirtualMidi.h"
#include "support/EventPump.h"
#include "transfer/MidiManager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Stands in for a window: keeps every message the message manager delivers to it, in
// order, with its sender.
class MessageRecorder : public CMessageManagerListener
{
public:
    void OnMessageReceived(CMessageManager* pManager, tagListenerMessage message,
                           CMessageManagerListener* pSender) override;

    std::vector<tagListenerMessage> Of(int32_t iMessage) const;
    bool Has(int32_t iMessage) const { return !Of(iMessage).empty(); }

    std::vector<tagListenerMessage> m_messages;
    std::vector<CMessageManagerListener*> m_senders;
    // Called for each message after it is recorded.
    std::function<void(const tagListenerMessage&)> m_onMessage;
};

// What the MIDI manager is attached to in the application: a created message manager with
// a recorder registered and two remembered-name fields; a created MIDI manager, and the
// virtual MIDI back end reset to no endpoints.
class MidiManagerFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

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
    MessageRecorder m_recorder;
};

::testing::AssertionResult MessageIs(const tagListenerMessage& message, int32_t iMessage,
                                     int32_t iParam1, int32_t iParam2, int32_t iParam4);
