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

TEST(FileManager, MakeFSSpecSucceedsOnlyForWhatExists)
{
    TempDir dir;
    dir.Write("dump.syx", "x");
    std::filesystem::create_directory(dir.File("sub"));
    dir.Write("sub/inner.syx", "y");

    FSSpec spec;
    EXPECT_EQ(FSMakeFSSpec(dir.Path().c_str(), "dump.syx", &spec), 0);
    EXPECT_EQ(spec.folder, dir.Path());
    EXPECT_EQ(spec.name, "dump.syx");

    // A partial path names a file below the folder.
    EXPECT_EQ(FSMakeFSSpec(dir.Path().c_str(), "sub/inner.syx", &spec), 0);
    EXPECT_EQ(spec.folder, dir.File("sub"));
    EXPECT_EQ(spec.name, "inner.syx");

    // A missing file still gives its location, as a save needs it.
    EXPECT_EQ(FSMakeFSSpec(dir.Path().c_str(), "new.syx", &spec), fnfErr);
    EXPECT_EQ(spec.folder, dir.Path());
    EXPECT_EQ(spec.name, "new.syx");

    EXPECT_EQ(FSMakeFSSpec(dir.File("nowhere").c_str(), "x.syx", &spec), dirNFErr);
    EXPECT_EQ(FSMakeFSSpec(dir.Path().c_str(), "x", nullptr), paramErr);
}

TEST(FileManager, PathsBecomeAbsoluteAndKeepTheNameOfALink)
{
    TempDir dir;
    std::string target = dir.Write("target.syx", "x");
    ASSERT_EQ(symlink(target.c_str(), dir.File("link.syx").c_str()), 0);

    FSSpec spec;
    bool bIsFolder = true;
    EXPECT_EQ(FSPathMakeFSSpec(dir.File("link.syx").c_str(), &spec, &bIsFolder), 0);
    EXPECT_EQ(spec.name, "link.syx");
    EXPECT_FALSE(bIsFolder);
    EXPECT_EQ(FSPathMakeFSSpec(dir.File("none").c_str(), &spec, nullptr), fnfErr);
    EXPECT_EQ(FSPathMakeFSSpec(dir.Path().c_str(), nullptr, nullptr), paramErr);

    std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    FSRef ref;
    OSErr err = FSPathMakeRef("target.syx", &ref, &bIsFolder);
    OSErr errUp = FSPathMakeRef("../", &ref, &bIsFolder);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(errUp, 0);
    EXPECT_TRUE(bIsFolder);
    EXPECT_EQ(ref.path, std::filesystem::path(dir.Path()).parent_path().string());
}

TEST(FileManager, OnlyRegularFilesOpen)
{
    // A FIFO would block an ordinary open until a writer came.
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    FSSpec fifo{dir.Path(), "fifo"};
    FSSpec folder{dir.Path(), ""};
    int refNum = 0;
    EXPECT_EQ(FSpOpenDF(&fifo, fsRdPerm, &refNum), notAFileErr);
    EXPECT_EQ(FSpOpenDF(&folder, fsCurPerm, &refNum), notAFileErr);
    EXPECT_EQ(refNum, 0);
}

TEST(FileManager, CodesOfAPlainFileReadAsZero)
{
    TempDir dir;
    dir.Write("plain", "");
    FSSpec spec{dir.Path(), "plain"};
    FInfo info;
    info.fdCreator = 1;
    info.fdType = 2;
    EXPECT_EQ(FSpGetFInfo(&spec, &info), 0);
    EXPECT_EQ(info.fdCreator, 0u);
    EXPECT_EQ(info.fdType, 0u);
    FSSpec missing{dir.Path(), "missing"};
    EXPECT_EQ(FSpGetFInfo(&missing, &info), fnfErr);
    EXPECT_EQ(FSpSetFInfo(&missing, &info), fnfErr);
}

// Missing arguments, descriptors no file holds and unknown modes are refused with their
// codes, touching nothing.
TEST(FileManager, RefusesMissingArgumentsAndUnknownDescriptorsAndModes)
{
    TempDir dir;
    const std::string path = dir.Write("f", "abc");
    FSSpec spec{dir.Path(), "f"}, out;
    FSRef ref, folder, relative;
    ref.path = path;
    folder.path = dir.Path();
    relative.path = "f";
    FInfo info;
    long lCount = 1, lNegativeRead = -1, lNegativeWrite = -1;
    int refNum = 0;
    char c = 0;
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
        {FSPathMakeRef(nullptr, &ref, nullptr), paramErr},
        {FSPathMakeRef("", &ref, nullptr), fnfErr},
        {FSpMakeFSRef(nullptr, &ref), paramErr},
        {FSMakeChildSpec(nullptr, "x", &out), paramErr},
        {FSMakeChildSpec(&folder, "a/b", &out), bdNamErr},
        {FSMakeChildSpec(&ref, "x", &out), dirNFErr},
        {FSGetCatalogInfo(&relative, kFSCatInfoNone, nullptr, nullptr, &out), paramErr},
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
        {FSpSetFInfo(nullptr, &info), paramErr}};
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i].first, calls[i].second) << "call " << i;
    close(fdFull);

    ASSERT_EQ(FSpOpenDF(&spec, fsRdWrPerm, &refNum), 0);
    const std::vector<std::pair<OSErr, OSErr>> open = {
        {FSRead(refNum, &lNegativeRead, &c), paramErr},
        {FSWrite(refNum, &lNegativeWrite, &c), paramErr},
        {SetFPos(refNum, 9, 0), paramErr},
        {GetFPos(refNum, nullptr), paramErr},
        {GetEOF(refNum, nullptr), paramErr}};
    for (size_t i = 0; i < open.size(); ++i)
        EXPECT_EQ(open[i].first, open[i].second) << "call " << i;
    EXPECT_EQ(FSClose(refNum), 0);
    EXPECT_EQ(TempDir::Read(path), (std::vector<unsigned char>{'a', 'b', 'c'}));
}
