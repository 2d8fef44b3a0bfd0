// The MIDI manager against the kernel's ALSA sequencer, checked with amidi, aseqdump and raw
// MIDI. Runs inside the alsa-vm tool's VM, where bytes written to raw MIDI hw:0,N come out of
// the sequencer port "Virtual Raw MIDI 0-N - VirMIDI 0-N" (16+N:0) and what is sent to that
// port can be read from hw:0,N; "Midi Through" is 14:0, and aseqdump is an application client.

#include "tests/transfer/MidiManagerFixture.h"

#include "file/LumFile.h"
#include "support/SequencerTools.h"
#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace SequencerTools;

const char* const kRawMidi1 = "Virtual Raw MIDI 0-1 - VirMIDI 0-1";

class MidiManagerAlsa : public MidiManagerFixture
{
protected:
    MidiManagerAlsa() { m_bAlsa = true; }

    // amidi -s of the bytes into hw:0,iDevice, iIntervalMs between messages (0: unpaced), on
    // one CPU (see PinnedAmidi), its output into a log; whether it started.
    bool StartAmidiSend(QProcess& amidi, int iDevice, const Bytes& bytes, int iIntervalMs = 0)
    {
        const std::string sNumber = std::to_string(++m_nTools);
        const std::string path = m_temp.Write("sent" + sNumber + ".syx", bytes);
        QStringList args{"-p", QString("hw:0,%1").arg(iDevice), "-s", QString::fromStdString(path)};
        if (iIntervalMs > 0)
            args << "-i" << QString::number(iIntervalMs);
        return StartTool(amidi, "taskset", PinnedAmidi(args),
                         QString::fromStdString(m_temp.File("amidi" + sNumber + ".log")));
    }

    TempDir m_temp;
    int m_nTools = 0;
};
} // namespace

// --- Receiving (one message with real-time bytes inside: the dump streams below) ---

// A fast sender outruns what the kernel keeps for a reader: what arrives is either the
// whole message or an error that says data was lost, never a shorter "complete" message.
TEST_F(MidiManagerAlsa, AnUnpacedMessageOfMebibytesArrivesExactOrIsReportedLost)
{
    ASSERT_EQ(m_pManager->MidiInOpenByName(kRawMidi1), 1);
    for (size_t nLength : {size_t(1) << 20, size_t(4) << 20})
    {
        SCOPED_TRACE(nLength);
        m_recorder.m_messages.clear();
        const Bytes message = MessageStream(1, {nLength});
        Bytes sent = message; // with a clock byte inside, as an instrument may send
        sent.insert(sent.begin() + 1000, 0xF8);
        ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
        QProcess amidi;
        ASSERT_TRUE(StartAmidiSend(amidi, 1, sent));
        ASSERT_TRUE(PumpUntil(
            [&]
            {
                return amidi.state() == QProcess::NotRunning &&
                       (m_recorder.Has(LM_RECEIVE_COMPLETE) || m_recorder.Has(LM_RECEIVE_ERROR));
            },
            120000));
        if (m_recorder.Has(LM_RECEIVE_ERROR))
        {
            EXPECT_FALSE(m_recorder.Has(LM_RECEIVE_COMPLETE));
            for (const tagListenerMessage& error : m_recorder.Of(LM_RECEIVE_ERROR))
                EXPECT_EQ(error.iParam1, kReceiveErrorDataLost);
            printf("%zu bytes unpaced: reported lost\n", nLength);
            continue;
        }
        ASSERT_EQ(m_pManager->m_nReceivedSysExSize, int(nLength));
        EXPECT_TRUE(Received() == message) << "a complete message must be the one sent";
        printf("%zu bytes unpaced: received exact\n", nLength);
    }
}

// A patchbay may connect other ports to ours: only the chosen input is recorded, and what
// the other sends during a dump neither joins nor interrupts it.
TEST_F(MidiManagerAlsa, OnlyTheChosenSourceIsRecorded)
{
    ASSERT_EQ(m_pManager->MidiInOpenByName(kRawMidi1), 1);
    ASSERT_EQ(QProcess::execute("aconnect", {"Virtual Raw MIDI 0-2:0", "QMRK_IN:1"}), 0)
        << "our input port is the client's second, after the announcement port";
    ASSERT_EQ(m_pManager->ReceiveSysExDump(2000), 1);

    const Bytes dump = MessageStream(100, {138});
    Bytes other;
    for (int i = 0; i < 50; ++i)
        other.insert(other.end(), {0x90, 0x3C, 0x40, 0xF0, 0x7D, 0x55, 0xF7, 0x80, 0x3C, 0x00});
    QProcess amidi, intruder;
    ASSERT_TRUE(StartAmidiSend(intruder, 2, other, 10));
    ASSERT_TRUE(StartAmidiSend(amidi, 1, dump, 5));
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Has(LM_DUMP_END); }, 60000));
    const tagDumpStatus status = m_pManager->GetDumpStatus();
    EXPECT_EQ(status.counts.llMessages, 100);
    EXPECT_EQ(status.counts.llInterrupted, 0);
    EXPECT_TRUE(ReceivedDump(*m_pManager) == dump);
    intruder.waitForFinished(20000);
}

