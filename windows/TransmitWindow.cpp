#include "windows/TransmitWindow.h"

#include "app/Application.h"
#include "app/TransmitPreferences.h"
#include "file/MidiFileReader.h"
#include "file/SysExDump.h"
#include "toolkit/Alert.h"
#include "toolkit/DebugLog.h"
#include "toolkit/LoadDialog.h"
#include "toolkit/Utility.h"
#include "transfer/MidiManager.h"
#include "transfer/TransmitContent.h"
#include "windows/MessageWindow.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace
{
constexpr uint32_t kSignature = FourCharCode("QMRK");
constexpr uint32_t kButtonCommand = FourCharCode("not!");
constexpr uint32_t kSendAllCommand = FourCharCode("sall");
constexpr uint32_t kMessagesCommand = FourCharCode("msgs");
constexpr uint32_t kCloseCommand = kHICommandClose;
} // namespace

CTransmitWindow::CTransmitWindow()
    : m_bShown(0), m_bTransmitting(0), m_nFileCount(0), m_nFileIndex(0), m_bMultiSysEx(-1),
      m_szFileName(), m_nStartTime(0), m_bSendingAll(0), m_nNextOfAll(0), m_bMissedOfAll(0),
      m_bSendingSelection(0), m_bMidiFile(0)
{
}

CTransmitWindow::~CTransmitWindow()
{
    // The chosen file may still be open: a single file not sent to the end, or a list
    // whose parsing failed.
    if (m_cFile.IsOpened())
        m_cFile.Close();
}

void CTransmitWindow::OnCreate()
{
    m_cStatusText.SetControl(m_pWindow, kSignature, 3);
    m_cTimeText.SetControl(m_pWindow, kSignature, 5);
    m_cFileNameText.SetControl(m_pWindow, kSignature, 1);
    m_cProgress.SetControl(m_pWindow, kSignature, 6);
    m_cButton.SetControl(m_pWindow, kSignature, 7);
    m_cPause.SetControl(m_pWindow, kSignature, 8);
    m_cSpeed.SetControl(m_pWindow, kSignature, 9);
    m_cPaceAll.SetControl(m_pWindow, kSignature, 10);
    m_cFilePause.SetControl(m_pWindow, kSignature, 11);
    m_cSendAllButton.SetControl(m_pWindow, kSignature, 12);
    m_cRemainingText.SetControl(m_pWindow, kSignature, 13);
    m_cFilePauseRow.SetControl(m_pWindow, kSignature, 14);
    m_cMessagesButton.SetControl(m_pWindow, kSignature, 15);
    m_cFileTiming.SetControl(m_pWindow, kSignature, 16);
    m_cCloseButton.SetControl(m_pWindow, kSignature, 17);
    m_nFileIndex = 0;
    m_bShown = 0;
    m_bTransmitting = 0;
    m_nFileCount = 0;
    m_bMultiSysEx = -1;
    g_pApplication->m_pMessageManager->AddListener(this);
}

void CTransmitWindow::OnDestroy()
{
    g_pApplication->m_pMessageManager->DeleteListener(this);
}

bool CTransmitWindow::OnBeforeShow()
{
    return true;
}

