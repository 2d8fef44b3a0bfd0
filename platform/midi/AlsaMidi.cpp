#include "platform/midi/AlsaMidi.h"

#include "platform/midi/MidiWorker.h"
#include "toolkit/DebugLog.h"

#include <alsa/asoundlib.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace
{
using namespace std::chrono_literals;
using Clock = MidiWorker::Clock;

// Announcements come in bursts (a client, then its ports, then their subscriptions):
// the setup is looked at once they have been quiet this long, or the burst this long.
constexpr auto kSettleTime = 300ms;
constexpr auto kLongestBurst = 2s;
// Hardware delivers SysEx in pieces of this size; sends are cut the same way.
constexpr uint32_t kSysExPiece = 256;
// The kernel grants a client at most this many input cells (SNDRV_SEQ_MAX_CLIENT_EVENTS).
constexpr int kInputPoolCells = 2000;
constexpr size_t kInputBufferBytes = 256 * 1024;
constexpr int kEventsPerWake = 4096;
// A destination whose input is full is offered the event again this often, for at most
// this long; one that reads nothing for so long is taken to be stuck.
constexpr auto kFullRetryInterval = 200us;
constexpr auto kFullPatience = 2s;

// An endpoint reference carries the sequencer address: tag | client << 8 | port.
constexpr MIDIEndpointRef kEndpointTag = 0x10000;

MIDIEndpointRef EndpointRef(int iClient, int iPort)
{
    return kEndpointTag | (MIDIEndpointRef(iClient & 0xFF) << 8) | MIDIEndpointRef(iPort & 0xFF);
}

bool DecodeEndpoint(MIDIEndpointRef hEndpoint, int* pClient, int* pPort)
{
    if ((hEndpoint & ~MIDIEndpointRef(0xFFFF)) != kEndpointTag)
        return false;
    *pClient = int((hEndpoint >> 8) & 0xFF);
    *pPort = int(hEndpoint & 0xFF);
    return true;
}

// Names the failing operation with ALSA's text for the error.
bool CheckSnd(const char* pszOperation, int iResult)
{
    if (iResult >= 0)
        return true;
    DebugPrintf("ALSA sequencer: %s: %s", pszOperation, snd_strerror(iResult));
    return false;
}

// libasound would print its own lines to standard error; CheckSnd logs the failure.
void QuietErrorHandler(const char*, int, const char*, int, const char*, ...) {}

struct tagAlsaEndpoint
{
    int iClient;
    int iPort;
    std::string sClientName;
    std::string sPortName;
};

std::vector<tagAlsaEndpoint> ListEndpoints(snd_seq_t* pSeq, bool bSources,
                                           const std::set<int>& ownClientIds)
{
    std::vector<tagAlsaEndpoint> endpoints;
    snd_seq_client_info_t* pClientInfo;
    snd_seq_port_info_t* pPortInfo;
    snd_seq_client_info_alloca(&pClientInfo);
    snd_seq_port_info_alloca(&pPortInfo);
    const unsigned uNeeded = bSources ? SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ
                                      : SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    snd_seq_client_info_set_client(pClientInfo, -1);
    while (snd_seq_query_next_client(pSeq, pClientInfo) >= 0)
    {
        int iClient = snd_seq_client_info_get_client(pClientInfo);
        if (iClient == SND_SEQ_CLIENT_SYSTEM || ownClientIds.count(iClient))
            continue;
        snd_seq_port_info_set_client(pPortInfo, iClient);
        snd_seq_port_info_set_port(pPortInfo, -1);
        while (snd_seq_query_next_port(pSeq, pPortInfo) >= 0)
        {
            unsigned uCaps = snd_seq_port_info_get_capability(pPortInfo);
            if ((uCaps & SND_SEQ_PORT_CAP_NO_EXPORT) || (uCaps & uNeeded) != uNeeded)
                continue;
            endpoints.push_back({iClient, snd_seq_port_info_get_port(pPortInfo),
                                 snd_seq_client_info_get_name(pClientInfo),
                                 snd_seq_port_info_get_name(pPortInfo)});
        }
    }
    return endpoints;
}

std::string SnapshotOf(snd_seq_t* pSeq, const std::set<int>& ownClientIds)
{
    std::string sSnapshot;
    for (bool bSources : {true, false})
    {
        sSnapshot += bSources ? "S" : "D";
        for (const tagAlsaEndpoint& e : ListEndpoints(pSeq, bSources, ownClientIds))
            sSnapshot += std::to_string(e.iClient) + ":" + std::to_string(e.iPort) + "\x1f" +
                         e.sClientName + "\x1f" + e.sPortName + "\x1e";
    }
    return sSnapshot;
}
} // namespace

