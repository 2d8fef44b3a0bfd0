#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

// Builds SysEx messages and Standard MIDI Files by hand, event by event, for tests of what
// reads them:  File(1, 96, {Track({SysExEvent(0, {0x41, 0xF7}), Tempo(10, 250000)})})
namespace MidiFileBuilder
{
using Bytes = std::vector<unsigned char>;

inline Bytes Join(const std::vector<Bytes>& parts)
{
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

// A SysEx message of the length, its data counting up from the seed.
inline Bytes SysEx(size_t nLength, uint8_t ucSeed)
{
    Bytes bytes{0xF0};
    for (size_t i = 1; i + 1 < nLength; ++i)
        bytes.push_back(uint8_t((ucSeed + i) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

// A variable-length number.
inline Bytes Number(uint32_t uValue)
{
    Bytes groups{uint8_t(uValue & 0x7F)};
    while (uValue >>= 7)
        groups.insert(groups.begin(), uint8_t(0x80 | (uValue & 0x7F)));
    return groups;
}

inline Bytes Big(uint32_t uValue, int nBytes)
{
    Bytes bytes;
    for (int i = nBytes - 1; i >= 0; --i)
        bytes.push_back(uint8_t(uValue >> (8 * i)));
    return bytes;
}

inline Bytes Chunk(const char* pszType, const Bytes& data)
{
    return Join({Bytes(pszType, pszType + 4), Big(uint32_t(data.size()), 4), data});
}

inline Bytes Header(int nFormat, int nTracks, int nDivision)
{
    return Chunk("MThd", Join({Big(nFormat, 2), Big(nTracks, 2), Big(nDivision, 2)}));
}

// An event: its delta time, then its bytes as they stand in the track.
inline Bytes Event(uint32_t uDelta, const Bytes& body)
{
    return Join({Number(uDelta), body});
}

// F0 <length> data: data is what follows the F0.
inline Bytes SysExEvent(uint32_t uDelta, const Bytes& data)
{
    return Join({Number(uDelta), {0xF0}, Number(uint32_t(data.size())), data});
}

// F7 <length> data: a continuation, or an escape.
inline Bytes EscapeEvent(uint32_t uDelta, const Bytes& data)
{
    return Join({Number(uDelta), {0xF7}, Number(uint32_t(data.size())), data});
}

inline Bytes Meta(uint32_t uDelta, uint8_t ucType, const Bytes& data)
{
    return Join({Number(uDelta), {0xFF, ucType}, Number(uint32_t(data.size())), data});
}

inline Bytes Tempo(uint32_t uDelta, uint32_t uMicrosecondsPerQuarter)
{
    return Meta(uDelta, 0x51, Big(uMicrosecondsPerQuarter, 3));
}

inline Bytes EndOfTrack()
{
    return Meta(0, 0x2F, {});
}

// An MTrk chunk of the events, closed with an end-of-track event.
inline Bytes Track(std::initializer_list<Bytes> events)
{
    return Chunk("MTrk", Join({Join(events), EndOfTrack()}));
}

inline Bytes File(int nFormat, int nDivision, std::initializer_list<Bytes> tracks)
{
    return Join({Header(nFormat, int(tracks.size()), nDivision), Join(tracks)});
}
} // namespace MidiFileBuilder
