#include "toolkit/Utility.h"
#include "platform/bundle/ResourceFolder.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>

namespace
{
// A resource folder holding the program's English table under another name.
std::string CopyEnglishTableAs(const TempDir& folder, const std::string& name)
{
    static const std::string english = GetResourceFolder() + "/strings/quillmark_en.qm";
    std::filesystem::create_directories(folder.File("strings"));
    std::filesystem::copy_file(english, folder.File("strings/" + name + ".qm"));
    return folder.Path();
}
} // namespace

TEST(ResourceString, TheUsersLanguageThenEnglishThenTheKeyFromOneSharedBuffer)
{
    EXPECT_STREQ(GetResourceString("No Such Key"), "No Such Key");
    char* pszFirst = GetResourceString("ButtonStart");
    EXPECT_STREQ(pszFirst, "&Start");
    EXPECT_EQ(GetResourceString("ButtonClose"), pszFirst);
    EXPECT_STREQ(pszFirst, "&Close");
    // Longer than the buffer: cut to 255 bytes, never inside a character.
    const std::string longKey = std::string(254, 'a') + "\xC3\xA9";
    EXPECT_EQ(std::string(GetResourceString(longKey.c_str())), std::string(254, 'a'));

    // The user's language comes first, then English; without either, the key.
    TempDir french;
    ScopedEnv resources("QUILLMARK_RESOURCES", CopyEnglishTableAs(french, "quillmark_fr").c_str());
    {
        ScopedEnv language("LC_ALL", "fr_CA.UTF-8");
        EXPECT_STREQ(GetResourceString("ButtonNext"), "&Next") << "fr_CA falls back to fr";
    }
    {
        ScopedEnv language("LC_ALL", "de_AT.UTF-8");
        EXPECT_STREQ(GetResourceString("ButtonNext"), "ButtonNext") << "neither de nor en here";
    }
    TempDir english;
    ScopedEnv englishResources("QUILLMARK_RESOURCES",
                               CopyEnglishTableAs(english, "quillmark_en").c_str());
    ScopedEnv language("LC_ALL", "de_AT.UTF-8");
    EXPECT_STREQ(GetResourceString("ButtonNext"), "&Next");
}

TEST(Strings, CopiesExtensionsNotesFieldsCentringAndNumbers)
{
    // Every copy into a fixed buffer stops at a whole character, and says whether all fitted.
    using Row = std::tuple<const char*, int, const char*>;
    char szBuffer[8];
    for (const auto& [pszText, iWhole, pszCopied] :
         std::vector<Row>{{"1234567", 1, "1234567"},
                          {"12345678", 0, "1234567"},
                          {"123456\xC3\xA9", 0, "123456"}})
    {
        EXPECT_EQ(CF2CString(szBuffer, C2CFString(pszText), sizeof(szBuffer)), iWhole);
        EXPECT_STREQ(szBuffer, pszCopied);
    }

    EXPECT_EQ(CompareExtension(".syx", ".SYX"), 1);
    EXPECT_EQ(CompareExtension(".syx", ".sy"), 0);
    EXPECT_EQ(CompareExtension(".syx", ".msy"), 0);
    EXPECT_EQ(CompareExtension(std::string(300, 'A').c_str(), std::string(300, 'a').c_str()), 1);

    char szText[16];
    for (const auto& [iNote, pszName] : std::vector<std::pair<int, const char*>>{
             {60, "C4"}, {59, "B3"}, {0, "C-1"}, {61, "C#4"}, {127, "G9"}, {-1, "B-2"}})
    {
        EXPECT_EQ(NoteNumberToStr(szText, iNote), int(strlen(pszName)));
        EXPECT_STREQ(szText, pszName);
    }

    EXPECT_STREQ(ExtractString(szText, "  AB  \0\0", 8), "AB");
    EXPECT_STREQ(ExtractString(szText, "        ", 8), "");
    EXPECT_STREQ(ExtractString(szText, "\t\nA B \r", 7), "A B \r") << "only spaces are trimmed";
    EXPECT_STREQ(ExtractString(szText, "ABCDEFGH", 4), "ABCD");

    for (const auto& [pszIn, nWidth, pszOut] :
         std::vector<Row>{{"AB", 5, " AB  "}, {"   ", 4, "    "}, {"    XY", 6, "  XY  "}})
    {
        strcpy(szText, pszIn);
        CenteringString(szText, nWidth);
        EXPECT_STREQ(szText, pszOut);
    }

    // Clipping takes its bounds in either order; NAN is unordered.
    EXPECT_EQ(ClipInt(5, 10, 0), 10);
    EXPECT_EQ(ClipFloat(5.0f, 10.0f, 0.0f), 0.0f);
    EXPECT_EQ(ClipInt(15, 0, 10), 10);
    EXPECT_EQ(ClipInt(-3, 0, 10), 0);
    EXPECT_EQ(ClipFloat(-3.0f, 0.0f, 1.0f), 0.0f);
    EXPECT_TRUE(std::isnan(ClipFloat(NAN, 0.0f, 1.0f)));
    EXPECT_EQ(MaxInt(3, -4) * 10 + MinInt(3, -4), 26);
    EXPECT_EQ(MaxFloat(NAN, 1.0f), 1.0f);
    EXPECT_EQ(MixFloat(NAN, 1.0f), 1.0f);
    EXPECT_EQ(MixFloat(2.0f, 3.0f), 2.0f);
    EXPECT_TRUE(ContainInt(10, 0, 10) && ContainInt(0, 0, 10) && !ContainInt(11, 0, 10));
    EXPECT_TRUE(ContainFloat(1.0f, 0.0f, 1.0f));
    EXPECT_FALSE(ContainFloat(NAN, 0.0f, 1.0f));
}
