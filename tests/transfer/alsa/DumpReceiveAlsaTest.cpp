// Recording whole dumps on the kernel's ALSA sequencer: amidi sends streams of many
// messages into raw MIDI hw:0,1, which come out of the sequencer port "VirMIDI 0-1". Runs
// inside the alsa-vm tool's VM.

#include "AlsaEngineFixture.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
using namespace SequencerTools;

struct tagAmidiCase
{
    const char* pszName;
    size_t nMessages;
    size_t nLength;
    int iIntervalMs; // amidi's pause between messages; 0 unpaced
};

void PrintTo(const tagAmidiCase& c, std::ostream* pStream)
{
    *pStream << c.pszName;
}

class DumpReceiveAlsaStreams : public AlsaEngineFixture,
                               public ::testing::WithParamInterface<tagAmidiCase>
{
protected:
    bool Ended() const { return m_recorder.Has(LM_DUMP_END); }
    int32_t End() const { return m_recorder.Of(LM_DUMP_END).at(0).iParam4; }
    Bytes Dump() const { return ReceivedDump(*m_pManager); }
};

// The hundred-message streams run through the command line's suite.
const tagAmidiCase kAmidiCases[] = {
    {"MebibyteOf127BytePacketsPaced", 8257, 127, 1},
    // Unpaced, a mebibyte from amidi may outrun the input thread of a busy machine: the
    // kernel drops what the client's input pool cannot hold, and says so.
    {"MebibyteOf127BytePacketsUnpaced", 8257, 127, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, DumpReceiveAlsaStreams, ::testing::ValuesIn(kAmidiCases),
                         [](const auto& info) { return std::string(info.param.pszName); });
} // namespace

TEST_P(DumpReceiveAlsaStreams, AmidiStreamIsRecordedByteExactMinusRealTime)
{
    const tagAmidiCase& c = GetParam();
    const tagRealTimeStream stream = RealTimeStream(c.nMessages, c.nLength);
    const std::string path = m_temp.Write("stream.syx", stream.sent);
    ASSERT_EQ(m_pManager->MidiInOpenByName("Virtual Raw MIDI 0-1 - VirMIDI 0-1"), 1);
    ASSERT_EQ(m_pManager->ReceiveSysExDump(2000), 1);

    QProcess amidi;
    QStringList args{"-p", "hw:0,1", "-s", QString::fromStdString(path)};
    if (c.iIntervalMs > 0)
        args << "-i" << QString::number(c.iIntervalMs);
    ASSERT_TRUE(StartAmidi(amidi, args));
    // The engine's timer needs the event loop while amidi runs.
    ASSERT_TRUE(PumpUntil([&] { return amidi.state() == QProcess::NotRunning; }, 200000));
    EXPECT_EQ(amidi.exitCode(), 0);
    ASSERT_TRUE(PumpUntil([&] { return Ended(); }, 20000));

    const tagDumpStatus status = m_pManager->GetDumpStatus();
    if (c.iIntervalMs == 0 && End() == kDumpEndDataLost)
    {
        // What is kept is the messages that came whole before the loss, and nothing else.
        const Bytes dump = Dump();
        EXPECT_LT(dump.size(), stream.expected.size());
        EXPECT_TRUE(std::equal(dump.begin(), dump.end(), stream.expected.begin()));
        EXPECT_EQ(dump.size(), size_t(status.counts.llMessages) * c.nLength);
        printf("%s: data lost after %lld whole messages\n", c.pszName,
               static_cast<long long>(status.counts.llMessages));
        return;
    }
    EXPECT_EQ(End(), kDumpEndIdle);
    EXPECT_EQ(status.counts.llMessages, int64_t(c.nMessages));
    EXPECT_EQ(status.counts.llInterrupted, 0);
    EXPECT_EQ(status.counts.bIncompleteAtStop, 0);
    const Bytes dump = Dump();
    EXPECT_EQ(dump.size(), stream.expected.size());
    EXPECT_TRUE(dump == stream.expected);
}
