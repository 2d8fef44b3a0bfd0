#include "file/MidiFileReader.h"
#include "platform/midi/VirtualMidi.h"
#include "support/MidiFileBuilder.h"
#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
using ::testing::HasSubstr;

const char* const kInstrument = "Quillmark Virtual Instrument - Port 1";
// The dump request the virtual instrument answers with its bank.
const char* const kBankRequest = "F0 7D 51 4D 02 F7";

// Whether the bytes hold the needle in one piece.
bool Holds(const std::vector<unsigned char>& bytes, const std::vector<uint8_t>& needle)
{
    return std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end()) != bytes.end();
}

std::vector<unsigned char> Dump(size_t nLength)
{
    std::vector<unsigned char> bytes{0xF0, 0x43, 0x10};
    while (bytes.size() < nLength - 1)
        bytes.push_back((unsigned char)(bytes.size() & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

// Two SysEx messages uSeconds apart, at the default tempo (division 480: 960 ticks a second).
std::vector<unsigned char> TwoMessageMidiFile(uint32_t uSeconds)
{
    using namespace MidiFileBuilder;
    return File(0, 480,
                {Track({SysExEvent(0, {0x43, 0x10, 0x01, 0xF7}),
                        SysExEvent(960 * uSeconds, {0x43, 0x10, 0x02, 0x03, 0xF7})})});
}

// The SysEx messages of a MIDI file, back to back.
std::vector<unsigned char> MidiFileMessages(const std::vector<unsigned char>& file)
{
    CMidiFileReader reader;
    std::vector<unsigned char> joined;
    EXPECT_EQ(reader.Read(file.data(), file.size()), 1) << "not a readable MIDI file";
    for (const tagMidiFileMessage& message : reader.Messages())
        joined.insert(joined.end(), message.aucData.begin(), message.aucData.end());
    return joined;
}

struct tagRun
{
    int iStatus = -1;
    std::string sOut;
    std::string sErr;
};

// Each test runs the program with a home of its own (so its own preferences) and without
// a display or a Qt platform.
class CommandLine : public ::testing::Test
{
protected:
    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* pszName : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(pszName);
        environment.insert("QUILLMARK_MIDI", "virtual");
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(m_home.Path()));
        return environment;
    }

    tagRun Run(const QStringList& arguments)
    {
        QProcess program;
        program.setProcessEnvironment(Environment());
        program.start(QUILLMARK_BINARY, arguments);
        EXPECT_TRUE(program.waitForFinished(60000));
        tagRun run;
        run.iStatus = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        run.sOut = program.readAllStandardOutput().toStdString();
        run.sErr = program.readAllStandardError().toStdString();
        return run;
    }

    QString PreferencesFile() const
    {
        return QString::fromStdString(m_home.Path()) + "/Quillmark/Quillmark.conf";
    }

    TempDir m_home;
    TempDir m_files;
};

struct tagFailure
{
    const char* pszName;
    const char* pszArguments; // split at '|'; "@name" is a file of m_files, "%" the instrument
    int iStatus;
    const char* pszError; // a part of the one stderr line
};

const tagFailure kFailures[] = {
    {"MissingFile", "send|--out|%|@missing.syx", 1, "missing.syx: no such file"},
    {"TextFileNamedSyx", "send|--out|%|@notes.syx", 1, "notes.syx: not a SysEx file"},
    {"ListNamesAMissingFile", "send|--out|%|@list.msy", 1,
     "list.msy: gone.syx: It was not found: there is no such file."},
    {"UnknownOutput", "send|--out|Nothing - Here|@dump.syx", 1,
     "Nothing - Here: no such MIDI output"},
    {"NoOutputRemembered", "send|@dump.syx", 1, "none remembered"},
    {"UnknownInput", "receive|--in|Nothing - Here|-o|@got.syx", 1,
     "Nothing - Here: no such MIDI input"},
    {"TimeoutLeavesTheFile", "receive|--in|%|--timeout|1|-o|@old.syx", 1, "timed out"},
    {"UnknownOption", "send|--bogus|@dump.syx", 2, "--bogus: unknown option"},
    {"UnknownCommand", "sned|@dump.syx", 2, "sned: unknown command"},
    {"PauseOutOfRange", "send|--pause|5001|@dump.syx", 2,
     "--pause: 5001 is not a whole number from 0 to 5000"},
    {"ExclusivePacing", "send|--unpaced|--wire-speed|@dump.syx", 2,
     "--unpaced and --wire-speed exclude each other"},
    {"OptionWithoutValue", "send|@dump.syx|--out", 2, "--out needs a value"},
    {"BothMidiTimings", "send|--file-timing|--pause-timing|@dump.syx", 2, "--file-timing"},
    {"CutMidiFile", "send|--out|%|@cut.mid", 1, "cut short"},
    {"MidiNamedSysEx", "send|--out|%|@raw.mid", 1,
     "does not begin with a Standard MIDI File header"},
    {"NoFile", "send|--out|%", 2, "no FILE given"},
    {"NoOutputFile", "receive|--in|%", 2, "no output file"},
    {"IdleWithoutMany", "receive|--in|%|--idle|2|-o|@got.syx", 2, "--idle needs --many"},
    {"IdleOutOfRange", "receive|--many|--idle|0|-o|@got.syx", 2,
     "--idle: 0 is not a whole number from 1 to 86400"},
    {"OutWithoutRequest", "receive|--out|%|-o|@got.syx", 2, "--out is the output of a request"},
    {"ExclusiveRequests", "receive|--request|@dump.syx|--request-hex|F0 F7|-o|@got.syx", 2,
     "--request and --request-hex exclude each other"},
    {"RequestHexDataTooHigh", "receive|--request-hex|F0 43 90 F7|-o|@got.syx", 2, "byte 3 is not"},
    {"RequestFileMissing", "receive|--in|%|--request|@missing.syx|-o|@got.syx", 1,
     "missing.syx: the file could not be read"},
    {"RequestFileNotARequest", "receive|--in|%|--request|@notes.syx|-o|@got.syx", 1,
     "notes.syx: A request must be SysEx messages"},
    {"ManyTimesOutWithNothing", "receive|--in|%|--many|--timeout|1|-o|@got.syx", 1,
     "timed out: no complete SysEx message within 1 s (left out: 0 interrupted, 0 incomplete); "
     "nothing written"},
    {"ShowNoFile", "show", 2, "no FILE given"},
    {"ShowTwoFiles", "show|@dump.syx|@notes.syx", 2, "unexpected argument"},
    {"ShowMissingFile", "show|@missing.syx", 1, "missing.syx: no such file"},
    {"ShowFolder", "show|@", 1, ": is a folder"},
};

// Failures exit with their status and one line saying what and why.
TEST_F(CommandLine, FailsSayingWhyListsPrintsHelpAndShowsAReport)
{
    m_files.Write("dump.syx", Dump(300));
    m_files.Write("notes.syx", std::string("these are notes, not SysEx\n"));
    m_files.Write("raw.mid", Dump(20));
    m_files.Write("list.msy", std::string("[MultiSysEx]\n1=dump.syx\n2=gone.syx\n"));
    std::vector<unsigned char> cut = TwoMessageMidiFile(1);
    cut.resize(cut.size() - 3);
    m_files.Write("cut.mid", cut);
    const std::string sOld = m_files.Write("old.syx", std::string("old contents"));
    for (const tagFailure& failure : kFailures)
    {
        SCOPED_TRACE(failure.pszName);
        QStringList arguments;
        for (const QString& sArgument : QString(failure.pszArguments).split('|'))
            arguments << (sArgument == "%" ? QString(kInstrument)
                          : sArgument.startsWith('@')
                              ? QString::fromStdString(m_files.File(sArgument.mid(1).toStdString()))
                              : sArgument);
        const tagRun run = Run(arguments);
        EXPECT_EQ(run.iStatus, failure.iStatus);
        EXPECT_THAT(run.sErr, HasSubstr(failure.pszError));
        EXPECT_TRUE(!run.sErr.empty() && run.sErr.find('\n') == run.sErr.size() - 1)
            << "one line: " << run.sErr;
        EXPECT_EQ(run.sOut, "");
    }
    const std::vector<unsigned char> old = TempDir::Read(sOld);
    EXPECT_EQ(std::string(old.begin(), old.end()), "old contents");

    // The list shows every input and output with an empty address on the virtual back end;
    // help and the version go to standard output; show prints a file's report.
    const tagRun run = Run({"list"});
    EXPECT_EQ(run.iStatus, 0) << run.sErr;
    EXPECT_EQ(run.sOut, std::string("in\t") + kInstrument + "\t\nout\t" + kInstrument + "\t\n");
    for (const QStringList& arguments :
         {QStringList{"--help"}, QStringList{"--version"}, QStringList{"send", "--help"},
          QStringList{"receive", "-h"}, QStringList{"list", "--help"}, QStringList{"show", "-h"}})
    {
        const tagRun help = Run(arguments);
        EXPECT_EQ(help.iStatus, 0) << arguments.join(' ').toStdString();
        EXPECT_THAT(help.sOut, HasSubstr("quillmark"));
        EXPECT_EQ(help.sErr, "");
    }

    // The report's lines are the dump report's (tests/file); the command adds its status and
    // the one line that says why the file is not in order.
    // Roland GS reset, a DT1 whose sum is right; the same with a wrong sum.
    const std::vector<unsigned char> good{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40,
                                          0x00, 0x7F, 0x00, 0x41, 0xF7};
    std::vector<unsigned char> bad = good;
    bad[9] = 0x42;
    using MidiFileBuilder::Join;
    const tagRun inOrder =
        Run({"show", QString::fromStdString(m_files.Write("good.syx", Join({good, Dump(20)})))});
    EXPECT_EQ(inOrder.iStatus, 0) << inOrder.sErr;
    EXPECT_THAT(inOrder.sOut,
                HasSubstr("      2  0000000B       20  Yamaha                            "
                          "\u2013\n2 messages, 31 bytes; checksums: 1 OK, 0 BAD, 1 \u2013\n"));
    EXPECT_EQ(inOrder.sErr, "");

    const tagRun shown =
        Run({"show", QString::fromStdString(m_files.Write("dump.syx", Join({good, {0x7F}, bad})))});
    EXPECT_EQ(shown.iStatus, 1);
    EXPECT_THAT(shown.sOut,
                HasSubstr("      2  0000000C       11  Roland                            BAD\n"));
    EXPECT_EQ(shown.sErr, "quillmark show: " + m_files.File("dump.syx") +
                              ": not in order: 1 BAD checksums, 0 unterminated messages, 1 runs "
                              "of bytes outside messages\n");
}

// The instrument answers its request with its bank (its demo message may come first). The
// runs use the remembered devices but never change them.
TEST_F(CommandLine, SendsFilesAndTheRequestAndWritesTheReply)
{
    {
        QSettings settings(PreferencesFile(), QSettings::IniFormat);
        settings.setValue("Midi Out Device", kInstrument);
        settings.setValue("Midi In Device", "Somewhere - Else");
    }
    const std::vector<unsigned char> before = TempDir::Read(PreferencesFile().toStdString());
    const tagRun sent = Run({"send", QString::fromStdString(m_files.Write("a.syx", Dump(64)))});
    EXPECT_EQ(sent.iStatus, 0) << sent.sErr;
    const std::vector<uint8_t> bank = VirtualMidi::InstrumentBank();

    // Many messages, into a MIDI file.
    const std::string sMidi = m_files.File("got.mid");
    const tagRun many =
        Run({"receive", "--in", kInstrument, "--timeout", "20", "--many", "--idle", "1",
             "--request-hex", kBankRequest, "-o", QString::fromStdString(sMidi)});
    ASSERT_EQ(many.iStatus, 0) << many.sErr;
    const std::vector<unsigned char> got = MidiFileMessages(TempDir::Read(sMidi));
    EXPECT_TRUE(Holds(got, bank)) << got.size() << " bytes";
    const size_t nMessages = size_t(std::count(got.begin(), got.end(), 0xF7));
    EXPECT_THAT(many.sErr, HasSubstr("Received " + std::to_string(nMessages) + " messages, " +
                                     std::to_string(got.size()) + " bytes, into " + sMidi +
                                     "; none left out."));
    EXPECT_EQ(many.sOut, "");

    // One message, the request read from a file.
    const std::string sGot = m_files.File("got.syx");
    const std::string sRequest = m_files.Write("request.syx", VirtualMidi::InstrumentRequest());
    const tagRun one = Run({"receive", "--in", kInstrument, "--timeout", "20", "--request",
                            QString::fromStdString(sRequest), "-o", QString::fromStdString(sGot)});
    ASSERT_EQ(one.iStatus, 0) << one.sErr;
    const std::vector<unsigned char> message = TempDir::Read(sGot);
    EXPECT_THAT(one.sOut, HasSubstr("Received " + std::to_string(message.size()) + " bytes"));
    const std::vector<uint8_t> first(bank.begin(), bank.begin() + long(bank.size()) / 8);
    if (message.size() > 5 && message[4] == 0x03)
        EXPECT_EQ(message, first) << "one message: the bank's first";
    else
    {
        // The demo message came before the reply.
        EXPECT_EQ(std::count(message.begin(), message.end(), 0xF7), 1);
        EXPECT_EQ(message.back(), 0xF7);
    }

    // Files and lists go in order; a MIDI file, by itself or in a list, sends its SysEx
    // messages spaced by its own timing unless --pause-timing puts the pause in its place.
    m_files.Write("a.syx", Dump(4104));
    m_files.Write("b.syx", Dump(100));
    m_files.Write("list.msy", std::string("[MultiSysEx]\n2=a.syx\n1=b.syx\n"));
    m_files.Write("one.mid", TwoMessageMidiFile(1));
    m_files.Write("midi.msy", std::string("[MultiSysEx]\n1=one.mid\n"));
    QElapsedTimer timer;
    timer.start();
    const tagRun run = Run({"send", "--out", kInstrument, "--file-pause", "0", "--file-timing",
                            QString::fromStdString(m_files.File("a.syx")),
                            QString::fromStdString(m_files.File("list.msy")),
                            QString::fromStdString(m_files.File("midi.msy"))});
    EXPECT_GE(timer.elapsed(), 1000);
    EXPECT_EQ(run.iStatus, 0) << run.sErr;
    EXPECT_EQ(run.sErr, "") << "no progress line off a terminal";
    EXPECT_THAT(run.sOut, HasSubstr("Sent 8319 bytes in 4 file(s) to " + std::string(kInstrument)));

    timer.restart();
    const tagRun paused =
        Run({"send", "--out", kInstrument, "--pause", "0", "--pause-timing",
             QString::fromStdString(m_files.Write("forty.mid", TwoMessageMidiFile(40)))});
    EXPECT_LT(timer.elapsed(), 40000);
    EXPECT_EQ(paused.iStatus, 0) << paused.sErr;
    EXPECT_THAT(paused.sOut, HasSubstr("Sent 11 bytes in 1 file(s)"));

    EXPECT_EQ(TempDir::Read(PreferencesFile().toStdString()), before);
}

// On a terminal: the progress line shows, and Ctrl+C ends the run with 130.
class CommandLineOnATerminal : public CommandLine
{
protected:
    // Starts the program with its stderr (and stdout) on a pseudo-terminal.
    pid_t Start(const std::vector<std::string>& asArguments)
    {
        std::vector<std::string> asArgv{QUILLMARK_BINARY};
        asArgv.insert(asArgv.end(), asArguments.begin(), asArguments.end());
        const QStringList environment = Environment().toStringList();
        const pid_t pid = forkpty(&m_iTerminal, nullptr, nullptr, nullptr);
        if (pid == 0)
        {
            clearenv();
            for (const QString& entry : environment)
                putenv(strdup(entry.toLocal8Bit().constData()));
            std::vector<char*> apArgv;
            for (std::string& sArgument : asArgv)
                apArgv.push_back(sArgument.data());
            apArgv.push_back(nullptr);
            execv(apArgv[0], apArgv.data());
            _exit(127);
        }
        return pid;
    }

    // Reads the terminal until the text shows; false at its end.
    bool ReadUntil(const std::string& sText)
    {
        char acBuffer[512];
        while (m_sSeen.find(sText) == std::string::npos)
        {
            const ssize_t nRead = read(m_iTerminal, acBuffer, sizeof(acBuffer));
            if (nRead <= 0)
                return false;
            m_sSeen.append(acBuffer, size_t(nRead));
        }
        return true;
    }

    int Finish(pid_t pid)
    {
        ReadUntil("\x04never"); // to the end of its output
        int iStatus = 0;
        waitpid(pid, &iStatus, 0);
        close(m_iTerminal);
        return WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
    }

    int m_iTerminal = -1;
    std::string m_sSeen;
};

// Ctrl+C stops a send after its current block, ends a many receive writing the complete
// messages, and ends a receive of one message without writing a file.
TEST_F(CommandLineOnATerminal, CtrlCStopsASendOrAReceive)
{
    // Ten seconds at wire speed: long enough to be interrupted on the way.
    m_files.Write("big.syx", Dump(31250));
    pid_t pid = Start({"send", "--out", kInstrument, m_files.File("big.syx")});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(ReadUntil("of 31250 bytes")) << m_sSeen;
    kill(pid, SIGINT);
    EXPECT_EQ(Finish(pid), 130) << m_sSeen;
    EXPECT_THAT(m_sSeen, HasSubstr("interrupted: stopped after the current block"));

    // No --idle, no --timeout: only Ctrl+C ends it.
    const std::string sMany = m_files.File("many.syx");
    m_sSeen.clear();
    pid = Start({"receive", "--in", kInstrument, "--many", "--request-hex", kBankRequest, "--out",
                 kInstrument, "-o", sMany});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(ReadUntil("Receiving... 8 messages")) << m_sSeen;
    kill(pid, SIGINT);
    EXPECT_EQ(Finish(pid), 0) << m_sSeen;
    EXPECT_TRUE(Holds(TempDir::Read(sMany), VirtualMidi::InstrumentBank()));
    EXPECT_THAT(m_sSeen, HasSubstr("bytes, into " + sMany));

    // An input without a sender: nothing comes.
    const std::string sGot = m_files.File("got.syx");
    m_sSeen.clear();
    pid = Start({"receive", "--in", kInstrument, "-o", sGot});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(ReadUntil("Waiting for a SysEx message")) << m_sSeen;
    kill(pid, SIGINT);
    const int iStatus = Finish(pid);
    // The virtual instrument may have played a whole message before the signal came.
    if (m_sSeen.find("Received") == std::string::npos)
    {
        EXPECT_EQ(iStatus, 130) << m_sSeen;
        EXPECT_NE(access(sGot.c_str(), F_OK), 0) << "nothing is written";
    }
}
} // namespace
