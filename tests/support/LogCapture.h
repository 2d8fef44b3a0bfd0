#pragma once

#include <string>
#include <vector>

// Collects every DebugPrintf line while it lives (from any thread), in order.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> Lines() const;
    bool Contains(const std::string& line) const;
    void Clear();
};
