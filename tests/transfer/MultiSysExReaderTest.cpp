#include "transfer/MultiSysExReader.h"
#include "file/LumFile.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "toolkit/Alert.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace
{
using tagAlert = std::pair<std::string, int>;
std::vector<tagAlert> sg_alerts;

void CollectAlert(const char* pszKey, int iAlertType)
{
    sg_alerts.emplace_back(pszKey, iAlertType);
}

class MultiSysExReader : public testing::Test
{
protected:
    void SetUp() override
    {
        sg_alerts.clear();
        SetErrorAlertSink(&CollectAlert);
    }
    void TearDown() override { SetErrorAlertSink(nullptr); }

    // Writes the list into the folder (a path below the temporary folder) and opens it
    // as the transmit window does: MacOpen for reading, from the start.
    int OpenList(const std::string& text, const std::string& folder = "")
    {
        std::filesystem::create_directories(m_dir.File(folder));
        const std::string path =
            m_dir.Write(folder.empty() ? "list.msy" : folder + "/list.msy", text);
        FSSpec spec;
        EXPECT_EQ(FSPathMakeFSSpec(path.c_str(), &spec, nullptr), 0);
        CLumFile file;
        EXPECT_EQ(file.MacOpen(&spec, 9), 1);
        int nResult = m_reader.Open(&file);
        file.Close();
        return nResult;
    }

    std::string Name(int iNumber)
    {
        char szName[256];
        strcpy(szName, "<untouched>");
        m_reader.GetSysExFileName(szName, sizeof(szName), iNumber);
        return szName;
    }

    // The bytes of the listed file, or "<null>" when the reader hands out none.
    std::string Contents(int iNumber)
    {
        CLumFile* pFile = m_reader.GetSysExFile(iNumber);
        if (!pFile)
            return "<null>";
        std::string contents(64, '\0');
        contents.resize(size_t(pFile->Read(contents.data(), long(contents.size()))));
        pFile->Close();
        delete pFile;
        return contents;
    }

    TempDir m_dir;
    LogCapture m_log;
    CMultiSysExReader m_reader;
};
} // namespace

TEST_F(MultiSysExReader, ReadsTheListAndHandsOutItsFiles)
{
    m_dir.Write("bank_a.syx", "A");
    m_dir.Write("Drum Kit.syx", "D");
    m_dir.Write("bank_b.syx", "B");
    ASSERT_EQ(OpenList("[MultiSysEx]\r\n1=bank_a.syx\r\n2=\"Drum Kit.syx\"\r\n3=bank_b.syx\r\n"),
              1);
    EXPECT_EQ(m_reader.GetFileCount(), 3);
    EXPECT_EQ(Name(1), "bank_a.syx");
    EXPECT_EQ(Name(2), "Drum Kit.syx");
    EXPECT_EQ(Name(3), "bank_b.syx");
    EXPECT_EQ(Contents(1), "A");
    EXPECT_EQ(Contents(2), "D");
    EXPECT_EQ(Contents(3), "B");
    EXPECT_TRUE(sg_alerts.empty());
    EXPECT_TRUE(m_log.Lines().empty());
}

TEST_F(MultiSysExReader, BadHeadersAreIllegalListFilesAndSayWhy)
{
    using Problem = CMultiSysExReader::Problem;
    const std::string longName(255, 'M');
    const std::vector<std::tuple<std::string, std::string, Problem>> cases = {
        {"", "Can't find MSY header.", Problem::kNoHeader},
        {"MultiSysEx\n1=a.syx\n", "Can't find MSY header.", Problem::kNoHeader},
        {"[MultiSysEx", "Failed to read section name.", Problem::kNoHeader},
        {"[" + longName + "]\n1=a.syx\n", "Failed to read section name.", Problem::kNoHeader},
        {"[multisysex]\n1=a.syx\n", "Illegal section name.", Problem::kBadSectionName},
        {"[Multi]\n1=a.syx\n", "Illegal section name.", Problem::kBadSectionName},
        {"[Sys MultiSysEx]\n1=a.syx\n", "Illegal section name.", Problem::kBadSectionName},
        {"[Multi\xFFSysEx]\n1=a.syx\n", "Illegal section name.", Problem::kBadSectionName},
    };
    for (const auto& [text, message, problem] : cases)
    {
        SCOPED_TRACE(text);
        m_log.Clear();
        EXPECT_EQ(OpenList(text), 0);
        EXPECT_EQ(m_reader.GetFileCount(), 0);
        EXPECT_EQ(m_reader.GetProblem(), problem);
        EXPECT_EQ(m_log.Lines(), std::vector<std::string>{"ParseHeader: " + message});
    }
    // The caller tells the user, naming the file.
    EXPECT_TRUE(sg_alerts.empty());
}

