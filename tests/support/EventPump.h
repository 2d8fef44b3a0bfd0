#pragma once

#include <functional>

// Runs the main thread's event loop (and so the message manager's timer) until the
// condition holds or the time is up; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, int iTimeoutMs = 5000);
// Runs the event loop for the given time.
void PumpFor(int iMs);
