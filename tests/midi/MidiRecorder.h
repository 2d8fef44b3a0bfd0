#pragma once

#include "midi/LumMidi.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
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
    std::string sHex;
    char szByte[4];
    for (uint8_t b : aBytes)
    {
        snprintf(szByte, sizeof(szByte), sHex.empty() ? "%02X" : " %02X", b);
        sHex += szByte;
    }
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
        Add({"receive", {pData, pData + iLength}, iLength, pMidi, std::this_thread::get_id()});
    }
    void OnLumMidiInReceiving(CLumMidi* pMidi, int iLength, unsigned char* pData) override
    {
        Add({"receiving", {pData, pData + iLength}, iLength, pMidi, std::this_thread::get_id()});
    }
    void OnLumMidiOutSysExSendComplete(CLumMidi* pMidi, int iLength) override
    {
        Add({"complete", {}, iLength, pMidi, std::this_thread::get_id()});
    }
    void OnLumMidiOutSysExSendFailed(CLumMidi* pMidi, int iLength) override
    {
        Add({"failed", {}, iLength, pMidi, std::this_thread::get_id()});
    }
    void OnLumMidiInBroken(CLumMidi* pMidi, int iReason) override
    {
        Add({"broken", {}, iReason, pMidi, std::this_thread::get_id()});
    }
    void OnLumMidiNotification(CLumMidi* pMidi, int iParam1, int iParam2) override
    {
        Add({"notify", {}, iParam1 * 1000 + iParam2, pMidi, std::this_thread::get_id()});
    }

    std::vector<tagCall> Calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    // The bytes of every call of one kind, as hex strings.
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
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout,
                                  [&]
                                  {
                                      size_t iSeen = 0;
                                      for (const tagCall& call : m_calls)
                                          iSeen += call.sKind == sKind;
                                      return iSeen >= iCount;
                                  });
    }

    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }

    // Runs on every call, before it is written down (for checks made at the moment).
    std::function<void(const tagCall&)> onCall;

private:
    void Add(tagCall call)
    {
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
