#pragma once

#include <cstddef>

// A file's bytes mapped read-only into memory, so that a large dump is looked at without
// being read: pages come in as they are touched. The mapping lives as long as the object.
class CMappedFile
{
public:
    CMappedFile();
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // Maps the file at the POSIX path, dropping a mapping held before. 1 on success, also
    // for an empty file (no bytes); 0 when it cannot be opened or mapped (logged).
    int Open(const char* pszPath);
    void Close();

    const unsigned char* Data() const { return m_pData; }
    size_t Size() const { return m_nSize; }

private:
    const unsigned char* m_pData;
    size_t m_nSize;
};
