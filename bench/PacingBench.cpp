// Transmission at the pace of the destination. Prints, one figure a line with its goal:
//   paced_wall_over_schedule  a 100-message, 13,800-byte stream with a 100 ms pause to a
//                             hardware port at wire speed on the virtual back end: wall
//                             time / (bytes / speed + 99 x pause)          goal <= 1.03
//   software_virtual_mb_per_s 1 MiB to a software port of the virtual back end, and
//   software_virtual_intact   whether it arrived byte for byte      goal >= 1 MB/s, yes
//   software_alsa_mb_per_s    1 MiB to an application client (aseqdump) on the real
//   software_alsa_intact      ALSA sequencer, inside the alsa-vm tool's VM  goal >= 1, yes
// Options: --alsa runs only the last figure, on the sequencer of this machine (which is
// how the first run starts it inside the VM); --no-vm leaves it out.

#include "app/Application.h"
#include "app/MessageManager.h"
#include "file/LumFile.h"
#include "midi/LumMidi.h"
#include "platform/midi/VirtualMidi.h"
#include "support/EventPump.h"
#include "transfer/MidiManager.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// Messages of the length, each of its own content.
Bytes Stream(size_t nMessages, size_t nLength)
{
    Bytes stream;
    for (size_t i = 0; i < nMessages; ++i)
    {
        stream.push_back(0xF0);
        for (size_t k = 1; k + 1 < nLength; ++k)
            stream.push_back(uint8_t((k * 5 + i) & 0x7F));
        stream.push_back(0xF7);
    }
    return stream;
}

class EndWatcher : public CMessageManagerListener
{
public:
    void OnMessageReceived(CMessageManager*, tagListenerMessage message,
                           CMessageManagerListener*) override
    {
        if (message.iMessage == LM_TRANSMIT_COMPLETE || message.iMessage == LM_TRANSMIT_ERROR ||
            message.iMessage == LM_TRANSMIT_CANCEL)
            m_bEnded = true;
    }
    bool m_bEnded = false;
};

struct Engine
{
    CApplication cApplication;
    EndWatcher cWatcher;
    QTemporaryDir cDir;

    bool Start()
    {
        g_pApplication = &cApplication;
        cApplication.m_pMessageManager = new CMessageManager;
        cApplication.m_pMidiManager = new CMidiManager;
        cApplication.m_pMidiManager->Attach(cApplication.m_pMessageManager,
                                            cApplication.m_szMidiInDevice,
                                            cApplication.m_szMidiOutDevice);
        if (!cDir.isValid() || !cApplication.m_pMessageManager->Create() ||
            !cApplication.m_pMidiManager->Create())
            return false;
        cApplication.m_pMessageManager->AddListener(&cWatcher);
        return true;
    }

    void Stop()
    {
        cApplication.m_pMidiManager->Destroy();
        delete cApplication.m_pMidiManager;
        cApplication.m_pMidiManager = nullptr;
        cApplication.m_pMessageManager->Destroy();
        delete cApplication.m_pMessageManager;
        cApplication.m_pMessageManager = nullptr;
        g_pApplication = nullptr;
    }

    // Sends the stream to the open output; the wall time in seconds, negative on failure.
    double Send(const Bytes& stream, int iPauseMs)
    {
        const std::string sPath = cDir.filePath("stream.syx").toStdString();
        FILE* pFile = fopen(sPath.c_str(), "wb");
        if (!pFile)
            return -1;
        fwrite(stream.data(), 1, stream.size(), pFile);
        fclose(pFile);
        tagTransmitSettings settings;
        settings.iPauseMs = iPauseMs;
        cApplication.m_pMidiManager->SetTransmitSettings(settings);
        CLumFile cFile;
        if (!cFile.Open(sPath.c_str(), 9))
            return -1;
        cWatcher.m_bEnded = false;
        const Clock::time_point start = Clock::now();
        const int bSent = cApplication.m_pMidiManager->TransmitSingleSysEx(&cFile);
        const double dWall = std::chrono::duration<double>(Clock::now() - start).count();
        cFile.Close();
        PumpUntil([&] { return cWatcher.m_bEnded; }, 5000);
        return bSent ? dWall : -1;
    }
};

void Figure(const char* pszName, double dValue, const char* pszGoal)
{
    printf("%-26s %10.4f   (goal %s)\n", pszName, dValue, pszGoal);
    fflush(stdout);
}

void Verdict(const char* pszName, bool bYes)
{
    printf("%-26s %10s   (goal yes)\n", pszName, bYes ? "yes" : "no");
    fflush(stdout);
}

bool BenchPaced(Engine& engine, VirtualMidi& virtualMidi)
{
    const Bytes stream = Stream(100, 138);
    const int iPauseMs = 100;
    MIDIEndpointRef hDestination = virtualMidi.AddDestination("Bench", "Cable");
    virtualMidi.SetEndpointKind(hDestination, kMIDIEndpointHardware);
    virtualMidi.PaceSends(hDestination, true);
    virtualMidi.WaitIdle();
    CMidiManager* pManager = engine.cApplication.m_pMidiManager;
    if (!pManager->MidiOutOpenByName("Bench - Cable"))
        return false;
    const double dWall = engine.Send(stream, iPauseMs);
    const double dSchedule =
        double(stream.size()) / kMidiWireBytesPerSecond + 99 * iPauseMs / 1000.0;
    pManager->MidiOutClose();
    if (dWall < 0)
        return false;
    Figure("paced_wall_over_schedule", dWall / dSchedule, "<= 1.03");
    return virtualMidi.Captured(hDestination) == stream;
}