// Whole dumps of a mebibyte; the hundred-message streams run through the command line's
// suite. These take a VM run of their own.
struct tagAmidiCase
{
    const char* pszName;
    int iIntervalMs; // amidi's pause between messages; 0 unpaced
};

class DumpReceiveAlsaStreams : public MidiManagerAlsa,
                               public ::testing::WithParamInterface<tagAmidiCase>
{
};

INSTANTIATE_TEST_SUITE_P(
    Cases, DumpReceiveAlsaStreams,
    // Unpaced, a mebibyte from amidi may outrun the input thread of a busy machine: the
    // kernel drops what the client's input pool cannot hold, and says so.
    ::testing::Values(tagAmidiCase{"MebibyteOf127BytePacketsPaced", 1},
                      tagAmidiCase{"MebibyteOf127BytePacketsUnpaced", 0}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST_P(DumpReceiveAlsaStreams, AmidiStreamIsRecordedByteExactMinusRealTime)
{
    const tagAmidiCase& c = GetParam();
    const size_t nMessages = 8257, nLength = 127;
    const tagRealTimeStream stream = RealTimeStream(nMessages, nLength);
    ASSERT_EQ(m_pManager->MidiInOpenByName(kRawMidi1), 1);
    ASSERT_EQ(m_pManager->ReceiveSysExDump(2000), 1);

    QProcess amidi;
    ASSERT_TRUE(StartAmidiSend(amidi, 1, stream.sent, c.iIntervalMs));
    // The engine's timer needs the event loop while amidi runs.
    ASSERT_TRUE(PumpUntil([&] { return amidi.state() == QProcess::NotRunning; }, 200000));
    EXPECT_EQ(amidi.exitCode(), 0);
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Has(LM_DUMP_END); }, 20000));

    const int32_t iEnd = m_recorder.Of(LM_DUMP_END).at(0).iParam4;
    const tagDumpStatus status = m_pManager->GetDumpStatus();
    const Bytes dump = ReceivedDump(*m_pManager);
    if (c.iIntervalMs == 0 && iEnd == kDumpEndDataLost)
    {
        // What is kept is the messages that came whole before the loss, and nothing else.
        EXPECT_LT(dump.size(), stream.expected.size());
        EXPECT_TRUE(std::equal(dump.begin(), dump.end(), stream.expected.begin()));
        EXPECT_EQ(dump.size(), size_t(status.counts.llMessages) * nLength);
        printf("%s: data lost after %lld whole messages\n", c.pszName,
               static_cast<long long>(status.counts.llMessages));
        return;
    }
    EXPECT_EQ(iEnd, kDumpEndIdle);
    EXPECT_EQ(status.counts.llMessages, int64_t(nMessages));
    EXPECT_EQ(dump.size(), stream.expected.size());
    EXPECT_TRUE(dump == stream.expected);
}

// --- Transmitting, paced and unpaced ---

namespace
{
class TransmitPacingAlsa : public MidiManagerAlsa
{
protected:
    void TearDown() override
    {
        if (m_aseqdump.state() != QProcess::NotRunning)
        {
            m_aseqdump.terminate();
            m_aseqdump.waitForFinished(5000);
        }
        MidiManagerAlsa::TearDown();
    }

    // aseqdump on Midi Through; returns once its subscription is there.
    void StartAseqdump()
    {
        ASSERT_TRUE(StartTool(m_aseqdump, "aseqdump", {"-p", "14:0"}, m_sDump));
        ASSERT_TRUE(
            PumpUntil([&] { return HasConnection("aseqdump", "Connected From: 14:0"); }, 20000))
            << "aseqdump never subscribed to 14:0";
    }

