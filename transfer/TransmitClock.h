#pragma once

#include <chrono>
#include <functional>

// The time a transmission keeps and the way it waits. Every wait serves the user
// interface, so that progress is shown and Cancel works while blocks go out. The
// application's clock is the steady clock and the main thread's event loop
// (CEventLoopClock); a test puts a clock of its own in, to see the schedule without
// sleeping.
//
// Threads: the transmission's thread, except Wake.
class CTransmitClock
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~CTransmitClock() = default;

    virtual TimePoint Now() = 0;
    // Waits until the time has come, or until bStop() holds (checked after each serving
    // of events). Returns whether the time has come.
    virtual bool SleepUntil(TimePoint due, const std::function<bool()>& bStop) = 0;
    // Waits until bDone() holds or the real time limit has passed; returns bDone(). What
    // it waits for happens on another thread, which calls Wake.
    virtual bool WaitFor(const std::function<bool()>& bDone, std::chrono::milliseconds limit) = 0;
    // From any thread: what a WaitFor waits for may have happened.
    virtual void Wake() = 0;
};
