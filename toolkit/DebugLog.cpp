#include "toolkit/DebugLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace
{
std::atomic<DebugLogSink> sg_pDebugLogSink{nullptr};

void WriteToStandardError(const char* pszLine)
{
    // One write per line keeps lines from different threads apart.
    char szLine[257];
    size_t nLength = strnlen(pszLine, 255);
    memcpy(szLine, pszLine, nLength);
    szLine[nLength] = '\n';
    ssize_t nIgnored = write(STDERR_FILENO, szLine, nLength + 1);
    (void)nIgnored;
}
} // namespace

void DebugPrintf(const char* pszFormat, ...)
{
    char szBuffer[256];
    va_list args;
    va_start(args, pszFormat);
    int nResult = vsnprintf(szBuffer, sizeof(szBuffer), pszFormat, args);
    va_end(args);
    if (nResult < 0)
        szBuffer[0] = '\0';

    DebugLogSink pSink = sg_pDebugLogSink.load();
    if (pSink)
        pSink(szBuffer);
    else
        WriteToStandardError(szBuffer);
}

uint32_t GetSystemTimeMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t nMs = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
    return uint32_t(nMs);
}

void SetDebugLogSink(DebugLogSink pSink)
{
    sg_pDebugLogSink.store(pSink);
}
