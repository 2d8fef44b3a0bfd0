#include "support/LogCapture.h"

#include "toolkit/DebugLog.h"

#include <algorithm>
#include <mutex>

namespace
{
std::mutex sg_mutex;
std::vector<std::string> sg_lines;

void Collect(const char* pszLine)
{
    std::lock_guard lock(sg_mutex);
    sg_lines.emplace_back(pszLine);
}
} // namespace

LogCapture::LogCapture()
{
    Clear();
    SetDebugLogSink(&Collect);
}

LogCapture::~LogCapture()
{
    SetDebugLogSink(nullptr);
}

std::vector<std::string> LogCapture::Lines() const
{
    std::lock_guard lock(sg_mutex);
    return sg_lines;
}

bool LogCapture::Contains(const std::string& line) const
{
    std::lock_guard lock(sg_mutex);
    return std::find(sg_lines.begin(), sg_lines.end(), line) != sg_lines.end();
}

void LogCapture::Clear()
{
    std::lock_guard lock(sg_mutex);
    sg_lines.clear();
}
