#include "platform/file/FileManager.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace
{
const char* const sg_pszCreatorAttribute = "user.quillmark.creator";
const char* const sg_pszTypeAttribute = "user.quillmark.type";

// The lowest descriptor an open file may have: above the standard streams.
constexpr int kFirstFileDescriptor = 3;

OSErr ErrorFromErrno(int iError)
{
    switch (iError)
    {
    case ENOENT:
        return fnfErr;
    case ENOTDIR:
        return dirNFErr;
    case EEXIST:
    case ENOTEMPTY:
        return dupFNErr;
    case EACCES:
    case EPERM:
    case ETXTBSY:
        return permErr;
    case EROFS:
        return wPrErr;
    case ENOSPC:
    case EDQUOT:
        return dskFulErr;
    case ENAMETOOLONG:
        return bdNamErr;
    case EISDIR:
        return notAFileErr;
    case EBADF:
        return rfNumErr;
    case EMFILE:
    case ENFILE:
        return tmfoErr;
    case EINVAL:
        return paramErr;
    default:
        return ioErr;
    }
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

bool RealPath(const std::string& path, std::string* pResult)
{
    char* pszReal = realpath(path.c_str(), nullptr);
    if (!pszReal)
        return false;
    *pResult = pszReal;
    free(pszReal);
    return true;
}

// Splits an absolute path into its folder and last name ("/" has an empty name).
void SplitAbsolute(const std::string& path, FSSpec* pSpec)
{
    size_t nSlash = path.rfind('/');
    pSpec->folder = nSlash == 0 ? "/" : path.substr(0, nSlash);
    pSpec->name = path.substr(nSlash + 1);
}

// The location of a path: its folder made absolute and free of links, its last name as
// given. Fills the location from the text alone, and fails, when the folder cannot be
// resolved.
OSErr LocatePath(const std::string& path, FSSpec* pSpec)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    size_t nSlash = trimmed.rfind('/');
    std::string folder = nSlash == std::string::npos ? "."
                         : nSlash == 0               ? "/"
                                                     : trimmed.substr(0, nSlash);
    std::string name = nSlash == std::string::npos ? trimmed : trimmed.substr(nSlash + 1);

    std::string real;
    if (name.empty() || name == "." || name == "..")
    {
        // The path ends in a folder step: the object is the folder it leads to.
        if (!RealPath(trimmed, &real))
        {
            pSpec->folder = folder;
            pSpec->name = name;
            return ErrorFromErrno(errno);
        }
        SplitAbsolute(real, pSpec);
        return 0;
    }
    if (!RealPath(folder, &real))
    {
        int iError = errno;
        pSpec->folder = folder;
        pSpec->name = name;
        return iError == ENOENT ? dirNFErr : ErrorFromErrno(iError);
    }
    pSpec->folder = real;
    pSpec->name = name;
    return 0;
}

OSErr StatPath(const std::string& path, struct stat* pStatus)
{
    if (stat(path.c_str(), pStatus) != 0)
        return ErrorFromErrno(errno);
    return 0;
}

// Opens a regular file and moves its descriptor above the standard streams.
OSErr OpenPath(const std::string& path, int8_t permission, int* pRefNum)
{
    if (!pRefNum)
        return paramErr;
    int iAccess;
    switch (permission)
    {
    case fsCurPerm:
    case fsRdWrPerm:
        iAccess = O_RDWR;
        break;
    case fsRdPerm:
        iAccess = O_RDONLY;
        break;
    case fsWrPerm:
        iAccess = O_WRONLY;
        break;
    default:
        return paramErr;
    }
    // Non-blocking, so that a FIFO or a device met by name cannot hang the open; such
    // files are refused below.
    const int iFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = open(path.c_str(), iAccess | iFlags);
    if (fd < 0 && permission == fsCurPerm &&
        (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY ||
         errno == EISDIR))
        fd = open(path.c_str(), O_RDONLY | iFlags);
    if (fd < 0)
        return ErrorFromErrno(errno);

    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
    {
        close(fd);
        return notAFileErr;
    }
    int iStatusFlags = fcntl(fd, F_GETFL);
    if (iStatusFlags != -1)
        fcntl(fd, F_SETFL, iStatusFlags & ~O_NONBLOCK);
    if (fd < kFirstFileDescriptor)
    {
        int iMoved = fcntl(fd, F_DUPFD_CLOEXEC, kFirstFileDescriptor);
        int iError = errno;
        close(fd);
        if (iMoved < 0)
            return ErrorFromErrno(iError);
        fd = iMoved;
    }
    *pRefNum = fd;
    return 0;
}

OSErr ReadCode(const std::string& path, const char* pszAttribute, OSType* pCode)
{
    unsigned char value[4];
    ssize_t nLength = getxattr(path.c_str(), pszAttribute, value, sizeof(value));
    if (nLength < 0)
    {
        *pCode = 0;
        // No such code, a longer value that is none of ours, or no attributes at all.
        if (errno == ENODATA || errno == ERANGE || errno == ENOTSUP)
            return 0;
        return ErrorFromErrno(errno);
    }
    *pCode = nLength == 4 ? (OSType(value[0]) << 24) | (OSType(value[1]) << 16) |
                                (OSType(value[2]) << 8) | OSType(value[3])
                          : 0;
    return 0;
}

OSErr WriteCode(const std::string& path, const char* pszAttribute, OSType code)
{
    int iResult;
    if (code == 0)
    {
        iResult = removexattr(path.c_str(), pszAttribute);
        if (iResult != 0 && errno == ENODATA)
            return 0;
    }
    else
    {
        const unsigned char value[4] = {uint8_t(code >> 24), uint8_t(code >> 16),
                                        uint8_t(code >> 8), uint8_t(code)};
        iResult = setxattr(path.c_str(), pszAttribute, value, sizeof(value), 0);
    }
    if (iResult != 0 && errno != ENOTSUP)
        return ErrorFromErrno(errno);
    return 0;
}
} // namespace

