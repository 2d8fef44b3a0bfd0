// The MIDI manager against the kernel's ALSA sequencer, checked with amidi. Runs inside the
// alsa-vm tool's VM, where bytes written to raw MIDI hw:0,N come out of the sequencer port
// "Virtual Raw MIDI 0-N - VirMIDI 0-N".

#include "AlsaEngineFixture.h"

#include <cstdio>
#include <string>
#include <vector>

namespace
{
using namespace SequencerTools;

Bytes SysEx(size_t nLength, uint8_t ucSeed)
{
    Bytes bytes{0xF0, 0x7D};
    while (bytes.size() < nLength - 1)
        bytes.push_back(uint8_t((bytes.size() * ucSeed) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

using MidiManagerAlsa = AlsaEngineFixture;
} // namespace

TEST_F(MidiManagerAlsa, DumpSentByAmidiIsReceivedByteForByte)
{
    // Clock bytes inside the dump, as an instrument may send while it dumps.
    Bytes dump = SysEx(3000, 7);
    dump.insert(dump.begin() + 1000, 0xF8);
    dump.insert(dump.begin() + 2000, 0xF8);
    Bytes expected = SysEx(3000, 7);
    std::string path = m_temp.Write("dump.syx", dump);

    ASSERT_EQ(m_pManager->MidiInOpenByName("Virtual Raw MIDI 0-1 - VirMIDI 0-1"), 1);
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);

    QProcess amidi;
    ASSERT_TRUE(StartAmidi(amidi, {"-p", "hw:0,1", "-s", QString::fromStdString(path)}));
    ASSERT_TRUE(amidi.waitForFinished(20000));
    EXPECT_EQ(amidi.exitCode(), 0);
    ASSERT_TRUE(PumpUntil(
        [&] { return m_recorder.Has(LM_RECEIVE_COMPLETE) || m_recorder.Has(LM_RECEIVE_ERROR); },
        10000));
    EXPECT_FALSE(m_recorder.Has(LM_RECEIVE_ERROR));

    EXPECT_EQ(ReceivedMessage(), expected);
}

// A fast sender outruns what the kernel keeps for a reader: what arrives is either the
// whole message or an error that says data was lost, never a shorter "complete" message.
TEST_F(MidiManagerAlsa, AnUnpacedMessageOfMebibytesArrivesExactOrIsReportedLost)
{
    ASSERT_EQ(m_pManager->MidiInOpenByName("Virtual Raw MIDI 0-1 - VirMIDI 0-1"), 1);
    for (size_t nLength : {size_t(1) << 20, size_t(4) << 20})
    {
        SCOPED_TRACE(nLength);
        m_recorder.m_messages.clear();
        const Bytes message = SysEx(nLength, 11);
        const std::string path = m_temp.Write("big.syx", message);
        ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
        QProcess amidi;
        ASSERT_TRUE(StartAmidi(amidi, {"-p", "hw:0,1", "-s", QString::fromStdString(path)}));
        ASSERT_TRUE(PumpUntil(
            [&]
            {
                return amidi.state() == QProcess::NotRunning &&
                       (m_recorder.Has(LM_RECEIVE_COMPLETE) || m_recorder.Has(LM_RECEIVE_ERROR));
            },
            120000));
        if (m_recorder.Has(LM_RECEIVE_ERROR))
        {
            EXPECT_FALSE(m_recorder.Has(LM_RECEIVE_COMPLETE));
            for (const tagListenerMessage& error : m_recorder.m_messages)
            {
                if (error.iMessage == LM_RECEIVE_ERROR)
                {
                    EXPECT_EQ(error.iParam1, kReceiveErrorDataLost);
                }
            }
            printf("%zu bytes unpaced: reported lost\n", nLength);
            continue;
        }
        ASSERT_EQ(m_pManager->m_nReceivedSysExSize, int(nLength));
        EXPECT_TRUE(ReceivedMessage() == message) << "a complete message must be the one sent";
        printf("%zu bytes unpaced: received exact\n", nLength);
    }
}

// A patchbay may connect other ports to ours: only the chosen input is recorded, and what
// the other sends during a dump neither joins nor interrupts it.
TEST_F(MidiManagerAlsa, OnlyTheChosenSourceIsRecorded)
{
    ASSERT_EQ(m_pManager->MidiInOpenByName("Virtual Raw MIDI 0-1 - VirMIDI 0-1"), 1);
    ASSERT_EQ(QProcess::execute("aconnect", {"Virtual Raw MIDI 0-2:0", "QMRK_IN:1"}), 0)
        << "our input port is the client's second, after the announcement port";
    ASSERT_EQ(m_pManager->ReceiveSysExDump(2000), 1);

    Bytes dump, other;
    for (uint8_t i = 0; i < 100; ++i)
    {
        const Bytes message = SysEx(138, uint8_t(i + 1));
        dump.insert(dump.end(), message.begin(), message.end());
    }
    for (int i = 0; i < 50; ++i)
        other.insert(other.end(), {0x90, 0x3C, 0x40, 0xF0, 0x7D, 0x55, 0xF7, 0x80, 0x3C, 0x00});
    QProcess amidi, intruder;
    ASSERT_TRUE(StartAmidi(intruder, {"-p", "hw:0,2", "-s",
                                      QString::fromStdString(m_temp.Write("other.syx", other)),
                                      "-i", "10"}));
    ASSERT_TRUE(StartAmidi(amidi, {"-p", "hw:0,1", "-s",
                                   QString::fromStdString(m_temp.Write("dump.syx", dump)),
                                   "-i", "5"}));
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Has(LM_DUMP_END); }, 60000));
    const tagDumpStatus status = m_pManager->GetDumpStatus();
    EXPECT_EQ(status.counts.llMessages, 100);
    EXPECT_EQ(status.counts.llInterrupted, 0);
    EXPECT_TRUE(ReceivedDump(*m_pManager) == dump);
    intruder.waitForFinished(20000);
}
