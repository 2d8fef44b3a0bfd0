#include "tests/midi/LumMidiFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using namespace std::chrono_literals;

namespace
{
using VirtualMidiTest = LumMidiFixture;
} // namespace

// The instrument keeps the last dump sent to it (its messages, without real-time bytes),
// plays it back when its input is opened, and answers its request with the bank.
TEST_F(VirtualMidiTest, InstrumentPlaysBackTheLastDumpAndAnswersItsRequestWithTheBank)
{
    EXPECT_EQ(GetNumMidiInDevices(), 0);
    m_pVirtual->AddInstrument();
    std::vector<uint8_t> aDemo = m_pVirtual->InstrumentDump();
    ASSERT_GT(aDemo.size(), 256u);
    EXPECT_EQ(aDemo.front(), 0xF0);
    EXPECT_EQ(aDemo.back(), 0xF7);

    const std::string sName = "Quillmark Virtual Instrument - Port 1";
    CLumMidi out, in;
    ASSERT_EQ(out.Create("QMRK_OUT"), 1);
    ASSERT_EQ(in.Create("QMRK_IN"), 1);
    out.SetListener(&m_recorder);
    in.SetListener(&m_recorder);
    ASSERT_EQ(out.MidiOutOpen(DeviceIndex(false, sName)), 1);
    // Two messages, the first in two blocks with a clock byte in the middle of the second.
    std::vector<uint8_t> aFirst = Bytes("F0 7D 01 02"), aSecond = Bytes("03 F8 04 F7 F0 7D 05 F7");
    out.Out(int(aFirst.size()), aFirst.data());
    out.Out(int(aSecond.size()), aSecond.data());
    ASSERT_TRUE(m_recorder.WaitFor("complete", 2));
    const std::string sDump = "F0 7D 01 02 03 04 F7 F0 7D 05 F7";
    EXPECT_EQ(Hex(m_pVirtual->InstrumentDump()), sDump);

    ASSERT_EQ(in.MidiInOpen(DeviceIndex(true, sName)), 1);
    ASSERT_TRUE(m_recorder.WaitFor("receive", 2, 10s));
    EXPECT_THAT(m_recorder.Of("receive"), ElementsAre("F0 7D 01 02 03 04 F7", "F0 7D 05 F7"));

    std::vector<uint8_t> aRequest = VirtualMidi::InstrumentRequest();
    out.Out(int(aRequest.size()), aRequest.data());
    ASSERT_TRUE(m_recorder.WaitFor("receive", 2 + VirtualMidi::sm_nBankMessages, 10s));
    std::string sReceived;
    for (const std::string& sMessage : m_recorder.Of("receive"))
        sReceived += (sReceived.empty() ? "" : " ") + sMessage;
    EXPECT_NE(sReceived.find(Hex(VirtualMidi::InstrumentBank())), std::string::npos);
    EXPECT_EQ(Hex(m_pVirtual->InstrumentDump()), sDump) << "a request is not a dump";
}

TEST_F(VirtualMidiTest, ResetLeavesAnEmptySetupWithoutTellingClients)
{
    MIDIEndpointRef hDestination = m_pVirtual->AddDestination("Interface", "Port 1");
    CLumMidi out;
    ASSERT_EQ(out.Create("QMRK_OUT"), 1);
    out.SetListener(&m_recorder);
    ASSERT_EQ(out.MidiOutOpen(0), 1);
    m_pVirtual->HoldCompletions(true);
    std::vector<uint8_t> aBlock(4, 0x01);
    out.Out(4, aBlock.data());

    m_pVirtual->Reset();
    m_pVirtual->WaitIdle();

    EXPECT_EQ(GetNumMidiInDevices() + GetNumMidiOutDevices(), 0);
    EXPECT_TRUE(m_pVirtual->Captured(hDestination).empty());
    EXPECT_EQ(m_recorder.Count("notify"), 0u);
    // Released, not lost; but its destination went with the reset.
    EXPECT_THAT(m_recorder.ValuesOf("failed"), ElementsAre(4));
}
