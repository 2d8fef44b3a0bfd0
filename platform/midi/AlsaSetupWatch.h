#pragma once

#include "platform/midi/MidiService.h"
#include "platform/midi/MidiWorker.h"

#include <string>

class AlsaClient;
class AlsaEndpoints;

// Announcements of clients and ports coming and going, gathered until they settle and
// then reported as one setup change if what can be listed changed. A client appears
// before its ports, so the setup is looked at only once the burst has settled.
//
// Worker thread only: it belongs to the input reader that hands it the announcements,
// and nothing else can reach it.
class AlsaSetupWatch
{
public:
    AlsaSetupWatch(const AlsaClient& client, const AlsaEndpoints& endpoints, MidiWorker& worker,
                   MIDIClientRef hClient, MIDINotifyProc pNotifyProc, void* pRefCon);

    AlsaSetupWatch(const AlsaSetupWatch&) = delete;
    AlsaSetupWatch& operator=(const AlsaSetupWatch&) = delete;

    void OnAnnounce();

private:
    void CheckSetup();

    const AlsaClient& m_client;
    const AlsaEndpoints& m_endpoints;
    MidiWorker& m_worker;
    const MIDIClientRef m_hClient;
    const MIDINotifyProc m_pNotifyProc;
    void* const m_pRefCon;
    std::string m_sListing;
    bool m_bCheckPending = false;
    MidiWorker::Clock::time_point m_burstStart;
    MidiWorker::Clock::time_point m_lastAnnounce;
};
