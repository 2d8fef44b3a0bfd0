#pragma once

#include "platform/midi/MidiService.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>

class AlsaClient;

// What the sequencer offers as sources and destinations, asked through any client's
// handle: sources are other clients' ports that can be read and subscribed, destinations
// those that can be written and subscribed, in the sequencer's order, without the System
// client, hidden ports and this process's own clients. An endpoint reference carries the
// sequencer address of its port.
//
// The set of this process's own clients is replaced whole on every change and read as a
// snapshot, so listing (also on the reader thread, when announcements have settled) takes
// no lock; only changes of the set wait for one another.
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

    std::mutex m_changeMutex; // changes of the set only
    std::atomic<std::shared_ptr<const std::set<int>>> m_pOwnClients{
        std::make_shared<const std::set<int>>()};
};
