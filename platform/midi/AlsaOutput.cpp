#include "platform/midi/AlsaOutput.h"

#include "platform/midi/AlsaClient.h"
#include "platform/midi/AlsaEndpoints.h"

#include <algorithm>

AlsaOutput::AlsaOutput(AlsaClient& client, int iOwnPort) : m_client(client), m_iOwnPort(iOwnPort)
{
}

bool AlsaOutput::AimAt(MIDIEndpointRef hDestination, int iClient, int iPort)
{
    m_iClient = iClient;
    m_iPort = iPort;
    if (m_hSubscribed == hDestination)
        return true;
    int iOldClient, iOldPort;
    if (m_hSubscribed && AlsaEndpoints::Decode(m_hSubscribed, &iOldClient, &iOldPort))
        m_client.DisconnectTo(m_iOwnPort, iOldClient, iOldPort);
    m_hSubscribed = 0;
    if (!m_client.ConnectTo(m_iOwnPort, iClient, iPort))
        return false;
    m_hSubscribed = hDestination;
    return true;
}

OSStatus AlsaOutput::Send(const MIDIPacketList& list)
{
    snd_midi_event_t* pEncoder = m_client.Encoder();
    const MIDIPacket* pPacket = &list.packet[0];
    for (uint32_t i = 0; i < list.numPackets; ++i, pPacket = MIDIPacketNext(pPacket))
    {
        const unsigned char* pData = pPacket->data;
        long iLeft = pPacket->length;
        snd_midi_event_reset_encode(pEncoder);
        while (iLeft > 0)
        {
            snd_seq_event_t event;
            snd_seq_ev_clear(&event);
            long iUsed = snd_midi_event_encode(pEncoder, pData, iLeft, &event);
            if (!AlsaClient::Check("encode event", int(iUsed)) || iUsed == 0)
                return kMIDIMsgSendErr;
            pData += iUsed;
            iLeft -= iUsed;
            if (event.type == SND_SEQ_EVENT_NONE)
                continue; // incomplete so far
            snd_seq_ev_set_source(&event, m_iOwnPort);
            snd_seq_ev_set_dest(&event, m_iClient, m_iPort);
            snd_seq_ev_set_direct(&event);
            if (!AlsaClient::Check("send event", m_client.OutputDirect(&event)))
                return kMIDIMsgSendErr;
        }
    }
    return kMIDINoErr;
}

int AlsaOutput::SendSysExPieces(const MIDISysexSendRequest& request, uint32_t* pSent)
{
    while (*pSent < request.bytesToSend)
    {
        uint32_t uLength = std::min(AlsaClient::kSysExPiece, request.bytesToSend - *pSent);
        if (!m_client.HasRoomFor(m_iClient, uLength))
            return -EAGAIN;
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_seq_ev_set_source(&event, m_iOwnPort);
        snd_seq_ev_set_dest(&event, m_iClient, m_iPort);
        snd_seq_ev_set_direct(&event);
        snd_seq_ev_set_sysex(&event, uLength, const_cast<uint8_t*>(request.data + *pSent));
        int iResult = m_client.OutputDirect(&event);
        if (iResult == -EAGAIN || iResult == -ENOMEM)
            return iResult;
        if (!AlsaClient::Check("send SysEx", iResult))
            return iResult == -EINVAL ? -EIO : iResult;
        *pSent += uLength;
    }
    return 0;
}

MidiWorker::Clock::time_point AlsaOutput::Book(uint32_t uBytes)
{
    MidiWorker::Clock::time_point now = MidiWorker::Clock::now();
    if (m_uBytesPerSecond == 0)
        return now;
    MidiWorker::Clock::time_point end =
        std::max(now, m_busyUntil) +
        std::chrono::microseconds((uint64_t(uBytes) * 1000000 + m_uBytesPerSecond - 1) /
                                  m_uBytesPerSecond);
    m_busyUntil = end;
    return end;
}
