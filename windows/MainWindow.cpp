#include "windows/MainWindow.h"

#include "app/Application.h"
#include "midi/LumMidi.h"
#include "platform/midi/MidiService.h"
#include "platform/ui/EventTarget.h"
#include "platform/ui/FileDrop.h"
#include "toolkit/Alert.h"
#include "toolkit/DebugLog.h"
#include "toolkit/Utility.h"
#include "transfer/MidiManager.h"
#include "windows/ReceiveWindow.h"
#include "windows/TransmitWindow.h"

#include <cstdio>
#include <cstring>

namespace
{
constexpr uint32_t kSignature = FourCharCode("QMRK");

// The item that stands for a remembered device which is not connected; the key is also
// the text shown when the strings table lacks it.
constexpr const char* kNotConnectedKey = "%s (Not Connected)";

// Copies a device name into a 256-byte field, cut to 255 bytes.
void CopyName(char* pszDest, const char* pszSource)
{
    snprintf(pszDest, 256, "%s", pszSource);
}
} // namespace

CMainWindow::CMainWindow()
    : m_pTransmitWindow(nullptr), m_pReceiveWindow(nullptr), m_nMidiInSelect(-1),
      m_nMidiOutSelect(-1), m_nMidiInNotConnected(-1), m_nMidiOutNotConnected(-1),
      m_uiLastSetupChanged(GetSystemTimeMs()), m_pSetupCheckTimer(nullptr)
{
    m_szMidiInName[0] = '\0';
    m_szMidiOutName[0] = '\0';
}

CMainWindow::~CMainWindow()
{
    CancelSetupCheck();
}

void CMainWindow::OnCreate()
{
    m_cMidiInPopup.SetControl(m_pWindow, kSignature, 3);
    m_cMidiOutPopup.SetControl(m_pWindow, kSignature, 7);
    m_cReceiveButton.SetControl(m_pWindow, kSignature, 4);
    m_cTransmitButton.SetControl(m_pWindow, kSignature, 8);
    m_cHintText.SetControl(m_pWindow, kSignature, 9);
    ShowMidiOrigin();
    m_nMidiInSelect = -1;
    m_nMidiOutSelect = -1;
    m_nMidiInNotConnected = -1;
    m_nMidiOutNotConnected = -1;
    g_pApplication->m_pMessageManager->AddListener(this);
    InstallFileDropHandler(m_pWindow, {".syx", ".msy", ".mid", ".midi"}, &OnFilesDropped, this);
}

// Without a sequencer the user learns why the menus are empty, and that the virtual
// instrument stands in, here rather than only on stderr.
void CMainWindow::ShowMidiOrigin()
{
    const MidiServiceOrigin origin = MidiService::Origin();
    if (origin == MidiServiceOrigin::kAsChosen)
        return;
    m_cHintText.Set(GetResourceString(origin == MidiServiceOrigin::kNoSequencer
                                          ? "MidiNoSequencer"
                                          : "MidiVirtualForMissing"));
    if (origin == MidiServiceOrigin::kNoSequencer)
    {
        m_cReceiveButton.SetEnabled(false);
        m_cTransmitButton.SetEnabled(false);
    }
}

void CMainWindow::OnDestroy()
{
    // However the run ends (close box, Close or Quit), the devices shown are remembered.
    StoreChoice();
    CancelSetupCheck();
    RemoveEventLoopTimer(m_pStartFilesTimer);
    m_pStartFilesTimer = nullptr;
    g_pApplication->m_pMessageManager->DeleteListener(this);
}

bool CMainWindow::OnBeforeShow()
{
    SetMidiDevice();
    return true;
}

bool CMainWindow::OnShow()
{
    // The transmit window is modal: it opens from the event loop, once this window shows.
    if (!g_pApplication->m_asStartFiles.empty() && !m_pStartFilesTimer)
        InstallEventLoopTimer(0, 0, &OnStartFilesTimer, this, &m_pStartFilesTimer);
    return true;
}

void CMainWindow::OnStartFilesTimer(EventLoopTimerRef, void* pUserData)
{
    auto* pThis = static_cast<CMainWindow*>(pUserData);
    RemoveEventLoopTimer(pThis->m_pStartFilesTimer);
    pThis->m_pStartFilesTimer = nullptr;
    const std::vector<std::string> asFiles = std::move(g_pApplication->m_asStartFiles);
    g_pApplication->m_asStartFiles.clear();
    pThis->OnTransmitExecute(asFiles);
}

void CMainWindow::OnFilesDropped(const std::vector<std::string>& asPaths, void* pUserData)
{
    auto* pThis = static_cast<CMainWindow*>(pUserData);
    if (!pThis->m_pTransmitWindow && !pThis->m_pReceiveWindow)
        pThis->OnTransmitExecute(asPaths);
}

bool CMainWindow::OnClose()
{
    StoreChoice();
    g_pApplication->Destroy();
    // The window stays until the application destroys it on the way out.
    return false;
}

