#pragma once

#include "platform/ui/MacEvent.h"

// Timers on the calling thread's event loop. They fire in every loop that runs on the
// thread: the application loop, nested modal loops (QEventLoop::exec, QDialog::exec)
// and explicit dispatch (QCoreApplication::processEvents). A timer does not fire again
// while its own procedure is still running.

struct OpaqueEventLoopTimerRef;
using EventLoopTimerRef = OpaqueEventLoopTimerRef*;
using EventLoopTimerProcPtr = void (*)(EventLoopTimerRef pTimer, void* pUserData);

// First firing after dDelaySeconds, then every dIntervalSeconds (0 = once). noErr and
// the timer, or eventInternalErr when pProc is null or the calling thread has no Qt event
// dispatcher (no QCoreApplication, or a thread that runs no Qt event loop).
OSStatus InstallEventLoopTimer(double dDelaySeconds, double dIntervalSeconds,
                               EventLoopTimerProcPtr pProc, void* pUserData,
                               EventLoopTimerRef* pOutTimer);

// Stops and frees the timer; call on the thread that installed it. Null is ignored.
OSStatus RemoveEventLoopTimer(EventLoopTimerRef pTimer);
