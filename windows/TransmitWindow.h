#pragma once

#include "app/MessageManager.h"
#include "file/LumFile.h"
#include "toolkit/Button.h"
#include "toolkit/Progress.h"
#include "toolkit/StaticText.h"
#include "transfer/MultiSysExReader.h"
#include "transfer/SendCheck.h"
#include "transfer/SysExFileSequence.h"
#include "transfer/TransmitSettings.h"
#include "windows/ModalWindow.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSysExDump;

// The modal window that sends a .syx file, the SysEx messages of a Standard MIDI File
// (.mid), or the files of a .msy list one after the other, to the open MIDI output. It asks for the
// file when shown and follows the transmission messages with a status line, the elapsed and the
// remaining time and a progress bar. Its action button starts a file, steps to the next file of a
// list or closes the window; it is disabled while a file goes out, so the second click of a double
// click on it is lost rather than taken as a cancel. A button of its own cancels a running
// transmission, and before it and between the files of a list closes the window. For a list,
// "Send All" sends the files left one after the other. The pacing of the output device (pause between messages,
// speed, pacing of software ports) is shown and can be changed before a file starts; it
// is remembered for the device, and so is the pause between the files of "Send All".
// For a MIDI file a check box shows whether the file's own timing spaces its messages
// (the default) or the pause between messages does.
class CTransmitWindow : public CModalWindow,
                        public CMessageManagerListener,
                        private CSysExFileSequence
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
    OSStatus OnEvent(EventRef pEvent, uint32_t uiClass, uint32_t uiKind) override;
    const char* GetWindowName() override;

    // The files to send instead of asking for one (paths, before the window is shown):
    // one is taken as if chosen in the open dialog, several are sent like a list's.
    void SetFiles(const std::vector<std::string>& asPaths) { m_asFiles = asPaths; }

    void OnMessageReceived(CMessageManager* pManager, tagListenerMessage message,
                           CMessageManagerListener* pSender) override;

private:
    // Sends the file at m_nFileIndex; returns once its transmission has ended.
    void TransmitCurrentFile();
    // The message window over the chosen file; sends what it hands back.
    void ShowMessages();
    // Sends the chosen messages of the file; returns once they have gone. The file itself
    // stays to be sent.
    bool OpenMidiFileMessages();
    void TransmitSelection(const std::vector<size_t>& anMessages);
    // Sends the files from m_nFileIndex to the end; returns once they have gone.
    void TransmitRemainingFiles();
    // The settings as the controls show them, handed to the MIDI manager and remembered.
    void ApplySettings();
    void ShowSettings();
    // Settings and buttons as they are between transmissions (bIdle) or while one runs.
    void EnableControls(bool bIdle);
    void ShowFileName(int nFileIndex);
    void SetRemainingTime(int iMs);
    // CSysExFileSequence, for TransmitRemainingFiles.
    CLumFile* NextFile() override;
    void FileDone(CLumFile* pFile) override;
    // Leaves the transmitting state after a failed transmission; the button offers to
    // send the same file again.
    void ShowTransmitError(uint32_t uiNow);
    void SetElapsedTime(uint32_t uiNow);
    // Tells the user the chosen MIDI file cannot be sent, and why; false.
    bool OnMidiFileError(const FSSpec& spec, const char* pszExplanation);
    // Tells the user why the file (of the list under nNumber, when not 0) cannot be sent;
    // false.
    bool OnSendProblem(const CSendCheck::tagFile& file, CSendCheck::Problem problem);
    // Whether the user wants a file whose last message never ends sent all the same.
    bool AgreeToUnterminated(const CSendCheck::tagFile& file);
    // Opens the chosen file (not F0, not MIDI) as a list and checks every file it names.
    bool OpenList(const CSendCheck::tagFile& chosen, long* plSize);

    cStaticText m_cStatusText;
    cStaticText m_cTimeText;
    cStaticText m_cFileNameText;
    cProgress m_cProgress;
    cButton m_cButton;
    cStaticText m_cRemainingText;
    cControl m_cPause;
    cControl m_cSpeed;
    cControl m_cPaceAll;
    cControl m_cFileTiming;
    cControl m_cFilePauseRow;
    cControl m_cFilePause;
    cButton m_cSendAllButton;
    cButton m_cMessagesButton;
    cButton m_cCloseButton; // Close between transmissions, Cancel during one
    CMultiSysExReader m_cMultiSysExReader;
    CLumFile m_cFile;
    // OnShow has run once; unlike the framework's flag of the same name it stays set.
    int m_bShown;
    int m_bTransmitting;
    int m_nFileCount;
    int m_nFileIndex;  // files finished, and so the 0-based index of the next one
    std::vector<int> m_anNumbers; // a list's numbers, in the order they are sent
    int m_bMultiSysEx; // -1 before a file is chosen, 0 a single .syx file, 1 a .msy list
    char m_szFileName[256];
    std::string m_sListName;
    uint32_t m_nStartTime;
    int m_bSendingAll;                   // TransmitRemainingFiles runs
    int m_nNextOfAll;                    // the index NextFile hands out next
    int m_bMissedOfAll;                  // NextFile found no file where the list has one
    int m_bSendingSelection;             // the messages going out are a selection of the file
    std::unique_ptr<CSysExDump> m_pDump; // the chosen file, once the message window opened
    std::vector<std::string> m_asFiles;
    int m_bMidiFile; // the chosen file is a Standard MIDI File
};
