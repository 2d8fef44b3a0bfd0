// What an unpaced sender does to a reception through the kernel's sequencer. One line a
// size:  sender  dump|message  size  intact bytes  MB/s  exact | lost | DAMAGED
//   amidi  amidi -s (on one CPU) into raw MIDI "Virtual Raw MIDI 0-1", as fast as raw MIDI
//          takes it: dumps of 256-byte messages recorded as a dump, and one message of the
//          size received as one message;
//   seq    the same, written as SysEx events straight into "Midi Through": faster than any
//          reader, so beyond the kernel's input pool it is lost, and must say so.
// lost is a reception refused with the loss message; DAMAGED (kept as complete, or as the
// whole messages before a loss, but not what was sent) must never appear. Goal: amidi
// exact up to 16 MiB. Runs itself again inside the alsa-vm tool's VM; --alsa runs on this
// machine's sequencer.

#include "app/MessageManager.h"
#include "support/SequencerTools.h"
#include "tests/transfer/ReceivedDump.h"
#include "transfer/MidiManager.h"

#include <alsa/asoundlib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using SequencerTools::Bytes;
using SequencerTools::PumpUntil;

class Ends : public CMessageManagerListener
{
public:
    void OnMessageReceived(CMessageManager*, tagListenerMessage message,
                           CMessageManagerListener*) override
    {
        if (message.iMessage == LM_DUMP_END || message.iMessage == LM_RECEIVE_COMPLETE ||
            message.iMessage == LM_RECEIVE_ERROR)
            m_end = message;
    }
    tagListenerMessage m_end{-1, -1, -1, -1, -1};
};

Bytes Messages(size_t nBytes, size_t nLength)
{
    Bytes bytes;
    bytes.reserve(nBytes);
    for (size_t i = 0; bytes.size() < nBytes; ++i)
    {
        const size_t nThis = std::min(nLength, nBytes - bytes.size());
        bytes.push_back(0xF0);
        for (size_t k = 1; k + 1 < nThis; ++k)
            bytes.push_back(uint8_t((k * 3 + i) & 0x7F));
        bytes.push_back(0xF7);
    }
    return bytes;
}

