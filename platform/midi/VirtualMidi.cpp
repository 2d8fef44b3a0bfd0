#include "platform/midi/VirtualMidi.h"

#include <algorithm>
#include <utility>

namespace
{
using namespace std::chrono_literals;

const char* const kInstrumentDevice = "Quillmark Virtual Instrument";
const char* const kInstrumentPort = "Port 1";
// Pause between the end of one played-back dump and the start of the next.
constexpr auto kInstrumentPause = 3s;
// The instrument sends in pieces of the size hardware delivers.
constexpr size_t kInstrumentPiece = 256;
// Messages that come closer together than this belong to one dump.
constexpr auto kInstrumentDumpGap = 1s;

std::chrono::microseconds WireTime(size_t iBytes)
{
    return std::chrono::microseconds(iBytes * kMidiWireMicrosecondsPerByte);
}

std::chrono::microseconds TimeAtPace(size_t iBytes, uint32_t uBytesPerSecond)
{
    if (uBytesPerSecond == 0)
        return std::chrono::microseconds(0);
    return std::chrono::microseconds((uint64_t(iBytes) * 1000000 + uBytesPerSecond - 1) /
                                     uBytesPerSecond);
}

// A dump under the non-commercial manufacturer id 7D: header, 1000 bytes of a ramp, EOX.
std::vector<uint8_t> DemoMessage()
{
    std::vector<uint8_t> aMessage = {0xF0, 0x7D, 0x51, 0x4D, 0x01};
    for (int i = 0; i < 1000; ++i)
        aMessage.push_back(uint8_t((i * 7) & 0x7F));
    aMessage.push_back(0xF7);
    return aMessage;
}
} // namespace

VirtualMidi* VirtualMidi::Get()
{
    return dynamic_cast<VirtualMidi*>(&MidiService::Get());
}

VirtualMidi::VirtualMidi() : m_aInstrumentMessage(DemoMessage()), m_worker("qm-midi-virt")
{
    AddInstrument();
}

VirtualMidi::~VirtualMidi()
{
    m_worker.Stop();
}

void VirtualMidi::Reset()
{
    std::vector<MIDIEndpointRef> removed;
    std::vector<tagHeldCompletion> held;
    {
        std::lock_guard lock(m_mutex);
        for (const tagEndpoint& endpoint : m_endpoints)
            removed.push_back(endpoint.hRef);
        m_endpoints.clear();
        for (auto& [hPort, port] : m_ports)
            port.connections.clear();
        m_bHold = false;
        held.swap(m_held);
        m_failNextSend = kMIDINoErr;
        m_failNextConnect = kMIDINoErr;
        m_bInputWaiting = false;
        m_completionDelay = 0ms;
        m_aInstrumentMessage = DemoMessage();
        m_bInstrumentDemo = true;
        m_aInstrumentAssembly.clear();
        m_bInstrumentAssembling = false;
    }
    ReleaseHeld(std::move(held));
    // Ends the instrument's playback.
    for (MIDIEndpointRef hEndpoint : removed)
        m_worker.Retire(hEndpoint);
}

MIDIEndpointRef VirtualMidi::AddInstrument()
{
    std::lock_guard lock(m_mutex);
    MIDIObjectRef hSource = NewRef();
    m_endpoints.emplace_back(hSource, true, kInstrumentDevice, kInstrumentPort);
    m_endpoints.back().bInstrument = true;
    MIDIObjectRef hDestination = NewRef();
    m_endpoints.emplace_back(hDestination, false, kInstrumentDevice, kInstrumentPort);
    m_endpoints.back().bInstrument = true;
    m_endpoints.back().bPaced = true;
    m_endpoints.back().kind = kMIDIEndpointHardware;
    m_endpoints.back().hInstrumentSource = hSource;
    TellClients(kMIDIMsgObjectAdded);
    m_worker.Post(hSource, Clock::now() + kInstrumentPause,
                  [this, hSource] { PlayInstrument(hSource, 0, nullptr, 0); });
    return hSource;
}

MIDIEndpointRef VirtualMidi::AddSource(const char* pszDevice, const char* pszEndpoint)
{
    return AddEndpoint(true, pszDevice, pszEndpoint);
}

