// Recording a whole dump against the virtual MIDI back end. A 16 MiB stream of SysEx
// messages of 8 bytes to 4 KiB, with Active Sensing between some, is offered as fast as
// the back end takes it, in packet lists of 64 pieces of 256 bytes. Prints, one figure a
// line: dump_mb_per_s (goal >= 10), dump_bytes_lost (goal 0) and
// dump_peak_above_idle_x_dump, peak memory above idle as a multiple of the dump
// (goal <= 2).

#include "app/MessageManager.h"
#include "platform/midi/VirtualMidi.h"
#include "transfer/MidiManager.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

long long StatusBytes(const char* pszField)
{
    FILE* pFile = fopen("/proc/self/status", "r");
    if (!pFile)
        return -1;
    char szLine[256];
    long long llKilobytes = -1;
    const size_t nField = strlen(pszField);
    while (fgets(szLine, sizeof(szLine), pFile))
        if (strncmp(szLine, pszField, nField) == 0)
            llKilobytes = atoll(szLine + nField);
    fclose(pFile);
    return llKilobytes * 1024;
}

void ResetPeak()
{
    if (FILE* pFile = fopen("/proc/self/clear_refs", "w"))
    {
        fputs("5", pFile);
        fclose(pFile);
    }
}

class EndWatcher : public CMessageManagerListener
{
public:
    void OnMessageReceived(CMessageManager*, tagListenerMessage message,
                           CMessageManagerListener*) override
    {
        if (message.iMessage == LM_DUMP_END)
            m_bEnded = true;
    }
    bool m_bEnded = false;
};
} // namespace

int main(int argc, char** argv)
{
    setenv("QUILLMARK_MIDI", "virtual", 1);
    QCoreApplication app(argc, argv);
    VirtualMidi* pVirtual = VirtualMidi::Get();
    CMessageManager messageManager;
    CMidiManager* pManager = new CMidiManager;
    pManager->Attach(&messageManager, nullptr, nullptr);
    EndWatcher watcher;
    if (!pVirtual || !messageManager.Create() || !pManager->Create())
    {
        fprintf(stderr, "bench_record: cannot set up the engine\n");
        return 1;
    }
    pVirtual->Reset();
    messageManager.AddListener(&watcher);
    const MIDIEndpointRef hSource = pVirtual->AddSource("Bench", "Dump");
    pVirtual->WaitIdle();
    if (!pManager->MidiInOpenByName("Bench - Dump"))
        return 1;

    // Message lengths run through 8 .. 4096 bytes by a fixed rule.
    const size_t nTarget = 16 * 1024 * 1024;
    Bytes expected, stream;
    expected.reserve(nTarget + 4096);
    stream.reserve(nTarget + nTarget / 64);
    size_t nMessages = 0;
    for (unsigned uSeed = 1; expected.size() < nTarget; ++nMessages)
    {
        uSeed = uSeed * 1103515245u + 12345u;
        const size_t nLength = 8 + (uSeed >> 8) % (4096 - 8 + 1);
        const size_t nStart = expected.size();
        expected.push_back(0xF0);
        for (size_t i = 2; i < nLength; ++i)
            expected.push_back(uint8_t((i + nMessages) & 0x7F));
        expected.push_back(0xF7);
        stream.insert(stream.end(), expected.begin() + long(nStart), expected.end());
        if (nMessages % 7 == 0)
            stream.push_back(0xFE);
    }

    QCoreApplication::processEvents();
    const long long llIdle = StatusBytes("VmRSS:");
    ResetPeak();
    pManager->ReceiveSysExDump(0);
    const Clock::time_point start = Clock::now();
    std::vector<Bytes> packets;
    for (size_t nOffset = 0; nOffset < stream.size();)
    {
        packets.clear();
        for (size_t i = 0; i < 64 && nOffset < stream.size(); ++i, nOffset += 256)
            packets.emplace_back(stream.begin() + long(nOffset),
                                 stream.begin() + long(std::min(stream.size(), nOffset + 256)));
        pVirtual->Inject(hSource, packets);
    }
    pVirtual->WaitIdle();
    const double dWall = std::chrono::duration<double>(Clock::now() - start).count();
    pManager->StopReceive();
    const long long llPeak = StatusBytes("VmHWM:");
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (!watcher.m_bEnded && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    size_t nOffset = 0;
    long long llLost = 0;
    pManager->ReadReceivedDump(
        [&](const unsigned char* pData, size_t nLength)
        {
            for (size_t i = 0; i < nLength; ++i, ++nOffset)
                if (nOffset >= expected.size() || pData[i] != expected[nOffset])
                    ++llLost;
            return true;
        });
    if (nOffset < expected.size())
        llLost += (long long)(expected.size() - nOffset);
    const tagDumpStatus status = pManager->GetDumpStatus();

    printf("dump_messages %zu\n", nMessages);
    printf("dump_bytes %zu\n", expected.size());
    printf("dump_messages_kept %lld\n", (long long)status.counts.llMessages);
    printf("dump_wall_s %.3f\n", dWall);
    printf("dump_mb_per_s %.1f\n", double(expected.size()) / dWall / 1e6);
    printf("dump_bytes_lost %lld\n", llLost);
    printf("dump_peak_above_idle_mb %.1f\n", double(llPeak - llIdle) / (1024.0 * 1024.0));
    printf("dump_peak_above_idle_x_dump %.2f\n", double(llPeak - llIdle) / double(expected.size()));

    pManager->MidiInClose();
    pManager->Destroy();
    delete pManager;
    messageManager.Destroy();
    return llLost == 0 && watcher.m_bEnded ? 0 : 1;
}
