#include "file/SysExChecksum.h"

namespace
{
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEnd = 0xF7;
constexpr unsigned char kRoland = 0x41;
constexpr unsigned char kRolandRQ1 = 0x11;
constexpr unsigned char kRolandDT1 = 0x12;
constexpr unsigned char kYamaha = 0x43;
constexpr unsigned char kUniversalNonRealTime = 0x7E;
constexpr unsigned char kSampleDataPacket = 0x02;
constexpr size_t kSampleDataPacketLength = 127;

bool IsWhole(const unsigned char* pMessage, size_t nLength)
{
    return nLength >= 3 && pMessage[0] == kSysExStart && pMessage[nLength - 1] == kSysExEnd;
}

// Bytes [nFirst, nEnd) with the sum byte among them add up to a multiple of 128.
CSysExChecksum::Result SumsToZero(const unsigned char* pMessage, size_t nFirst, size_t nEnd)
{
    unsigned uiSum = 0;
    for (size_t i = nFirst; i < nEnd; ++i)
        uiSum += pMessage[i];
    return (uiSum & 0x7F) == 0 ? CSysExChecksum::kGood : CSysExChecksum::kBad;
}

size_t Count(const unsigned char* pHigh)
{
    return size_t(pHigh[0]) << 7 | pHigh[1];
}
} // namespace

CSysExChecksum::Result CSysExChecksum::Check(const unsigned char* pMessage, size_t nLength)
{
    if (!IsWhole(pMessage, nLength))
        return kNone;
    switch (pMessage[1])
    {
    case kRoland:
        return CheckRoland(pMessage, nLength);
    case kYamaha:
        return CheckYamaha(pMessage, nLength);
    case kUniversalNonRealTime:
        return CheckSampleDump(pMessage, nLength);
    default:
        return kNone;
    }
}

CSysExChecksum::Result CSysExChecksum::CheckRoland(const unsigned char* pMessage, size_t nLength)
{
    if (!IsWhole(pMessage, nLength) || pMessage[1] != kRoland)
        return kNone;
    const size_t nSum = nLength - 2;
    size_t nCommand = 3; // after F0 41 dev and the model ID, whose leading 00 bytes extend it
    while (nCommand < nSum && pMessage[nCommand] == 0x00)
        ++nCommand;
    ++nCommand;
    if (nCommand >= nSum)
        return kNone;
    if (pMessage[nCommand] != kRolandDT1 && pMessage[nCommand] != kRolandRQ1)
        return kNone;
    // A DT1 or RQ1 without an address byte before its sum is broken.
    if (nCommand + 1 >= nSum)
        return kBad;
    return SumsToZero(pMessage, nCommand + 1, nSum + 1);
}

CSysExChecksum::Result CSysExChecksum::CheckYamaha(const unsigned char* pMessage, size_t nLength)
{
    // The high nibble of the byte after the ID is 0 for a bulk dump, n the device number.
    if (!IsWhole(pMessage, nLength) || pMessage[1] != kYamaha || (pMessage[2] & 0xF0) != 0 ||
        nLength < 8)
        return kNone;
    const size_t nSum = nLength - 2;
    // F0 43 0n format bh bl data... sum F7
    if (Count(pMessage + 4) + 8 == nLength)
        return SumsToZero(pMessage, 6, nSum + 1);
    // F0 43 0n model bh bl ah am al data... sum F7
    if (nLength >= 11 && Count(pMessage + 4) + 11 == nLength)
        return SumsToZero(pMessage, 4, nSum + 1);
    // F0 43 0n model model bh bl ah am al data... sum F7
    if (nLength >= 12 && Count(pMessage + 5) + 12 == nLength)
        return SumsToZero(pMessage, 5, nSum + 1);
    return kNone;
}

CSysExChecksum::Result CSysExChecksum::CheckSampleDump(const unsigned char* pMessage,
                                                       size_t nLength)
{
    if (!IsWhole(pMessage, nLength) || pMessage[1] != kUniversalNonRealTime || nLength < 4 ||
        pMessage[3] != kSampleDataPacket)
        return kNone;
    // The standard fixes the packet's length; any other cannot be checked and is damaged.
    if (nLength != kSampleDataPacketLength)
        return kBad;
    unsigned char ucSum = 0;
    for (size_t i = 1; i < nLength - 2; ++i)
        ucSum ^= pMessage[i];
    return (ucSum & 0x7F) == pMessage[nLength - 2] ? kGood : kBad;
}
