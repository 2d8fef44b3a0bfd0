#pragma once

#include "platform/midi/MidiService.h"

#include "platform/midi/AlsaEndpoints.h"
#include "platform/midi/Guarded.h"

#include <map>
#include <memory>
#include <string>

// The MIDI service on the ALSA sequencer, made of one class per concern: AlsaClient (a
// sequencer handle and its ports), AlsaEndpoints (what can be listed, and how a reference
// names an address), AlsaInputReader (a client's worker thread, the events it reads and
// the announcements it watches) and AlsaOutput (an output port's subscription and its
// paced sends). A client is a sequencer client of its own name with its ports; the device
// name of an endpoint is its client's name, the endpoint name its port's.
//
// SysEx completes, on the client's worker, when the bytes have had their time at the
// port's pace: the kernel drops what overruns a hardware port without telling the
// sender, so only pacing makes "complete" mean "sent". An unpaced port completes once the
// kernel has taken the events; a destination whose input is full refuses them, and they
// are offered again until it takes them.
//
// Clients and ports live in a registry behind one lock; the workers never take it.
class AlsaClient;
class AlsaOutput;

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
    struct Client;
    struct Port;
    struct Registry
    {
        MIDIObjectRef hLastRef = 0;
        std::map<MIDIClientRef, std::shared_ptr<Client>> clients;
        std::map<MIDIPortRef, std::unique_ptr<Port>> ports;
    };

    explicit AlsaMidi(std::unique_ptr<AlsaClient> pLister);

    OSStatus CreatePort(MIDIClientRef hClient, const char* pszName, bool bInput,
                        MIDIReadProc pReadProc, void* pRefCon, MIDIPortRef* pPort);
    // Finds our output port and aims it at the destination: kMIDIInvalidPort,
    // kMIDIUnknownEndpoint, kMIDINoConnection (not subscribed, *ppOutput set) or
    // kMIDINoErr.
    static OSStatus AimOutput(Registry& registry, MIDIPortRef hPort, MIDIEndpointRef hDestination,
                              AlsaOutput** ppOutput);
    int SendSysExPieces(MIDIPortRef hPort, MIDISysexSendRequest* pRequest, uint32_t* pSent);
    // Hands the client's reader the routes of its input ports as they now are.
    static void PublishRoutes(const Registry& registry, Client& client);

    const std::unique_ptr<AlsaClient> m_pLister; // null when the sequencer did not open
    AlsaEndpoints m_endpoints;
    Guarded<Registry> m_registry;
};
