#include "app/MessageManager.h"

#include "midi/LumSemaphore.h"
#include "toolkit/DebugLog.h"

void CMessageManagerListener::OnMessageReceived(CMessageManager*, tagListenerMessage,
                                                CMessageManagerListener*)
{
}

namespace
{
// LM_RECEIVING closer than this to the last accepted one is dropped.
constexpr uint32_t kReceivingThrottleMs = 199;
} // namespace

CMessageManager::CMessageManager()
    : m_bCreated(0), m_pListenerSemaphore(nullptr), m_pQueueSemaphore(nullptr),
      m_pRemoveSemaphore(nullptr), m_pRemovedListener(nullptr), m_iTimerInterval(30), m_iSerial(1),
      m_uiLastReceivingTime(GetSystemTimeMs()), m_pTimer(nullptr)
{
}

CMessageManager::~CMessageManager()
{
    Destroy();
}

int CMessageManager::Create()
{
    if (m_bCreated)
        return 0;
    m_listListener.clear();
    m_pListenerSemaphore = new CLumSemaphore(0, 1);
    m_pQueueSemaphore = new CLumSemaphore(0, 1);
    m_pRemoveSemaphore = new CLumSemaphore(0, 1);
    m_listQueue.clear();
    m_iSerial = 1;

    if (!m_pTimer)
    {
        if (InstallEventLoopTimer(0.0, m_iTimerInterval * 0.001, &OnMacTimerProc, this,
                                  &m_pTimer) != noErr)
        {
            // Not created, so Destroy will not run: give the locks back here.
            m_pTimer = nullptr;
            ReleaseLocks();
            return 0;
        }
    }
    m_bCreated = 1;
    return 1;
}

int CMessageManager::Destroy()
{
    if (!m_bCreated)
        return 0;
    if (m_pTimer)
    {
        RemoveEventLoopTimer(m_pTimer);
        m_pTimer = nullptr;
    }
    m_listQueue.clear();
    ReleaseLocks();
    m_listListener.clear();
    m_bCreated = 0;
    return 1;
}

void CMessageManager::ReleaseLocks()
{
    delete m_pRemoveSemaphore;
    m_pRemoveSemaphore = nullptr;
    delete m_pQueueSemaphore;
    m_pQueueSemaphore = nullptr;
    delete m_pListenerSemaphore;
    m_pListenerSemaphore = nullptr;
}

int CMessageManager::AddListener(CMessageManagerListener* pListener)
{
    // A new listener may sit at the address of one deleted before.
    m_pRemoveSemaphore->Wait();
    m_pRemovedListener = nullptr;
    m_pRemoveSemaphore->Signal();

    m_pListenerSemaphore->Wait();
    m_listListener.push_back(tagListenerNode{pListener});
    m_pListenerSemaphore->Signal();
    return 1;
}

int CMessageManager::DeleteListener(CMessageManagerListener* pListener)
{
    m_pRemoveSemaphore->Wait();
    m_pRemovedListener = pListener;
    m_pRemoveSemaphore->Signal();

    bool bFound = false;
    m_pListenerSemaphore->Wait();
    for (auto it = m_listListener.begin(); it != m_listListener.end(); ++it)
    {
        if (it->pListener == pListener)
        {
            m_listListener.erase(it);
            bFound = true;
            break;
        }
    }
    m_pListenerSemaphore->Signal();

    m_pQueueSemaphore->Wait();
    for (auto it = m_listQueue.begin(); it != m_listQueue.end();)
    {
        if (it->pTarget == pListener)
        {
            it->iValid = 0;
            it = m_listQueue.erase(it);
        }
        else
        {
            ++it;
        }
    }
    m_pQueueSemaphore->Signal();

    if (!bFound)
    {
        DebugPrintf("Failed to delete listener from Listener Manager.");
        return 0;
    }
    return 1;
}

int CMessageManager::SendMessage(tagListenerMessage message, CMessageManagerListener* pSender)
{
    if (message.iMessage == LM_RECEIVING)
    {
        const uint32_t uiNow = GetSystemTimeMs();
        if (uint32_t(uiNow - m_uiLastReceivingTime.load()) <= kReceivingThrottleMs)
            return 1;
        m_uiLastReceivingTime.store(uiNow);
    }

    // Held for the whole broadcast, so the copies of one message stay side by side.
    m_pListenerSemaphore->Wait();
    int iResult = 1;
    for (const tagListenerNode& node : m_listListener)
    {
        iResult = SendMessageToListener(node.pListener, message, pSender);
        if (!iResult)
            break;
    }
    ++m_iSerial;
    m_pListenerSemaphore->Signal();
    return iResult;
}

int CMessageManager::SendMessageToListener(CMessageManagerListener* pTarget,
                                           tagListenerMessage message,
                                           CMessageManagerListener* pSender)
{
    if (!pTarget)
        return 0;
    const tagMessageQueueItem item{1, m_iSerial, pTarget, pSender, message};
    m_pQueueSemaphore->Wait();
    m_listQueue.push_back(item);
    m_pQueueSemaphore->Signal();
    return 1;
}

void CMessageManager::ExecuteSendMessage()
{
    if (!m_bCreated)
        return;
    m_pQueueSemaphore->Wait();
    const bool bEmpty = m_listQueue.empty();
    m_pQueueSemaphore->Signal();
    if (bEmpty)
        return;

    // A listener may post, add or delete listeners, even destroy the manager, while it
    // is called; no lock is held across the call.
    while (m_bCreated)
    {
        m_pQueueSemaphore->Wait();
        if (m_listQueue.empty())
        {
            m_pQueueSemaphore->Signal();
            return;
        }
        const tagMessageQueueItem item = m_listQueue.front();
        m_listQueue.pop_front();
        m_pQueueSemaphore->Signal();

        m_pRemoveSemaphore->Wait();
        const bool bRemoved = item.pTarget == m_pRemovedListener;
        m_pRemoveSemaphore->Signal();

        if (!bRemoved)
            item.pTarget->OnMessageReceived(this, item.message, item.pSender);
    }
}

void CMessageManager::OnMacTimerProc(EventLoopTimerRef, void* pUserData)
{
    static_cast<CMessageManager*>(pUserData)->ExecuteSendMessage();
}