void CMainWindow::StoreChoice()
{
    // The "(Not Connected)" item keeps the remembered name, so a device unplugged during
    // this run is still chosen on the next.
    char szName[256];
    const int nIn = m_cMidiInPopup.GetSelectItem();
    if (nIn != m_nMidiInNotConnected)
    {
        m_cMidiInPopup.m_cPopupMenu.GetItemText(nIn + 1, szName);
        CopyName(g_pApplication->m_szMidiInDevice, szName);
    }
    const int nOut = m_cMidiOutPopup.GetSelectItem();
    if (nOut != m_nMidiOutNotConnected)
    {
        m_cMidiOutPopup.m_cPopupMenu.GetItemText(nOut + 1, szName);
        CopyName(g_pApplication->m_szMidiOutDevice, szName);
    }
}

OSStatus CMainWindow::EventFunc(EventRef pEvent, uint32_t, uint32_t uiCommandID)
{
    if (GetEventClass(pEvent) != kEventClassCommand)
        return eventNotHandledErr;
    switch (uiCommandID)
    {
    case FourCharCode("Recv"):
        OnReceiveExecute();
        return noErr;
    case FourCharCode("Trns"):
        OnTransmitExecute();
        return noErr;
    case FourCharCode("SLMi"):
        ReadSelection(m_cMidiInPopup, m_nMidiInSelect, m_szMidiInName);
        return noErr;
    case FourCharCode("SLMo"):
        ReadSelection(m_cMidiOutPopup, m_nMidiOutSelect, m_szMidiOutName);
        return noErr;
    case kHICommandClose:
        QuitApplicationEventLoop();
        return noErr;
    default:
        return eventNotHandledErr;
    }
}

const char* CMainWindow::GetWindowName()
{
    return "MainWindow";
}

void CMainWindow::OnMessageReceived(CMessageManager*, tagListenerMessage message,
                                    CMessageManagerListener*)
{
    if (message.iMessage != LM_SETUP_CHANGED)
        return;
    const uint32_t uiTime = uint32_t(message.iParam1);
    if (uiTime - m_uiLastSetupChanged > sm_uiSetupChangeGapMs)
        OnSetupChanged();
    else
    {
        // The refill at the first message of a burst can miss what the rest of the burst
        // brings (a client shows up before its ports), so look again once it is over.
        ScheduleSetupCheck();
    }
    m_uiLastSetupChanged = uiTime;
}

void CMainWindow::SetMidiDevice()
{
    // A refill keeps a device the user has picked in this run while it is still listed:
    // falling back to the remembered one would quietly point Receive or Transmit at
    // another instrument than the one chosen.
    char szInChoice[256];
    char szOutChoice[256];
    CopyName(szInChoice, m_nMidiInSelect >= 0 && m_nMidiInSelect != m_nMidiInNotConnected
                             ? m_szMidiInName
                             : "");
    CopyName(szOutChoice, m_nMidiOutSelect >= 0 && m_nMidiOutSelect != m_nMidiOutNotConnected
                              ? m_szMidiOutName
                              : "");

    m_nMidiInSelect = -1;
    m_nMidiOutSelect = -1;
    m_nMidiInNotConnected = -1;
    m_nMidiOutNotConnected = -1;
    FillPopup(m_cMidiInPopup, &GetNumMidiInDevices, &GetMidiInDeviceName,
              g_pApplication->m_szMidiInDevice, szInChoice, m_nMidiInSelect, m_nMidiInNotConnected);
    FillPopup(m_cMidiOutPopup, &GetNumMidiOutDevices, &GetMidiOutDeviceName,
              g_pApplication->m_szMidiOutDevice, szOutChoice, m_nMidiOutSelect,
              m_nMidiOutNotConnected);
    ReadSelection(m_cMidiInPopup, m_nMidiInSelect, m_szMidiInName);
    ReadSelection(m_cMidiOutPopup, m_nMidiOutSelect, m_szMidiOutName);
}

void CMainWindow::OnSetupChanged()
{
    CancelSetupCheck();
    SetMidiDevice();
}

void CMainWindow::SetControlEnable(bool bEnable)
{
    m_cMidiInPopup.SetEnabled(bEnable);
    m_cMidiOutPopup.SetEnabled(bEnable);
    m_cReceiveButton.SetEnabled(bEnable);
    m_cTransmitButton.SetEnabled(bEnable);
}

void CMainWindow::OnReceiveExecute()
{
    if (!m_szMidiInName[0])
        return;
    CMidiManager* pMidiManager = g_pApplication->m_pMidiManager;
    if (!pMidiManager->MidiInOpenByName(m_szMidiInName))
    {
        ShowErrorAlert("Open Midi In Failed", kAlertCautionAlert);
        return;
    }
    SetControlEnable(false);
    m_pReceiveWindow = new CReceiveWindow;
    m_pReceiveWindow->Create(m_pWindow);
    m_pReceiveWindow->ShowModal();
    m_pReceiveWindow->Destroy();
    delete m_pReceiveWindow;
    m_pReceiveWindow = nullptr;
    pMidiManager->MidiInClose();
    SetControlEnable(true);
}

