#pragma once

#include "app/MessageManager.h"

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
