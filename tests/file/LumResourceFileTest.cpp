#include "file/LumResourceFile.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace
{
// Points the program's resource folder at a temporary folder and sets the user's
// language, restoring both afterwards.
class LumResourceFile : public testing::Test
{
protected:
    LumResourceFile() { SetLanguage("de_AT.UTF-8"); }

    static void SetLanguage(const char* pszLang)
    {
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", pszLang, 1);
    }

    void Put(const std::string& relative, const std::string& text)
    {
        std::filesystem::path path(m_resources.File(relative));
        std::filesystem::create_directories(path.parent_path());
        m_resources.Write(relative, text);
    }

    static std::string ReadAll(CLumResourceFile& file)
    {
        char buffer[64] = {};
        long lCount = file.Read(buffer, sizeof(buffer));
        return std::string(buffer, size_t(lCount > 0 ? lCount : 0));
    }

    // The language variables are put back when the test ends.
    ScopedEnv m_lcAll{"LC_ALL", getenv("LC_ALL")};
    ScopedEnv m_lcMessages{"LC_MESSAGES", getenv("LC_MESSAGES")};
    ScopedEnv m_lang{"LANG", getenv("LANG")};
    TempDir m_resources;
    ScopedEnv m_resourcesEnv{"QUILLMARK_RESOURCES", m_resources.Path()};
};
} // namespace

TEST_F(LumResourceFile, OpensAResourceByItsFullName)
{
    LogCapture log;
    Put("Readme.txt", "plain");
    CLumResourceFile file;
    ASSERT_EQ(file.Open(nullptr, "Readme.txt", 9), 1);
    EXPECT_EQ(ReadAll(file), "plain");
    EXPECT_EQ(file.SetPos(1, 2), 1);
    EXPECT_EQ(ReadAll(file), "lain");
    EXPECT_EQ(file.m_spec.name, "Readme.txt");
    EXPECT_EQ(file.Close(), 1);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(LumResourceFile, PrefersTheUsersLanguage)
{
    Put("Help.txt", "base");
    Put("de.lproj/Help.txt", "deutsch");
    Put("de_AT.lproj/Help.txt", "oesterreichisch");
    Put("de.lproj/Only.txt", "nur deutsch");
    CLumResourceFile file;

    ASSERT_EQ(file.Open(nullptr, "Help.txt", 1), 1);
    EXPECT_EQ(ReadAll(file), "oesterreichisch");
    ASSERT_EQ(file.Open(nullptr, "Only.txt", 1), 1); // region falls back to language
    EXPECT_EQ(ReadAll(file), "nur deutsch");

    SetLanguage("de_DE.UTF-8");
    ASSERT_EQ(file.Open(nullptr, "Help.txt", 1), 1);
    EXPECT_EQ(ReadAll(file), "deutsch");

    SetLanguage("fr_FR.UTF-8");
    ASSERT_EQ(file.Open(nullptr, "Help.txt", 1), 1);
    EXPECT_EQ(ReadAll(file), "base");

    SetLanguage("C");
    ASSERT_EQ(file.Open(nullptr, "Help.txt", 1), 1);
    EXPECT_EQ(ReadAll(file), "base");
}

TEST_F(LumResourceFile, AMissingNameGivesZeroAndLeavesTheObjectClosed)
{
    LogCapture log;
    Put("Readme.txt", "plain");
    std::filesystem::create_directory(m_resources.File("Folder"));
    CLumResourceFile file;
    ASSERT_EQ(file.Open(nullptr, "Readme.txt", 1), 1);
    int fd = file.m_refNum;

    EXPECT_EQ(file.Open(nullptr, "Missing.txt", 1), 0);
    EXPECT_EQ(file.IsOpened(), 0);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1); // the earlier file was closed
    EXPECT_EQ(file.Open(nullptr, "Folder", 1), 0);
    EXPECT_EQ(file.Open(nullptr, nullptr, 1), 0);
    EXPECT_EQ(file.IsOpened(), 0);
    char c = 0;
    EXPECT_EQ(file.Read(&c, 1), 0);
    EXPECT_EQ(file.SetPos(0, 2), 0);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(LumResourceFile, NamesCannotReachOutsideTheResourceFolder)
{
    TempDir outside;
    outside.Write("secret.txt", "secret");
    Put("sub/inner.txt", "inner");
    std::string relative =
        "../" + std::filesystem::path(outside.Path()).filename().string() + "/secret.txt";
    ASSERT_TRUE(std::filesystem::exists(m_resources.File(relative)));
    CLumResourceFile file;
    EXPECT_EQ(file.Open(nullptr, relative.c_str(), 1), 0);
    EXPECT_EQ(file.Open(nullptr, "sub/inner.txt", 1), 0);
    EXPECT_EQ(file.Open(nullptr, "..", 1), 0);
    EXPECT_EQ(file.IsOpened(), 0);
}

TEST_F(LumResourceFile, IsReadOnlyWhateverTheMode)
{
    Put("Data.bin", "abc");
    CLumResourceFile file;
    ASSERT_EQ(file.Open(nullptr, "Data.bin", 3), 1);
    EXPECT_EQ(fcntl(file.m_refNum, F_GETFL) & O_ACCMODE, O_RDONLY);
    EXPECT_EQ(file.Write("xyz", 3), 0);
    EXPECT_EQ(ReadAll(file), "abc");
    file.Close();
    ASSERT_EQ(file.Open(nullptr, "Data.bin", 2), 1);
    EXPECT_EQ(ReadAll(file), "abc");
    file.Close();
    EXPECT_EQ(TempDir::Read(m_resources.File("Data.bin")),
              (std::vector<unsigned char>{'a', 'b', 'c'}));
}

TEST_F(LumResourceFile, DestroyingAnOpenOneClosesIt)
{
    Put("Readme.txt", "plain");
    auto* pFile = new CLumResourceFile;
    ASSERT_EQ(pFile->Open(nullptr, "Readme.txt", 1), 1);
    int fd = pFile->m_refNum;
    ASSERT_NE(fcntl(fd, F_GETFD), -1);
    delete pFile;
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
}