struct AlsaMidi::Sequencer
{
    snd_seq_t* pSeq = nullptr;
    ~Sequencer()
    {
        if (pSeq)
            snd_seq_close(pSeq);
    }
};

struct AlsaMidi::Client
{
    MIDIClientRef hRef = 0;
    snd_seq_t* pSeq = nullptr;
    int iId = -1;
    int iAnnouncePort = -1;
    MIDINotifyProc pNotifyProc = nullptr;
    void* pRefCon = nullptr;
    snd_midi_event_t* pEncoder = nullptr; // under the back end's lock
    // Worker only:
    snd_midi_event_t* pDecoder = nullptr;
    std::vector<uint64_t> aPacketStorage;
    std::string sSnapshot;
    bool bCheckPending = false;
    Clock::time_point burstStart;
    Clock::time_point lastAnnounce;
    // Last: it runs the work that uses the fields above.
    std::unique_ptr<MidiWorker> pWorker;
    // Set once pWorker is: its thread starts inside its constructor and may find events
    // (another client's announcement) before pWorker is there to post to.
    std::atomic<bool> bWorkerSet{false};

    ~Client()
    {
        pWorker.reset();
        if (pDecoder)
            snd_midi_event_free(pDecoder);
        if (pEncoder)
            snd_midi_event_free(pEncoder);
        if (pSeq)
            snd_seq_close(pSeq);
    }
};

struct AlsaMidi::Port
{
    std::shared_ptr<Client> pClient;
    int iPort;
    bool bInput;
    MIDIReadProc pReadProc;
    void* pRefCon;
    std::map<MIDIEndpointRef, void*> connections;       // source -> connection reference
    Clock::time_point busyUntil{};                      // end of the last SysEx on the cable
    MIDIEndpointRef hSubscribed = 0;                    // destination this output port feeds
    uint32_t uBytesPerSecond = kMidiWireBytesPerSecond; // 0: unpaced
};

namespace
{
// Whether a user client's input has room for a SysEx event of the length. The kernel
// keeps an event in cells of the size of an event record, its data in as many more; an
// event that does not fit is refused, and the refusal also makes the client's next read
// throw away everything that was waiting for it. So a full input is waited out, not
// written to. libasound asks only for the caller's own pool; the kernel answers for any
// client. Kernel clients have no input pool: they take events as they come.
//
// The kernel's record and request for it (sound/asequencer.h, which cannot be included
// beside libasound's headers).
struct tagSeqClientPool
{
    int iClient;
    int iOutputPool;
    int iInputPool;
    int iOutputRoom;
    int iOutputFree;
    int iInputFree;
    char acReserved[64];
};
constexpr unsigned long kSeqGetClientPool = _IOWR('S', 0x4b, tagSeqClientPool);

bool HasRoomFor(snd_seq_t* pSeq, int iClient, uint32_t uLength)
{
    pollfd descriptor{};
    if (snd_seq_poll_descriptors(pSeq, &descriptor, 1, POLLOUT) != 1)
        return true;
    tagSeqClientPool pool{};
    pool.iClient = iClient;
    if (ioctl(descriptor.fd, kSeqGetClientPool, &pool) < 0 || pool.iInputPool <= 0)
        return true;
    const int iCells = 1 + int((uLength + sizeof(snd_seq_event_t) - 1) / sizeof(snd_seq_event_t));
    return pool.iInputFree >= iCells;
}

// Kernel ports of hardware and virtual raw MIDI devices open their device only while a
// sender is subscribed to them, and drop events sent to them otherwise. An output port
// therefore subscribes to the destination it sends to.
bool SubscribeTo(snd_seq_t* pSeq, int iOwnPort, MIDIEndpointRef* phSubscribed,
                 MIDIEndpointRef hDestination, int iClient, int iPort)
{
    if (*phSubscribed == hDestination)
        return true;
    int iOldClient, iOldPort;
    if (*phSubscribed && DecodeEndpoint(*phSubscribed, &iOldClient, &iOldPort))
        CheckSnd("disconnect destination",
                 snd_seq_disconnect_to(pSeq, iOwnPort, iOldClient, iOldPort));
    *phSubscribed = 0;
    if (!CheckSnd("connect destination", snd_seq_connect_to(pSeq, iOwnPort, iClient, iPort)))
        return false;
    *phSubscribed = hDestination;
    return true;
}

bool PortExists(snd_seq_t* pSeq, MIDIEndpointRef hEndpoint)
{
    int iClient, iPort;
    snd_seq_port_info_t* pPortInfo;
    snd_seq_port_info_alloca(&pPortInfo);
    return DecodeEndpoint(hEndpoint, &iClient, &iPort) &&
           snd_seq_get_any_port_info(pSeq, iClient, iPort, pPortInfo) >= 0;
}
} // namespace

