#include "transfer/TransmitSettings.h"

#include <algorithm>

tagTransmitSettings tagTransmitSettings::Clamped() const
{
    tagTransmitSettings clamped = *this;
    clamped.iPauseMs = ClampPauseMs(iPauseMs);
    clamped.iBytesPerSecond =
        std::clamp(iBytesPerSecond, sm_iMinBytesPerSecond, sm_iMaxBytesPerSecond);
    if (iPacing != kPacingAtSpeed && iPacing != kPacingUnpaced)
        clamped.iPacing = kPacingByPort;
    if (iMidiTiming != kMidiTimingPause)
        clamped.iMidiTiming = kMidiTimingOfFile;
    return clamped;
}

uint32_t tagTransmitSettings::RateFor(bool bHardwarePort) const
{
    const tagTransmitSettings clamped = Clamped();
    switch (clamped.iPacing)
    {
    case kPacingUnpaced:
        return 0;
    case kPacingAtSpeed:
        return uint32_t(clamped.iBytesPerSecond);
    default:
        return bHardwarePort ? uint32_t(clamped.iBytesPerSecond) : 0;
    }
}

int ClampPauseMs(int iPauseMs)
{
    return std::clamp(iPauseMs, tagTransmitSettings::sm_iMinPauseMs,
                      tagTransmitSettings::sm_iMaxPauseMs);
}
