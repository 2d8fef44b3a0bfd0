#include "file/LumFile.h"

#include "toolkit/DebugLog.h"

#include <cstddef>
#include <cstring>
#include <string>

namespace
{
int8_t PermissionFromMode(int iMode)
{
    return int8_t(iMode & 3);
}

short PositionModeFromOrigin(int iOrigin)
{
    switch (iOrigin)
    {
    case 0:
        return fsFromMark;
    case 1:
        return fsFromLEOF;
    case 2:
        return fsFromStart;
    default:
        return fsAtMark;
    }
}

// The length of a name in UTF-16 units: one per character, two above U+FFFF.
size_t Utf16Length(const char* pszName)
{
    size_t nUnits = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszName); *p; ++p)
    {
        if ((*p & 0xC0) == 0x80)
            continue;
        nUnits += *p >= 0xF0 ? 2 : 1;
    }
    return nUnits;
}

// The index of the '.' that starts the name's extension, or -1 when it has none.
ptrdiff_t FindExtension(const char* pszName)
{
    if (!pszName)
        return -1;
    const char* pszDot = strrchr(pszName, '.');
    if (!pszDot || pszDot == pszName)
        return -1;
    return pszDot - pszName;
}

int ChangeFinderCode(const FSSpec* pSpec, OSType FInfo::*pField, unsigned long ulCode,
                     const char* pszOperation)
{
    OSErr err = 0;
    try
    {
        FInfo info;
        if ((err = FSpGetFInfo(pSpec, &info)) != 0)
            throw "Failed to call FSpGetFInfo().";
        info.*pField = OSType(ulCode);
        if ((err = FSpSetFInfo(pSpec, &info)) != 0)
            throw "Failed to call FSpSetFInfo().";
        return 1;
    }
    catch (const char* pszMessage)
    {
        DebugPrintf("CLumFile::%s() - %s err=%d", pszOperation, pszMessage, err);
        return 0;
    }
}

int ChangeFinderCode(const FSRef* pRef, OSType FInfo::*pField, unsigned long ulCode,
                     const char* pszOperation)
{
    FSSpec spec;
    if (OSErr err = FSGetCatalogInfo(pRef, kFSCatInfoNone, nullptr, nullptr, &spec); err != 0)
    {
        DebugPrintf("CLumFile::%s() - %s err=%d", pszOperation,
                    "Failed to call FSGetCatalogInfo().", err);
        return 0;
    }
    return ChangeFinderCode(&spec, pField, ulCode, pszOperation);
}
} // namespace

CLumFile::CLumFile() : m_refNum(0), m_bReplacePending(0), m_bWriteFailed(0), m_writeError(0) {}

CLumFile::~CLumFile() = default;

int CLumFile::Open(const char* pszPath, int iMode)
{
    FSSpec spec;
    if (FSPathMakeFSSpec(pszPath, &spec, nullptr) != 0)
        return 0;
    return FSpOpenDF(&spec, PermissionFromMode(iMode), &m_refNum) == 0 ? 1 : 0;
}

int CLumFile::Close()
{
    if (m_refNum <= 0)
        return 0;
    OSErr err = FSClose(m_refNum);
    // The descriptor is gone even when closing reports an error; keeping it would close
    // whatever file reuses the number next.
    m_refNum = 0;
    if (m_bReplacePending)
    {
        // A file from MacWriteOpen takes the place of the old one only when all of it
        // was written; otherwise the old file stays and the partial one goes.
        m_bReplacePending = 0;
        OSErr replaceErr = 0;
        if (err != 0 || m_bWriteFailed ||
            (replaceErr = FSpReplace(&m_temporary, &m_spec)) != 0)
        {
            if (!m_writeError)
                m_writeError = err ? err : replaceErr ? replaceErr : OSErr(ioErr);
            FSpDelete(&m_temporary);
            DebugPrintf("CLumFile::Close : %s", "Failed to replace the file.");
            return 0;
        }
    }
    return err == 0 ? 1 : 0;
}

long CLumFile::Read(void* pBuffer, long lCount)
{
    if (m_refNum <= 0)
        return 0;
    FSRead(m_refNum, &lCount, pBuffer);
    return lCount;
}