bool CTransmitWindow::OnShow()
{
    if (m_bShown)
        return false;
    m_bShown = 1;

    FSSpec spec;
    const bool bFileList = m_asFiles.size() > 1;
    if (m_asFiles.empty())
    {
        CLoadDialog dialog;
        unsigned long ulType = 0;
        long lCount = 0;
        if (!dialog.Execute(long(FourCharCode("QMRK")), &spec, &ulType, &lCount))
            return false;
    }
    else if (!bFileList && FSPathMakeFSSpec(m_asFiles.front().c_str(), &spec, nullptr) != 0)
    {
        ShowErrorAlert("Can't Open File", kAlertStopAlert);
        return false;
    }
    CSendCheck::tagFile chosen;
    const CSendCheck::Problem problem =
        bFileList ? CSendCheck::kNotSysEx : CSendCheck::CheckFile(spec, &chosen);
    if (problem == CSendCheck::kBadMidiFile)
        return OnMidiFileError(spec, chosen.sMidiFault.c_str());
    if (problem != CSendCheck::kNoProblem && problem != CSendCheck::kNotSysEx)
        return OnSendProblem(chosen, problem);
    if (!bFileList && !m_cFile.MacOpen(&spec, 9))
        return OnSendProblem(chosen, CSendCheck::kUnreadable);
    m_bMidiFile = chosen.bMidiFile;

    long lSize = 0;
    if (problem == CSendCheck::kNoProblem)
    {
        // Sent as one file whatever its name; it stays open for the transmission.
        if (chosen.bUnterminated && !AgreeToUnterminated(chosen))
        {
            m_cFile.Close();
            return false;
        }
        m_nFileIndex = 0;
        m_bMultiSysEx = 0;
        m_nFileCount = 1;
        m_bTransmitting = 0;
        GetFSSpecFileName(m_szFileName, m_cFile.m_spec, sizeof(m_szFileName));
        lSize = chosen.lSize;
    }
    else if (!OpenList(chosen, &lSize))
        return false;

    ShowSettings();
    tagListenerMessage message = {LM_TRANSMIT_READY, int32_t(lSize < INT_MAX ? lSize : INT_MAX), -1,
                                  -1, -1};
    g_pApplication->m_pMessageManager->SendMessage(message,
                                                   static_cast<CMessageManagerListener*>(this));
    return true;
}

bool CTransmitWindow::OnMidiFileError(const FSSpec& spec, const char* pszExplanation)
{
    char szName[256];
    GetFSSpecFileName(szName, spec, sizeof(szName));
    char szMessage[512];
    snprintf(szMessage, sizeof(szMessage), GetResourceString("Can't Read Midi File"), szName);
    cAlert::Alert(szMessage, pszExplanation, nullptr, nullptr, nullptr, kAlertStopAlert);
    return false;
}

bool CTransmitWindow::OnClose()
{
    // Closing during a transmission stops it after its current block; otherwise the
    // window would stay until the whole file had gone out.
    if (m_bTransmitting)
        g_pApplication->m_pMidiManager->TransmitCancel();
    CloseModal();
    return false;
}

OSStatus CTransmitWindow::EventFunc(EventRef pEvent, uint32_t, uint32_t uiCommandID)
{
    if (GetEventClass(pEvent) != kEventClassCommand)
        return eventNotHandledErr;
    if (uiCommandID == kSendAllCommand)
    {
        if (!m_bTransmitting && m_bMultiSysEx == 1 && m_nFileIndex < m_nFileCount)
            TransmitRemainingFiles();
        return noErr;
    }
    if (uiCommandID == kMessagesCommand)
    {
        if (!m_bTransmitting && m_bMultiSysEx == 0)
            ShowMessages();
        return noErr;
    }
    if (uiCommandID == kCloseCommand)
    {
        OnClose();
        return noErr;
    }
    if (uiCommandID != kButtonCommand)
        return eventNotHandledErr;
    // A press while a file is going out arrives from inside TransmitCurrentFile: the
    // second half of a double click on Start or Next, or Return held down.
    if (m_bTransmitting)
        return noErr;
    if (m_nFileIndex < m_nFileCount)
        TransmitCurrentFile();
    else
        CloseModal();
    return noErr;
}

// Once every file has gone the close button is hidden: Escape closes the window still.
OSStatus CTransmitWindow::OnEvent(EventRef pEvent, uint32_t uiClass, uint32_t uiKind)
{
    if (uiClass != kEventClassKeyboard || uiKind != kEventRawKeyDown ||
        pEvent->keyChar != kEscapeCharCode)
        return eventNotHandledErr;
    OnClose();
    return noErr;
}

