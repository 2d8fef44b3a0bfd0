#include "file/SysExDump.h"
#include "file/HexRow.h"
#include "file/MidiFileReader.h"
#include "file/MidiFileWriter.h"
#include "file/MidiManufacturer.h"
#include "file/SysExChecksum.h"
#include "file/SysExDumpIndex.h"
#include "file/SysExDumpReport.h"
#include "support/MidiFileBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace MidiFileBuilder;

namespace
{
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
    // Messages and the bytes outside them.
    const std::pair<Bytes, const char*> cases[] = {
        {{0xF0, 0x01, 0xF7, 0x05, 0x06, 0xF0, 0x02, 0xF7}, "0+3 5+3 | 3+2"},
        {{0x00, 0xF0, 0x01, 0xF7, 0x7F, 0xF7}, "1+3 | 0+1 4+2"},
        {{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x03}, "0+3 3+3! |"},
        {{0xF0, 0x01, 0xF0, 0x02, 0xF7}, "0+2! 2+3 |"},
        // The status byte and what follows it up to the next F0 are no message.
        {{0xF0, 0x01, 0x90, 0x40, 0xF7, 0xF0, 0xF7}, "0+2! 5+2 | 2+3"}};
    for (const auto& [split, pszSpans] : cases)
        EXPECT_EQ(Spans(CSysExDumpIndex(split.data(), split.size())), pszSpans);
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
TEST(SysExMessage, JudgesTheSumByTheMakersRuleAndNamesTheMaker)
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

    // The maker named, or its ID shown.
    const std::string kNonRealTime = "Universal Non-Real Time";
    const std::tuple<Bytes, std::string, int> makers[] = {
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
    for (const auto& [message, expected, iDeviceID] : makers)
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

using Messages = std::vector<std::pair<int64_t, Bytes>>; // time in us, bytes

// The messages of a file that must read.
Messages Read(const Bytes& file)
{
    CMidiFileReader reader;
    EXPECT_EQ(reader.Read(file.data(), file.size()), 1) << reader.ErrorKey();
    Messages messages;
    for (const tagMidiFileMessage& message : reader.Messages())
        messages.emplace_back(message.llTimeUs, message.aucData);
    return messages;
}

const Bytes kGoodTrack = Track({SysExEvent(0, {0x01, 0xF7})});

// 96 ticks a quarter note at the default tempo of 120: a tick is 5208.33 us.
TEST(MidiFile, ReadsTheSysExInTimeOrderOrNamesWhatIsWrongAndReadsBackWhatIsWritten)
{
    const std::tuple<const char*, Bytes, Messages> cases[] = {
        // The message goes on in F7 events up to the one ending in F7; an F7 event after
        // that is an escape of its own. Other events between the packets are read past.
        {"ContinuationsThenEscape",
         File(0, 96,
              {Track({SysExEvent(0, {0x43, 0x12}), EscapeEvent(10, {0x00, 0x01}),
                      Event(0, {0x90, 0x40, 0x7F}), EscapeEvent(10, {0x02, 0xF7}),
                      EscapeEvent(96, {0xF8})})}),
         {{0, {0xF0, 0x43, 0x12, 0x00, 0x01, 0x02, 0xF7}}, {604166, {0xF8}}}},
        // Channel events with running status, before and after SysEx and meta events.
        {"RunningStatusAroundSysEx",
         File(0, 96,
              {Track({Event(0, {0x90, 0x3C, 0x40}), Event(0, {0x3E, 0x40}),
                      SysExEvent(0, {0x7E, 0xF7}), Event(0, {0x3C, 0x00}),
                      Meta(0, 0x01, {'h', 'i'}), Event(0, {0x3E, 0x00}), Event(0, {0xC0, 0x05}),
                      Event(0, {0x06}), Event(0, {0xE0, 1, 2}), SysExEvent(96, {0x7D, 0xF7}),
                      Event(0, {0x03, 0x04})})}),
         {{0, {0xF0, 0x7E, 0xF7}}, {500000, {0xF0, 0x7D, 0xF7}}}},
        // Of two messages at one time the earlier track's comes first.
        {"TwoTracksInterleaved",
         File(1, 96,
              {Track({SysExEvent(0, {0x01, 0xF7}), SysExEvent(192, {0x03, 0xF7})}),
               Track({SysExEvent(96, {0x02, 0xF7}), SysExEvent(96, {0x04, 0xF7})})}),
         {{0, {0xF0, 0x01, 0xF7}},
          {500000, {0xF0, 0x02, 0xF7}},
          {1000000, {0xF0, 0x03, 0xF7}},
          {1000000, {0xF0, 0x04, 0xF7}}}},
        // The tempo of the first track times the second: half a second at 120, then a
        // quarter note at 240 and one at 60.
        {"TempoChanges",
         File(1, 480,
              {Track({Tempo(480, 250000), Tempo(480, 1000000)}),
               Track({SysExEvent(480, {0x01, 0xF7}), SysExEvent(480, {0x02, 0xF7}),
                      SysExEvent(480, {0x03, 0xF7})})}),
         {{500000, {0xF0, 0x01, 0xF7}},
          {750000, {0xF0, 0x02, 0xF7}},
          {1750000, {0xF0, 0x03, 0xF7}}}},
        // 25 frames of 40 ticks: a tick is a millisecond, whatever the tempo says.
        {"SmpteTime",
         File(0, (0xE7 << 8) | 40, {Track({Tempo(0, 1000000), SysExEvent(1500, {0x01, 0xF7})})}),
         {{1500000, {0xF0, 0x01, 0xF7}}}},
        // An F0 event without F7 whose next SysEx event is another F0 stays unfinished;
        // chunks of unknown types are skipped.
        {"UnfinishedMessageAndForeignChunk",
         Join({Header(1, 1, 96), Chunk("XFIH", {1, 2, 3}),
               Track({SysExEvent(0, {0x41}), SysExEvent(0, {0x42, 0xF7})})}),
         {{0, {0xF0, 0x41}}, {0, {0xF0, 0x42, 0xF7}}}}};
    for (const auto& [pszName, file, expected] : cases)
        EXPECT_EQ(Read(file), expected) << pszName;

    // A file that does not read names what is wrong and in which track.
    const std::tuple<const char*, Bytes, const char*, int> bad[] = {
        {"TruncatedChunk", Join({Header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 8, 0}}),
         "MidiFileTruncatedChunk", 1},
        {"TruncatedChunkHeader", Join({Header(1, 2, 96), kGoodTrack, {'M', 'T', 'r'}}),
         "MidiFileTruncatedChunk", 2},
        {"TruncatedHeader", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1},
         "MidiFileTruncatedChunk", 0},
        {"LengthPastEnd",
         Join({Header(0, 1, 96),
               Chunk("MTrk", Join({Number(0), {0xF0}, Number(40), {0x01, 0xF7}, EndOfTrack()}))}),
         "MidiFileLengthPastEnd", 1},
        {"NumberLongerThanFourBytes",
         File(0, 96, {Track({Join({{0x81, 0x80, 0x80, 0x80, 0x00}, {0xF0, 0x01, 0xF7}})})}),
         "MidiFileLongNumber", 1},
        {"TrackWithoutEnd",
         Join({Header(1, 2, 96), kGoodTrack, Chunk("MTrk", SysExEvent(0, {0x02, 0xF7}))}),
         "MidiFileNoEndOfTrack", 2},
        {"TracksMissing", Join({Header(1, 3, 96), kGoodTrack, kGoodTrack}), "MidiFileTracksMissing",
         3},
        {"NotAMidiFile", Bytes{0xF0, 0x01, 0xF7}, "MidiFileNotMidi", 0},
        {"ShortHeader", Join({Chunk("MThd", {0, 0, 0, 1}), kGoodTrack}), "MidiFileNotMidi", 0},
        {"FormatTwo", File(2, 96, {kGoodTrack}), "MidiFileFormat", 0},
        {"NoDivision", File(0, 0, {kGoodTrack}), "MidiFileDivision", 0},
        {"DataByteWithoutRunningStatus", File(0, 96, {Track({Event(0, {0x40, 0x40})})}),
         "MidiFileBadStatus", 1},
        {"SystemCommonStatus", File(0, 96, {Track({Event(0, {0xF2, 0x00, 0x00})})}),
         "MidiFileBadStatus", 1}};
    for (const auto& [pszName, file, pszKey, nTrack] : bad)
    {
        CMidiFileReader reader;
        EXPECT_EQ(reader.Read(file.data(), file.size()), 0) << pszName;
        EXPECT_STREQ(reader.ErrorKey(), pszKey) << pszName;
        EXPECT_EQ(reader.ErrorTrack(), nTrack) << pszName;
        EXPECT_TRUE(reader.Messages().empty()) << pszName;
    }

