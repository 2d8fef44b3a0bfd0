#include "app/TransmitPreferences.h"

#include "app/Preference.h"
#include "app/PreferenceKeys.h"

namespace
{
using namespace PreferenceKeys;

// A device name as one group name: neither slash may split it.
std::string GroupName(const char* pszDevice)
{
    std::string sGroup;
    for (const char* p = pszDevice; *p; ++p)
    {
        switch (*p)
        {
        case '%':
            sGroup += "%25";
            break;
        case '/':
            sGroup += "%2F";
            break;
        case '\\':
            sGroup += "%5C";
            break;
        default:
            sGroup += *p;
        }
    }
    return sGroup;
}
} // namespace

std::string CTransmitPreferences::DeviceKey(const char* pszDevice, const char* pszSetting)
{
    return std::string(kOutputDevices) + "/" + GroupName(pszDevice ? pszDevice : "") + "/" +
           pszSetting;
}

tagTransmitSettings CTransmitPreferences::ReadDeviceSettings(const char* pszDevice)
{
    tagTransmitSettings settings;
    if (!pszDevice || !*pszDevice)
        return settings;
    cPreference cPref;
    cPref.SetAppName(kPreferenceApp);
    settings.iPauseMs =
        cPref.ReadInteger(DeviceKey(pszDevice, kDevicePause).c_str(), settings.iPauseMs);
    settings.iBytesPerSecond =
        cPref.ReadInteger(DeviceKey(pszDevice, kDeviceSpeed).c_str(), settings.iBytesPerSecond);
    settings.iPacing =
        cPref.ReadInteger(DeviceKey(pszDevice, kDevicePacing).c_str(), settings.iPacing);
    settings.iMidiTiming =
        cPref.ReadInteger(DeviceKey(pszDevice, kDeviceMidiTiming).c_str(), settings.iMidiTiming);
    return settings.Clamped();
}

int CTransmitPreferences::WriteDeviceSettings(const char* pszDevice,
                                              const tagTransmitSettings& settings)
{
    if (!pszDevice || !*pszDevice)
        return 0;
    const tagTransmitSettings clamped = settings.Clamped();
    cPreference cPref;
    cPref.SetAppName(kPreferenceApp);
    int bStored = cPref.WriteInteger(DeviceKey(pszDevice, kDevicePause).c_str(), clamped.iPauseMs);
    bStored &=
        cPref.WriteInteger(DeviceKey(pszDevice, kDeviceSpeed).c_str(), clamped.iBytesPerSecond);
    bStored &= cPref.WriteInteger(DeviceKey(pszDevice, kDevicePacing).c_str(), clamped.iPacing);
    bStored &=
        cPref.WriteInteger(DeviceKey(pszDevice, kDeviceMidiTiming).c_str(), clamped.iMidiTiming);
    return bStored;
}

int CTransmitPreferences::ReadFilePauseMs()
{
    cPreference cPref;
    cPref.SetAppName(kPreferenceApp);
    return ClampPauseMs(cPref.ReadInteger(kFilePause, tagTransmitSettings::sm_iDefaultFilePauseMs));
}

int CTransmitPreferences::WriteFilePauseMs(int iPauseMs)
{
    cPreference cPref;
    cPref.SetAppName(kPreferenceApp);
    return cPref.WriteInteger(kFilePause, ClampPauseMs(iPauseMs));
}
