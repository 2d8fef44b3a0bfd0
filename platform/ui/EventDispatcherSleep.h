#pragma once

#include <chrono>

// Sleeping in the calling thread's event dispatcher: the thread wakes for an event of its
// own (a posted event, a timer, a window-system event), at the end of the time, or when
// another thread wakes the dispatcher. Waits that must keep a user interface alive sleep
// here instead of on a condition.

struct OpaqueEventDispatcherRef;
using EventDispatcherRef = OpaqueEventDispatcherRef*;

// The calling thread's dispatcher; null when it has none (no QCoreApplication, or a thread
// that runs no Qt event loop).
EventDispatcherRef GetCurrentEventDispatcher();

// Sleeps in the calling thread's own dispatcher for at most the time (whole milliseconds).
void SleepInEventDispatcher(EventDispatcherRef pDispatcher, std::chrono::milliseconds maxSleep);

// From any thread: ends the dispatcher's current sleep, or its next one when it is not
// sleeping. Null is ignored.
void WakeEventDispatcher(EventDispatcherRef pDispatcher);
