#pragma once

#include "platform/ui/MacEvent.h"

#include <string>
#include <vector>

class CAboutWindow;
class CMainWindow;
class CMessageManager;
class CMidiManager;

// The spine of the program: start-up, the application event loop, the menu commands
// and shut-down. Reached everywhere through g_pApplication.
class CApplication
{
public:
    CApplication();
    virtual ~CApplication();

    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    int Run();      // the whole life of the application; always 0
    void Destroy(); // asks the application event loop to end

    int OnInitialize();
    int OnUninitialize();

    // The remembered device names from and to the per-user store; both return 1.
    int ReadPreferences();
    int WritePreferences();

    int OpenAboutWindow();
    void CloseAboutWindow();

    static OSStatus OnMacEvent(EventHandlerCallRef pCallRef, EventRef pEvent, void* pUserData);
    OSStatus OnMacEventCommand(EventRef pEvent, uint32_t uiKind);
    OSStatus OnMacCommand(int iCommand);

    static const EventTypeSpec sm_amMacEventList[2];

    CMainWindow* m_pMainWindow;
    CMidiManager* m_pMidiManager;
    CMessageManager* m_pMessageManager;
    char m_szMidiInDevice[256];
    char m_szMidiOutDevice[256];
    CAboutWindow* m_pAboutWindow;
    // Files named on the command line (a file manager's "Open with"): once the main
    // window is shown, the transmit window sends them, in order, like a list.
    std::vector<std::string> m_asStartFiles;
};

extern CApplication* g_pApplication;