MIDIEndpointRef VirtualMidi::AddDestination(const char* pszDevice, const char* pszEndpoint)
{
    return AddEndpoint(false, pszDevice, pszEndpoint);
}

MIDIEndpointRef VirtualMidi::AddEndpoint(bool bSource, const char* pszDevice,
                                         const char* pszEndpoint)
{
    std::lock_guard lock(m_mutex);
    MIDIObjectRef hEndpoint = NewRef();
    m_endpoints.emplace_back(hEndpoint, bSource, pszDevice ? pszDevice : "",
                             pszEndpoint ? pszEndpoint : "");
    TellClients(kMIDIMsgObjectAdded);
    return hEndpoint;
}

bool VirtualMidi::RemoveEndpoint(MIDIEndpointRef hEndpoint)
{
    {
        std::lock_guard lock(m_mutex);
        auto it = std::find_if(m_endpoints.begin(), m_endpoints.end(),
                               [&](const tagEndpoint& e) { return e.hRef == hEndpoint; });
        if (it == m_endpoints.end())
            return false;
        if (it->bSource)
            PostInputBroken(hEndpoint, kMIDIInputSourceGone);
        m_endpoints.erase(it);
        for (auto& [hPort, port] : m_ports)
            port.connections.erase(hEndpoint);
        TellClients(kMIDIMsgObjectRemoved);
    }
    m_worker.Retire(hEndpoint);
    return true;
}

void VirtualMidi::Inject(MIDIEndpointRef hSource, const std::vector<std::vector<uint8_t>>& packets)
{
    {
        std::lock_guard lock(m_mutex);
        PostDelivery(hSource, std::make_shared<MidiPacketListBuffer>(packets));
    }
    m_worker.Flush();
}

void VirtualMidi::BreakInput(MIDIEndpointRef hSource)
{
    {
        std::lock_guard lock(m_mutex);
        PostInputBroken(hSource, kMIDIInputDataLost);
    }
    m_worker.Flush();
}

int VirtualMidi::ConnectionCount(MIDIEndpointRef hSource) const
{
    std::lock_guard lock(m_mutex);
    int iCount = 0;
    for (const auto& [hPort, port] : m_ports)
        iCount += int(port.connections.count(hSource));
    return iCount;
}

std::vector<uint8_t> VirtualMidi::Captured(MIDIEndpointRef hDestination) const
{
    std::lock_guard lock(m_mutex);
    const tagEndpoint* pEndpoint = FindEndpoint(hDestination);
    return pEndpoint ? pEndpoint->aCaptured : std::vector<uint8_t>();
}

std::vector<std::vector<uint8_t>> VirtualMidi::CapturedSends(MIDIEndpointRef hDestination) const
{
    std::lock_guard lock(m_mutex);
    const tagEndpoint* pEndpoint = FindEndpoint(hDestination);
    return pEndpoint ? pEndpoint->aSends : std::vector<std::vector<uint8_t>>();
}

void VirtualMidi::ClearCaptured(MIDIEndpointRef hDestination)
{
    std::lock_guard lock(m_mutex);
    if (tagEndpoint* pEndpoint = FindEndpoint(hDestination))
    {
        pEndpoint->aCaptured.clear();
        pEndpoint->aSends.clear();
    }
}

void VirtualMidi::HoldCompletions(bool bHold)
{
    std::vector<tagHeldCompletion> held;
    {
        std::lock_guard lock(m_mutex);
        m_bHold = bHold;
        if (!bHold)
            held.swap(m_held);
    }
    ReleaseHeld(std::move(held));
}

int VirtualMidi::HeldCompletions() const
{
    std::lock_guard lock(m_mutex);
    return int(m_held.size());
}

void VirtualMidi::FailNextSend(OSStatus status)
{
    std::lock_guard lock(m_mutex);
    m_failNextSend = status;
}

void VirtualMidi::SetInputWaiting(bool bWaiting)
{
    std::lock_guard lock(m_mutex);
    m_bInputWaiting = bWaiting;
}

bool VirtualMidi::InputWaiting(MIDIClientRef)
{
    std::lock_guard lock(m_mutex);
    return m_bInputWaiting;
}

