#include "file/MidiFileReader.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEscape = 0xF7;
constexpr unsigned char kMeta = 0xFF;
constexpr unsigned char kMetaEndOfTrack = 0x2F;
constexpr unsigned char kMetaTempo = 0x51;
constexpr uint32_t kDefaultTempo = 500000; // microseconds per quarter note: 120 a minute
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kHeaderDataSize = 6;

uint32_t Big(const unsigned char* p, int nBytes)
{
    uint32_t uValue = 0;
    for (int i = 0; i < nBytes; ++i)
        uValue = (uValue << 8) | p[i];
    return uValue;
}

bool EndsMessage(const std::vector<unsigned char>& aucData)
{
    return !aucData.empty() && aucData.back() == 0xF7;
}
} // namespace

struct CMidiFileReader::tagTimed
{
    uint64_t ullTick;
    bool bTempo;
    uint32_t uTempo;
    std::vector<unsigned char> aucData;
};

bool CMidiFileReader::IsMidiFile(const unsigned char* pData, size_t nSize)
{
    return nSize >= 4 && memcmp(pData, "MThd", 4) == 0;
}

int CMidiFileReader::Read(const unsigned char* pData, size_t nSize)
{
    m_aMessages.clear();
    m_pszError = nullptr;
    m_nErrorTrack = 0;
    try
    {
        ReadFile({pData, nSize, 0});
        return 1;
    }
    catch (const char* pszKey)
    {
        m_aMessages.clear();
        m_pszError = pszKey;
        m_nErrorTrack = m_nTrack;
        return 0;
    }
}

void CMidiFileReader::Fail(const char* pszKey)
{
    throw pszKey;
}

void CMidiFileReader::ReadFile(tagCursor file)
{
    m_nTrack = 0;
    ReadHeader(file);
    std::vector<tagTimed> events;
    // Chunks of other types may stand among the tracks; they are skipped.
    while (m_nTrack < m_nTrackCount)
    {
        ++m_nTrack;
        for (;;)
        {
            if (file.Left() == 0)
                Fail("MidiFileTracksMissing");
            if (file.Left() < kChunkHeaderSize)
                Fail("MidiFileTruncatedChunk");
            const unsigned char* pHeader = file.pData + file.nPos;
            const size_t nLength = Big(pHeader + 4, 4);
            file.nPos += kChunkHeaderSize;
            if (nLength > file.Left())
                Fail("MidiFileTruncatedChunk");
            const size_t nStart = file.nPos;
            file.nPos += nLength;
            if (memcmp(pHeader, "MTrk", 4) == 0)
            {
                ReadTrack({file.pData + nStart, nLength, 0}, events);
                break;
            }
        }
    }
    m_nTrack = 0;
    TimeAndMerge(events);
}

void CMidiFileReader::ReadHeader(tagCursor& file)
{
    if (!IsMidiFile(file.pData, file.nSize) || file.Left() < kChunkHeaderSize)
        Fail("MidiFileNotMidi");
    const size_t nLength = Big(file.pData + 4, 4);
    file.nPos += kChunkHeaderSize;
    if (nLength < kHeaderDataSize)
        Fail("MidiFileNotMidi");
    if (nLength > file.Left())
        Fail("MidiFileTruncatedChunk");
    const unsigned char* pHeader = file.pData + file.nPos;
    file.nPos += nLength;

    const uint32_t uFormat = Big(pHeader, 2);
    if (uFormat > 1)
        Fail("MidiFileFormat");
    m_nTrackCount = int(Big(pHeader + 2, 2));
    const uint32_t uDivision = Big(pHeader + 4, 2);
    if (uDivision & 0x8000)
    {
        // SMPTE time: frames a second (as a negative byte) and ticks a frame; 29 stands
        // for the 29.97 frames of drop-frame time.
        const int nFrames = -int(int8_t(uDivision >> 8));
        const uint32_t uTicksPerFrame = uDivision & 0xFF;
        if ((nFrames != 24 && nFrames != 25 && nFrames != 29 && nFrames != 30) ||
            uTicksPerFrame == 0)
            Fail("MidiFileDivision");
        m_bSmpte = true;
        m_ullTickNumerator = nFrames == 29 ? 1001000000ull : 1000000ull;
        m_ullTickDenominator = uint64_t(nFrames == 29 ? 30000 : nFrames) * uTicksPerFrame;
    }
    else
    {
        if (uDivision == 0)
            Fail("MidiFileDivision");
        m_bSmpte = false;
        m_ullTickNumerator = kDefaultTempo;
        m_ullTickDenominator = uDivision;
    }
}

