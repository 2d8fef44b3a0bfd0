#pragma once

#include "transfer/TransmitClock.h"

#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>

class QAbstractEventDispatcher;

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

    QTimer m_timer; // ends a dispatcher sleep at the deadline
    std::atomic<QAbstractEventDispatcher*> m_pSleepingIn{nullptr};
    std::mutex m_mutex;
    std::condition_variable m_woken;
    bool m_bWoken = false;
};