OSErr FSPathMakeRef(const char* pszPath, FSRef* pRef, bool* pbIsFolder)
{
    if (!pszPath || !pRef)
        return paramErr;
    if (!*pszPath)
        return fnfErr;
    FSSpec location;
    if (OSErr err = LocatePath(pszPath, &location); err != 0)
        return err == dirNFErr ? fnfErr : err;
    std::string path = JoinPath(location.folder, location.name);
    struct stat status;
    if (OSErr err = StatPath(path, &status); err != 0)
        return err;
    pRef->path = path;
    if (pbIsFolder)
        *pbIsFolder = S_ISDIR(status.st_mode);
    return 0;
}

OSErr FSPathMakeFSSpec(const char* pszPath, FSSpec* pSpec, bool* pbIsFolder)
{
    if (!pSpec)
        return paramErr;
    FSRef ref;
    if (OSErr err = FSPathMakeRef(pszPath, &ref, pbIsFolder); err != 0)
        return err;
    return FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, pSpec);
}

OSErr FSpMakeFSRef(const FSSpec* pSpec, FSRef* pRef)
{
    if (!pSpec)
        return paramErr;
    return FSPathMakeRef(JoinPath(pSpec->folder, pSpec->name).c_str(), pRef, nullptr);
}

OSErr FSMakeFSSpec(const char* pszFolder, const char* pszName, FSSpec* pSpec)
{
    if (!pszFolder || !pszName || !pSpec)
        return paramErr;
    // A leading '/' of the name still counts below the folder.
    if (OSErr err = LocatePath(std::string(pszFolder) + "/" + pszName, pSpec); err != 0)
        return err;
    struct stat status;
    return StatPath(JoinPath(pSpec->folder, pSpec->name), &status);
}

