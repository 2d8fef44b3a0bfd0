#include "file/SysExChecksum.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

// A Sample Dump Standard data packet: channel 0, packet 5, 120 data bytes that are 0
// but the first (0x11). By the rule the sum is 7E ^ 00 ^ 02 ^ 05 ^ 11 = 68.
Bytes SamplePacket(unsigned char ucSum, size_t nDataBytes = 120)
{
    Bytes packet = {0xF0, 0x7E, 0x00, 0x02, 0x05};
    packet.resize(5 + nDataBytes, 0x00);
    packet[5] = 0x11;
    packet.push_back(ucSum);
    packet.push_back(0xF7);
    return packet;
}

struct tagCase
{
    const char* pszName;
    Bytes message;
    CSysExChecksum::Result expected;
};

constexpr auto kGood = CSysExChecksum::kGood, kBad = CSysExChecksum::kBad,
               kNone = CSysExChecksum::kNone;

// Sums worked out by hand from each maker's rule.
const tagCase kCases[] = {
    // GS reset: 40+00+7F+00 = BF; 80 - 3F = 41.
    {"RolandDT1Good", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}, kGood},
    {"RolandDT1Bad", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x42, 0xF7}, kBad},
    // Model 00 00 64; address 18 00 00 00, size 00 00 00 0F: 18+0F = 27; 80 - 27 = 59.
    {"RolandRQ1ExtendedModelGood",
     {0xF0, 0x41, 0x10, 0x00, 0x00, 0x64, 0x11, 0x18, 0, 0, 0, 0, 0, 0, 0x0F, 0x59, 0xF7}, kGood},
    {"RolandDT1WithoutAddress", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x00, 0xF7}, kBad},
    {"RolandOtherCommand", {0xF0, 0x41, 0x10, 0x42, 0x40, 0x01, 0x02, 0xF7}, kNone},
    {"RolandUnterminated", {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41}, kNone},
    // Format 09, count 00 04, data 01 02 03 04: 0A; 80 - 0A = 76.
    {"YamahaBulkGood", {0xF0, 0x43, 0x00, 0x09, 0x00, 0x04, 1, 2, 3, 4, 0x76, 0xF7}, kGood},
    {"YamahaBulkBad", {0xF0, 0x43, 0x00, 0x09, 0x00, 0x04, 1, 2, 3, 4, 0x75, 0xF7}, kBad},
    // The count and address count too: 00+02+02+01+00+40+41 = 86 -> 06; 80 - 06 = 7A.
    {"YamahaXGBulkGood", {0xF0, 0x43, 0x05, 0x4C, 0, 2, 2, 1, 0, 0x40, 0x41, 0x7A, 0xF7}, kGood},
    // Model 7F 03, count 00 01, address 01 02 03, data 10: 17; 80 - 17 = 69.
    {"YamahaTwoByteModelGood", {0xF0, 0x43, 0, 0x7F, 3, 0, 1, 1, 2, 3, 0x10, 0x69, 0xF7}, kGood},
    {"YamahaParameterChange", {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}, kNone},
    {"YamahaCountMatchesNoLayout", {0xF0, 0x43, 0, 0x09, 0, 5, 1, 2, 3, 4, 0x76, 0xF7}, kNone},
    {"SampleDataPacketGood", SamplePacket(0x68), kGood},
    {"SampleDataPacketShort", SamplePacket(0x68, 119), kBad},
    {"SampleDumpHeader", {0xF0, 0x7E, 0x00, 0x01, 0x05, 0x00, 0x10, 0xF7}, kNone},
    {"OtherMaker", {0xF0, 0x42, 0x30, 0x00, 0x01, 0xF7}, kNone},
    {"Empty", {}, kNone},
};

class SysExChecksumTest : public ::testing::TestWithParam<tagCase>
{
};
} // namespace

TEST_P(SysExChecksumTest, JudgesTheMessageByItsMakersRule)
{
    const tagCase& c = GetParam();
    EXPECT_EQ(CSysExChecksum::Check(c.message.data(), c.message.size()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, SysExChecksumTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.pszName); });
