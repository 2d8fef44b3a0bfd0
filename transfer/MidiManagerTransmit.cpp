// CMidiManager: sending a file as SysEx blocks.

#include "transfer/MidiManager.h"

#include "file/LumFile.h"
#include "midi/LumSemaphore.h"
#include "toolkit/DebugLog.h"
#include "toolkit/Utility.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

namespace
{
constexpr int kChunkSize = 256;
// MIDI sends 3125 bytes a second: 320 microseconds a byte.
constexpr uint32_t kWireMicrosecondsPerByte = 320;
// How often a waiting transmission looks at the clock when nothing else wakes it.
constexpr int kWakeIntervalMs = 100;

uint32_t ChunkTimeoutMs(int nLength)
{
    return (uint32_t(nLength) * kWireMicrosecondsPerByte + 999) / 1000 +
           CMidiManager::sm_uiChunkGraceMs;
}
} // namespace

int CMidiManager::TransmitCancel()
{
    m_bTransmitCancel = 1;
    return 0;
}

int CMidiManager::TransmitSingleSysEx(CLumFile* pFile)
{
    std::unique_ptr<unsigned char[]> pData;
    try
    {
        if (!m_bCreated)
            throw "Midi Manager is not created...";
        if (!m_pMidiOut->MidiOutIsOpen())
            throw "Midi Out Device is not opened.";
        // The wait for a block dispatches events, among them the window's button: a
        // second transmission started from there would interleave with this one.
        if (m_bTransmitting)
            throw "Transmission is already running.";
        m_bTransmitCancel = 0;

        long lSize = 0;
        if (!pFile || GetEOF(pFile->m_refNum, &lSize) != 0 || lSize < 0 || lSize > INT_MAX)
            throw "Failed to get file size.";
        m_nTransmitTotal = int(lSize);
        pData.reset(new (std::nothrow) unsigned char[size_t(lSize)]);
        if (!pData || pFile->Read(pData.get(), lSize) != lSize)
            throw "Failed to read file.";
    }
    catch (const char* pszMessage)
    {
        DebugPrintf("TransmitSingleSysEx : %s", pszMessage);
        return 0;
    }

    m_bTransmitting = 1;
    const int nTotal = m_nTransmitTotal;
    m_nTransmitBytesSent = 0;
    m_nTransmitChunkCount = 0;
    Post(LM_TRANSMIT_START, nTotal, -1, int32_t(GetSystemTimeMs()), -1);

    if (QCoreApplication::instance())
    {
        if (!m_pWaitTimer)
            m_pWaitTimer = std::make_unique<QTimer>();
        m_pWaitTimer->start(kWakeIntervalMs);
    }
    m_pSemaphore->Wait();
    m_pWakeDispatcher = QAbstractEventDispatcher::instance();
    int nOwed = m_nOwedCompletions;
    m_pSemaphore->Signal();

    // A block abandoned by an earlier transmission may still complete; let it come now,
    // while nothing else is in flight, so that it is not taken for this one's first block.
    if (nOwed > 0 && !WaitUntil(&CMidiManager::AreOwedCompletionsIn, sm_uiChunkGraceMs))
    {
        DebugPrintf("TransmitSingleSysEx : %s", "Gave up waiting for an abandoned block.");
        m_pSemaphore->Wait();
        m_nOwedCompletions = 0;
        m_pSemaphore->Signal();
    }

    bool bFailed = false;
    int nPosition = 0;
    while (nPosition < nTotal && !m_bTransmitCancel)
    {
        int nLength = std::min(kChunkSize, nTotal - nPosition);
        memcpy(m_aucChunkBuffer, pData.get() + nPosition, size_t(nLength));
        ClearChunkDone();
        // A closed port takes the block without sending it; no completion would follow.
        if (!m_pMidiOut->MidiOutIsOpen() || m_pMidiOut->Out(nLength, m_aucChunkBuffer) != 0)
        {
            DebugPrintf("TransmitSingleSysEx : %s", "Failed to send a block.");
            bFailed = true;
            break;
        }
        nPosition += nLength;
        if (!WaitUntil(&CMidiManager::IsChunkDone, ChunkTimeoutMs(nLength)))
        {
            m_pSemaphore->Wait();
            if (m_bChunkDone)
                bFailed = false;
            else
            {
                ++m_nOwedCompletions;
                bFailed = true;
            }
            m_pSemaphore->Signal();
            if (bFailed)
            {
                DebugPrintf("TransmitSingleSysEx : %s", "A block was not sent in time.");
                break;
            }
        }
        m_nTransmitBytesSent += nLength;
        ++m_nTransmitChunkCount;
        Post(LM_TRANSMITTING, nTotal, m_nTransmitBytesSent, int32_t(GetSystemTimeMs()),
             m_nTransmitChunkCount);
    }

    if (m_pWaitTimer)
        m_pWaitTimer->stop();
    m_pSemaphore->Wait();
    m_pWakeDispatcher = nullptr;
    m_pSemaphore->Signal();
    m_bTransmitting = 0;

    if (bFailed)
    {
        Post(LM_TRANSMIT_ERROR, nTotal, m_nTransmitBytesSent, int32_t(GetSystemTimeMs()),
             m_nTransmitChunkCount);
        return 0;
    }
    if (m_bTransmitCancel)
        Post(LM_TRANSMIT_CANCEL, nTotal, -1, int32_t(GetSystemTimeMs()), -1);
    else
        Post(LM_TRANSMIT_COMPLETE, nTotal, -1, int32_t(GetSystemTimeMs()), m_nTransmitChunkCount);
    return 1;
}

// On a MIDI service thread.
void CMidiManager::OnLumMidiOutSysExSendComplete(CLumMidi*, int)
{
    m_pSemaphore->Wait();
    // A block given up on may still complete; that completion belongs to no one.
    if (m_nOwedCompletions > 0)
        --m_nOwedCompletions;
    else
        m_bChunkDone = 1;
    QAbstractEventDispatcher* pDispatcher = m_pWakeDispatcher;
    m_pSemaphore->Signal();
    // The main thread may be asleep in its event dispatcher.
    if (pDispatcher)
        pDispatcher->wakeUp();
}

void CMidiManager::ClearChunkDone()
{
    m_pSemaphore->Wait();
    m_bChunkDone = 0;
    m_pSemaphore->Signal();
}

bool CMidiManager::IsChunkDone()
{
    m_pSemaphore->Wait();
    bool bDone = m_bChunkDone != 0;
    m_pSemaphore->Signal();
    return bDone;
}

bool CMidiManager::AreOwedCompletionsIn()
{
    m_pSemaphore->Wait();
    bool bIn = m_nOwedCompletions == 0;
    m_pSemaphore->Signal();
    return bIn;
}

// Serves the user interface until the condition holds or the time is up. Between
// dispatches the thread sleeps in the event dispatcher, which a completion, a user event
// or the wake timer ends.
bool CMidiManager::WaitUntil(bool (CMidiManager::*pCondition)(), uint32_t uiTimeoutMs)
{
    const uint32_t uiStart = GetSystemTimeMs();
    for (;;)
    {
        if ((this->*pCondition)())
            return true;
        if (GetSystemTimeMs() - uiStart >= uiTimeoutMs)
            return false;
        ProcessModalMessage(nullptr);
        if ((this->*pCondition)())
            return true;
        if (m_pWakeDispatcher)
            m_pWakeDispatcher->processEvents(QEventLoop::WaitForMoreEvents);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
