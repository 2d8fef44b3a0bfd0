#include "file/LumFile.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/xattr.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

const unsigned long kCreatorQMRK = 0x514D524B; // 'QMRK'
const unsigned long kTypeSysX = 0x53797358;    // 'SysX'

std::string Attribute(const std::string& path, const char* pszName)
{
    char value[16];
    ssize_t nLength = getxattr(path.c_str(), pszName, value, sizeof(value));
    return nLength < 0 ? std::string() : std::string(value, size_t(nLength));
}

// A folder of the test's own and the log lines written meanwhile.
class LumFileTest : public ::testing::Test
{
protected:
    FSSpec Location(const std::string& name) const { return FSSpec{m_dir.Path(), name}; }
    static FSRef Reference(const std::string& path)
    {
        FSRef ref;
        ref.path = path;
        return ref;
    }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The creator and type codes, where the folder's file system keeps extended attributes.
    void ExpectCodes(const std::string& path) const
    {
        std::string probe = m_dir.Write("probe", "");
        const bool bSupported = setxattr(probe.c_str(), "user.probe", "x", 1, 0) == 0;
        unlink(probe.c_str());
        if (!bSupported)
            return;
        EXPECT_EQ(Attribute(path, "user.quillmark.creator"), "QMRK");
        EXPECT_EQ(Attribute(path, "user.quillmark.type"), "SysX");
    }

    LogCapture m_log;
    TempDir m_dir;
};
} // namespace