bool CTransmitWindow::OpenList(const CSendCheck::tagFile& chosen, long* plSize)
{
    m_bMultiSysEx = 1;
    const bool bFileList = m_asFiles.size() > 1;
    if (!bFileList && !m_cFile.SetPos(0, 2))
        DebugPrintf("Failed to set file pointer.");
    const int bOpened = bFileList ? m_cMultiSysExReader.OpenFiles(m_asFiles)
                                  : m_cMultiSysExReader.Open(&m_cFile);
    if (m_cFile.IsOpened())
        m_cFile.Close();
    if (!bOpened)
    {
        DebugPrintf("File open failed...");
        // A file named as a list is told what is wrong with the list; any other, that it
        // is not a SysEx file.
        char szExtension[256] = "";
        CLumFile::GetExtension(chosen.spec.name.c_str(), szExtension, sizeof(szExtension));
        return OnSendProblem(chosen, CompareExtension(szExtension, ".msy")
                                         ? CSendCheck::kBadList
                                         : CSendCheck::kNotSysEx);
    }
    m_sListName = bFileList ? std::string() : chosen.sName;
    std::vector<CSendCheck::tagFile> files;
    const CSendCheck::Problem problem = CSendCheck::CheckList(m_cMultiSysExReader, &files);
    if (problem != CSendCheck::kNoProblem)
        return OnSendProblem(files.empty() ? chosen : files.back(), problem);
    for (const CSendCheck::tagFile& file : files)
        if (file.bUnterminated && !AgreeToUnterminated(file))
            return false;
    m_anNumbers = m_cMultiSysExReader.GetNumbers();
    m_nFileCount = int(m_anNumbers.size());
    m_nFileIndex = 0;
    m_bTransmitting = 0;
    m_szFileName[0] = '\0';
    m_cMultiSysExReader.GetSysExFileName(m_szFileName, sizeof(m_szFileName), m_anNumbers[0]);
    *plSize = files.front().lSize;
    return true;
}

bool CTransmitWindow::OnSendProblem(const CSendCheck::tagFile& file, CSendCheck::Problem problem)
{
    char szMessage[1024];
    if (file.nNumber != 0 || (problem != CSendCheck::kBadList && !m_sListName.empty()))
        snprintf(szMessage, sizeof(szMessage), GetResourceString("ListedFileCannotBeSent"),
                 file.sName.c_str(), file.nNumber, m_sListName.c_str());
    else
        snprintf(szMessage, sizeof(szMessage), GetResourceString("FileCannotBeSent"),
                 file.sName.c_str());
    const std::string sReason = CSendCheck::Reason(problem, file, &m_cMultiSysExReader);
    cAlert::Alert(szMessage, sReason.c_str(), nullptr, nullptr, nullptr, kAlertStopAlert);
    if (m_cFile.IsOpened())
        m_cFile.Close();
    return false;
}

bool CTransmitWindow::AgreeToUnterminated(const CSendCheck::tagFile& file)
{
    char szMessage[1024];
    snprintf(szMessage, sizeof(szMessage), GetResourceString("FileUnterminated"),
             file.sName.c_str());
    char szExplanation[256];
    char szSend[64];
    char szCancel[64];
    snprintf(szExplanation, sizeof(szExplanation), "%s",
             GetResourceString("FileUnterminatedQuestion"));
    snprintf(szSend, sizeof(szSend), "%s", GetResourceString("ButtonSendAnyway"));
    snprintf(szCancel, sizeof(szCancel), "%s", GetResourceString("ButtonCancel"));
    return cAlert::Ask(szMessage, szExplanation, szSend, szCancel, kAlertCautionAlert);
}

const char* CTransmitWindow::GetWindowName()
{
    return "TransmitWindow";
}

