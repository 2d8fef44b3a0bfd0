#include "tests/midi/LumMidiFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

namespace
{
using LumMidiConcurrency = LumMidiFixture;
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
