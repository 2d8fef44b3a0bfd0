#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One SysEx message of a Standard MIDI File: its bytes as they go out (an F0 message with
// its continuations joined, or the bytes of an F7 escape event) and when it starts, in
// microseconds from the start of the file by the file's tempo map.
struct tagMidiFileMessage
{
    int64_t llTimeUs;
    std::vector<unsigned char> aucData;
};

// Reads the SysEx messages of a Standard MIDI File of format 0 or 1, the messages of all
// tracks merged in time order (of two at the same time, the one of the earlier track, or
// the earlier in its track, first). Channel and meta events are read past; tempo events of
// any track make the tempo map.
//
// An F0 event begins a message; when its data does not end in F7 the message goes on in
// the F7 events that follow in the track, up to the one that ends in F7 (or up to the next
// F0 event or the end of the track, which leave it unfinished). Any other F7 event is an
// escape: its bytes are a message of their own.
//
// A file that cannot be read gives an error: the key of its text in the strings table and
// the track it lies in. The caller names the file.
class CMidiFileReader
{
public:
    // 1 when the file was read; 0 when it is bad (ErrorKey says why). Replaces what an
    // earlier Read found.
    int Read(const unsigned char* pData, size_t nSize);

    const std::vector<tagMidiFileMessage>& Messages() const { return m_aMessages; }
    // Strings-table key of what is wrong with the file; null after a successful Read.
    const char* ErrorKey() const { return m_pszError; }
    // The 1-based track the error lies in; 0 when it is the file's as a whole.
    int ErrorTrack() const { return m_nErrorTrack; }

    // Whether the bytes begin as a Standard MIDI File does ("MThd").
    static bool IsMidiFile(const unsigned char* pData, size_t nSize);

private:
    struct tagTimed; // an event of a track that counts: a message or a tempo change

    // A run of the file's bytes being read, and where reading stands in it.
    struct tagCursor
    {
        const unsigned char* pData;
        size_t nSize;
        size_t nPos;
        size_t Left() const { return nSize - nPos; }
    };

    void ReadFile(tagCursor file);
    void ReadHeader(tagCursor& file);
    void ReadTrack(tagCursor track, std::vector<tagTimed>& events);
    void ReadSysEx(tagCursor& track, unsigned char ucStatus, uint64_t ullTick,
                   std::vector<tagTimed>& events);
    // Reads the meta event past its type byte; false at the end of the track.
    bool ReadMeta(tagCursor& track, uint64_t ullTick, std::vector<tagTimed>& events);
    void SkipChannelEvent(tagCursor& track, unsigned char ucStatus);
    // A variable-length number of at most four bytes.
    uint32_t ReadNumber(tagCursor& track);
    // The bytes of an event's data: nLength of them, all inside the track.
    const unsigned char* TakeBytes(tagCursor& track, size_t nLength);
    void TimeAndMerge(std::vector<tagTimed>& events);
    [[noreturn]] void Fail(const char* pszKey);

    std::vector<tagMidiFileMessage> m_aMessages;
    const char* m_pszError = nullptr;
    int m_nErrorTrack = 0;
    int m_nTrack = 0; // the track being read, 1-based
    int m_nTrackCount = 0;
    // Time of a tick: microseconds per quarter note / ticks per quarter note, or for SMPTE
    // time a fixed m_ullTickNumerator / m_ullTickDenominator microseconds.
    bool m_bSmpte = false;
    uint64_t m_ullTickNumerator = 0;
    uint64_t m_ullTickDenominator = 1;
    // An F0 message still waiting for its continuations, by its index among the events.
    size_t m_nOpenMessage = 0;
    bool m_bMessageOpen = false;
};
