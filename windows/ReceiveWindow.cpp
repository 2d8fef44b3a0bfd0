#include "windows/ReceiveWindow.h"

#include "app/Application.h"
#include "app/ReceivePreferences.h"
#include "app/TransmitPreferences.h"
#include "file/LumFile.h"
#include "file/SysExDump.h"
#include "file/SysExDumpReport.h"
#include "toolkit/Alert.h"
#include "toolkit/DebugLog.h"
#include "toolkit/LoadDialog.h"
#include "toolkit/SaveDialog.h"
#include "toolkit/Utility.h"
#include "transfer/MidiManager.h"
#include "transfer/SysExFileWriter.h"
#include "transfer/SysExRequest.h"
#include "windows/MessageWindow.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace
{
constexpr uint32_t kSignature = FourCharCode("QMRK");
constexpr uint32_t kCreator = FourCharCode("QMRK");
constexpr uint32_t kFileType = FourCharCode("SysX");
constexpr uint32_t kMessagesCommand = FourCharCode("msgs");

void FormatElapsedTime(char* pszText, size_t nSize, int32_t iMilliseconds)
{
    FormatMinutesSeconds(pszText, nSize, uint32_t(iMilliseconds) / 1000);
}

// Keeps the received bytes for the message window; a BAD checksum among them changes the
// status text, so that the user looks before saving.
void IndexReceived(std::unique_ptr<CSysExDump>& pDump, std::vector<unsigned char> bytes,
                   char* pszStatus, size_t nSize)
{
    if (!pDump)
        pDump = std::make_unique<CSysExDump>();
    pDump->Assign(std::move(bytes));
    const size_t nBad = CSysExDumpReport(pDump->Index()).GetCount(CSysExChecksum::kBad);
    if (nBad > 0)
        snprintf(pszStatus, nSize, GetResourceString("StatusReceiveCompleteBad"),
                 int(std::min<size_t>(pDump->Index().GetSize(), INT_MAX)), int(nBad));
}

std::vector<unsigned char> ReceivedMessage()
{
    CMidiManager* pMidiManager = g_pApplication->m_pMidiManager;
    std::vector<unsigned char> bytes(
        size_t(std::max(pMidiManager->m_nReceivedSysExSize.load(), 0)));
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = pMidiManager->GetReceivedSysExData(int(i));
    return bytes;
}

std::vector<unsigned char> ReceivedDump()
{
    std::vector<unsigned char> bytes;
    g_pApplication->m_pMidiManager->ReadReceivedDump(
        [&](const unsigned char* pData, size_t nLength)
        {
            bytes.insert(bytes.end(), pData, pData + nLength);
            return true;
        });
    return bytes;
}

// The words for why a file could not be written.
const char* WriteReasonKey(OSErr err)
{
    switch (err)
    {
    case fnfErr:
    case dirNFErr:
        return "ReasonFolderNotFound";
    case permErr:
        return "ReasonWritePermissionDenied";
    case wPrErr:
        return "ReasonReadOnly";
    case dskFulErr:
        return "ReasonDiskFull";
    case notAFileErr:
        return "ReasonIsFolder";
    case bdNamErr:
        return "ReasonBadName";
    default:
        return "ReasonNotWritten";
    }
}

// A .mid file of a dump plays back with the pause the device is sent with.
int DevicePauseMs()
{
    return CTransmitPreferences::ReadDeviceSettings(g_pApplication->m_szMidiInDevice).iPauseMs;
}

// GetResourceString shares one buffer; a text needed beside another is copied out.
void CopyResourceString(char* pszDest, size_t nSize, const char* pszKey)
{
    snprintf(pszDest, nSize, "%s", GetResourceString(pszKey));
}
} // namespace

CReceiveWindow::CReceiveWindow()
    : m_bStarted(0), m_bReceived(0), m_bNotSaved(0), m_bDumpMode(0), m_bRecording(0),
      m_bDataCame(0), m_bCanRequest(0), m_bOpenedOutput(0)
{
}

CReceiveWindow::~CReceiveWindow() = default;

