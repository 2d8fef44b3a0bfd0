#pragma once

#include "midi/LumMidi.h"
#include "platform/midi/VirtualMidi.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// "F0 41 F7" -> {0xF0, 0x41, 0xF7}
inline std::vector<uint8_t> Bytes(const std::string& sHex)
{
    std::vector<uint8_t> aBytes;
    std::istringstream stream(sHex);
    std::string sByte;
    while (stream >> sByte)
        aBytes.push_back(uint8_t(std::stoul(sByte, nullptr, 16)));
    return aBytes;
}

inline std::string Hex(const std::vector<uint8_t>& aBytes)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string sHex;
    for (uint8_t b : aBytes)
        sHex += std::string(sHex.empty() ? "" : " ") + kDigits[b >> 4] + kDigits[b & 15];
    return sHex;
}

// A listener that writes down every call, in order, from whatever thread it comes.
class MidiRecorder final : public CLumMidiListener
{
public:
    struct tagCall
    {
        std::string sKind; // "receive", "receiving", "complete", "failed", "broken", "notify"
        std::vector<uint8_t> aBytes;
        int iValue;
        CLumMidi* pMidi;
        std::thread::id thread;
    };

    void OnLumMidiInReceive(CLumMidi* pMidi, int iLength, unsigned char* pData) override
    {
        Add("receive", pMidi, iLength, pData);
    }
    void OnLumMidiInReceiving(CLumMidi* pMidi, int iLength, unsigned char* pData) override
    {
        Add("receiving", pMidi, iLength, pData);
    }
    void OnLumMidiOutSysExSendComplete(CLumMidi* p, int iLength) override
    {
        Add("complete", p, iLength);
    }
    void OnLumMidiOutSysExSendFailed(CLumMidi* p, int iLength) override
    {
        Add("failed", p, iLength);
    }
    void OnLumMidiInBroken(CLumMidi* p, int iReason) override { Add("broken", p, iReason); }
    void OnLumMidiNotification(CLumMidi* p, int i1, int i2) override
    {
        Add("notify", p, i1 * 1000 + i2);
    }

    std::vector<tagCall> Calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    // The bytes of every call of one kind, as hex strings; their values; their number.
    std::vector<std::string> Of(const std::string& sKind) const
    {
        std::vector<std::string> result;
        for (const tagCall& call : Calls())
            if (call.sKind == sKind)
                result.push_back(Hex(call.aBytes));
        return result;
    }
    std::vector<int> ValuesOf(const std::string& sKind) const
    {
        std::vector<int> result;
        for (const tagCall& call : Calls())
            if (call.sKind == sKind)
                result.push_back(call.iValue);
        return result;
    }
    size_t Count(const std::string& sKind) const { return ValuesOf(sKind).size(); }

    // Waits until iCount calls of the kind have come, at most the timeout.
    bool WaitFor(const std::string& sKind, size_t iCount,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const
    {
        const auto isKind = [&](const tagCall& call) { return call.sKind == sKind; };
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(
            lock, timeout,
            [&] { return size_t(std::ranges::count_if(m_calls, isKind)) >= iCount; });
    }

    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }

    // Runs on every call, before it is written down (for checks made at the moment).
    std::function<void(const tagCall&)> onCall;

private:
    void Add(const char* pszKind, CLumMidi* pMidi, int iValue, const unsigned char* pData = nullptr)
    {
        tagCall call{pszKind, {}, iValue, pMidi, std::this_thread::get_id()};
        if (pData)
            call.aBytes.assign(pData, pData + iValue);
        if (onCall)
            onCall(call);
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<tagCall> m_calls;
};

// The input (bIn) or output devices as CLumMidi lists them, and the index of one by name
// (-1 when it is not listed).
inline std::vector<std::string> DeviceNames(bool bIn)
{
    std::vector<std::string> names;
    char szName[256];
    const int iCount = bIn ? GetNumMidiInDevices() : GetNumMidiOutDevices();
    for (int i = 0; i < iCount; ++i)
    {
        EXPECT_EQ(bIn ? GetMidiInDeviceName(i, szName, sizeof(szName))
                      : GetMidiOutDeviceName(i, szName, sizeof(szName)),
                  1);
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

    // A client with MIDI OUT open on a new destination.
    MIDIEndpointRef OpenOut(CLumMidi& midi)
    {
        MIDIEndpointRef hDestination = m_pVirtual->AddDestination("Interface", "Port 1");
        EXPECT_EQ(midi.Create("QMRK_OUT"), 1);
        midi.SetListener(&m_recorder);
        EXPECT_EQ(midi.MidiOutOpen(m_pVirtual->GetNumberOfDestinations() - 1), 1);
        return hDestination;
    }

    VirtualMidi* m_pVirtual = nullptr;
    LogCapture m_log;
    MidiRecorder m_recorder;
};
