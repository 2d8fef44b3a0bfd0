#include "windows/AboutWindow.h"

#include "app/Application.h"
#include "toolkit/DebugLog.h"
#include "toolkit/Utility.h"

#include <cstdio>

CAboutWindow::CAboutWindow() = default;

CAboutWindow::~CAboutWindow() = default;

void CAboutWindow::OnCreate()
{
    if (!m_cIcon.LoadPNGFromResource("AboutIcon.png"))
        DebugPrintf("Failed to load Version Image.");
    m_cVersionText.SetControl(m_pWindow, FourCharCode("QMRK"), 1);
}

void CAboutWindow::OnDestroy() {}

bool CAboutWindow::OnBeforeShow()
{
    char szVersion[256];
    snprintf(szVersion, sizeof(szVersion), GetResourceString("Version"), 1, 0, 1);
    m_cVersionText.Set(szVersion);
    return true;
}

bool CAboutWindow::OnShow()
{
    if (m_cCanvas.Open(m_pWindow))
    {
        m_cCanvas.DrawImage(66, 120, 128, 128, m_cIcon);
        m_cCanvas.Flush();
        m_cCanvas.Close();
    }
    return true;
}

bool CAboutWindow::OnClose()
{
    // The application disposes the box and forgets it; this object is gone afterwards.
    g_pApplication->CloseAboutWindow();
    return false;
}

OSStatus CAboutWindow::EventFunc(EventRef, uint32_t, uint32_t)
{
    return eventNotHandledErr;
}

// The box has no button: any click and the keys a dialog's buttons would take close it.
OSStatus CAboutWindow::OnEvent(EventRef, uint32_t uiClass, uint32_t uiKind)
{
    if ((uiClass != kEventClassMouse || uiKind != kEventMouseDown) &&
        (uiClass != kEventClassKeyboard || uiKind != kEventRawKeyDown))
        return eventNotHandledErr;
    OnClose();
    return noErr;
}

const char* CAboutWindow::GetWindowName()
{
    return "AboutWindow";
}