void CReceiveWindow::OnCreate()
{
    m_bNotSaved = 0;
    m_bStarted = 0;
    m_bReceived = 0;
    m_cStatusText.SetControl(m_pWindow, kSignature, 2);
    m_cTimeText.SetControl(m_pWindow, kSignature, 4);
    m_cCancelButton.SetControl(m_pWindow, kSignature, 5);
    m_cSaveButton.SetControl(m_pWindow, kSignature, 6);
    m_cSaveButton.SetEnabled(false);
    m_cMessagesButton.SetControl(m_pWindow, kSignature, 16);
    m_cMessagesButton.SetEnabled(false);
    m_cModePopup.SetControl(m_pWindow, kSignature, 7);
    m_cIdleCheck.SetControl(m_pWindow, kSignature, 8);
    m_cIdleSpin.SetControl(m_pWindow, kSignature, 9);
    m_cRequestText.SetControl(m_pWindow, kSignature, 10);
    m_cRequestFileButton.SetControl(m_pWindow, kSignature, 11);
    m_cRequestButton.SetControl(m_pWindow, kSignature, 12);
    m_cRequestNote.SetControl(m_pWindow, kSignature, 13);
    m_cDumpNote.SetControl(m_pWindow, kSignature, 14);
    m_cStopButton.SetControl(m_pWindow, kSignature, 15);
    m_bDumpMode = m_bRecording = m_bDataCame = m_bCanRequest = m_bOpenedOutput = 0;
    g_pApplication->m_pMessageManager->AddListener(this);
}

void CReceiveWindow::OnDestroy()
{
    g_pApplication->m_pMessageManager->DeleteListener(this);
    CMidiManager* pMidiManager = g_pApplication->m_pMidiManager;
    pMidiManager->StopReceive();
    if (m_bOpenedOutput)
        pMidiManager->MidiOutClose();
    m_bOpenedOutput = 0;
}

bool CReceiveWindow::OnBeforeShow()
{
    return true;
}

bool CReceiveWindow::OnShow()
{
    if (m_bStarted)
        return false;
    m_bStarted = 1;

    const tagReceivePreferences prefs = tagReceivePreferences::Read();
    m_cModePopup.SetValue(prefs.bAllMessages ? 2 : 1);
    m_cIdleCheck.SetValue(prefs.bIdleStop);
    m_cIdleSpin.SetValue(prefs.iIdleSeconds);
    m_cRequestText.Set(const_cast<char*>(prefs.sRequestHex.c_str()));

    // Requests go to the output chosen in the main window, open while the window is.
    char szNote[256] = "";
    const char* pszOutput = g_pApplication->m_szMidiOutDevice;
    if (!*pszOutput)
        CopyResourceString(szNote, sizeof(szNote), "RequestNoOutput");
    else if (!g_pApplication->m_pMidiManager->MidiOutOpenByName(pszOutput))
        CopyResourceString(szNote, sizeof(szNote), "RequestOutputFailed");
    else
        m_bCanRequest = m_bOpenedOutput = 1;
    m_cRequestNote.Set(szNote);
    m_cRequestText.SetEnabled(m_bCanRequest != 0);
    m_cRequestFileButton.SetEnabled(m_bCanRequest != 0);
    m_cRequestButton.SetEnabled(m_bCanRequest != 0);

    Arm();
    return true;
}

void CReceiveWindow::Arm()
{
    CMidiManager* pMidiManager = g_pApplication->m_pMidiManager;
    m_bDumpMode = m_cModePopup.GetValue() == 2 ? 1 : 0;
    m_bDataCame = 0;
    if (m_bDumpMode)
    {
        const int iIdleMs = m_cIdleCheck.GetValue() ? m_cIdleSpin.GetValue() * 1000 : 0;
        m_bRecording = pMidiManager->ReceiveSysExDump(iIdleMs);
    }
    else
    {
        m_bRecording = 0;
        pMidiManager->ReceiveSysExData();
    }
    m_cStopButton.SetVisible(m_bDumpMode != 0);
    m_cStopButton.SetEnabled(m_bRecording != 0);
    m_cIdleCheck.SetEnabled(m_bDumpMode != 0);
    m_cIdleSpin.SetEnabled(m_bDumpMode != 0);
}

