#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// MIDI data as the MIDI service hands it over and takes it: a packet list is a packet
// count followed by the packets back to back; a packet is a time stamp, a byte count and
// that many bytes, and the next packet starts right after its last byte. The structures
// are byte-packed so that a packet may start at any address.

#pragma pack(push, 1)
struct MIDIPacket
{
    uint64_t timeStamp; // 0 = now; not used otherwise
    uint16_t length;
    uint8_t data[256]; // nominal size: a packet holds `length` bytes, read through a pointer
};

struct MIDIPacketList
{
    uint32_t numPackets;
    MIDIPacket packet[1];
};
#pragma pack(pop)

// Bytes in front of the data of a packet, and in front of the first packet of a list.
constexpr size_t kMIDIPacketHeaderSize = offsetof(MIDIPacket, data);
constexpr size_t kMIDIPacketListHeaderSize = offsetof(MIDIPacketList, packet);

inline const MIDIPacket* MIDIPacketNext(const MIDIPacket* pPacket)
{
    const uint8_t* pData = pPacket->data;
    return reinterpret_cast<const MIDIPacket*>(pData + pPacket->length);
}

inline MIDIPacket* MIDIPacketListInit(MIDIPacketList* pList)
{
    pList->numPackets = 0;
    return &pList->packet[0];
}

// Appends one packet at pCurrent (the result of Init or of the previous Add) in a list
// buffer of iListSize bytes. Returns where the next packet goes, or null when the bytes
// do not fit.
inline MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pList, size_t iListSize, MIDIPacket* pCurrent,
                                     uint64_t timeStamp, size_t iLength, const uint8_t* pData)
{
    uint8_t* pBegin = reinterpret_cast<uint8_t*>(pList);
    uint8_t* pPacket = reinterpret_cast<uint8_t*>(pCurrent);
    if (iLength > 0xFFFF || pPacket < pBegin + kMIDIPacketListHeaderSize ||
        size_t(pPacket - pBegin) + kMIDIPacketHeaderSize + iLength > iListSize)
        return nullptr;
    pCurrent->timeStamp = timeStamp;
    pCurrent->length = uint16_t(iLength);
    if (iLength > 0)
        memcpy(pPacket + kMIDIPacketHeaderSize, pData, iLength);
    pList->numPackets += 1;
    return reinterpret_cast<MIDIPacket*>(pPacket + kMIDIPacketHeaderSize + iLength);
}

// A packet list in its own storage, built from byte strings; one longer than a packet
// can hold becomes several packets.
class MidiPacketListBuffer
{
public:
    explicit MidiPacketListBuffer(const std::vector<std::vector<uint8_t>>& packets)
    {
        size_t iSize = kMIDIPacketListHeaderSize;
        for (const auto& packet : packets)
            iSize += (packet.size() / kMaxLength + 1) * kMIDIPacketHeaderSize + packet.size();
        m_aStorage.resize((iSize + sizeof(uint64_t) - 1) / sizeof(uint64_t));
        MIDIPacketList* pList = List();
        MIDIPacket* pPacket = MIDIPacketListInit(pList);
        for (const auto& packet : packets)
        {
            size_t iOffset = 0;
            do
            {
                size_t iLength = std::min(packet.size() - iOffset, kMaxLength);
                pPacket =
                    MIDIPacketListAdd(pList, iSize, pPacket, 0, iLength, packet.data() + iOffset);
                iOffset += iLength;
            } while (iOffset < packet.size());
        }
    }

    MIDIPacketList* List() { return reinterpret_cast<MIDIPacketList*>(m_aStorage.data()); }

private:
    static constexpr size_t kMaxLength = 0xFFFF;
    std::vector<uint64_t> m_aStorage;
};
