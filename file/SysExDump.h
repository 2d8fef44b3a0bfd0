#pragma once

#include "file/SysExDumpIndex.h"
#include "platform/file/MappedFile.h"

#include <cstddef>
#include <memory>
#include <vector>

// The bytes of one dump and the index of its messages: a .syx file mapped into memory,
// or bytes handed over (a reception). Holds them as long as the index is used.
class CSysExDump
{
public:
    CSysExDump();
    ~CSysExDump();
    CSysExDump(const CSysExDump&) = delete;
    CSysExDump& operator=(const CSysExDump&) = delete;

    // 1 when the file could be mapped (an empty file is a dump without messages); 0 with
    // the dump left empty otherwise.
    int OpenFile(const char* pszPath);
    void Assign(std::vector<unsigned char> bytes);

    const CSysExDumpIndex& Index() const { return *m_pIndex; }

    // The bytes of the messages, in the order given, back to back.
    std::vector<unsigned char> Join(const std::vector<size_t>& anMessages) const;

private:
    CMappedFile m_cMapped;
    std::vector<unsigned char> m_aucBytes;
    std::unique_ptr<CSysExDumpIndex> m_pIndex;
};
