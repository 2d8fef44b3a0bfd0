#pragma once

#include "platform/ui/MacEvent.h"

#include <cstdint>

// The application event target and the application event loop. Main thread only.
//
// Handlers installed on a target are called for the event types they were installed
// for, the most recently installed first, until one returns something other than
// eventNotHandledErr. If all leave the event, the target's standard handling runs: on
// the application target, the command kHICommandQuit ends the application event loop.

struct OpaqueEventTargetRef;
using EventTargetRef = OpaqueEventTargetRef*;
struct OpaqueEventHandlerRef;
using EventHandlerRef = OpaqueEventHandlerRef*;

EventTargetRef GetApplicationEventTarget();

// Installs pProc for the uiNumTypes event types in pList; pUserData is passed to every
// call. pOutRef (may be null) receives the handle for RemoveEventHandler. noErr, or
// eventInternalErr for a null target or procedure.
OSStatus InstallEventHandler(EventTargetRef pTarget, EventHandlerProcPtr pProc, uint32_t uiNumTypes,
                             const EventTypeSpec* pList, void* pUserData, EventHandlerRef* pOutRef);

// Removes an installed handler; it is not called again, also not by a dispatch that is
// under way. eventInternalErr for a handle that is not installed.
OSStatus RemoveEventHandler(EventHandlerRef pRef);

// Hands the event to the target's handlers and standard handling; returns what the
// one that took it answered, eventNotHandledErr when none did.
OSStatus SendEventToEventTarget(EventRef pEvent, EventTargetRef pTarget);

// Sends a command event (kEventClassCommand, kEventCommandProcess) with this command
// id to the application target. Menu items use it.
OSStatus ProcessHICommand(uint32_t uiCommandID);

// Runs the main thread's event loop until QuitApplicationEventLoop. Returns at once
// when there is no QCoreApplication.
void RunApplicationEventLoop();

// Ends RunApplicationEventLoop once the handler that calls this has returned; does
// nothing when the loop is not running.
void QuitApplicationEventLoop();

// Makes SIGINT and SIGTERM (a terminal's Ctrl+C, the session ending) send the quit
// command to the application target, so the program shuts down in order. Call once,
// after the QApplication exists.
void QuitOnTerminationSignals();
