#pragma once

#include <cstddef>

// The checksums SysEx formats carry, each rule as its maker documents it. A message is
// judged by the first rule whose format it has; a message of no such format carries no
// checksum.
//
// - Roland DT1 (12) and RQ1 (11): F0 41 dev model... cmd address... data... sum F7, the
//   model ID one byte or led by 00 bytes. The address, data and sum bytes add up to a
//   multiple of 128 (the sum is the 7-bit two's complement of the rest).
// - Yamaha bulk dump: F0 43 0n, then either a format number, a two-byte count (7 bits
//   each, high first) and that many data bytes; or a model ID, the count, a three-byte
//   address and the count's data bytes (XG); or a two-byte model ID, the count, an
//   address and the data. The sum byte that follows makes the bytes it covers add up to a
//   multiple of 128: the data only in the first layout, count, address and data in the
//   others. The layout is the one whose count matches the message's length; a bulk dump
//   whose count matches none carries no checksum that can be found.
// - MIDI Sample Dump Standard data packet: F0 7E chan 02 packet 120-data sum F7, 127
//   bytes. The sum is the XOR of every byte from 7E through the last data byte, in 7 bits.
class CSysExChecksum
{
public:
    enum Result
    {
        kNone = 0, // the format carries no checksum, or is not one of the above
        kGood = 1,
        kBad = 2,
    };

    // pMessage holds the whole message, F0 through F7; without its F7 there is no sum to
    // find and the result is kNone.
    static Result Check(const unsigned char* pMessage, size_t nLength);

    static Result CheckRoland(const unsigned char* pMessage, size_t nLength);
    static Result CheckYamaha(const unsigned char* pMessage, size_t nLength);
    static Result CheckSampleDump(const unsigned char* pMessage, size_t nLength);
};
