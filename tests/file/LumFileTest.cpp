#include "file/LumFile.h"
#include "file/LumResourceFile.h"
#include "platform/bundle/ResourceFolder.h"
#include "platform/file/FileManager.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace std::string_literals;

namespace
{
using Bytes = std::vector<unsigned char>;
using Lines = std::vector<std::string>;

const unsigned long kCreatorQMRK = 0x514D524B; // 'QMRK'
const unsigned long kTypeSysX = 0x53797358;    // 'SysX'

// The creator and type codes as the file system keeps them, one after the other.
std::string Codes(const std::string& path)
{
    std::string codes;
    for (const char* pszName : {"user.quillmark.creator", "user.quillmark.type"})
    {
        char value[16];
        const ssize_t nLength = getxattr(path.c_str(), pszName, value, sizeof(value));
        codes += nLength < 0 ? std::string() : std::string(value, size_t(nLength));
    }
    return codes;
}

// A folder of the test's own and the log lines written meanwhile.
class LumFileTest : public ::testing::Test
{
protected:
    FSSpec Location(const std::string& name) const { return FSSpec{m_dir.Path(), name}; }
    long Entries() const
    {
        return std::distance(std::filesystem::directory_iterator(m_dir.Path()), {});
    }

    LogCapture m_log;
    TempDir m_dir;
    // Where the file system keeps no extended attributes, no codes can be checked.
    const bool m_bCodes = setxattr(m_dir.Path().c_str(), "user.probe", "x", 1, 0) == 0;
    const std::string m_sCodes = m_bCodes ? "QMRKSysX" : "";
};
} // namespace

