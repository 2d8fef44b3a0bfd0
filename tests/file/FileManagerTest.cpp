#include "platform/file/FileManager.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

// A location names one entry of an absolute folder, also for a partial path and for a file
// still missing (a save needs it); a link keeps its own name; relative paths become absolute.
// Missing arguments and files, non-files (a FIFO would block an open), unknown descriptors
// and modes are refused with their codes, touching nothing.
TEST(FileManager, LocatesOneEntryOfAnAbsoluteFolderAndRefusesWhatItCannotDo)
{
    TempDir dir;
    dir.Write("dump.syx", "x");
    std::filesystem::create_directory(dir.File("sub"));
    dir.Write("sub/inner.syx", "y");
    FSSpec located;
    for (const char* pszName : {"dump.syx", "sub/inner.syx", "new.syx"})
    {
        EXPECT_EQ(FSMakeFSSpec(dir.Path().c_str(), pszName, &located),
                  *pszName == 'n' ? fnfErr : 0);
        EXPECT_EQ(located.folder + "/" + located.name, dir.File(pszName));
        EXPECT_EQ(located.name, std::filesystem::path(pszName).filename());
    }

    std::string target = dir.Write("target.syx", "x");
    ASSERT_EQ(symlink(target.c_str(), dir.File("link.syx").c_str()), 0);
    bool bIsFolder = true;
    EXPECT_EQ(FSPathMakeFSSpec(dir.File("link.syx").c_str(), &located, &bIsFolder), 0);
    EXPECT_EQ(located.name, "link.syx");
    EXPECT_FALSE(bIsFolder);

    std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    FSRef up;
    const std::vector<OSErr> errs{FSPathMakeRef("target.syx", &up, &bIsFolder),
                                  FSPathMakeRef("../", &up, &bIsFolder)};
    std::filesystem::current_path(cwd);
    EXPECT_EQ(errs, std::vector<OSErr>(2, 0));
    EXPECT_TRUE(bIsFolder);
    EXPECT_EQ(up.path, std::filesystem::path(dir.Path()).parent_path().string());

    // A plain file has no codes.
    FInfo codes{1, 2};
    EXPECT_EQ(FSpGetFInfo(&located, &codes), 0);
    EXPECT_EQ(std::make_pair(codes.fdCreator, codes.fdType), std::make_pair(0u, 0u));

    const std::string path = dir.Write("f", "abc");
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    FSSpec spec{dir.Path(), "f"}, missing{dir.Path(), "missing"}, out;
    FSSpec fifo{dir.Path(), "fifo"}, here{dir.Path(), ""};
    FSRef ref{path}, folder{dir.Path()}, relative{"f"};
    FInfo info;
    long lCount = 1, lNegativeRead = -1, lNegativeWrite = -1;
    int refNum = 0, fd = 0;
    char c = 0;
    ASSERT_EQ(FSpOpenDF(&spec, fsRdWrPerm, &fd), 0);
    // Errors of the system become their codes: a folder replaced by a full one, a full
    // disk, a missing folder before "..".
    std::filesystem::create_directories(dir.File("full/inner"));
    std::filesystem::create_directory(dir.File("empty"));
    FSSpec empty{dir.Path(), "empty"}, full{dir.Path(), "full"};
    const int fdFull = open("/dev/full", O_WRONLY | O_CLOEXEC);
    long lOne = 1;
    const std::vector<std::pair<OSErr, OSErr>> calls = {
        {FSpReplace(&empty, &full), dupFNErr},
        {FSWrite(fdFull, &lOne, &c), dskFulErr},
        {FSMakeFSSpec(dir.Path().c_str(), "nowhere/..", &out), fnfErr},
        {FSMakeFSSpec(dir.File("nowhere").c_str(), "x.syx", &out), dirNFErr},
        {FSMakeFSSpec(dir.Path().c_str(), "x", nullptr), paramErr},
        {FSPathMakeFSSpec(dir.File("none").c_str(), &out, nullptr), fnfErr},
        {FSPathMakeFSSpec(dir.Path().c_str(), nullptr, nullptr), paramErr},
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
    EXPECT_EQ(TempDir::Read(path), (std::vector<unsigned char>{'a', 'b', 'c'}));
}
