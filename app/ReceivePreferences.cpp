#include "app/ReceivePreferences.h"

#include "app/Preference.h"
#include "app/PreferenceKeys.h"

#include <algorithm>

using namespace PreferenceKeys;

tagReceivePreferences tagReceivePreferences::Read()
{
    tagReceivePreferences prefs;
    cPreference cPref;
    cPref.SetAppName(kPreferenceApp);
    prefs.bAllMessages = cPref.ReadInteger(kReceiveMode, 0) == 1 ? 1 : 0;
    prefs.bIdleStop = cPref.ReadInteger(kReceiveIdleStop, 0) == 1 ? 1 : 0;
    prefs.iIdleSeconds = std::clamp(cPref.ReadInteger(kReceiveIdleSeconds, prefs.iIdleSeconds), 1,
                                    sm_iMaxIdleSeconds);
    char szRequest[cPreference::sm_nStringCapacity];
    cPref.ReadString(kReceiveRequest, szRequest, "");
    prefs.sRequestHex = szRequest;
    return prefs;
}

int tagReceivePreferences::Write() const
{
    cPreference cPref;
    cPref.SetAppName(kPreferenceApp);
    int bStored = cPref.WriteInteger(kReceiveMode, bAllMessages ? 1 : 0);
    bStored &= cPref.WriteInteger(kReceiveIdleStop, bIdleStop ? 1 : 0);
    bStored &=
        cPref.WriteInteger(kReceiveIdleSeconds, std::clamp(iIdleSeconds, 1, sm_iMaxIdleSeconds));
    if (sRequestHex.size() < size_t(cPreference::sm_nStringCapacity))
        bStored &= cPref.WriteString(kReceiveRequest, sRequestHex.c_str());
    return bStored;
}