void CTransmitWindow::TransmitCurrentFile()
{
    m_bTransmitting = 1;
    m_nStartTime = GetSystemTimeMs();
    ApplySettings();

    CLumFile* pFile = nullptr;
    if (m_bMultiSysEx)
    {
        const int nNumber = m_anNumbers[size_t(m_nFileIndex)];
        m_cMultiSysExReader.GetSysExFileName(m_szFileName, sizeof(m_szFileName), nNumber);
        pFile = m_cMultiSysExReader.GetSysExFile(nNumber);
    }
    else if (m_cFile.IsOpened())
    {
        // A file sent again after a failure starts from its beginning.
        if (!m_cFile.SetPos(0, 2))
            DebugPrintf("Failed to set file pointer.");
        pFile = &m_cFile;
    }
    if (!pFile)
    {
        m_bTransmitting = 0;
        CloseModal();
        return;
    }

    const int bTransmitted = g_pApplication->m_pMidiManager->TransmitSingleSysEx(pFile);
    if (pFile != &m_cFile)
    {
        pFile->Close();
        delete pFile;
    }
    else if (bTransmitted)
    {
        m_cFile.Close();
    }
    // A transmission that failed, also one that could not start and so told nothing,
    // must not leave the button meaning Cancel.
    if (!bTransmitted)
        ShowTransmitError(GetSystemTimeMs());
}

void CTransmitWindow::ShowMessages()
{
    if (!m_pDump)
    {
        m_pDump = std::make_unique<CSysExDump>();
        const std::string sPath = m_cFile.m_spec.folder + "/" + m_cFile.m_spec.name;
        if (m_bMidiFile ? !OpenMidiFileMessages() : !m_pDump->OpenFile(sPath.c_str()))
        {
            m_pDump.reset();
            ShowErrorAlert("Can't Open File", kAlertStopAlert);
            return;
        }
    }
    CMessageWindow window(*m_pDump, true);
    if (window.Create(m_pWindow))
        window.ShowModal();
    const std::vector<size_t> anToSend = window.GetMessagesToSend();
    window.Destroy();
    if (!anToSend.empty())
        TransmitSelection(anToSend);
}

// The messages of a MIDI file are its SysEx events, joined as a .syx file holds them.
bool CTransmitWindow::OpenMidiFileMessages()
{
    CTransmitContent content;
    const bool bRead = m_cFile.SetPos(0, 2) && content.Read(&m_cFile);
    if (!m_cFile.SetPos(0, 2))
        DebugPrintf("Failed to set file pointer.");
    if (!bRead)
        return false;
    m_pDump->Assign(std::vector<unsigned char>(content.Data(), content.Data() + content.Size()));
    return true;
}

void CTransmitWindow::TransmitSelection(const std::vector<size_t>& anMessages)
{
    const std::vector<unsigned char> bytes = m_pDump->Join(anMessages);
    m_bTransmitting = 1;
    m_bSendingSelection = 1;
    m_nStartTime = GetSystemTimeMs();
    ApplySettings();
    if (!g_pApplication->m_pMidiManager->TransmitSysExData(bytes.data(), int(bytes.size())))
        ShowTransmitError(GetSystemTimeMs());
}

void CTransmitWindow::TransmitRemainingFiles()
{
    m_bTransmitting = 1;
    m_bSendingAll = 1;
    m_nStartTime = GetSystemTimeMs();
    ApplySettings();
    const int iFilePauseMs = m_cFilePause.GetValue();
    CTransmitPreferences::WriteFilePauseMs(iFilePauseMs);
    m_nNextOfAll = m_nFileIndex;
    m_bMissedOfAll = 0;
    const int bTransmitted =
        g_pApplication->m_pMidiManager->TransmitSysExFiles(*this, iFilePauseMs);
    m_bSendingAll = 0;
    // A listed file that could not be had ends the list, as Next does.
    if (m_bMissedOfAll)
    {
        m_bTransmitting = 0;
        CloseModal();
    }
    else if (!bTransmitted)
        ShowTransmitError(GetSystemTimeMs());
}

CLumFile* CTransmitWindow::NextFile()
{
    if (m_nNextOfAll >= m_nFileCount)
        return nullptr;
    const int nNumber = m_anNumbers[size_t(m_nNextOfAll++)];
    m_cMultiSysExReader.GetSysExFileName(m_szFileName, sizeof(m_szFileName), nNumber);
    CLumFile* pFile = m_cMultiSysExReader.GetSysExFile(nNumber);
    if (!pFile)
        m_bMissedOfAll = 1;
    return pFile;
}

void CTransmitWindow::FileDone(CLumFile* pFile)
{
    pFile->Close();
    delete pFile;
}

