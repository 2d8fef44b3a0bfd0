// The output side of CLumMidi: SysEx blocks sent asynchronously with a completion call,
// short messages sent at once, and the 7-bit packing used by MIDI dumps.

#include "midi/LumMidi.h"

#include "toolkit/DebugLog.h"

#include <algorithm>
#include <cstring>

namespace
{
// What a SysEx send owns besides its request, from Out until the completion.
struct tagSysExSendRecord
{
    CLumMidi* pMidi;
    unsigned char* pData; // private copy of the caller's bytes
    int iLength;
};
} // namespace

int CLumMidi::Out(int iLength, unsigned char* pData)
{
    if (!MidiOutIsOpen())
        return 0;
    if (iLength <= 0 || !pData)
        return kMIDIParamErr;

    auto* pRecord = new tagSysExSendRecord{this, new unsigned char[size_t(iLength)], iLength};
    memcpy(pRecord->pData, pData, size_t(iLength));
    auto* pRequest = new MIDISysexSendRequest{m_hDestination, pRecord->pData,  uint32_t(iLength),
                                              false,          MacCompleteProc, pRecord};
    OSStatus status = MidiService::Get().SendSysex(m_hOutPort, pRequest);
    if (status != kMIDINoErr)
    {
        // A refused send never completes, so its records are released here.
        delete[] pRecord->pData;
        delete pRecord;
        delete pRequest;
    }
    return status;
}

void CLumMidi::MacCompleteProc(MIDISysexSendRequest* pRequest)
{
    auto* pRecord = static_cast<tagSysExSendRecord*>(pRequest->completionRefCon);
    CLumMidi* pThis = pRecord->pMidi;
    CLumMidiListener* pListener = pThis->m_pListener.load();
    if (!pRequest->complete)
    {
        DebugPrintf("CLumMidi: the destination went away during a SysEx send.");
        if (pListener)
            pListener->OnLumMidiOutSysExSendFailed(pThis, pRecord->iLength);
    }
    else
    {
        pThis->OnMidiOutSysExSendComplete(pRecord->iLength);
        if (pListener)
            pListener->OnLumMidiOutSysExSendComplete(pThis, pRecord->iLength);
    }
    delete[] pRecord->pData;
    delete pRecord;
    delete pRequest;
}

int CLumMidi::Out(int iChannel, int iStatus, int iData1, int iData2)
{
    if (!MidiOutIsOpen())
        return 0;
    alignas(8) unsigned char aBuffer[128];
    auto* pList = reinterpret_cast<MIDIPacketList*>(aBuffer);
    MIDIPacket* pPacket = MIDIPacketListInit(pList);
    const unsigned char aMessage[3] = {
        static_cast<unsigned char>((iStatus & 0xF0) | (iChannel & 0x0F)),
        static_cast<unsigned char>(iData1 & 0xFF), static_cast<unsigned char>(iData2 & 0xFF)};
    MIDIPacketListAdd(pList, sizeof(aBuffer), pPacket, 0, sizeof(aMessage), aMessage);
    OSStatus status = MidiService::Get().Send(m_hOutPort, m_hDestination, pList);
    if (status != kMIDINoErr)
        DebugPrintf("Faild to send MIDI Short Message.");
    return status;
}

int CLumMidi::MemoryToMidi(unsigned char* pDest, unsigned char* pSrc, int iCount)
{
    if (!pDest || !pSrc)
        return 0;
    int iWritten = 0;
    for (int iGroup = 0; iGroup < iCount; iGroup += 7)
    {
        int iSize = std::min(7, iCount - iGroup);
        unsigned char uHeader = 0;
        for (int k = 0; k < iSize; ++k)
            uHeader |= static_cast<unsigned char>((pSrc[iGroup + k] >> 7) << k);
        pDest[iWritten++] = uHeader;
        for (int k = 0; k < iSize; ++k)
            pDest[iWritten++] = pSrc[iGroup + k] & 0x7F;
    }
    return iWritten;
}

void CLumMidi::MidiToMemory(unsigned char* pDest, unsigned char* pSrc, int iCount)
{
    if (!pDest || !pSrc)
        return;
    int iRead = 0;
    for (int iGroup = 0; iGroup < iCount; iGroup += 7)
    {
        int iSize = std::min(7, iCount - iGroup);
        unsigned char uHeader = pSrc[iRead++];
        for (int k = 0; k < iSize; ++k)
            pDest[iGroup + k] =
                static_cast<unsigned char>(pSrc[iRead++] | (((uHeader >> k) & 1) << 7));
    }
}

int CalcDumpMessageSize(int iCount)
{
    if (iCount <= 0)
        return 0;
    int iRest = iCount % 7;
    return (iCount / 7) * 8 + (iRest ? iRest + 1 : 0);
}
