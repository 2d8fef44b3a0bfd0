#include "file/LumFile.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "toolkit/Alert.h"
#include "transfer/MultiSysExReader.h"
#include "transfer/SysExDumpRecorder.h"
#include "transfer/SysExRequest.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

Bytes Kept(const CSysExDumpRecorder& recorder)
{
    Bytes bytes;
    recorder.ForEachPiece(
        [&](const unsigned char* pData, size_t nLength)
        {
            bytes.insert(bytes.end(), pData, pData + nLength);
            return true;
        });
    return bytes;
}

using tagAlert = std::pair<std::string, int>;
std::vector<tagAlert> sg_alerts;

class MultiSysExReader : public testing::Test
{
protected:
    void SetUp() override
    {
        sg_alerts.clear();
        SetErrorAlertSink([](const char* pszKey, int iType)
                          { sg_alerts.emplace_back(pszKey, iType); });
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
        char szName[256] = "<untouched>";
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

struct tagListCase
{
    const char* pszName;
    std::string sText;
    int iResult;
    int nFileCount;
    std::vector<std::pair<int, std::string>> names; // entry number, name; "<untouched>": none
    CMultiSysExReader::Problem problem = CMultiSysExReader::kNoProblem;
    int nProblemNumber = 0;
    const char* pszLog = nullptr; // the one line logged, after "ParseHeader: "
};

constexpr auto kNoHeader = CMultiSysExReader::kNoHeader;
const std::string kHeader = "[MultiSysEx]\n";

// Entries are kept by number, not by line; only a key's leading number counts; bare names
// end at white space, quoted ones at their quote; any byte above 0x7F is a name character.
// clang-format off
const tagListCase kListCases[] = {
    // Bad headers make illegal list files; the caller tells the user, naming the file.
    {"Empty", "", 0, 0, {}, kNoHeader, 0, "Can't find MSY header."},
    {"Unclosed", "[MultiSysEx", 0, 0, {}, kNoHeader, 0, "Failed to read section name."},
    {"LowerCase", "[multisysex]\n1=a.syx\n", 0, 0, {}, CMultiSysExReader::kBadSectionName, 0,
     "Illegal section name."},
    {"TextAroundTheSectionName", "notes [  MultiSysEx2  ]\n1=a.syx\n", 1, 1, {{1, "a.syx"}}},
    {"NoEntries", kHeader + "\n", 0, 0, {}, CMultiSysExReader::kNoEntries},
    {"RepeatedNumberFirstWins", kHeader + "1=first.syx\n1=again.syx\n", 1, 2,
     {{1, "first.syx"}, {2, "<untouched>"}}, CMultiSysExReader::kRepeatedNumber, 1},
    {"MissingNumbersStayMissing", kHeader + "3=three.syx\n-2=minus.syx\n1=one.syx\n", 1, 3,
     {{-2, "minus.syx"}, {2, "<untouched>"}, {3, "three.syx"}}},
    {"LeadingNumberOfAKey",
     kHeader + "x1=letter.syx\n 2nd entry = second.syx\na note without equals\n4=fourth.syx\n"
               "99999999999=huge.syx\n",
     1, 4, {{0, "letter.syx"}, {2, "second.syx"}, {4, "<untouched>"}, {INT_MAX, "huge.syx"}},
     CMultiSysExReader::kRepeatedNumber, 0},
    // "Kit.syx\n2" becomes the next key: entry 0; an unterminated quote runs to the end.
    {"BareAndQuotedNames", kHeader + "1=Drum Kit.syx\n2=\"Pad\n  Bank.syx\"  3=\"open", 1, 3,
     {{1, "Drum"}, {0, "Pad\n  Bank.syx"}, {3, "open"}}},
    {"ByteFF",
     "\xFF junk [MultiSysEx]\n1=ab\xFF" "cd.syx\n2=\"a b\xFF" "c\"\n3=\xC3\xA4\xA0x.syx\n",
     1, 3, {{1, "ab\xFF" "cd.syx"}, {2, "a b\xFF" "c"}, {3, "\xC3\xA4\xA0x.syx"}}},
    {"NameOf255EndsTheList", kHeader + "1=a.syx\n2=" + std::string(255, 'n') + "\n3=c.syx\n", 1, 1,
     {{1, "a.syx"}, {3, "<untouched>"}}, CMultiSysExReader::kNameTooLong, 2},
};
// clang-format on
} // namespace

TEST_F(MultiSysExReader, KeepsTheEntriesByNumberAndHandsOutTheirFiles)
{
    for (const tagListCase& c : kListCases)
    {
        SCOPED_TRACE(c.pszName);
        m_log.Clear();
        EXPECT_EQ(OpenList(c.sText), c.iResult);
        EXPECT_EQ(m_reader.GetFileCount(), c.nFileCount);
        for (const auto& [iNumber, sName] : c.names)
            EXPECT_EQ(Name(iNumber), sName) << iNumber;
        EXPECT_EQ(m_reader.GetProblem(), c.problem);
        if (c.nProblemNumber)
        {
            EXPECT_EQ(m_reader.GetProblemNumber(), c.nProblemNumber);
        }
        EXPECT_TRUE(sg_alerts.empty());
        const std::vector<std::string> log =
            c.pszLog ? std::vector<std::string>{std::string("ParseHeader: ") + c.pszLog}
                     : std::vector<std::string>{};
        EXPECT_EQ(m_log.Lines(), log);
    }

    // The list's files are handed out, found beside it.
    m_log.Clear();
    m_dir.Write("bank_a.syx", "A");
    m_dir.Write("Drum Kit.syx", "D");
    m_dir.Write("bank_b.syx", "B");
    ASSERT_EQ(OpenList("[MultiSysEx]\r\n1=bank_a.syx\r\n2=\"Drum Kit.syx\"\r\n3=bank_b.syx\r\n"),
              1);
    EXPECT_EQ(m_reader.GetFileCount(), 3);
    EXPECT_EQ(Name(1) + Name(2) + Name(3) + Contents(1) + Contents(2) + Contents(3),
              "bank_a.syxDrum Kit.syxbank_b.syxADB");
    char szName[6];
    memset(szName, 'x', sizeof(szName));
    EXPECT_EQ(m_reader.GetSysExFileName(szName, sizeof(szName), 1), 0);
    EXPECT_STREQ(szName, "bank_");
    EXPECT_TRUE(sg_alerts.empty());
    EXPECT_TRUE(m_log.Lines().empty());

    // Another open replaces the entries, a failed one too.
    ASSERT_EQ(OpenList("[MultiSysEx]\n5=five.syx\n", "other"), 1);
    EXPECT_EQ(m_reader.GetFileCount(), 1);
    EXPECT_EQ(Name(1), "<untouched>");
    EXPECT_EQ(Name(5), "five.syx");
    EXPECT_EQ(OpenList("[Bad]\n1=one.syx\n"), 0);
    EXPECT_EQ(m_reader.GetFileCount(), 0);
    EXPECT_EQ(Name(5), "<untouched>");
    EXPECT_EQ(Contents(5), "<null>");

    // Listed names are found beside the list.
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

    // A folder exists but does not open as a file.
    sg_alerts.clear();
    EXPECT_EQ(Contents(5), "<null>");
    EXPECT_EQ(sg_alerts, (std::vector<tagAlert>{{"Can't Open File", kAlertStopAlert}}));
}

TEST(DumpRecorderStorageAndRequests, MessagesComeBackInOrderAndRequestsParseOrSayWhy)
{
    CSysExDumpRecorder recorder;
    Bytes expected;
    // Messages of growing length straddle the piece boundaries; an interrupted one
    // between them must leave no trace.
    for (int i = 0; expected.size() < 3 * CSysExDumpRecorder::sm_nPieceSize; ++i)
    {
        Bytes message{0xF0};
        for (int j = 0; j < 100 + i % 300; ++j)
            message.push_back(uint8_t((i + j) & 0x7F));
        message.push_back(0xF7);
        expected.insert(expected.end(), message.begin(), message.end());
        recorder.Take(message.data(), message.size());
        const Bytes broken{0xF0, 0x11, 0x22, 0x80};
        recorder.Take(broken.data(), broken.size());
    }
    EXPECT_EQ(Kept(recorder), expected);
    EXPECT_EQ(recorder.Counts().llMessageBytes, int64_t(expected.size()));

    size_t nPieces = 0;
    EXPECT_FALSE(
        recorder.ForEachPiece([&](const unsigned char*, size_t) { return ++nPieces < 2; }));
    EXPECT_EQ(nPieces, 2u);

    recorder.Clear();
    EXPECT_TRUE(Kept(recorder).empty());
    EXPECT_EQ(recorder.Counts().llMessages, 0);
    EXPECT_EQ(recorder.BytesSeen(), 0u);

    // A request given in hex parses or says what is wrong and where; a valid one comes back
    // from its hex. One too long for the output is refused.
    const struct
    {
        const char* pszText;
        CSysExRequest::Problem problem;
        size_t nWhere; // of the problem
        Bytes bytes;   // when valid
    } kCases[] = {
        {"F0 43 20 09 F7", CSysExRequest::kNoProblem, 0, {0xF0, 0x43, 0x20, 0x09, 0xF7}},
        {" F0,7D\t01 ,F7 ", CSysExRequest::kNoProblem, 0, {0xF0, 0x7D, 0x01, 0xF7}},
        {"  ", CSysExRequest::kEmpty, 0, {}},
        {"F0 4G F7", CSysExRequest::kNotHex, 4, {}},
        {"F0 43 F7 1", CSysExRequest::kNotHex, 10, {}},
        {"43 20 F7", CSysExRequest::kNotFramed, 0, {}},
        {"F0 43 20", CSysExRequest::kNotFramed, 2, {}},
        {"F0 01 F7 02 F0 03 F7", CSysExRequest::kNotFramed, 3, {}},
        {"F0 43 80 F7", CSysExRequest::kDataTooHigh, 2, {}},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszText);
        Bytes bytes{0x55};
        size_t nWhere = 999;
        EXPECT_EQ(CSysExRequest::ParseHex(c.pszText, &bytes, &nWhere), c.problem);
        if (c.problem == CSysExRequest::kNoProblem)
        {
            EXPECT_EQ(bytes, c.bytes);
            Bytes again;
            EXPECT_EQ(CSysExRequest::ParseHex(CSysExRequest::ToHex(bytes).c_str(), &again, nullptr),
                      CSysExRequest::kNoProblem);
            EXPECT_EQ(again, bytes);
        }
        else
        {
            EXPECT_EQ(nWhere, c.nWhere);
            EXPECT_EQ(bytes, Bytes{0x55}) << "a failed parse leaves the bytes alone";
        }
    }

    Bytes bytes(CSysExRequest::sm_nMaxSize + 1, 0x01);
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    EXPECT_EQ(CSysExRequest::Check(bytes, nullptr), CSysExRequest::kTooLong);
    bytes.erase(bytes.begin() + 1);
    EXPECT_EQ(CSysExRequest::Check(bytes, nullptr), CSysExRequest::kNoProblem);
}
