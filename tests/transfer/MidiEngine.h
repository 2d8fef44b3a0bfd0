#pragma once

#include "app/MessageManager.h"
#include "transfer/MidiManager.h"

#include <cstdint>
#include <vector>

// The two managers as the application holds them, released in its order: no MIDI callback
// posts once the MIDI manager is gone.
struct MidiEngine
{
    MidiEngine() = default;
    MidiEngine(const MidiEngine&) = delete;
    MidiEngine& operator=(const MidiEngine&) = delete;
    ~MidiEngine()
    {
        delete m_pMidiManager;
        if (m_pMessageManager)
            m_pMessageManager->Destroy();
        delete m_pMessageManager;
    }

    CMessageManager* m_pMessageManager = nullptr;
    CMidiManager* m_pMidiManager = nullptr;
};

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
