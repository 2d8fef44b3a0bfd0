#include "file/SysExDump.h"
#include "file/HexRow.h"
#include "file/MidiManufacturer.h"
#include "file/SysExChecksum.h"
#include "file/SysExDumpIndex.h"
#include "file/SysExDumpReport.h"
#include "support/MidiFileBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace
{
using MidiFileBuilder::Bytes;
using MidiFileBuilder::Join;

// "offset+length" of each message ("!" when unterminated), then "|" and the gaps.
std::string Spans(const CSysExDumpIndex& index)
{
    std::ostringstream out;
    for (size_t i = 0; i < index.GetMessageCount(); ++i)
        out << index.GetMessage(i).nOffset << '+' << index.GetMessage(i).nLength
            << (index.IsUnterminated(i) ? "! " : " ");
    out << '|';
    for (const tagSysExSpan& gap : index.GetGaps())
        out << ' ' << gap.nOffset << '+' << gap.nLength;
    return out.str();
}

std::vector<std::string> ReportLines(const CSysExDumpIndex& index)
{
    std::vector<std::string> lines;
    CSysExDumpReport(index).ForEachLine([&](const char* pszLine) { lines.emplace_back(pszLine); });
    return lines;
}

// GS reset, good sum.
const Bytes kRoland = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
const Bytes kRolandBad = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x40, 0xF7};
const Bytes kGMOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

constexpr auto kGood = CSysExChecksum::kGood, kBad = CSysExChecksum::kBad,
               kNone = CSysExChecksum::kNone;

} // namespace

TEST(SysExDumpSplitTest, FindsMessagesAndTheBytesOutsideThem)
{
    const std::pair<Bytes, const char*> cases[] = {
        {{0xF0, 0x01, 0xF7, 0x05, 0x06, 0xF0, 0x02, 0xF7}, "0+3 5+3 | 3+2"},
        {{0x00, 0xF0, 0x01, 0xF7, 0x7F, 0xF7}, "1+3 | 0+1 4+2"},
        {{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x03}, "0+3 3+3! |"},
        {{0xF0, 0x01, 0xF0, 0x02, 0xF7}, "0+2! 2+3 |"},
        // The status byte and what follows it up to the next F0 are no message.
        {{0xF0, 0x01, 0x90, 0x40, 0xF7, 0xF0, 0xF7}, "0+2! 5+2 | 2+3"}};
    for (const auto& [bytes, pszSpans] : cases)
        EXPECT_EQ(Spans(CSysExDumpIndex(bytes.data(), bytes.size())), pszSpans);
}

// A dump mapped from a file joins the chosen messages in the order asked; its report says
// where a bad sum, stray bytes and an unterminated message are, past the first few only how many.
TEST(SysExDumpTest, MapsAFileJoinsTheChosenMessagesReportsTheProblemsAndShowsHexRows)
{
    TempDir dir;
    CSysExDump dump;
    const Bytes bytes = Join({kRoland, {0x01, 0x02, 0x03}, kRolandBad, {0xF0, 0x43, 0x00}});
    ASSERT_EQ(dump.OpenFile(dir.Write("dump.syx", bytes).c_str()), 1);
    EXPECT_EQ(dump.Join({1, 0}), Join({kRolandBad, kRoland}));
    EXPECT_FALSE(CSysExDumpReport(dump.Index()).IsOk());
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
    EXPECT_EQ(ReportLines(dump.Index()), expected);

    Bytes many;
    for (int i = 0; i < 13; ++i)
        many.insert(many.end(), kRolandBad.begin(), kRolandBad.end());
    dump.Assign(many);
    const std::vector<std::string> lines = ReportLines(dump.Index());
    ASSERT_EQ(lines.size(), 13 + 1 + CSysExDumpReport::sm_nMaxProblemLines + 1);
    EXPECT_EQ(lines[14], "BAD checksum: message 1 at 00000000");
    EXPECT_EQ(lines.back(), "... and 3 more");
    EXPECT_EQ(CSysExDumpReport(dump.Index()).GetCount(CSysExChecksum::kBad), 13u);

    EXPECT_EQ(dump.OpenFile(dir.Write("empty.syx", "").c_str()), 1);
    EXPECT_EQ(dump.Index().GetMessageCount(), 0u);
    EXPECT_EQ(dump.OpenFile(dir.File("missing.syx").c_str()), 0);
    EXPECT_EQ(dump.Index().GetSize(), 0u);
    dump.Assign(kGMOn);
    EXPECT_EQ(dump.Join({0}), kGMOn);

    // A dump's hex rows show the offset, the bytes and the printable text.
    const Bytes row = {0xF0, 0x41, 'P',  'i',  'a',  'n',  'o', ' ', '1', 0x00,
                       0x7F, 0x10, 0x20, 0x30, 0x40, 0x50, 'A', 'B', 0xF7};
    char szRow[CHexRow::sm_nRowSize];
    ASSERT_EQ(CHexRow::RowCount(row.size()), 2u);
    CHexRow::Format(row.data(), row.size(), 0x100, 0, szRow, sizeof(szRow));
    EXPECT_STREQ(szRow,
                 "000100  F0 41 50 69 61 6E 6F 20  31 00 7F 10 20 30 40 50  .APiano 1... 0@P");
    CHexRow::Format(row.data(), row.size(), 0x100, 1, szRow, sizeof(szRow));
    EXPECT_STREQ(szRow, "000110  41 42 F7                                          AB.");
}

