#include "file/SysExDump.h"
#include "file/HexRow.h"
#include "file/SysExDumpIndex.h"
#include "file/SysExDumpReport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

struct tagSpanCase
{
    size_t nOffset;
    size_t nLength;
    bool bUnterminated;
};

struct tagSplitCase
{
    const char* pszName;
    Bytes bytes;
    std::vector<tagSpanCase> messages;
    std::vector<tagSpanCase> gaps; // bUnterminated unused
};

const tagSplitCase kSplitCases[] = {
    {"BytesBetween", {0xF0, 0x01, 0xF7, 0x05, 0x06, 0xF0, 0x02, 0xF7},
     {{0, 3, false}, {5, 3, false}}, {{3, 2, false}}},
    {"BytesBeforeAndAfter", {0x00, 0xF0, 0x01, 0xF7, 0x7F, 0xF7}, {{1, 3, false}},
     {{0, 1, false}, {4, 2, false}}},
    {"UnterminatedLast", {0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x03}, {{0, 3, false}, {3, 3, true}}, {}},
    {"InterruptedByF0", {0xF0, 0x01, 0xF0, 0x02, 0xF7}, {{0, 2, true}, {2, 3, false}}, {}},
    // The status byte and what follows it up to the next F0 are no message.
    {"InterruptedByANote", {0xF0, 0x01, 0x90, 0x40, 0xF7, 0xF0, 0xF7},
     {{0, 2, true}, {5, 2, false}}, {{2, 3, false}}},
};

class SysExDumpSplitTest : public ::testing::TestWithParam<tagSplitCase>
{
};

std::vector<std::string> ReportLines(const CSysExDumpReport& report)
{
    std::vector<std::string> lines;
    report.ForEachLine([&](const char* pszLine) { lines.emplace_back(pszLine); });
    return lines;
}

// GS reset, good sum.
const Bytes kRoland = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
const Bytes kRolandBad = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x40, 0xF7};
const Bytes kGMOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}
} // namespace

TEST_P(SysExDumpSplitTest, FindsMessagesAndTheBytesOutsideThem)
{
    const tagSplitCase& c = GetParam();
    const CSysExDumpIndex index(c.bytes.data(), c.bytes.size());
    ASSERT_EQ(index.GetMessageCount(), c.messages.size());
    for (size_t i = 0; i < c.messages.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(index.GetMessage(i).nOffset, c.messages[i].nOffset);
        EXPECT_EQ(index.GetMessage(i).nLength, c.messages[i].nLength);
        EXPECT_EQ(index.IsUnterminated(i), c.messages[i].bUnterminated);
        EXPECT_EQ(index.GetMessageBytes(i), c.bytes.data() + c.messages[i].nOffset);
    }
    ASSERT_EQ(index.GetGaps().size(), c.gaps.size());
    for (size_t i = 0; i < c.gaps.size(); ++i)
    {
        EXPECT_EQ(index.GetGaps()[i].nOffset, c.gaps[i].nOffset);
        EXPECT_EQ(index.GetGaps()[i].nLength, c.gaps[i].nLength);
    }
}

INSTANTIATE_TEST_SUITE_P(Dumps, SysExDumpSplitTest, ::testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(SysExDumpReportTest, SaysWhereABadSumStrayBytesAndAnUnterminatedMessageAre)
{
    const Bytes bytes = Joined({kRoland, {0x01, 0x02, 0x03}, kRolandBad, {0xF0, 0x43, 0x00}});
    const CSysExDumpIndex index(bytes.data(), bytes.size());
    const CSysExDumpReport report(index);
    EXPECT_FALSE(report.IsOk());
    const std::vector<std::string> expected = {
        "      1  00000000       11  Roland                            OK",
        "      -  0000000B        3  bytes outside messages",
        "      2  0000000E       11  Roland                            BAD",
        "      3  00000019        3  Yamaha                            \u2013  unterminated",
        "3 messages, 28 bytes; checksums: 1 OK, 1 BAD, 1 \u2013",
        "Bytes outside messages: 3 at 0000000B",
        "BAD checksum: message 2 at 0000000E",
        "Unterminated message: message 3 at 00000019",
    };
    EXPECT_EQ(ReportLines(report), expected);
}

TEST(SysExDumpReportTest, ListsTheFirstProblemsAndCountsTheRest)
{
    Bytes bytes;
    for (int i = 0; i < 13; ++i)
        bytes.insert(bytes.end(), kRolandBad.begin(), kRolandBad.end());
    const CSysExDumpIndex index(bytes.data(), bytes.size());
    const CSysExDumpReport report(index);
    const std::vector<std::string> lines = ReportLines(report);
    ASSERT_EQ(lines.size(), 13 + 1 + CSysExDumpReport::sm_nMaxProblemLines + 1);
    EXPECT_EQ(lines[14], "BAD checksum: message 1 at 00000000");
    EXPECT_EQ(lines.back(), "... and 3 more");
    EXPECT_EQ(report.GetCount(CSysExChecksum::kBad), 13u);
}

TEST(SysExDumpFileTest, MapsAFileAndJoinsTheChosenMessages)
{
    TempDir dir;
    const std::string sPath = dir.Write("dump.syx", Joined({kRoland, kGMOn, kRolandBad}));
    CSysExDump dump;
    ASSERT_EQ(dump.OpenFile(sPath.c_str()), 1);
    ASSERT_EQ(dump.Index().GetMessageCount(), 3u);
    EXPECT_EQ(dump.Join({2, 0}), Joined({kRolandBad, kRoland}));

    EXPECT_EQ(dump.OpenFile(dir.Write("empty.syx", "").c_str()), 1);
    EXPECT_EQ(dump.Index().GetMessageCount(), 0u);
    EXPECT_EQ(dump.OpenFile(dir.File("missing.syx").c_str()), 0);
    EXPECT_EQ(dump.Index().GetSize(), 0u);

    dump.Assign(kGMOn);
    EXPECT_EQ(dump.Index().GetMessageCount(), 1u);
    EXPECT_EQ(dump.Join({0}), kGMOn);
}

TEST(HexRowTest, ShowsOffsetBytesAndPrintableText)
{
    Bytes bytes = {0xF0, 0x41, 'P',  'i',  'a',  'n',  'o', ' ', '1', 0x00,
                   0x7F, 0x10, 0x20, 0x30, 0x40, 0x50, 'A', 'B', 0xF7};
    char szRow[CHexRow::sm_nRowSize];
    ASSERT_EQ(CHexRow::RowCount(bytes.size()), 2u);
    CHexRow::Format(bytes.data(), bytes.size(), 0x100, 0, szRow, sizeof(szRow));
    EXPECT_STREQ(szRow,
                 "000100  F0 41 50 69 61 6E 6F 20  31 00 7F 10 20 30 40 50  .APiano 1... 0@P");
    CHexRow::Format(bytes.data(), bytes.size(), 0x100, 1, szRow, sizeof(szRow));
    EXPECT_STREQ(szRow, "000110  41 42 F7                                          AB.");
}