TEST_F(LumFileTest, TakesExtensionsReadsWritesAndOpensWithoutEverTakingAStandardStream)
{
    // The buffer afterwards, cut to the size and the rest NUL-filled, or left alone.
    const std::tuple<const char*, int, int, std::string> cases[] = {
        {"dump.syx", 8, 1, ".syx\0\0\0\0"s}, {"a.b.syx", 8, 1, ".syx\0\0\0\0"s},
        {"dir.d/file", 8, 1, ".d/file\0"s},  {"README", 8, 0, "zzzzzzzz"},
        {".profile", 8, 0, "zzzzzzzz"},      {"", 8, 0, "zzzzzzzz"},
        {"x.midi", 4, 1, ".mi\0zzzz"s},      {"x.y", 6, 1, ".y\0\0\0\0zz"s},
        {"x.y", 1, 1, "\0zzzzzzz"s},         {"x.y", 0, 0, "zzzzzzzz"}};
    for (const auto& [pszName, iSize, iResult, sBuffer] : cases)
    {
        char buffer[8];
        memset(buffer, 'z', sizeof(buffer));
        EXPECT_EQ(CLumFile::GetExtension(pszName, buffer, iSize), iResult) << pszName;
        EXPECT_EQ(std::string(buffer, 8), sBuffer) << pszName << iSize;
    }
    char szName[32] = ".profile";
    EXPECT_EQ(CLumFile::ReplaceExtension(szName, ".syx"), 0);
    strcpy(szName, "song.v2.msy");
    EXPECT_EQ(CLumFile::ReplaceExtension(szName, ".syx"), 1);
    EXPECT_STREQ(szName, "song.v2.syx");
    EXPECT_EQ(CLumFile::RemoveExtension(szName), 1);
    EXPECT_EQ(CLumFile::AddExtension(szName, "msy"), szName); // no dot is inserted
    EXPECT_STREQ(szName, "song.v2msy");

    CLumFile file;
    char buffer[10] = {};
    long lPosition = 42, lLength = 0;
    EXPECT_EQ((std::vector<long>{file.IsOpened(), file.Read(buffer, 4), file.Write(buffer, 4),
                                 file.SetPos(0, 2), file.GetPos(&lPosition), file.Close()}),
              std::vector<long>(6, 0));

    std::string path = m_dir.Write("data.bin", "");
    ASSERT_EQ(file.Open(path.c_str(), 3), 1);
    EXPECT_EQ(file.Write("\xF0\x43\x10\x4C\x00\xF7", 6), 6);
    EXPECT_EQ(file.GetPos(&lPosition), 1);
    EXPECT_EQ(GetEOF(file.m_refNum, &lLength), 0);
    EXPECT_EQ(std::make_pair(lPosition, lLength), std::make_pair(6L, 6L));
    EXPECT_EQ(file.SetPos(0, 2), 1);
    EXPECT_EQ(file.Read(buffer, 6), 6);
    EXPECT_EQ(std::string(buffer, 6), "\xF0\x43\x10\x4C\x00\xF7"s);
    int fd = file.m_refNum;
    EXPECT_EQ(file.Close(), 1);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(TempDir::Read(path), (Bytes{0xF0, 0x43, 0x10, 0x4C, 0x00, 0xF7}));

    // Across the end: what was there.
    ASSERT_EQ(file.Open(path.c_str(), 9), 1);
    ASSERT_EQ(file.SetPos(-2, 1), 1);
    EXPECT_EQ(file.Read(buffer, 10), 2);
    EXPECT_EQ(buffer[1], '\xF7');
    EXPECT_EQ(file.Read(buffer, 10) + file.Read(buffer, -1), 0);
    file.Close();

    unsigned long long ullSize = 99;
    EXPECT_EQ(CLumFile::GetFileSize(path.c_str(), &ullSize), 1);
    for (const std::string& sNotAFile : {m_dir.Path(), m_dir.File("none")})
        EXPECT_EQ(CLumFile::GetFileSize(sNotAFile.c_str(), &ullSize), 0);
    EXPECT_EQ(ullSize, 6u);

    // SetPos origins: 2 from the start, 0 from here, 1 from the end, any other stays.
    ASSERT_EQ(file.Open(m_dir.Write("abc", "ABCDEFGH").c_str(), 9), 1);
    const long moves[][4] = {{1, 2, 1, 1}, {0, 2, 1, 0},   {3, 0, 1, 3}, {0, 1, 1, 8},
                             {5, 2, 1, 5}, {100, 7, 1, 5}, {-1, 2, 0, 5}};
    for (const auto& move : moves)
    {
        EXPECT_EQ(file.SetPos(move[0], int(move[1])), move[2]) << move[0];
        file.GetPos(&lPosition);
        EXPECT_EQ(lPosition, move[3]) << move[0];
    }
    EXPECT_EQ(m_log.Lines(), Lines{"Failed to SetFPos() : -40"});
    file.Close();

    // A descriptor is released even when closing it fails; keeping the number would later
    // close whatever file reuses it.
    fd = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3); // a number no file holds after this
    ASSERT_EQ(close(fd), 0);
    EXPECT_EQ(file.MacAttach(fd), 1);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(file.IsOpened(), 0);

    // The modes give their access; only the low bits count.
    const std::tuple<int, const char*, long, long> modes[] = {
        {9, "x", 1, 0}, {2 | 0x40, "W", 0, 1}, {0, "Z", 1, 1}};
    for (const auto& [iMode, pszWrite, lRead, lWritten] : modes)
    {
        ASSERT_EQ(file.Open(path.c_str(), iMode), 1);
        EXPECT_EQ(file.Read(buffer, 1), lRead) << iMode;
        EXPECT_EQ(file.Write(pszWrite, 1), lWritten) << iMode;
        file.Close();
    }
    EXPECT_EQ(TempDir::Read(path), (Bytes{'W', 'Z', 0x10, 0x4C, 0x00, 0xF7}));

    // No way of opening takes a standard stream's descriptor. By location or reference the
    // location is set; by path, and on a failure, it stays, and a failed open by path keeps
    // the file held. Destroying the object leaves its file open.
    m_log.Clear();
    const std::string sDump = m_dir.Write("dump.syx", Bytes{0xF0, 0xF7});
    FSSpec dump = Location("dump.syx"), gone = Location("gone.syx");
    FSRef ref{sDump}, missing{m_dir.File("none")}, folder{m_dir.Path()};
    // Started without standard input, a process gets descriptor 0 from its next open;
    // an open file must never sit there, where it would read as "no file".
    int iSaved = fcntl(0, F_DUPFD_CLOEXEC, 3); // -1 when already started without one
    close(0);
    CLumFile byPath, byLocation, byReference;
    int iOpened =
        byPath.Open(sDump.c_str(), 1) + byLocation.MacOpen(&dump, 1) + byReference.MacOpen(&ref, 1);
    bool bZeroStillFree = fcntl(0, F_GETFD) == -1;
    dup2(iSaved, 0);
    close(iSaved);
    for (CLumFile* pOpened : {&byPath, &byLocation, &byReference})
        pOpened->Close();
    EXPECT_EQ(iOpened, 3);
    EXPECT_TRUE(bZeroStillFree);

    auto* pFile = new CLumFile;
    ASSERT_EQ(pFile->MacOpen(&dump, 9), 1);
    pFile->Close();
    pFile->m_spec = FSSpec();
    ASSERT_EQ(pFile->MacOpen(&ref, 1), 1);
    EXPECT_EQ(pFile->m_spec.folder, m_dir.Path());
    EXPECT_EQ(pFile->m_spec.name, "dump.syx");
    const int iHeld = pFile->m_refNum;
    const std::string sMissing = m_dir.File("missing.syx");
    for (const char* pszPath : {sMissing.c_str(), m_dir.Path().c_str(), (const char*)nullptr})
        EXPECT_EQ(pFile->Open(pszPath, 1), 0); // a folder is no file
    EXPECT_EQ(pFile->m_refNum, iHeld);

    EXPECT_EQ(pFile->MacOpen(&gone, 9) + pFile->MacOpen(&missing, 1) + pFile->MacOpen(&folder, 1),
              0);
    const std::string sByRef = "CLumFile::MacOpenWithFSRef() - Failed to call FSOpenFork().";
    EXPECT_EQ(m_log.Lines(), (Lines{"CLumFile::MacOpenWithFSSpec() - Failed to call FSpOpenDF().",
                                    sByRef, sByRef}));
    ASSERT_EQ(pFile->Open(m_dir.Write("other.syx", "y").c_str(), 1), 1);
    EXPECT_EQ(pFile->m_spec.name, "dump.syx");
    const int otherFd = pFile->m_refNum;
    delete pFile;
    for (int iOpen : {iHeld, otherFd})
    {
        EXPECT_NE(fcntl(iOpen, F_GETFD), -1);
        close(iOpen);
    }
}

