#pragma once

#include "app/MessageManager.h"
#include "file/LumFile.h"
#include "toolkit/Button.h"
#include "toolkit/Progress.h"
#include "toolkit/StaticText.h"
#include "transfer/MultiSysExReader.h"
#include "windows/ModalWindow.h"

#include <cstdint>

// The modal window that sends a .syx file, or the files of a .msy list one after the
// other, to the open MIDI output. It asks for the file when shown and follows the
// transmission messages with a status line, the elapsed time and a progress bar. Its one
// button starts a file, cancels a running transmission, steps to the next file of a list
// or closes the window.
class CTransmitWindow : public CModalWindow, public CMessageManagerListener
{
public:
    CTransmitWindow();
    ~CTransmitWindow() override;

    void OnCreate() override;
    void OnDestroy() override;
    bool OnBeforeShow() override;
    bool OnShow() override;
    bool OnClose() override;
    OSStatus EventFunc(EventRef pEvent, uint32_t uiKind, uint32_t uiCommandID) override;
    const char* GetWindowName() override;

    void OnMessageReceived(CMessageManager* pManager, tagListenerMessage message,
                           CMessageManagerListener* pSender) override;

private:
    // Sends the file at m_nFileIndex; returns once its transmission has ended.
    void TransmitCurrentFile();
    // Leaves the transmitting state after a failed transmission; the button offers to
    // send the same file again.
    void ShowTransmitError(uint32_t uiNow);
    void SetElapsedTime(uint32_t uiNow);
    // Whether the list names a file under the number.
    bool IsListed(int nNumber);

    cStaticText m_cStatusText;
    cStaticText m_cTimeText;
    cStaticText m_cFileNameText;
    cProgress m_cProgress;
    cButton m_cButton;
    CMultiSysExReader m_cMultiSysExReader;
    CLumFile m_cFile;
    // OnShow has run once; unlike the framework's flag of the same name it stays set.
    int m_bShown;
    int m_bTransmitting;
    int m_nFileCount;
    int m_nFileIndex;  // files finished, and so the 0-based index of the next one
    int m_bMultiSysEx; // -1 before a file is chosen, 0 a single .syx file, 1 a .msy list
    char m_szFileName[256];
    uint32_t m_nStartTime;
};