std::unique_ptr<MidiService> AlsaMidi::Open(bool bForced)
{
    snd_lib_error_set_handler(QuietErrorHandler);
    auto pSequencer = std::make_unique<Sequencer>();
    if (!CheckSnd("open sequencer",
                  snd_seq_open(&pSequencer->pSeq, "default", SND_SEQ_OPEN_DUPLEX, 0)))
    {
        pSequencer->pSeq = nullptr;
        if (!bForced)
            return nullptr;
        pSequencer.reset();
    }
    else
        CheckSnd("name client", snd_seq_set_client_name(pSequencer->pSeq, "Quillmark"));
    return std::unique_ptr<MidiService>(new AlsaMidi(std::move(pSequencer)));
}

bool AlsaMidi::HasSequencer(const MidiService& service)
{
    const auto* pAlsa = dynamic_cast<const AlsaMidi*>(&service);
    return pAlsa && pAlsa->m_pSequencer;
}

AlsaMidi::AlsaMidi(std::unique_ptr<Sequencer> pSequencer) : m_pSequencer(std::move(pSequencer))
{
    if (m_pSequencer)
        m_ownClientIds.insert(snd_seq_client_id(m_pSequencer->pSeq));
}

AlsaMidi::~AlsaMidi()
{
    m_ports.clear();
    m_clients.clear();
}

OSStatus AlsaMidi::ClientCreate(const char* pszName, MIDINotifyProc pNotifyProc, void* pRefCon,
                                MIDIClientRef* pClient)
{
    if (!pszName || !pClient)
        return kMIDIParamErr;
    std::lock_guard lock(m_mutex);
    if (!m_pSequencer)
        return kMIDIServerStartErr;

    auto pNew = std::make_shared<Client>();
    if (!CheckSnd("open sequencer", snd_seq_open(&pNew->pSeq, "default", SND_SEQ_OPEN_DUPLEX, 0)))
    {
        pNew->pSeq = nullptr;
        return kMIDIServerStartErr;
    }
    pNew->iId = snd_seq_client_id(pNew->pSeq);
    pNew->pNotifyProc = pNotifyProc;
    pNew->pRefCon = pRefCon;
    if (!CheckSnd("name client", snd_seq_set_client_name(pNew->pSeq, pszName)))
        return kMIDIServerStartErr;
    // A dump of many messages comes as fast as the sender writes: the kernel keeps what
    // the reader has not taken yet in the client's input pool, and drops what does not
    // fit. The largest pool it grants, and a read buffer to match, ride out the bursts.
    CheckSnd("enlarge input pool", snd_seq_set_client_pool_input(pNew->pSeq, kInputPoolCells));
    CheckSnd("enlarge input buffer", snd_seq_set_input_buffer_size(pNew->pSeq, kInputBufferBytes));
    pNew->iAnnouncePort = snd_seq_create_simple_port(
        pNew->pSeq, "Announce", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
        SND_SEQ_PORT_TYPE_APPLICATION);
    if (!CheckSnd("create announcement port", pNew->iAnnouncePort) ||
        !CheckSnd("subscribe to announcements",
                  snd_seq_connect_from(pNew->pSeq, pNew->iAnnouncePort, SND_SEQ_CLIENT_SYSTEM,
                                       SND_SEQ_PORT_SYSTEM_ANNOUNCE)) ||
        !CheckSnd("create event decoder", snd_midi_event_new(0, &pNew->pDecoder)) ||
        !CheckSnd("create event encoder", snd_midi_event_new(kSysExPiece, &pNew->pEncoder)))
        return kMIDIServerStartErr;
    pollfd descriptor{};
    if (snd_seq_poll_descriptors(pNew->pSeq, &descriptor, 1, POLLIN) != 1)
    {
        DebugPrintf("ALSA sequencer: no poll descriptor for input");
        return kMIDIServerStartErr;
    }
    // Reads never wait: the worker reads until the kernel has nothing more, and that last
    // read is also where it learns of an overrun. The kernel flags one only by the error of
    // the next read; poll() does not wake for it, so one that comes after the last events
    // would otherwise stay unseen. Direct sends are not affected: they never wait.
    if (!CheckSnd("make reads non-blocking", snd_seq_nonblock(pNew->pSeq, 1)))
        return kMIDIServerStartErr;
    // Each incoming event must come back as a whole message, status byte included.
    snd_midi_event_no_status(pNew->pDecoder, 1);

    m_ownClientIds.insert(pNew->iId);
    pNew->sSnapshot = SnapshotOf(pNew->pSeq, m_ownClientIds);
    pNew->hRef = ++m_hLastRef;
    Client* pRaw = pNew.get();
    pNew->pWorker = std::make_unique<MidiWorker>("qm-midi-alsa", descriptor.fd,
                                                 [this, pRaw]
                                                 {
                                                     // Unread events stay readable.
                                                     if (pRaw->bWorkerSet.load())
                                                         ReadEvents(*pRaw);
                                                 });
    pNew->bWorkerSet = true;
    m_clients[pNew->hRef] = pNew;
    *pClient = pNew->hRef;
    return kMIDINoErr;
}

