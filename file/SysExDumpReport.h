#pragma once

#include "file/SysExChecksum.h"
#include "file/SysExDumpIndex.h"

#include <cstddef>
#include <cstdio>
#include <functional>

// What a dump holds, as the lines `quillmark show FILE` prints: one line a message, in
// the order of the file, with the bytes outside messages in lines of their own where they
// lie, then a summary and, for a dump that is not in order, where it is not:
//
//        1  00000000       11  Roland                            OK
//        -  0000000B        3  bytes outside messages
//        2  0000000E      127  Universal Non-Real Time: Sample Data Packet  BAD
//        3  0000008D        4  Yamaha                            –  unterminated
//   3 messages, 148 bytes; checksums: 1 OK, 1 BAD, 1 –
//   BAD checksum: message 2 at 0000000E
//   Bytes outside messages: 3 at 0000000B
//   Unterminated message: message 3 at 0000008D
//
// Number (from 1), offset in hex, length in bytes, manufacturer (CMidiManufacturer), and
// checksum OK / BAD / – (none carried). The output is a stable format for scripts and is
// not translated. At most sm_nMaxProblemLines problems are listed, then how many more.
class CSysExDumpReport
{
public:
    // The index and its bytes must outlive the report.
    explicit CSysExDumpReport(const CSysExDumpIndex& index);

    // false when a checksum is BAD, a message has no F7 or bytes lie outside messages.
    bool IsOk() const { return m_nBad == 0 && m_nUnterminated == 0 && m_nOutside == 0; }
    size_t GetCount(CSysExChecksum::Result result) const;

    // Every line in order, without its line end.
    void ForEachLine(const std::function<void(const char* pszLine)>& line) const;
    // The lines, each ended by a newline; 1 when all were written.
    int Print(FILE* pStream) const;

    static const char* ChecksumText(CSysExChecksum::Result result);

    static constexpr size_t sm_nMaxProblemLines = 10;

private:
    void MessageLine(size_t nIndex, char* pszLine, size_t nSize) const;
    void ProblemLines(const std::function<void(const char* pszLine)>& line) const;

    const CSysExDumpIndex& m_index;
    size_t m_nGood;
    size_t m_nBad;
    size_t m_nNone;
    size_t m_nUnterminated;
    size_t m_nOutside; // gaps
};
