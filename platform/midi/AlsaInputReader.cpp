#include "platform/midi/AlsaInputReader.h"

#include "platform/midi/AlsaClient.h"
#include "platform/midi/AlsaEndpoints.h"
#include "platform/midi/MidiPacket.h"
#include "toolkit/DebugLog.h"

#include <algorithm>

namespace
{
// A wake reads at most this many events, so that the worker's timed tasks also run under
// a steady stream.
constexpr int kEventsPerWake = 4096;
constexpr size_t kLongestPacket = 0xFFFF;
constexpr size_t kPacketStorageWords =
    (kMIDIPacketListHeaderSize + kMIDIPacketHeaderSize + kLongestPacket + sizeof(uint64_t) - 1) /
    sizeof(uint64_t);

const AlsaInputReader::tagRoute* RouteTo(const AlsaInputReader::Routes& routes,
                                         MIDIPortRef hPort)
{
    auto it = std::find_if(routes.begin(), routes.end(),
                           [&](const AlsaInputReader::tagRoute& route) { return route.hPort == hPort; });
    return it == routes.end() ? nullptr : &*it;
}
} // namespace

std::unique_ptr<AlsaInputReader> AlsaInputReader::Start(const AlsaClient& client,
                                                        const AlsaEndpoints& endpoints,
                                                        MIDIClientRef hClient,
                                                        MIDINotifyProc pNotifyProc, void* pRefCon)
{
    snd_midi_event_t* pDecoder = nullptr;
    if (!AlsaClient::Check("create event decoder", snd_midi_event_new(0, &pDecoder)))
        return nullptr;
    // Each incoming event must come back as a whole message, status byte included.
    snd_midi_event_no_status(pDecoder, 1);
    return std::unique_ptr<AlsaInputReader>(
        new AlsaInputReader(client, endpoints, pDecoder, hClient, pNotifyProc, pRefCon));
}

AlsaInputReader::AlsaInputReader(const AlsaClient& client, const AlsaEndpoints& endpoints,
                                 snd_midi_event_t* pDecoder, MIDIClientRef hClient,
                                 MIDINotifyProc pNotifyProc, void* pRefCon)
    : m_client(client), m_pNotifyProc(pNotifyProc), m_pRefCon(pRefCon), m_pDecoder(pDecoder),
      m_aPacketStorage(kPacketStorageWords), m_hClient(hClient),
      m_setupWatch(client, endpoints, m_worker, hClient, pNotifyProc, pRefCon),
      m_worker("qm-midi-alsa", client.InputDescriptor(), [this] { ReadEvents(); })
{
    // The kernel's input pool holds a tenth of a second of an unpaced sender: a reader
    // kept from running longer than that loses events. Without the right it reads as before,
    // and a loss is still reported.
    m_worker.RequestRealTime();
}

AlsaInputReader::~AlsaInputReader()
{
    m_worker.Stop(); // runs the frees still owed
    delete m_pRoutes.load();
    snd_midi_event_free(m_pDecoder);
}

void AlsaInputReader::Publish(std::unique_ptr<const Routes> pRoutes)
{
    const Routes* pOld = m_pRoutes.exchange(pRoutes.release());
    // Reads happen between the worker's tasks, never during one.
    m_worker.Post(m_hClient, MidiWorker::Clock::now(), [pOld] { delete pOld; }, true);
}

// On the worker, when the handle has input: until a read finds nothing, or for a while
// at most.
void AlsaInputReader::ReadEvents()
{
    m_bReading = true;
    ReadWaitingEvents();
    // A wake that ended at its cap may leave events in the library's buffer, which does
    // not make the handle readable: the worker comes back for them after its tasks.
    if (m_client.BufferedEvents() > 0)
    {
        m_worker.Post(m_hClient, MidiWorker::Clock::now(), [this] { ReadEvents(); });
        return;
    }
    m_bReading = false;
}