// Writes the bytes as SysEx events of 256 bytes straight into "Midi Through", as fast as
// the kernel takes them: no raw MIDI device on the way.
void SendThroughSequencer(const Bytes& bytes)
{
    snd_seq_t* pSeq = nullptr;
    if (snd_seq_open(&pSeq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
        return;
    const int iPort = snd_seq_create_simple_port(pSeq, "bench", SND_SEQ_PORT_CAP_READ,
                                                 SND_SEQ_PORT_TYPE_APPLICATION);
    for (size_t nOffset = 0; iPort >= 0 && nOffset < bytes.size(); nOffset += 256)
    {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_seq_ev_set_source(&event, iPort);
        snd_seq_ev_set_dest(&event, 14, 0);
        snd_seq_ev_set_direct(&event);
        snd_seq_ev_set_sysex(&event, unsigned(std::min<size_t>(256, bytes.size() - nOffset)),
                             const_cast<uint8_t*>(bytes.data() + nOffset));
        if (snd_seq_event_output_direct(pSeq, &event) < 0)
            break;
    }
    snd_seq_close(pSeq);
}

// Sends the bytes with amidi (or straight through the sequencer) while the engine records;
// prints the line.
bool Run(CMidiManager& manager, Ends& ends, const QString& sPath, const Bytes& sent, bool bDump,
         bool bSequencer)
{
    FILE* pFile = fopen(sPath.toLocal8Bit().constData(), "wb");
    if (!pFile || fwrite(sent.data(), 1, sent.size(), pFile) != sent.size() || fclose(pFile) != 0)
        return false;
    ends.m_end.iMessage = -1;
    if (!(bDump ? manager.ReceiveSysExDump(1000) : manager.ReceiveSysExData()))
        return false;
    QElapsedTimer timer;
    timer.start();
    QProcess amidi;
    std::thread sender;
    if (bSequencer)
        sender = std::thread([&] { SendThroughSequencer(sent); });
    else
    {
        amidi.start("taskset", SequencerTools::PinnedAmidi({"-p", "hw:0,1", "-s", sPath}));
        if (!amidi.waitForStarted(5000))
            return false;
    }
    const bool bEnded = PumpUntil(
        [&] { return amidi.state() == QProcess::NotRunning && ends.m_end.iMessage >= 0; }, 300000);
    if (sender.joinable())
        sender.join();
    if (!bEnded)
        return false;
    const double dSeconds = double(timer.elapsed()) / 1000.0 - (bDump ? 1.0 : 0.0);
    Bytes got;
    const char* pszVerdict = "lost";
    if (bDump)
    {
        got = ReceivedDump(manager);
        const bool bPrefix = std::equal(got.begin(), got.end(), sent.begin());
        if (ends.m_end.iParam4 == kDumpEndIdle)
            pszVerdict = got == sent ? "exact" : "DAMAGED";
        else if (!bPrefix)
            pszVerdict = "DAMAGED";
    }
    else if (ends.m_end.iMessage == LM_RECEIVE_COMPLETE)
    {
        for (int i = 0; i < manager.m_nReceivedSysExSize; ++i)
            got.push_back(manager.GetReceivedSysExData(i));
        pszVerdict = got == sent ? "exact" : "DAMAGED";
    }
    if (strcmp(pszVerdict, "DAMAGED") == 0)
    {
        const auto mismatch = std::mismatch(got.begin(), got.end(), sent.begin(), sent.end());
        printf("damaged: end %d/%d, %zu bytes kept, first difference at byte %zd\n",
               ends.m_end.iMessage, ends.m_end.iParam4, got.size(), mismatch.first - got.begin());
    }
    printf("%-6s %-7s %9zu bytes  %9zu intact  %7.2f MB/s  %s\n", bSequencer ? "seq" : "amidi",
           bDump ? "dump" : "message", sent.size(),
           strcmp(pszVerdict, "exact") == 0 ? got.size() : (bDump ? got.size() : 0),
           double(sent.size()) / std::max(dSeconds, 1e-3) / 1e6, pszVerdict);
    fflush(stdout);
    return strcmp(pszVerdict, "DAMAGED") != 0;
}

int RunHere()
{
    CMessageManager messages;
    Ends ends;
    CMidiManager manager;
    if (!messages.Create())
        return 1;
    messages.AddListener(&ends);
    manager.Attach(&messages, nullptr, nullptr);
    if (!manager.Create())
        return 1;
    QTemporaryDir dir;
    const QString sPath = dir.filePath("sent.syx");
    bool bOk = true;
    for (bool bSequencer : {false, true})
    {
        if (!manager.MidiInOpenByName(bSequencer ? "Midi Through - Midi Through Port-0"
                                                 : "Virtual Raw MIDI 0-1 - VirMIDI 0-1"))
        {
            fprintf(stderr, "bench_receive_loss: the input is not on this sequencer\n");
            return 1;
        }
        for (bool bDump : {true, false})
            for (size_t nBytes : {64u << 10, 256u << 10, 1u << 20, 4u << 20, 16u << 20})
                bOk = Run(manager, ends, sPath, Messages(nBytes, bDump ? 256 : nBytes), bDump,
                          bSequencer) &&
                      bOk;
        manager.MidiInClose();
    }
    manager.Destroy();
    messages.Destroy();
    return bOk ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    const bool bHere = argc > 1 && strcmp(argv[1], "--alsa") == 0;
    setenv("QUILLMARK_MIDI", "alsa", 1);
    QCoreApplication app(argc, argv);
    if (bHere)
        return RunHere();
    if (access(QUILLMARK_ALSA_VM, X_OK) != 0)
    {
        printf("not measured: the alsa-vm tool is not at %s\n", QUILLMARK_ALSA_VM);
        return 0;
    }
    QProcess vm;
    vm.setProcessChannelMode(QProcess::ForwardedChannels);
    vm.start(QUILLMARK_ALSA_VM, {"--workdir", QUILLMARK_BUILD_DIR, "--timeout", "600", "--",
                                 QCoreApplication::applicationFilePath(), "--alsa"});
    return vm.waitForFinished(700000) && vm.exitCode() == 0 ? 0 : 1;
}