void VirtualMidi::FailNextConnect(OSStatus status)
{
    std::lock_guard lock(m_mutex);
    m_failNextConnect = status;
}

void VirtualMidi::SetCompletionDelay(std::chrono::milliseconds delay)
{
    std::lock_guard lock(m_mutex);
    m_completionDelay = delay;
}

void VirtualMidi::PaceSends(MIDIEndpointRef hDestination, bool bPaced)
{
    std::lock_guard lock(m_mutex);
    if (tagEndpoint* pEndpoint = FindEndpoint(hDestination))
        pEndpoint->bPaced = bPaced;
}

void VirtualMidi::SetEndpointKind(MIDIEndpointRef hEndpoint, MIDIEndpointKind kind)
{
    std::lock_guard lock(m_mutex);
    if (tagEndpoint* pEndpoint = FindEndpoint(hEndpoint))
        pEndpoint->kind = kind;
}

int64_t VirtualMidi::LastSendPacing(MIDIEndpointRef hDestination) const
{
    std::lock_guard lock(m_mutex);
    const tagEndpoint* pEndpoint = FindEndpoint(hDestination);
    return pEndpoint ? pEndpoint->llLastPacing : -1;
}

std::vector<uint8_t> VirtualMidi::InstrumentDump() const
{
    std::lock_guard lock(m_mutex);
    return m_aInstrumentMessage;
}

std::vector<uint8_t> VirtualMidi::InstrumentBank()
{
    std::vector<uint8_t> aBank;
    for (int iMessage = 0; iMessage < sm_nBankMessages; ++iMessage)
    {
        for (uint8_t b : {0xF0, 0x7D, 0x51, 0x4D, 0x03})
            aBank.push_back(b);
        aBank.push_back(uint8_t(iMessage));
        for (int i = 0; i < 128; ++i)
            aBank.push_back(uint8_t((iMessage * 16 + i) & 0x7F));
        aBank.push_back(0xF7);
    }
    return aBank;
}

const std::vector<uint8_t>& VirtualMidi::InstrumentRequest()
{
    static const std::vector<uint8_t> kRequest = {0xF0, 0x7D, 0x51, 0x4D, 0x02, 0xF7};
    return kRequest;
}

void VirtualMidi::WaitIdle()
{
    m_worker.Flush();
}

OSStatus VirtualMidi::ClientCreate(const char* pszName, MIDINotifyProc pNotifyProc, void* pRefCon,
                                   MIDIClientRef* pClient)
{
    if (!pszName || !pClient)
        return kMIDIParamErr;
    std::lock_guard lock(m_mutex);
    MIDIClientRef hClient = NewRef();
    m_clients[hClient] = {pNotifyProc, pRefCon};
    *pClient = hClient;
    return kMIDINoErr;
}

OSStatus VirtualMidi::ClientDispose(MIDIClientRef hClient)
{
    std::vector<MIDIPortRef> ports;
    {
        std::lock_guard lock(m_mutex);
        if (!m_clients.erase(hClient))
            return kMIDIInvalidClient;
        for (const auto& [hPort, port] : m_ports)
            if (port.hClient == hClient)
                ports.push_back(hPort);
    }
    for (MIDIPortRef hPort : ports)
        PortDispose(hPort);
    m_worker.Retire(hClient);
    return kMIDINoErr;
}

int VirtualMidi::GetNumberOfSources()
{
    std::lock_guard lock(m_mutex);
    return int(std::count_if(m_endpoints.begin(), m_endpoints.end(),
                             [](const tagEndpoint& e) { return e.bSource; }));
}

MIDIEndpointRef VirtualMidi::GetSource(int iIndex)
{
    std::lock_guard lock(m_mutex);
    return EndpointAt(true, iIndex);
}

int VirtualMidi::GetNumberOfDestinations()
{
    std::lock_guard lock(m_mutex);
    return int(std::count_if(m_endpoints.begin(), m_endpoints.end(),
                             [](const tagEndpoint& e) { return !e.bSource; }));
}

MIDIEndpointRef VirtualMidi::GetDestination(int iIndex)
{
    std::lock_guard lock(m_mutex);
    return EndpointAt(false, iIndex);
}

