#include "app/Application.h"

#include "app/MessageManager.h"
#include "app/Preference.h"
#include "app/PreferenceKeys.h"
#include "platform/midi/MidiService.h"
#include "platform/ui/EventTarget.h"
#include "platform/ui/Nib.h"
#include "toolkit/DebugLog.h"
#include "transfer/MidiManager.h"
#include "windows/AboutWindow.h"
#include "windows/MainWindow.h"

#include <cstring>

CApplication* g_pApplication = nullptr;

const EventTypeSpec CApplication::sm_amMacEventList[2] = {
    {kEventClassCommand, kEventCommandProcess},
    {kEventClassCommand, kEventCommandUpdateStatus},
};

CApplication::CApplication()
    : m_pMainWindow(nullptr), m_pMidiManager(nullptr), m_pMessageManager(nullptr),
      m_pAboutWindow(nullptr)
{
    memset(m_szMidiInDevice, 0, sizeof(m_szMidiInDevice));
    memset(m_szMidiOutDevice, 0, sizeof(m_szMidiOutDevice));
}

CApplication::~CApplication()
{
    // Whatever a run left behind, in the order of OnUninitialize; after a normal run
    // only the about box can still be open.
    CloseAboutWindow();
    if (m_pMainWindow)
    {
        m_pMainWindow->Destroy();
        m_pMainWindow = nullptr;
    }
    if (m_pMidiManager)
    {
        delete m_pMidiManager;
        m_pMidiManager = nullptr;
    }
    if (m_pMessageManager)
    {
        m_pMessageManager->Destroy();
        delete m_pMessageManager;
        m_pMessageManager = nullptr;
    }
}

int CApplication::Run()
{
    IBNibRef pNib = nullptr;
    if (CreateNibReference("main", &pNib) != noErr)
        return 0;
    SetMenuBarFromNib(pNib, "MenuBar");
    DisposeNibReference(pNib);

    EventHandlerRef pHandler = nullptr;
    InstallEventHandler(GetApplicationEventTarget(), &OnMacEvent,
                        sizeof(sm_amMacEventList) / sizeof(sm_amMacEventList[0]), sm_amMacEventList,
                        this, &pHandler);

    if (OnInitialize())
    {
        // Stored before Create, so that shut-down finds it whatever happens next.
        m_pMainWindow = new CMainWindow;
        if (m_pMainWindow->Create(nullptr))
        {
            // Showing fills the device menus.
            m_pMainWindow->Show();
            RunApplicationEventLoop();
        }
        else
        {
            // The menu bar lives in the main window here, so without it nothing could
            // end the loop: the run stops instead. The window was never built, so it
            // would never free itself.
            DebugPrintf("Run : Failed to create MainWindow.");
            delete m_pMainWindow;
            m_pMainWindow = nullptr;
        }
    }
    OnUninitialize();

    // This object is deleted after Run: no command may reach it afterwards.
    RemoveEventHandler(pHandler);
    return 0;
}

void CApplication::Destroy()
{
    QuitApplicationEventLoop();
}

int CApplication::OnInitialize()
{
    try
    {
        ReadPreferences();

        // Stored before Create, so that OnUninitialize releases it also when Create fails.
        m_pMessageManager = new CMessageManager;
        if (!m_pMessageManager->Create())
            throw "Failed to create MessageManager.";

        // The MIDI manager posts to the message manager, so it comes second; it too is
        // stored before its Create.
        m_pMidiManager = new CMidiManager;
        m_pMidiManager->Attach(m_pMessageManager, m_szMidiInDevice, m_szMidiOutDevice);
        // Without a sequencer the main window still opens, to say why there is no MIDI.
        if (!m_pMidiManager->Create() && MidiService::Origin() != MidiServiceOrigin::kNoSequencer)
            throw "Failed to create MidiManager.";
        return 1;
    }
    catch (const char* pszMessage)
    {
        DebugPrintf("OnInitialize : %s", pszMessage);
        return 0;
    }
}

int CApplication::OnUninitialize()
{
    // The main window leaves the message manager's listeners while it is disposed.
    if (m_pMainWindow)
    {
        m_pMainWindow->Destroy();
        m_pMainWindow = nullptr;
    }

    // No MIDI callback posts once the MIDI manager is destroyed.
    if (m_pMidiManager)
    {
        m_pMidiManager->Destroy();
        delete m_pMidiManager;
        m_pMidiManager = nullptr;
    }
    if (m_pMessageManager)
    {
        m_pMessageManager->Destroy();
        delete m_pMessageManager;
        m_pMessageManager = nullptr;
    }

    return WritePreferences();
}

int CApplication::ReadPreferences()
{
    cPreference cPref;
    cPref.SetAppName(PreferenceKeys::kPreferenceApp);
    cPref.ReadString(PreferenceKeys::kMidiInDevice, m_szMidiInDevice, "");
    cPref.ReadString(PreferenceKeys::kMidiOutDevice, m_szMidiOutDevice, "");
    return 1;
}

int CApplication::WritePreferences()
{
    // A store that cannot be written loses the names; the program goes on regardless.
    cPreference cPref;
    cPref.SetAppName(PreferenceKeys::kPreferenceApp);
    cPref.WriteString(PreferenceKeys::kMidiInDevice, m_szMidiInDevice);
    cPref.WriteString(PreferenceKeys::kMidiOutDevice, m_szMidiOutDevice);
    return 1;
}

int CApplication::OpenAboutWindow()
{
    if (!m_pAboutWindow)
    {
        m_pAboutWindow = new CAboutWindow;
        if (!m_pAboutWindow->Create(nullptr))
        {
            // Without its layout the box never gets a window that would free it.
            delete m_pAboutWindow;
            m_pAboutWindow = nullptr;
            return 1;
        }
    }
    // Also for a box that is already open: it comes to the front.
    m_pAboutWindow->Show();
    m_pAboutWindow->Activate();
    return 1;
}

void CApplication::CloseAboutWindow()
{
    if (m_pAboutWindow)
    {
        // The box frees itself while its window is disposed.
        m_pAboutWindow->Destroy();
        m_pAboutWindow = nullptr;
    }
}

OSStatus CApplication::OnMacEvent(EventHandlerCallRef, EventRef pEvent, void* pUserData)
{
    auto* pApplication = static_cast<CApplication*>(pUserData);
    const uint32_t uiKind = GetEventKind(pEvent);
    if (GetEventClass(pEvent) == kEventClassCommand)
        return pApplication->OnMacEventCommand(pEvent, uiKind);
    return eventNotHandledErr;
}

OSStatus CApplication::OnMacEventCommand(EventRef pEvent, uint32_t uiKind)
{
    if (uiKind != kEventCommandProcess)
        return eventNotHandledErr;
    HICommand command;
    GetEventParameter(pEvent, kEventParamDirectObject, typeHICommand, &command);
    return OnMacCommand(int(command.commandID));
}

OSStatus CApplication::OnMacCommand(int iCommand)
{
    switch (uint32_t(iCommand))
    {
    case FourCharCode("Abou"):
        OpenAboutWindow();
        break;
    default:
        break;
    }
    // Left to the standard handling as well, which is how Quit ends the loop.
    return eventNotHandledErr;
}