void CMainWindow::OnTransmitExecute(const std::vector<std::string>& asFiles)
{
    if (!m_szMidiOutName[0])
        return;
    CMidiManager* pMidiManager = g_pApplication->m_pMidiManager;
    if (!pMidiManager->MidiOutOpenByName(m_szMidiOutName))
    {
        ShowErrorAlert("Open Midi Out Failed", kAlertCautionAlert);
        return;
    }
    SetControlEnable(false);
    m_pTransmitWindow = new CTransmitWindow;
    m_pTransmitWindow->SetFiles(asFiles);
    m_pTransmitWindow->Create(m_pWindow);
    m_pTransmitWindow->ShowModal();
    m_pTransmitWindow->Destroy();
    delete m_pTransmitWindow;
    m_pTransmitWindow = nullptr;
    pMidiManager->MidiOutClose();
    SetControlEnable(true);
}

void CMainWindow::FillPopup(cPopup& cPopup, int (*pCount)(), int (*pName)(int, char*, int),
                            const char* pszRemembered, const char* pszChoice, int32_t& nSelect,
                            int32_t& nNotConnected)
{
    cPopup.m_cPopupMenu.Clear();
    const int nCount = pCount();
    int nChoice = -1;
    char szName[256];
    for (int i = 0; i < nCount; ++i)
    {
        szName[0] = '\0';
        pName(i, szName, sizeof(szName));
        cPopup.m_cPopupMenu.AddItem(szName, 0);
        // The last of several devices with the remembered name wins.
        if (strncmp(szName, pszRemembered, 256) == 0)
            nSelect = i;
        if (pszChoice[0] && strncmp(szName, pszChoice, 256) == 0)
            nChoice = i;
    }
    if (nSelect < 0 && pszRemembered[0])
    {
        // Room for a 255-byte name and the words around it; the menu cuts the item text.
        char szItem[512];
        snprintf(szItem, sizeof(szItem), GetResourceString(kNotConnectedKey),
                 PrintableDeviceName(pszRemembered).c_str());
        cPopup.m_cPopupMenu.AddItem(szItem, 0);
        nNotConnected = nCount;
        nSelect = nCount;
    }
    if (nChoice >= 0)
        nSelect = nChoice;
    // With nothing remembered and nothing picked the pop-up keeps its selection.
    if (nSelect >= 0)
        cPopup.SetSelectItem(nSelect);
    cPopup.FitItems();
}

void CMainWindow::ReadSelection(cPopup& cPopup, int32_t& nSelect, char* pszName)
{
    nSelect = cPopup.GetSelectItem();
    char szText[256];
    cPopup.m_cPopupMenu.GetItemText(nSelect + 1, szText);
    CopyName(pszName, szText);
}

bool CMainWindow::PopupShowsDevices(cPopup& cPopup, int32_t nNotConnected, int (*pCount)(),
                                    int (*pName)(int, char*, int))
{
    const int nCount = pCount();
    const int nItems = cPopup.m_cPopupMenu.GetNumberOfMenuItem() - (nNotConnected >= 0 ? 1 : 0);
    if (nItems != nCount)
        return false;
    char szName[256];
    char szItem[256];
    for (int i = 0; i < nCount; ++i)
    {
        szName[0] = '\0';
        pName(i, szName, sizeof(szName));
        cPopup.m_cPopupMenu.GetItemText(i + 1, szItem);
        if (strncmp(szName, szItem, 256) != 0)
            return false;
    }
    return true;
}

void CMainWindow::ScheduleSetupCheck()
{
    CancelSetupCheck();
    // A little over the gap, so that a burst still going on re-arms it first.
    if (InstallEventLoopTimer((sm_uiSetupChangeGapMs + 50) / 1000.0, 0, &OnSetupCheckTimer, this,
                              &m_pSetupCheckTimer) != noErr)
    {
        m_pSetupCheckTimer = nullptr;
        DebugPrintf("CMainWindow::ScheduleSetupCheck : Failed to install the timer.");
    }
}

void CMainWindow::CancelSetupCheck()
{
    if (m_pSetupCheckTimer)
    {
        RemoveEventLoopTimer(m_pSetupCheckTimer);
        m_pSetupCheckTimer = nullptr;
    }
}

void CMainWindow::OnSetupCheckTimer(EventLoopTimerRef, void* pUserData)
{
    auto* pWindow = static_cast<CMainWindow*>(pUserData);
    pWindow->CancelSetupCheck();
    // Refill only when the menus no longer match the setup, so that the two messages of
    // one change still refill them once.
    if (!PopupShowsDevices(pWindow->m_cMidiInPopup, pWindow->m_nMidiInNotConnected,
                           &GetNumMidiInDevices, &GetMidiInDeviceName) ||
        !PopupShowsDevices(pWindow->m_cMidiOutPopup, pWindow->m_nMidiOutNotConnected,
                           &GetNumMidiOutDevices, &GetMidiOutDeviceName))
        pWindow->SetMidiDevice();
}
