#include "file/MidiFileWriter.h"

#include <algorithm>
#include <cstdint>

namespace
{
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEnd = 0xF7;

void PutBig(std::vector<unsigned char>& aucOut, uint32_t uValue, int nBytes)
{
    for (int i = nBytes - 1; i >= 0; --i)
        aucOut.push_back((uValue >> (8 * i)) & 0xFF);
}

void PutNumber(std::vector<unsigned char>& aucOut, uint32_t uValue)
{
    unsigned char aucGroups[4];
    int nGroups = 0;
    do
    {
        aucGroups[nGroups++] = uValue & 0x7F;
        uValue >>= 7;
    } while (uValue && nGroups < 4);
    while (nGroups > 1)
        aucOut.push_back(aucGroups[--nGroups] | 0x80);
    aucOut.push_back(aucGroups[0]);
}

// Where the run that starts at nStart ends: after its F7, before the next F0.
size_t RunEnd(const unsigned char* pData, size_t nSize, size_t nStart)
{
    for (size_t i = nStart; i < nSize; ++i)
    {
        if (pData[i] == kSysExStart && i > nStart)
            return i;
        if (pData[i] == kSysExEnd)
            return i + 1;
    }
    return nSize;
}
} // namespace

int CMidiFileWriter::Write(const unsigned char* pData, size_t nSize, int iPauseMs,
                           std::vector<unsigned char>& aucFile)
{
    std::vector<unsigned char> aucTrack;
    // Tempo 120 stated, for readers that do not assume it.
    aucTrack.insert(aucTrack.end(), {0x00, 0xFF, 0x51, 0x03});
    PutBig(aucTrack, sm_uTempo, 3);

    const uint64_t ullPauseUs = uint64_t(std::max(iPauseMs, 0)) * 1000;
    uint64_t ullTimeUs = 0;
    uint64_t ullLastTick = 0;
    for (size_t nStart = 0; nStart < nSize;)
    {
        const size_t nEnd = RunEnd(pData, nSize, nStart);
        const bool bMessage = pData[nStart] == kSysExStart;
        // The F0 is the event's status; an escape event's data is the whole run.
        const size_t nDataStart = bMessage ? nStart + 1 : nStart;
        if (nEnd - nDataStart > sm_nMaxEventLength)
            return 0;
        const uint64_t ullTick = (ullTimeUs + 999) / 1000;
        PutNumber(aucTrack, uint32_t(ullTick - ullLastTick));
        ullLastTick = ullTick;
        aucTrack.push_back(bMessage ? kSysExStart : kSysExEnd);
        PutNumber(aucTrack, uint32_t(nEnd - nDataStart));
        aucTrack.insert(aucTrack.end(), pData + nDataStart, pData + nEnd);

        ullTimeUs += (uint64_t(nEnd - nStart) * 1000000 + sm_uWireBytesPerSecond - 1) /
                     sm_uWireBytesPerSecond;
        if (pData[nEnd - 1] == kSysExEnd)
            ullTimeUs += ullPauseUs;
        nStart = nEnd;
    }
    aucTrack.insert(aucTrack.end(), {0x00, 0xFF, 0x2F, 0x00});

    aucFile.clear();
    aucFile.insert(aucFile.end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1});
    PutBig(aucFile, sm_iTicksPerQuarter, 2);
    aucFile.insert(aucFile.end(), {'M', 'T', 'r', 'k'});
    PutBig(aucFile, uint32_t(aucTrack.size()), 4);
    aucFile.insert(aucFile.end(), aucTrack.begin(), aucTrack.end());
    return 1;
}
