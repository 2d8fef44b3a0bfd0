#pragma once

#include "platform/ui/EventLoopTimer.h"

#include <atomic>
#include <cstdint>
#include <list>

class CLumSemaphore;
class CMessageManager;

// Message ids. Every message goes to every listener; each acts on the ids it knows.
enum
{
    LM_RECEIVING = 0,         // -1, bytes so far, ms since F0, earlier LM_RECEIVING posts
    LM_RECEIVE_COMPLETE = 1,  // total bytes, -1, ms since F0, the same counter
    LM_RECEIVE_ERROR = 2,     // kReceiveError*, bytes so far, ms since F0, the same counter
    LM_TRANSMIT_START = 3,    // total bytes, -1, clock, -1
    LM_TRANSMITTING = 4,      // total bytes, bytes sent, clock, chunks sent
    LM_TRANSMIT_COMPLETE = 5, // total bytes, -1, clock, chunks sent
    LM_TRANSMIT_CANCEL = 6,   // total bytes, -1, clock, -1
    LM_TRANSMIT_ERROR = 7,    // total bytes, bytes sent, clock, chunks sent (send failed)
    LM_TRANSMIT_READY = 8,    // file size, -1, -1, -1
    LM_SETUP_CHANGED = 10,    // clock, -1, -1, -1
    LM_DUMP_RECEIVING = 11,   // messages kept, total bytes, ms since the first byte, bytes of
                              // the message being received
    LM_DUMP_END = 12,         // messages kept, their bytes, ms since the first byte, kDumpEnd*
};

// Why a reception broke (LM_RECEIVE_ERROR's first parameter).
enum
{
    kReceiveErrorInterrupted = -1, // a status byte came inside the message
    kReceiveErrorDataLost = -2,    // the input dropped bytes: the message is incomplete
    kReceiveErrorSourceGone = -3,  // MIDI IN went away
};

// One message, passed by value. Unused parameters are -1.
struct tagListenerMessage
{
    int32_t iMessage;
    int32_t iParam1;
    int32_t iParam2;
    int32_t iParam3;
    int32_t iParam4;
};

// Everything that receives messages. Called on the main thread only.
class CMessageManagerListener
{
public:
    virtual void OnMessageReceived(CMessageManager* pManager, tagListenerMessage message,
                                   CMessageManagerListener* pSender);
};

struct tagListenerNode
{
    CMessageManagerListener* pListener;
};

// One copy of a message for one listener.
struct tagMessageQueueItem
{
    int32_t iValid;
    int32_t iSerial;
    CMessageManagerListener* pTarget;
    CMessageManagerListener* pSender;
    tagListenerMessage message;
};

// Carries messages from any thread to the listeners on the main thread: SendMessage
// queues one copy per registered listener, and a 30 ms timer on the main thread's event
// loop delivers the queue first in, first out. Reception progress (LM_RECEIVING) is
// passed at most once per 200 ms.
class CMessageManager
{
public:
    CMessageManager();
    virtual ~CMessageManager();

    CMessageManager(const CMessageManager&) = delete;
    CMessageManager& operator=(const CMessageManager&) = delete;

    int Create();  // main thread; 0 when already created or the timer cannot be installed
    int Destroy(); // drops undelivered messages; 0 when not created

    // While created. AddListener and DeleteListener on the main thread, SendMessage and
    // SendMessageToListener on any thread.
    int AddListener(CMessageManagerListener* pListener);
    int DeleteListener(CMessageManagerListener* pListener);
    int SendMessage(tagListenerMessage message, CMessageManagerListener* pSender);
    int SendMessageToListener(CMessageManagerListener* pTarget, tagListenerMessage message,
                              CMessageManagerListener* pSender);

    void ExecuteSendMessage(); // delivers everything queued; main thread

    static void OnMacTimerProc(EventLoopTimerRef pTimer, void* pUserData);

private:
    void ReleaseLocks();

    int32_t m_bCreated;
    CLumSemaphore* m_pListenerSemaphore;
    CLumSemaphore* m_pQueueSemaphore;
    CLumSemaphore* m_pRemoveSemaphore;
    CMessageManagerListener* m_pRemovedListener;
    std::list<tagListenerNode> m_listListener;
    std::list<tagMessageQueueItem> m_listQueue;
    int32_t m_iTimerInterval;
    int32_t m_iSerial;
    // Only the MIDI input thread posts LM_RECEIVING, but tests and other posters may
    // share the throttle, so the value itself is kept race-free.
    std::atomic<uint32_t> m_uiLastReceivingTime;
    EventLoopTimerRef m_pTimer;
};
