#pragma once

#include "app/MessageManager.h"
#include "platform/ui/EventLoopTimer.h"
#include "toolkit/Button.h"
#include "toolkit/Popup.h"
#include "toolkit/StaticText.h"
#include "windows/ModelessWindow.h"

#include <cstdint>
#include <string>
#include <vector>

class CReceiveWindow;
class CTransmitWindow;

// The window the application shows from start to quit: a MIDI In and a MIDI Out pop-up
// that follow the MIDI setup and pre-select the remembered devices, and the buttons that
// run a reception or a transmission on the chosen device. Closing it hands the choice to
// the application and quits.
class CMainWindow : public CModelessWindow, public CMessageManagerListener
{
public:
    CMainWindow();
    ~CMainWindow() override;

    void OnCreate() override;
    void OnDestroy() override;
    bool OnBeforeShow() override;
    bool OnShow() override;
    bool OnClose() override;
    OSStatus EventFunc(EventRef pEvent, uint32_t uiKind, uint32_t uiCommandID) override;
    const char* GetWindowName() override;

    void OnMessageReceived(CMessageManager* pManager, tagListenerMessage message,
                           CMessageManagerListener* pSender) override;

    // Fills both pop-ups from the MIDI setup and selects the remembered devices.
    void SetMidiDevice();
    void OnSetupChanged();
    // MIDI In pop-up, MIDI Out pop-up, then the two buttons.
    void SetControlEnable(bool bEnable);
    void OnReceiveExecute();
    // Sends the files (paths), or the file the open dialog asks for when there are none.
    void OnTransmitExecute(const std::vector<std::string>& asFiles = {});

    // Setup-change messages closer together than this form one burst.
    static constexpr uint32_t sm_uiSetupChangeGapMs = 500;

private:
    void ShowMidiOrigin();
    static void FillPopup(cPopup& cPopup, int (*pCount)(), int (*pName)(int, char*, int),
                          const char* pszRemembered, const char* pszChoice, int32_t& nSelect,
                          int32_t& nNotConnected);
    static void ReadSelection(cPopup& cPopup, int32_t& nSelect, char* pszName);
    // The devices the pop-ups show become the application's remembered ones.
    void StoreChoice();
    static bool PopupShowsDevices(cPopup& cPopup, int32_t nNotConnected, int (*pCount)(),
                                  int (*pName)(int, char*, int));
    void ScheduleSetupCheck();
    void CancelSetupCheck();
    static void OnSetupCheckTimer(EventLoopTimerRef pTimer, void* pUserData);
    // Files named on the command line, and files dropped on the window.
    static void OnStartFilesTimer(EventLoopTimerRef pTimer, void* pUserData);
    static void OnFilesDropped(const std::vector<std::string>& asPaths, void* pUserData);

    CTransmitWindow* m_pTransmitWindow;
    CReceiveWindow* m_pReceiveWindow;
    cPopup m_cMidiInPopup;
    cPopup m_cMidiOutPopup;
    cButton m_cReceiveButton;
    cButton m_cTransmitButton;
    cStaticText m_cHintText; // says why there is no MIDI, or only the virtual instrument
    int32_t m_nMidiInSelect;
    int32_t m_nMidiOutSelect;
    int32_t m_nMidiInNotConnected;
    int32_t m_nMidiOutNotConnected;
    uint32_t m_uiLastSetupChanged;
    char m_szMidiInName[256];
    char m_szMidiOutName[256];
    // Pending look at the MIDI setup after a burst of changes (see OnMessageReceived).
    EventLoopTimerRef m_pSetupCheckTimer;
    EventLoopTimerRef m_pStartFilesTimer = nullptr;
};
