#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

// Runs the main thread's event loop (and so the message manager's timer) until the
// condition holds or the time is up; returns the condition.
inline bool PumpUntil(const std::function<bool()>& condition, int iTimeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition())
    {
        if (timer.elapsed() > iTimeoutMs)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

inline void PumpFor(int iMs)
{
    PumpUntil([] { return false; }, iMs);
}
