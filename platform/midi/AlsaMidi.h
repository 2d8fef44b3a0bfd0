#pragma once

#include "platform/midi/MidiService.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

// The MIDI service on the ALSA sequencer. A client is a sequencer client of its own name
// with its ports; sources are other clients' ports that can be read and subscribed,
// destinations those that can be written and subscribed, in the sequencer's order,
// without the System client, hidden ports and this process's own clients. The device
// name of an endpoint is its client's name, the endpoint name its port's.
//
// Each client has a worker thread that polls its sequencer handle: events reaching an
// input port become packets for its read procedure, and announcements of clients and
// ports coming and going (through a hidden port subscribed to System:Announce) are
// gathered until they settle, then reported as one setup change if the endpoint lists
// changed. An output port subscribes to the destination it sends to: kernel ports of MIDI
// devices pass events on only while a sender is subscribed. SysEx goes out as direct SysEx
// events and completes, on the worker, when the bytes have had their time at the port's
// pace (MIDI wire speed unless set otherwise): the kernel drops what overruns a hardware
// port without telling the sender, so only pacing makes "complete" mean "sent". An
// unpaced port completes once the kernel has taken the events; a destination whose input
// is full refuses them, and they are offered again until it takes them.
//
// Hardware ports, by what the sequencer says of them: every port of a kernel client (MIDI
// devices, "Midi Through" and virtual raw MIDI, which may feed a cable), and a user
// client's port whose type has SND_SEQ_PORT_TYPE_HARDWARE or SND_SEQ_PORT_TYPE_PORT (a
// bridge to other devices). Other user clients' ports (applications, software synths)
// are software ports.
class AlsaMidi final : public MidiService
{
public:
    // Opens the sequencer. Null when it does not open, unless bForced: then the back end
    // exists without a sequencer and every client creation fails.
    static std::unique_ptr<MidiService> Open(bool bForced);
    // Whether the back end has a sequencer (false only for one opened by force without).
    static bool HasSequencer(const MidiService& service);

    ~AlsaMidi() override;

    const char* Name() const override { return "alsa"; }
    OSStatus ClientCreate(const char* pszName, MIDINotifyProc pNotifyProc, void* pRefCon,
                          MIDIClientRef* pClient) override;
    OSStatus ClientDispose(MIDIClientRef hClient) override;
    int GetNumberOfSources() override;
    MIDIEndpointRef GetSource(int iIndex) override;
    int GetNumberOfDestinations() override;
    MIDIEndpointRef GetDestination(int iIndex) override;
    OSStatus GetEndpointName(MIDIEndpointRef hEndpoint, std::string* pName) override;
    OSStatus GetEndpointDeviceName(MIDIEndpointRef hEndpoint, std::string* pName) override;
    OSStatus GetEndpointAddress(MIDIEndpointRef hEndpoint, std::string* pAddress) override;
    OSStatus GetEndpointKind(MIDIEndpointRef hEndpoint, MIDIEndpointKind* pKind) override;
    OSStatus SetPortPacing(MIDIPortRef hPort, uint32_t uBytesPerSecond) override;
    OSStatus InputPortCreate(MIDIClientRef hClient, const char* pszName, MIDIReadProc pReadProc,
                             void* pRefCon, MIDIPortRef* pPort) override;
    OSStatus OutputPortCreate(MIDIClientRef hClient, const char* pszName,
                              MIDIPortRef* pPort) override;
    OSStatus PortConnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource,
                               void* pConnRefCon) override;
    OSStatus PortDisconnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource) override;
    OSStatus PortConnectDestination(MIDIPortRef hPort, MIDIEndpointRef hDestination) override;
    OSStatus PortDispose(MIDIPortRef hPort) override;
    OSStatus SendSysex(MIDIPortRef hPort, MIDISysexSendRequest* pRequest) override;
    OSStatus Send(MIDIPortRef hPort, MIDIEndpointRef hDestination,
                  const MIDIPacketList* pList) override;

private:
    struct Sequencer; // the sequencer handle used for listing, and the others' ids
    struct Client;
    struct Port;

    explicit AlsaMidi(std::unique_ptr<Sequencer> pSequencer);

    OSStatus CreatePort(MIDIClientRef hClient, const char* pszName, bool bInput,
                        MIDIReadProc pReadProc, void* pRefCon, MIDIPortRef* pPort);
    MIDIEndpointRef EndpointAt(bool bSource, int iIndex);
    int SendSysExPieces(MIDIPortRef hPort, MIDISysexSendRequest* pRequest, uint32_t* pSent);
    int CountEndpoints(bool bSource);
    std::string Snapshot(Client& client);
    void ReadEvents(Client& client);
    void DeliverEvent(MIDIPortRef hPort, const MIDIPacketList* pList, int iSourceClient,
                      int iSourcePort);
    void ReportInputBroken(Client& client, OSStatus reason, int iSourceClient, int iSourcePort);
    void OnAnnounce(Client& client);
    void CheckSetup(Client& client);

    std::mutex m_mutex;
    std::unique_ptr<Sequencer> m_pSequencer; // null when the sequencer did not open
    std::set<int> m_ownClientIds;
    MIDIObjectRef m_hLastRef = 0;
    std::map<MIDIClientRef, std::shared_ptr<Client>> m_clients;
    std::map<MIDIPortRef, std::unique_ptr<Port>> m_ports;
};