    // We read back all we wrote (long, unfinished, bytes outside), and so does midicsv: each
    // message at the time those before it take on the wire (320 us a byte) and the pause.
    const Bytes all = Join({SysEx(20000, 4),
                            SysEx(128, 5),
                            {0xF0, 0x41, 0x10},
                            SysEx(5, 6),
                            {0xF8, 0x01},
                            SysEx(4, 7),
                            {0x90, 0xF7, 0x40},
                            SysEx(4, 8)});
    Bytes file, joined;
    ASSERT_EQ(CMidiFileWriter::Write(all.data(), all.size(), 20, file), 1);
    for (const auto& message : Read(file))
        joined.insert(joined.end(), message.second.begin(), message.second.end());
    EXPECT_EQ(joined, all);

    const std::string sMidicsv = QM_MIDICSV;
    ASSERT_TRUE(!sMidicsv.empty() && sMidicsv.find("NOTFOUND") == std::string::npos)
        << "midicsv is not installed (scripts/setup.sh installs it)";
    const Bytes syx = Join({SysEx(5, 1), {0xF8}, SysEx(200, 2)});
    file.clear();
    ASSERT_EQ(CMidiFileWriter::Write(syx.data(), syx.size(), 50, file), 1);
    TempDir dir;
    const std::string sPath = dir.Write("dump.mid", file);

    FILE* pPipe = popen((sMidicsv + " '" + sPath + "' 2>&1").c_str(), "r");
    ASSERT_NE(pPipe, nullptr);
    std::string sOutput;
    char szBuffer[4096];
    while (size_t nRead = fread(szBuffer, 1, sizeof(szBuffer), pPipe))
        sOutput.append(szBuffer, nRead);
    ASSERT_EQ(pclose(pPipe), 0) << sOutput;

    std::ostringstream expected;
    expected << "0, 0, Header, 0, 1, 500\n"
             << "1, 0, Start_track\n"
             << "1, 0, Tempo, 500000\n"
             << "1, 0, System_exclusive, 4, 2, 3, 4, 247\n"
             // 5 bytes on the wire and the pause: 51.6 ms, at the next millisecond; then
             // the byte outside messages, without a pause after it.
             << "1, 52, System_exclusive_packet, 1, 248\n"
             << "1, 52, System_exclusive, 199";
    const Bytes second = SysEx(200, 2);
    for (size_t i = 1; i < second.size(); ++i)
        expected << ", " << int(second[i]);
    expected << "\n1, 52, End_track\n0, 0, End_of_file\n";
    EXPECT_EQ(sOutput, expected.str());
}
} // namespace
