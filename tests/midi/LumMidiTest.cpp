#include "tests/midi/LumMidiFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

namespace
{
// The MIDI tests run on the virtual back end unless told otherwise, also where a sequencer
// exists. Set before main, so before the back end is chosen.
const int sg_iVirtualByDefault = setenv("QUILLMARK_MIDI", "virtual", 0);

using LumMidi = LumMidiFixture;
} // namespace

TEST_F(LumMidi, CreatesOneClientOnly)
{
    CLumMidi midi;
    EXPECT_EQ(midi.Create("QMRK_IN"), 1);
    EXPECT_EQ(midi.Create("QMRK_IN"), 0);
    EXPECT_TRUE(m_log.Contains("CLumMidi::Create() - Client is already created."));
    EXPECT_EQ(midi.Create(nullptr), 0);

    EXPECT_EQ(midi.Destroy(), 1);
    EXPECT_EQ(midi.Destroy(), 0);
    EXPECT_EQ(midi.Create(nullptr), 0);
    EXPECT_TRUE(m_log.Contains("CLumMidi::Create() - Failed to create CFString."));
}

TEST_F(LumMidi, ListsEndpointsUnderDisplayNamesCutToTheBuffer)
{
    m_pVirtual->AddSource("Interface", "Port 1");
    m_pVirtual->AddSource("", "Synth");
    m_pVirtual->AddDestination("Interface", "Port 2");
    m_pVirtual->AddSource("Odd\nBox", "Port\t3\x7F");

    CLumMidi midi;
    EXPECT_EQ(midi.GetNumMidiInDevices(), 3);
    EXPECT_EQ(InName(2), "Odd Box - Port 3 ") << "control characters become spaces";
    EXPECT_EQ(GetNumMidiInDevices(), 3);
    EXPECT_EQ(InName(0), "Interface - Port 1");
    EXPECT_EQ(InName(1), " - Synth"); // an endpoint without a device
    EXPECT_EQ(midi.GetNumMidiOutDevices(), 1);
    EXPECT_EQ(OutName(0), "Interface - Port 2");
    char szName[256];
    midi.GetMidiOutDeviceName(0, szName, sizeof(szName));
    EXPECT_STREQ(szName, "Interface - Port 2");
    EXPECT_EQ(MacGetEndpointDeviceName(m_pVirtual->GetSource(1)), "");
    EXPECT_EQ(CLumMidi::MacGetEndpointDeviceName(m_pVirtual->GetSource(0)), "Interface");

    // Names are cut to the buffer without splitting characters.
    m_pVirtual->Reset();
    std::string sLongDevice(300, 'd');
    std::string sAccented;
    for (int i = 0; i < 10; ++i)
        sAccented += "\xC3\xA9"; // U+00E9, two bytes in UTF-8
    m_pVirtual->AddSource(sLongDevice.c_str(), "Port 1");
    m_pVirtual->AddSource(sAccented.c_str(), "Port 1");

    EXPECT_EQ(InName(0), std::string(255, 'd')); // a 256-byte buffer holds 255 characters
    char szWide[600];                            // each name is cut to 255 bytes on its own
    GetMidiInDeviceName(0, szWide, sizeof(szWide));
    EXPECT_EQ(szWide, std::string(255, 'd') + " - Port 1");
    GetMidiInDeviceName(0, szName, 8);
    EXPECT_STREQ(szName, "ddddddd");
    GetMidiInDeviceName(1, szName, 6); // room for 5 bytes: two whole characters
    EXPECT_STREQ(szName, "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(GetMidiInDeviceName(7, szName, sizeof(szName)), 1); // no such source
    EXPECT_STREQ(szName, " - ");
}

// Each direction opens only with a client, on an existing endpoint, and only once.
TEST_F(LumMidi, OpensOnlyOnAnExistingEndpointAndOnlyOnce)
{
    m_pVirtual->AddSource("Interface", "Port 1");
    m_pVirtual->AddDestination("Interface", "Port 1");
    CLumMidi midi;
    midi.SetListener(&m_recorder);
    EXPECT_EQ(midi.MidiInOpen(0) + midi.MidiOutOpen(0), 0); // no client yet
    ASSERT_EQ(midi.Create("QMRK_IN"), 1);
    EXPECT_EQ(midi.MidiInOpen(-1) + midi.MidiInOpen(1) + midi.MidiOutOpen(1), 0);
    EXPECT_FALSE(midi.MidiInIsOpen() || midi.MidiOutIsOpen());
    EXPECT_EQ(midi.MidiInOpen(0) + midi.MidiOutOpen(0), 2);
    EXPECT_EQ(midi.MidiInOpen(0) + midi.MidiOutOpen(0), 0);
    EXPECT_TRUE(midi.MidiInIsOpen() && midi.MidiOutIsOpen());
    EXPECT_EQ(m_pVirtual->ConnectionCount(m_pVirtual->GetSource(0)), 1);
    const std::string sIn = "CLumMidi::MidiInOpen() - ", sOut = "CLumMidi::MidiOutOpen() - ";
    EXPECT_EQ(m_log.Lines(),
              (std::vector<std::string>{
                  sIn + "Faild to MIDIInputPortCreate().",
                  sOut + "Faild to MIDIOutputPortCreate().", sIn + "Not found MIDI IN device.",
                  sIn + "Not found MIDI IN device.", sOut + "Not found MIDI Out device.",
                  sIn + "MIDI IN already opened.", sOut + "MIDI OUT already opened."}));
    midi.MidiOutClose();
    EXPECT_FALSE(midi.MidiOutIsOpen());
}

// Only the open source is heard, on the back end's thread, until it is closed or removed.
TEST_F(LumMidi, ReceivesFromTheOpenSourceUntilClosed)
{
    MIDIEndpointRef hOther = m_pVirtual->AddSource("Other", "Port 1");
    MIDIEndpointRef hSource = m_pVirtual->AddSource("Interface", "Port 1");
    CLumMidi midi;
    ASSERT_EQ(midi.Create("QMRK_IN"), 1);
    midi.SetListener(&m_recorder);
    ASSERT_EQ(midi.MidiInOpen(1), 1);
    m_pVirtual->Inject(hOther, {Bytes("90 01 01")});
    m_pVirtual->Inject(hSource, {Bytes("F0 41 10"), Bytes("42 F7")});
    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F0 41 10 42 F7"));
    for (const auto& call : m_recorder.Calls())
        EXPECT_NE(call.thread, std::this_thread::get_id());

    midi.MidiInClose();
    EXPECT_FALSE(midi.MidiInIsOpen());
    EXPECT_EQ(m_pVirtual->ConnectionCount(hSource), 0);
    m_pVirtual->Inject(hSource, {Bytes("90 3C 40")});
    EXPECT_EQ(m_recorder.Count("receive"), 1u);
    midi.MidiInClose(); // closing again does nothing

    ASSERT_EQ(midi.MidiInOpen(1), 1);
    EXPECT_TRUE(m_pVirtual->RemoveEndpoint(hSource));
    EXPECT_FALSE(m_pVirtual->RemoveEndpoint(hSource));
    EXPECT_EQ(m_pVirtual->ConnectionCount(hSource), 0);
    EXPECT_EQ(GetNumMidiInDevices(), 1);
    midi.MidiInClose(); // its source is gone: closing still works
    EXPECT_FALSE(midi.MidiInIsOpen());
}

// Each send completes once with its own length when the port is done with it, never
// inside Out; closing the port completes whatever it still holds.
TEST_F(LumMidi, CompletesEverySendOnceAfterOutHasReturnedOrAtClosing)
{
    CLumMidi midi;
    MIDIEndpointRef hDestination = OpenOut(midi);
    m_pVirtual->HoldCompletions(true);
    std::vector<uint8_t> aFirst(100, 0x11), aSecond(50, 0x22);
    aFirst[0] = 0xF0;
    aSecond[49] = 0xF7;
    EXPECT_EQ(midi.Out(int(aFirst.size()), aFirst.data()), 0);
    EXPECT_EQ(midi.Out(int(aSecond.size()), aSecond.data()), 0);
    aFirst.assign(100, 0); // the caller's buffer is free once Out returns
    m_pVirtual->WaitIdle();
    EXPECT_EQ(m_recorder.Count("complete"), 0u);
    EXPECT_EQ(m_pVirtual->HeldCompletions(), 2);
    m_pVirtual->HoldCompletions(false);
    ASSERT_TRUE(m_recorder.WaitFor("complete", 2));
    EXPECT_THAT(m_recorder.ValuesOf("complete"), ElementsAre(100, 50));
    for (const auto& call : m_recorder.Calls())
    {
        EXPECT_EQ(call.pMidi, &midi);
        EXPECT_NE(call.thread, std::this_thread::get_id());
    }
    auto sends = m_pVirtual->CapturedSends(hDestination);
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(sends[0].size() * 1000 + sends[0][0], 100u * 1000 + 0xF0);
    EXPECT_EQ(sends[1].size(), 50u);

    m_pVirtual->HoldCompletions(true);
    std::vector<uint8_t> aLong(256, 0x01);
    midi.Out(256, aLong.data());
    midi.Out(10, aLong.data());
    midi.MidiOutClose();
    EXPECT_THAT(m_recorder.ValuesOf("complete"), ElementsAre(100, 50, 256, 10));
    EXPECT_EQ(m_pVirtual->HeldCompletions(), 0);
}

TEST_F(LumMidi, SendsNothingWhenClosedRefusedOrEmptyAndShortMessagesAsThreeBytes)
{
    CLumMidi midi;
    std::vector<uint8_t> aBlock = Bytes("F0 7D 01 F7");
    EXPECT_EQ(midi.Out(int(aBlock.size()), aBlock.data()), 0); // closed
    EXPECT_EQ(midi.Out(0, 0x90, 0x3C, 0x40), 0);

    MIDIEndpointRef hDestination = OpenOut(midi);
    m_pVirtual->FailNextSend(kMIDIMsgSendErr);
    EXPECT_EQ(midi.Out(int(aBlock.size()), aBlock.data()), kMIDIMsgSendErr);
    EXPECT_EQ(midi.Out(0, aBlock.data()), kMIDIParamErr);
    EXPECT_EQ(midi.Out(-5, aBlock.data()), kMIDIParamErr);
    m_pVirtual->WaitIdle();

    EXPECT_EQ(m_recorder.Count("complete"), 0u);
    EXPECT_TRUE(m_pVirtual->Captured(hDestination).empty());

    // A short message goes out as three bytes, each cut to its range.
    EXPECT_EQ(midi.Out(0x12, 0x95, 0x13C, 0x40), 0);
    EXPECT_EQ(midi.Out(3, 0xC0, 5, 0), 0); // program change: still three bytes
    EXPECT_EQ(Hex(m_pVirtual->Captured(hDestination)), "92 3C 40 C3 05 00");
    m_pVirtual->RemoveEndpoint(hDestination);
    EXPECT_NE(midi.Out(0, 0x90, 0x3C, 0x40), 0);
    EXPECT_TRUE(m_log.Contains("Faild to send MIDI Short Message."));
}

// Completions run on the back end's thread while Destroy waits for them: the
// thread-sanitizer build runs this one.
using LumMidiDestroyConcurrency = LumMidi;

TEST_F(LumMidiDestroyConcurrency, DestroyBeforeClosingCompletesInFlightAndLeavesThePortsInert)
{
    MIDIEndpointRef hDestination;
    {
        CLumMidi midi;
        hDestination = OpenOut(midi);
        m_pVirtual->PaceSends(hDestination, true);
        std::vector<uint8_t> aBlock(256, 0x01);
        midi.Out(256, aBlock.data());
        midi.Out(256, aBlock.data());

        EXPECT_EQ(midi.Destroy(), 1);
        EXPECT_THAT(m_recorder.ValuesOf("complete"), ElementsAre(256, 256));
        // The port went with the client: sending now fails, and closing does nothing more.
        EXPECT_TRUE(midi.MidiOutIsOpen());
        EXPECT_EQ(midi.Out(256, aBlock.data()), kMIDIInvalidPort);
    }
    m_pVirtual->WaitIdle();
    EXPECT_EQ(m_recorder.Count("complete"), 2u);
    EXPECT_EQ(m_pVirtual->CapturedSends(hDestination).size(), 2u);
}

namespace
{
// What a CLumMidi says when its input breaks off or its destination goes away.
class LumMidiBreak : public LumMidi
{
protected:
    void SetUp() override
    {
        LumMidi::SetUp();
        ASSERT_EQ(m_midi.Create("QMRK_BREAK"), 1);
        m_midi.SetListener(&m_recorder);
    }
    void TearDown() override { m_midi.Destroy(); }

    CLumMidi m_midi;
};
} // namespace

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