TEST(LumFileExtension, TakesTheTextFromTheLastDotButNotALeadingOne)
{
    const struct
    {
        const char* pszName;
        const char* pszExtension; // none: the buffer is left alone
    } cases[] = {{"dump.syx", ".syx"}, {"a.b.syx", ".syx"},   {"dir.d/file", ".d/file"},
                 {"README", nullptr},  {".profile", nullptr}, {"", nullptr}};
    for (const auto& c : cases)
    {
        char szExtension[16] = "keep";
        EXPECT_EQ(CLumFile::GetExtension(c.pszName, szExtension, sizeof(szExtension)),
                  c.pszExtension ? 1 : 0)
            << c.pszName;
        EXPECT_STREQ(szExtension, c.pszExtension ? c.pszExtension : "keep") << c.pszName;
    }
    // Cut to the given size, the rest of it filled with NULs, nothing beyond it touched.
    char buffer[8];
    memset(buffer, 'z', sizeof(buffer));
    EXPECT_EQ(CLumFile::GetExtension("x.midi", buffer, 4), 1);
    EXPECT_EQ(std::string(buffer, 5), std::string(".mi\0z", 5));
    memset(buffer, 'z', sizeof(buffer));
    EXPECT_EQ(CLumFile::GetExtension("x.y", buffer, 6), 1);
    EXPECT_EQ(std::string(buffer, 7), std::string(".y\0\0\0\0z", 7));
    EXPECT_EQ(CLumFile::GetExtension("x.y", buffer, 1), 1);
    EXPECT_EQ(buffer[0], '\0');
    buffer[0] = 'z';
    EXPECT_EQ(CLumFile::GetExtension("x.y", buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'z');

    char szName[32] = ".profile";
    EXPECT_EQ(CLumFile::RemoveExtension(szName), 0);
    strcpy(szName, "song.syx");
    EXPECT_EQ(CLumFile::RemoveExtension(szName), 1);
    EXPECT_EQ(CLumFile::ReplaceExtension(szName, ".syx"), 0);
    EXPECT_EQ(CLumFile::AddExtension(szName, "msy"), szName); // no dot is inserted
    EXPECT_STREQ(szName, "songmsy");
    strcpy(szName, "song.v2.msy");
    EXPECT_EQ(CLumFile::ReplaceExtension(szName, ".syx"), 1);
    EXPECT_STREQ(szName, "song.v2.syx");
}

TEST_F(LumFileTest, ReadWriteAndPositionsRoundTrip)
{
    std::string path = m_dir.Write("data.bin", "");
    CLumFile file;
    ASSERT_EQ(file.Open(path.c_str(), 3), 1);
    EXPECT_EQ(file.IsOpened(), 1);
    const Bytes written{0xF0, 0x43, 0x10, 0x4C, 0x00, 0xF7};
    EXPECT_EQ(file.Write(written.data(), 6), 6);
    long lPosition = -1, lLength = 0;
    EXPECT_EQ(file.GetPos(&lPosition), 1);
    EXPECT_EQ(GetEOF(file.m_refNum, &lLength), 0);
    EXPECT_EQ(std::make_pair(lPosition, lLength), std::make_pair(6L, 6L));
    EXPECT_EQ(file.SetPos(0, 2), 1);
    Bytes read(10);
    EXPECT_EQ(file.Read(read.data(), 6), 6);
    EXPECT_EQ(Bytes(read.begin(), read.begin() + 6), written);
    int fd = file.m_refNum;
    EXPECT_EQ(file.Close(), 1);
    EXPECT_EQ(file.m_refNum, 0);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(TempDir::Read(path), written);

    // Across the end: what was there.
    ASSERT_EQ(file.Open(path.c_str(), 9), 1);
    ASSERT_EQ(file.SetPos(-2, 1), 1);
    EXPECT_EQ(file.Read(read.data(), 10), 2);
    EXPECT_EQ(read[1], 0xF7);
    EXPECT_EQ(file.Read(read.data(), 10), 0);
    EXPECT_EQ(file.Read(read.data(), -1), 0);
    file.Close();

    unsigned long long ullSize = 99;
    EXPECT_EQ(CLumFile::GetFileSize(path.c_str(), &ullSize), 1);
    EXPECT_EQ(ullSize, 6u);
    for (const std::string& sNotAFile : {m_dir.Path(), m_dir.File("none")})
        EXPECT_EQ(CLumFile::GetFileSize(sNotAFile.c_str(), &ullSize), 0);
    EXPECT_EQ(ullSize, 6u);

    // SetPos origins: 2 from the start, 0 from here, 1 from the end, any other stays.
    ASSERT_EQ(file.Open(m_dir.Write("abc", "ABCDEFGH").c_str(), 9), 1);
    const struct
    {
        long lOffset;
        int iOrigin;
        int iResult;
        long lPosition;
    } moves[] = {{1, 2, 1, 1}, {0, 2, 1, 0},   {3, 0, 1, 3}, {0, 1, 1, 8},
                 {5, 2, 1, 5}, {100, 7, 1, 5}, {-1, 2, 0, 5}};
    for (const auto& move : moves)
    {
        EXPECT_EQ(file.SetPos(move.lOffset, move.iOrigin), move.iResult) << move.lOffset;
        file.GetPos(&lPosition);
        EXPECT_EQ(lPosition, move.lPosition) << move.lOffset;
    }
    char c = 0;
    ASSERT_EQ(file.Read(&c, 1), 1);
    EXPECT_EQ(c, 'F');
    EXPECT_EQ(m_log.Lines(), std::vector<std::string>{"Failed to SetFPos() : -40"});
    file.Close();
}

// A descriptor is released even when closing it fails; keeping the number would later
// close whatever file reuses it.
TEST_F(LumFileTest, NothingWorksWithoutAnOpenFileAndAFailedCloseStillCloses)
{
    CLumFile file;
    char buffer[4] = {};
    long lPosition = 42;
    EXPECT_EQ(file.m_refNum, 0);
    EXPECT_EQ((std::vector<long>{file.IsOpened(), file.Read(buffer, 4), file.Write(buffer, 4),
                                 file.SetPos(0, 2), file.GetPos(&lPosition), file.Close()}),
              std::vector<long>(6, 0));
    EXPECT_EQ(lPosition, 42);
    EXPECT_TRUE(m_log.Lines().empty());

    int fd = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3); // a number no file holds after this
    ASSERT_GE(fd, 3);
    ASSERT_EQ(close(fd), 0);
    EXPECT_EQ(file.MacAttach(fd), 1);
    EXPECT_EQ(file.IsOpened(), 1);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(file.IsOpened(), 0);
}

TEST_F(LumFileTest, ModesGiveTheirAccessAndOnlyTheLowBitsCount)
{
    std::string path = m_dir.Write("m", "data");
    const struct
    {
        int iMode;
        const char* pszWrite;
        long lRead, lWritten;
    } modes[] = {{9, "x", 1, 0}, {2 | 0x40, "W", 0, 1}, {0, "Z", 1, 1}};
    for (const auto& mode : modes)
    {
        CLumFile file;
        char c = 0;
        ASSERT_EQ(file.Open(path.c_str(), mode.iMode), 1);
        EXPECT_EQ(file.Read(&c, 1), mode.lRead) << mode.iMode;
        EXPECT_EQ(file.Write(mode.pszWrite, 1), mode.lWritten) << mode.iMode;
        file.Close();
    }
    EXPECT_EQ(TempDir::Read(path), (Bytes{'W', 'Z', 't', 'a'}));
}

