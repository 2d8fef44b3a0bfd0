// Fuzz target of the .msy list reader: one input is one list file, read from memory,
// whose listed names are looked up in a folder holding a few real files. Alerts and
// log lines go to sinks that drop them, so no input waits for a user.

#include "file/LumFile.h"
#include "toolkit/Alert.h"
#include "toolkit/DebugLog.h"
#include "transfer/MultiSysExReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace
{
// A list file whose bytes come from memory.
class CMemoryFile : public CLumFile
{
public:
    CMemoryFile(const uint8_t* pData, size_t nSize) : m_pData(pData), m_nSize(nSize) {}

    long Read(void* pBuffer, long lCount) override
    {
        if (lCount <= 0 || m_nPosition >= m_nSize)
            return 0;
        size_t nCount = std::min(size_t(lCount), m_nSize - m_nPosition);
        memcpy(pBuffer, m_pData + m_nPosition, nCount);
        m_nPosition += nCount;
        return long(nCount);
    }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nPosition = 0;
};

void DropAlert(const char*, int) {}
void DropLine(const char*) {}

std::string sg_folder;

void RemoveFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(sg_folder, ignored);
}

// The folder the lists live in: a.syx, "b c.syx" and sub/d.syx, made once per run.
const std::string& ListFolder()
{
    if (sg_folder.empty())
    {
        const char* pszBase = getenv("TMPDIR");
        std::string pattern =
            std::string(pszBase && *pszBase ? pszBase : "/tmp") + "/qmfuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            abort();
        sg_folder = pattern;
        atexit(&RemoveFolder);
        std::filesystem::create_directory(sg_folder + "/sub");
        for (const char* pszName : {"a.syx", "b c.syx", "sub/d.syx"})
            if (FILE* pFile = fopen((sg_folder + "/" + pszName).c_str(), "wb"))
            {
                fputs("\xF0\x7E\xF7", pFile);
                fclose(pFile);
            }
        SetErrorAlertSink(&DropAlert);
        SetDebugLogSink(&DropLine);
    }
    return sg_folder;
}

int ReadList(CMultiSysExReader& reader, const uint8_t* pData, size_t nSize)
{
    CMemoryFile file(pData, nSize);
    file.m_spec.folder = ListFolder();
    file.m_spec.name = "list.msy";
    return reader.Open(&file);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    CMultiSysExReader reader;
    int nResult = ReadList(reader, pData, nSize);
    int nCount = reader.GetFileCount();
    if ((nResult == 1) != (nCount > 0))
        abort();

    // As the transmit window does: every entry from 1 up to the count, name and file.
    for (int i = 0; i <= nCount && i <= 8; ++i)
    {
        char szName[256];
        memset(szName, 0x55, sizeof(szName));
        reader.GetSysExFileName(szName, sizeof(szName), i);
        if (szName[255] != 0x55 && szName[255] != '\0')
            abort();
        if (CLumFile* pFile = reader.GetSysExFile(i))
        {
            pFile->Close();
            delete pFile;
        }
    }

    // Reading the same list again gives the same entries.
    if (ReadList(reader, pData, nSize) != nResult || reader.GetFileCount() != nCount)
        abort();
    return 0;
}
