#include "support/TempDir.h"
#include "toolkit/Utility.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(FSSpecFileName, GivesTheStoredNameWithItsExtension)
{
    TempDir dir;
    dir.Write("Dump.SYX", "x");
    char szName[256];
    memset(szName, 'z', sizeof(szName));
    GetFSSpecFileName(szName, FSSpec{dir.Path(), "Dump.SYX"}, sizeof(szName));
    EXPECT_STREQ(szName, "Dump.SYX");
}

TEST(FSSpecFileName, AShortBufferCutsBetweenCharacters)
{
    TempDir dir;
    dir.Write("Grüße.syx", "x");
    char szName[6];
    GetFSSpecFileName(szName, FSSpec{dir.Path(), "Grüße.syx"}, sizeof(szName));
    EXPECT_STREQ(szName, "Grü"); // "ß" takes two bytes, and only one is left beside the NUL
}

TEST(FSSpecFileName, NoFileGivesAnEmptyName)
{
    TempDir dir;
    char szName[16] = "previous";
    GetFSSpecFileName(szName, FSSpec{dir.Path(), "missing.syx"}, sizeof(szName));
    EXPECT_STREQ(szName, "");
}
