#include "platform/midi/AlsaMidi.h"

#include "platform/midi/AlsaClient.h"
#include "platform/midi/AlsaInputReader.h"
#include "platform/midi/AlsaOutput.h"
#include "toolkit/DebugLog.h"

#include <thread>
#include <vector>

namespace
{
using namespace std::chrono_literals;
using Clock = MidiWorker::Clock;

// A destination whose input is full is offered the event again this often, for at most
// this long; one that reads nothing for so long is taken to be stuck.
constexpr auto kFullRetryInterval = 200us;
constexpr auto kFullPatience = 2s;
} // namespace

struct AlsaMidi::Client
{
    MIDIClientRef hRef = 0;
    std::unique_ptr<AlsaClient> pSeq;
    // After the handle, so that it goes first: its worker reads through the handle.
    std::unique_ptr<AlsaInputReader> pReader;
};

struct AlsaMidi::Port
{
    std::shared_ptr<Client> pClient;
    int iPort;
    // An input port:
    MIDIReadProc pReadProc = nullptr;
    void* pRefCon = nullptr;
    std::map<MIDIEndpointRef, void*> connections; // source -> connection reference
    // An output port has this instead:
    std::unique_ptr<AlsaOutput> pOutput;
};

std::unique_ptr<MidiService> AlsaMidi::Open(bool bForced)
{
    std::unique_ptr<AlsaClient> pLister = AlsaClient::Open();
    if (pLister)
        pLister->SetName("Quillmark");
    else if (!bForced)
        return nullptr;
    return std::unique_ptr<MidiService>(new AlsaMidi(std::move(pLister)));
}

bool AlsaMidi::HasSequencer(const MidiService& service)
{
    const auto* pAlsa = dynamic_cast<const AlsaMidi*>(&service);
    return pAlsa && pAlsa->m_pLister;
}

AlsaMidi::AlsaMidi(std::unique_ptr<AlsaClient> pLister) : m_pLister(std::move(pLister))
{
    if (m_pLister)
        m_endpoints.AddOwnClient(m_pLister->Id());
}

AlsaMidi::~AlsaMidi()
{
    // Outside the lock: stopping a worker runs the completions it owes, which may call in.
    Registry registry;
    {
        auto pRegistry = m_registry.Lock();
        std::swap(registry.ports, pRegistry->ports);
        std::swap(registry.clients, pRegistry->clients);
    }
    registry.ports.clear();
    registry.clients.clear();
}

OSStatus AlsaMidi::ClientCreate(const char* pszName, MIDINotifyProc pNotifyProc, void* pRefCon,
                                MIDIClientRef* pClient)
{
    if (!pszName || !pClient)
        return kMIDIParamErr;
    auto pRegistry = m_registry.Lock();
    if (!m_pLister)
        return kMIDIServerStartErr;

    auto pNew = std::make_shared<Client>();
    pNew->pSeq = AlsaClient::Open();
    if (!pNew->pSeq || !pNew->pSeq->SetName(pszName) || !pNew->pSeq->PrepareToReceive())
        return kMIDIServerStartErr;
    const int iId = pNew->pSeq->Id();
    // Before the reader starts: what it lists from then on leaves this client out.
    m_endpoints.AddOwnClient(iId);
    pNew->hRef = pRegistry->hLastRef + 1;
    pNew->pReader =
        AlsaInputReader::Start(*pNew->pSeq, m_endpoints, pNew->hRef, pNotifyProc, pRefCon);
    if (!pNew->pReader)
    {
        m_endpoints.RemoveOwnClient(iId);
        return kMIDIServerStartErr;
    }
    pRegistry->hLastRef = pNew->hRef;
    pRegistry->clients[pNew->hRef] = pNew;
    *pClient = pNew->hRef;
    return kMIDINoErr;
}