OSStatus VirtualMidi::GetEndpointName(MIDIEndpointRef hEndpoint, std::string* pName)
{
    std::lock_guard lock(m_mutex);
    const tagEndpoint* pEndpoint = FindEndpoint(hEndpoint);
    if (!pEndpoint)
        return kMIDIUnknownEndpoint;
    *pName = pEndpoint->sName;
    return kMIDINoErr;
}

OSStatus VirtualMidi::GetEndpointDeviceName(MIDIEndpointRef hEndpoint, std::string* pName)
{
    std::lock_guard lock(m_mutex);
    const tagEndpoint* pEndpoint = FindEndpoint(hEndpoint);
    if (!pEndpoint)
        return kMIDIUnknownEndpoint;
    *pName = pEndpoint->sDevice;
    return kMIDINoErr;
}

OSStatus VirtualMidi::GetEndpointKind(MIDIEndpointRef hEndpoint, MIDIEndpointKind* pKind)
{
    if (!pKind)
        return kMIDIParamErr;
    std::lock_guard lock(m_mutex);
    const tagEndpoint* pEndpoint = FindEndpoint(hEndpoint);
    if (!pEndpoint)
        return kMIDIUnknownEndpoint;
    *pKind = pEndpoint->kind;
    return kMIDINoErr;
}

OSStatus VirtualMidi::SetPortPacing(MIDIPortRef hPort, uint32_t uBytesPerSecond)
{
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end() || it->second.bInput)
        return kMIDIInvalidPort;
    it->second.uBytesPerSecond = uBytesPerSecond;
    return kMIDINoErr;
}

OSStatus VirtualMidi::InputPortCreate(MIDIClientRef hClient, const char* pszName,
                                      MIDIReadProc pReadProc, void* pRefCon, MIDIPortRef* pPort)
{
    if (!pszName || !pReadProc || !pPort)
        return kMIDIParamErr;
    std::lock_guard lock(m_mutex);
    if (!m_clients.count(hClient))
        return kMIDIInvalidClient;
    MIDIPortRef hPort = NewRef();
    m_ports[hPort] = {hClient, true, pReadProc, pRefCon, {}, 0};
    *pPort = hPort;
    return kMIDINoErr;
}

OSStatus VirtualMidi::OutputPortCreate(MIDIClientRef hClient, const char* pszName,
                                       MIDIPortRef* pPort)
{
    if (!pszName || !pPort)
        return kMIDIParamErr;
    std::lock_guard lock(m_mutex);
    if (!m_clients.count(hClient))
        return kMIDIInvalidClient;
    MIDIPortRef hPort = NewRef();
    m_ports[hPort] = {hClient, false, nullptr, nullptr, {}, kMidiWireBytesPerSecond};
    *pPort = hPort;
    return kMIDINoErr;
}

OSStatus VirtualMidi::PortConnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource,
                                        void* pConnRefCon)
{
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end() || !it->second.bInput)
        return kMIDIInvalidPort;
    const tagEndpoint* pSource = FindEndpoint(hSource);
    if (!pSource)
        return kMIDIUnknownEndpoint;
    if (!pSource->bSource)
        return kMIDIWrongEndpointType;
    it->second.connections[hSource] = pConnRefCon;
    return kMIDINoErr;
}

OSStatus VirtualMidi::PortDisconnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource)
{
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end() || !it->second.bInput)
        return kMIDIInvalidPort;
    return it->second.connections.erase(hSource) ? kMIDINoErr : kMIDINoConnection;
}

OSStatus VirtualMidi::PortConnectDestination(MIDIPortRef hPort, MIDIEndpointRef hDestination)
{
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end() || it->second.bInput)
        return kMIDIInvalidPort;
    const tagEndpoint* pDestination = FindEndpoint(hDestination);
    if (!pDestination)
        return kMIDIUnknownEndpoint;
    if (pDestination->bSource)
        return kMIDIWrongEndpointType;
    return std::exchange(m_failNextConnect, kMIDINoErr);
}