// Opening by path neither closes the file held nor changes the location; destroying the
// object leaves its file open.
TEST_F(LumFileTest, OpenByPathFailsQuietlyAndKeepsTheLocation)
{
    m_dir.Write("known.syx", "x");
    auto* pFile = new CLumFile;
    FSSpec known = Location("known.syx");
    ASSERT_EQ(pFile->MacOpen(&known, 1), 1);
    const int fd = pFile->m_refNum;
    const std::string missing = m_dir.File("missing.syx");
    for (const char* pszPath :
         {missing.c_str(), m_dir.Path().c_str(), static_cast<const char*>(nullptr)})
        EXPECT_EQ(pFile->Open(pszPath, 1), 0); // a folder is no file
    EXPECT_EQ(pFile->m_refNum, fd);
    EXPECT_TRUE(m_log.Lines().empty());

    ASSERT_EQ(pFile->Open(m_dir.Write("other.syx", "y").c_str(), 1), 1);
    EXPECT_EQ(pFile->m_spec.name, "known.syx");
    const int otherFd = pFile->m_refNum;
    delete pFile;
    for (int iOpen : {fd, otherFd})
    {
        EXPECT_NE(fcntl(iOpen, F_GETFD), -1);
        close(iOpen);
    }
}

TEST_F(LumFileTest, NeverTakesTheStandardStreamDescriptors)
{
    // Started without standard input, a process gets descriptor 0 from its next open;
    // an open file must never sit there, where it would read as "no file".
    std::string path = m_dir.Write("f", "x");
    FSSpec location = Location("f");
    FSRef ref = Reference(path);
    int iSaved = fcntl(0, F_DUPFD_CLOEXEC, 3); // -1 when already started without one
    close(0);
    CLumFile byPath, byLocation, byReference;
    int iOpened = byPath.Open(path.c_str(), 1) + byLocation.MacOpen(&location, 1) +
                  byReference.MacOpen(&ref, 1);
    bool bZeroStillFree = fcntl(0, F_GETFD) == -1;
    std::vector<int> descriptors{byPath.m_refNum, byLocation.m_refNum, byReference.m_refNum};
    byPath.Close();
    byLocation.Close();
    byReference.Close();
    if (iSaved >= 0)
    {
        dup2(iSaved, 0);
        close(iSaved);
    }

    EXPECT_EQ(iOpened, 3);
    EXPECT_TRUE(bZeroStillFree);
    for (int fd : descriptors)
        EXPECT_GE(fd, 3);
}

TEST_F(LumFileTest, MacOpenBySpecOrReferenceSetsTheLocation)
{
    std::string path = m_dir.Write("dump.syx", Bytes{0xF0, 0xF7});
    CLumFile file;
    FSSpec dump = Location("dump.syx");
    ASSERT_EQ(file.MacOpen(&dump, 9), 1);
    unsigned char b = 0;
    EXPECT_EQ(file.Read(&b, 1), 1);
    EXPECT_EQ(b, 0xF0);
    file.Close();
    file.m_spec = FSSpec();
    FSRef ref = Reference(path);
    ASSERT_EQ(file.MacOpen(&ref, 1), 1);
    EXPECT_EQ(file.m_spec.folder, m_dir.Path());
    EXPECT_EQ(file.m_spec.name, "dump.syx");
    file.Close();

    FSSpec gone = Location("gone.syx");
    EXPECT_EQ(file.MacOpen(&gone, 9), 0);
    FSRef missing = Reference(m_dir.File("none")), folder = Reference(m_dir.Path());
    EXPECT_EQ(file.MacOpen(&missing, 1), 0);
    EXPECT_EQ(file.MacOpen(&folder, 1), 0);
    EXPECT_EQ(file.IsOpened(), 0);
    EXPECT_EQ(file.m_spec.name, "dump.syx");
    const std::string sByRef = "CLumFile::MacOpenWithFSRef() - Failed to call FSOpenFork().";
    EXPECT_EQ(m_log.Lines(),
              (std::vector<std::string>{
                  "CLumFile::MacOpenWithFSSpec() - Failed to call FSpOpenDF().", sByRef, sByRef}));
}

