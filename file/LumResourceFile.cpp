#include "file/LumResourceFile.h"

#include "platform/file/BundleResource.h"

CLumResourceFile::CLumResourceFile()
{
    m_refNum = 0;
}

CLumResourceFile::~CLumResourceFile()
{
    CLumResourceFile::Close();
}

int CLumResourceFile::Close()
{
    return IsOpened() ? CLumFile::Close() : 0;
}

long CLumResourceFile::Read(void* pBuffer, long lCount)
{
    return IsOpened() ? CLumFile::Read(pBuffer, lCount) : 0;
}

long CLumResourceFile::Write(const void*, long)
{
    return 0;
}

int CLumResourceFile::SetPos(long lOffset, int iOrigin)
{
    return IsOpened() ? CLumFile::SetPos(lOffset, iOrigin) : 0;
}

int CLumResourceFile::Open(const char*, const char* pszName, int iMode)
{
    Close();
    FSRef ref;
    if (!FindResourceFile(pszName, &ref))
        return 0;
    // The program's installation is never opened for writing.
    return CLumFile::MacOpen(&ref, (iMode & ~3) | fsRdPerm);
}
