#pragma once

#include "transfer/TransmitClock.h"

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

// A transmit clock whose time moves only when the transmission sleeps: a sleep takes no
// real time and is recorded, as the offset from the start of what it slept until. Waits
// for completions are real (the virtual back end completes on its own thread) and take
// no clock time.
class FakeTransmitClock final : public CTransmitClock
{
public:
    TimePoint Now() override { return m_now; }

    bool SleepUntil(TimePoint due, const std::function<bool()>& bStop) override
    {
        if (m_onSleep)
            m_onSleep(due - m_now);
        if (bStop())
            return false;
        if (due > m_now)
            m_now = due;
        m_sleptUntil.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(m_now - kStart));
        return true;
    }

    bool WaitFor(const std::function<bool()>& bDone, std::chrono::milliseconds limit) override
    {
        const auto giveUp = std::chrono::steady_clock::now() + limit;
        while (!bDone())
        {
            if (std::chrono::steady_clock::now() >= giveUp)
                return bDone();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return true;
    }

    void Wake() override {}

    static constexpr TimePoint kStart = TimePoint(std::chrono::hours(1));
    TimePoint m_now = kStart;
    std::vector<std::chrono::microseconds> m_sleptUntil;
    // Called at each sleep with how long it would be, before it looks at its stop.
    std::function<void(std::chrono::steady_clock::duration)> m_onSleep;
};