bool BenchSoftwareVirtual(Engine& engine, VirtualMidi& virtualMidi)
{
    const Bytes stream = Stream(4096, 256);
    MIDIEndpointRef hDestination = virtualMidi.AddDestination("Bench", "Synth");
    virtualMidi.WaitIdle();
    CMidiManager* pManager = engine.cApplication.m_pMidiManager;
    if (!pManager->MidiOutOpenByName("Bench - Synth"))
        return false;
    const double dWall = engine.Send(stream, 0);
    pManager->MidiOutClose();
    if (dWall < 0)
        return false;
    const bool bIntact = virtualMidi.Captured(hDestination) == stream;
    Figure("software_virtual_mb_per_s", double(stream.size()) / dWall / 1e6, ">= 1");
    Verdict("software_virtual_intact", bIntact);
    return bIntact;
}

// The SysEx bytes aseqdump printed, joined.
Bytes DumpedSysEx(const QString& sPath)
{
    QFile file(sPath);
    Bytes bytes;
    if (!file.open(QIODevice::ReadOnly))
        return bytes;
    static const QRegularExpression sysex("System exclusive\\s+([0-9A-F ]+)");
    for (const QByteArray& line : file.readAll().split('\n'))
    {
        QRegularExpressionMatch match = sysex.match(QString::fromLatin1(line));
        if (!match.hasMatch())
            continue;
        for (const QString& sByte : match.captured(1).split(' ', Qt::SkipEmptyParts))
            bytes.push_back(uint8_t(sByte.toUInt(nullptr, 16)));
    }
    return bytes;
}

bool HasDestination(const char* pszName)
{
    char szName[256];
    for (int i = 0; i < GetNumMidiOutDevices(); ++i)
        if (GetMidiOutDeviceName(i, szName, sizeof(szName)) && strcmp(szName, pszName) == 0)
            return true;
    return false;
}

bool BenchSoftwareAlsa(Engine& engine)
{
    const Bytes stream = Stream(4096, 256);
    const QString sDump = engine.cDir.filePath("aseqdump.txt");
    QProcess aseqdump;
    aseqdump.setStandardOutputFile(sDump);
    aseqdump.start("aseqdump", {});
    const char* const pszClient = "aseqdump - aseqdump";
    if (!aseqdump.waitForStarted(5000) ||
        !PumpUntil([&] { return HasDestination(pszClient); }, 20000))
    {
        fprintf(stderr, "bench_pacing: aseqdump did not come up\n");
        return false;
    }
    CMidiManager* pManager = engine.cApplication.m_pMidiManager;
    if (!pManager->MidiOutOpenByName(pszClient) || pManager->MidiOutIsHardware())
        return false;
    const double dWall = engine.Send(stream, 0);
    pManager->MidiOutClose();
    Bytes dumped;
    PumpUntil(
        [&]
        {
            dumped = DumpedSysEx(sDump);
            return dumped.size() >= stream.size();
        },
        60000);
    aseqdump.terminate();
    aseqdump.waitForFinished(5000);
    if (dWall < 0)
        return false;
    Figure("software_alsa_mb_per_s", double(stream.size()) / dWall / 1e6, ">= 1");
    Verdict("software_alsa_intact", dumped == stream);
    return dumped == stream;
}

// Runs this program again inside the VM, for the figure of the real sequencer.
bool BenchInVm(const char* pszSelf)
{
    const char* pszTool = QUILLMARK_ALSA_VM;
    if (access(pszTool, X_OK) != 0)
    {
        printf("software_alsa_mb_per_s     not measured: the alsa-vm tool is not at %s\n", pszTool);
        return true;
    }
    fflush(stdout);
    QProcess vm;
    vm.setProcessChannelMode(QProcess::ForwardedChannels);
    vm.start(pszTool, {"--workdir", QUILLMARK_BUILD_DIR, "--timeout", "300", "--env",
                       "QUILLMARK_MIDI=alsa", "--", QString::fromLocal8Bit(pszSelf), "--alsa"});
    return vm.waitForFinished(400000) && vm.exitStatus() == QProcess::NormalExit &&
           vm.exitCode() == 0;
}
} // namespace

int main(int argc, char** argv)
{
    bool bAlsaOnly = false;
    bool bVm = true;
    for (int i = 1; i < argc; ++i)
    {
        if (strcmp(argv[i], "--alsa") == 0)
            bAlsaOnly = true;
        else if (strcmp(argv[i], "--no-vm") == 0)
            bVm = false;
    }
    setenv("QUILLMARK_MIDI", bAlsaOnly ? "alsa" : "virtual", 1);
    QCoreApplication app(argc, argv);
    Engine engine;
    if (!engine.Start())
    {
        fprintf(stderr, "bench_pacing: cannot set up the engine\n");
        return 1;
    }
    bool bOk = true;
    if (bAlsaOnly)
        bOk = BenchSoftwareAlsa(engine);
    else
    {
        VirtualMidi* pVirtual = VirtualMidi::Get();
        bOk = pVirtual && BenchPaced(engine, *pVirtual);
        bOk = pVirtual && BenchSoftwareVirtual(engine, *pVirtual) && bOk;
    }
    engine.Stop();
    if (!bAlsaOnly && bVm)
        bOk = BenchInVm(QCoreApplication::applicationFilePath().toLocal8Bit().constData()) && bOk;
    return bOk ? 0 : 1;
}