OSStatus AlsaMidi::ClientDispose(MIDIClientRef hClient)
{
    std::shared_ptr<Client> pClient;
    std::vector<std::pair<MIDIPortRef, std::unique_ptr<Port>>> ports;
    {
        auto pRegistry = m_registry.Lock();
        auto it = pRegistry->clients.find(hClient);
        if (it == pRegistry->clients.end())
            return kMIDIInvalidClient;
        pClient = std::move(it->second);
        pRegistry->clients.erase(it);
        for (auto itPort = pRegistry->ports.begin(); itPort != pRegistry->ports.end();)
        {
            if (itPort->second->pClient == pClient)
            {
                ports.emplace_back(itPort->first, std::move(itPort->second));
                itPort = pRegistry->ports.erase(itPort);
            }
            else
                ++itPort;
        }
    }
    for (const auto& port : ports)
        pClient->pReader->Worker().Retire(port.first);
    pClient->pReader->Worker().Stop();
    const int iId = pClient->pSeq->Id();
    ports.clear();
    pClient.reset(); // closing the handle removes its ports and their subscriptions
    m_endpoints.RemoveOwnClient(iId);
    return kMIDINoErr;
}

int AlsaMidi::GetNumberOfSources()
{
    return m_pLister ? m_endpoints.Count(*m_pLister, true) : 0;
}

MIDIEndpointRef AlsaMidi::GetSource(int iIndex)
{
    return m_pLister ? m_endpoints.At(*m_pLister, true, iIndex) : 0;
}

int AlsaMidi::GetNumberOfDestinations()
{
    return m_pLister ? m_endpoints.Count(*m_pLister, false) : 0;
}

MIDIEndpointRef AlsaMidi::GetDestination(int iIndex)
{
    return m_pLister ? m_endpoints.At(*m_pLister, false, iIndex) : 0;
}

OSStatus AlsaMidi::GetEndpointName(MIDIEndpointRef hEndpoint, std::string* pName)
{
    return m_pLister ? m_endpoints.PortName(*m_pLister, hEndpoint, pName) : kMIDIUnknownEndpoint;
}

OSStatus AlsaMidi::GetEndpointDeviceName(MIDIEndpointRef hEndpoint, std::string* pName)
{
    return m_pLister ? m_endpoints.ClientName(*m_pLister, hEndpoint, pName)
                     : kMIDIUnknownEndpoint;
}

