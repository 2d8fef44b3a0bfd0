#pragma once

#include "app/MessageManager.h"
#include "platform/file/FileManager.h"
#include "toolkit/Button.h"
#include "toolkit/EditText.h"
#include "toolkit/StaticText.h"
#include "windows/ModalWindow.h"

#include <memory>
#include <vector>

class CSysExDump;

// The modal window in which one SysEx dump is received and saved as a .syx file, or a
// Standard MIDI File (.mid) that plays it back at a pace the device takes. It
// arms the MIDI manager's reception when shown, follows the reception messages with a
// status line and the elapsed time, and asks before closing with a complete message that
// was not saved.
//
// It records one message, or every message until Stop or a silence of the chosen length
// (the choice is remembered and may change until the first byte comes). It can send a
// request, typed in hex or read from a .syx file, to the MIDI output chosen in the main
// window, re-arming right before it goes so that no reply is missed.
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
    // Arms the reception the controls choose, forgetting what came before.
    void Arm();
    void OnSettingsChanged();
    void SendRequest();
    void ChooseRequestFile();
    // Whether the request text is a valid request; says why not in the note.
    bool ReadRequest(std::vector<unsigned char>* pRequest);
    void ShowRequestProblem(int iProblem, size_t nWhere);
    void ShowDumpProgress(const tagListenerMessage& message);
    void ShowDumpEnd();
    void ShowDumpNote();
    // Nothing has come yet: the choices and the request may still change.
    void EnableChoices(bool bEnabled);
    void StorePreferences();
    // Writes the recorded dump to the chosen file.
    // Tells the user the dump could not be saved at the location, and why; false.
    bool OnSaveFailed(const FSSpec& spec, OSErr err);
    // The dump is saved: the status says where; true.
    bool OnSaved(const FSSpec& spec);
    bool SaveBytes(const FSSpec& spec, const unsigned char* pData, int nSize);
    bool SaveDump(const FSSpec& spec);

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

    cControl m_cModePopup;
    cControl m_cIdleCheck;
    cControl m_cIdleSpin;
    cEditText m_cRequestText;
    cButton m_cRequestFileButton;
    cButton m_cRequestButton;
    cStaticText m_cRequestNote;
    cStaticText m_cDumpNote;
    cButton m_cStopButton;
    int m_bDumpMode;     // the reception armed records a whole dump
    int m_bRecording;    // a dump recording runs
    int m_bDataCame;     // a byte of the reception armed has come
    int m_bCanRequest;   // a MIDI output is open for requests
    int m_bOpenedOutput; // the window opened MIDI OUT, and closes it
};
