#pragma once

#include <cstdint>

// The program's only log: one formatted line of at most 255 characters. Callable from
// any thread.
void DebugPrintf(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

// Milliseconds from a monotonic clock, wrapping modulo 2^32. Take intervals as the
// unsigned difference of two readings.
uint32_t GetSystemTimeMs();

// Where log lines go: standard error unless a sink is installed (null restores it).
// The sink is called with the finished line, without a line break, on the logging
// thread.
using DebugLogSink = void (*)(const char* pszLine);
void SetDebugLogSink(DebugLogSink pSink);
