#include "transfer/MidiManager.h"

#include "midi/LumSemaphore.h"
#include "toolkit/DebugLog.h"
#include "transfer/EventLoopClock.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace
{
constexpr int kReceivedPieceShift = 16;
constexpr int kReceivedPieceSize = 1 << kReceivedPieceShift;
constexpr int kNameSize = 256;

// Copies a name into a 256-byte name field, if there is one. The source may be that very
// field (the main window opens its remembered device).
void CopyName(char* pszDest, const char* pszSource)
{
    if (!pszDest)
        return;
    size_t nLength = strnlen(pszSource, kNameSize - 1);
    memmove(pszDest, pszSource, nLength);
    pszDest[nLength] = '\0';
}

bool IsRealTime(unsigned char ucByte)
{
    return ucByte >= 0xF8;
}
} // namespace

CMidiManager::CMidiManager()
    : m_nReceivedSysExSize(0), m_pMidiIn(nullptr), m_pMidiOut(nullptr), m_bCreated(0),
      m_pMessageManager(nullptr), m_pszRememberedIn(nullptr), m_pszRememberedOut(nullptr),
      m_nTransmitTotal(0), m_nTransmitBytesSent(0), m_bTransmitCancel(0), m_bTransmitting(0),
      m_nTransmitChunkCount(0), m_pEventLoopClock(std::make_unique<CEventLoopClock>()),
      m_pClock(m_pEventLoopClock.get()), m_pPlan(nullptr), m_pSchedule(nullptr), m_nNextBlock(0),
      m_pSemaphore(nullptr), m_bChunkDone(0), m_nOwedCompletions(0),
      m_pWaitingClock(nullptr), m_aucChunkBuffer{}, m_bReceiveArmed(0), m_bInSysEx(0),
      m_nProgressCount(0), m_uiStartTime(0), m_bDumpArmed(0), m_iDumpBreak(-1), m_pDumpTimer(nullptr),
      m_pReceiveClock(m_pEventLoopClock.get()), m_iDumpIdleMs(0), m_bDumpRecording(0),
      m_bDumpStarted(0), m_iDumpEnd(-1), m_ullDumpSeen(0), m_iDumpPostedSecond(-1)
{
    strcpy(m_szLastError, "No Error.");
}

CMidiManager::~CMidiManager()
{
    Destroy();
}

void CMidiManager::Attach(CMessageManager* pMessageManager, char* pszRememberedIn,
                          char* pszRememberedOut)
{
    m_pMessageManager = pMessageManager;
    m_pszRememberedIn = pszRememberedIn;
    m_pszRememberedOut = pszRememberedOut;
}

int CMidiManager::Create()
{
    if (m_bCreated)
        return 0;
    try
    {
        m_pMidiIn = new CLumMidi;
        if (!m_pMidiIn->Create("QMRK_IN"))
            throw "Failed to create CLumMidi.";
        m_pMidiIn->SetListener(this);
        m_pMidiOut = new CLumMidi;
        if (!m_pMidiOut->Create("QMRK_OUT"))
            throw "Failed to create CLumMidi.";
        m_pMidiOut->SetListener(this);

        m_pSemaphore = new CLumSemaphore(0, 1);
        m_nTransmitTotal = 0;
        m_nTransmitBytesSent = 0;
        m_bTransmitCancel = 0;
        m_bChunkDone = 0;
        m_nOwedCompletions = 0;
        m_nTransmitChunkCount = 0;
        memset(m_aucChunkBuffer, 0, sizeof m_aucChunkBuffer);
        ResetReceive();
        m_bCreated = 1;
        return 1;
    }
    catch (const char* pszMessage)
    {
        DebugPrintf("CMidiManager::Create : %s", pszMessage);
        // Whatever was made is released here: the manager is not created, so Destroy
        // would not look at it.
        ReleaseObjects();
        return 0;
    }
}

int CMidiManager::Destroy()
{
    if (!m_bCreated)
        return 0;
    // The clients go first: once they are destroyed no MIDI callback runs, so none can
    // reach the semaphore after it is deleted.
    ReleaseObjects();
    RemoveDumpTimer();
    m_bDumpRecording = 0;
    m_bCreated = 0;
    return 1;
}