// Sums worked out by hand from each maker's rule.
TEST(SysExChecksumTest, JudgesTheMessageByItsMakersRule)
{
    // A Sample Dump Standard data packet: channel 0, packet 5, 120 data bytes that are 0
    // but the first (0x11). By the rule the sum is 7E ^ 00 ^ 02 ^ 05 ^ 11 = 68.
    Bytes packet = {0xF0, 0x7E, 0x00, 0x02, 0x05, 0x11};
    packet.resize(125);
    packet.insert(packet.end(), {0x68, 0xF7});
    Bytes shortPacket = packet;
    shortPacket.erase(shortPacket.begin() + 6);
    const std::pair<Bytes, CSysExChecksum::Result> cases[] = {
        // Roland DT1, GS reset: 40+00+7F+00 = BF; 80 - 3F = 41.
        {{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}, kGood},
        {{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x42, 0xF7}, kBad},
        // RQ1, model 00 00 64; address 18 00 00 00, size 00 00 00 0F: 18+0F = 27; 80 - 27 = 59.
        {{0xF0, 0x41, 0x10, 0x00, 0x00, 0x64, 0x11, 0x18, 0, 0, 0, 0, 0, 0, 0x0F, 0x59, 0xF7},
         kGood},
        {{0xF0, 0x41, 0x10, 0x42, 0x12, 0x00, 0xF7}, kBad},                    // no address
        {{0xF0, 0x41, 0x10, 0x42, 0x40, 0x01, 0x02, 0xF7}, kNone},             // other command
        {{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41}, kNone}, // unterminated
        // Yamaha bulk, format 09, count 00 04, data 01 02 03 04: 0A; 80 - 0A = 76.
        {{0xF0, 0x43, 0x00, 0x09, 0x00, 0x04, 1, 2, 3, 4, 0x76, 0xF7}, kGood},
        {{0xF0, 0x43, 0x00, 0x09, 0x00, 0x04, 1, 2, 3, 4, 0x75, 0xF7}, kBad},
        // XG: the count and address count too: 00+02+02+01+00+40+41 = 86 -> 06; 80 - 06 = 7A.
        {{0xF0, 0x43, 0x05, 0x4C, 0, 2, 2, 1, 0, 0x40, 0x41, 0x7A, 0xF7}, kGood},
        // Model 7F 03, count 00 01, address 01 02 03, data 10: 17; 80 - 17 = 69.
        {{0xF0, 0x43, 0, 0x7F, 3, 0, 1, 1, 2, 3, 0x10, 0x69, 0xF7}, kGood},
        {{0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}, kNone}, // parameter change
        {{0xF0, 0x43, 0, 0x09, 0, 5, 1, 2, 3, 4, 0x76, 0xF7}, kNone},    // count matches no layout
        {packet, kGood},
        {shortPacket, kBad},
        {{0xF0, 0x7E, 0x00, 0x01, 0x05, 0x00, 0x10, 0xF7}, kNone}, // sample dump header
        {{0xF0, 0x42, 0x30, 0x00, 0x01, 0xF7}, kNone},
        {{}, kNone}};
    for (const auto& [message, expected] : cases)
        EXPECT_EQ(CSysExChecksum::Check(message.data(), message.size()), expected)
            << ::testing::PrintToString(message);
}

TEST(MidiManufacturerTest, NamesTheMakerOrShowsTheID)
{
    const std::string kNonRealTime = "Universal Non-Real Time";
    const std::tuple<Bytes, std::string, int> cases[] = {
        {{0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7}, "Roland", 0x10},
        {{0xF0, 0x00, 0x20, 0x29, 0x02, 0x11, 0xF7}, "Focusrite/Novation", 0x02},
        {{0xF0, 0, 0, 0x41, 0x01, 0xF7}, "Microsoft", 0x01}, // not the one-byte 41
        {{0xF0, 0x7E, 0x7F, 0x06, 0x02, 0x41, 0xF7}, kNonRealTime + ": Identity Reply", 0x7F},
        {{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, kNonRealTime + ": GM System On", 0x7F},
        {{0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7},
         "Universal Real Time: Master Volume",
         0x7F},
        // An unknown second sub-ID names the first.
        {{0xF0, 0x7E, 0x7F, 0x09, 0x7A, 0xF7}, kNonRealTime + ": General MIDI", 0x7F},
        {{0xF0, 0x7E, 0x7F, 0x6A, 0xF7}, kNonRealTime, 0x7F},
        {{0xF0, 0x45, 0x01, 0xF7}, "45", 0x01},
        {{0xF0, 0x00, 0x21, 0x7F, 0xF7}, "00 21 7F", -1},
        {{0xF0, 0x00, 0x20, 0xF7}, "", -1}, // too short for three bytes
        {{0xF0, 0xF7}, "", -1}};
    for (const auto& [message, expected, iDeviceID] : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(message));
        const tagMidiManufacturer maker =
            CMidiManufacturer::Identify(message.data(), message.size());
        char szText[128];
        CMidiManufacturer::Format(maker, szText, sizeof(szText));
        EXPECT_EQ(std::string(szText), expected);
        EXPECT_EQ(maker.iDeviceID, iDeviceID);
        // Cut to the buffer.
        EXPECT_EQ(CMidiManufacturer::Format(maker, szText, 4),
                  int(std::min<size_t>(3, expected.size())));
        EXPECT_EQ(std::string(szText), expected.substr(0, 3));
    }
}
