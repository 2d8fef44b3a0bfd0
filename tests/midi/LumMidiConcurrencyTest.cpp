#include "midi/LumMidi.h"
#include "platform/midi/VirtualMidi.h"
#include "tests/midi/MidiRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

namespace
{
class LumMidiConcurrency : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pVirtual = VirtualMidi::Get();
        ASSERT_NE(m_pVirtual, nullptr) << "run with QUILLMARK_MIDI=virtual";
        m_pVirtual->Reset();
    }

    VirtualMidi* m_pVirtual = nullptr;
};
} // namespace

// Whoever closes a port or destroys a client may free what the callbacks use right after.
TEST_F(LumMidiConcurrency, NoInputArrivesOnceCloseOrDestroyHasReturned)
{
    MIDIEndpointRef hSource = m_pVirtual->AddSource("Interface", "Port 1");
    for (bool bDestroy : {false, true})
    {
        std::atomic<bool> bClosed{false};
        std::atomic<int> iLate{0};
        MidiRecorder recorder;
        recorder.onCall = [&](const MidiRecorder::tagCall&)
        {
            if (bClosed.load())
                ++iLate;
        };
        CLumMidi midi;
        ASSERT_EQ(midi.Create("QMRK_IN"), 1);
        midi.SetListener(&recorder);
        ASSERT_EQ(midi.MidiInOpen(0), 1);

        std::atomic<bool> bStop{false};
        std::thread feeder(
            [&]
            {
                while (!bStop.load())
                    m_pVirtual->Inject(hSource, {Bytes("F0 01 02"), Bytes("F8"), Bytes("03 F7")});
            });
        ASSERT_TRUE(recorder.WaitFor("receive", 20));
        if (bDestroy)
            midi.Destroy();
        else
            midi.MidiInClose();
        bClosed = true;
        std::this_thread::sleep_for(20ms);
        bStop = true;
        feeder.join();

        EXPECT_EQ(iLate.load(), 0) << (bDestroy ? "after Destroy" : "after MidiInClose");
    }
}

TEST_F(LumMidiConcurrency, EverySendOfAStreamCompletesExactlyOnce)
{
    MIDIEndpointRef hDestination = m_pVirtual->AddDestination("Interface", "Port 1");
    MidiRecorder recorder;
    CLumMidi midi;
    ASSERT_EQ(midi.Create("QMRK_OUT"), 1);
    midi.SetListener(&recorder);
    ASSERT_EQ(midi.MidiOutOpen(0), 1);

    std::vector<uint8_t> aBlock(256);
    int iTotal = 0;
    for (int i = 1; i <= 300; ++i)
    {
        ASSERT_EQ(midi.Out(i % 256 + 1, aBlock.data()), 0);
        iTotal += i % 256 + 1;
    }
    ASSERT_TRUE(recorder.WaitFor("complete", 300));
    midi.MidiOutClose();

    std::vector<int> lengths = recorder.ValuesOf("complete");
    ASSERT_EQ(lengths.size(), 300u);
    for (int i = 1; i <= 300; ++i)
        EXPECT_EQ(lengths[size_t(i - 1)], i % 256 + 1);
    EXPECT_EQ(int(m_pVirtual->Captured(hDestination).size()), iTotal);
}

TEST_F(LumMidiConcurrency, DestroyWaitsForPacedSendsAndNothingFollows)
{
    MIDIEndpointRef hDestination = m_pVirtual->AddDestination("Interface", "Port 1");
    m_pVirtual->PaceSends(hDestination, true);
    std::atomic<bool> bDestroyed{false};
    std::atomic<int> iLate{0};
    MidiRecorder recorder;
    recorder.onCall = [&](const MidiRecorder::tagCall&)
    {
        if (bDestroyed.load())
            ++iLate;
    };
    {
        CLumMidi midi;
        ASSERT_EQ(midi.Create("QMRK_OUT"), 1);
        midi.SetListener(&recorder);
        ASSERT_EQ(midi.MidiOutOpen(0), 1);
        std::vector<uint8_t> aBlock(256, 0x10);
        for (int i = 0; i < 4; ++i)
            midi.Out(256, aBlock.data());
        midi.Destroy();
        bDestroyed = true;
        EXPECT_EQ(recorder.Count("complete"), 4u);
    }
    std::this_thread::sleep_for(50ms);
    m_pVirtual->WaitIdle();
    EXPECT_EQ(iLate.load(), 0);
}

TEST_F(LumMidiConcurrency, ListenerMayBeSetWhileTheSetupChanges)
{
    MidiRecorder first, second;
    CLumMidi midi;
    ASSERT_EQ(midi.Create("QMRK_IN"), 1);
    std::atomic<bool> bStop{false};
    std::thread changer(
        [&]
        {
            while (!bStop.load())
                m_pVirtual->RemoveEndpoint(m_pVirtual->AddSource("Hot", "Plug"));
        });
    for (int i = 0; i < 200; ++i)
    {
        midi.SetListener(i % 2 ? &first : &second);
        std::this_thread::sleep_for(100us);
    }
    for (int i = 0; first.Count("notify") + second.Count("notify") == 0 && i < 500; ++i)
        std::this_thread::sleep_for(10ms);
    bStop = true;
    changer.join();
    midi.Destroy();
    EXPECT_GT(first.Count("notify") + second.Count("notify"), 0u);
}