TEST_F(LumFileTest, AFailedCreationKeepsTheOldFile)
{
    // With no descriptor left, no file can be created, while deleting would still
    // work: the old file must survive that.
    std::string path = m_dir.Write("keep.syx", "precious");
    int iLowestFree = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(iLowestFree, 0);
    close(iLowestFree);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(iLowestFree);
    CLumFile file;
    FSSpec kept = Location("keep.syx");
    // The sanitizers need descriptors to check an object's type the first time it is
    // used; checked once here, it is not checked again under the limit.
    ASSERT_EQ(file.IsOpened(), 0);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    int iResult = file.MacWriteOpen(&kept, 2, kCreatorQMRK, kTypeSysX);
    setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_EQ(iResult, 0);
    EXPECT_EQ(file.IsOpened(), 0);
    EXPECT_EQ(TempDir::Read(path), (Bytes{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.syx"});
    EXPECT_EQ(m_log.Lines(),
              std::vector<std::string>{"CLumFile::MacWriteOpen : Failed to create file."});
}

// The old file stays until the new one is complete, and after a failed write.
TEST_F(LumFileTest, MacWriteOpenReplacesTheFileWithItsCodesOnlyOnceTheNewOneIsComplete)
{
    std::string path = m_dir.Write("keep.syx", "precious");
    const Bytes precious{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'};
    FSSpec kept = Location("keep.syx");
    CLumFile file;
    // Mode 1 asks for reading; the file is opened for writing all the same.
    ASSERT_EQ(file.MacWriteOpen(&kept, 1, kCreatorQMRK, kTypeSysX), 1);
    long lLength = -1;
    EXPECT_EQ(GetEOF(file.m_refNum, &lLength), 0);
    EXPECT_EQ(lLength, 0);
    EXPECT_EQ(file.Write("\xF0\x01\xF7", 3), 3);
    EXPECT_EQ(file.m_spec.name, "keep.syx");
    EXPECT_EQ(TempDir::Read(path), precious);
    EXPECT_EQ(file.Close(), 1);
    EXPECT_EQ(TempDir::Read(path), (Bytes{0xF0, 0x01, 0xF7}));
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.syx"});
    ExpectCodes(path);
    EXPECT_TRUE(m_log.Lines().empty());

    // A file-size limit makes the write stop short, as a full disk would.
    ASSERT_EQ(file.MacWriteOpen(&kept, 2, kCreatorQMRK, kTypeSysX), 1);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = 4;
    sighandler_t pOldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    long lWritten = file.Write("\xF0\x01\x02\x03\x04\xF7", 6);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, pOldHandler);

    EXPECT_EQ(lWritten, 4);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(file.IsOpened(), 0);
    EXPECT_EQ(TempDir::Read(path), (Bytes{0xF0, 0x01, 0xF7}));
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.syx"});
    EXPECT_EQ(m_log.Lines(),
              std::vector<std::string>{"CLumFile::Close : Failed to replace the file."});
}

TEST_F(LumFileTest, MacWriteOpenWithAFolderInTheWayOrAsTheFolderLeavesNothingBehind)
{
    std::filesystem::create_directory(m_dir.File("taken"));
    m_dir.Write("taken/inside", "x");
    m_dir.Write("plain", "x");
    CLumFile file;
    FSSpec taken = Location("taken"), inFile{m_dir.File("plain"), "dump.syx"};
    for (FSSpec* pSpec : {&taken, &inFile, static_cast<FSSpec*>(nullptr)})
        EXPECT_EQ(file.MacWriteOpen(pSpec, 2, kCreatorQMRK, kTypeSysX), 0);
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.File("taken")));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"plain", "taken"}));
    EXPECT_EQ(m_log.Lines(),
              std::vector<std::string>(3, "CLumFile::MacWriteOpen : Failed to create file."));
}