void CMidiManager::ReleaseObjects()
{
    if (m_pMidiIn)
    {
        m_pMidiIn->Destroy();
        delete m_pMidiIn;
        m_pMidiIn = nullptr;
    }
    if (m_pMidiOut)
    {
        m_pMidiOut->Destroy();
        delete m_pMidiOut;
        m_pMidiOut = nullptr;
    }
    delete m_pSemaphore;
    m_pSemaphore = nullptr;
}

int CMidiManager::MidiInOpenByName(const char* pszName)
{
    if (!m_bCreated)
        return 0;
    MidiInClose();
    if (!pszName || !*pszName)
        return 1;

    int nCount = m_pMidiIn->GetNumMidiInDevices();
    int iFound = -1;
    char szDevice[kNameSize];
    for (int i = 0; i < nCount && iFound < 0; ++i)
    {
        szDevice[0] = '\0';
        m_pMidiIn->GetMidiInDeviceName(i, szDevice, kNameSize);
        if (strcmp(szDevice, pszName) == 0)
            iFound = i;
    }
    if (iFound < 0)
        return 0;
    if (!m_pMidiIn->MidiInOpen(iFound))
    {
        strcpy(m_szLastError, "CMidiManager::MidiInOpenByName : Can't open midi in device.");
        DebugPrintf("%s", m_szLastError);
        return 0;
    }
    CopyName(m_pszRememberedIn, pszName);
    std::lock_guard lock(m_receiveMutex);
    ResetReceive();
    return 1;
}

int CMidiManager::MidiOutOpenByName(const char* pszName)
{
    if (!m_bCreated)
        return 0;
    MidiOutClose();
    if (!pszName || !*pszName)
        return 1;

    int nCount = m_pMidiOut->GetNumMidiOutDevices();
    int iFound = -1;
    char szDevice[kNameSize];
    for (int i = 0; i < nCount && iFound < 0; ++i)
    {
        szDevice[0] = '\0';
        m_pMidiOut->GetMidiOutDeviceName(i, szDevice, kNameSize);
        if (strcmp(szDevice, pszName) == 0)
            iFound = i;
    }
    if (iFound < 0)
        return 0;
    if (!m_pMidiOut->MidiOutOpen(iFound))
    {
        strcpy(m_szLastError, "CMidiManager::MidiOutOpenByName : Can't open midi out device.");
        DebugPrintf("%s", m_szLastError);
        return 0;
    }
    CopyName(m_pszRememberedOut, pszName);
    return 1;
}

void CMidiManager::MidiInClose()
{
    if (m_bCreated && m_pMidiIn->MidiInIsOpen())
        m_pMidiIn->MidiInClose();
}

void CMidiManager::MidiOutClose()
{
    if (m_bCreated && m_pMidiOut->MidiOutIsOpen())
        m_pMidiOut->MidiOutClose();
}

int CMidiManager::ReceiveSysExData()
{
    if (!m_bCreated)
        return 0;
    std::lock_guard lock(m_receiveMutex);
    ResetReceive();
    m_bReceiveArmed = 1;
    return 1;
}

unsigned char CMidiManager::GetReceivedSysExData(int iIndex)
{
    std::lock_guard lock(m_receiveMutex);
    if (iIndex < 0 || iIndex >= m_nReceivedSysExSize.load(std::memory_order_relaxed))
        return 0;
    return m_apReceivedData[size_t(iIndex) >> kReceivedPieceShift]
                           [size_t(iIndex) & (kReceivedPieceSize - 1)];
}

// Callers hold m_receiveMutex, except Create, which runs before any MIDI callback.
void CMidiManager::ResetReceive()
{
    m_bReceiveArmed = 0;
    m_bInSysEx = 0;
    m_nProgressCount = 0;
    m_nReceivedSysExSize.store(0, std::memory_order_relaxed);
    m_apReceivedData.clear();
    m_uiStartTime = GetSystemTimeMs();
    m_bDumpArmed = 0;
    m_dump.Clear();
    m_iDumpBreak = -1;
}

void CMidiManager::AppendReceived(unsigned char ucByte)
{
    int nSize = m_nReceivedSysExSize.load(std::memory_order_relaxed);
    size_t nPiece = size_t(nSize) >> kReceivedPieceShift;
    if (nPiece == m_apReceivedData.size())
        m_apReceivedData.push_back(std::make_unique<unsigned char[]>(kReceivedPieceSize));
    m_apReceivedData[nPiece][size_t(nSize) & (kReceivedPieceSize - 1)] = ucByte;
    m_nReceivedSysExSize.store(nSize + 1, std::memory_order_relaxed);
}

