#include "transfer/EventLoopClock.h"

#include "platform/ui/EventDispatcherSleep.h"
#include "toolkit/Utility.h"

#include <thread>

namespace
{
using namespace std::chrono_literals;

// Shorter sleeps are slept through: a timer would wake a millisecond late, which adds up
// over thousands of blocks.
constexpr auto kShortestTimedSleep = 2ms;
// A dispatcher may sleep through a wake-up that comes just before it sleeps; it looks
// again at least this often.
constexpr auto kLongestSleep = 100ms;
} // namespace

CEventLoopClock::CEventLoopClock() = default;

CEventLoopClock::~CEventLoopClock() = default;

CTransmitClock::TimePoint CEventLoopClock::Now()
{
    return std::chrono::steady_clock::now();
}

bool CEventLoopClock::SleepUntil(TimePoint due, const std::function<bool()>& bStop)
{
    Serve(bStop, due);
    return Now() >= due;
}

bool CEventLoopClock::WaitFor(const std::function<bool()>& bDone, std::chrono::milliseconds limit)
{
    return Serve(bDone, Now() + limit);
}

void CEventLoopClock::Wake()
{
    WakeEventDispatcher(m_pSleepingIn.load());
    std::lock_guard lock(m_mutex);
    m_bWoken = true;
    m_woken.notify_all();
}

bool CEventLoopClock::Serve(const std::function<bool()>& bDone, TimePoint deadline)
{
    // Known before the condition is first looked at: a Wake that comes between a look
    // and the sleep then ends the sleep at once.
    m_pSleepingIn.store(GetCurrentEventDispatcher());
    bool bResult = false;
    for (;;)
    {
        if ((bResult = bDone()) || Now() >= deadline)
            break;
        ProcessModalMessage(nullptr);
        if ((bResult = bDone()))
            break;
        SleepAtMostUntil(deadline);
    }
    m_pSleepingIn.store(nullptr);
    return bResult;
}

void CEventLoopClock::SleepAtMostUntil(TimePoint deadline)
{
    const auto left = deadline - Now();
    if (left <= 0s)
        return;
    if (left < kShortestTimedSleep)
    {
        std::this_thread::sleep_for(left);
        return;
    }
    const auto sleep = std::min<std::chrono::steady_clock::duration>(left, kLongestSleep);
    if (EventDispatcherRef pDispatcher = m_pSleepingIn.load())
    {
        SleepInEventDispatcher(pDispatcher,
                               std::chrono::duration_cast<std::chrono::milliseconds>(sleep));
        return;
    }
    std::unique_lock lock(m_mutex);
    m_woken.wait_for(lock, sleep, [this] { return m_bWoken; });
    m_bWoken = false;
}
