#include "platform/midi/AlsaClient.h"

#include "toolkit/DebugLog.h"

#include <sys/ioctl.h>

namespace
{
// What the reader has not taken yet waits in the client's input pool, in cells of 28
// bytes: a 256-byte SysEx event takes 11, so the 2000 cells the kernel grants at most
// (SNDRV_SEQ_MAX_CLIENT_EVENTS; it ignores a larger request and keeps its default of 200)
// hold about 180 events, a little over 100 ms of an unpaced sender. One read can take a
// full pool (about 56 KiB); the buffer is 4 times that. bench_receive_loss in the VM,
// unpaced amidi dumps of 256-byte messages, 64 KiB / 256 KiB / 1 / 4 / 16 MiB: 200 cells
// lost all of them, 1000 cells lost from 4 MiB on; with 2000 cells the 4 MiB dump and
// the 16 MiB dump were each exact in 4 of 7 runs and lost in the others. Buffers of
// 64 KiB, 256 KiB, 512 KiB and 1 MiB made no difference beyond that run-to-run spread.
// What is left is the reader's thread not being run for longer than the pool lasts.
constexpr int kInputPoolCells = 2000;
constexpr size_t kInputBufferBytes = 256 * 1024;

// libasound would print its own lines to standard error; Check logs the failure.
void QuietErrorHandler(const char*, int, const char*, int, const char*, ...) {}

// The kernel's record and request for a client's pools (sound/asequencer.h, which cannot
// be included beside libasound's headers).
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
} // namespace

bool AlsaClient::Check(const char* pszOperation, int iResult)
{
    if (iResult >= 0)
        return true;
    DebugPrintf("ALSA sequencer: %s: %s", pszOperation, snd_strerror(iResult));
    return false;
}

std::unique_ptr<AlsaClient> AlsaClient::Open()
{
    snd_lib_error_set_handler(QuietErrorHandler);
    std::unique_ptr<AlsaClient> pClient(new AlsaClient);
    if (!Check("open sequencer", snd_seq_open(&pClient->m_pSeq, "default", SND_SEQ_OPEN_DUPLEX, 0)))
    {
        pClient->m_pSeq = nullptr;
        return nullptr;
    }
    pClient->m_iId = snd_seq_client_id(pClient->m_pSeq);
    return pClient;
}

AlsaClient::~AlsaClient()
{
    if (m_pEncoder)
        snd_midi_event_free(m_pEncoder);
    if (m_pSeq)
        snd_seq_close(m_pSeq); // removes the client's ports and their subscriptions
}

bool AlsaClient::SetName(const char* pszName)
{
    return Check("name client", snd_seq_set_client_name(m_pSeq, pszName));
}

bool AlsaClient::PrepareToReceive()
{
    // A dump of many messages comes as fast as the sender writes: the kernel keeps what
    // the reader has not taken yet in the client's input pool, and drops what does not
    // fit. The largest pool it grants, and a read buffer to match, ride out the bursts.
    Check("enlarge input pool", snd_seq_set_client_pool_input(m_pSeq, kInputPoolCells));
    Check("enlarge input buffer", snd_seq_set_input_buffer_size(m_pSeq, kInputBufferBytes));
    m_iAnnouncePort = snd_seq_create_simple_port(
        m_pSeq, "Announce", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
        SND_SEQ_PORT_TYPE_APPLICATION);
    if (!Check("create announcement port", m_iAnnouncePort) ||
        !Check("subscribe to announcements",
               snd_seq_connect_from(m_pSeq, m_iAnnouncePort, SND_SEQ_CLIENT_SYSTEM,
                                    SND_SEQ_PORT_SYSTEM_ANNOUNCE)) ||
        !Check("create event encoder", snd_midi_event_new(kSysExPiece, &m_pEncoder)))
        return false;
    pollfd descriptor{};
    if (snd_seq_poll_descriptors(m_pSeq, &descriptor, 1, POLLIN) != 1)
    {
        DebugPrintf("ALSA sequencer: no poll descriptor for input");
        return false;
    }
    // Reads never wait: the reader reads until the kernel has nothing more, and that last
    // read is also where it learns of an overrun. The kernel flags one only by the error of
    // the next read; poll() does not wake for it, so one that comes after the last events
    // would otherwise stay unseen. Direct sends are not affected: they never wait.
    if (!Check("make reads non-blocking", snd_seq_nonblock(m_pSeq, 1)))
        return false;
    m_iInputFd = descriptor.fd;
    return true;
}

// The kernel keeps an event in cells of the size of an event record, its data in as many
// more; an event that does not fit is refused, and the refusal also makes the client's
// next read throw away everything that was waiting for it. So a full input is waited out,
// not written to. libasound asks only for the caller's own pool; the kernel answers for
// any client. Kernel clients have no input pool: they take events as they come.
bool AlsaClient::HasRoomFor(int iClient, uint32_t uLength) const
{
    pollfd descriptor{};
    if (snd_seq_poll_descriptors(m_pSeq, &descriptor, 1, POLLOUT) != 1)
        return true;
    tagSeqClientPool pool{};
    pool.iClient = iClient;
    if (ioctl(descriptor.fd, kSeqGetClientPool, &pool) < 0 || pool.iInputPool <= 0)
        return true;
    const int iCells = 1 + int((uLength + sizeof(snd_seq_event_t) - 1) / sizeof(snd_seq_event_t));
    return pool.iInputFree >= iCells;
}

int AlsaClient::CreatePort(const char* pszName, bool bInput)
{
    unsigned uCaps = bInput ? SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE
                            : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    int iPort = snd_seq_create_simple_port(m_pSeq, pszName, uCaps,
                                           SND_SEQ_PORT_TYPE_MIDI_GENERIC |
                                               SND_SEQ_PORT_TYPE_APPLICATION);
    Check(bInput ? "create input port" : "create output port", iPort);
    return iPort;
}

void AlsaClient::DeletePort(int iPort)
{
    Check("delete port", snd_seq_delete_simple_port(m_pSeq, iPort));
}

bool AlsaClient::ConnectFrom(int iOwnPort, int iClient, int iPort)
{
    return Check("connect source", snd_seq_connect_from(m_pSeq, iOwnPort, iClient, iPort));
}

void AlsaClient::DisconnectFrom(int iOwnPort, int iClient, int iPort)
{
    // Fails when the source has gone, which took the subscription with it.
    Check("disconnect source", snd_seq_disconnect_from(m_pSeq, iOwnPort, iClient, iPort));
}

bool AlsaClient::ConnectTo(int iOwnPort, int iClient, int iPort)
{
    return Check("connect destination", snd_seq_connect_to(m_pSeq, iOwnPort, iClient, iPort));
}

void AlsaClient::DisconnectTo(int iOwnPort, int iClient, int iPort)
{
    Check("disconnect destination", snd_seq_disconnect_to(m_pSeq, iOwnPort, iClient, iPort));
}

int AlsaClient::OutputDirect(snd_seq_event_t* pEvent)
{
    return snd_seq_event_output_direct(m_pSeq, pEvent);
}

int AlsaClient::ReadEvent(snd_seq_event_t** ppEvent) const
{
    return snd_seq_event_input(m_pSeq, ppEvent);
}
