// Figures for the MIDI port layer:
//  - the input parser's throughput (bytes per second) on a stream of large SysEx messages
//    delivered in 256-byte packets, with real-time bytes mixed in either as packets of
//    their own (as the ALSA back end delivers them) or inside the SysEx packets;
//  - SysEx blocks of 256 bytes per second through the virtual back end without pacing,
//    each waited for, as a transmission sends them.

#include "midi/LumMidi.h"
#include "platform/midi/VirtualMidi.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace
{
class CCountingListener final : public CLumMidiListener
{
public:
    void OnLumMidiInReceive(CLumMidi*, int iLength, unsigned char*) override
    {
        m_iMessages += iLength > 3;
    }
    void OnLumMidiOutSysExSendComplete(CLumMidi*, int) override
    {
        std::lock_guard lock(m_mutex);
        ++m_iCompleted;
        m_done.notify_one();
    }
    void WaitCompleted(long iCount)
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [&] { return m_iCompleted >= iCount; });
    }

    long m_iMessages = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    long m_iCompleted = 0;
};

// Packet lists of 16 packets each carrying 64 KiB SysEx messages back to back; a clock
// byte after every 100 bytes of data, and active sensing now and then.
std::vector<MidiPacketListBuffer> SysExStream(bool bRealTimeInside, size_t* piBytes)
{
    std::vector<uint8_t> aStream;
    for (int iMessage = 0; iMessage < 16; ++iMessage)
    {
        aStream.push_back(0xF0);
        for (int i = 1; i < 65535; ++i)
            aStream.push_back(uint8_t(i & 0x7F));
        aStream.push_back(0xF7);
    }
    std::vector<std::vector<uint8_t>> packets;
    for (size_t i = 0; i < aStream.size(); i += 256)
    {
        std::vector<uint8_t> aPacket(aStream.begin() + long(i),
                                     aStream.begin() + long(std::min(i + 256, aStream.size())));
        if (bRealTimeInside)
        {
            aPacket.insert(aPacket.begin() + 100, 0xF8);
            aPacket.insert(aPacket.begin() + 201, i % 4096 ? 0xF8 : 0xFE);
            packets.push_back(aPacket);
        }
        else
        {
            packets.push_back(aPacket);
            packets.push_back({0xF8});
        }
    }
    *piBytes = 0;
    std::vector<MidiPacketListBuffer> lists;
    for (size_t i = 0; i < packets.size(); i += 16)
    {
        std::vector<std::vector<uint8_t>> batch(
            packets.begin() + long(i), packets.begin() + long(std::min(i + 16, packets.size())));
        for (const auto& packet : batch)
            *piBytes += packet.size();
        lists.emplace_back(batch);
    }
    return lists;
}

void BM_ParserSysExWithRealTime(benchmark::State& state)
{
    size_t iBytes = 0;
    std::vector<MidiPacketListBuffer> lists = SysExStream(state.range(0) != 0, &iBytes);
    CCountingListener listener;
    CLumMidi midi;
    midi.SetListener(&listener);
    for (auto _ : state)
        for (MidiPacketListBuffer& list : lists)
            CLumMidi::MacReadProc(list.List(), &midi, nullptr);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(iBytes));
    state.counters["messages"] = double(listener.m_iMessages);
    state.SetLabel(state.range(0) ? "real-time bytes inside packets"
                                  : "real-time bytes as packets of their own");
}
BENCHMARK(BM_ParserSysExWithRealTime)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_VirtualSysExBlocks(benchmark::State& state)
{
    VirtualMidi* pVirtual = VirtualMidi::Get();
    if (!pVirtual)
    {
        state.SkipWithError("the virtual MIDI back end is not running");
        return;
    }
    pVirtual->Reset();
    MIDIEndpointRef hDestination = pVirtual->AddDestination("Bench", "Port 1");
    CCountingListener listener;
    CLumMidi midi;
    midi.Create("QMRK_OUT");
    midi.SetListener(&listener);
    midi.MidiOutOpen(0);
    std::vector<uint8_t> aBlock(256, 0x55);
    long iSent = 0;
    for (auto _ : state)
    {
        midi.Out(int(aBlock.size()), aBlock.data());
        listener.WaitCompleted(++iSent);
        if (iSent % 4096 == 0)
            pVirtual->ClearCaptured(hDestination);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * int64_t(aBlock.size()));
    state.SetLabel("items = 256-byte blocks, each waited for");
}
BENCHMARK(BM_VirtualSysExBlocks)->UseRealTime();
} // namespace

int main(int argc, char** argv)
{
    setenv("QUILLMARK_MIDI", "virtual", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
