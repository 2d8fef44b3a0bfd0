#pragma once

#include "toolkit/DebugLog.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

// Collects every DebugPrintf line while it lives (from any thread), in order.
class LogCapture
{
public:
    LogCapture()
    {
        Clear();
        SetDebugLogSink(&Collect);
    }
    ~LogCapture() { SetDebugLogSink(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> Lines() const
    {
        std::lock_guard lock(sm_mutex);
        return sm_lines;
    }
    bool Contains(const std::string& line) const { return std::ranges::count(Lines(), line) > 0; }
    void Clear()
    {
        std::lock_guard lock(sm_mutex);
        sm_lines.clear();
    }

private:
    static void Collect(const char* pszLine)
    {
        std::lock_guard lock(sm_mutex);
        sm_lines.emplace_back(pszLine);
    }

    static inline std::mutex sm_mutex;
    static inline std::vector<std::string> sm_lines;
};
