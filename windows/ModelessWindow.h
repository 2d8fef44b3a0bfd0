#pragma once

#include "platform/ui/MacEvent.h"
#include "windows/MacWindow.h"

#include <cstdint>

// A window built by name from an interface description, with one event handler that
// turns its events into calls of the virtual hooks below. A modeless window object frees
// itself when its platform window is disposed (by Destroy or by a close that OnClose
// lets through): owners clear their pointer and never delete it themselves.
//
// A derived window overrides GetWindowName (the layout "<resources>/main/<Name>.ui"),
// binds its controls in OnCreate, and handles its commands in EventFunc.
class CModelessWindow
{
public:
    CModelessWindow();
    virtual ~CModelessWindow();

    CModelessWindow(const CModelessWindow&) = delete;
    CModelessWindow& operator=(const CModelessWindow&) = delete;

    // Loads the layout and installs the handler; 1 on success. 0 when already created,
    // or when the description or the window in it is missing.
    virtual int Create(WindowRef pParent);
    // Disposes the platform window (OnDestroy runs meanwhile); always 1. A modeless
    // object no longer exists when this returns.
    virtual int Destroy();
    virtual void Show();
    virtual void Hide();
    virtual void Activate();

    virtual void OnCreate();
    virtual void OnDestroy();
    virtual bool OnBeforeShow();
    virtual bool OnShow();
    // true lets the close go on to disposal; false keeps the window.
    virtual bool OnClose();
    // Commands of the window's widgets and actions; eventNotHandledErr passes the command
    // on to the application.
    virtual OSStatus EventFunc(EventRef pEvent, uint32_t uiKind, uint32_t uiCommandID);
    virtual const char* GetNibFileName();
    virtual const char* GetWindowName();

    virtual OSStatus OnWindowShowingEvent();
    virtual OSStatus OnWindowShownEvent();
    virtual OSStatus OnDisposeEvent();
    virtual OSStatus OnCloseEvent();
    // Control hits, mouse presses in the window and the keys the window framework leaves
    // to it (see MacWindow.h).
    virtual OSStatus OnEvent(EventRef pEvent, uint32_t uiClass, uint32_t uiKind);

    static OSStatus WindowEventHandler(EventHandlerCallRef pCallRef, EventRef pEvent,
                                       void* pUserData);

    // The event types every window's handler is installed for.
    static const EventTypeSpec sm_mEventType[9];

    WindowRef GetWindowRef() const { return m_pWindow; }

protected:
    WindowRef m_pWindow;
    WindowRef m_pParent;
    int32_t m_bShown;
    int32_t m_bCreated;
    WindowHandlerRef m_pHandler;
    EventHandlerCallRef m_pCallRef;
    EventHandlerProcPtr m_pHandlerProc;
};