TEST_F(MultiSysExReader, HeaderMayCarryTextAroundTheSectionName)
{
    for (const std::string& header : std::vector<std::string>{
             "[MultiSysEx]", "[MultiSysEx2]", "[  MultiSysEx  ]", "notes [MultiSysEx]",
             "[MultiSysEx" + std::string(244, ' ') + "]"})
    {
        SCOPED_TRACE(header);
        EXPECT_EQ(OpenList(header + "\n1=a.syx\n"), 1);
        EXPECT_EQ(Name(1), "a.syx");
    }
    EXPECT_TRUE(sg_alerts.empty());
}

TEST_F(MultiSysExReader, ValidHeaderWithoutEntriesFailsSilently)
{
    EXPECT_EQ(OpenList("[MultiSysEx]\n\n"), 0);
    EXPECT_EQ(OpenList("[MultiSysEx]\nno entries here\n"), 0);
    EXPECT_EQ(m_reader.GetFileCount(), 0);
    EXPECT_EQ(m_reader.GetProblem(), CMultiSysExReader::kNoEntries);
    EXPECT_TRUE(sg_alerts.empty());
    EXPECT_TRUE(m_log.Lines().empty());
}

TEST_F(MultiSysExReader, EntriesAreKeptByNumberNotByLine)
{
    ASSERT_EQ(OpenList("[MultiSysEx]\n2=second.syx\n1=first.syx\n3=third.syx\n"), 1);
    EXPECT_EQ(Name(1), "first.syx");
    EXPECT_EQ(Name(2), "second.syx");
    EXPECT_EQ(Name(3), "third.syx");
    EXPECT_EQ(m_reader.GetProblem(), CMultiSysExReader::kNoProblem);
}

TEST_F(MultiSysExReader, DuplicateNumbersCountButTheFirstNameWins)
{
    ASSERT_EQ(OpenList("[MultiSysEx]\n1=first.syx\n1=again.syx\n"), 1);
    EXPECT_EQ(m_reader.GetFileCount(), 2);
    EXPECT_EQ(Name(1), "first.syx");
    EXPECT_EQ(m_reader.GetProblem(), CMultiSysExReader::kRepeatedNumber);
    EXPECT_EQ(m_reader.GetProblemNumber(), 1);
    // The window asks for entry 2 next, which is not there: nothing, silently.
    EXPECT_EQ(Name(2), "<untouched>");
    EXPECT_EQ(Contents(2), "<null>");
    EXPECT_TRUE(sg_alerts.empty());
}

TEST_F(MultiSysExReader, MissingNumbersStayMissing)
{
    ASSERT_EQ(OpenList("[MultiSysEx]\n3=three.syx\n-2=minus.syx\n1=one.syx\n"), 1);
    EXPECT_EQ(m_reader.GetFileCount(), 3);
    EXPECT_EQ(m_reader.GetNumbers(), (std::vector<int>{-2, 1, 3}));
    EXPECT_EQ(Name(2), "<untouched>");
    EXPECT_EQ(Name(3), "three.syx");
}

TEST_F(MultiSysExReader, OnlyTheLeadingNumberOfAKeyCounts)
{
    ASSERT_EQ(OpenList("[MultiSysEx]\nx1=letter.syx\n 2nd entry = second.syx\n"
                       "a note without equals\n4=fourth.syx\n99999999999=huge.syx\n"),
              1);
    EXPECT_EQ(m_reader.GetFileCount(), 4);
    EXPECT_EQ(Name(0), "letter.syx"); // a key that starts with a letter is entry 0
    EXPECT_EQ(Name(2), "second.syx");
    EXPECT_EQ(Name(4), "<untouched>"); // the note joined the key: "a note...\n4" is 0
    EXPECT_EQ(Name(INT_MAX), "huge.syx");
}

TEST_F(MultiSysExReader, BareNamesEndAtWhiteSpaceQuotedNamesDoNot)
{
    ASSERT_EQ(OpenList("[MultiSysEx]\n1=Drum Kit.syx\n2=\"Pad\n  Bank.syx\"  3=\"open"), 1);
    EXPECT_EQ(Name(1), "Drum");
    // "Kit.syx\n2" became the next key: entry 0.
    EXPECT_EQ(Name(0), "Pad\n  Bank.syx");
    EXPECT_EQ(Name(3), "open"); // an unterminated quote runs to the end
    EXPECT_EQ(m_reader.GetFileCount(), 3);
}

TEST_F(MultiSysExReader, EqualsAtTheEndGivesAnEmptyName)
{
    ASSERT_EQ(OpenList("[MultiSysEx]\n1="), 1);
    EXPECT_EQ(m_reader.GetFileCount(), 1);
    EXPECT_EQ(Name(1), "");
}

