#include "windows/ModelessWindow.h"

#include "platform/ui/Nib.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QWidget>

const EventTypeSpec CModelessWindow::sm_mEventType[9] = {
    {kEventClassWindow, kEventWindowClose},     {kEventClassWindow, kEventWindowDispose},
    {kEventClassWindow, kEventWindowShowing},   {kEventClassWindow, kEventWindowShown},
    {kEventClassWindow, kEventWindowActivated}, {kEventClassControl, kEventControlHit},
    {kEventClassCommand, kEventCommandProcess}, {kEventClassMouse, kEventMouseDown},
    {kEventClassKeyboard, kEventRawKeyDown},
};

CModelessWindow::CModelessWindow()
    : m_pWindow(nullptr), m_pParent(nullptr), m_bShown(0), m_bCreated(0), m_pHandler(nullptr),
      m_pCallRef(nullptr), m_pHandlerProc(nullptr)
{
}

CModelessWindow::~CModelessWindow() {}

int CModelessWindow::Create(WindowRef pParent)
{
    if (m_bCreated)
        return 0;

    IBNibRef pNib = nullptr;
    QWidget* pWindow = nullptr;
    OSStatus nStatus = CreateNibReference(GetNibFileName(), &pNib);
    if (nStatus == noErr)
    {
        nStatus = CreateWindowFromNib(pNib, GetWindowName(), &pWindow);
        DisposeNibReference(pNib);
    }
    m_pWindow = nStatus == noErr ? pWindow : nullptr;
    m_bShown = 0;
    if (!m_pWindow)
        return 0;

    m_pHandlerProc = &CModelessWindow::WindowEventHandler;
    if (InstallWindowEventHandler(m_pWindow, m_pHandlerProc, 9, sm_mEventType, this, &m_pHandler) !=
        noErr)
        return 0;

    // The application's menu bar shows in a main window's menu bar area; its items keep
    // sending their commands to the application, so it joins after the window's own
    // commands were bound.
    if (auto* pMainWindow = qobject_cast<QMainWindow*>(m_pWindow))
        if (QMenuBar* pMenuBar = GetApplicationMenuBar())
            pMainWindow->setMenuBar(pMenuBar);

    m_pParent = pParent;
    m_bCreated = 1;
    OnCreate();
    return 1;
}

int CModelessWindow::Destroy()
{
    if (!m_bCreated)
        return 1;
    // Runs OnDisposeEvent; a modeless object is gone afterwards.
    DisposeWindow(m_pWindow);
    return 1;
}

void CModelessWindow::Show()
{
    if (!m_bCreated)
        return;
    // Set first: a hook run by the showing may free this object.
    m_bShown = 1;
    ShowWindow(m_pWindow);
}

void CModelessWindow::Hide()
{
    if (!m_bCreated)
        return;
    HideWindow(m_pWindow);
    m_bShown = 0;
}

void CModelessWindow::Activate()
{
    if (m_bCreated)
        SelectWindow(m_pWindow);
}

void CModelessWindow::OnCreate() {}

void CModelessWindow::OnDestroy() {}

bool CModelessWindow::OnBeforeShow()
{
    return true;
}

bool CModelessWindow::OnShow()
{
    return true;
}

bool CModelessWindow::OnClose()
{
    return false;
}

OSStatus CModelessWindow::EventFunc(EventRef, uint32_t, uint32_t)
{
    return eventNotHandledErr;
}

const char* CModelessWindow::GetNibFileName()
{
    return "main";
}

const char* CModelessWindow::GetWindowName()
{
    return "";
}

OSStatus CModelessWindow::OnWindowShowingEvent()
{
    return OnBeforeShow() ? eventNotHandledErr : noErr;
}

OSStatus CModelessWindow::OnWindowShownEvent()
{
    return OnShow() ? eventNotHandledErr : noErr;
}

OSStatus CModelessWindow::OnDisposeEvent()
{
    OnDestroy();
    delete this;
    return eventNotHandledErr;
}

OSStatus CModelessWindow::OnCloseEvent()
{
    return OnClose() ? eventNotHandledErr : noErr;
}

OSStatus CModelessWindow::OnEvent(EventRef, uint32_t, uint32_t)
{
    return eventNotHandledErr;
}

OSStatus CModelessWindow::WindowEventHandler(EventHandlerCallRef pCallRef, EventRef pEvent,
                                             void* pUserData)
{
    auto* pWindow = static_cast<CModelessWindow*>(pUserData);
    uint32_t uiKind = GetEventKind(pEvent);
    uint32_t uiClass = GetEventClass(pEvent);
    pWindow->m_pCallRef = pCallRef;

    // Nothing touches the object after the hook: closing or disposing may have freed it.
    if (uiClass == kEventClassWindow)
    {
        switch (uiKind)
        {
        case kEventWindowShown:
            return pWindow->OnWindowShownEvent();
        case kEventWindowShowing:
            return pWindow->OnWindowShowingEvent();
        case kEventWindowClose:
        case kEventWindowDispose:
        {
            WindowRef pTarget = nullptr;
            GetEventParameter(pEvent, kEventParamDirectObject, typeWindowRef, &pTarget);
            if (pTarget != pWindow->m_pWindow)
                return eventNotHandledErr;
            return uiKind == kEventWindowClose ? pWindow->OnCloseEvent()
                                               : pWindow->OnDisposeEvent();
        }
        default:
            return eventNotHandledErr;
        }
    }
    if (uiClass == kEventClassCommand)
    {
        if (uiKind != kEventCommandProcess)
            return eventNotHandledErr;
        HICommand command;
        GetEventParameter(pEvent, kEventParamDirectObject, typeHICommand, &command);
        return pWindow->EventFunc(pEvent, kEventCommandProcess, command.commandID);
    }
    return pWindow->OnEvent(pEvent, uiClass, uiKind);
}
