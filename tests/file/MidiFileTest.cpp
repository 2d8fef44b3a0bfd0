#include "file/MidiFileReader.h"
#include "file/MidiFileWriter.h"
#include "support/MidiFileBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

using namespace MidiFileBuilder;

namespace
{
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
TEST(MidiFileRead, GivesTheSysExMessagesInTimeOrderOrNamesWhatIsWrong)
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
}

Bytes SysEx(size_t nLength, unsigned char ucSeed)
{
    Bytes bytes{0xF0};
    for (size_t i = 1; i + 1 < nLength; ++i)
        bytes.push_back((ucSeed + i) & 0x7F);
    bytes.push_back(0xF7);
    return bytes;
}

// We read back all we wrote (long lengths, unfinished messages, bytes outside), and so does
// midicsv: each message at the time those before it take on the wire (320 us a byte) and the pause.
TEST(MidiFileWriter, WeAndMidicsvReadBackTheFile)
{
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
