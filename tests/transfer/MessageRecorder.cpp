#include "MessageRecorder.h"

void MessageRecorder::OnMessageReceived(CMessageManager*, tagListenerMessage message,
                                        CMessageManagerListener* pSender)
{
    m_messages.push_back(message);
    m_senders.push_back(pSender);
    if (m_onMessage)
        m_onMessage(message);
}

std::vector<tagListenerMessage> MessageRecorder::Of(int32_t iMessage) const
{
    std::vector<tagListenerMessage> found;
    for (const tagListenerMessage& message : m_messages)
        if (message.iMessage == iMessage)
            found.push_back(message);
    return found;
}
