// CMidiManager: sending files as SysEx blocks.

#include "transfer/MidiManager.h"

#include "file/LumFile.h"
#include "midi/LumSemaphore.h"
#include "toolkit/DebugLog.h"
#include "toolkit/Utility.h"
#include "transfer/EventLoopClock.h"
#include "transfer/SysExBlockPlan.h"
#include "transfer/SysExFileSequence.h"
#include "transfer/TransmitContent.h"
#include "transfer/TransmitSchedule.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

namespace
{
using namespace std::chrono_literals;

static_assert(CSysExBlockPlan::sm_nMaxBlockSize <= 256, "blocks go through the chunk buffer");

// The longest wait for a block: its time at its pace, or on the wire when unpaced, and
// the grace.
std::chrono::milliseconds BlockTimeLimit(int nLength, uint32_t uBytesPerSecond)
{
    const uint32_t uRate = uBytesPerSecond ? uBytesPerSecond : kMidiWireBytesPerSecond;
    return std::chrono::ceil<std::chrono::milliseconds>(CTransmitSchedule::TimeAt(nLength, uRate)) +
           std::chrono::milliseconds(CMidiManager::sm_uiChunkGraceMs);
}

} // namespace

int CMidiManager::TransmitCancel()
{
    m_bTransmitCancel = 1;
    return 0;
}

void CMidiManager::SetTransmitSettings(const tagTransmitSettings& settings)
{
    m_transmitSettings = settings.Clamped();
}

int CMidiManager::MidiOutIsHardware()
{
    return m_bCreated ? m_pMidiOut->MidiOutIsHardware() : 0;
}

void CMidiManager::SetTransmitClock(CTransmitClock* pClock)
{
    if (!m_bTransmitting)
        m_pClock = pClock ? pClock : m_pEventLoopClock.get();
}

int CMidiManager::GetTransmitRemainingMs()
{
    if (!m_pSchedule)
        return 0;
    const auto remaining =
        m_pSchedule->Remaining(m_pClock->Now(), int64_t(m_nTransmitTotal) - m_nTransmitBytesSent,
                               m_pPlan->PausesFrom(m_nNextBlock));
    return int(std::min<int64_t>(std::chrono::ceil<std::chrono::milliseconds>(remaining).count(),
                                 INT_MAX));
}

const char* CMidiManager::RefusalToTransmit() const
{
    if (!m_bCreated)
        return "Midi Manager is not created...";
    if (!m_pMidiOut->MidiOutIsOpen())
        return "Midi Out Device is not opened.";
    // The waits dispatch events, among them the window's button: a second transmission
    // started from there would interleave with this one.
    if (m_bTransmitting)
        return "Transmission is already running.";
    return nullptr;
}

int CMidiManager::TransmitSingleSysEx(CLumFile* pFile)
{
    if (const char* pszRefusal = RefusalToTransmit())
    {
        DebugPrintf("TransmitSingleSysEx : %s", pszRefusal);
        return 0;
    }
    m_bTransmitCancel = 0;
    m_bTransmitting = 1;
    const TransmitEnd end = Transmit(pFile, 0);
    m_bTransmitting = 0;
    return end == TransmitEnd::kFailed ? 0 : 1;
}

int CMidiManager::TransmitSysExFiles(CSysExFileSequence& files, int iFilePauseMs)
{
    if (const char* pszRefusal = RefusalToTransmit())
    {
        DebugPrintf("TransmitSysExFiles : %s", pszRefusal);
        return 0;
    }
    m_bTransmitCancel = 0;
    m_bTransmitting = 1;
    const int iPauseMs = ClampPauseMs(iFilePauseMs);
    TransmitEnd end = TransmitEnd::kCompleted;
    bool bFirst = true;
    while (end == TransmitEnd::kCompleted && !m_bTransmitCancel)
    {
        CLumFile* pFile = files.NextFile();
        if (!pFile)
            break;
        end = Transmit(pFile, bFirst ? 0 : iPauseMs);
        bFirst = false;
        files.FileDone(pFile);
    }
    m_bTransmitting = 0;
    return end == TransmitEnd::kFailed ? 0 : 1;
}

