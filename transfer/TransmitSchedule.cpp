#include "transfer/TransmitSchedule.h"

#include <algorithm>

CTransmitSchedule::CTransmitSchedule(int iPauseMs, uint32_t uBytesPerSecond,
                                     std::vector<tagMessageStart> aStarts)
    : m_pause(std::chrono::milliseconds(std::max(iPauseMs, 0))), m_uBytesPerSecond(uBytesPerSecond),
      m_aStarts(std::move(aStarts))
{
}

void CTransmitSchedule::Start(TimePoint start)
{
    m_start = start;
    m_nextDue = start;
    m_llBytesDone = 0;
    m_pausesDone = Duration(0);
    m_nNextStart = 0;
}

CTransmitSchedule::TimePoint CTransmitSchedule::NextDue(const tagSysExBlock& next) const
{
    if (m_nNextStart < m_aStarts.size() && m_aStarts[m_nNextStart].nOffset == next.nOffset)
        return std::max(m_nextDue, m_start + m_aStarts[m_nNextStart].at);
    return m_nextDue;
}

void CTransmitSchedule::BlockSent(const tagSysExBlock& block, TimePoint sent)
{
    m_nextDue = sent + TimeAt(block.nLength, m_uBytesPerSecond);
    while (m_nNextStart < m_aStarts.size() &&
           m_aStarts[m_nNextStart].nOffset < block.nOffset + block.nLength)
        ++m_nNextStart;
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
    const Duration wait =
        std::max(Duration(0), std::chrono::duration_cast<Duration>(m_nextDue - now));
    Duration remaining = wait + BytesTime(now, llBytesLeft) + m_pause * std::max(nPausesLeft, 0);
    if (m_nNextStart < m_aStarts.size())
    {
        const tagMessageStart& last = m_aStarts.back();
        const int64_t llBytesFromLast = m_llBytesDone + llBytesLeft - last.nOffset;
        const Duration untilLast = std::chrono::duration_cast<Duration>(m_start + last.at - now);
        remaining = std::max(remaining, untilLast + BytesTime(now, llBytesFromLast));
    }
    return remaining;
}

CTransmitSchedule::Duration CTransmitSchedule::BytesTime(TimePoint now, int64_t llBytes) const
{
    if (m_uBytesPerSecond > 0)
        return TimeAt(llBytes, m_uBytesPerSecond);
    if (m_llBytesDone <= 0 || llBytes <= 0)
        return Duration(0);
    const Duration spent = std::chrono::duration_cast<Duration>(now - m_start) - m_pausesDone;
    return Duration(std::max<int64_t>(spent.count(), 0) * llBytes / m_llBytesDone);
}

CTransmitSchedule::Duration CTransmitSchedule::TimeAt(int64_t llBytes, uint32_t uBytesPerSecond)
{
    if (uBytesPerSecond == 0 || llBytes <= 0)
        return Duration(0);
    return Duration((llBytes * 1000000 + uBytesPerSecond - 1) / uBytesPerSecond);
}
