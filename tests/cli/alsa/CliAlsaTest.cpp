// The quillmark command line against the kernel's ALSA sequencer in the alsa-vm VM (its
// ports in SequencerTools.h), with amidi and a raw MIDI instrument on the other side.

#include "support/SequencerTools.h"
#include "support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
using namespace SequencerTools;

// Raw MIDI hw:0,N's sequencer port, by display name or by address.
QString Port(int iDevice, bool bAddress = false)
{
    return bAddress ? QString("%1:0").arg(16 + iDevice)
                    : QString("Virtual Raw MIDI 0-%1 - VirMIDI 0-%1").arg(iDevice);
}

class CliAlsa : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (access("/dev/snd/seq", R_OK | W_OK) != 0)
            GTEST_SKIP() << "no ALSA sequencer on this machine; this test runs through alsa-vm";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUILLMARK_MIDI", "alsa");
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(m_home.Path()));
        m_quillmark.setProcessEnvironment(environment);
    }

    QString File(const std::string& name) const
    {
        return QString::fromStdString(m_files.File(name));
    }
    Bytes Read(const QString& sPath) const { return TempDir::Read(sPath.toStdString()); }

    void StartQuillmark(const QStringList& arguments)
    {
        m_quillmark.start(QUILLMARK_BINARY, arguments);
        ASSERT_TRUE(m_quillmark.waitForStarted(10000));
    }
    // The exit status once it has ended; its stderr in m_sErr.
    int FinishQuillmark(int iTimeoutMs)
    {
        if (!m_quillmark.waitForFinished(iTimeoutMs))
            return -1;
        m_sErr = m_quillmark.readAllStandardError().toStdString();
        m_sOut = m_quillmark.readAllStandardOutput().toStdString();
        return m_quillmark.exitStatus() == QProcess::NormalExit ? m_quillmark.exitCode() : -1;
    }
    // Waits until quillmark reads from the raw MIDI device's port.
    bool WaitForReader(int iDevice)
    {
        return PumpUntil(
            [&]
            {
                return m_quillmark.state() == QProcess::Running &&
                       HasConnection(QString("Virtual Raw MIDI 0-%1").arg(iDevice),
                                     "Connecting To:");
            },
            30000);
    }
    // amidi -s of the bytes into raw MIDI hw:0,iDevice, iIntervalMs between messages.
    void AmidiSend(int iDevice, const Bytes& bytes, int iIntervalMs)
    {
        QStringList args{"-p", QString("hw:0,%1").arg(iDevice), "-s",
                         QString::fromStdString(m_files.Write("sent.syx", bytes))};
        if (iIntervalMs > 0)
            args << "-i" << QString::number(iIntervalMs);
        ASSERT_TRUE(StartTool(m_tool, "taskset", PinnedAmidi(args), File("amidi.txt")));
        ASSERT_TRUE(m_tool.waitForFinished(240000));
        EXPECT_EQ(m_tool.exitCode(), 0) << ReadText(File("amidi.txt.err")).toStdString();
    }

    TempDir m_home;
    TempDir m_files;
    QProcess m_quillmark;
    QProcess m_tool;
    std::string m_sErr;
    std::string m_sOut;
};
} // namespace