OSStatus AlsaMidi::ClientDispose(MIDIClientRef hClient)
{
    std::shared_ptr<Client> pClient;
    std::vector<std::pair<MIDIPortRef, std::unique_ptr<Port>>> ports;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_clients.find(hClient);
        if (it == m_clients.end())
            return kMIDIInvalidClient;
        pClient = std::move(it->second);
        m_clients.erase(it);
        for (auto itPort = m_ports.begin(); itPort != m_ports.end();)
        {
            if (itPort->second->pClient == pClient)
            {
                ports.emplace_back(itPort->first, std::move(itPort->second));
                itPort = m_ports.erase(itPort);
            }
            else
                ++itPort;
        }
    }
    for (const auto& port : ports)
        pClient->pWorker->Retire(port.first);
    pClient->pWorker->Stop();
    int iId = pClient->iId;
    ports.clear();
    pClient.reset(); // closing the handle removes its ports and their subscriptions
    std::lock_guard lock(m_mutex);
    m_ownClientIds.erase(iId);
    return kMIDINoErr;
}

int AlsaMidi::CountEndpoints(bool bSource)
{
    std::lock_guard lock(m_mutex);
    if (!m_pSequencer)
        return 0;
    return int(ListEndpoints(m_pSequencer->pSeq, bSource, m_ownClientIds).size());
}

MIDIEndpointRef AlsaMidi::EndpointAt(bool bSource, int iIndex)
{
    std::lock_guard lock(m_mutex);
    if (!m_pSequencer || iIndex < 0)
        return 0;
    std::vector<tagAlsaEndpoint> endpoints =
        ListEndpoints(m_pSequencer->pSeq, bSource, m_ownClientIds);
    if (size_t(iIndex) >= endpoints.size())
        return 0;
    return EndpointRef(endpoints[size_t(iIndex)].iClient, endpoints[size_t(iIndex)].iPort);
}

int AlsaMidi::GetNumberOfSources()
{
    return CountEndpoints(true);
}

MIDIEndpointRef AlsaMidi::GetSource(int iIndex)
{
    return EndpointAt(true, iIndex);
}

int AlsaMidi::GetNumberOfDestinations()
{
    return CountEndpoints(false);
}

MIDIEndpointRef AlsaMidi::GetDestination(int iIndex)
{
    return EndpointAt(false, iIndex);
}

