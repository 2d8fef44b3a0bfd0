#pragma once

#include "platform/ui/MacEvent.h"

#include <cstdint>

// The window services the window framework stands on, over Qt widgets. A window is a
// top-level widget with one event target: handlers installed on it receive the window's
// events as OpaqueEventRef records. Qt's close requests, window activation and mouse
// presses on the window, clicks of its buttons (control hits) and the commands of its
// widgets and actions (a "command" property of four characters) arrive there, and so do
// the showing, shown and dispose events of the operations below. Main thread only.
//
// The keys of a dialog: Return and Enter press the window's default button (a push
// button whose `default` property is set), Escape its cancel button (a push button with
// the property `cancel`); a shown button that is disabled takes the key and does nothing.
// Where the window has no such button shown, the key arrives as a kEventRawKeyDown
// keyboard event. Other keys, and keys with modifiers, stay with Qt.

struct OpaqueWindowHandlerRef;
using WindowHandlerRef = OpaqueWindowHandlerRef*;

// Installs pProc on the window for the uiNumTypes event types in pList; pUserData is
// passed to every call. Handlers are called the most recently installed first until one
// returns something other than eventNotHandledErr. pOutRef (may be null) receives the
// handle. noErr, or eventInternalErr for a null window or procedure or a disposed window.
OSStatus InstallWindowEventHandler(WindowRef pWindow, EventHandlerProcPtr pProc,
                                   uint32_t uiNumTypes, const EventTypeSpec* pList, void* pUserData,
                                   WindowHandlerRef* pOutRef);

// Hands the event to the window's handlers and returns what the one that took it
// answered. What they all leave gets the standard handling: a command goes on to the
// application event target (its answer is returned), a close request disposes the
// window (eventNotHandledErr is returned).
OSStatus SendEventToWindow(EventRef pEvent, WindowRef pWindow);

// Makes a hidden window visible: kEventWindowShowing before, kEventWindowShown after,
// both handled before this returns. A visible or null window is left alone.
void ShowWindow(WindowRef pWindow);
void HideWindow(WindowRef pWindow);

// Brings the window to the front and activates it.
void SelectWindow(WindowRef pWindow);
// Activates the window; the keyboard focus goes to its default button when that can
// take it, otherwise to the window.
OSStatus SetUserFocusWindow(WindowRef pWindow);

// Sends kEventWindowDispose, removes the window's handlers, ends its modal loop if one
// runs and frees the widget: at once, or once the event of this window that is being
// handled has finished. The window must not be used afterwards. Null is ignored.
void DisposeWindow(WindowRef pWindow);

// Runs the event loop with only this window taking user input until
// QuitAppModalLoopForWindow is called for it or it is disposed. Timers and posted events
// keep being delivered. eventInternalErr when the window has no handler or a loop runs for it.
OSStatus RunAppModalLoopForWindow(WindowRef pWindow);
// eventInternalErr when no modal loop runs for the window.
OSStatus QuitAppModalLoopForWindow(WindowRef pWindow);