long CLumFile::Write(const void* pBuffer, long lCount)
{
    if (m_refNum <= 0)
        return 0;
    long lWanted = lCount;
    const OSErr err = FSWrite(m_refNum, &lCount, pBuffer);
    if (err != 0 || lCount != lWanted)
    {
        m_bWriteFailed = 1;
        if (!m_writeError)
            m_writeError = err ? err : OSErr(dskFulErr);
    }
    return lCount;
}

int CLumFile::SetPos(long lOffset, int iOrigin)
{
    if (m_refNum <= 0)
        return 0;
    if (OSErr err = SetFPos(m_refNum, PositionModeFromOrigin(iOrigin), lOffset); err != 0)
    {
        DebugPrintf("Failed to SetFPos() : %d", err);
        return 0;
    }
    return 1;
}

int CLumFile::GetPos(long* plPosition) const
{
    if (m_refNum <= 0)
        return 0;
    return GetFPos(m_refNum, plPosition) == 0 ? 1 : 0;
}

int CLumFile::IsOpened() const
{
    return m_refNum > 0 ? 1 : 0;
}

int CLumFile::MacWriteOpen(const FSSpec* pSpec, int, unsigned long ulCreator, unsigned long ulType)
{
    try
    {
        if (!pSpec)
            throw "Failed to create file.";
        // The location of the file to replace. A folder there can never be replaced by a
        // file: refuse it now rather than after the writing.
        FSSpec fresh;
        m_writeError = 0;
        const OSErr lookErr = FSMakeFSSpec(pSpec->folder.c_str(), pSpec->name.c_str(), &fresh);
        if (lookErr == 0)
        {
            FSRef existing;
            bool bFolder = false;
            std::string path = fresh.folder + "/" + fresh.name;
            if (FSPathMakeRef(path.c_str(), &existing, &bFolder) != 0 || bFolder)
            {
                m_writeError = notAFileErr;
                throw "Failed to create file.";
            }
        }
        else if (lookErr != fnfErr)
        {
            m_writeError = lookErr;
            throw "Failed to create file.";
        }

        // The new file is written beside the old one and moved over it by Close once
        // every write went through, so that a failure on the way leaves the old file as
        // it was.
        FSSpec temporary;
        if (const OSErr err = FSpCreateTemporary(&fresh, OSType(ulCreator), OSType(ulType), &temporary);
            err != 0)
        {
            m_writeError = err;
            throw "Failed to create file.";
        }
        int refNum = 0;
        if (FSpOpenDF(&temporary, fsWrPerm, &refNum) != 0)
        {
            FSpDelete(&temporary);
            throw "Failed to open file.";
        }
        m_refNum = refNum;
        m_spec = fresh;
        m_temporary = temporary;
        m_bReplacePending = 1;
        m_bWriteFailed = 0;
        return 1;
    }
    catch (const char* pszMessage)
    {
        DebugPrintf("CLumFile::MacWriteOpen : %s", pszMessage);
        return 0;
    }
}

int CLumFile::MacCreateOpen(const FSRef* pFolder, const char* pszName, int iMode,
                            unsigned long ulCreator, unsigned long ulType)
{
    OSErr err = 0;
    try
    {
        if (pszName && Utf16Length(pszName) > 255)
            throw "Filename is too long.";

        // Only one entry of the folder may be replaced: a name such as "" or "sub/x"
        // is refused before anything on disk is touched.
        FSSpec target;
        if ((err = FSMakeChildSpec(pFolder, pszName, &target)) != 0)
            throw "Failed to call FSCreateFileUnicode().";

        // Made beside the old file and moved over it once complete, so that a failure
        // on the way leaves the old file as it was.
        FSSpec temporary;
        if ((err = FSpCreateTemporary(&target, 0, 0, &temporary)) != 0)
            throw "Failed to call FSCreateFileUnicode().";
        if (!MacChangeCreator(&temporary, ulCreator))
        {
            FSpDelete(&temporary);
            throw "Failed to change the creator.";
        }
        if (!MacChangeType(&temporary, ulType))
        {
            FSpDelete(&temporary);
            throw "Failed to change the type.";
        }
        if ((err = FSpReplace(&temporary, &target)) != 0)
        {
            FSpDelete(&temporary);
            throw "Failed to call FSCreateFileUnicode().";
        }

        FSRef ref;
        if ((err = FSpMakeFSRef(&target, &ref)) != 0 || !MacOpen(&ref, iMode))
            throw "Failed to open the file.";
        return 1;
    }
    catch (const char* pszMessage)
    {
        DebugPrintf("CLumFile::MacCreateWithFSRef() - %s err=%d", pszMessage, err);
        return 0;
    }
}

