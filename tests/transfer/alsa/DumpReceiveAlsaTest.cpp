// Recording whole dumps on the kernel's ALSA sequencer: amidi sends streams of many
// messages into raw MIDI hw:0,1, which come out of the sequencer port "VirMIDI 0-1", and
// a small instrument on raw MIDI hw:0,2 answers a request with a dump. Runs inside the
// alsa-vm tool's VM.

#include "app/MessageManager.h"
#include "support/TempDir.h"
#include "transfer/MidiEngine.h"
#include "transfer/MidiManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

class EndRecorder : public CMessageManagerListener
{
public:
    void OnMessageReceived(CMessageManager*, tagListenerMessage message,
                           CMessageManagerListener*) override
    {
        if (message.iMessage == LM_DUMP_END)
            m_ends.push_back(message);
    }
    std::vector<tagListenerMessage> m_ends;
};

bool PumpUntil(const std::function<bool()>& condition, int iTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < iTimeoutMs)
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return condition();
}

// What an amidi stream holds, and what is recorded of it.
struct tagStream
{
    Bytes sent;
    Bytes expected; // without the real-time bytes
};

// Messages of the given length, with Active Sensing between every few of them and
// inside some.
tagStream Stream(size_t nMessages, size_t nLength)
{
    tagStream stream;
    for (size_t i = 0; i < nMessages; ++i)
    {
        Bytes message{0xF0, 0x41, 0x10, 0x42, 0x12};
        while (message.size() < nLength - 1)
            message.push_back(uint8_t((message.size() * 7 + i) & 0x7F));
        message.push_back(0xF7);
        stream.expected.insert(stream.expected.end(), message.begin(), message.end());
        if (i % 5 == 0)
            message.insert(message.begin() + long(nLength / 2), 0xFE);
        stream.sent.insert(stream.sent.end(), message.begin(), message.end());
        if (i % 3 == 0)
            stream.sent.push_back(0xFE);
    }
    return stream;
}

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

class DumpReceiveAlsa : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (access("/dev/snd/seq", R_OK | W_OK) != 0)
            GTEST_SKIP() << "no ALSA sequencer on this machine; this test runs through alsa-vm";
        ASSERT_STREQ(MidiService::Get().Name(), "alsa");
        m_app.m_pMessageManager = new CMessageManager;
        ASSERT_EQ(m_app.m_pMessageManager->Create(), 1);
        m_app.m_pMessageManager->AddListener(&m_recorder);
        m_app.m_pMidiManager = new CMidiManager;
        m_app.m_pMidiManager->Attach(m_app.m_pMessageManager, nullptr, nullptr);
        ASSERT_EQ(m_app.m_pMidiManager->Create(), 1);
    }

    void TearDown() override
    {
        if (m_app.m_pMidiManager)
            m_app.m_pMidiManager->Destroy();
    }

    Bytes Dump()
    {
        Bytes bytes;
        m_app.m_pMidiManager->ReadReceivedDump(
            [&](const unsigned char* pData, size_t nLength)
            {
                bytes.insert(bytes.end(), pData, pData + nLength);
                return true;
            });
        return bytes;
    }

    MidiEngine m_app;
    EndRecorder m_recorder;
    TempDir m_temp;
};

class DumpReceiveAlsaStreams : public DumpReceiveAlsa,
                               public ::testing::WithParamInterface<tagAmidiCase>
{
};

const tagAmidiCase kAmidiCases[] = {
    {"HundredMessagesPaced", 100, 138, 5},
    {"HundredMessagesUnpaced", 100, 138, 0},
    // Unpaced, a mebibyte from amidi outruns the input thread when the machine is
    // busy: the kernel drops what the client's input pool cannot hold. Such a loss has to
    // be reported by the ALSA layer before that stream can be held to byte-exactness.
    {"MebibyteOf127BytePacketsPaced", 8257, 127, 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, DumpReceiveAlsaStreams, ::testing::ValuesIn(kAmidiCases),
                         [](const auto& info) { return std::string(info.param.pszName); });
} // namespace

