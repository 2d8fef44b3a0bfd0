// CMidiManager: recording a whole dump, and sending the request that asks for one.

#include "transfer/MidiManager.h"

#include "file/LumFile.h"
#include "platform/ui/EventLoopTimer.h"
#include "toolkit/DebugLog.h"
#include "transfer/SysExBlockPlan.h"
#include "transfer/SysExRequest.h"

#include <algorithm>
#include <chrono>
#include <climits>

namespace
{
int32_t ClampToInt(int64_t llValue)
{
    return int32_t(std::clamp<int64_t>(llValue, 0, INT_MAX));
}
} // namespace

int CMidiManager::ReceiveSysExDump(int iIdleMs)
{
    if (!m_bCreated)
        return 0;
    if (!m_pDumpTimer)
    {
        const double dTick = sm_iDumpTickMs / 1000.0;
        if (InstallEventLoopTimer(dTick, dTick, &CMidiManager::OnDumpTimer, this, &m_pDumpTimer) !=
            noErr)
        {
            m_pDumpTimer = nullptr;
            DebugPrintf("CMidiManager::ReceiveSysExDump : %s", "Failed to install the timer.");
            return 0;
        }
    }
    {
        std::lock_guard lock(m_receiveMutex);
        ResetReceive();
        m_bDumpArmed = 1;
    }
    m_iDumpIdleMs = std::max(iIdleMs, 0);
    m_bDumpRecording = 1;
    m_bDumpStarted = 0;
    m_iDumpEnd = -1;
    m_ullDumpSeen = 0;
    m_iDumpPostedSecond = -1;
    m_dumpFirstByte = m_dumpLastByte = m_dumpEndTime = m_pReceiveClock->Now();
    return 1;
}

int CMidiManager::StopReceive()
{
    if (m_bDumpRecording)
    {
        // What came since the timer last looked still counts for the elapsed time.
        CheckDump();
        if (m_bDumpRecording)
            EndDump(kDumpEndStopped);
        return 1;
    }
    std::lock_guard lock(m_receiveMutex);
    const int bWasArmed = m_bReceiveArmed;
    m_bReceiveArmed = 0;
    return bWasArmed;
}

tagDumpStatus CMidiManager::GetDumpStatus()
{
    tagDumpStatus status;
    {
        std::lock_guard lock(m_receiveMutex);
        status.counts = m_dump.Counts();
    }
    status.bRecording = m_bDumpRecording;
    status.bStarted = m_bDumpStarted;
    status.iEnd = m_iDumpEnd;
    status.iElapsedMs = DumpElapsedMs(m_bDumpRecording ? m_pReceiveClock->Now() : m_dumpEndTime);
    return status;
}

bool CMidiManager::ReadReceivedDump(
    const std::function<bool(const unsigned char*, size_t)>& fnPiece)
{
    // The pieces of kept messages do not change while more arrives, but the list of
    // pieces may grow: the lock is held throughout.
    std::lock_guard lock(m_receiveMutex);
    return m_dump.ForEachPiece(fnPiece);
}

int CMidiManager::WriteReceivedDump(CLumFile* pFile)
{
    if (!pFile)
        return 0;
    return ReadReceivedDump([pFile](const unsigned char* pData, size_t nLength)
                            { return pFile->Write(pData, long(nLength)) == long(nLength); })
               ? 1
               : 0;
}

void CMidiManager::SetReceiveClock(CTransmitClock* pClock)
{
    if (!m_bDumpRecording)
        m_pReceiveClock = pClock ? pClock : m_pEventLoopClock.get();
}

void CMidiManager::OnDumpTimer(OpaqueEventLoopTimerRef*, void* pUserData)
{
    static_cast<CMidiManager*>(pUserData)->CheckDump();
}

