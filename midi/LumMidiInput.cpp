// The input side of CLumMidi: packets are cut into runs at status bytes, every run goes
// to the receiving callbacks as it is, runs with a status byte go to the receive
// callbacks, and SysEx messages are assembled across runs and packets. Everything here
// runs on the MIDI service's receive thread.

#include "midi/LumMidi.h"

#include "toolkit/DebugLog.h"

#include <cstdio>
#include <cstring>

namespace
{
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEnd = 0xF7;

bool IsStatus(unsigned char b)
{
    return (b & 0x80) != 0;
}

// Real-time bytes (clock, start, stop, active sensing, ...) may come between any two
// bytes of a message without belonging to it.
bool IsRealTime(unsigned char b)
{
    return b >= 0xF8;
}
} // namespace

void CLumMidi::MacReadProc(const MIDIPacketList* pList, void* pReadProcRefCon,
                           void* /*pSrcConnRefCon*/)
{
    CLumMidi* pThis = static_cast<CLumMidi*>(pReadProcRefCon);
    if (!pThis || !pList)
        return;
    const MIDIPacket* pPacket = &pList->packet[0];
    for (uint32_t i = 0; i < pList->numPackets; ++i, pPacket = MIDIPacketNext(pPacket))
        pThis->CutIntoRuns(pPacket->data, pPacket->length);
}

// A run starts at the packet's first byte and at every status byte, and ends before the
// next status byte or at the end of the packet. A real-time byte is a run of its own,
// handed on the moment it is met; the run it interrupted goes on after it and is handed
// on whole when it ends (gathered in m_aRunBuffer, the only case that copies).
void CLumMidi::CutIntoRuns(const unsigned char* pData, int iLength)
{
    unsigned char* pBytes = const_cast<unsigned char*>(pData);
    int iStart = 0;
    bool bGathered = false; // the current run so far is in m_aRunBuffer
    auto handOn = [&](int iEnd)
    {
        if (bGathered)
        {
            m_aRunBuffer.insert(m_aRunBuffer.end(), pBytes + iStart, pBytes + iEnd);
            MacRecvProcess(int(m_aRunBuffer.size()), m_aRunBuffer.data());
        }
        else if (iEnd > iStart)
            MacRecvProcess(iEnd - iStart, pBytes + iStart);
        bGathered = false;
    };

    for (int i = 0; i < iLength; ++i)
    {
        unsigned char b = pBytes[i];
        if (!IsStatus(b))
            continue;
        if (IsRealTime(b))
        {
            if (i > iStart)
            {
                if (!bGathered)
                    m_aRunBuffer.clear();
                m_aRunBuffer.insert(m_aRunBuffer.end(), pBytes + iStart, pBytes + i);
                bGathered = true;
            }
            MacRecvProcess(1, pBytes + i);
            iStart = i + 1;
            continue;
        }
        handOn(i);
        iStart = i;
    }
    handOn(iLength);
}

void CLumMidi::MacRecvProcess(int iLength, unsigned char* pData)
{
    if (iLength <= 0 || !pData)
        return;
    CLumMidiListener* pListener = m_pListener.load();

    OnMidiInReceiving(iLength, pData);
    if (pListener)
        pListener->OnLumMidiInReceiving(this, iLength, pData);

    unsigned char b = pData[0];
    if (m_bSysExDropped && b != kSysExStart && (b == kSysExEnd || !IsStatus(b)))
    {
        // The tail of an overlong message: skipped without complaint up to its F7.
        if (b == kSysExEnd)
            m_bSysExDropped = false;
        return;
    }
    if (b == kSysExStart)
    {
        // A new F0 drops an unfinished message.
        m_bSysExDropped = false;
        m_aSysExBuffer.clear();
        m_iSysExSize = 0;
        m_bSysExInProgress = 1;
        AppendSysEx(pData, iLength);
    }
    else if (b == kSysExEnd)
    {
        if (!m_bSysExInProgress)
        {
            DebugPrintf("<Data Error? Eox:%d>", b);
            return;
        }
        AppendSysEx(pData, 1);
    }
    else if (IsStatus(b))
    {
        // A short message; a SysEx in progress stays in progress.
        OnMidiInRecv(iLength, pData);
        if (pListener)
            pListener->OnLumMidiInReceive(this, iLength, pData);
    }
    else
    {
        if (!m_bSysExInProgress)
        {
            DebugPrintf("<Data Error? Status Byte:%d>", b);
            return;
        }
        AppendSysEx(pData, iLength);
    }
}

// Appends bytes to the message in progress, up to and including an F7, which completes
// it; bytes after that F7 belong to no message.
void CLumMidi::AppendSysEx(const unsigned char* pData, int iLength)
{
    const void* pEnd = memchr(pData, kSysExEnd, size_t(iLength));
    int iTake = pEnd ? int(static_cast<const unsigned char*>(pEnd) - pData) + 1 : iLength;
    if (iTake > sm_iMaxSysExSize - m_iSysExSize)
    {
        DebugPrintf("CLumMidi::MacRecvProcess() - SysEx message longer than %d bytes dropped.",
                    sm_iMaxSysExSize);
        m_aSysExBuffer.clear();
        m_iSysExSize = 0;
        m_bSysExInProgress = 0;
        m_bSysExDropped = !pEnd;
        return;
    }
    m_aSysExBuffer.insert(m_aSysExBuffer.end(), pData, pData + iTake);
    m_iSysExSize += iTake;
    if (pEnd)
        DeliverSysEx();
}

// After a break in the input: what comes next continues no message from before it. Data
// bytes up to the next F7 are the rest of what the break cut into (also of a message too
// long to keep), skipped without a complaint each.
void CLumMidi::DropSysEx()
{
    m_bSysExDropped = true;
    m_bSysExInProgress = 0;
    m_aSysExBuffer.clear();
    m_iSysExSize = 0;
    m_aRunBuffer.clear();
}

// Hands on a copy: the callbacks may keep the pointer only for the call, and the buffer
// keeps the message until the next F0.
void CLumMidi::DeliverSysEx()
{
    std::vector<unsigned char> aMessage(m_aSysExBuffer);
    OnMidiInRecv(m_iSysExSize, aMessage.data());
    if (CLumMidiListener* pListener = m_pListener.load())
        pListener->OnLumMidiInReceive(this, m_iSysExSize, aMessage.data());
    m_bSysExInProgress = 0;
}

void CLumMidi::DebugMidiMessagePrint(const unsigned char* pData, int iLength)
{
    char szLine[256 + 8];
    int iLineLength = 0;
    szLine[0] = '\0';
    for (int i = 0; i < iLength && pData && iLineLength <= 255; ++i)
        iLineLength += snprintf(szLine + iLineLength, sizeof(szLine) - size_t(iLineLength),
                                i == 0 ? "%02X" : " %02X", pData[i]);
    if (iLineLength > 255)
        szLine[255] = '\0';
    DebugPrintf("%s", szLine);
}