void AlsaInputReader::ReadWaitingEvents()
{
    for (int iRead = 0; iRead < kEventsPerWake; ++iRead)
    {
        snd_seq_event_t* pEvent = nullptr;
        int iResult = m_client.ReadEvent(&pEvent);
        if (iResult == -EAGAIN)
            break;
        if (iResult == -ENOSPC)
        {
            DebugPrintf("ALSA sequencer: input overrun, events were lost");
            ReportInputBroken(*m_pRoutes.load(), kMIDIInputDataLost, -1, -1);
            continue;
        }
        if (!AlsaClient::Check("read event", iResult))
            break;
        if (!pEvent)
            continue;

        // Picks the port an event is for; Deliver looks again, as the port's work.
        const Routes* pRoutes = m_pRoutes.load();
        if (pEvent->dest.port == m_client.AnnouncePort())
        {
            OnAnnouncement(*pRoutes, *pEvent);
            continue;
        }

        // One event is one packet: SysEx as it came, anything else as its MIDI bytes.
        unsigned char aShort[16];
        const unsigned char* pData = aShort;
        size_t nLength = 0;
        if (pEvent->type == SND_SEQ_EVENT_SYSEX)
        {
            pData = static_cast<const unsigned char*>(pEvent->data.ext.ptr);
            nLength = pEvent->data.ext.len;
        }
        else
        {
            long iDecoded = snd_midi_event_decode(m_pDecoder, aShort, sizeof(aShort), pEvent);
            if (iDecoded <= 0)
                continue; // not a MIDI message
            nLength = size_t(iDecoded);
        }
        if (nLength == 0 || nLength > kLongestPacket)
            continue;

        auto itRoute = std::find_if(pRoutes->begin(), pRoutes->end(),
                                    [&](const tagRoute& route)
                                    { return route.iOwnPort == pEvent->dest.port; });
        if (itRoute == pRoutes->end())
            continue;
        const MIDIPortRef hPort = itRoute->hPort;
        const MIDIEndpointRef hSource =
            AlsaEndpoints::Ref(pEvent->source.client, pEvent->source.port);
        m_worker.Run(hPort, [&] { Deliver(hPort, pData, nLength, hSource); });
    }
}

void AlsaInputReader::OnAnnouncement(const Routes& routes, const snd_seq_event_t& event)
{
    switch (event.type)
    {
    case SND_SEQ_EVENT_CLIENT_EXIT:
        ReportInputBroken(routes, kMIDIInputSourceGone, event.data.addr.client, -1);
        m_setupWatch.OnAnnounce();
        break;
    case SND_SEQ_EVENT_PORT_EXIT:
        ReportInputBroken(routes, kMIDIInputSourceGone, event.data.addr.client,
                          event.data.addr.port);
        m_setupWatch.OnAnnounce();
        break;
    case SND_SEQ_EVENT_CLIENT_START:
    case SND_SEQ_EVENT_CLIENT_CHANGE:
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_PORT_CHANGE:
        m_setupWatch.OnAnnounce();
        break;
    default:
        break;
    }
}

// On the worker, as the port's work. The routes are loaded again only now: a port no
// longer routed (disposed, or the source disconnected) gets nothing.
void AlsaInputReader::Deliver(MIDIPortRef hPort, const unsigned char* pData, size_t nLength,
                              MIDIEndpointRef hSource)
{
    const tagRoute* pRoute = RouteTo(*m_pRoutes.load(), hPort);
    if (!pRoute)
        return;
    // Anything else connected to the port (a patchbay's doing) is not what was chosen.
    auto itConnection = std::find_if(pRoute->connections.begin(), pRoute->connections.end(),
                                     [&](const tagConnection& connection)
                                     { return connection.hSource == hSource; });
    if (itConnection == pRoute->connections.end())
        return;
    const size_t nListSize = kMIDIPacketListHeaderSize + kMIDIPacketHeaderSize + nLength;
    auto* pList = reinterpret_cast<MIDIPacketList*>(m_aPacketStorage.data());
    MIDIPacketListAdd(pList, nListSize, MIDIPacketListInit(pList), 0, nLength, pData);
    pRoute->pReadProc(pList, pRoute->pRefCon, itConnection->pConnRefCon);
}

// On the worker, in order with the events. The sources connected to the client's input
// ports at the address (-1 for any client or port) hear that their input broke off: the
// kernel threw away what was waiting for the client, or the source went away.
void AlsaInputReader::ReportInputBroken(const Routes& routes, OSStatus reason, int iSourceClient,
                                        int iSourcePort)
{
    if (!m_pNotifyProc)
        return;
    for (const tagRoute& route : routes)
        for (const tagConnection& connection : route.connections)
        {
            int iClient, iPort;
            if (!AlsaEndpoints::Decode(connection.hSource, &iClient, &iPort) ||
                (iSourceClient >= 0 && iClient != iSourceClient) ||
                (iSourcePort >= 0 && iPort != iSourcePort))
                continue;
            m_worker.Run(route.hPort,
                         [&]
                         {
                             MIDIIOErrorNotification message{kMIDIMsgIOError,
                                                             sizeof(MIDIIOErrorNotification),
                                                             connection.hSource, reason};
                             m_pNotifyProc(reinterpret_cast<MIDINotification*>(&message),
                                           m_pRefCon);
                         });
        }
}