// The old file stays until the new one is complete, after a failed write, and when no file
// can be made or a folder is in the way or given as the folder. A name of up to 255 UTF-16
// units that the file system holds, naming one entry of the folder and no folder, is
// created; anything else fails with its code, creating nothing.
TEST_F(LumFileTest, WriteOpenReplacesOnlyOnceCompleteAndCreateOpenTakesNamesOfOneEntry)
{
    std::string path = m_dir.Write("keep.syx", "precious");
    std::filesystem::create_directory(m_dir.File("taken"));
    m_dir.Write("taken/inside", "x");
    FSSpec kept = Location("keep.syx"), taken = Location("taken"), inFile{path, "dump.syx"};
    CLumFile file;
    for (FSSpec* pSpec : {&taken, &inFile, static_cast<FSSpec*>(nullptr)})
        EXPECT_EQ(file.MacWriteOpen(pSpec, 2, kCreatorQMRK, kTypeSysX), 0);

    // With no descriptor left, no file can be created, while deleting would still work.
    int iLowestFree = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(iLowestFree, 0);
    close(iLowestFree);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(iLowestFree);
    // The sanitizers need descriptors to check an object's type the first time it is
    // used; checked once here, it is not checked again under the limit.
    ASSERT_EQ(file.IsOpened(), 0);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    int iResult = file.MacWriteOpen(&kept, 2, kCreatorQMRK, kTypeSysX);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(iResult, 0);
    EXPECT_EQ(file.IsOpened(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.File("taken")));
    EXPECT_EQ(m_log.Lines(), Lines(4, "CLumFile::MacWriteOpen : Failed to create file."));
    m_log.Clear();

    // Mode 1 asks for reading; the file is opened for writing all the same.
    ASSERT_EQ(file.MacWriteOpen(&kept, 1, kCreatorQMRK, kTypeSysX), 1);
    long lLength = -1;
    EXPECT_EQ(GetEOF(file.m_refNum, &lLength), 0);
    EXPECT_EQ(lLength, 0);
    EXPECT_EQ(file.Write("\xF0\x01\xF7", 3), 3);
    EXPECT_EQ(TempDir::Read(path), (Bytes{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    EXPECT_EQ(file.Close(), 1);
    EXPECT_EQ(TempDir::Read(path), (Bytes{0xF0, 0x01, 0xF7}));
    EXPECT_EQ(Codes(path), m_sCodes);
    EXPECT_TRUE(m_log.Lines().empty());

    // A file-size limit makes the write stop short, as a full disk would.
    ASSERT_EQ(file.MacWriteOpen(&kept, 2, kCreatorQMRK, kTypeSysX), 1);
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    tight = saved;
    tight.rlim_cur = 4;
    sighandler_t pOldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    long lWritten = file.Write("\xF0\x01\x02\x03\x04\xF7", 6);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, pOldHandler);
    EXPECT_EQ(lWritten, 4);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(TempDir::Read(path), (Bytes{0xF0, 0x01, 0xF7}));
    EXPECT_EQ(Entries(), 2);
    EXPECT_EQ(m_log.Lines(), Lines{"CLumFile::Close : Failed to replace the file."});

    std::string astral, accented;
    for (int i = 0; i < 128; ++i)
    {
        astral += "\xF0\x9F\x8E\xB9"; // two UTF-16 units each
        accented += "\xC3\xA9";       // one unit but two bytes: 256 bytes
    }
    const std::string sTooLong = "Filename is too long. err=0";
    const std::string sCannot = "Failed to call FSCreateFileUnicode(). err=";
    const std::string sHere = m_dir.Path();
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {sHere, std::string(256, 'n'), sTooLong},
        {sHere, std::string(65537, 'n'), sTooLong}, // would read as 1 if kept in 16 bits
        {sHere, astral, sTooLong},
        {sHere, accented, sCannot + "-37"},
        {sHere, "taken/inside", sCannot + "-37"},
        {sHere, "", sCannot + "-37"},
        {sHere, "..", sCannot + "-37"},
        {sHere, "taken", sCannot + "-1302"},
        {m_dir.File("missing"), "x.syx", sCannot + "-120"}};
    for (const auto& [sFolder, sName, sLog] : cases)
    {
        m_log.Clear();
        FSRef folder{sFolder};
        EXPECT_EQ(file.MacCreateOpen(&folder, sName.c_str(), 2, kCreatorQMRK, kTypeSysX), 0);
        EXPECT_EQ(m_log.Lines(), Lines{"CLumFile::MacCreateWithFSRef() - " + sLog})
            << sName.substr(0, 20);
    }
    EXPECT_EQ(TempDir::Read(m_dir.File("taken/inside")), Bytes{'x'});
    EXPECT_EQ(Entries(), 2);

    // Created with the codes, replacing what was there, opened with the mode.
    const std::string name(255, 'n');
    m_dir.Write(name, "old");
    FSRef folder{sHere};
    ASSERT_EQ(file.MacCreateOpen(&folder, name.c_str(), 3, kCreatorQMRK, kTypeSysX), 1);
    EXPECT_EQ(fcntl(file.m_refNum, F_GETFL) & O_ACCMODE, O_RDWR);
    EXPECT_EQ(file.Write("AB", 2), 2);
    file.Close();
    EXPECT_EQ(TempDir::Read(m_dir.File(name)), (Bytes{'A', 'B'}));
    EXPECT_EQ(Codes(m_dir.File(name)), m_sCodes);

    // Changing one code keeps the other; a missing file is logged.
    m_log.Clear();
    FSSpec none = Location("none");
    FSRef noneRef{m_dir.File("none")};
    EXPECT_EQ(CLumFile::MacChangeCreator(&none, kCreatorQMRK), 0);
    EXPECT_EQ(CLumFile::MacChangeType(&noneRef, kTypeSysX), 0);
    EXPECT_EQ(m_log.Lines(),
              (Lines{"CLumFile::MacChangeCreator() - Failed to call FSpGetFInfo(). err=-43",
                     "CLumFile::MacChangeType() - Failed to call FSGetCatalogInfo(). err=-43"}));
    if (!m_bCodes)
        GTEST_SKIP() << "the temporary folder's file system keeps no extended attributes";
    const std::string coded = m_dir.Write("f.syx", "x");
    FSSpec spec = Location("f.syx");
    EXPECT_EQ(CLumFile::MacChangeType(&spec, kTypeSysX), 1);
    EXPECT_EQ(Codes(coded), "SysX");
    FSRef ref{coded};
    EXPECT_EQ(CLumFile::MacChangeCreator(&ref, kCreatorQMRK), 1);
    EXPECT_EQ(Codes(coded), "QMRKSysX");
}

// A location names one entry of an absolute folder, also for a partial path and for a file
// still missing (a save needs it); a link keeps its own name; relative paths become absolute.
// Missing arguments and files, non-files (a FIFO would block an open), unknown descriptors
// and modes are refused with their codes, touching nothing.
using FileManager = LumFileTest;
TEST_F(FileManager, LocatesOneEntryOfAnAbsoluteFolderAndRefusesWhatItCannotDo)
{
    m_dir.Write("dump.syx", "x");
    std::filesystem::create_directory(m_dir.File("sub"));
    m_dir.Write("sub/inner.syx", "y");
    FSSpec located;
    for (const char* pszName : {"dump.syx", "sub/inner.syx", "new.syx"})
    {
        EXPECT_EQ(FSMakeFSSpec(m_dir.Path().c_str(), pszName, &located),
                  *pszName == 'n' ? fnfErr : 0);
        EXPECT_EQ(located.folder + "/" + located.name, m_dir.File(pszName));
        EXPECT_EQ(located.name, std::filesystem::path(pszName).filename());
    }

    std::string target = m_dir.Write("target.syx", "x");
    ASSERT_EQ(symlink(target.c_str(), m_dir.File("link.syx").c_str()), 0);
    bool bIsFolder = true;
    EXPECT_EQ(FSPathMakeFSSpec(m_dir.File("link.syx").c_str(), &located, &bIsFolder), 0);
    EXPECT_EQ(located.name, "link.syx");
    EXPECT_FALSE(bIsFolder);

    std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.Path());
    FSRef up;
    const std::vector<OSErr> errs{FSPathMakeRef("target.syx", &up, &bIsFolder),
                                  FSPathMakeRef("../", &up, &bIsFolder)};
    std::filesystem::current_path(cwd);
    EXPECT_EQ(errs, std::vector<OSErr>(2, 0));
    EXPECT_TRUE(bIsFolder);
    EXPECT_EQ(up.path, std::filesystem::path(m_dir.Path()).parent_path().string());

    // A plain file has no codes.
    FInfo codes{1, 2};
    EXPECT_EQ(FSpGetFInfo(&located, &codes), 0);
    EXPECT_EQ(std::make_pair(codes.fdCreator, codes.fdType), std::make_pair(0u, 0u));

    const std::string path = m_dir.Write("f", "abc");
    ASSERT_EQ(mkfifo(m_dir.File("fifo").c_str(), 0600), 0);
    FSSpec spec{m_dir.Path(), "f"}, missing{m_dir.Path(), "missing"}, out;
    FSSpec fifo{m_dir.Path(), "fifo"}, here{m_dir.Path(), ""};
    FSRef ref{path}, folder{m_dir.Path()}, relative{"f"};
    FInfo info;
    long lCount = 1, lNegativeRead = -1, lNegativeWrite = -1;
    int refNum = 0, fd = 0;
    char c = 0;
    ASSERT_EQ(FSpOpenDF(&spec, fsRdWrPerm, &fd), 0);
    // Errors of the system become their codes: a folder replaced by a full one, a full
    // disk, a missing folder before "..".
    std::filesystem::create_directories(m_dir.File("full/inner"));
    std::filesystem::create_directory(m_dir.File("empty"));
    FSSpec empty{m_dir.Path(), "empty"}, full{m_dir.Path(), "full"};
    const int fdFull = open("/dev/full", O_WRONLY | O_CLOEXEC);
    long lOne = 1;
    const std::vector<std::pair<OSErr, OSErr>> calls = {
        {FSpReplace(&empty, &full), dupFNErr},
        {FSWrite(fdFull, &lOne, &c), dskFulErr},
        {FSMakeFSSpec(m_dir.Path().c_str(), "nowhere/..", &out), fnfErr},
        {FSMakeFSSpec(m_dir.File("nowhere").c_str(), "x.syx", &out), dirNFErr},
        {FSMakeFSSpec(m_dir.Path().c_str(), "x", nullptr), paramErr},
        {FSPathMakeFSSpec(m_dir.File("none").c_str(), &out, nullptr), fnfErr},
        {FSPathMakeFSSpec(m_dir.Path().c_str(), nullptr, nullptr), paramErr},
        {FSPathMakeRef(nullptr, &ref, nullptr), paramErr},
        {FSPathMakeRef("", &ref, nullptr), fnfErr},
        {FSpMakeFSRef(nullptr, &ref), paramErr},
        {FSMakeChildSpec(nullptr, "x", &out), paramErr},
        {FSMakeChildSpec(&folder, "a/b", &out), bdNamErr},
        {FSMakeChildSpec(&ref, "x", &out), dirNFErr},
        {FSGetCatalogInfo(&relative, kFSCatInfoNone, nullptr, nullptr, &out), paramErr},
        {FSpOpenDF(&fifo, fsRdPerm, &refNum), notAFileErr},
        {FSpOpenDF(&here, fsCurPerm, &refNum), notAFileErr},
        {FSpOpenDF(nullptr, fsRdPerm, &refNum), paramErr},
        {FSpOpenDF(&spec, fsRdPerm, nullptr), paramErr},
        {FSpOpenDF(&spec, 9, &refNum), paramErr},
        {FSOpenFork(nullptr, fsRdPerm, &refNum), paramErr},
        {FSClose(0), rfNumErr},
        {FSRead(3, nullptr, &c), paramErr},
        {FSRead(0, &lCount, &c), rfNumErr},
        {FSWrite(3, nullptr, &c), paramErr},
        {FSWrite(0, &lCount, &c), rfNumErr},
        {SetFPos(0, fsFromStart, 0), rfNumErr},
        {GetFPos(0, &lCount), rfNumErr},
        {GetEOF(0, &lCount), rfNumErr},
        {FSpCreateTemporary(nullptr, 0, 0, &out), paramErr},
        {FSpReplace(&spec, nullptr), paramErr},
        {FSpDelete(nullptr), paramErr},
        {FSpGetFInfo(&spec, nullptr), paramErr},
        {FSpGetFInfo(&missing, &info), fnfErr},
        {FSpSetFInfo(&missing, &info), fnfErr},
        {FSpSetFInfo(nullptr, &info), paramErr},
        {FSRead(fd, &lNegativeRead, &c), paramErr},
        {FSWrite(fd, &lNegativeWrite, &c), paramErr},
        {SetFPos(fd, 9, 0), paramErr},
        {GetFPos(fd, nullptr), paramErr},
        {GetEOF(fd, nullptr), paramErr}};
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i].first, calls[i].second) << "call " << i;
    close(fdFull);
    EXPECT_EQ(refNum, 0);
    EXPECT_EQ(FSClose(fd), 0);
    EXPECT_EQ(TempDir::Read(path), (Bytes{'a', 'b', 'c'}));
}

