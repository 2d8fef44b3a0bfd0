#include "app/TransmitPreferences.h"
#include "app/PreferenceKeys.h"

#include "support/TempDir.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace
{
using namespace PreferenceKeys;

tagTransmitSettings Settings(int iPauseMs, int iBytesPerSecond, int iPacing)
{
    tagTransmitSettings settings;
    settings.iPauseMs = iPauseMs;
    settings.iBytesPerSecond = iBytesPerSecond;
    settings.iPacing = iPacing;
    return settings;
}

class TransmitPreferencesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(m_dir.Path()));
    }

    TempDir m_dir;
};
} // namespace

TEST_F(TransmitPreferencesTest, DefaultsUntilSomethingIsStored)
{
    const tagTransmitSettings defaults;
    EXPECT_EQ(defaults, Settings(0, 3125, tagTransmitSettings::kPacingByPort));
    EXPECT_EQ(CTransmitPreferences::ReadDeviceSettings("Synth Co - Port 1"), defaults);
    EXPECT_EQ(CTransmitPreferences::ReadFilePauseMs(), 500);
    // No device, no settings of its own.
    EXPECT_EQ(CTransmitPreferences::WriteDeviceSettings("", Settings(10, 20, 1)), 0);
    EXPECT_EQ(CTransmitPreferences::ReadDeviceSettings(""), defaults);
}

TEST_F(TransmitPreferencesTest, EachDeviceKeepsItsOwn)
{
    // Names with the store's group separators and the escape character stay apart.
    const char* const apszDevices[] = {"Synth Co - Port 1", "Synth Co - Port 2", "A/B - 1",
                                       "A%2FB - 1",         "A\\B - 1",          "Ünicode – Port"};
    int i = 0;
    for (const char* pszDevice : apszDevices)
    {
        ++i;
        ASSERT_EQ(
            CTransmitPreferences::WriteDeviceSettings(pszDevice, Settings(i * 10, 100 + i, i % 2)),
            1)
            << pszDevice;
    }
    ASSERT_EQ(CTransmitPreferences::WriteFilePauseMs(1200), 1);
    i = 0;
    for (const char* pszDevice : apszDevices)
    {
        ++i;
        EXPECT_EQ(CTransmitPreferences::ReadDeviceSettings(pszDevice),
                  Settings(i * 10, 100 + i, i % 2))
            << pszDevice;
    }
    EXPECT_EQ(CTransmitPreferences::ReadFilePauseMs(), 1200);
}

TEST_F(TransmitPreferencesTest, StoredValuesOutOfRangeAreClamped)
{
    const char* const pszDevice = "Old Synth - Port 1";
    {
        QSettings cSettings(QSettings::NativeFormat, QSettings::UserScope, kPreferenceApp,
                            kPreferenceApp);
        cSettings.setValue(CTransmitPreferences::DeviceKey(pszDevice, kDevicePause).c_str(), 99999);
        cSettings.setValue(CTransmitPreferences::DeviceKey(pszDevice, kDeviceSpeed).c_str(), 1);
        cSettings.setValue(CTransmitPreferences::DeviceKey(pszDevice, kDevicePacing).c_str(), 7);
        cSettings.setValue(kFilePause, -3);
    }
    EXPECT_EQ(CTransmitPreferences::ReadDeviceSettings(pszDevice),
              Settings(5000, 10, tagTransmitSettings::kPacingByPort));
    EXPECT_EQ(CTransmitPreferences::ReadFilePauseMs(), 0);

    // What is written is in range too.
    ASSERT_EQ(CTransmitPreferences::WriteDeviceSettings(pszDevice, Settings(-1, 4000, 2)), 1);
    EXPECT_EQ(CTransmitPreferences::ReadDeviceSettings(pszDevice), Settings(0, 3125, 2));
}