// The choices apply at once while nothing has come: the reception is armed anew.
void CReceiveWindow::OnSettingsChanged()
{
    StorePreferences();
    if (!m_bDataCame)
        Arm();
}

void CReceiveWindow::StorePreferences()
{
    tagReceivePreferences prefs = tagReceivePreferences::Read();
    prefs.bAllMessages = m_cModePopup.GetValue() == 2 ? 1 : 0;
    prefs.bIdleStop = m_cIdleCheck.GetValue() ? 1 : 0;
    prefs.iIdleSeconds = m_cIdleSpin.GetValue();
    prefs.Write();
}

void CReceiveWindow::EnableChoices(bool bEnabled)
{
    m_cModePopup.SetEnabled(bEnabled);
    m_cIdleCheck.SetEnabled(bEnabled && m_bDumpMode);
    m_cIdleSpin.SetEnabled(bEnabled && m_bDumpMode);
    const bool bRequest = bEnabled && m_bCanRequest;
    m_cRequestText.SetEnabled(bRequest);
    m_cRequestFileButton.SetEnabled(bRequest);
    m_cRequestButton.SetEnabled(bRequest);
}

bool CReceiveWindow::ReadRequest(std::vector<unsigned char>* pRequest)
{
    std::vector<char> text(CSysExRequest::sm_nMaxSize * 3 + 2);
    m_cRequestText.Get(text.data(), int(text.size()));
    size_t nWhere = 0;
    const CSysExRequest::Problem problem = CSysExRequest::ParseHex(text.data(), pRequest, &nWhere);
    if (problem != CSysExRequest::kNoProblem)
    {
        ShowRequestProblem(problem, nWhere);
        return false;
    }
    tagReceivePreferences prefs = tagReceivePreferences::Read();
    prefs.sRequestHex = CSysExRequest::ToHex(*pRequest);
    prefs.Write();
    return true;
}

void CReceiveWindow::ShowRequestProblem(int iProblem, size_t nWhere)
{
    char szText[256];
    snprintf(szText, sizeof(szText), "%s",
             CSysExRequest::Describe(CSysExRequest::Problem(iProblem), nWhere).c_str());
    m_cRequestNote.Set(szText);
}

void CReceiveWindow::SendRequest()
{
    std::vector<unsigned char> request;
    if (!m_bCanRequest || m_bDataCame || !ReadRequest(&request))
        return;
    char szText[256] = "";
    m_cRequestNote.Set(szText);
    // Armed before the request goes: the reply may come at once.
    Arm();
    if (!g_pApplication->m_pMidiManager->SendSysExRequest(request))
    {
        CopyResourceString(szText, sizeof(szText), "RequestSendFailed");
        m_cRequestNote.Set(szText);
        return;
    }
    if (!m_bDataCame)
    {
        CopyResourceString(szText, sizeof(szText), "StatusRequestSent");
        m_cStatusText.Set(szText);
    }
}

// The file's bytes become the typed request, so that one is what is sent and remembered.
void CReceiveWindow::ChooseRequestFile()
{
    CLoadDialog dialog;
    FSSpec spec;
    unsigned long ulType = 0;
    long lCount = 0;
    if (!dialog.Execute(long(FourCharCode("QMRK")), &spec, &ulType, &lCount))
        return;
    CLumFile file;
    std::vector<unsigned char> bytes(CSysExRequest::sm_nMaxSize + 1);
    long lRead = -1;
    if (file.MacOpen(&spec, 9))
    {
        lRead = file.Read(bytes.data(), long(bytes.size()));
        file.Close();
    }
    char szText[256] = "";
    if (lRead < 0)
    {
        CopyResourceString(szText, sizeof(szText), "RequestUnreadable");
        m_cRequestNote.Set(szText);
        return;
    }
    bytes.resize(size_t(lRead));
    size_t nWhere = 0;
    const CSysExRequest::Problem problem = CSysExRequest::Check(bytes, &nWhere);
    if (problem != CSysExRequest::kNoProblem)
    {
        ShowRequestProblem(problem, nWhere);
        return;
    }
    m_cRequestText.Set(const_cast<char*>(CSysExRequest::ToHex(bytes).c_str()));
    m_cRequestNote.Set(szText);
}

