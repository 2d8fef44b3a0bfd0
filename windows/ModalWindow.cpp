#include "windows/ModalWindow.h"

CModalWindow::CModalWindow() {}

OSStatus CModalWindow::OnWindowShownEvent()
{
    if (!OnShow())
        return noErr;
    m_bShown = 1;
    return eventNotHandledErr;
}

OSStatus CModalWindow::OnDisposeEvent()
{
    OnDestroy();
    // The platform window is gone: a later Destroy or ShowModal must not reach it.
    m_bCreated = 0;
    m_bShown = 0;
    m_pWindow = nullptr;
    return eventNotHandledErr;
}

void CModalWindow::ShowModal()
{
    if (!m_bCreated || m_bShown)
        return;
    WindowRef pWindow = m_pWindow;
    ShowWindow(pWindow);
    if (m_bShown)
    {
        SetUserFocusWindow(pWindow);
        SelectWindow(pWindow);
        RunAppModalLoopForWindow(pWindow);
    }
    // A close that OnClose let through may have disposed it already.
    if (m_bCreated)
        DisposeWindow(pWindow);
    m_bShown = 0;
    m_pWindow = nullptr;
    m_bCreated = 0;
}

void CModalWindow::CloseModal()
{
    if (m_bCreated)
        QuitAppModalLoopForWindow(m_pWindow);
}
