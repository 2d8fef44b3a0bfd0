#pragma once

#include "transfer/SysExBlockPlan.h"
#include "transfer/TransmitClock.h"

#include <chrono>
#include <cstdint>

// When each block of a transmission is due. The first block is due at the start. Each
// next one is due once the block before it has completed and, at a rate, has also had
// its time at that rate since it was sent; a block that ended a message is followed by
// the pause before anything else goes.
class CTransmitSchedule
{
public:
    using TimePoint = CTransmitClock::TimePoint;
    using Duration = std::chrono::microseconds;

    // uBytesPerSecond 0 sends as fast as blocks complete.
    CTransmitSchedule(int iPauseMs, uint32_t uBytesPerSecond);

    void Start(TimePoint start);
    TimePoint NextDue() const { return m_nextDue; }
    void BlockSent(const tagSysExBlock& block, TimePoint sent);
    void BlockCompleted(const tagSysExBlock& block, TimePoint completed);

    // What the rest will take: the wait for the next block, the bytes left at the rate
    // (at the rate seen so far when unpaced) and the pauses left.
    Duration Remaining(TimePoint now, int64_t llBytesLeft, int nPausesLeft) const;

    // Time of the bytes at the rate, rounded up.
    static Duration TimeAt(int64_t llBytes, uint32_t uBytesPerSecond);

private:
    Duration m_pause;
    uint32_t m_uBytesPerSecond;
    TimePoint m_start{};
    TimePoint m_nextDue{};
    int64_t m_llBytesDone = 0;
    Duration m_pausesDone{0};
};
