#pragma once

#include "transfer/TransmitSettings.h"

#include <string>

// The transmit settings as the per-user store keeps them: the pacing of each output
// device (and how it times Standard MIDI Files), found by its display name, and the pause between
// the files of a "send all". What is read is clamped to its range; a device never set, or no device
// (an empty name), has the defaults.
class CTransmitPreferences
{
public:
    static tagTransmitSettings ReadDeviceSettings(const char* pszDevice);
    // 1 when stored; 0 for an empty name or a store that cannot be written.
    static int WriteDeviceSettings(const char* pszDevice, const tagTransmitSettings& settings);

    static int ReadFilePauseMs();
    static int WriteFilePauseMs(int iPauseMs);

    // The key of one setting of the device.
    static std::string DeviceKey(const char* pszDevice, const char* pszSetting);
};
