#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Counts of a dump being recorded.
struct tagDumpCounts
{
    int64_t llMessages = 0;     // complete messages kept
    int64_t llMessageBytes = 0; // bytes of the kept messages, F0 and F7 included
    int64_t llTotalBytes = 0;   // SysEx bytes taken in, kept or not
    int64_t llCurrentBytes = 0; // bytes of the message being received (0 outside one)
    int64_t llInterrupted = 0;  // messages broken by a status byte and left out
    int bIncompleteAtStop = 0;  // the recording stopped inside a message, which was left out
};

// Collects a whole dump: every complete SysEx message, F0 through F7, back to back, in
// the order of arrival. Real-time bytes are skipped wherever they come. A message broken
// by another status byte is dropped and counted (an F0 starts the next message at once);
// bytes outside a message are ignored. The storage grows in pieces, never copied, and only
// with what is kept: a dropped message's room is used again.
//
// Not thread-safe: the owner locks.
class CSysExDumpRecorder
{
public:
    CSysExDumpRecorder() = default;
    CSysExDumpRecorder(const CSysExDumpRecorder&) = delete;
    CSysExDumpRecorder& operator=(const CSysExDumpRecorder&) = delete;

    // Forgets everything.
    void Clear();
    // Takes a run of incoming bytes.
    void Take(const unsigned char* pData, size_t nLength);
    // Ends the recording: a message still open is left out and said so.
    void Stop();

    const tagDumpCounts& Counts() const { return m_counts; }
    // Every byte taken, real-time and stray bytes included: what tells silence apart.
    uint64_t BytesSeen() const { return m_ullSeen; }

    // Hands the kept messages over in pieces, in order, until fnPiece returns false.
    // Returns false when it was stopped so.
    bool ForEachPiece(const std::function<bool(const unsigned char*, size_t)>& fnPiece) const;

    static constexpr size_t sm_nPieceSize = size_t(1) << 16;

private:
    void Append(unsigned char ucByte);
    void Interrupt();

    std::vector<std::unique_ptr<unsigned char[]>> m_apPieces;
    size_t m_nStored = 0; // kept bytes plus those of the open message
    bool m_bInMessage = false;
    uint64_t m_ullSeen = 0;
    tagDumpCounts m_counts;
};
