// The MIDI manager against the kernel's ALSA sequencer in the alsa-vm VM (its ports in
// SequencerTools.h), checked with amidi, aseqdump (an application client) and raw MIDI.

#include "tests/transfer/MidiManagerFixture.h"

#include "file/LumFile.h"
#include "support/SequencerTools.h"
#include "support/TempDir.h"

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
using DumpReceiveAlsa = MidiManagerAlsa;
} // namespace

// A patchbay may connect other ports to ours: only the chosen input is recorded, and what
// the other sends during a dump neither joins nor interrupts it. A fast sender outruns what
// the kernel keeps for a reader: what arrives then is the whole message or an error that
// says data was lost, never a shorter "complete" message.
TEST_F(MidiManagerAlsa, RecordsOnlyTheChosenSourceAndMebibytesExactOrReportedLost)
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
    amidi.waitForFinished(20000);

    for (size_t nLength : {size_t(1) << 20, size_t(4) << 20})
    {
        SCOPED_TRACE(nLength);
        m_recorder.m_messages.clear();
        const Bytes message = MessageStream(1, {nLength});
        Bytes sent = message; // with a clock byte inside, as an instrument may send
        sent.insert(sent.begin() + 1000, 0xF8);
        ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
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

// Whole dumps of a mebibyte, paced and unpaced, in a VM run of their own (the hundred-message
// streams run through the command line's suite). Unpaced, amidi may outrun the input thread
// of a busy machine: the kernel drops what the client's input pool cannot hold, and says so.
TEST_F(DumpReceiveAlsa, MebibyteOf127BytePacketsIsRecordedByteExactMinusRealTime)
{
    const size_t nMessages = 8257, nLength = 127;
    const tagRealTimeStream stream = RealTimeStream(nMessages, nLength);
    ASSERT_EQ(m_pManager->MidiInOpenByName(kRawMidi1), 1);
    for (int iIntervalMs : {1, 0})
    {
        SCOPED_TRACE(iIntervalMs ? "paced" : "unpaced");
        m_recorder.m_messages.clear();
        ASSERT_EQ(m_pManager->ReceiveSysExDump(2000), 1);
        QProcess amidi;
        ASSERT_TRUE(StartAmidiSend(amidi, 1, stream.sent, iIntervalMs));
        // The engine's timer needs the event loop while amidi runs.
        ASSERT_TRUE(PumpUntil([&] { return amidi.state() == QProcess::NotRunning; }, 200000));
        EXPECT_EQ(amidi.exitCode(), 0);
        ASSERT_TRUE(PumpUntil([&] { return m_recorder.Has(LM_DUMP_END); }, 20000));

        const int32_t iEnd = m_recorder.Of(LM_DUMP_END).at(0).iParam4;
        const tagDumpStatus status = m_pManager->GetDumpStatus();
        const Bytes dump = ReceivedDump(*m_pManager);
        if (iIntervalMs == 0 && iEnd == kDumpEndDataLost)
        {
            // What is kept is the messages that came whole before the loss, and nothing else.
            EXPECT_LT(dump.size(), stream.expected.size());
            EXPECT_TRUE(std::equal(dump.begin(), dump.end(), stream.expected.begin()));
            EXPECT_EQ(dump.size(), size_t(status.counts.llMessages) * nLength);
            printf("unpaced: data lost after %lld whole messages\n",
                   static_cast<long long>(status.counts.llMessages));
            continue;
        }
        EXPECT_EQ(iEnd, kDumpEndIdle);
        EXPECT_EQ(status.counts.llMessages, int64_t(nMessages));
        EXPECT_TRUE(dump == stream.expected);
    }
}

// Midi Through may feed a cable: paced, every event it passes holds at most one message end.
// aseqdump reads, and prints each byte, slower than the kernel takes events: sent unpaced, a
// full input is waited out and nothing is lost. A destination that goes away during a
// transmission, or stops reading, fails it within the bounded wait; neither counts as sent.
TEST_F(MidiManagerAlsa, PacesHardwareSendsClientsUnpacedAndFailsWhenTheDestinationGoes)
{
    QProcess aseqdump;
    const QString sDump = QString::fromStdString(m_temp.File("aseqdump.txt"));
    // aseqdump on Midi Through, once its subscription is there.
    const auto startAseqdump = [&]
    {
        return StartTool(aseqdump, "aseqdump", {"-p", "14:0"}, sDump) &&
               PumpUntil([&] { return HasConnection("aseqdump", "Connected From: 14:0"); }, 20000);
    };
    // One transmission of the file, with whether the output is paced, what the call returns
    // and how it ends. With a signal, aseqdump gets it 300 ms in, from a thread of its own:
    // an unpaced transmission seldom serves the event loop.
    const auto transmit = [&](const char* pszDevice, bool bHardware, const std::string& sPath,
                              int iResult, int32_t iEnd, int iSignal = 0)
    {
        m_recorder.m_messages.clear();
        ASSERT_EQ(m_pManager->MidiOutOpenByName(pszDevice), 1) << pszDevice;
        EXPECT_EQ(m_pManager->MidiOutIsHardware(), int(bHardware)) << pszDevice;
        m_pManager->SetTransmitSettings(tagTransmitSettings{});
        CLumFile file;
        ASSERT_EQ(file.Open(sPath.c_str(), 9), 1);
        const pid_t iPid = pid_t(aseqdump.processId());
        std::thread signaller(
            [&]
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                if (iSignal)
                    kill(iPid, iSignal);
            });
        EXPECT_EQ(m_pManager->TransmitSingleSysEx(&file), iResult);
        signaller.join();
        file.Close();
        ASSERT_TRUE(PumpUntil([&] { return TransmitEnd() >= 0; }, 10000));
        EXPECT_EQ(TransmitEnd(), iEnd);
    };

    const Bytes paced = MessageStream(100, {5, 138, 300, 40, 600, 2});
    const Bytes unpaced = MessageStream(1024, {256});
    ASSERT_TRUE(startAseqdump()) << "aseqdump never subscribed to 14:0";
    transmit("Midi Through - Midi Through Port-0", true, m_temp.Write("paced.syx", paced), 1,
             LM_TRANSMIT_COMPLETE);
    transmit("aseqdump - aseqdump", false, m_temp.Write("unpaced.syx", unpaced), 1,
             LM_TRANSMIT_COMPLETE);
    std::vector<Bytes> events;
    PumpUntil(
        [&]
        {
            events = SysExEvents(ReadText(sDump));
            return Join(events).size() >= paced.size() + unpaced.size();
        },
        60000);
    for (const Bytes& event : events)
        for (size_t i = 0; i + 1 < event.size(); ++i)
            ASSERT_NE(event[i], 0xF7) << "an event holds the end of a message before its last byte";
    ASSERT_GE(events.size(), 1024u);
    EXPECT_EQ(Join({events.begin(), events.end() - 1024}), paced);
    EXPECT_EQ(Join({events.end() - 1024, events.end()}), unpaced);

    // Two mebibytes keep aseqdump busy for far longer than 300 ms.
    const std::string sLong = m_temp.Write("long.syx", MessageStream(8192, {256}));
    for (int iSignal : {SIGKILL, SIGSTOP})
    {
        aseqdump.kill();
        aseqdump.waitForFinished(5000);
        ASSERT_TRUE(startAseqdump()) << "aseqdump never subscribed to 14:0";
        transmit("aseqdump - aseqdump", false, sLong, 0, LM_TRANSMIT_ERROR, iSignal);
        m_pManager->MidiOutClose();
    }
}
