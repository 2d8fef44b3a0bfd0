#include "file/LumResourceFile.h"
#include "platform/bundle/ResourceFolder.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace
{
// Points the program's resource folder at a temporary folder and sets the user's
// language, restoring both afterwards.
class LumResourceFile : public testing::Test
{
protected:
    void Put(const std::string& relative, const std::string& text)
    {
        std::filesystem::create_directories(
            std::filesystem::path(m_resources.File(relative)).parent_path());
        m_resources.Write(relative, text);
    }

    static std::string ReadAll(CLumResourceFile& file)
    {
        char buffer[64] = {};
        long lCount = file.Read(buffer, sizeof(buffer));
        return std::string(buffer, size_t(lCount > 0 ? lCount : 0));
    }

    ScopedEnv m_lcAll{"LC_ALL", nullptr};
    ScopedEnv m_lcMessages{"LC_MESSAGES", nullptr};
    ScopedEnv m_lang{"LANG", "de_AT.UTF-8"};
    TempDir m_resources;
    ScopedEnv m_resourcesEnv{"QUILLMARK_RESOURCES", m_resources.Path()};
};
} // namespace

// Read-only whatever the mode, closed by the destructor; a name missing, a folder or outside
// the resource folder gives 0 and closes the object, quietly.
TEST_F(LumResourceFile, OpensOnlyAResourceByItsFullNameForReadingInTheUsersLanguage)
{
    LogCapture log;
    TempDir outside;
    outside.Write("secret.txt", "secret");
    Put("sub/inner.txt", "inner");
    Put("Data.bin", "plain");
    auto* pFile = new CLumResourceFile;
    ASSERT_EQ(pFile->Open(nullptr, "Data.bin", 3), 1);
    EXPECT_EQ(fcntl(pFile->m_refNum, F_GETFL) & O_ACCMODE, O_RDONLY);
    EXPECT_EQ(pFile->Write("xyz", 3), 0);
    EXPECT_EQ(ReadAll(*pFile), "plain");
    EXPECT_EQ(pFile->SetPos(1, 2), 1);
    EXPECT_EQ(ReadAll(*pFile), "lain");
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
    EXPECT_EQ(TempDir::Read(m_resources.File("Data.bin")),
              (std::vector<unsigned char>{'p', 'l', 'a', 'i', 'n'}));
    EXPECT_TRUE(log.Lines().empty());

    // The user's language comes first. The folder is the variable's without its trailing
    // slashes, or the one beside the program.
    Put("Help.txt", "base");
    Put("de.lproj/Help.txt", "deutsch");
    Put("de_AT.lproj/Help.txt", "oesterreichisch");
    Put("de.lproj/Only.txt", "nur deutsch");
    CLumResourceFile file;
    ASSERT_EQ(file.Open(nullptr, "Only.txt", 1), 1); // region falls back to language
    EXPECT_EQ(ReadAll(file), "nur deutsch");
    const std::pair<const char*, const char*> languages[] = {{"de_AT.UTF-8", "oesterreichisch"},
                                                             {"de_DE.UTF-8", "deutsch"},
                                                             {"fr_FR.UTF-8", "base"},
                                                             {"C", "base"}};
    for (const auto& [pszLang, pszText] : languages)
    {
        setenv("LANG", pszLang, 1);
        ASSERT_EQ(file.Open(nullptr, "Help.txt", 1), 1);
        EXPECT_EQ(ReadAll(file), pszText) << pszLang;
    }

    ScopedEnv slashes{"QUILLMARK_RESOURCES", m_resources.Path() + "//"};
    EXPECT_EQ(GetResourceFolder(), m_resources.Path());
    ScopedEnv unset{"QUILLMARK_RESOURCES", nullptr};
    const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(GetResourceFolder(), exe.substr(0, exe.rfind('/')) + "/../share/quillmark");
}