void CTransmitWindow::ShowSettings()
{
    const tagTransmitSettings settings =
        CTransmitPreferences::ReadDeviceSettings(g_pApplication->m_szMidiOutDevice);
    m_cPause.SetValue(settings.iPauseMs);
    m_cSpeed.SetValue(settings.iBytesPerSecond);
    m_cPaceAll.SetValue(settings.iPacing == tagTransmitSettings::kPacingAtSpeed ? 1 : 0);
    m_cFileTiming.SetValue(settings.iMidiTiming == tagTransmitSettings::kMidiTimingOfFile ? 1 : 0);
    m_cFileTiming.SetVisible(m_bMidiFile != 0);
    m_cFilePause.SetValue(CTransmitPreferences::ReadFilePauseMs());
    const bool bList = m_bMultiSysEx == 1;
    m_cFilePauseRow.SetVisible(bList);
    m_cSendAllButton.SetVisible(bList);
    m_cMessagesButton.SetVisible(!bList);
    EnableControls(true);
}

void CTransmitWindow::ApplySettings()
{
    tagTransmitSettings settings;
    settings.iPauseMs = m_cPause.GetValue();
    settings.iBytesPerSecond = m_cSpeed.GetValue();
    settings.iPacing = m_cPaceAll.GetValue() ? tagTransmitSettings::kPacingAtSpeed
                                             : tagTransmitSettings::kPacingByPort;
    // A device's choice for MIDI files stays as it was when the file is not one.
    settings.iMidiTiming =
        m_bMidiFile ? (m_cFileTiming.GetValue() ? tagTransmitSettings::kMidiTimingOfFile
                                                : tagTransmitSettings::kMidiTimingPause)
                    : CTransmitPreferences::ReadDeviceSettings(g_pApplication->m_szMidiOutDevice)
                          .iMidiTiming;
    g_pApplication->m_pMidiManager->SetTransmitSettings(settings);
    CTransmitPreferences::WriteDeviceSettings(g_pApplication->m_szMidiOutDevice, settings);
    EnableControls(false);
}

void CTransmitWindow::EnableControls(bool bIdle)
{
    m_cPause.SetEnabled(bIdle);
    m_cSpeed.SetEnabled(bIdle);
    m_cPaceAll.SetEnabled(bIdle);
    m_cFileTiming.SetEnabled(bIdle);
    m_cFilePause.SetEnabled(bIdle);
    m_cSendAllButton.SetEnabled(bIdle && m_nFileIndex < m_nFileCount);
    m_cMessagesButton.SetEnabled(bIdle);
    m_cButton.SetEnabled(bIdle);
    m_cCloseButton.SetCaption(GetResourceString(bIdle ? "ButtonClose" : "ButtonCancel"));
    // When all is sent the action button reads Close itself.
    m_cCloseButton.SetVisible(!bIdle || m_nFileIndex < m_nFileCount);
    // The disabled action button gave the focus away; Return and Space press it again.
    if (bIdle)
        m_cButton.SetFocus();
}

// A list's file shows where it stands in the list.
void CTransmitWindow::ShowFileName(int nFileIndex)
{
    if (m_bMultiSysEx != 1)
    {
        m_cFileNameText.Set(m_szFileName);
        return;
    }
    char szName[256] = "";
    m_cMultiSysExReader.GetSysExFileName(szName, sizeof(szName),
                                         m_anNumbers[size_t(std::min(nFileIndex, m_nFileCount - 1))]);
    char szText[768];
    if (m_sListName.empty())
        snprintf(szText, sizeof(szText), GetResourceString("FileOfList"), nFileIndex + 1,
                 m_nFileCount, szName);
    else
        snprintf(szText, sizeof(szText), GetResourceString("FileOfNamedList"),
                 m_sListName.c_str(), nFileIndex + 1, m_nFileCount, szName);
    m_cFileNameText.Set(szText);
}

void CTransmitWindow::SetRemainingTime(int iMs)
{
    char szTime[32];
    FormatMinutesSeconds(szTime, sizeof(szTime), uint32_t(std::max(iMs, 0) + 999) / 1000);
    m_cRemainingText.Set(szTime);
}