int CLumFile::MacOpen(const FSSpec* pSpec, int iMode)
{
    try
    {
        if (FSpOpenDF(pSpec, PermissionFromMode(iMode), &m_refNum) != 0)
            throw "Failed to call FSpOpenDF().";
        m_spec = *pSpec;
        return 1;
    }
    catch (const char* pszMessage)
    {
        DebugPrintf("CLumFile::MacOpenWithFSSpec() - %s", pszMessage);
        return 0;
    }
}

int CLumFile::MacOpen(const FSRef* pRef, int iMode)
{
    try
    {
        if (FSOpenFork(pRef, PermissionFromMode(iMode), &m_refNum) != 0)
            throw "Failed to call FSOpenFork().";
        FSGetCatalogInfo(pRef, kFSCatInfoNone, nullptr, nullptr, &m_spec);
        return 1;
    }
    catch (const char* pszMessage)
    {
        DebugPrintf("CLumFile::MacOpenWithFSRef() - %s", pszMessage);
        return 0;
    }
}

int CLumFile::MacAttach(int refNum)
{
    m_refNum = refNum;
    return 1;
}

int CLumFile::GetExtension(const char* pszName, char* pszExtension, int iSize)
{
    // A size below 1 leaves no room even for the terminating NUL.
    if (iSize < 1 || !pszExtension)
        return 0;
    ptrdiff_t nDot = FindExtension(pszName);
    if (nDot < 0)
        return 0;
    strncpy(pszExtension, pszName + nDot, size_t(iSize));
    pszExtension[iSize - 1] = '\0';
    return 1;
}

char* CLumFile::AddExtension(char* pszName, const char* pszExtension)
{
    return strcat(pszName, pszExtension);
}

int CLumFile::RemoveExtension(char* pszName)
{
    ptrdiff_t nDot = FindExtension(pszName);
    if (nDot < 0)
        return 0;
    pszName[nDot] = '\0';
    return 1;
}

int CLumFile::ReplaceExtension(char* pszName, const char* pszExtension)
{
    if (!RemoveExtension(pszName))
        return 0;
    AddExtension(pszName, pszExtension);
    return 1;
}

int CLumFile::GetFileSize(const char* pszPath, unsigned long long* pullSize)
{
    FSRef ref;
    bool bIsFolder = false;
    if (!pullSize || FSPathMakeRef(pszPath, &ref, &bIsFolder) != 0 || bIsFolder)
        return 0;
    FSCatalogInfo info;
    if (FSGetCatalogInfo(&ref, kFSCatInfoDataSizes, &info, nullptr, nullptr) != 0)
        return 0;
    *pullSize = info.dataLogicalSize;
    return 1;
}

int CLumFile::MacChangeCreator(const FSSpec* pSpec, unsigned long ulCreator)
{
    return ChangeFinderCode(pSpec, &FInfo::fdCreator, ulCreator, "MacChangeCreator");
}

int CLumFile::MacChangeCreator(const FSRef* pRef, unsigned long ulCreator)
{
    return ChangeFinderCode(pRef, &FInfo::fdCreator, ulCreator, "MacChangeCreator");
}

int CLumFile::MacChangeType(const FSSpec* pSpec, unsigned long ulType)
{
    return ChangeFinderCode(pSpec, &FInfo::fdType, ulType, "MacChangeType");
}

int CLumFile::MacChangeType(const FSRef* pRef, unsigned long ulType)
{
    return ChangeFinderCode(pRef, &FInfo::fdType, ulType, "MacChangeType");
}