void CMidiFileReader::ReadTrack(tagCursor track, std::vector<tagTimed>& events)
{
    uint64_t ullTick = 0;
    unsigned char ucRunning = 0;
    m_bMessageOpen = false;
    for (;;)
    {
        if (track.Left() == 0)
            Fail("MidiFileNoEndOfTrack");
        ullTick += ReadNumber(track);
        if (track.Left() == 0)
            Fail("MidiFileLengthPastEnd");
        unsigned char ucStatus = track.pData[track.nPos];
        if (ucStatus & 0x80)
            ++track.nPos;
        else if (ucRunning)
            ucStatus = ucRunning;
        else
            Fail("MidiFileBadStatus");

        if (ucStatus == kSysExStart || ucStatus == kSysExEscape)
            ReadSysEx(track, ucStatus, ullTick, events);
        else if (ucStatus == kMeta)
        {
            if (!ReadMeta(track, ullTick, events))
                return;
        }
        else if (ucStatus < 0xF0)
        {
            // SysEx and meta events cancel running status by the standard, yet files rely
            // on it across them, and a data byte there means nothing else: it is kept.
            ucRunning = ucStatus;
            SkipChannelEvent(track, ucStatus);
        }
        else
            Fail("MidiFileBadStatus");
    }
}

void CMidiFileReader::ReadSysEx(tagCursor& track, unsigned char ucStatus, uint64_t ullTick,
                                std::vector<tagTimed>& events)
{
    const size_t nLength = ReadNumber(track);
    const unsigned char* pBytes = TakeBytes(track, nLength);
    if (ucStatus == kSysExStart)
    {
        // An unfinished message before it stays as it is.
        tagTimed message{ullTick, false, 0, {kSysExStart}};
        message.aucData.insert(message.aucData.end(), pBytes, pBytes + nLength);
        m_bMessageOpen = !EndsMessage(message.aucData);
        m_nOpenMessage = events.size();
        events.push_back(std::move(message));
    }
    else if (m_bMessageOpen)
    {
        std::vector<unsigned char>& aucData = events[m_nOpenMessage].aucData;
        aucData.insert(aucData.end(), pBytes, pBytes + nLength);
        m_bMessageOpen = !EndsMessage(aucData);
    }
    else if (nLength > 0)
        events.push_back({ullTick, false, 0, std::vector<unsigned char>(pBytes, pBytes + nLength)});
}

bool CMidiFileReader::ReadMeta(tagCursor& track, uint64_t ullTick, std::vector<tagTimed>& events)
{
    const unsigned char ucType = *TakeBytes(track, 1);
    const size_t nLength = ReadNumber(track);
    const unsigned char* pBytes = TakeBytes(track, nLength);
    if (ucType == kMetaEndOfTrack)
        return false;
    if (ucType == kMetaTempo && nLength >= 3)
        events.push_back({ullTick, true, Big(pBytes, 3), {}});
    return true;
}

void CMidiFileReader::SkipChannelEvent(tagCursor& track, unsigned char ucStatus)
{
    const unsigned char ucKind = ucStatus & 0xF0;
    TakeBytes(track, ucKind == 0xC0 || ucKind == 0xD0 ? 1 : 2);
}

uint32_t CMidiFileReader::ReadNumber(tagCursor& track)
{
    uint32_t uValue = 0;
    for (int i = 0; i < 4; ++i)
    {
        const unsigned char ucByte = *TakeBytes(track, 1);
        uValue = (uValue << 7) | (ucByte & 0x7F);
        if (!(ucByte & 0x80))
            return uValue;
    }
    Fail("MidiFileLongNumber");
}

const unsigned char* CMidiFileReader::TakeBytes(tagCursor& track, size_t nLength)
{
    if (nLength > track.Left())
        Fail("MidiFileLengthPastEnd");
    const unsigned char* pBytes = track.pData + track.nPos;
    track.nPos += nLength;
    return pBytes;
}

void CMidiFileReader::TimeAndMerge(std::vector<tagTimed>& events)
{
    // The tracks were appended one after the other: a stable sort by tick keeps the
    // earlier track first among events of one time.
    std::stable_sort(events.begin(), events.end(),
                     [](const tagTimed& a, const tagTimed& b) { return a.ullTick < b.ullTick; });
    // Microseconds times the denominator, summed over the stretches of one tempo; wide
    // enough for any tick count and tempo a file can hold.
    unsigned __int128 ullScaledUs = 0;
    uint64_t ullLastTick = 0;
    uint64_t ullPerTick = m_ullTickNumerator;
    for (tagTimed& event : events)
    {
        ullScaledUs += (unsigned __int128)(event.ullTick - ullLastTick) * ullPerTick;
        ullLastTick = event.ullTick;
        if (event.bTempo)
        {
            if (!m_bSmpte)
                ullPerTick = event.uTempo;
            continue;
        }
        const unsigned __int128 ullUs = ullScaledUs / m_ullTickDenominator;
        const int64_t llUs = ullUs > (unsigned __int128)INT64_MAX ? INT64_MAX : int64_t(ullUs);
        m_aMessages.push_back({llUs, std::move(event.aucData)});
    }
}