OSStatus VirtualMidi::PortDispose(MIDIPortRef hPort)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_ports.erase(hPort))
            return kMIDIInvalidPort;
    }
    ReleaseHeldOfPort(hPort);
    m_worker.Retire(hPort);
    return kMIDINoErr;
}

OSStatus VirtualMidi::SendSysex(MIDIPortRef hPort, MIDISysexSendRequest* pRequest)
{
    if (!pRequest || !pRequest->data || pRequest->bytesToSend == 0 || !pRequest->completionProc)
        return kMIDIParamErr;
    std::lock_guard lock(m_mutex);
    auto itPort = m_ports.find(hPort);
    if (itPort == m_ports.end() || itPort->second.bInput)
        return kMIDIInvalidPort;
    tagEndpoint* pDestination = FindEndpoint(pRequest->destination);
    if (!pDestination || pDestination->bSource)
        return kMIDIUnknownEndpoint;
    if (m_failNextSend != kMIDINoErr)
    {
        OSStatus status = m_failNextSend;
        m_failNextSend = kMIDINoErr;
        return status;
    }

    const uint8_t* pData = pRequest->data;
    size_t iLength = pRequest->bytesToSend;
    const uint32_t uPace = itPort->second.uBytesPerSecond;
    pDestination->llLastPacing = uPace;
    pDestination->aCaptured.insert(pDestination->aCaptured.end(), pData, pData + iLength);
    pDestination->aSends.emplace_back(pData, pData + iLength);
    if (pDestination->bInstrument)
        TakeIntoInstrument(*pDestination, pData, iLength);

    Clock::time_point now = Clock::now();
    Clock::time_point due = now;
    if (pDestination->bPaced)
    {
        // The cable carries one block after the other.
        due = std::max(now, pDestination->busyUntil) + TimeAtPace(iLength, uPace);
        pDestination->busyUntil = due;
    }
    due += m_completionDelay;
    if (m_bHold)
        m_held.push_back({hPort, pRequest});
    else
        PostCompletion(hPort, pRequest, due);
    return kMIDINoErr;
}

OSStatus VirtualMidi::Send(MIDIPortRef hPort, MIDIEndpointRef hDestination,
                           const MIDIPacketList* pList)
{
    if (!pList)
        return kMIDIParamErr;
    std::lock_guard lock(m_mutex);
    auto itPort = m_ports.find(hPort);
    if (itPort == m_ports.end() || itPort->second.bInput)
        return kMIDIInvalidPort;
    tagEndpoint* pDestination = FindEndpoint(hDestination);
    if (!pDestination || pDestination->bSource)
        return kMIDIUnknownEndpoint;
    const MIDIPacket* pPacket = &pList->packet[0];
    for (uint32_t i = 0; i < pList->numPackets; ++i, pPacket = MIDIPacketNext(pPacket))
    {
        const uint8_t* pData = pPacket->data;
        pDestination->aCaptured.insert(pDestination->aCaptured.end(), pData,
                                       pData + pPacket->length);
        if (pDestination->bInstrument)
            TakeIntoInstrument(*pDestination, pData, pPacket->length);
    }
    return kMIDINoErr;
}

VirtualMidi::tagEndpoint* VirtualMidi::FindEndpoint(MIDIEndpointRef hEndpoint)
{
    for (tagEndpoint& endpoint : m_endpoints)
        if (endpoint.hRef == hEndpoint)
            return &endpoint;
    return nullptr;
}

const VirtualMidi::tagEndpoint* VirtualMidi::FindEndpoint(MIDIEndpointRef hEndpoint) const
{
    return const_cast<VirtualMidi*>(this)->FindEndpoint(hEndpoint);
}

MIDIEndpointRef VirtualMidi::EndpointAt(bool bSource, int iIndex) const
{
    for (const tagEndpoint& endpoint : m_endpoints)
        if (endpoint.bSource == bSource && iIndex-- == 0)
            return endpoint.hRef;
    return 0;
}