    // Opens the output, says whether it is paced, sends the stream with the pause and
    // returns once its end has been delivered.
    void Send(const char* pszDevice, bool bHardware, const Bytes& stream, int iPauseMs)
    {
        ASSERT_EQ(m_pManager->MidiOutOpenByName(pszDevice), 1) << pszDevice;
        EXPECT_EQ(m_pManager->MidiOutIsHardware(), int(bHardware)) << pszDevice;
        tagTransmitSettings settings;
        settings.iPauseMs = iPauseMs;
        m_pManager->SetTransmitSettings(settings);
        const std::string sPath = m_temp.Write("stream.syx", stream);
        CLumFile file;
        ASSERT_EQ(file.Open(sPath.c_str(), 9), 1);
        EXPECT_EQ(m_pManager->TransmitSingleSysEx(&file), 1);
        file.Close();
        ASSERT_TRUE(PumpUntil([&] { return TransmitEnd() >= 0; }, 10000));
        EXPECT_EQ(TransmitEnd(), LM_TRANSMIT_COMPLETE);
    }

    // Waits until aseqdump has printed as many SysEx bytes as were sent.
    std::vector<Bytes> DumpedEvents(size_t nBytes)
    {
        std::vector<Bytes> events;
        PumpUntil(
            [&]
            {
                events = SysExEvents(ReadText(m_sDump));
                return Joined(events).size() >= nBytes;
            },
            60000);
        return events;
    }

    QString m_sDump = QString::fromStdString(m_temp.File("aseqdump.txt"));
    QProcess m_aseqdump;
};
} // namespace

TEST_F(TransmitPacingAlsa, EveryEventOnMidiThroughHoldsAtMostOneMessageEnd)
{
    // Short and long messages, some longer than a block.
    const Bytes stream = MessageStream(100, {5, 138, 300, 40, 600, 2});
    StartAseqdump();
    ASSERT_FALSE(HasFatalFailure());
    // Midi Through may feed a cable: paced.
    Send("Midi Through - Midi Through Port-0", true, stream, 0);

    const std::vector<Bytes> events = DumpedEvents(stream.size());
    for (const Bytes& event : events)
        for (size_t i = 0; i + 1 < event.size(); ++i)
            ASSERT_NE(event[i], 0xF7) << "an event holds the end of a message before its last byte";
    EXPECT_EQ(Joined(events), stream);
}

TEST_F(TransmitPacingAlsa, ApplicationClientIsSentUnpacedWithoutLosingAnEvent)
{
    // aseqdump reads, and writes each byte out as text, slower than the kernel takes
    // events: a full input is waited out, nothing is lost.
    const Bytes stream = MessageStream(1024, {256});
    StartAseqdump();
    ASSERT_FALSE(HasFatalFailure());
    Send("aseqdump - aseqdump", false, stream, 0);

    const std::vector<Bytes> events = DumpedEvents(stream.size());
    EXPECT_EQ(events.size(), 1024u);
    EXPECT_EQ(Joined(events), stream);
}

// A destination that goes away during a transmission, or stops reading, fails it within the
// bounded wait; neither is reported as sent.
TEST_F(TransmitPacingAlsa, ADestinationThatGoesOrStopsReadingFailsTheTransmission)
{
    for (int iSignal : {SIGKILL, SIGSTOP})
    {
        SCOPED_TRACE(iSignal == SIGKILL ? "killed" : "stopped");
        m_recorder.m_messages.clear();
        StartAseqdump();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(m_pManager->MidiOutOpenByName("aseqdump - aseqdump"), 1);
        m_pManager->SetTransmitSettings(tagTransmitSettings{});
        const std::string sPath = m_temp.Write("stream.syx", MessageStream(8192, {256}));
        CLumFile file;
        ASSERT_EQ(file.Open(sPath.c_str(), 9), 1);
        // aseqdump prints each byte: two mebibytes keep it busy for far longer than this. A
        // thread of its own, as an unpaced transmission seldom serves the event loop.
        const qint64 iPid = m_aseqdump.processId();
        std::thread signaller(
            [&]
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                kill(pid_t(iPid), iSignal);
            });
        QElapsedTimer elapsed;
        elapsed.start();
        EXPECT_EQ(m_pManager->TransmitSingleSysEx(&file), 0);
        signaller.join();
        file.Close();
        ASSERT_TRUE(PumpUntil([&] { return TransmitEnd() >= 0; }, 10000));
        EXPECT_EQ(TransmitEnd(), LM_TRANSMIT_ERROR);
        printf("%s: failed after %lld ms\n", iSignal == SIGKILL ? "killed" : "stopped",
               static_cast<long long>(elapsed.elapsed()));
        m_pManager->MidiOutClose();
        kill(pid_t(iPid), SIGKILL);
        m_aseqdump.waitForFinished(5000);
    }
}
