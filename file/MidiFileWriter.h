#pragma once

#include <cstddef>
#include <vector>

// Writes SysEx bytes as a Standard MIDI File that a sequencer plays back at a pace an
// instrument takes: format 0, one track at tempo 120 with 500 ticks a quarter note (a
// tick is a millisecond), each message at the time the bytes before it take on the MIDI
// wire (3125 bytes a second) plus the pause after each message that ends in F7, rounded
// up to the tick.
//
// The stream is cut as it is sent: a message runs from its F0 to its F7, or up to the
// next F0 when it has none, and is one F0 event; bytes outside messages are one F7
// escape event each run. Reading the file back gives the same bytes in the same order.
class CMidiFileWriter
{
public:
    static constexpr int sm_iTicksPerQuarter = 500;
    static constexpr unsigned sm_uTempo = 500000; // microseconds a quarter note
    static constexpr unsigned sm_uWireBytesPerSecond = 3125;
    // Longest event data a variable-length number of four bytes can give.
    static constexpr size_t sm_nMaxEventLength = (size_t(1) << 28) - 1;

    // 1 with the file in aucFile; 0 when a message is longer than sm_nMaxEventLength.
    static int Write(const unsigned char* pData, size_t nSize, int iPauseMs,
                     std::vector<unsigned char>& aucFile);
};