OSErr FSMakeChildSpec(const FSRef* pFolder, const char* pszName, FSSpec* pSpec)
{
    if (!pFolder || !pszName || !pSpec)
        return paramErr;
    std::string name = pszName;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return bdNamErr;
    struct stat status;
    if (OSErr err = StatPath(pFolder->path, &status); err != 0)
        return err == fnfErr ? dirNFErr : err;
    if (!S_ISDIR(status.st_mode))
        return dirNFErr;
    pSpec->folder = pFolder->path;
    pSpec->name = name;
    return 0;
}

OSErr FSGetCatalogInfo(const FSRef* pRef, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* pInfo,
                       std::string* pName, FSSpec* pSpec)
{
    if (!pRef || pRef->path.empty() || pRef->path[0] != '/')
        return paramErr;
    struct stat status;
    if (OSErr err = StatPath(pRef->path, &status); err != 0)
        return err;
    FSSpec location;
    SplitAbsolute(pRef->path, &location);
    if (pInfo && (whichInfo & kFSCatInfoDataSizes))
        pInfo->dataLogicalSize = S_ISDIR(status.st_mode) ? 0 : uint64_t(status.st_size);
    if (pName)
        *pName = location.name;
    if (pSpec)
        *pSpec = location;
    return 0;
}

OSErr FSpOpenDF(const FSSpec* pSpec, int8_t permission, int* pRefNum)
{
    if (!pSpec)
        return paramErr;
    return OpenPath(JoinPath(pSpec->folder, pSpec->name), permission, pRefNum);
}

OSErr FSOpenFork(const FSRef* pRef, int8_t permission, int* pRefNum)
{
    if (!pRef)
        return paramErr;
    return OpenPath(pRef->path, permission, pRefNum);
}

OSErr FSClose(int refNum)
{
    if (refNum <= 0)
        return rfNumErr;
    // Linux releases the descriptor even when close reports an error.
    if (close(refNum) != 0)
        return ErrorFromErrno(errno);
    return 0;
}

OSErr FSRead(int refNum, long* plCount, void* pBuffer)
{
    if (!plCount)
        return paramErr;
    long lWanted = *plCount;
    *plCount = 0;
    if (refNum <= 0)
        return rfNumErr;
    if (lWanted < 0 || (lWanted > 0 && !pBuffer))
        return paramErr;
    auto* pBytes = static_cast<unsigned char*>(pBuffer);
    long lDone = 0;
    while (lDone < lWanted)
    {
        ssize_t nRead = read(refNum, pBytes + lDone, size_t(lWanted - lDone));
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead < 0)
        {
            *plCount = lDone;
            return ErrorFromErrno(errno);
        }
        if (nRead == 0)
            break;
        lDone += nRead;
    }
    *plCount = lDone;
    return lDone < lWanted ? eofErr : 0;
}

OSErr FSWrite(int refNum, long* plCount, const void* pBuffer)
{
    if (!plCount)
        return paramErr;
    long lWanted = *plCount;
    *plCount = 0;
    if (refNum <= 0)
        return rfNumErr;
    if (lWanted < 0 || (lWanted > 0 && !pBuffer))
        return paramErr;
    auto* pBytes = static_cast<const unsigned char*>(pBuffer);
    long lDone = 0;
    while (lDone < lWanted)
    {
        ssize_t nWritten = write(refNum, pBytes + lDone, size_t(lWanted - lDone));
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
        {
            *plCount = lDone;
            return nWritten < 0 ? ErrorFromErrno(errno) : ioErr;
        }
        lDone += nWritten;
    }
    *plCount = lDone;
    return 0;
}

OSErr SetFPos(int refNum, short posMode, long lOffset)
{
    if (refNum <= 0)
        return rfNumErr;
    int iWhence;
    switch (posMode)
    {
    case fsAtMark:
        iWhence = SEEK_CUR;
        lOffset = 0;
        break;
    case fsFromStart:
        iWhence = SEEK_SET;
        break;
    case fsFromLEOF:
        iWhence = SEEK_END;
        break;
    case fsFromMark:
        iWhence = SEEK_CUR;
        break;
    default:
        return paramErr;
    }
    if (lseek(refNum, off_t(lOffset), iWhence) < 0)
        return errno == EINVAL ? posErr : ErrorFromErrno(errno);
    return 0;
}