void CReceiveWindow::ShowDumpProgress(const tagListenerMessage& message)
{
    char szText[256];
    char szTime[256];
    snprintf(szText, sizeof(szText), GetResourceString("StatusDumpReceiving"), message.iParam1,
             message.iParam2, message.iParam4);
    m_cStatusText.Set(szText);
    FormatElapsedTime(szTime, sizeof(szTime), message.iParam3);
    m_cTimeText.Set(szTime);
    if (message.iParam1 > 0)
    {
        m_bReceived = 1;
        m_bNotSaved = 1;
        m_cSaveButton.SetEnabled(true);
    }
    ShowDumpNote();
}

// From the manager's own account, also when the window stopped the recording itself.
void CReceiveWindow::ShowDumpEnd()
{
    const tagDumpStatus status = g_pApplication->m_pMidiManager->GetDumpStatus();
    const int iMessages = int(std::min<int64_t>(status.counts.llMessages, INT_MAX));
    char szText[256];
    char szTime[256];
    if (iMessages > 0)
        snprintf(szText, sizeof(szText), GetResourceString("StatusDumpComplete"), iMessages,
                 int(std::min<int64_t>(status.counts.llMessageBytes, INT_MAX)));
    else
        CopyResourceString(szText, sizeof(szText), "StatusDumpNothing");
    if (iMessages > 0)
        IndexReceived(m_pDump, ReceivedDump(), szText, sizeof(szText));
    m_cMessagesButton.SetEnabled(iMessages > 0);
    m_cStatusText.Set(szText);
    FormatElapsedTime(szTime, sizeof(szTime), status.iElapsedMs);
    m_cTimeText.Set(szTime);
    m_bRecording = 0;
    m_bReceived = iMessages > 0 ? 1 : 0;
    m_bNotSaved = m_bReceived;
    m_cSaveButton.SetEnabled(m_bReceived != 0);
    m_cStopButton.SetEnabled(false);
    m_cCancelButton.SetCaption(GetResourceString("ButtonClose"));
    EnableChoices(false);
    ShowDumpNote();
}

// What was left out, said in the note line.
void CReceiveWindow::ShowDumpNote()
{
    const tagDumpStatus status = g_pApplication->m_pMidiManager->GetDumpStatus();
    char szText[512] = "";
    // A break in the input matters most, so it is said first.
    if (status.iEnd == kDumpEndDataLost || status.iEnd == kDumpEndSourceGone)
        CopyResourceString(szText, 256,
                           status.iEnd == kDumpEndDataLost ? "DumpDataLost" : "DumpSourceGone");
    const int64_t llInterrupted = status.counts.llInterrupted;
    if (llInterrupted > 0)
    {
        char szInterrupted[256];
        if (llInterrupted == 1)
            CopyResourceString(szInterrupted, sizeof(szInterrupted), "DumpInterruptedOne");
        else
            snprintf(szInterrupted, sizeof(szInterrupted), GetResourceString("DumpInterruptedMany"),
                     int(std::min<int64_t>(llInterrupted, INT_MAX)));
        snprintf(szText + strlen(szText), sizeof(szText) - strlen(szText), "%s%s",
                 *szText ? ". " : "", szInterrupted);
    }
    if (status.counts.bIncompleteAtStop)
    {
        char szIncomplete[256];
        CopyResourceString(szIncomplete, sizeof(szIncomplete), "DumpIncompleteAtStop");
        snprintf(szText + strlen(szText), sizeof(szText) - strlen(szText), "%s%s",
                 *szText ? ". " : "", szIncomplete);
    }
    szText[255] = '\0';
    m_cDumpNote.Set(szText);
}

bool CReceiveWindow::OnClose()
{
    if (!m_bNotSaved || CheckFileSaved())
        CloseModal();
    return false;
}

