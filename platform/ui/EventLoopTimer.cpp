#include "platform/ui/EventLoopTimer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

#include <cmath>

struct OpaqueEventLoopTimerRef
{
    QTimer timer;
    EventLoopTimerProcPtr pProc = nullptr;
    void* pUserData = nullptr;
    int iIntervalMs = 0;
};

namespace
{
int ToMilliseconds(double dSeconds)
{
    return dSeconds > 0.0 ? int(std::lround(dSeconds * 1000.0)) : 0;
}
} // namespace

OSStatus InstallEventLoopTimer(double dDelaySeconds, double dIntervalSeconds,
                               EventLoopTimerProcPtr pProc, void* pUserData,
                               EventLoopTimerRef* pOutTimer)
{
    if (pOutTimer)
        *pOutTimer = nullptr;
    // Without a dispatcher on this thread a QTimer would never fire.
    if (!pProc || !pOutTimer || !QCoreApplication::instance() ||
        !QAbstractEventDispatcher::instance())
        return eventInternalErr;

    auto* pTimer = new OpaqueEventLoopTimerRef;
    pTimer->pProc = pProc;
    pTimer->pUserData = pUserData;
    pTimer->iIntervalMs = ToMilliseconds(dIntervalSeconds);
    pTimer->timer.setTimerType(Qt::PreciseTimer);
    pTimer->timer.setSingleShot(true);
    QObject::connect(&pTimer->timer, &QTimer::timeout,
                     [pTimer]()
                     {
                         // After the first firing the timer repeats at its interval. Rearm before
                         // the call: the procedure may remove (delete) the timer.
                         if (pTimer->timer.isSingleShot() && pTimer->iIntervalMs > 0)
                         {
                             pTimer->timer.setSingleShot(false);
                             pTimer->timer.start(pTimer->iIntervalMs);
                         }
                         pTimer->pProc(pTimer, pTimer->pUserData);
                     });
    pTimer->timer.start(ToMilliseconds(dDelaySeconds));
    *pOutTimer = pTimer;
    return noErr;
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef pTimer)
{
    delete pTimer;
    return noErr;
}
