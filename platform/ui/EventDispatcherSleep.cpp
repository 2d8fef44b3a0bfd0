#include "platform/ui/EventDispatcherSleep.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

EventDispatcherRef GetCurrentEventDispatcher()
{
    if (!QCoreApplication::instance())
        return nullptr;
    return reinterpret_cast<EventDispatcherRef>(QAbstractEventDispatcher::instance());
}

void SleepInEventDispatcher(EventDispatcherRef pDispatcher, std::chrono::milliseconds maxSleep)
{
    auto* pQtDispatcher = reinterpret_cast<QAbstractEventDispatcher*>(pDispatcher);
    if (!pQtDispatcher || maxSleep.count() <= 0)
        return;
    // The timer only ends the sleep: a dispatcher that waits for more events has nothing
    // else to come back for.
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(int(maxSleep.count()));
    pQtDispatcher->processEvents(QEventLoop::WaitForMoreEvents);
}

void WakeEventDispatcher(EventDispatcherRef pDispatcher)
{
    if (pDispatcher)
        reinterpret_cast<QAbstractEventDispatcher*>(pDispatcher)->wakeUp();
}
