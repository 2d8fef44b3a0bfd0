#pragma once

#include "transfer/MidiManager.h"

#include <cstdint>
#include <vector>

// The messages the last dump recording kept, back to back.
inline std::vector<uint8_t> ReceivedDump(CMidiManager& manager)
{
    std::vector<uint8_t> bytes;
    manager.ReadReceivedDump(
        [&](const unsigned char* pData, size_t nLength)
        {
            bytes.insert(bytes.end(), pData, pData + nLength);
            return true;
        });
    return bytes;
}