// Read-only whatever the mode, closed by the destructor; a name missing, a folder or outside
// the resource folder gives 0 and closes the object, quietly.
using LumResourceFile = LumFileTest;
TEST_F(LumResourceFile, OpensOnlyAResourceByItsFullNameForReadingInTheUsersLanguage)
{
    ScopedEnv lcAll{"LC_ALL", nullptr}, lcMessages{"LC_MESSAGES", nullptr};
    ScopedEnv lang{"LANG", "de_AT.UTF-8"}, resources{"QUILLMARK_RESOURCES", m_dir.Path()};
    const auto readAll = [](CLumResourceFile& file)
    {
        char buffer[64] = {};
        const long lCount = file.Read(buffer, sizeof(buffer));
        return std::string(buffer, size_t(lCount > 0 ? lCount : 0));
    };
    TempDir outside;
    outside.Write("secret.txt", "secret");
    for (const char* pszFolder : {"sub", "de.lproj", "de_AT.lproj"})
        std::filesystem::create_directory(m_dir.File(pszFolder));
    m_dir.Write("sub/inner.txt", "inner");
    m_dir.Write("Data.bin", "plain");
    auto* pFile = new CLumResourceFile;
    ASSERT_EQ(pFile->Open(nullptr, "Data.bin", 3), 1);
    EXPECT_EQ(fcntl(pFile->m_refNum, F_GETFL) & O_ACCMODE, O_RDONLY);
    EXPECT_EQ(pFile->Write("xyz", 3), 0);
    EXPECT_EQ(readAll(*pFile), "plain");
    EXPECT_EQ(pFile->SetPos(1, 2), 1);
    EXPECT_EQ(readAll(*pFile), "lain");
    EXPECT_EQ(pFile->Close(), 1);
    EXPECT_EQ(pFile->Close(), 0);

    const std::string relative =
        "../" + std::filesystem::path(outside.Path()).filename().string() + "/secret.txt";
    ASSERT_EQ(pFile->Open(nullptr, "Data.bin", 1), 1);
    int fd = pFile->m_refNum;
    for (const char* pszName : {"Missing.txt", "sub", relative.c_str(), "sub/inner.txt", "..",
                                static_cast<const char*>(nullptr)})
    {
        EXPECT_EQ(pFile->Open(nullptr, pszName, 1), 0) << (pszName ? pszName : "null");
        EXPECT_EQ(pFile->IsOpened(), 0);
    }
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);

    ASSERT_EQ(pFile->Open(nullptr, "Data.bin", 2), 1);
    fd = pFile->m_refNum;
    delete pFile;
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(TempDir::Read(m_dir.File("Data.bin")), (Bytes{'p', 'l', 'a', 'i', 'n'}));
    EXPECT_TRUE(m_log.Lines().empty());

    // The user's language comes first. The folder is the variable's without its trailing
    // slashes, or the one beside the program.
    m_dir.Write("Help.txt", "base");
    m_dir.Write("de.lproj/Help.txt", "deutsch");
    m_dir.Write("de_AT.lproj/Help.txt", "oesterreichisch");
    m_dir.Write("de.lproj/Only.txt", "nur deutsch");
    CLumResourceFile file;
    ASSERT_EQ(file.Open(nullptr, "Only.txt", 1), 1); // region falls back to language
    EXPECT_EQ(readAll(file), "nur deutsch");
    const std::pair<const char*, const char*> languages[] = {{"de_AT.UTF-8", "oesterreichisch"},
                                                             {"de_DE.UTF-8", "deutsch"},
                                                             {"fr_FR.UTF-8", "base"},
                                                             {"C", "base"}};
    for (const auto& [pszLang, pszText] : languages)
    {
        setenv("LANG", pszLang, 1);
        ASSERT_EQ(file.Open(nullptr, "Help.txt", 1), 1);
        EXPECT_EQ(readAll(file), pszText) << pszLang;
    }

    ScopedEnv slashes{"QUILLMARK_RESOURCES", m_dir.Path() + "//"};
    EXPECT_EQ(GetResourceFolder(), m_dir.Path());
    ScopedEnv unset{"QUILLMARK_RESOURCES", nullptr};
    const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(GetResourceFolder(), exe.substr(0, exe.rfind('/')) + "/../share/quillmark");
}
