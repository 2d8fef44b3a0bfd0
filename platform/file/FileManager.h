#pragma once

#include <cstdint>
#include <string>

// The file-system calls of the file object, on POSIX files.
//
// A location (FSSpec) is a folder and a name in it; it may name a file that does not
// exist yet. A file reference (FSRef) is the absolute path of something that exists.
// Both keep the last name as given and resolve only the folder, so a link keeps the
// name the user sees. A reference number is a file descriptor; 0 and below mean none,
// and an open file never gets one of the standard streams (0, 1, 2), so that a process
// started without them cannot mistake a file for one.
//
// Results are File Manager result codes: 0 on success, a negative code on failure.
// Creator and type codes are the extended attributes "user.quillmark.creator" and
// "user.quillmark.type" (four bytes each, the four characters in order); on a file
// system without extended attributes a file simply has none.

using OSErr = int16_t;
using OSType = uint32_t;

constexpr OSErr dskFulErr = -34;
constexpr OSErr ioErr = -36;
constexpr OSErr bdNamErr = -37;
constexpr OSErr eofErr = -39;
constexpr OSErr posErr = -40;
constexpr OSErr tmfoErr = -42;
constexpr OSErr fnfErr = -43;
constexpr OSErr wPrErr = -44;
constexpr OSErr dupFNErr = -48;
constexpr OSErr paramErr = -50;
constexpr OSErr rfNumErr = -51;
constexpr OSErr permErr = -54;
constexpr OSErr dirNFErr = -120;
constexpr OSErr notAFileErr = -1302;

// Access asked of an open.
constexpr int8_t fsCurPerm = 0; // read and write where allowed, else read
constexpr int8_t fsRdPerm = 1;
constexpr int8_t fsWrPerm = 2;
constexpr int8_t fsRdWrPerm = 3;

// Positioning modes of SetFPos.
constexpr short fsAtMark = 0;
constexpr short fsFromStart = 1;
constexpr short fsFromLEOF = 2;
constexpr short fsFromMark = 3;

// What FSGetCatalogInfo fills into its catalogue record.
using FSCatalogInfoBitmap = uint32_t;
constexpr FSCatalogInfoBitmap kFSCatInfoNone = 0;
constexpr FSCatalogInfoBitmap kFSCatInfoDataSizes = 0x4000;

struct FSSpec
{
    std::string folder; // absolute, without links
    std::string name;   // one entry of the folder
};

struct FSRef
{
    std::string path;
};

struct FSCatalogInfo
{
    uint64_t dataLogicalSize = 0; // 0 for a folder
};

struct FInfo
{
    OSType fdType = 0;
    OSType fdCreator = 0;
};

// Path and location conversions. FSPathMakeRef, FSpMakeFSRef and FSPathMakeFSSpec fail
// with fnfErr when nothing exists at the path; the is-a-folder pointer may be null.
OSErr FSPathMakeRef(const char* pszPath, FSRef* pRef, bool* pbIsFolder);
OSErr FSPathMakeFSSpec(const char* pszPath, FSSpec* pSpec, bool* pbIsFolder);
OSErr FSpMakeFSRef(const FSSpec* pSpec, FSRef* pRef);

// The location of a name in a folder. The name may be a partial path below the
// folder ("sub/dump.syx"). Succeeds only when something of that name exists; when the
// folder exists but the name does not, fills the location and returns fnfErr.
OSErr FSMakeFSSpec(const char* pszFolder, const char* pszName, FSSpec* pSpec);

// The location of a file of the given name directly in the folder, existing or not.
// Fails with bdNamErr for a name that is not one folder entry (empty, ".", "..", or
// holding '/').
OSErr FSMakeChildSpec(const FSRef* pFolder, const char* pszName, FSSpec* pSpec);

// The catalogue record (whichInfo says what to fill), the name and the location of
// an existing file or folder. Any of the output pointers may be null.
OSErr FSGetCatalogInfo(const FSRef* pRef, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* pInfo,
                       std::string* pName, FSSpec* pSpec);

// Opens an existing regular file. The reference number is written only on success.
OSErr FSpOpenDF(const FSSpec* pSpec, int8_t permission, int* pRefNum);
OSErr FSOpenFork(const FSRef* pRef, int8_t permission, int* pRefNum);

// The descriptor is released whatever FSClose returns.
OSErr FSClose(int refNum);

// Read and write with an in/out byte count. FSRead answers eofErr when the end of the
// file came before the count.
OSErr FSRead(int refNum, long* plCount, void* pBuffer);
OSErr FSWrite(int refNum, long* plCount, const void* pBuffer);

OSErr SetFPos(int refNum, short posMode, long lOffset);
OSErr GetFPos(int refNum, long* plPosition);

// The length of the open file in bytes.
OSErr GetEOF(int refNum, long* plLogEOF);

// Creates a new, empty file with a name of its own in the folder of pBeside, with the
// creator and type codes (0: none), and gives its location. With FSpReplace this
// replaces a file so that a failure on the way leaves the old one as it was.
OSErr FSpCreateTemporary(const FSSpec* pBeside, OSType creator, OSType type, FSSpec* pTemporary);

// Moves the file at pSource to pTarget in one step, replacing a file there.
OSErr FSpReplace(const FSSpec* pSource, const FSSpec* pTarget);

// Deletes a file (never a folder).
OSErr FSpDelete(const FSSpec* pSpec);

// The creator and type codes of an existing file; a code the file lacks reads as 0,
// and writing 0 removes it.
OSErr FSpGetFInfo(const FSSpec* pSpec, FInfo* pInfo);
OSErr FSpSetFInfo(const FSSpec* pSpec, const FInfo* pInfo);