TEST_F(MultiSysExReader, ByteFFIsACharacterLikeAnyOther)
{
    // Latin-1 names with "\xFF" are not cut, and a junk byte before the header is skipped.
    ASSERT_EQ(OpenList("\xFF junk [MultiSysEx]\n1=ab\xFF"
                       "cd.syx\n2=\"a b\xFF"
                       "c\"\n3=x.syx\n"),
              1);
    EXPECT_EQ(m_reader.GetFileCount(), 3);
    EXPECT_EQ(Name(1), "ab\xFF"
                       "cd.syx");
    EXPECT_EQ(Name(2), "a b\xFF"
                       "c");
    EXPECT_EQ(Name(3), "x.syx");
    // Other bytes above 0x7F are name characters, never white space.
    ASSERT_EQ(OpenList("[MultiSysEx]\n1=\xC3\xA4\xA0x.syx\n"), 1);
    EXPECT_EQ(Name(1), "\xC3\xA4\xA0x.syx");
}

TEST_F(MultiSysExReader, ValuesOf255CharactersEndTheList)
{
    const std::string name254(254, 'n');
    const std::string name255(255, 'n');
    ASSERT_EQ(OpenList("[MultiSysEx]\n1=" + name254 + "\n2=\"" + name254 + "\"\n"), 1);
    EXPECT_EQ(Name(1), name254);
    EXPECT_EQ(Name(2), name254);

    ASSERT_EQ(OpenList("[MultiSysEx]\n1=a.syx\n2=" + name255 + "\n3=c.syx\n"), 1);
    EXPECT_EQ(m_reader.GetFileCount(), 1);
    EXPECT_EQ(m_reader.GetProblem(), CMultiSysExReader::kNameTooLong);
    EXPECT_EQ(m_reader.GetProblemNumber(), 2);
    ASSERT_EQ(OpenList("[MultiSysEx]\n1=a.syx\n2=\"" + name255 + "\"\n3=c.syx\n"), 1);
    EXPECT_EQ(m_reader.GetFileCount(), 1);
    EXPECT_EQ(OpenList("[MultiSysEx]\n1=" + name255), 0);
    // A key of 255 characters without '=' ends the list too.
    EXPECT_EQ(OpenList("[MultiSysEx]\n" + std::string(255, '1') + "=a.syx\n"), 0);
    EXPECT_TRUE(sg_alerts.empty());
}

TEST_F(MultiSysExReader, NamesAreCutToTheBuffer)
{
    ASSERT_EQ(OpenList("[MultiSysEx]\n1=bank_a.syx\n"), 1);
    char szName[6];
    memset(szName, 'x', sizeof(szName));
    EXPECT_EQ(m_reader.GetSysExFileName(szName, sizeof(szName), 1), 0);
    EXPECT_STREQ(szName, "bank_");
}

TEST_F(MultiSysExReader, ListedNamesAreFoundBesideTheList)
{
    std::filesystem::create_directories(m_dir.File("lists/sub"));
    m_dir.Write("lists/dump.syx", "near");
    m_dir.Write("lists/sub/deep.syx", "deep");
    m_dir.Write("outside.syx", "outside");
    m_dir.Write("dump.syx", "far");
    ASSERT_EQ(OpenList("[MultiSysEx]\n1=dump.syx\n2=sub/deep.syx\n3=../outside.syx\n"
                       "4=missing.syx\n5=sub\n",
                       "lists"),
              1);
    EXPECT_EQ(Contents(1), "near");
    EXPECT_EQ(Contents(2), "deep");
    EXPECT_TRUE(sg_alerts.empty());

    // Outside the list's folder counts as not found.
    EXPECT_EQ(Contents(3), "<null>");
    EXPECT_EQ(Contents(4), "<null>");
    EXPECT_EQ(sg_alerts, (std::vector<tagAlert>{{"Not Found File", kAlertStopAlert},
                                                {"Not Found File", kAlertStopAlert}}));
    EXPECT_TRUE(m_log.Contains("Not found file: ../outside.syx"));
    EXPECT_TRUE(m_log.Contains("Not found file: missing.syx"));

    // A folder exists but does not open as a file.
    sg_alerts.clear();
    EXPECT_EQ(Contents(5), "<null>");
    EXPECT_EQ(sg_alerts, (std::vector<tagAlert>{{"Can't Open File", kAlertStopAlert}}));
    EXPECT_TRUE(m_log.Contains("Can't open file: sub"));
}

TEST_F(MultiSysExReader, AnotherOpenReplacesTheEntries)
{
    m_dir.Write("one.syx", "1");
    ASSERT_EQ(OpenList("[MultiSysEx]\n1=one.syx\n2=two.syx\n3=three.syx\n"), 1);
    ASSERT_EQ(OpenList("[MultiSysEx]\n5=five.syx\n", "other"), 1);
    EXPECT_EQ(m_reader.GetFileCount(), 1);
    EXPECT_EQ(Name(1), "<untouched>");
    EXPECT_EQ(Name(5), "five.syx");

    EXPECT_EQ(OpenList("[Bad]\n1=one.syx\n"), 0);
    EXPECT_EQ(m_reader.GetFileCount(), 0);
    EXPECT_EQ(Name(5), "<untouched>");
    EXPECT_EQ(Contents(5), "<null>");
}
