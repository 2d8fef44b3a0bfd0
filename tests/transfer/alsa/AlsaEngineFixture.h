#pragma once

#include "tests/transfer/MessageRecorder.h"
#include "tests/transfer/MidiEngine.h"

#include "support/SequencerTools.h"
#include "support/TempDir.h"

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

// The MIDI engine as the application holds it, on the kernel's ALSA sequencer, with every
// message the message manager delivers kept in order. Skips where there is no sequencer:
// these tests run inside the alsa-vm tool's VM.
class AlsaEngineFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts amidi with the arguments, on one CPU (see PinnedAmidi), its output into a log
    // in the temporary folder; whether it started.
    bool StartAmidi(QProcess& amidi, const QStringList& args);
    // The message the last single-message reception holds.
    Bytes ReceivedMessage() const;
    // The last transmission's end (LM_TRANSMIT_COMPLETE, _CANCEL or _ERROR), -1 before one.
    int32_t TransmitEnd() const;

    MidiEngine m_app;
    CMidiManager* m_pManager = nullptr;
    MessageRecorder m_recorder;
    TempDir m_temp;
    int m_nTools = 0;
};