OSStatus AlsaMidi::GetEndpointAddress(MIDIEndpointRef hEndpoint, std::string* pAddress)
{
    int iClient, iPort;
    if (!AlsaEndpoints::Decode(hEndpoint, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    *pAddress = std::to_string(iClient) + ":" + std::to_string(iPort);
    return kMIDINoErr;
}

OSStatus AlsaMidi::GetEndpointKind(MIDIEndpointRef hEndpoint, MIDIEndpointKind* pKind)
{
    if (!pKind)
        return kMIDIParamErr;
    return m_pLister ? m_endpoints.Kind(*m_pLister, hEndpoint, pKind) : kMIDIUnknownEndpoint;
}

OSStatus AlsaMidi::SetPortPacing(MIDIPortRef hPort, uint32_t uBytesPerSecond)
{
    auto pRegistry = m_registry.Lock();
    auto it = pRegistry->ports.find(hPort);
    if (it == pRegistry->ports.end() || !it->second->pOutput)
        return kMIDIInvalidPort;
    it->second->pOutput->SetPacing(uBytesPerSecond);
    return kMIDINoErr;
}

OSStatus AlsaMidi::InputPortCreate(MIDIClientRef hClient, const char* pszName,
                                   MIDIReadProc pReadProc, void* pRefCon, MIDIPortRef* pPort)
{
    if (!pReadProc)
        return kMIDIParamErr;
    return CreatePort(hClient, pszName, true, pReadProc, pRefCon, pPort);
}

OSStatus AlsaMidi::OutputPortCreate(MIDIClientRef hClient, const char* pszName, MIDIPortRef* pPort)
{
    return CreatePort(hClient, pszName, false, nullptr, nullptr, pPort);
}

OSStatus AlsaMidi::CreatePort(MIDIClientRef hClient, const char* pszName, bool bInput,
                              MIDIReadProc pReadProc, void* pRefCon, MIDIPortRef* pPort)
{
    if (!pszName || !pPort)
        return kMIDIParamErr;
    auto pRegistry = m_registry.Lock();
    auto it = pRegistry->clients.find(hClient);
    if (it == pRegistry->clients.end())
        return kMIDIInvalidClient;
    Client& client = *it->second;
    int iPort = client.pSeq->CreatePort(pszName, bInput);
    if (iPort < 0)
        return kMIDIInvalidPort;
    MIDIPortRef hPort = ++pRegistry->hLastRef;
    auto pNew = std::make_unique<Port>();
    pNew->pClient = it->second;
    pNew->iPort = iPort;
    pNew->pReadProc = pReadProc;
    pNew->pRefCon = pRefCon;
    if (!bInput)
        pNew->pOutput = std::make_unique<AlsaOutput>(*client.pSeq, iPort);
    pRegistry->ports[hPort] = std::move(pNew);
    if (bInput)
        PublishRoutes(*pRegistry, client);
    *pPort = hPort;
    return kMIDINoErr;
}

void AlsaMidi::PublishRoutes(const Registry& registry, Client& client)
{
    auto pRoutes = std::make_unique<AlsaInputReader::Routes>();
    for (const auto& [hPort, pPort] : registry.ports)
    {
        if (pPort->pClient.get() != &client || pPort->pOutput)
            continue;
        AlsaInputReader::tagRoute route{hPort, pPort->iPort, pPort->pReadProc, pPort->pRefCon, {}};
        for (const auto& [hSource, pConnRefCon] : pPort->connections)
            route.connections.push_back({hSource, pConnRefCon});
        pRoutes->push_back(std::move(route));
    }
    client.pReader->Publish(std::move(pRoutes));
}

OSStatus AlsaMidi::PortConnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource, void* pConnRefCon)
{
    int iClient, iPort;
    auto pRegistry = m_registry.Lock();
    auto it = pRegistry->ports.find(hPort);
    if (it == pRegistry->ports.end() || it->second->pOutput)
        return kMIDIInvalidPort;
    if (!AlsaEndpoints::Decode(hSource, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    Port& port = *it->second;
    if (!port.pClient->pSeq->ConnectFrom(port.iPort, iClient, iPort))
        return kMIDINoConnection;
    port.connections[hSource] = pConnRefCon;
    PublishRoutes(*pRegistry, *port.pClient);
    return kMIDINoErr;
}

OSStatus AlsaMidi::PortDisconnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource)
{
    int iClient, iPort;
    auto pRegistry = m_registry.Lock();
    auto it = pRegistry->ports.find(hPort);
    if (it == pRegistry->ports.end() || it->second->pOutput)
        return kMIDIInvalidPort;
    Port& port = *it->second;
    if (!port.connections.erase(hSource))
        return kMIDINoConnection;
    PublishRoutes(*pRegistry, *port.pClient);
    if (!AlsaEndpoints::Decode(hSource, &iClient, &iPort))
        return kMIDINoConnection;
    port.pClient->pSeq->DisconnectFrom(port.iPort, iClient, iPort);
    return kMIDINoErr;
}

OSStatus AlsaMidi::AimOutput(Registry& registry, MIDIPortRef hPort, MIDIEndpointRef hDestination,
                             AlsaOutput** ppOutput)
{
    int iClient, iPort;
    auto it = registry.ports.find(hPort);
    if (it == registry.ports.end() || !it->second->pOutput)
        return kMIDIInvalidPort;
    if (!AlsaEndpoints::Decode(hDestination, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    *ppOutput = it->second->pOutput.get();
    return (*ppOutput)->AimAt(hDestination, iClient, iPort) ? kMIDINoErr : kMIDINoConnection;
}

OSStatus AlsaMidi::PortConnectDestination(MIDIPortRef hPort, MIDIEndpointRef hDestination)
{
    AlsaOutput* pOutput = nullptr;
    return AimOutput(*m_registry.Lock(), hPort, hDestination, &pOutput);
}

OSStatus AlsaMidi::PortDispose(MIDIPortRef hPort)
{
    std::unique_ptr<Port> pPort;
    {
        auto pRegistry = m_registry.Lock();
        auto it = pRegistry->ports.find(hPort);
        if (it == pRegistry->ports.end())
            return kMIDIInvalidPort;
        pPort = std::move(it->second);
        pRegistry->ports.erase(it);
        if (!pPort->pOutput)
            PublishRoutes(*pRegistry, *pPort->pClient);
    }
    pPort->pClient->pReader->Worker().Retire(hPort);
    auto pRegistry = m_registry.Lock();
    pPort->pClient->pSeq->DeletePort(pPort->iPort);
    return kMIDINoErr;
}

OSStatus AlsaMidi::SendSysex(MIDIPortRef hPort, MIDISysexSendRequest* pRequest)
{
    if (!pRequest || !pRequest->data || pRequest->bytesToSend == 0 || !pRequest->completionProc)
        return kMIDIParamErr;
    // A full destination refuses an event without taking any of it; the lock is not held
    // while it reads.
    uint32_t uSent = 0;
    const Clock::time_point giveUp = Clock::now() + kFullPatience;
    int iResult;
    while ((iResult = SendSysExPieces(hPort, pRequest, &uSent)) == -EAGAIN || iResult == -ENOMEM)
    {
        if (Clock::now() >= giveUp)
        {
            AlsaClient::Check("send SysEx to a destination that reads nothing", iResult);
            return kMIDIMsgSendErr;
        }
        std::this_thread::sleep_for(kFullRetryInterval);
    }
    if (iResult < 0)
        return iResult == -EINVAL ? kMIDIInvalidPort : kMIDIMsgSendErr;

    auto pRegistry = m_registry.Lock();
    auto it = pRegistry->ports.find(hPort);
    if (it == pRegistry->ports.end())
        return kMIDIInvalidPort;
    Port& port = *it->second;
    const Clock::time_point end = port.pOutput->Book(pRequest->bytesToSend);
    // The bytes count as delivered only if the destination is still there once they have
    // had their time: one that went meanwhile took the rest with it.
    const AlsaClient& client = *port.pClient->pSeq;
    port.pClient->pReader->Worker().Post(
        hPort, end,
        [this, &client, pRequest]
        {
            pRequest->complete = m_endpoints.Exists(client, pRequest->destination);
            pRequest->completionProc(pRequest);
        },
        true);
    return kMIDINoErr;
}

// The request's pieces from *pSent on, as AlsaOutput::SendSysExPieces; -EINVAL for a port
// or destination that is not there.
int AlsaMidi::SendSysExPieces(MIDIPortRef hPort, MIDISysexSendRequest* pRequest, uint32_t* pSent)
{
    auto pRegistry = m_registry.Lock();
    AlsaOutput* pOutput = nullptr;
    OSStatus status = AimOutput(*pRegistry, hPort, pRequest->destination, &pOutput);
    if (status == kMIDIInvalidPort || status == kMIDIUnknownEndpoint)
        return -EINVAL;
    return pOutput->SendSysExPieces(*pRequest, pSent);
}

OSStatus AlsaMidi::Send(MIDIPortRef hPort, MIDIEndpointRef hDestination,
                        const MIDIPacketList* pList)
{
    if (!pList)
        return kMIDIParamErr;
    auto pRegistry = m_registry.Lock();
    AlsaOutput* pOutput = nullptr;
    OSStatus status = AimOutput(*pRegistry, hPort, hDestination, &pOutput);
    if (status == kMIDIInvalidPort || status == kMIDIUnknownEndpoint)
        return status;
    return pOutput->Send(*pList);
}
