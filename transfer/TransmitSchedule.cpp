#include "transfer/TransmitSchedule.h"

#include <algorithm>

CTransmitSchedule::CTransmitSchedule(int iPauseMs, uint32_t uBytesPerSecond)
    : m_pause(std::chrono::milliseconds(std::max(iPauseMs, 0))), m_uBytesPerSecond(uBytesPerSecond)
{
}

void CTransmitSchedule::Start(TimePoint start)
{
    m_start = start;
    m_nextDue = start;
    m_llBytesDone = 0;
    m_pausesDone = Duration(0);
}

void CTransmitSchedule::BlockSent(const tagSysExBlock& block, TimePoint sent)
{
    m_nextDue = sent + TimeAt(block.nLength, m_uBytesPerSecond);
}

void CTransmitSchedule::BlockCompleted(const tagSysExBlock& block, TimePoint completed)
{
    m_nextDue = std::max(m_nextDue, completed);
    m_llBytesDone += block.nLength;
    if (block.bEndsMessage)
    {
        m_nextDue += m_pause;
        m_pausesDone += m_pause;
    }
}

CTransmitSchedule::Duration CTransmitSchedule::Remaining(TimePoint now, int64_t llBytesLeft,
                                                         int nPausesLeft) const
{
    Duration bytes{0};
    if (m_uBytesPerSecond > 0)
        bytes = TimeAt(llBytesLeft, m_uBytesPerSecond);
    else if (m_llBytesDone > 0)
    {
        const Duration spent = std::chrono::duration_cast<Duration>(now - m_start) - m_pausesDone;
        bytes = Duration(std::max<int64_t>(spent.count(), 0) * llBytesLeft / m_llBytesDone);
    }
    const Duration wait =
        std::max(Duration(0), std::chrono::duration_cast<Duration>(m_nextDue - now));
    return wait + bytes + m_pause * std::max(nPausesLeft, 0);
}

CTransmitSchedule::Duration CTransmitSchedule::TimeAt(int64_t llBytes, uint32_t uBytesPerSecond)
{
    if (uBytesPerSecond == 0 || llBytes <= 0)
        return Duration(0);
    return Duration((llBytes * 1000000 + uBytesPerSecond - 1) / uBytesPerSecond);
}
