#pragma once

#include <cstdint>

// How a transmission is paced: what the user sets for an output device.
//
// iPacing chooses whether the speed applies: by the port's kind (a hardware port at the
// speed, a software port as fast as it takes the bytes), at the speed whatever the port,
// or unpaced whatever the port.
//
// iMidiTiming chooses what spaces the messages of a Standard MIDI File: the file's own
// timing, or the pause between messages as for any other file.
struct tagTransmitSettings
{
    enum
    {
        kPacingByPort = 0,
        kPacingAtSpeed = 1,
        kPacingUnpaced = 2,
    };
    enum
    {
        kMidiTimingOfFile = 0,
        kMidiTimingPause = 1,
    };

    static constexpr int sm_iMinPauseMs = 0;
    static constexpr int sm_iMaxPauseMs = 5000;
    static constexpr int sm_iMinBytesPerSecond = 10;
    static constexpr int sm_iMaxBytesPerSecond = 3125; // MIDI wire speed
    static constexpr int sm_iDefaultFilePauseMs = 500;

    int iPauseMs = 0; // after each message's F7, before what follows
    int iBytesPerSecond = sm_iMaxBytesPerSecond;
    int iPacing = kPacingByPort;
    int iMidiTiming = kMidiTimingOfFile;

    // The same settings with every value inside its range (an unknown pacing is by port, an
    // unknown MIDI file timing the file's own).
    tagTransmitSettings Clamped() const;
    // Bytes a second to send at to a port of the kind; 0 is unpaced.
    uint32_t RateFor(bool bHardwarePort) const;

    bool operator==(const tagTransmitSettings&) const = default;
};

// A pause between files, clamped like the pause between messages.
int ClampPauseMs(int iPauseMs);
