#pragma once

#include <alsa/asoundlib.h>

#include <cstdint>
#include <memory>

// One handle on the ALSA sequencer: a client of its own, and its ports.
//
// Who may call what is in the signatures. The const members only ask the kernel (each
// request carries its own record), so any thread may call them at any time. The others
// change the client or send through the handle's shared buffers: whoever holds the
// AlsaClient non-const serialises them (AlsaMidi keeps its clients behind its registry
// lock). Reading events is the input reader's alone, a friend here, because the input
// buffer the reads go through is used by nothing else. AlsaEndpoints, the other friend,
// only asks through the handle, as the const members do.
class AlsaClient
{
public:
    // Hardware delivers SysEx in pieces of this size; sends are cut the same way.
    static constexpr uint32_t kSysExPiece = 256;

    // Opens the sequencer for input and output; null, logged, when it does not open.
    static std::unique_ptr<AlsaClient> Open();
    ~AlsaClient();

    AlsaClient(const AlsaClient&) = delete;
    AlsaClient& operator=(const AlsaClient&) = delete;

    bool SetName(const char* pszName);
    // Makes the client one that receives: a large input pool, a hidden port subscribed to
    // System:Announce, reads that never wait. False, logged, when a step fails.
    bool PrepareToReceive();

    int Id() const { return m_iId; }
    int AnnouncePort() const { return m_iAnnouncePort; }
    // The descriptor that becomes readable when events wait; -1 before PrepareToReceive.
    int InputDescriptor() const { return m_iInputFd; }
    // Whether the client's input has room for a SysEx event of the length.
    bool HasRoomFor(int iClient, uint32_t uLength) const;

    // A new port of this client; a negative error, logged, when it cannot be made.
    int CreatePort(const char* pszName, bool bInput);
    void DeletePort(int iPort);
    bool ConnectFrom(int iOwnPort, int iClient, int iPort);
    void DisconnectFrom(int iOwnPort, int iClient, int iPort);
    bool ConnectTo(int iOwnPort, int iClient, int iPort);
    void DisconnectTo(int iOwnPort, int iClient, int iPort);
    // snd_seq_event_output_direct's result.
    int OutputDirect(snd_seq_event_t* pEvent);
    // Turns MIDI bytes into events for the client's output ports.
    snd_midi_event_t* Encoder() { return m_pEncoder; }

    // Names the failing operation with ALSA's text for the error; false then.
    static bool Check(const char* pszOperation, int iResult);

private:
    friend class AlsaEndpoints;
    friend class AlsaInputReader;

    AlsaClient() = default;

    // For the input reader: snd_seq_event_input's result.
    int ReadEvent(snd_seq_event_t** ppEvent) const;

    snd_seq_t* m_pSeq = nullptr;
    int m_iId = -1;
    int m_iAnnouncePort = -1;
    int m_iInputFd = -1;
    snd_midi_event_t* m_pEncoder = nullptr;
};