TEST_F(CliAlsa, ReceiveManyRecordsAmidiStreamsAndRequestedDumpsByteExactMinusRealTime)
{
    const tagRealTimeStream hundred = RealTimeStream(100, 138);
    const std::string sHundred = "Received 100 messages, 13800 bytes, into %; none left out.";
    // Three messages kept; before them a long one broken off by the next F0, and after them
    // one that never ends before the silence. They are long so that the kernel passes part
    // of them on: the sequencer's raw MIDI parser drops a short unfinished SysEx unseen.
    const Bytes a = MessageStream(1, {20}), b = MessageStream(2, {30});
    const Bytes broken = MessageStream(1, {600}), unended(broken.begin(), broken.end() - 1);
    const struct
    {
        const char* pszName;
        Bytes sent;
        Bytes expected;
        int iIntervalMs; // amidi's pause between messages; 0 unpaced
        std::string sSummary;
    } cases[] = {{"paced", hundred.sent, hundred.expected, 5, sHundred},
                 // Unpaced, amidi may outrun a busy machine's input thread: the kernel drops
                 // what the input pool cannot hold, and the command says so.
                 {"unpaced", hundred.sent, hundred.expected, 0, sHundred},
                 {"broken", Join({a, unended, b, unended}), Join({a, b}), 0,
                  "Received 3 messages, 80 bytes, into %; left out: 1 interrupted by another "
                  "status byte, 1 incomplete at the end."}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        const QString sGot = File(std::string(c.pszName) + ".syx");
        StartQuillmark({"receive", "--in", Port(1), "--many", "--idle", "2", "-o", sGot});
        ASSERT_TRUE(WaitForReader(1)) << "quillmark never subscribed to 17:0: "
                                      << m_quillmark.readAllStandardError().toStdString();
        AmidiSend(1, c.sent, c.iIntervalMs);
        // It ends by itself, two seconds after the last byte.
        const int iExit = FinishQuillmark(60000);
        if (c.iIntervalMs == 0 && iExit != 0 && m_sErr.find("data lost") != std::string::npos)
        {
            // An unpaced stream may outrun the reader: then nothing is written.
            EXPECT_FALSE(QFile::exists(sGot));
            printf("%s: data lost\n", c.pszName);
            continue;
        }
        ASSERT_EQ(iExit, 0) << m_sErr;
        EXPECT_TRUE(Read(sGot) == c.expected);
        std::string sSummary = c.sSummary;
        sSummary.replace(sSummary.find('%'), 1, sGot.toStdString());
        EXPECT_NE(m_sErr.find(sSummary), std::string::npos) << m_sErr;
    }

    // Asked with a request, the instrument answers with its bank.
    const Bytes request{0xF0, 0x43, 0x20, 0x09, 0xF7};
    const tagRealTimeStream bank = RealTimeStream(32, 200);
    CRawMidiInstrument instrument("/dev/snd/midiC0D2", request, bank.sent);
    ASSERT_TRUE(instrument.IsOpen());
    const QString sGot = File("got.syx");
    StartQuillmark({"receive", "--in", Port(2), "--out", Port(2, true), "--request-hex",
                    "F0 43 20 09 F7", "--many", "--idle", "1", "-o", sGot});
    ASSERT_EQ(FinishQuillmark(60000), 0) << m_sErr;
    EXPECT_TRUE(instrument.Answered());
    EXPECT_TRUE(Read(sGot) == bank.expected);
    EXPECT_NE(m_sErr.find("Received 32 messages, 6400 bytes"), std::string::npos) << m_sErr;
}

// One message, received and sent, with the port named by display name and by address.
TEST_F(CliAlsa, ReceivesADumpFromAmidiAndSendsItToRawMidiByteForByte)
{
    const Bytes dump = MessageStream(1, {4104});
    for (bool bAddress : {false, true})
    {
        SCOPED_TRACE(bAddress ? "by address" : "by name");
        const QString sGot = File(bAddress ? "address.syx" : "name.syx");
        StartQuillmark({"receive", "--in", Port(0, bAddress), "--timeout", "60", "-o", sGot});
        ASSERT_TRUE(WaitForReader(0)) << "quillmark never subscribed to 16:0: "
                                      << m_quillmark.readAllStandardError().toStdString();
        AmidiSend(0, dump, 0);
        ASSERT_EQ(FinishQuillmark(60000), 0) << m_sErr;
        EXPECT_TRUE(Read(sGot) == dump);
        EXPECT_NE(m_sOut.find("Received 4104 bytes"), std::string::npos) << m_sOut;

        CRawMidiInstrument rawMidi("/dev/snd/midiC0D1");
        ASSERT_TRUE(rawMidi.IsOpen()) << "no raw MIDI hw:0,1";
        StartQuillmark({"send", "--out", Port(1, bAddress), sGot});
        ASSERT_EQ(FinishQuillmark(60000), 0) << m_sErr;
        PumpUntil([&] { return rawMidi.Heard().size() >= dump.size(); }, 30000);
        EXPECT_TRUE(rawMidi.Heard() == dump);
    }
}
