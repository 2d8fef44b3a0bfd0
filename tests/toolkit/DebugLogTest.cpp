#include "support/LogCapture.h"
#include "toolkit/DebugLog.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

TEST(DebugLog, CutsLongLinesAt255Characters)
{
    LogCapture log;
    std::string longLine(300, 'x');
    DebugPrintf("%s", longLine.c_str());
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0], std::string(255, 'x'));
}

TEST(DebugLog, FormatsLikePrintf)
{
    LogCapture log;
    DebugPrintf("CLumMidi::MidiInOpen() - %s", "Not found MIDI IN device.");
    DebugPrintf("<Data Error? Eox:%d>", 247);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"CLumMidi::MidiInOpen() - Not found MIDI IN device.",
                                                     "<Data Error? Eox:247>"}));
}

TEST(DebugLog, ClockIntervalsSurviveTheWrap)
{
    uint32_t before = 0xFFFFFFF0u;
    uint32_t after = 0x00000010u;
    EXPECT_EQ(uint32_t(after - before), 0x20u);

    uint32_t first = GetSystemTimeMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    uint32_t elapsed = GetSystemTimeMs() - first;
    EXPECT_GE(elapsed, 20u);
    EXPECT_LT(elapsed, 5000u);
}
