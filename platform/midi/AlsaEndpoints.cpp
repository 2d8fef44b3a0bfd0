#include "platform/midi/AlsaEndpoints.h"

#include "platform/midi/AlsaClient.h"

namespace
{
// An endpoint reference carries the sequencer address: tag | client << 8 | port.
constexpr MIDIEndpointRef kEndpointTag = 0x10000;
} // namespace

struct AlsaEndpoints::tagEndpoint
{
    int iClient;
    int iPort;
    const char* pszClientName;
    const char* pszPortName;
};

MIDIEndpointRef AlsaEndpoints::Ref(int iClient, int iPort)
{
    return kEndpointTag | (MIDIEndpointRef(iClient & 0xFF) << 8) | MIDIEndpointRef(iPort & 0xFF);
}

bool AlsaEndpoints::Decode(MIDIEndpointRef hEndpoint, int* pClient, int* pPort)
{
    if ((hEndpoint & ~MIDIEndpointRef(0xFFFF)) != kEndpointTag)
        return false;
    *pClient = int((hEndpoint >> 8) & 0xFF);
    *pPort = int(hEndpoint & 0xFF);
    return true;
}

void AlsaEndpoints::AddOwnClient(int iClient)
{
    m_abOwnClient[size_t(iClient) % m_abOwnClient.size()] = true;
}

void AlsaEndpoints::RemoveOwnClient(int iClient)
{
    m_abOwnClient[size_t(iClient) % m_abOwnClient.size()] = false;
}

bool AlsaEndpoints::IsOwnClient(int iClient) const
{
    return m_abOwnClient[size_t(iClient) % m_abOwnClient.size()];
}

template <class Visit>
void AlsaEndpoints::ForEach(const AlsaClient& client, bool bSources, Visit&& visit) const
{
    snd_seq_client_info_t* pClientInfo;
    snd_seq_port_info_t* pPortInfo;
    snd_seq_client_info_alloca(&pClientInfo);
    snd_seq_port_info_alloca(&pPortInfo);
    const unsigned uNeeded = bSources ? SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ
                                      : SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    snd_seq_client_info_set_client(pClientInfo, -1);
    while (snd_seq_query_next_client(client.m_pSeq, pClientInfo) >= 0)
    {
        int iClient = snd_seq_client_info_get_client(pClientInfo);
        if (iClient == SND_SEQ_CLIENT_SYSTEM || IsOwnClient(iClient))
            continue;
        snd_seq_port_info_set_client(pPortInfo, iClient);
        snd_seq_port_info_set_port(pPortInfo, -1);
        while (snd_seq_query_next_port(client.m_pSeq, pPortInfo) >= 0)
        {
            unsigned uCaps = snd_seq_port_info_get_capability(pPortInfo);
            if ((uCaps & SND_SEQ_PORT_CAP_NO_EXPORT) || (uCaps & uNeeded) != uNeeded)
                continue;
            visit(tagEndpoint{iClient, snd_seq_port_info_get_port(pPortInfo),
                              snd_seq_client_info_get_name(pClientInfo),
                              snd_seq_port_info_get_name(pPortInfo)});
        }
    }
}

int AlsaEndpoints::Count(const AlsaClient& client, bool bSources) const
{
    int iCount = 0;
    ForEach(client, bSources, [&](const tagEndpoint&) { ++iCount; });
    return iCount;
}

MIDIEndpointRef AlsaEndpoints::At(const AlsaClient& client, bool bSources, int iIndex) const
{
    MIDIEndpointRef hFound = 0;
    int iAt = 0;
    ForEach(client, bSources,
            [&](const tagEndpoint& endpoint)
            {
                if (iAt++ == iIndex)
                    hFound = Ref(endpoint.iClient, endpoint.iPort);
            });
    return hFound;
}

std::string AlsaEndpoints::Listing(const AlsaClient& client) const
{
    std::string sListing;
    for (bool bSources : {true, false})
    {
        sListing += bSources ? "S" : "D";
        ForEach(client, bSources,
                [&](const tagEndpoint& e)
                {
                    sListing += std::to_string(e.iClient) + ":" + std::to_string(e.iPort) +
                                "\x1f" + e.pszClientName + "\x1f" + e.pszPortName + "\x1e";
                });
    }
    return sListing;
}

OSStatus AlsaEndpoints::PortName(const AlsaClient& client, MIDIEndpointRef hEndpoint,
                                 std::string* pName) const
{
    int iClient, iPort;
    if (!Decode(hEndpoint, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    snd_seq_port_info_t* pPortInfo;
    snd_seq_port_info_alloca(&pPortInfo);
    if (snd_seq_get_any_port_info(client.m_pSeq, iClient, iPort, pPortInfo) < 0)
        return kMIDIUnknownEndpoint;
    *pName = snd_seq_port_info_get_name(pPortInfo);
    return kMIDINoErr;
}

OSStatus AlsaEndpoints::ClientName(const AlsaClient& client, MIDIEndpointRef hEndpoint,
                                   std::string* pName) const
{
    int iClient, iPort;
    if (!Decode(hEndpoint, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    snd_seq_client_info_t* pClientInfo;
    snd_seq_client_info_alloca(&pClientInfo);
    if (snd_seq_get_any_client_info(client.m_pSeq, iClient, pClientInfo) < 0)
        return kMIDIUnknownEndpoint;
    *pName = snd_seq_client_info_get_name(pClientInfo);
    return kMIDINoErr;
}

// Hardware ports, by what the sequencer says of them: every port of a kernel client (MIDI
// devices, "Midi Through" and virtual raw MIDI, which may feed a cable), and a user
// client's port whose type has SND_SEQ_PORT_TYPE_HARDWARE or SND_SEQ_PORT_TYPE_PORT (a
// bridge to other devices). Other user clients' ports are software ports.
OSStatus AlsaEndpoints::Kind(const AlsaClient& client, MIDIEndpointRef hEndpoint,
                             MIDIEndpointKind* pKind) const
{
    int iClient, iPort;
    if (!Decode(hEndpoint, &iClient, &iPort))
        return kMIDIUnknownEndpoint;
    snd_seq_client_info_t* pClientInfo;
    snd_seq_port_info_t* pPortInfo;
    snd_seq_client_info_alloca(&pClientInfo);
    snd_seq_port_info_alloca(&pPortInfo);
    if (snd_seq_get_any_client_info(client.m_pSeq, iClient, pClientInfo) < 0 ||
        snd_seq_get_any_port_info(client.m_pSeq, iClient, iPort, pPortInfo) < 0)
        return kMIDIUnknownEndpoint;
    const bool bKernel = snd_seq_client_info_get_type(pClientInfo) == SND_SEQ_KERNEL_CLIENT;
    const unsigned uType = snd_seq_port_info_get_type(pPortInfo);
    *pKind = bKernel || (uType & (SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_PORT))
                 ? kMIDIEndpointHardware
                 : kMIDIEndpointSoftware;
    return kMIDINoErr;
}

bool AlsaEndpoints::Exists(const AlsaClient& client, MIDIEndpointRef hEndpoint) const
{
    int iClient, iPort;
    snd_seq_port_info_t* pPortInfo;
    snd_seq_port_info_alloca(&pPortInfo);
    return Decode(hEndpoint, &iClient, &iPort) &&
           snd_seq_get_any_port_info(client.m_pSeq, iClient, iPort, pPortInfo) >= 0;
}
