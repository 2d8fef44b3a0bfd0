#pragma once

#include "platform/midi/AlsaSetupWatch.h"
#include "platform/midi/MidiService.h"
#include "platform/midi/MidiWorker.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <memory>
#include <vector>

class AlsaClient;
class AlsaEndpoints;

// A client's worker thread and what it reads: events reaching an input port become one
// packet each for the port's read procedure, but only from the sources connected to it;
// announcements go to the setup watch, and a lost input or a source that went away is
// told to the client's notify procedure. The same worker runs the client's timed tasks
// (Worker()).
//
// What only the worker touches (the event decoder, the packet buffer, the setup watch) is
// private here and used by nothing but the reads. The routes are the one thing the other
// threads hand in: they publish a whole new set through an atomic pointer, which the reads
// load, so routing takes no lock and no event waits for the back end's. A set replaced is
// freed by a task on the worker, which never runs while a read holds the set. Nothing on
// the way of an event allocates.
class AlsaInputReader
{
public:
    struct tagConnection
    {
        MIDIEndpointRef hSource;
        void* pConnRefCon;
    };
    // One input port of the client and the sources connected to it.
    struct tagRoute
    {
        MIDIPortRef hPort;
        int iOwnPort;
        MIDIReadProc pReadProc;
        void* pRefCon;
        std::vector<tagConnection> connections;
    };
    using Routes = std::vector<tagRoute>;

    // Starts the worker on the prepared client; null, logged, without an event decoder.
    static std::unique_ptr<AlsaInputReader> Start(const AlsaClient& client,
                                                  const AlsaEndpoints& endpoints,
                                                  MIDIClientRef hClient,
                                                  MIDINotifyProc pNotifyProc, void* pRefCon);
    ~AlsaInputReader();

    AlsaInputReader(const AlsaInputReader&) = delete;
    AlsaInputReader& operator=(const AlsaInputReader&) = delete;

    // Events read after it returns go by these routes. A port that is no longer routed
    // gets nothing once Worker().Retire(port) has returned.
    void Publish(std::unique_ptr<const Routes> pRoutes);
    MidiWorker& Worker() { return m_worker; }

private:
    AlsaInputReader(const AlsaClient& client, const AlsaEndpoints& endpoints,
                    snd_midi_event_t* pDecoder, MIDIClientRef hClient,
                    MIDINotifyProc pNotifyProc, void* pRefCon);

    void ReadEvents();
    void OnAnnouncement(const Routes& routes, const snd_seq_event_t& event);
    void Deliver(MIDIPortRef hPort, const unsigned char* pData, size_t nLength,
                 MIDIEndpointRef hSource);
    void ReportInputBroken(const Routes& routes, OSStatus reason, int iSourceClient,
                           int iSourcePort);

    const AlsaClient& m_client;
    const MIDINotifyProc m_pNotifyProc;
    void* const m_pRefCon;
    snd_midi_event_t* const m_pDecoder;
    std::vector<uint64_t> m_aPacketStorage; // sized once for the longest packet
    const MIDIClientRef m_hClient;
    std::atomic<const Routes*> m_pRoutes{new Routes};
    AlsaSetupWatch m_setupWatch;
    // Last: its thread starts in its constructor and reads with everything above.
    MidiWorker m_worker;
};
