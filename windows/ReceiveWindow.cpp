#include "windows/ReceiveWindow.h"

#include "app/Application.h"
#include "file/LumFile.h"
#include "file/SysExDump.h"
#include "file/SysExDumpReport.h"
#include "toolkit/Alert.h"
#include "toolkit/DebugLog.h"
#include "toolkit/SaveDialog.h"
#include "toolkit/Utility.h"
#include "transfer/MidiManager.h"
#include "windows/MessageWindow.h"

#include <algorithm>
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

// Minutes are not wrapped at 60: a long dump shows 75:00.
void FormatElapsedTime(char* pszText, size_t nSize, int32_t iMilliseconds)
{
    uint32_t uiMs = uint32_t(iMilliseconds);
    snprintf(pszText, nSize, "%02d:%02d", int(uiMs / 60000), int((uiMs / 1000) % 60));
}

// Keeps the received bytes for the message window; a BAD checksum among them changes the
// status text, so that the user looks before saving.
void IndexReceived(std::unique_ptr<CSysExDump>& pDump, char* pszStatus, size_t nSize)
{
    CMidiManager* pMidiManager = g_pApplication->m_pMidiManager;
    std::vector<unsigned char> bytes(
        size_t(std::max(pMidiManager->m_nReceivedSysExSize.load(), 0)));
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = pMidiManager->GetReceivedSysExData(int(i));
    if (!pDump)
        pDump = std::make_unique<CSysExDump>();
    pDump->Assign(std::move(bytes));
    const size_t nBad = CSysExDumpReport(pDump->Index()).GetCount(CSysExChecksum::kBad);
    if (nBad > 0)
        snprintf(pszStatus, nSize, GetResourceString("StatusReceiveCompleteBad"),
                 int(pDump->Index().GetSize()), int(nBad));
}

// GetResourceString shares one buffer; a text needed beside another is copied out.
void CopyResourceString(char* pszDest, size_t nSize, const char* pszKey)
{
    snprintf(pszDest, nSize, "%s", GetResourceString(pszKey));
}
} // namespace

CReceiveWindow::CReceiveWindow() : m_bStarted(0), m_bReceived(0), m_bNotSaved(0) {}

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
    m_cMessagesButton.SetControl(m_pWindow, kSignature, 7);
    m_cMessagesButton.SetEnabled(false);
    g_pApplication->m_pMessageManager->AddListener(this);
}

void CReceiveWindow::OnDestroy()
{
    g_pApplication->m_pMessageManager->DeleteListener(this);
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
    g_pApplication->m_pMidiManager->ReceiveSysExData();
    return true;
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
    switch (message.iMessage)
    {
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
        IndexReceived(m_pDump, szText, sizeof(szText));
        m_cStatusText.Set(szText);
        m_cMessagesButton.SetEnabled(true);
        m_bNotSaved = 1;
        m_bReceived = 1;
        m_cSaveButton.SetEnabled(true);
        m_cCancelButton.SetCaption(GetResourceString("ButtonClose"));
        break;
    case LM_RECEIVE_ERROR:
        snprintf(szText, sizeof(szText), "%s", GetResourceString("StatusReceiveError"));
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
    FSSpec spec;
    if (!dialog.Execute(long(FourCharCode("QMRK")), szTitle, szDefaultName, &spec, nullptr))
        return false;

    CMidiManager* pMidiManager = g_pApplication->m_pMidiManager;
    const int nSize = pMidiManager->m_nReceivedSysExSize;
    std::unique_ptr<unsigned char[]> pData(new (std::nothrow) unsigned char[size_t(nSize) + 1]);
    if (pData)
        for (int i = 0; i < nSize; ++i)
            pData[size_t(i)] = pMidiManager->GetReceivedSysExData(i);

    // A file that cannot be written keeps the message unsaved: the user is told, and a
    // close that asked for this save does not go ahead. The file object puts the new file
    // in place only once all of it was written, so an old file of that name survives.
    CLumFile file;
    if (!pData || !file.MacWriteOpen(&spec, 2, kCreator, kFileType))
    {
        DebugPrintf("Failed to open file.");
        ShowErrorAlert("Can't Open File", kAlertStopAlert);
        return false;
    }
    const long lWritten = file.Write(pData.get(), nSize);
    pData.reset();
    const int bClosed = file.Close();
    if (lWritten != nSize || !bClosed)
    {
        DebugPrintf("Failed to write file.");
        ShowErrorAlert("Can't Open File", kAlertStopAlert);
        return false;
    }
    m_bNotSaved = 0;
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

bool CReceiveWindow::CheckFileSaved()
{
    char szApplication[256];
    char szDocument[256];
    CopyResourceString(szApplication, sizeof(szApplication), "Quillmark");
    CopyResourceString(szDocument, sizeof(szDocument), "Untitled");
    switch (cAlert::SaveAlert(0, szApplication, szDocument))
    {
    case kNavAskSaveChangesSave:
        return ExecuteSave();
    case kNavAskSaveChangesDontSave:
        return true;
    default:
        return false;
    }
}