OSStatus CReceiveWindow::EventFunc(EventRef pEvent, uint32_t, uint32_t uiCommandID)
{
    if (GetEventClass(pEvent) != kEventClassCommand)
        return eventNotHandledErr;
    if (uiCommandID == FourCharCode("not!"))
    {
        if (!m_bNotSaved || CheckFileSaved())
            CloseModal();
        return noErr;
    }
    if (uiCommandID == FourCharCode("save"))
    {
        ExecuteSave();
        return noErr;
    }
    if (uiCommandID == kMessagesCommand)
    {
        ShowMessages();
        return noErr;
    }
    if (uiCommandID == FourCharCode("stop"))
    {
        if (m_bRecording && g_pApplication->m_pMidiManager->StopReceive())
            ShowDumpEnd();
        return noErr;
    }
    if (uiCommandID == FourCharCode("rmod") || uiCommandID == FourCharCode("ridl"))
    {
        OnSettingsChanged();
        return noErr;
    }
    if (uiCommandID == FourCharCode("rqst"))
    {
        SendRequest();
        return noErr;
    }
    if (uiCommandID == FourCharCode("rqfl"))
    {
        ChooseRequestFile();
        return noErr;
    }
    return eventNotHandledErr;
}

const char* CReceiveWindow::GetWindowName()
{
    return "ReceiveWindow";
}

void CReceiveWindow::OnMessageReceived(CMessageManager*, tagListenerMessage message,
                                       CMessageManagerListener*)
{
    char szText[256];
    char szTime[256];
    const bool bOfOneMessage = message.iMessage == LM_RECEIVING ||
                               message.iMessage == LM_RECEIVE_COMPLETE ||
                               message.iMessage == LM_RECEIVE_ERROR;
    // Messages of a reception armed before the last change of choice may still be queued.
    if ((bOfOneMessage && m_bDumpMode) ||
        ((message.iMessage == LM_DUMP_RECEIVING || message.iMessage == LM_DUMP_END) &&
         !m_bRecording))
        return;
    if (!m_bDataCame && (bOfOneMessage || message.iMessage == LM_DUMP_RECEIVING))
    {
        m_bDataCame = 1;
        EnableChoices(false);
    }
    switch (message.iMessage)
    {
    case LM_DUMP_RECEIVING:
        ShowDumpProgress(message);
        break;
    case LM_DUMP_END:
        ShowDumpEnd();
        break;
    case LM_RECEIVING:
        snprintf(szText, sizeof(szText), GetResourceString("StatusReceiving"), message.iParam2);
        m_cStatusText.Set(szText);
        FormatElapsedTime(szTime, sizeof(szTime), message.iParam3);
        m_cTimeText.Set(szTime);
        break;
    case LM_RECEIVE_COMPLETE:
        snprintf(szText, sizeof(szText), GetResourceString("StatusReceiveComplete"),
                 message.iParam1);
        m_cStatusText.Set(szText);
        FormatElapsedTime(szTime, sizeof(szTime), message.iParam3);
        m_cTimeText.Set(szTime);
        IndexReceived(m_pDump, ReceivedMessage(), szText, sizeof(szText));
        m_cStatusText.Set(szText);
        m_cMessagesButton.SetEnabled(true);
        m_bNotSaved = 1;
        m_bReceived = 1;
        m_cSaveButton.SetEnabled(true);
        m_cCancelButton.SetCaption(GetResourceString("ButtonClose"));
        break;
    case LM_RECEIVE_ERROR:
        snprintf(szText, sizeof(szText), "%s",
                 GetResourceString(message.iParam1 == kReceiveErrorDataLost ? "StatusReceiveDataLost"
                                   : message.iParam1 == kReceiveErrorSourceGone
                                       ? "StatusReceiveSourceGone"
                                       : "StatusReceiveError"));
        m_cStatusText.Set(szText);
        FormatElapsedTime(szTime, sizeof(szTime), message.iParam3);
        m_cTimeText.Set(szTime);
        m_cSaveButton.SetEnabled(false);
        break;
    default:
        break;
    }
}

