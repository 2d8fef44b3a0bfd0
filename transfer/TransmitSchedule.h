#pragma once

#include "transfer/SysExBlockPlan.h"
#include "transfer/TransmitClock.h"

#include <chrono>
#include <cstdint>
#include <vector>

// A message of a timed stream (a Standard MIDI File's): where it starts among the bytes
// and when, counted from the start of the transmission.
struct tagMessageStart
{
    int nOffset;
    std::chrono::microseconds at;
};

// When each block of a transmission is due. The first block is due at the start. Each
// next one is due once the block before it has completed and, at a rate, has also had
// its time at that rate since it was sent; a block that ended a message is followed by
// the pause before anything else goes. A block that starts a timed message is not due
// before the message's time either.
class CTransmitSchedule
{
public:
    using TimePoint = CTransmitClock::TimePoint;
    using Duration = std::chrono::microseconds;

    // uBytesPerSecond 0 sends as fast as blocks complete. The starts are in the order of
    // their offsets, each at the start of a block (CSysExBlockPlan cuts there).
    CTransmitSchedule(int iPauseMs, uint32_t uBytesPerSecond,
                      std::vector<tagMessageStart> aStarts = {});

    void Start(TimePoint start);
    // When the block, the one after the block sent last, is due.
    TimePoint NextDue(const tagSysExBlock& next) const;
    void BlockSent(const tagSysExBlock& block, TimePoint sent);
    void BlockCompleted(const tagSysExBlock& block, TimePoint completed);

    // What the rest will take: the wait for the next block, the bytes left at the rate
    // (at the rate seen so far when unpaced) and the pauses left; no less than the wait
    // for the last timed message and the bytes from it on.
    Duration Remaining(TimePoint now, int64_t llBytesLeft, int nPausesLeft) const;

    // Time of the bytes at the rate, rounded up.
    static Duration TimeAt(int64_t llBytes, uint32_t uBytesPerSecond);

private:
    // The time of llBytes at the rate, or at the rate seen so far when unpaced.
    Duration BytesTime(TimePoint now, int64_t llBytes) const;

    Duration m_pause;
    uint32_t m_uBytesPerSecond;
    TimePoint m_start{};
    TimePoint m_nextDue{};
    int64_t m_llBytesDone = 0;
    Duration m_pausesDone{0};
    std::vector<tagMessageStart> m_aStarts;
    size_t m_nNextStart = 0; // the first start not sent yet
};