// A name of up to 255 UTF-16 units that the file system holds, naming one entry of the
// folder and no folder, is created; anything else fails with its code, creating nothing.
TEST_F(LumFileTest, MacCreateOpenTakesNamesOfOneEntryUpTo255Units)
{
    std::filesystem::create_directory(m_dir.File("sub"));
    std::string inner = m_dir.Write("sub/inner.syx", "inner");
    std::string astral, accented;
    for (int i = 0; i < 128; ++i)
    {
        astral += "\xF0\x9F\x8E\xB9"; // two UTF-16 units each
        accented += "\xC3\xA9";       // one unit but two bytes: 256 bytes
    }
    const std::string sTooLong = "Filename is too long. err=0";
    const std::string sCannot = "Failed to call FSCreateFileUnicode(). err=";
    const std::string sMissing = m_dir.File("missing");
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {m_dir.Path(), std::string(256, 'n'), sTooLong},
        {m_dir.Path(), std::string(65537, 'n'), sTooLong}, // would read as 1 if kept in 16 bits
        {m_dir.Path(), astral, sTooLong},
        {m_dir.Path(), accented, sCannot + "-37"},
        {m_dir.Path(), "sub/inner.syx", sCannot + "-37"},
        {m_dir.Path(), "", sCannot + "-37"},
        {m_dir.Path(), "..", sCannot + "-37"},
        {m_dir.Path(), "sub", sCannot + "-1302"},
        {sMissing, "x.syx", sCannot + "-120"}};
    CLumFile file;
    for (const auto& [sFolder, sName, sLog] : cases)
    {
        m_log.Clear();
        FSRef folder = Reference(sFolder);
        EXPECT_EQ(file.MacCreateOpen(&folder, sName.c_str(), 2, kCreatorQMRK, kTypeSysX), 0);
        EXPECT_EQ(m_log.Lines(),
                  std::vector<std::string>{"CLumFile::MacCreateWithFSRef() - " + sLog})
            << sName.substr(0, 20);
    }
    EXPECT_EQ(file.IsOpened(), 0);
    EXPECT_EQ(TempDir::Read(inner), (Bytes{'i', 'n', 'n', 'e', 'r'}));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.File("sub")));
    EXPECT_EQ(Entries(), std::vector<std::string>{"sub"});

    // Created with the codes, replacing what was there, opened with the mode.
    const std::string name(255, 'n');
    m_dir.Write(name, "old");
    FSRef folder = Reference(m_dir.Path());
    ASSERT_EQ(file.MacCreateOpen(&folder, name.c_str(), 3, kCreatorQMRK, kTypeSysX), 1);
    EXPECT_EQ(file.m_spec.folder, m_dir.Path());
    EXPECT_EQ(file.m_spec.name, name);
    EXPECT_EQ(file.Write("AB", 2), 2);
    ASSERT_EQ(file.SetPos(0, 2), 1);
    char szRead[3] = {};
    EXPECT_EQ(file.Read(szRead, 2), 2);
    EXPECT_STREQ(szRead, "AB");
    file.Close();
    EXPECT_EQ(TempDir::Read(m_dir.File(name)), (Bytes{'A', 'B'}));
    ExpectCodes(m_dir.File(name));
}

TEST_F(LumFileTest, ChangingOneCodeKeepsTheOtherAndAMissingFileIsLogged)
{
    FSSpec none = Location("none");
    FSRef noneRef = Reference(m_dir.File("none"));
    EXPECT_EQ(CLumFile::MacChangeCreator(&none, kCreatorQMRK), 0);
    EXPECT_EQ(CLumFile::MacChangeType(&noneRef, kTypeSysX), 0);
    EXPECT_EQ(m_log.Lines(),
              (std::vector<std::string>{
                  "CLumFile::MacChangeCreator() - Failed to call FSpGetFInfo(). err=-43",
                  "CLumFile::MacChangeType() - Failed to call FSGetCatalogInfo(). err=-43"}));
    std::string path = m_dir.Write("f.syx", "x");
    FSSpec spec = Location("f.syx");
    if (setxattr(path.c_str(), "user.probe", "x", 1, 0) != 0)
        GTEST_SKIP() << "the temporary folder's file system keeps no extended attributes";
    EXPECT_EQ(CLumFile::MacChangeType(&spec, kTypeSysX), 1);
    EXPECT_EQ(Attribute(path, "user.quillmark.creator"), "");
    FSRef ref = Reference(path);
    EXPECT_EQ(CLumFile::MacChangeCreator(&ref, kCreatorQMRK), 1);
    ExpectCodes(path);
    FInfo info;
    ASSERT_EQ(FSpGetFInfo(&spec, &info), 0);
    EXPECT_EQ(info.fdCreator, kCreatorQMRK);
    EXPECT_EQ(info.fdType, kTypeSysX);
}
