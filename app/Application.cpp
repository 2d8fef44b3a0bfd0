#include "app/Application.h"

#include "app/MessageManager.h"
#include "platform/ui/EventTarget.h"
#include "platform/ui/Nib.h"
#include "toolkit/DebugLog.h"

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
    // The main window (Destroy, then the pointer cleared) and the MIDI manager (deleted,
    // then cleared) are released here, before the message manager, once they exist.
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
        // The main window is created here, stored in m_pMainWindow first, then created
        // with no parent and shown (showing it fills its device menus).
        RunApplicationEventLoop();
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
        // The preferences are read here first (ReadPreferences, result ignored).

        // Stored before Create, so that OnUninitialize releases it also when Create fails.
        m_pMessageManager = new CMessageManager;
        if (!m_pMessageManager->Create())
            throw "Failed to create MessageManager.";

        // The MIDI manager follows, since it posts to the message manager: stored in
        // m_pMidiManager before its Create, which raises "Failed to create MidiManager."
        // when it fails.
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
    // First the main window (Destroy; it leaves the message manager's listeners), then
    // the MIDI manager (Destroy stops its callbacks, then delete) come down here.

    if (m_pMessageManager)
    {
        m_pMessageManager->Destroy();
        delete m_pMessageManager;
        m_pMessageManager = nullptr;
    }

    // Last, the preferences are written and WritePreferences' result returned.
    return 1;
}

int CApplication::OpenAboutWindow()
{
    // The about box is created here when m_pAboutWindow is null (Create with no parent),
    // then shown and activated, which also brings an open box to the front. Until it
    // exists nothing opens.
    return 0;
}

void CApplication::CloseAboutWindow()
{
    // An open about box is destroyed here (it frees itself) and m_pAboutWindow cleared;
    // nothing can be open before the about box exists.
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