void CMidiManager::OnLumMidiInReceive(CLumMidi*, int, unsigned char*) {}

// One run of incoming bytes, on the MIDI input thread. One arming collects one message,
// F0 through F7; real-time bytes (clock, active sensing) may come between its bytes and
// are left out.
void CMidiManager::OnLumMidiInReceiving(CLumMidi* pMidi, int iLength, unsigned char* pData)
{
    if (pMidi != m_pMidiIn || !pData)
        return;
    std::lock_guard lock(m_receiveMutex);
    if (m_bDumpArmed)
    {
        m_dump.Take(pData, size_t(std::max(iLength, 0)));
        return;
    }
    if (!m_bReceiveArmed)
        return;

    for (int i = 0; i < iLength; ++i)
    {
        unsigned char ucByte = pData[i];
        if (!m_bInSysEx)
        {
            if (ucByte == 0xF0)
            {
                m_bInSysEx = 1;
                m_apReceivedData.clear();
                m_nReceivedSysExSize.store(0, std::memory_order_relaxed);
                AppendReceived(ucByte);
                m_uiStartTime = GetSystemTimeMs();
            }
            continue;
        }
        if (ucByte == 0xF7)
        {
            AppendReceived(ucByte);
            m_bReceiveArmed = 0;
            m_bInSysEx = 0;
            break;
        }
        if (IsRealTime(ucByte))
            continue;
        // Another status byte breaks the message, and so does one that would no longer
        // fit the byte count.
        if ((ucByte & 0x80) || m_nReceivedSysExSize.load(std::memory_order_relaxed) >= INT_MAX - 1)
        {
            m_bReceiveArmed = 0;
            Post(LM_RECEIVE_ERROR, kReceiveErrorInterrupted, m_nReceivedSysExSize.load(std::memory_order_relaxed),
                 int32_t(GetSystemTimeMs() - m_uiStartTime), m_nProgressCount);
            return;
        }
        AppendReceived(ucByte);
    }

    int nSize = m_nReceivedSysExSize.load(std::memory_order_relaxed);
    if (m_bInSysEx)
    {
        Post(LM_RECEIVING, -1, nSize, int32_t(GetSystemTimeMs() - m_uiStartTime), m_nProgressCount);
        ++m_nProgressCount;
    }
    else if (!m_bReceiveArmed)
    {
        Post(LM_RECEIVE_COMPLETE, nSize, -1, int32_t(GetSystemTimeMs() - m_uiStartTime),
             m_nProgressCount);
    }
}

// On the MIDI input thread, after every byte from before the break. Whatever the break
// cut into is incomplete: a reception ends at once, and a dump keeps only the messages
// that were whole before it.
void CMidiManager::OnLumMidiInBroken(CLumMidi* pMidi, int iReason)
{
    if (pMidi != m_pMidiIn)
        return;
    const bool bLost = iReason == kMIDIInputDataLost;
    DebugPrintf("CMidiManager::OnLumMidiInBroken : %s",
                bLost ? "MIDI IN dropped data." : "MIDI IN went away.");
    std::lock_guard lock(m_receiveMutex);
    if (m_bDumpArmed)
    {
        m_bDumpArmed = 0;
        m_dump.Stop();
        m_iDumpBreak = bLost ? kDumpEndDataLost : kDumpEndSourceGone;
        return;
    }
    if (!m_bReceiveArmed)
        return;
    m_bReceiveArmed = 0;
    Post(LM_RECEIVE_ERROR, bLost ? kReceiveErrorDataLost : kReceiveErrorSourceGone,
         m_nReceivedSysExSize.load(std::memory_order_relaxed),
         int32_t(GetSystemTimeMs() - m_uiStartTime), m_nProgressCount);
}

void CMidiManager::OnLumMidiNotification(CLumMidi*, int, int iParam2)
{
    if (iParam2 == 0)
        Post(LM_SETUP_CHANGED, int32_t(GetSystemTimeMs()), -1, -1, -1);
}

// Posting never waits for a listener, so it is safe under the receive lock and from any
// MIDI thread.
void CMidiManager::Post(int32_t iMessage, int32_t iParam1, int32_t iParam2, int32_t iParam3,
                        int32_t iParam4)
{
    if (!m_pMessageManager)
        return;
    tagListenerMessage message{iMessage, iParam1, iParam2, iParam3, iParam4};
    m_pMessageManager->SendMessage(message, static_cast<CMessageManagerListener*>(this));
}
