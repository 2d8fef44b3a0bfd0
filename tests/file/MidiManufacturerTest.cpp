#include "file/MidiManufacturer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
struct tagCase
{
    const char* pszName;
    std::vector<unsigned char> message;
    std::string expected;
    int iDeviceID;
};

const std::string kNonRealTime = "Universal Non-Real Time";

const tagCase kCases[] = {
    {"OneByte", {0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7}, "Roland", 0x10},
    {"ThreeByte", {0xF0, 0x00, 0x20, 0x29, 0x02, 0x11, 0xF7}, "Focusrite/Novation", 0x02},
    {"ThreeByteIsNotTheOneByteOfItsLastByte", {0xF0, 0, 0, 0x41, 0x01, 0xF7}, "Microsoft", 0x01},
    {"IdentityReply", {0xF0, 0x7E, 0x7F, 0x06, 0x02, 0x41, 0xF7}, kNonRealTime + ": Identity Reply",
     0x7F},
    {"GMOn", {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, kNonRealTime + ": GM System On", 0x7F},
    {"RealTimeMasterVolume", {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x7F, 0xF7},
     "Universal Real Time: Master Volume", 0x7F},
    {"UnknownSecondSubIDNamesTheFirst", {0xF0, 0x7E, 0x7F, 0x09, 0x7A, 0xF7},
     kNonRealTime + ": General MIDI", 0x7F},
    {"UnknownSubID", {0xF0, 0x7E, 0x7F, 0x6A, 0xF7}, kNonRealTime, 0x7F},
    {"UnknownOneByte", {0xF0, 0x45, 0x01, 0xF7}, "45", 0x01},
    {"UnknownThreeByte", {0xF0, 0x00, 0x21, 0x7F, 0xF7}, "00 21 7F", -1},
    {"TooShortForThreeBytes", {0xF0, 0x00, 0x20, 0xF7}, "", -1},
    {"NoID", {0xF0, 0xF7}, "", -1},
};

class MidiManufacturerTest : public ::testing::TestWithParam<tagCase>
{
};
} // namespace

TEST_P(MidiManufacturerTest, NamesTheMakerOrShowsTheID)
{
    const tagCase& c = GetParam();
    const tagMidiManufacturer maker =
        CMidiManufacturer::Identify(c.message.data(), c.message.size());
    char szText[128];
    CMidiManufacturer::Format(maker, szText, sizeof(szText));
    EXPECT_EQ(std::string(szText), c.expected);
    EXPECT_EQ(maker.iDeviceID, c.iDeviceID);
    // Cut to the buffer.
    EXPECT_EQ(CMidiManufacturer::Format(maker, szText, 4),
              int(std::min<size_t>(3, c.expected.size())));
    EXPECT_EQ(std::string(szText), c.expected.substr(0, 3));
}

INSTANTIATE_TEST_SUITE_P(IDs, MidiManufacturerTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.pszName); });