TEST_P(DumpReceiveAlsaStreams, AmidiStreamIsRecordedByteExactMinusRealTime)
{
    const tagAmidiCase& c = GetParam();
    const tagStream stream = Stream(c.nMessages, c.nLength);
    const std::string path = m_temp.Write("stream.syx", stream.sent);
    CMidiManager* pManager = m_app.m_pMidiManager;
    ASSERT_EQ(pManager->MidiInOpenByName("Virtual Raw MIDI 0-1 - VirMIDI 0-1"), 1);
    ASSERT_EQ(pManager->ReceiveSysExDump(2000), 1);

    QProcess amidi;
    QStringList args{"-p", "hw:0,1", "-s", QString::fromStdString(path)};
    if (c.iIntervalMs > 0)
        args << "-i" << QString::number(c.iIntervalMs);
    amidi.setProgram("amidi");
    amidi.setArguments(args);
    amidi.setProcessChannelMode(QProcess::MergedChannels);
    amidi.start();
    ASSERT_TRUE(amidi.waitForStarted(5000));
    // The engine's timer needs the event loop while amidi runs.
    ASSERT_TRUE(PumpUntil([&] { return amidi.state() == QProcess::NotRunning; }, 200000));
    EXPECT_EQ(amidi.exitCode(), 0) << amidi.readAll().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return !m_recorder.m_ends.empty(); }, 20000));

    EXPECT_EQ(m_recorder.m_ends[0].iParam4, kDumpEndIdle);
    const tagDumpStatus status = pManager->GetDumpStatus();
    EXPECT_EQ(status.counts.llMessages, int64_t(c.nMessages));
    EXPECT_EQ(status.counts.llInterrupted, 0);
    EXPECT_EQ(status.counts.bIncompleteAtStop, 0);
    const Bytes dump = Dump();
    EXPECT_EQ(dump.size(), stream.expected.size());
    EXPECT_TRUE(dump == stream.expected);
}

// An instrument on raw MIDI: reads what the sequencer sends it and answers the request
// with its dump.
class RawMidiInstrument
{
public:
    RawMidiInstrument(const char* pszDevice, Bytes request, Bytes dump)
        : m_request(std::move(request)), m_dump(std::move(dump))
    {
        m_iFd = open(pszDevice, O_RDWR | O_NONBLOCK);
        if (m_iFd >= 0)
            m_thread = std::thread([this] { Serve(); });
    }
    ~RawMidiInstrument()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_iFd >= 0)
            close(m_iFd);
    }
    bool IsOpen() const { return m_iFd >= 0; }
    bool Answered() const { return m_bAnswered; }

private:
    void Serve()
    {
        Bytes heard;
        while (!m_bStop && !m_bAnswered)
        {
            pollfd pfd{m_iFd, POLLIN, 0};
            if (poll(&pfd, 1, 50) <= 0)
                continue;
            unsigned char buffer[256];
            const ssize_t nRead = read(m_iFd, buffer, sizeof(buffer));
            if (nRead > 0)
                heard.insert(heard.end(), buffer, buffer + nRead);
            if (std::search(heard.begin(), heard.end(), m_request.begin(), m_request.end()) ==
                heard.end())
                continue;
            for (size_t nOffset = 0; nOffset < m_dump.size() && !m_bStop;)
            {
                const ssize_t nWritten =
                    write(m_iFd, m_dump.data() + nOffset, m_dump.size() - nOffset);
                if (nWritten > 0)
                    nOffset += size_t(nWritten);
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            m_bAnswered = true;
        }
    }

    Bytes m_request;
    Bytes m_dump;
    int m_iFd = -1;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bAnswered{false};
    std::thread m_thread;
};

TEST_F(DumpReceiveAlsa, RequestIsAnsweredWithADumpThatIsReceivedExactly)
{
    const Bytes request{0xF0, 0x43, 0x20, 0x09, 0xF7};
    const tagStream bank = Stream(32, 200);
    RawMidiInstrument instrument("/dev/snd/midiC0D2", request, bank.sent);
    ASSERT_TRUE(instrument.IsOpen());

    CMidiManager* pManager = m_app.m_pMidiManager;
    ASSERT_EQ(pManager->MidiInOpenByName("Virtual Raw MIDI 0-2 - VirMIDI 0-2"), 1);
    ASSERT_EQ(pManager->MidiOutOpenByName("Virtual Raw MIDI 0-2 - VirMIDI 0-2"), 1);
    ASSERT_EQ(pManager->ReceiveSysExDump(1000), 1);
    ASSERT_EQ(pManager->SendSysExRequest(request), 1);
    ASSERT_TRUE(PumpUntil([&] { return !m_recorder.m_ends.empty(); }, 20000));
    EXPECT_TRUE(instrument.Answered());
    EXPECT_EQ(pManager->GetDumpStatus().counts.llMessages, 32);
    EXPECT_TRUE(Dump() == bank.expected);
}
