#pragma once

#include "platform/ui/MacEvent.h"

// A program without windows that must stop in order when its user presses Ctrl+C (SIGINT)
// or its session ends (SIGTERM): the procedure runs on the main thread, from whatever
// event loop or dispatch serves it next, with the signal's number.
using InterruptProcPtr = void (*)(int iSignal, void* pUserData);

// Call once, after the QCoreApplication exists. noErr, or eventInternalErr when there is
// no application or the signals cannot be caught.
OSStatus InstallInterruptHandler(InterruptProcPtr pProc, void* pUserData);
