#pragma once

#include "app/MessageManager.h"
#include "toolkit/Button.h"
#include "toolkit/StaticText.h"
#include "windows/ModalWindow.h"

#include <memory>

class CSysExDump;

// The modal window in which one SysEx dump is received and saved as a .syx file. It
// arms the MIDI manager's reception once when shown, follows the reception messages
// with a status line and the elapsed time, and asks before closing with a complete
// message that was not saved.
class CReceiveWindow : public CModalWindow, public CMessageManagerListener
{
public:
    CReceiveWindow();
    ~CReceiveWindow() override;

    void OnCreate() override;
    void OnDestroy() override;
    bool OnBeforeShow() override;
    bool OnShow() override;
    bool OnClose() override;
    OSStatus EventFunc(EventRef pEvent, uint32_t uiKind, uint32_t uiCommandID) override;
    const char* GetWindowName() override;

    void OnMessageReceived(CMessageManager* pManager, tagListenerMessage message,
                           CMessageManagerListener* pSender) override;

    // Writes the received message to a file the user chooses; true when it was written
    // whole. The user is told when the file cannot be written.
    bool ExecuteSave();
    // Asks whether to save an unsaved message; true when the window may close.
    bool CheckFileSaved();
    // Runs the message window over the received dump.
    void ShowMessages();

private:
    cStaticText m_cStatusText;
    cStaticText m_cTimeText;
    cButton m_cCancelButton;
    cButton m_cSaveButton;
    cButton m_cMessagesButton;
    int m_bStarted;
    int m_bReceived;
    int m_bNotSaved;
    // The complete message as the message window sees it; its bad sums show before Save.
    std::unique_ptr<CSysExDump> m_pDump;
};