OSErr GetFPos(int refNum, long* plPosition)
{
    if (refNum <= 0)
        return rfNumErr;
    if (!plPosition)
        return paramErr;
    off_t position = lseek(refNum, 0, SEEK_CUR);
    if (position < 0)
        return ErrorFromErrno(errno);
    *plPosition = long(position);
    return 0;
}

OSErr GetEOF(int refNum, long* plLogEOF)
{
    if (refNum <= 0)
        return rfNumErr;
    if (!plLogEOF)
        return paramErr;
    struct stat status;
    if (fstat(refNum, &status) != 0)
        return ErrorFromErrno(errno);
    *plLogEOF = long(status.st_size);
    return 0;
}

OSErr FSpCreateTemporary(const FSSpec* pBeside, OSType creator, OSType type, FSSpec* pTemporary)
{
    if (!pBeside || !pTemporary)
        return paramErr;
    // A short name of our own, so that even a file whose name has the longest length
    // allowed can be replaced; the process id and a counter keep running programs apart.
    static std::atomic<unsigned> sg_nCounter{0};
    FSSpec temporary;
    temporary.folder = pBeside->folder;
    int fd = -1;
    for (int iTry = 0; iTry < 100 && fd < 0; ++iTry)
    {
        temporary.name =
            ".quillmark-" + std::to_string(getpid()) + "-" + std::to_string(sg_nCounter++);
        fd = open(JoinPath(temporary.folder, temporary.name).c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST)
            return ErrorFromErrno(errno);
    }
    if (fd < 0)
        return dupFNErr;
    close(fd);

    FInfo info;
    info.fdCreator = creator;
    info.fdType = type;
    if (OSErr err = FSpSetFInfo(&temporary, &info); err != 0)
    {
        FSpDelete(&temporary);
        return err;
    }
    *pTemporary = temporary;
    return 0;
}

OSErr FSpReplace(const FSSpec* pSource, const FSSpec* pTarget)
{
    if (!pSource || !pTarget)
        return paramErr;
    if (rename(JoinPath(pSource->folder, pSource->name).c_str(),
               JoinPath(pTarget->folder, pTarget->name).c_str()) != 0)
        return ErrorFromErrno(errno);
    return 0;
}

OSErr FSpDelete(const FSSpec* pSpec)
{
    if (!pSpec)
        return paramErr;
    if (unlink(JoinPath(pSpec->folder, pSpec->name).c_str()) != 0)
        return ErrorFromErrno(errno);
    return 0;
}

OSErr FSpGetFInfo(const FSSpec* pSpec, FInfo* pInfo)
{
    if (!pSpec || !pInfo)
        return paramErr;
    std::string path = JoinPath(pSpec->folder, pSpec->name);
    struct stat status;
    if (OSErr err = StatPath(path, &status); err != 0)
        return err;
    FInfo info;
    if (OSErr err = ReadCode(path, sg_pszTypeAttribute, &info.fdType); err != 0)
        return err;
    if (OSErr err = ReadCode(path, sg_pszCreatorAttribute, &info.fdCreator); err != 0)
        return err;
    *pInfo = info;
    return 0;
}

OSErr FSpSetFInfo(const FSSpec* pSpec, const FInfo* pInfo)
{
    if (!pSpec || !pInfo)
        return paramErr;
    std::string path = JoinPath(pSpec->folder, pSpec->name);
    struct stat status;
    if (OSErr err = StatPath(path, &status); err != 0)
        return err;
    if (OSErr err = WriteCode(path, sg_pszTypeAttribute, pInfo->fdType); err != 0)
        return err;
    return WriteCode(path, sg_pszCreatorAttribute, pInfo->fdCreator);
}
