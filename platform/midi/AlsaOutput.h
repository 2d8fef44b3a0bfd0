#pragma once

#include "platform/midi/MidiService.h"
#include "platform/midi/MidiWorker.h"

class AlsaClient;

// An output port of a client and the destination it feeds. Kernel ports of hardware and
// virtual raw MIDI devices open their device only while a sender is subscribed to them,
// and drop events sent to them otherwise, so the port subscribes to the destination it
// is aimed at. SysEx goes out as direct SysEx events in pieces, and is paced: each block
// takes the cable after the one before it, at the port's pace (MIDI wire speed unless set
// otherwise; 0 is unpaced).
//
// It has no lock of its own, and needs none: it sends through a non-const AlsaClient, so
// whoever may send through the client (AlsaMidi, under its registry lock) is the only one
// who can reach it.
class AlsaOutput
{
public:
    AlsaOutput(AlsaClient& client, int iOwnPort);

    AlsaOutput(const AlsaOutput&) = delete;
    AlsaOutput& operator=(const AlsaOutput&) = delete;

    int OwnPort() const { return m_iOwnPort; }
    void SetPacing(uint32_t uBytesPerSecond) { m_uBytesPerSecond = uBytesPerSecond; }

    // Sends go to the destination from now on; false when the subscription to it failed
    // (sends are still addressed to it).
    bool AimAt(MIDIEndpointRef hDestination, int iClient, int iPort);
    OSStatus Send(const MIDIPacketList& list);
    // Sends the request's pieces from *pSent on; 0 when all have gone, else the error of
    // the piece that did not (-EAGAIN or -ENOMEM while the destination's input is full).
    int SendSysExPieces(const MIDISysexSendRequest& request, uint32_t* pSent);
    // Books the cable for a block of the length; when its bytes will have gone out.
    MidiWorker::Clock::time_point Book(uint32_t uBytes);

private:
    AlsaClient& m_client;
    const int m_iOwnPort;
    uint32_t m_uBytesPerSecond = kMidiWireBytesPerSecond;
    MidiWorker::Clock::time_point m_busyUntil{}; // end of the last SysEx on the cable
    MIDIEndpointRef m_hSubscribed = 0;
    int m_iClient = -1;
    int m_iPort = -1;
};
