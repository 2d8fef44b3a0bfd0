#include "platform/file/MappedFile.h"

#include "toolkit/DebugLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

CMappedFile::CMappedFile() : m_pData(nullptr), m_nSize(0) {}

CMappedFile::~CMappedFile()
{
    Close();
}

int CMappedFile::Open(const char* pszPath)
{
    Close();
    try
    {
        const int fd = open(pszPath, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw strerror(errno);
        struct stat info;
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        {
            close(fd);
            throw "Not a regular file.";
        }
        // mmap refuses a length of 0: an empty file is simply no bytes.
        if (info.st_size > 0)
        {
            void* pMapped = mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            const int iError = errno;
            close(fd);
            if (pMapped == MAP_FAILED)
                throw strerror(iError);
            m_pData = static_cast<const unsigned char*>(pMapped);
            m_nSize = size_t(info.st_size);
        }
        else
            close(fd);
        return 1;
    }
    catch (const char* pszMessage)
    {
        DebugPrintf("CMappedFile::Open : %s", pszMessage);
        return 0;
    }
}

void CMappedFile::Close()
{
    if (m_pData)
        munmap(const_cast<unsigned char*>(m_pData), m_nSize);
    m_pData = nullptr;
    m_nSize = 0;
}