// With the lock held. Each client hears of the object, then of the changed setup.
void VirtualMidi::TellClients(MIDINotificationMessageID objectMessage)
{
    for (const auto& [hClient, client] : m_clients)
    {
        for (MIDINotificationMessageID id : {objectMessage, kMIDIMsgSetupChanged})
        {
            m_worker.Post(hClient, Clock::now(),
                          [this, hClient = hClient, id]
                          {
                              MIDINotifyProc pNotifyProc = nullptr;
                              void* pRefCon = nullptr;
                              {
                                  std::lock_guard lock(m_mutex);
                                  auto it = m_clients.find(hClient);
                                  if (it == m_clients.end())
                                      return;
                                  pNotifyProc = it->second.pNotifyProc;
                                  pRefCon = it->second.pRefCon;
                              }
                              if (pNotifyProc)
                              {
                                  MIDINotification message{id, sizeof(MIDINotification)};
                                  pNotifyProc(&message, pRefCon);
                              }
                          });
        }
    }
}

// With the lock held. Posted as the ports' work, so it comes after their deliveries.
void VirtualMidi::PostInputBroken(MIDIEndpointRef hSource, OSStatus reason)
{
    for (const auto& [hPort, port] : m_ports)
    {
        if (!port.connections.count(hSource))
            continue;
        auto itClient = m_clients.find(port.hClient);
        if (itClient == m_clients.end() || !itClient->second.pNotifyProc)
            continue;
        m_worker.Post(hPort, Clock::now(),
                      [client = itClient->second, hSource, reason]
                      {
                          MIDIIOErrorNotification message{kMIDIMsgIOError,
                                                          sizeof(MIDIIOErrorNotification),
                                                          hSource, reason};
                          client.pNotifyProc(reinterpret_cast<MIDINotification*>(&message),
                                             client.pRefCon);
                      });
    }
}

// With the lock held.
void VirtualMidi::PostDelivery(MIDIEndpointRef hSource,
                               const std::shared_ptr<MidiPacketListBuffer>& pPackets)
{
    for (const auto& [hPort, port] : m_ports)
    {
        if (!port.connections.count(hSource))
            continue;
        m_worker.Post(hPort, Clock::now(),
                      [this, hPort = hPort, hSource, pPackets]
                      { Deliver(hPort, hSource, pPackets); });
    }
}

// On the worker. The port is looked up only now: one closed or disconnected since the
// delivery was posted gets nothing.
void VirtualMidi::Deliver(MIDIPortRef hPort, MIDIEndpointRef hSource,
                          const std::shared_ptr<MidiPacketListBuffer>& pPackets)
{
    MIDIReadProc pReadProc;
    void* pRefCon;
    void* pConnRefCon;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_ports.find(hPort);
        if (it == m_ports.end())
            return;
        auto itConnection = it->second.connections.find(hSource);
        if (itConnection == it->second.connections.end())
            return;
        pReadProc = it->second.pReadProc;
        pRefCon = it->second.pRefCon;
        pConnRefCon = itConnection->second;
    }
    pReadProc(pPackets->List(), pRefCon, pConnRefCon);
}

void VirtualMidi::PostCompletion(MIDIPortRef hPort, MIDISysexSendRequest* pRequest,
                                 Clock::time_point due)
{
    m_worker.Post(
        hPort, due,
        [this, pRequest]
        {
            {
                std::lock_guard lock(m_mutex);
                pRequest->complete = FindEndpoint(pRequest->destination) != nullptr;
            }
            pRequest->completionProc(pRequest);
        },
        true);
}

void VirtualMidi::ReleaseHeld(std::vector<tagHeldCompletion> held)
{
    for (const tagHeldCompletion& completion : held)
        PostCompletion(completion.hPort, completion.pRequest, Clock::now());
}

void VirtualMidi::ReleaseHeldOfPort(MIDIPortRef hPort)
{
    std::vector<tagHeldCompletion> held;
    {
        std::lock_guard lock(m_mutex);
        auto it =
            std::stable_partition(m_held.begin(), m_held.end(),
                                  [&](const tagHeldCompletion& c) { return c.hPort != hPort; });
        held.assign(it, m_held.end());
        m_held.erase(it, m_held.end());
    }
    ReleaseHeld(std::move(held));
}

