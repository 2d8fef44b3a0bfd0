#include "midi/LumMidi.h"
#include "platform/midi/VirtualMidi.h"
#include "tests/midi/MidiRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace
{
const int sg_iVirtualByDefault = setenv("QUILLMARK_MIDI", "virtual", 0);

// What a CLumMidi says when its input breaks off or its destination goes away.
class LumMidiBreak : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pVirtual = VirtualMidi::Get();
        ASSERT_NE(m_pVirtual, nullptr) << "run with QUILLMARK_MIDI=virtual";
        m_pVirtual->Reset();
        ASSERT_EQ(m_midi.Create("QMRK_BREAK"), 1);
        m_midi.SetListener(&m_recorder);
    }
    void TearDown() override { m_midi.Destroy(); }

    VirtualMidi* m_pVirtual = nullptr;
    MidiRecorder m_recorder;
    CLumMidi m_midi;
};

TEST_F(LumMidiBreak, ABreakInTheInputDropsTheMessageItCutAndNothingFromBeforeJoinsTheNext)
{
    struct
    {
        bool bSourceGoes;
        OSStatus reason;
        std::vector<std::string> received;
    } const cases[] = {{false, kMIDIInputDataLost, {"F0 41 F7", "F0 43 F7"}},
                       {true, kMIDIInputSourceGone, {"F0 41 F7"}}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.reason);
        m_recorder.Clear();
        MIDIEndpointRef hSource = m_pVirtual->AddSource("Synth", "Out");
        ASSERT_EQ(m_midi.MidiInOpen(m_pVirtual->GetNumberOfSources() - 1), 1);
        m_pVirtual->Inject(hSource, {Bytes("F0 41 F7"), Bytes("F0 41 10 42")});
        if (c.bSourceGoes)
            m_pVirtual->RemoveEndpoint(hSource);
        else
        {
            m_pVirtual->BreakInput(hSource);
            // What follows the break continues nothing from before it.
            m_pVirtual->Inject(hSource, {Bytes("11 12 F7"), Bytes("F0 43 F7")});
        }
        m_pVirtual->WaitIdle();
        EXPECT_THAT(m_recorder.ValuesOf("broken"), ElementsAre(c.reason));
        EXPECT_EQ(m_recorder.Of("receive"), c.received);
        m_midi.MidiInClose();
    }
}

TEST_F(LumMidiBreak, AnOutputThatRefusesFailsToOpenAndOneThatGoesFailsItsSends)
{
    MIDIEndpointRef hDestination = m_pVirtual->AddDestination("Synth", "In");
    m_pVirtual->FailNextConnect(kMIDINoConnection);
    EXPECT_EQ(m_midi.MidiOutOpen(0), 0);
    EXPECT_FALSE(m_midi.MidiOutIsOpen());
    ASSERT_EQ(m_midi.MidiOutOpen(0), 1);
    EXPECT_TRUE(m_midi.MidiOutDestinationExists());

    m_pVirtual->HoldCompletions(true);
    unsigned char aBlock[] = {0xF0, 0x41, 0xF7};
    ASSERT_EQ(m_midi.Out(3, aBlock), 0);
    m_pVirtual->RemoveEndpoint(hDestination);
    m_pVirtual->HoldCompletions(false);
    m_pVirtual->WaitIdle();
    EXPECT_THAT(m_recorder.ValuesOf("failed"), ElementsAre(3));
    EXPECT_THAT(m_recorder.ValuesOf("complete"), IsEmpty());
    EXPECT_FALSE(m_midi.MidiOutDestinationExists());
}
} // namespace
