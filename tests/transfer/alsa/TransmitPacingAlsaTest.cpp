// Paced and unpaced transmission against the kernel's ALSA sequencer, checked on raw MIDI
// and with aseqdump. Runs inside the alsa-vm tool's VM: "Virtual Raw MIDI 0-1" (17:0) feeds raw
// MIDI hw:0,1, "Midi Through" is 14:0, and aseqdump is an application client.

#include "AlsaEngineFixture.h"

#include "file/LumFile.h"

#include <QElapsedTimer>

#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace SequencerTools;

class TransmitPacingAlsa : public AlsaEngineFixture
{
protected:
    void TearDown() override
    {
        if (m_aseqdump.state() != QProcess::NotRunning)
        {
            m_aseqdump.terminate();
            m_aseqdump.waitForFinished(5000);
        }
        AlsaEngineFixture::TearDown();
    }

    // aseqdump on the port; returns once its subscription is there.
    void StartAseqdump(const QString& sPort)
    {
        ASSERT_TRUE(StartTool(m_aseqdump, "aseqdump", {"-p", sPort}, m_sDump));
        ASSERT_TRUE(
            PumpUntil([&] { return HasConnection("aseqdump", "Connected From: " + sPort); }, 20000))
            << "aseqdump never subscribed to " << sPort.toStdString();
    }

    // Sends the stream with the settings; returns once its end has been delivered.
    void Send(const char* pszDevice, const Bytes& stream, int iPauseMs)
    {
        ASSERT_EQ(m_pManager->MidiOutOpenByName(pszDevice), 1) << pszDevice;
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
                return ByteCount(events) >= nBytes;
            },
            60000);
        return events;
    }

    QString m_sDump = QString::fromStdString(m_temp.File("aseqdump.txt"));
    QProcess m_aseqdump;
};
} // namespace

TEST_F(TransmitPacingAlsa, PausedStreamReachesRawMidiByteForByte)
{
    const Bytes stream = MessageStream(100, {138});
    ASSERT_EQ(stream.size(), 13800u);
    CRawMidiInstrument rawMidi("/dev/snd/midiC0D1");
    ASSERT_TRUE(rawMidi.IsOpen()) << "no raw MIDI hw:0,1";

    ASSERT_EQ(m_pManager->MidiOutOpenByName("Virtual Raw MIDI 0-1 - VirMIDI 0-1"), 1);
    EXPECT_EQ(m_pManager->MidiOutIsHardware(), 1) << "a kernel client's port is paced";
    Send("Virtual Raw MIDI 0-1 - VirMIDI 0-1", stream, 100);

    PumpUntil([&] { return rawMidi.Heard().size() >= stream.size(); }, 30000);
    EXPECT_EQ(rawMidi.Heard(), stream);
}

TEST_F(TransmitPacingAlsa, EveryEventOnMidiThroughHoldsAtMostOneMessageEnd)
{
    // Short and long messages, some longer than a block.
    const Bytes stream = MessageStream(100, {5, 138, 300, 40, 600, 2});
    StartAseqdump("14:0");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(m_pManager->MidiOutOpenByName("Midi Through - Midi Through Port-0"), 1);
    EXPECT_EQ(m_pManager->MidiOutIsHardware(), 1) << "Midi Through may feed a cable";
    Send("Midi Through - Midi Through Port-0", stream, 0);

    const std::vector<Bytes> events = DumpedEvents(stream.size());
    Bytes joined;
    for (const Bytes& event : events)
    {
        for (size_t i = 0; i + 1 < event.size(); ++i)
            ASSERT_NE(event[i], 0xF7) << "an event holds the end of a message before its last byte";
        joined.insert(joined.end(), event.begin(), event.end());
    }
    EXPECT_EQ(joined, stream);
}

TEST_F(TransmitPacingAlsa, ApplicationClientIsSentUnpacedWithoutLosingAnEvent)
{
    // aseqdump reads, and writes each byte out as text, slower than the kernel takes
    // events: a full input is waited out, nothing is lost.
    const Bytes stream = MessageStream(1024, {256});
    StartAseqdump("14:0");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(m_pManager->MidiOutOpenByName("aseqdump - aseqdump"), 1);
    EXPECT_EQ(m_pManager->MidiOutIsHardware(), 0) << "an application's port is software";
    Send("aseqdump - aseqdump", stream, 0);

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
        StartAseqdump("14:0");
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