void CTransmitWindow::ShowTransmitError(uint32_t uiNow)
{
    char szText[256];
    m_bTransmitting = 0;
    m_bSendingSelection = 0;
    snprintf(szText, sizeof(szText), "%s", GetResourceString("StatusTransmitError"));
    m_cStatusText.Set(szText);
    SetElapsedTime(uiNow);
    m_cButton.SetCaption(GetResourceString("ButtonStart"));
    EnableControls(true);
}

void CTransmitWindow::SetElapsedTime(uint32_t uiNow)
{
    char szTime[32];
    FormatMinutesSeconds(szTime, sizeof(szTime), (uiNow - m_nStartTime) / 1000);
    m_cTimeText.Set(szTime);
}

void CTransmitWindow::OnMessageReceived(CMessageManager*, tagListenerMessage message,
                                        CMessageManagerListener*)
{
    char szText[256];
    switch (message.iMessage)
    {
    case LM_TRANSMIT_READY:
        ShowFileName(m_nFileIndex);
        snprintf(szText, sizeof(szText), GetResourceString("StatusTransmitReady"), message.iParam1);
        m_cStatusText.Set(szText);
        m_cButton.SetCaption(GetResourceString("ButtonStart"));
        break;
    case LM_TRANSMIT_START:
        ShowFileName(m_nFileIndex);
        snprintf(szText, sizeof(szText), GetResourceString("StatusTransmitting"), 0,
                 message.iParam1);
        m_cStatusText.Set(szText);
        FormatMinutesSeconds(szText, sizeof(szText), 0);
        m_cTimeText.Set(szText);
        m_cProgress.Set(0);
        SetRemainingTime(g_pApplication->m_pMidiManager->GetTransmitRemainingMs());
        break;
    case LM_TRANSMITTING:
    {
        snprintf(szText, sizeof(szText), GetResourceString("StatusTransmitting"), message.iParam2,
                 message.iParam1);
        m_cStatusText.Set(szText);
        SetElapsedTime(uint32_t(message.iParam3));
        // In 64 bits: the product overflows 32 bits for files above 21 MB.
        const int64_t llPercent =
            message.iParam1 > 0 ? int64_t(message.iParam2) * 100 / message.iParam1 : 100;
        m_cProgress.Set(int(llPercent));
        SetRemainingTime(g_pApplication->m_pMidiManager->GetTransmitRemainingMs());
        break;
    }
    case LM_TRANSMIT_COMPLETE:
        snprintf(szText, sizeof(szText), GetResourceString("StatusTransmitComplete"),
                 message.iParam1);
        m_cStatusText.Set(szText);
        SetElapsedTime(uint32_t(message.iParam3));
        SetRemainingTime(0);
        m_cProgress.Set(100);
        // A selection leaves the file to be sent whole.
        if (m_bSendingSelection)
        {
            m_bSendingSelection = 0;
            m_bTransmitting = 0;
            m_cButton.SetCaption(
                GetResourceString(m_nFileIndex < m_nFileCount ? "ButtonStart" : "ButtonClose"));
            EnableControls(true);
            break;
        }
        ++m_nFileIndex;
        // While "Send All" goes on to the next file the window stays as it is.
        if (m_bSendingAll && m_nFileIndex < m_nFileCount)
            break;
        m_bTransmitting = 0;
        m_cButton.SetCaption(
            GetResourceString(m_nFileIndex < m_nFileCount ? "ButtonNext" : "ButtonClose"));
        EnableControls(true);
        break;
    case LM_TRANSMIT_CANCEL:
        m_bTransmitting = 0;
        snprintf(szText, sizeof(szText), "%s", GetResourceString("StatusTransmitCancel"));
        m_cStatusText.Set(szText);
        CloseModal();
        break;
    case LM_TRANSMIT_ERROR:
        // The window has shown the error already when the transmission returned; a
        // report that arrives once the user has started the file again is stale.
        if (!m_bTransmitting)
            ShowTransmitError(uint32_t(message.iParam3));
        break;
    default:
        break;
    }
}