OSStatus AlsaMidi::GetEndpointName(MIDIEndpointRef hEndpoint, std::string* pName)
{
    int iClient, iPort;
    std::lock_guard lock(m_mutex);
    if (!m_pSequencer || !DecodeEndpoint(hEndpoint, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    snd_seq_port_info_t* pPortInfo;
    snd_seq_port_info_alloca(&pPortInfo);
    if (snd_seq_get_any_port_info(m_pSequencer->pSeq, iClient, iPort, pPortInfo) < 0)
        return kMIDIUnknownEndpoint;
    *pName = snd_seq_port_info_get_name(pPortInfo);
    return kMIDINoErr;
}

OSStatus AlsaMidi::GetEndpointDeviceName(MIDIEndpointRef hEndpoint, std::string* pName)
{
    int iClient, iPort;
    std::lock_guard lock(m_mutex);
    if (!m_pSequencer || !DecodeEndpoint(hEndpoint, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    snd_seq_client_info_t* pClientInfo;
    snd_seq_client_info_alloca(&pClientInfo);
    if (snd_seq_get_any_client_info(m_pSequencer->pSeq, iClient, pClientInfo) < 0)
        return kMIDIUnknownEndpoint;
    *pName = snd_seq_client_info_get_name(pClientInfo);
    return kMIDINoErr;
}

OSStatus AlsaMidi::GetEndpointAddress(MIDIEndpointRef hEndpoint, std::string* pAddress)
{
    int iClient, iPort;
    if (!DecodeEndpoint(hEndpoint, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    *pAddress = std::to_string(iClient) + ":" + std::to_string(iPort);
    return kMIDINoErr;
}

OSStatus AlsaMidi::GetEndpointKind(MIDIEndpointRef hEndpoint, MIDIEndpointKind* pKind)
{
    int iClient, iPort;
    if (!pKind)
        return kMIDIParamErr;
    std::lock_guard lock(m_mutex);
    if (!m_pSequencer || !DecodeEndpoint(hEndpoint, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    snd_seq_client_info_t* pClientInfo;
    snd_seq_port_info_t* pPortInfo;
    snd_seq_client_info_alloca(&pClientInfo);
    snd_seq_port_info_alloca(&pPortInfo);
    if (snd_seq_get_any_client_info(m_pSequencer->pSeq, iClient, pClientInfo) < 0 ||
        snd_seq_get_any_port_info(m_pSequencer->pSeq, iClient, iPort, pPortInfo) < 0)
        return kMIDIUnknownEndpoint;
    const bool bKernel = snd_seq_client_info_get_type(pClientInfo) == SND_SEQ_KERNEL_CLIENT;
    const unsigned uType = snd_seq_port_info_get_type(pPortInfo);
    *pKind = bKernel || (uType & (SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_PORT))
                 ? kMIDIEndpointHardware
                 : kMIDIEndpointSoftware;
    return kMIDINoErr;
}

OSStatus AlsaMidi::SetPortPacing(MIDIPortRef hPort, uint32_t uBytesPerSecond)
{
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end() || it->second->bInput)
        return kMIDIInvalidPort;
    it->second->uBytesPerSecond = uBytesPerSecond;
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
    std::lock_guard lock(m_mutex);
    auto it = m_clients.find(hClient);
    if (it == m_clients.end())
        return kMIDIInvalidClient;
    unsigned uCaps = bInput ? SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE
                            : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    int iPort =
        snd_seq_create_simple_port(it->second->pSeq, pszName, uCaps,
                                   SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (!CheckSnd(bInput ? "create input port" : "create output port", iPort))
        return kMIDIInvalidPort;
    MIDIPortRef hPort = ++m_hLastRef;
    m_ports[hPort] = std::unique_ptr<Port>(
        new Port{it->second, iPort, bInput, pReadProc, pRefCon, {}, Clock::time_point{}, 0});
    *pPort = hPort;
    return kMIDINoErr;
}

OSStatus AlsaMidi::PortConnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource, void* pConnRefCon)
{
    int iClient, iPort;
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end() || !it->second->bInput)
        return kMIDIInvalidPort;
    if (!DecodeEndpoint(hSource, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    Port& port = *it->second;
    if (!CheckSnd("connect source",
                  snd_seq_connect_from(port.pClient->pSeq, port.iPort, iClient, iPort)))
        return kMIDINoConnection;
    port.connections[hSource] = pConnRefCon;
    return kMIDINoErr;
}

OSStatus AlsaMidi::PortDisconnectSource(MIDIPortRef hPort, MIDIEndpointRef hSource)
{
    int iClient, iPort;
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end() || !it->second->bInput)
        return kMIDIInvalidPort;
    Port& port = *it->second;
    if (!port.connections.erase(hSource) || !DecodeEndpoint(hSource, &iClient, &iPort))
        return kMIDINoConnection;
    // Fails when the source has gone, which took the subscription with it.
    CheckSnd("disconnect source",
             snd_seq_disconnect_from(port.pClient->pSeq, port.iPort, iClient, iPort));
    return kMIDINoErr;
}

OSStatus AlsaMidi::PortConnectDestination(MIDIPortRef hPort, MIDIEndpointRef hDestination)
{
    int iClient, iPort;
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end() || it->second->bInput)
        return kMIDIInvalidPort;
    if (!DecodeEndpoint(hDestination, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    Port& port = *it->second;
    return SubscribeTo(port.pClient->pSeq, port.iPort, &port.hSubscribed, hDestination, iClient,
                       iPort)
               ? kMIDINoErr
               : kMIDINoConnection;
}

OSStatus AlsaMidi::PortDispose(MIDIPortRef hPort)
{
    std::unique_ptr<Port> pPort;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_ports.find(hPort);
        if (it == m_ports.end())
            return kMIDIInvalidPort;
        pPort = std::move(it->second);
        m_ports.erase(it);
    }
    pPort->pClient->pWorker->Retire(hPort);
    std::lock_guard lock(m_mutex);
    CheckSnd("delete port", snd_seq_delete_simple_port(pPort->pClient->pSeq, pPort->iPort));
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
            CheckSnd("send SysEx to a destination that reads nothing", iResult);
            return kMIDIMsgSendErr;
        }
        std::this_thread::sleep_for(kFullRetryInterval);
    }
    if (iResult < 0)
        return iResult == -EINVAL ? kMIDIInvalidPort : kMIDIMsgSendErr;

    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end())
        return kMIDIInvalidPort;
    Port& port = *it->second;
    // A paced block takes the cable after the one before it.
    Clock::time_point now = Clock::now();
    Clock::time_point end = now;
    if (port.uBytesPerSecond > 0)
    {
        end = std::max(now, port.busyUntil) +
              std::chrono::microseconds(
                  (uint64_t(pRequest->bytesToSend) * 1000000 + port.uBytesPerSecond - 1) /
                  port.uBytesPerSecond);
        port.busyUntil = end;
    }
    // The bytes count as delivered only if the destination is still there once they have
    // had their time: one that went meanwhile took the rest with it.
    snd_seq_t* pSeq = port.pClient->pSeq;
    port.pClient->pWorker->Post(
        hPort, end,
        [this, pSeq, pRequest]
        {
            {
                std::lock_guard lock(m_mutex);
                pRequest->complete = PortExists(pSeq, pRequest->destination);
            }
            pRequest->completionProc(pRequest);
        },
        true);
    return kMIDINoErr;
}

// Sends the request's pieces from *pSent on; 0 when all have gone, else the error of the
// piece that did not (-EINVAL for a port or destination that is not there).
int AlsaMidi::SendSysExPieces(MIDIPortRef hPort, MIDISysexSendRequest* pRequest, uint32_t* pSent)
{
    int iClient, iPort;
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end() || it->second->bInput ||
        !DecodeEndpoint(pRequest->destination, &iClient, &iPort))
        return -EINVAL;
    Port& port = *it->second;
    SubscribeTo(port.pClient->pSeq, port.iPort, &port.hSubscribed, pRequest->destination, iClient,
                iPort);
    while (*pSent < pRequest->bytesToSend)
    {
        uint32_t uLength = std::min(kSysExPiece, pRequest->bytesToSend - *pSent);
        if (!HasRoomFor(port.pClient->pSeq, iClient, uLength))
            return -EAGAIN;
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_seq_ev_set_source(&event, port.iPort);
        snd_seq_ev_set_dest(&event, iClient, iPort);
        snd_seq_ev_set_direct(&event);
        snd_seq_ev_set_sysex(&event, uLength, const_cast<uint8_t*>(pRequest->data + *pSent));
        int iResult = snd_seq_event_output_direct(port.pClient->pSeq, &event);
        if (iResult == -EAGAIN || iResult == -ENOMEM)
            return iResult;
        if (!CheckSnd("send SysEx", iResult))
            return iResult == -EINVAL ? -EIO : iResult;
        *pSent += uLength;
    }
    return 0;
}

OSStatus AlsaMidi::Send(MIDIPortRef hPort, MIDIEndpointRef hDestination,
                        const MIDIPacketList* pList)
{
    if (!pList)
        return kMIDIParamErr;
    int iClient, iPort;
    std::lock_guard lock(m_mutex);
    auto it = m_ports.find(hPort);
    if (it == m_ports.end() || it->second->bInput)
        return kMIDIInvalidPort;
    if (!DecodeEndpoint(hDestination, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    Port& port = *it->second;
    SubscribeTo(port.pClient->pSeq, port.iPort, &port.hSubscribed, hDestination, iClient, iPort);
    snd_midi_event_t* pEncoder = port.pClient->pEncoder;
    const MIDIPacket* pPacket = &pList->packet[0];
    for (uint32_t i = 0; i < pList->numPackets; ++i, pPacket = MIDIPacketNext(pPacket))
    {
        const unsigned char* pData = pPacket->data;
        long iLeft = pPacket->length;
        snd_midi_event_reset_encode(pEncoder);
        while (iLeft > 0)
        {
            snd_seq_event_t event;
            snd_seq_ev_clear(&event);
            long iUsed = snd_midi_event_encode(pEncoder, pData, iLeft, &event);
            if (!CheckSnd("encode event", int(iUsed)) || iUsed == 0)
                return kMIDIMsgSendErr;
            pData += iUsed;
            iLeft -= iUsed;
            if (event.type == SND_SEQ_EVENT_NONE)
                continue; // incomplete so far
            snd_seq_ev_set_source(&event, port.iPort);
            snd_seq_ev_set_dest(&event, iClient, iPort);
            snd_seq_ev_set_direct(&event);
            if (!CheckSnd("send event", snd_seq_event_output_direct(port.pClient->pSeq, &event)))
                return kMIDIMsgSendErr;
        }
    }
    return kMIDINoErr;
}

// On the worker, when the handle has input: until a read finds nothing, or for a while
// at most, so that the worker's timed tasks also run under a steady stream (what is left
// keeps the handle readable).
void AlsaMidi::ReadEvents(Client& client)
{
    for (int iRead = 0; iRead < kEventsPerWake; ++iRead)
    {
        snd_seq_event_t* pEvent = nullptr;
        int iResult = snd_seq_event_input(client.pSeq, &pEvent);
        if (iResult == -EAGAIN)
            break;
        if (iResult == -ENOSPC)
        {
            DebugPrintf("ALSA sequencer: input overrun, events were lost");
            ReportInputBroken(client, kMIDIInputDataLost, -1, -1);
            continue;
        }
        if (!CheckSnd("read event", iResult))
            break;
        if (!pEvent)
            continue;

        if (pEvent->dest.port == client.iAnnouncePort)
        {
            switch (pEvent->type)
            {
            case SND_SEQ_EVENT_CLIENT_EXIT:
                ReportInputBroken(client, kMIDIInputSourceGone, pEvent->data.addr.client, -1);
                OnAnnounce(client);
                break;
            case SND_SEQ_EVENT_PORT_EXIT:
                ReportInputBroken(client, kMIDIInputSourceGone, pEvent->data.addr.client,
                                  pEvent->data.addr.port);
                OnAnnounce(client);
                break;
            case SND_SEQ_EVENT_CLIENT_START:
            case SND_SEQ_EVENT_CLIENT_CHANGE:
            case SND_SEQ_EVENT_PORT_START:
            case SND_SEQ_EVENT_PORT_CHANGE:
                OnAnnounce(client);
                break;
            default:
                break;
            }
            continue;
        }

        // One event is one packet: SysEx as it came, anything else as its MIDI bytes.
        unsigned char aShort[16];
        const unsigned char* pData = aShort;
        size_t iLength = 0;
        if (pEvent->type == SND_SEQ_EVENT_SYSEX)
        {
            pData = static_cast<const unsigned char*>(pEvent->data.ext.ptr);
            iLength = pEvent->data.ext.len;
        }
        else
        {
            long iDecoded = snd_midi_event_decode(client.pDecoder, aShort, sizeof(aShort), pEvent);
            if (iDecoded <= 0)
                continue; // not a MIDI message
            iLength = size_t(iDecoded);
        }
        if (iLength == 0 || iLength > 0xFFFF)
            continue;

        MIDIPortRef hPort = 0;
        {
            std::lock_guard lock(m_mutex);
            for (const auto& [hRef, pPort] : m_ports)
                if (pPort->pClient.get() == &client && pPort->bInput &&
                    pPort->iPort == pEvent->dest.port)
                    hPort = hRef;
        }
        if (!hPort)
            continue;

        size_t iListSize = kMIDIPacketListHeaderSize + kMIDIPacketHeaderSize + iLength;
        client.aPacketStorage.resize((iListSize + sizeof(uint64_t) - 1) / sizeof(uint64_t));
        auto* pList = reinterpret_cast<MIDIPacketList*>(client.aPacketStorage.data());
        MIDIPacketListAdd(pList, iListSize, MIDIPacketListInit(pList), 0, iLength, pData);
        int iSourceClient = pEvent->source.client;
        int iSourcePort = pEvent->source.port;
        client.pWorker->Run(hPort, [&] { DeliverEvent(hPort, pList, iSourceClient, iSourcePort); });
    }
}

// On the worker, in order with the events. The sources connected to the client's input
// ports at the address (-1 for any client or port) hear that their input broke off: the
// kernel threw away what was waiting for the client, or the source went away.
void AlsaMidi::ReportInputBroken(Client& client, OSStatus reason, int iSourceClient,
                                 int iSourcePort)
{
    if (!client.pNotifyProc)
        return;
    std::vector<std::pair<MIDIPortRef, MIDIEndpointRef>> broken;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [hRef, pPort] : m_ports)
        {
            if (pPort->pClient.get() != &client || !pPort->bInput)
                continue;
            for (const auto& connection : pPort->connections)
            {
                int iClient, iPort;
                if (DecodeEndpoint(connection.first, &iClient, &iPort) &&
                    (iSourceClient < 0 || iClient == iSourceClient) &&
                    (iSourcePort < 0 || iPort == iSourcePort))
                    broken.emplace_back(hRef, connection.first);
            }
        }
    }
    for (const auto& [hPort, hSource] : broken)
        client.pWorker->Run(hPort,
                            [&, hSource = hSource]
                            {
                                MIDIIOErrorNotification message{
                                    kMIDIMsgIOError, sizeof(MIDIIOErrorNotification), hSource,
                                    reason};
                                client.pNotifyProc(reinterpret_cast<MIDINotification*>(&message),
                                                   client.pRefCon);
                            });
}

// On the worker, as the port's work. The port is looked up only now: one disposed in the
// meantime gets nothing.
void AlsaMidi::DeliverEvent(MIDIPortRef hPort, const MIDIPacketList* pList, int iSourceClient,
                            int iSourcePort)
{
    MIDIReadProc pReadProc;
    void* pRefCon;
    void* pConnRefCon = nullptr;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_ports.find(hPort);
        if (it == m_ports.end())
            return;
        pReadProc = it->second->pReadProc;
        pRefCon = it->second->pRefCon;
        // Anything else connected to the port (a patchbay's doing) is not what was chosen.
        auto itConnection = it->second->connections.find(EndpointRef(iSourceClient, iSourcePort));
        if (itConnection == it->second->connections.end())
            return;
        pConnRefCon = itConnection->second;
    }
    pReadProc(pList, pRefCon, pConnRefCon);
}

// On the worker. A client appears before its ports, so the setup is looked at only once
// the burst of announcements has settled.
void AlsaMidi::OnAnnounce(Client& client)
{
    Clock::time_point now = Clock::now();
    client.lastAnnounce = now;
    if (client.bCheckPending)
        return;
    client.bCheckPending = true;
    client.burstStart = now;
    client.pWorker->Post(client.hRef, now + kSettleTime, [this, &client] { CheckSetup(client); });
}

void AlsaMidi::CheckSetup(Client& client)
{
    Clock::time_point now = Clock::now();
    Clock::time_point settled = client.lastAnnounce + kSettleTime;
    Clock::time_point latest = client.burstStart + kLongestBurst;
    if (now < settled && now < latest)
    {
        client.pWorker->Post(client.hRef, std::min(settled, latest),
                             [this, &client] { CheckSetup(client); });
        return;
    }
    client.bCheckPending = false;

    // Only a change of what can be listed is worth telling: our own clients, hidden ports
    // and subscriptions come and go without one.
    std::string sSnapshot = Snapshot(client);
    if (sSnapshot == client.sSnapshot)
        return;
    client.sSnapshot = sSnapshot;
    if (client.pNotifyProc)
    {
        MIDINotification message{kMIDIMsgSetupChanged, sizeof(MIDINotification)};
        client.pNotifyProc(&message, client.pRefCon);
    }
}

std::string AlsaMidi::Snapshot(Client& client)
{
    std::set<int> ownClientIds;
    {
        std::lock_guard lock(m_mutex);
        ownClientIds = m_ownClientIds;
    }
    return SnapshotOf(client.pSeq, ownClientIds);
}
