// The SysEx transfer engine against the virtual MIDI back end. Prints, one figure a line:
//   paced_*     64 KiB sent to a destination that takes 320 us a byte (MIDI wire speed):
//               wall time as a ratio of the wire time (goal <= 1.02) and process CPU
//               time as a share of wall time (goal <= 2 %); the main thread's share too
//   unpaced_*   blocks per second to a destination that completes at once (goal >= 5000)
//   receive_*   a 16 MiB dump offered as fast as the back end takes it: MB/s, bytes lost,
//               peak memory above idle as a multiple of the dump (goal <= 2.5)
// Options: --skip-paced leaves out the 21-second paced run.

#include "app/Application.h"
#include "app/MessageManager.h"
#include "file/LumFile.h"
#include "platform/midi/VirtualMidi.h"
#include "transfer/MidiManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace
{
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

double ProcessCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// VmRSS or VmHWM of this process in bytes.
long long StatusBytes(const char* pszField)
{
    FILE* pFile = fopen("/proc/self/status", "r");
    if (!pFile)
        return -1;
    char szLine[256];
    long long llKilobytes = -1;
    size_t nField = strlen(pszField);
    while (fgets(szLine, sizeof(szLine), pFile))
        if (strncmp(szLine, pszField, nField) == 0)
            llKilobytes = atoll(szLine + nField);
    fclose(pFile);
    return llKilobytes * 1024;
}

// Starts a new peak-memory measurement from the current resident size.
void ResetPeak()
{
    if (FILE* pFile = fopen("/proc/self/clear_refs", "w"))
    {
        fputs("5", pFile);
        fclose(pFile);
    }
}

Bytes DumpOf(size_t nSize)
{
    Bytes bytes(nSize);
    for (size_t i = 0; i < nSize; ++i)
        bytes[i] = uint8_t((i * 13 + i / 251) & 0x7F);
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    return bytes;
}

// Counts the engine's messages; stands in for the windows.
class Counter : public CMessageManagerListener
{
public:
    void OnMessageReceived(CMessageManager*, tagListenerMessage message,
                           CMessageManagerListener*) override
    {
        if (message.iMessage == LM_RECEIVE_COMPLETE)
            m_bReceived = true;
        if (message.iMessage == LM_RECEIVE_ERROR)
            m_bReceiveFailed = true;
    }
    bool m_bReceived = false;
    bool m_bReceiveFailed = false;
};

struct Engine
{
    CApplication cApplication;
    Counter cCounter;
    VirtualMidi* pVirtual = nullptr;

    bool Start()
    {
        g_pApplication = &cApplication;
        pVirtual = VirtualMidi::Get();
        if (!pVirtual)
            return false;
        pVirtual->Reset();
        cApplication.m_pMessageManager = new CMessageManager;
        cApplication.m_pMidiManager = new CMidiManager;
        cApplication.m_pMidiManager->Attach(cApplication.m_pMessageManager,
                                            cApplication.m_szMidiInDevice,
                                            cApplication.m_szMidiOutDevice);
        if (!cApplication.m_pMessageManager->Create() || !cApplication.m_pMidiManager->Create())
            return false;
        cApplication.m_pMessageManager->AddListener(&cCounter);
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
};

// Sends the file and returns the wall time, or a negative value when it failed.
double Transmit(CMidiManager* pManager, const std::string& path)
{
    CLumFile cFile;
    if (!cFile.Open(path.c_str(), 9))
        return -1.0;
    Clock::time_point start = Clock::now();
    int iResult = pManager->TransmitSingleSysEx(&cFile);
    double dWall = Seconds(Clock::now() - start);
    cFile.Close();
    return iResult ? dWall : -1.0;
}

std::string WriteFile(const QTemporaryDir& dir, const char* pszName, const Bytes& bytes)
{
    std::string path = dir.filePath(pszName).toStdString();
    FILE* pFile = fopen(path.c_str(), "wb");
    if (!pFile)
        return {};
    fwrite(bytes.data(), 1, bytes.size(), pFile);
    fclose(pFile);
    return path;
}

bool BenchPaced(Engine& engine, const QTemporaryDir& dir)
{
    const size_t nSize = 64 * 1024;
    MIDIEndpointRef hDestination = engine.pVirtual->AddDestination("Bench", "Paced");
    engine.pVirtual->WaitIdle();
    engine.pVirtual->SetEndpointKind(hDestination, kMIDIEndpointHardware);
    engine.pVirtual->PaceSends(hDestination, true);
    CMidiManager* pManager = engine.cApplication.m_pMidiManager;
    if (!pManager->MidiOutOpenByName("Bench - Paced"))
        return false;
    std::string path = WriteFile(dir, "paced.syx", DumpOf(nSize));

    double dProcess = ProcessCpuSeconds();
    double dThread = ThreadCpuSeconds();
    double dWall = Transmit(pManager, path);
    dProcess = ProcessCpuSeconds() - dProcess;
    dThread = ThreadCpuSeconds() - dThread;
    if (dWall < 0)
        return false;
    double dWire = double(nSize) * kMidiWireMicrosecondsPerByte * 1e-6;
    printf("paced_bytes %zu\n", nSize);
    printf("paced_wire_s %.3f\n", dWire);
    printf("paced_wall_s %.3f\n", dWall);
    printf("paced_wall_over_wire %.4f\n", dWall / dWire);
    printf("paced_cpu_percent %.2f\n", 100.0 * dProcess / dWall);
    printf("paced_main_thread_cpu_percent %.2f\n", 100.0 * dThread / dWall);
    bool bWhole = engine.pVirtual->Captured(hDestination) == DumpOf(nSize);
    printf("paced_bytes_intact %s\n", bWhole ? "yes" : "no");
    pManager->MidiOutClose();
    return bWhole;
}

bool BenchUnpaced(Engine& engine, const QTemporaryDir& dir)
{
    const int nBlocks = 20000;
    MIDIEndpointRef hDestination = engine.pVirtual->AddDestination("Bench", "Fast");
    engine.pVirtual->WaitIdle();
    CMidiManager* pManager = engine.cApplication.m_pMidiManager;
    if (!pManager->MidiOutOpenByName("Bench - Fast"))
        return false;
    std::string path = WriteFile(dir, "fast.syx", DumpOf(size_t(nBlocks) * 256));
    double dWall = Transmit(pManager, path);
    if (dWall < 0)
        return false;
    printf("unpaced_blocks %d\n", nBlocks);
    printf("unpaced_wall_s %.3f\n", dWall);
    printf("unpaced_blocks_per_s %.0f\n", nBlocks / dWall);
    bool bWhole = engine.pVirtual->CapturedSends(hDestination).size() == size_t(nBlocks);
    engine.pVirtual->ClearCaptured(hDestination);
    pManager->MidiOutClose();
    return bWhole;
}

bool BenchReceive(Engine& engine)
{
    const size_t nSize = 16 * 1024 * 1024;
    // Hardware hands the dump over in pieces of 256 bytes; a packet list holds 64 of them.
    const size_t nPiece = 256;
    const size_t nPerList = 64;
    MIDIEndpointRef hSource = engine.pVirtual->AddSource("Bench", "Dump");
    engine.pVirtual->WaitIdle();
    CMidiManager* pManager = engine.cApplication.m_pMidiManager;
    if (!pManager->MidiInOpenByName("Bench - Dump"))
        return false;
    Bytes dump = DumpOf(nSize);
    std::vector<Bytes> packets;
    packets.reserve(nPerList);

    QCoreApplication::processEvents();
    long long llIdle = StatusBytes("VmRSS:");
    ResetPeak();
    pManager->ReceiveSysExData();
    Clock::time_point start = Clock::now();
    for (size_t nOffset = 0; nOffset < nSize;)
    {
        packets.clear();
        for (size_t i = 0; i < nPerList && nOffset < nSize; ++i, nOffset += nPiece)
            packets.emplace_back(dump.begin() + long(nOffset),
                                 dump.begin() + long(std::min(nSize, nOffset + nPiece)));
        engine.pVirtual->Inject(hSource, packets);
    }
    engine.pVirtual->WaitIdle();
    double dWall = Seconds(Clock::now() - start);
    long long llPeak = StatusBytes("VmHWM:");

    Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (!engine.cCounter.m_bReceived && !engine.cCounter.m_bReceiveFailed &&
           Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    long long llLost = 0;
    if (pManager->m_nReceivedSysExSize != int(nSize))
        llLost = (long long)nSize - pManager->m_nReceivedSysExSize;
    else
        for (size_t i = 0; i < nSize; ++i)
            if (pManager->GetReceivedSysExData(int(i)) != dump[i])
                ++llLost;
    printf("receive_bytes %zu\n", nSize);
    printf("receive_wall_s %.3f\n", dWall);
    printf("receive_mb_per_s %.1f\n", double(nSize) / dWall / 1e6);
    printf("receive_complete_message %s\n", engine.cCounter.m_bReceived ? "yes" : "no");
    printf("receive_bytes_lost %lld\n", llLost);
    printf("receive_peak_above_idle_mb %.1f\n", double(llPeak - llIdle) / (1024.0 * 1024.0));
    printf("receive_peak_above_idle_x_dump %.2f\n", double(llPeak - llIdle) / double(nSize));
    pManager->MidiInClose();
    return engine.cCounter.m_bReceived && llLost == 0;
}
} // namespace

int main(int argc, char** argv)
{
    setenv("QUILLMARK_MIDI", "virtual", 1);
    bool bPaced = true;
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--skip-paced") == 0)
            bPaced = false;
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Engine engine;
    if (!dir.isValid() || !engine.Start())
    {
        fprintf(stderr, "bench_transfer: cannot set up the engine\n");
        return 1;
    }
    bool bOk = BenchReceive(engine);
    bOk = BenchUnpaced(engine, dir) && bOk;
    if (bPaced)
        bOk = BenchPaced(engine, dir) && bOk;
    engine.Stop();
    return bOk ? 0 : 1;
}
