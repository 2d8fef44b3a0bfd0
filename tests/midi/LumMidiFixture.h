#pragma once

#include "midi/LumMidi.h"
#include "platform/midi/VirtualMidi.h"
#include "support/LogCapture.h"
#include "tests/midi/MidiRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

// The input (bIn) or output devices as CLumMidi lists them, and the index of one by name
// (-1 when it is not listed).
inline std::vector<std::string> DeviceNames(bool bIn)
{
    std::vector<std::string> names;
    char szName[256];
    const int iCount = bIn ? GetNumMidiInDevices() : GetNumMidiOutDevices();
    for (int i = 0; i < iCount; ++i)
    {
        bIn ? GetMidiInDeviceName(i, szName, sizeof(szName))
            : GetMidiOutDeviceName(i, szName, sizeof(szName));
        names.push_back(szName);
    }
    return names;
}

inline int DeviceIndex(bool bIn, const std::string& sName)
{
    const std::vector<std::string> names = DeviceNames(bIn);
    auto it = std::find(names.begin(), names.end(), sName);
    return it == names.end() ? -1 : int(it - names.begin());
}

// CLumMidi over the virtual back end, starting from an empty MIDI setup.
class LumMidiFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pVirtual = VirtualMidi::Get();
        ASSERT_NE(m_pVirtual, nullptr) << "run with QUILLMARK_MIDI=virtual";
        ASSERT_STREQ(MidiService::Get().Name(), "virtual");
        m_pVirtual->Reset();
        m_log.Clear();
    }

    std::string InName(int iIndex)
    {
        char szName[256];
        EXPECT_EQ(GetMidiInDeviceName(iIndex, szName, sizeof(szName)), 1);
        return szName;
    }

    std::string OutName(int iIndex)
    {
        char szName[256];
        EXPECT_EQ(GetMidiOutDeviceName(iIndex, szName, sizeof(szName)), 1);
        return szName;
    }

    // A client with MIDI OUT open on a new destination.
    MIDIEndpointRef OpenOut(CLumMidi& midi, const char* pszClient = "QMRK_OUT")
    {
        MIDIEndpointRef hDestination = m_pVirtual->AddDestination("Interface", "Port 1");
        EXPECT_EQ(midi.Create(pszClient), 1);
        midi.SetListener(&m_recorder);
        EXPECT_EQ(midi.MidiOutOpen(m_pVirtual->GetNumberOfDestinations() - 1), 1);
        return hDestination;
    }

    VirtualMidi* m_pVirtual = nullptr;
    LogCapture m_log;
    MidiRecorder m_recorder;
};