bool CReceiveWindow::ExecuteSave()
{
    if (!m_bReceived)
        return false;

    char szTitle[256];
    char szDefaultName[256];
    CopyResourceString(szTitle, sizeof(szTitle), "Save SysEx File");
    CopyResourceString(szDefaultName, sizeof(szDefaultName), "Received.syx");
    CSaveDialog dialog;
    dialog.m_ulCreator = kCreator;
    dialog.m_ulType = kFileType;
    dialog.AddFileType(GetResourceString("SysEx Files"), ".syx");
    dialog.AddFileType(GetResourceString("Midi Files"), ".mid");
    FSSpec spec;
    if (!dialog.Execute(long(FourCharCode("QMRK")), szTitle, szDefaultName, &spec, nullptr))
        return false;

    CMidiManager* pMidiManager = g_pApplication->m_pMidiManager;
    // A dump is saved as it stands: the recording ends first, so that what is saved is
    // all there is.
    if (m_bRecording && pMidiManager->StopReceive())
        ShowDumpEnd();
    if (m_bDumpMode)
        return SaveDump(spec);
    const int nSize = pMidiManager->m_nReceivedSysExSize;
    std::unique_ptr<unsigned char[]> pData(new (std::nothrow) unsigned char[size_t(nSize) + 1]);
    if (pData)
        for (int i = 0; i < nSize; ++i)
            pData[size_t(i)] = pMidiManager->GetReceivedSysExData(i);

    if (!pData)
        DebugPrintf("Failed to open file.");
    return SaveBytes(spec, pData.get(), nSize);
}

// A file that cannot be written keeps the message unsaved: the user is told, and a close
// that asked for this save does not go ahead. The file is put in place only once all of
// it was written, so an old file of that name survives.
bool CReceiveWindow::SaveBytes(const FSSpec& spec, const unsigned char* pData, int nSize)
{
    OSErr err = ioErr;
    if (!pData || !CSysExFileWriter::Write(spec, pData, nSize, DevicePauseMs(), &err))
        return OnSaveFailed(spec, err);
    return OnSaved(spec);
}

bool CReceiveWindow::OnSaveFailed(const FSSpec& spec, OSErr err)
{
    char szMessage[1024];
    snprintf(szMessage, sizeof(szMessage), GetResourceString("SaveFailed"), spec.name.c_str());
    char szReason[256];
    CopyResourceString(szReason, sizeof(szReason), WriteReasonKey(err));
    cAlert::Alert(szMessage, szReason, nullptr, nullptr, nullptr, kAlertStopAlert);
    return false;
}

bool CReceiveWindow::OnSaved(const FSSpec& spec)
{
    m_bNotSaved = 0;
    char szText[1024];
    snprintf(szText, sizeof(szText), GetResourceString("StatusSaved"),
             (spec.folder + "/" + spec.name).c_str());
    m_cStatusText.Set(szText);
    return true;
}

void CReceiveWindow::ShowMessages()
{
    if (!m_pDump)
        return;
    // MIDI OUT is not open while receiving: the window offers Save Selected only.
    CMessageWindow window(*m_pDump, false);
    if (window.Create(m_pWindow))
        window.ShowModal();
    window.Destroy();
}

bool CReceiveWindow::SaveDump(const FSSpec& spec)
{
    OSErr err = ioErr;
    if (!CSysExFileWriter::WriteReceivedDump(spec, *g_pApplication->m_pMidiManager, DevicePauseMs(),
                                             &err))
    {
        return OnSaveFailed(spec, err);
    }
    return OnSaved(spec);
}

bool CReceiveWindow::CheckFileSaved()
{
    char szApplication[256];
    char szDocument[256];
    CopyResourceString(szApplication, sizeof(szApplication), "Quillmark");
    CopyResourceString(szDocument, sizeof(szDocument), "Untitled");
    switch (cAlert::SaveAlert(0, szApplication, szDocument, "Save Received Dump",
                              "Save Received Dump Explanation"))
    {
    case kNavAskSaveChangesSave:
        return ExecuteSave();
    case kNavAskSaveChangesDontSave:
        return true;
    default:
        return false;
    }
}