// With the lock held. Keeps the last dump that reached the instrument and answers its
// request.
void VirtualMidi::TakeIntoInstrument(tagEndpoint& destination, const uint8_t* pData, size_t iLength)
{
    for (size_t i = 0; i < iLength; ++i)
    {
        uint8_t b = pData[i];
        if (b >= 0xF8)
            continue;
        if (b == 0xF0)
        {
            m_aInstrumentAssembly.assign(1, b);
            m_bInstrumentAssembling = true;
        }
        else if (!m_bInstrumentAssembling)
            continue;
        else if (b == 0xF7)
        {
            m_aInstrumentAssembly.push_back(b);
            m_bInstrumentAssembling = false;
            if (m_aInstrumentAssembly == InstrumentRequest())
            {
                AnswerRequest(destination.hInstrumentSource);
                continue;
            }
            const Clock::time_point now = Clock::now();
            if (m_bInstrumentDemo || now - m_instrumentLastEnd >= kInstrumentDumpGap)
                m_aInstrumentMessage.clear();
            m_bInstrumentDemo = false;
            m_aInstrumentMessage.insert(m_aInstrumentMessage.end(), m_aInstrumentAssembly.begin(),
                                        m_aInstrumentAssembly.end());
            m_instrumentLastEnd = now;
        }
        else if (b & 0x80)
            m_bInstrumentAssembling = false; // a status byte ends an unfinished message
        else
            m_aInstrumentAssembly.push_back(b);
    }
}

// With the lock held. A source that is between dumps starts the bank now, in a chain of
// its own (the pausing one ends); one that plays a dump plays the bank next.
void VirtualMidi::AnswerRequest(MIDIEndpointRef hSource)
{
    tagEndpoint* pSource = FindEndpoint(hSource);
    if (!pSource)
        return;
    pSource->pAnswer = std::make_shared<const std::vector<uint8_t>>(InstrumentBank());
    if (pSource->bPlaying)
        return;
    const uint32_t uGeneration = ++pSource->uPlayGeneration;
    m_worker.Post(hSource, Clock::now(),
                  [this, hSource, uGeneration]
                  { PlayInstrument(hSource, 0, nullptr, uGeneration); });
}

// On the worker, as the source's work. Plays a dump, or the bank asked for, in
// hardware-sized pieces at wire speed, then pauses; the dump only while an input port
// listens.
void VirtualMidi::PlayInstrument(MIDIEndpointRef hSource, size_t iOffset,
                                 std::shared_ptr<const std::vector<uint8_t>> pMessage,
                                 uint32_t uGeneration)
{
    std::lock_guard lock(m_mutex);
    tagEndpoint* pSource = FindEndpoint(hSource);
    if (!pSource || pSource->uPlayGeneration != uGeneration)
        return;
    const auto next = [&](Clock::time_point due, size_t iNextOffset,
                          std::shared_ptr<const std::vector<uint8_t>> pNext)
    {
        m_worker.Post(hSource, due,
                      [this, hSource, iNextOffset, pNext, uGeneration]
                      { PlayInstrument(hSource, iNextOffset, pNext, uGeneration); });
    };
    if (iOffset == 0)
    {
        if (pSource->pAnswer)
            pMessage = std::move(pSource->pAnswer);
        else if (std::any_of(m_ports.begin(), m_ports.end(),
                             [&](const auto& entry)
                             { return entry.second.connections.count(hSource) != 0; }))
            pMessage = std::make_shared<const std::vector<uint8_t>>(m_aInstrumentMessage);
        else
        {
            next(Clock::now() + kInstrumentPause, 0, nullptr);
            return;
        }
        pSource->bPlaying = true;
    }
    size_t iPiece = std::min(kInstrumentPiece, pMessage->size() - iOffset);
    PostDelivery(hSource, std::make_shared<MidiPacketListBuffer>(std::vector<std::vector<uint8_t>>{
                              {pMessage->begin() + long(iOffset),
                               pMessage->begin() + long(iOffset + iPiece)}}));
    iOffset += iPiece;
    Clock::time_point due = Clock::now() + WireTime(iPiece);
    if (iOffset < pMessage->size())
    {
        next(due, iOffset, pMessage);
        return;
    }
    pSource->bPlaying = false;
    next(pSource->pAnswer ? due : due + kInstrumentPause, 0, nullptr);
}
