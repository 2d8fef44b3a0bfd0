#pragma once

#include <cstddef>
#include <cstdint>

// Who a SysEx message comes from, by the manufacturer ID that follows its F0: one byte
// (01-7D), or 00 and two more bytes. The universal IDs 7E (non-real time) and 7F (real
// time) carry a device ID and sub-IDs that say what the message is.
struct tagMidiManufacturer
{
    // The ID's bytes, most significant first: 0x41 for Roland, 0x002029 (00 20 29) for
    // Novation; nIDLength tells the two kinds apart.
    uint32_t uiID = 0;
    int nIDLength = 0;                // 1 or 3; 0 when there is none
    int iDeviceID = -1;               // the byte after the ID, -1 when there is none
    size_t nDataStart = 0;            // where the bytes after the device ID begin
    const char* pszName = nullptr;    // null for an ID missing from the table
    const char* pszSubName = nullptr; // what a universal message is, when known
};

class CMidiManufacturer
{
public:
    // pMessage starts with F0; nLength counts every byte of it.
    static tagMidiManufacturer Identify(const unsigned char* pMessage, size_t nLength);

    // The text the message list and the report show: the name, a universal message's
    // kind after it ("Universal Non-Real Time: Identity Reply"), or the ID in hex
    // ("00 21 7F") when it is not in the table. Empty when the message holds no ID.
    // Returns the length written (cut to the buffer).
    static int Format(const tagMidiManufacturer& maker, char* pszText, size_t nSize);

    // The name of a one- or three-byte ID, or null. 00 00 41 (Microsoft) is not 41 (Roland).
    static const char* NameOf(int nIDLength, uint32_t uiID);
    // What a universal message (uiID 0x7E or 0x7F) with these sub-IDs is, or null.
    // iSubID2 is -1 when the message has no second sub-ID.
    static const char* UniversalNameOf(uint32_t uiID, int iSubID1, int iSubID2);
};
