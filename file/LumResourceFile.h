#pragma once

#include "file/LumFile.h"

// A read-only file of the program's own resources, found by its resource name (the
// full file name, extension included); see FindResourceFile for where it looks.
// Unlike a plain CLumFile it never outlives its object open: the destructor closes it.
class CLumResourceFile : public CLumFile
{
public:
    CLumResourceFile();
    ~CLumResourceFile() override;

    int Close() override;
    long Read(void* pBuffer, long lCount) override;
    // Writes nothing and returns 0.
    long Write(const void* pBuffer, long lCount) override;
    int SetPos(long lOffset, int iOrigin) override;

    using CLumFile::Open;
    // Closes a file already held, then opens the resource for reading, whatever access
    // the mode asks. The first argument is not looked at. Returns 0, with no log line,
    // when there is no such resource.
    virtual int Open(const char* pszUnused, const char* pszName, int iMode);
};
