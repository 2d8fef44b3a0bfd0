#include "platform/file/FileManager.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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