int CMidiManager::TransmitSysExData(const unsigned char* pData, int nSize)
{
    if (const char* pszRefusal = RefusalToTransmit())
    {
        DebugPrintf("TransmitSysExData : %s", pszRefusal);
        return 0;
    }
    if (!pData || nSize <= 0)
    {
        DebugPrintf("TransmitSysExData : %s", "Nothing to send.");
        return 0;
    }
    m_bTransmitCancel = 0;
    m_bTransmitting = 1;
    const TransmitEnd end = TransmitBytes(pData, nSize, 0);
    m_bTransmitting = 0;
    return end == TransmitEnd::kFailed ? 0 : 1;
}

// Nothing is posted when the file cannot be read.
CMidiManager::TransmitEnd CMidiManager::Transmit(CLumFile* pFile, int iLeadInMs)
{
    CTransmitContent content;
    if (!content.Read(pFile))
    {
        DebugPrintf("TransmitSingleSysEx : %s", content.ReadFailure()
                                                    ? content.ReadFailure()
                                                    : content.MidiErrorText().c_str());
        return TransmitEnd::kFailed;
    }
    // A MIDI file's own timing takes the place of the pause between messages.
    const bool bFileTiming = content.IsMidiFile() && m_transmitSettings.iMidiTiming ==
                                                         tagTransmitSettings::kMidiTimingOfFile;
    return TransmitBytes(content.Data(), content.Size(), iLeadInMs,
                         bFileTiming ? &content : nullptr);
}

// The messages follow LM_TRANSMIT_START. The first block waits for the lead-in, which a
// cancel cuts short.
CMidiManager::TransmitEnd CMidiManager::TransmitBytes(const unsigned char* pData, int nTotal,
                                                      int iLeadInMs,
                                                      const CTransmitContent* pFileTiming)
{
    const uint32_t uRate = m_transmitSettings.RateFor(m_pMidiOut->MidiOutIsHardware() != 0);
    if (!m_pMidiOut->SetMidiOutPacing(uRate))
        DebugPrintf("TransmitSingleSysEx : %s", "Failed to set the pace of MIDI OUT.");
    const CSysExBlockPlan plan(pData, nTotal,
                               pFileTiming ? pFileTiming->MessageOffsets() : std::vector<int>());
    CTransmitSchedule schedule(pFileTiming ? 0 : m_transmitSettings.iPauseMs, uRate,
                               pFileTiming ? pFileTiming->MessageStarts()
                                           : std::vector<tagMessageStart>());
    CTransmitClock& clock = *m_pClock;

    m_nTransmitTotal = nTotal;
    m_nTransmitBytesSent = 0;
    m_nTransmitChunkCount = 0;
    Post(LM_TRANSMIT_START, nTotal, -1, int32_t(GetSystemTimeMs()), -1);
    SetWaitingClock(&clock);
    LetOwedCompletionsIn();
    schedule.Start(clock.Now() + std::chrono::milliseconds(std::max(iLeadInMs, 0)));
    m_pPlan = &plan;
    m_pSchedule = &schedule;
    m_nNextBlock = 0;

    bool bFailed = false;
    const auto bCancelled = [this] { return m_bTransmitCancel != 0; };
    for (const tagSysExBlock& block : plan.Blocks())
    {
        if (m_bTransmitCancel || !clock.SleepUntil(schedule.NextDue(block), bCancelled))
            break;
        schedule.BlockSent(block, clock.Now());
        if (!SendBlock(pData + block.nOffset, block.nLength, uRate))
        {
            bFailed = true;
            break;
        }
        schedule.BlockCompleted(block, clock.Now());
        ++m_nNextBlock;
        m_nTransmitBytesSent += block.nLength;
        ++m_nTransmitChunkCount;
        Post(LM_TRANSMITTING, nTotal, m_nTransmitBytesSent, int32_t(GetSystemTimeMs()),
             m_nTransmitChunkCount);
    }

    m_pPlan = nullptr;
    m_pSchedule = nullptr;
    SetWaitingClock(nullptr);
    if (bFailed)
    {
        Post(LM_TRANSMIT_ERROR, nTotal, m_nTransmitBytesSent, int32_t(GetSystemTimeMs()),
             m_nTransmitChunkCount);
        return TransmitEnd::kFailed;
    }
    // Every block was taken; they arrived only if the destination is still there.
    if (!m_bTransmitCancel && !m_pMidiOut->MidiOutDestinationExists())
    {
        DebugPrintf("TransmitSingleSysEx : %s", "MIDI OUT went away.");
        Post(LM_TRANSMIT_ERROR, nTotal, m_nTransmitBytesSent, int32_t(GetSystemTimeMs()),
             m_nTransmitChunkCount);
        return TransmitEnd::kFailed;
    }
    if (m_bTransmitCancel)
    {
        Post(LM_TRANSMIT_CANCEL, nTotal, -1, int32_t(GetSystemTimeMs()), -1);
        return TransmitEnd::kCancelled;
    }
    Post(LM_TRANSMIT_COMPLETE, nTotal, -1, int32_t(GetSystemTimeMs()), m_nTransmitChunkCount);
    return TransmitEnd::kCompleted;
}

