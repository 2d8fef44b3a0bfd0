#pragma once

#include "platform/midi/MidiService.h"

#include <array>
#include <atomic>
#include <string>

class AlsaClient;

// What the sequencer offers as sources and destinations, asked through any client's
// handle: sources are other clients' ports that can be read and subscribed, destinations
// those that can be written and subscribed, in the sequencer's order, without the System
// client, hidden ports and this process's own clients. An endpoint reference carries the
// sequencer address of its port.
//
// Which clients are this process's own is one atomic flag per client number, so listing
// (also on a reader thread, when announcements have settled) takes no lock.
class AlsaEndpoints
{
public:
    static MIDIEndpointRef Ref(int iClient, int iPort);
    // False for a reference that is no sequencer address.
    static bool Decode(MIDIEndpointRef hEndpoint, int* pClient, int* pPort);

    void AddOwnClient(int iClient);
    void RemoveOwnClient(int iClient);

    int Count(const AlsaClient& client, bool bSources) const;
    // 0 past the end.
    MIDIEndpointRef At(const AlsaClient& client, bool bSources, int iIndex) const;
    // What can be listed, as one text: equal texts, equal lists.
    std::string Listing(const AlsaClient& client) const;

    OSStatus PortName(const AlsaClient& client, MIDIEndpointRef hEndpoint, std::string* pName) const;
    OSStatus ClientName(const AlsaClient& client, MIDIEndpointRef hEndpoint,
                        std::string* pName) const;
    OSStatus Kind(const AlsaClient& client, MIDIEndpointRef hEndpoint,
                  MIDIEndpointKind* pKind) const;
    bool Exists(const AlsaClient& client, MIDIEndpointRef hEndpoint) const;

private:
    struct tagEndpoint;
    template <class Visit>
    void ForEach(const AlsaClient& client, bool bSources, Visit&& visit) const;

    bool IsOwnClient(int iClient) const;

    // The sequencer numbers its clients below 256 (SNDRV_SEQ_MAX_CLIENTS is 192).
    std::array<std::atomic<bool>, 256> m_abOwnClient{};
};
