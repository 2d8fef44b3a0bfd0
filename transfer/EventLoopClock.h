#pragma once

#include "transfer/TransmitClock.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

struct OpaqueEventDispatcherRef;

// The application's transmit clock: the steady clock, and waits that serve the calling
// thread's event loop. Between servings the thread sleeps in its event dispatcher until
// an event, the time it waits for, or a Wake; a thread without an event loop sleeps on a
// condition instead.
class CEventLoopClock final : public CTransmitClock
{
public:
    CEventLoopClock();
    ~CEventLoopClock() override;

    TimePoint Now() override;
    bool SleepUntil(TimePoint due, const std::function<bool()>& bStop) override;
    bool WaitFor(const std::function<bool()>& bDone, std::chrono::milliseconds limit) override;
    void Wake() override;

private:
    // Serves events until bDone() or the deadline; returns bDone().
    bool Serve(const std::function<bool()>& bDone, TimePoint deadline);
    void SleepAtMostUntil(TimePoint deadline);

    std::atomic<OpaqueEventDispatcherRef*> m_pSleepingIn{nullptr};
    std::mutex m_mutex;
    std::condition_variable m_woken;
    bool m_bWoken = false;
};