bool CMidiManager::SendBlock(const unsigned char* pData, int nLength, uint32_t uBytesPerSecond)
{
    memcpy(m_aucChunkBuffer, pData, size_t(nLength));
    ClearChunkDone();
    // A closed port takes the block without sending it; no completion would follow.
    if (!m_pMidiOut->MidiOutIsOpen() || m_pMidiOut->Out(nLength, m_aucChunkBuffer) != 0)
    {
        DebugPrintf("TransmitSingleSysEx : %s", "Failed to send a block.");
        return false;
    }
    m_pClock->WaitFor([this] { return IsChunkDone(); }, BlockTimeLimit(nLength, uBytesPerSecond));
    m_pSemaphore->Wait();
    const int iDone = m_bChunkDone;
    if (iDone == 0)
        ++m_nOwedCompletions;
    m_pSemaphore->Signal();
    if (iDone == 0)
        DebugPrintf("TransmitSingleSysEx : %s", "A block was not sent in time.");
    else if (iDone == kChunkLost)
        DebugPrintf("TransmitSingleSysEx : %s", "MIDI OUT went away during a block.");
    return iDone == kChunkSent;
}

void CMidiManager::SetWaitingClock(CTransmitClock* pClock)
{
    m_pSemaphore->Wait();
    m_pWaitingClock = pClock;
    m_pSemaphore->Signal();
}

// A block abandoned by an earlier transmission may still complete; it is let in now,
// while nothing else is in flight, so that it is not taken for this one's first block.
void CMidiManager::LetOwedCompletionsIn()
{
    if (AreOwedCompletionsIn() || m_pClock->WaitFor([this] { return AreOwedCompletionsIn(); },
                                                    std::chrono::milliseconds(sm_uiChunkGraceMs)))
        return;
    DebugPrintf("TransmitSingleSysEx : %s", "Gave up waiting for an abandoned block.");
    m_pSemaphore->Wait();
    m_nOwedCompletions = 0;
    m_pSemaphore->Signal();
}

// On a MIDI service thread.
void CMidiManager::OnLumMidiOutSysExSendComplete(CLumMidi*, int)
{
    EndChunk(kChunkSent);
}

void CMidiManager::OnLumMidiOutSysExSendFailed(CLumMidi*, int)
{
    EndChunk(kChunkLost);
}

void CMidiManager::EndChunk(int iHow)
{
    m_pSemaphore->Wait();
    // A block given up on may still complete; that completion belongs to no one.
    if (m_nOwedCompletions > 0)
        --m_nOwedCompletions;
    else
        m_bChunkDone = iHow;
    // Under the semaphore: the transmission's clock is not let go while it is woken.
    if (m_pWaitingClock)
        m_pWaitingClock->Wake();
    m_pSemaphore->Signal();
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