// On the main thread, from the timer and StopReceive: the receive thread only counts
// bytes, the times are taken here, to the timer's precision.
void CMidiManager::CheckDump()
{
    int bArmed = 0;
    int iBreak = -1;
    tagDumpCounts counts;
    uint64_t ullSeen = 0;
    {
        std::lock_guard lock(m_receiveMutex);
        bArmed = m_bDumpArmed;
        iBreak = m_iDumpBreak;
        counts = m_dump.Counts();
        ullSeen = m_dump.BytesSeen();
    }
    if (iBreak >= 0)
    {
        LookAtDump(ullSeen, m_pReceiveClock->Now());
        EndDump(iBreak);
        return;
    }
    if (!bArmed)
    {
        // A one-message arming or an opening took over; it says nothing of the dump.
        m_bDumpRecording = 0;
        RemoveDumpTimer();
        return;
    }
    const CTransmitClock::TimePoint now = m_pReceiveClock->Now();
    const bool bCame = LookAtDump(ullSeen, now);
    if (!m_bDumpStarted)
        return;
    // Silence on the line is not silence while input waits to be read: a reader kept from
    // running must not end the dump before the rest of it.
    if (m_iDumpIdleMs > 0 && now - m_dumpLastByte >= std::chrono::milliseconds(m_iDumpIdleMs) &&
        !m_pMidiIn->MidiInHasWaiting())
    {
        EndDump(kDumpEndIdle);
        return;
    }
    const int iElapsedMs = DumpElapsedMs(now);
    if (bCame || iElapsedMs / 1000 != m_iDumpPostedSecond)
    {
        m_iDumpPostedSecond = iElapsedMs / 1000;
        Post(LM_DUMP_RECEIVING, ClampToInt(counts.llMessages), ClampToInt(counts.llTotalBytes),
             iElapsedMs, ClampToInt(counts.llCurrentBytes));
    }
}

bool CMidiManager::LookAtDump(uint64_t ullSeen, CTransmitClock::TimePoint now)
{
    if (ullSeen == m_ullDumpSeen)
        return false;
    m_ullDumpSeen = ullSeen;
    if (!m_bDumpStarted)
    {
        m_bDumpStarted = 1;
        m_dumpFirstByte = now;
    }
    m_dumpLastByte = now;
    return true;
}

void CMidiManager::EndDump(int iEnd)
{
    tagDumpCounts counts;
    {
        std::lock_guard lock(m_receiveMutex);
        m_bDumpArmed = 0;
        m_dump.Stop();
        counts = m_dump.Counts();
    }
    RemoveDumpTimer();
    m_bDumpRecording = 0;
    m_iDumpEnd = iEnd;
    m_dumpEndTime = m_pReceiveClock->Now();
    Post(LM_DUMP_END, ClampToInt(counts.llMessages), ClampToInt(counts.llMessageBytes),
         m_bDumpStarted ? DumpElapsedMs(m_dumpEndTime) : 0, iEnd);
}

void CMidiManager::RemoveDumpTimer()
{
    if (!m_pDumpTimer)
        return;
    RemoveEventLoopTimer(m_pDumpTimer);
    m_pDumpTimer = nullptr;
}

int CMidiManager::DumpElapsedMs(CTransmitClock::TimePoint now) const
{
    if (!m_bDumpStarted || now < m_dumpFirstByte)
        return 0;
    const auto llMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - m_dumpFirstByte).count();
    return int(std::min<int64_t>(llMs, INT_MAX));
}

int CMidiManager::SendSysExRequest(const std::vector<unsigned char>& request)
{
    const char* pszRefusal = RefusalToTransmit();
    if (!pszRefusal && CSysExRequest::Check(request, nullptr) != CSysExRequest::kNoProblem)
        pszRefusal = "Not a SysEx request.";
    if (pszRefusal)
    {
        DebugPrintf("CMidiManager::SendSysExRequest : %s", pszRefusal);
        return 0;
    }
    m_bTransmitting = 1;
    const uint32_t uRate = m_transmitSettings.RateFor(m_pMidiOut->MidiOutIsHardware() != 0);
    if (!m_pMidiOut->SetMidiOutPacing(uRate))
        DebugPrintf("CMidiManager::SendSysExRequest : %s", "Failed to set the pace of MIDI OUT.");
    SetWaitingClock(m_pClock);
    LetOwedCompletionsIn();
    // A request is short: its messages go one block after the other, without the pause
    // between messages of a transmission.
    const CSysExBlockPlan plan(request.data(), int(request.size()));
    bool bSent = true;
    for (const tagSysExBlock& block : plan.Blocks())
        if (!(bSent = SendBlock(request.data() + block.nOffset, block.nLength, uRate)))
            break;
    SetWaitingClock(nullptr);
    m_bTransmitting = 0;
    return bSent ? 1 : 0;
}
