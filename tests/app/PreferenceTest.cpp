#include "app/Preference.h"

#include "app/Application.h"
#include "app/PreferenceKeys.h"
#include "app/TransmitPreferences.h"
#include "midi/LumMidi.h"
#include "transfer/MidiManager.h"

#include "support/TempDir.h"

#include <QSettings>
#include <QStringList>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>

namespace
{
using namespace PreferenceKeys;
const char* const kApp = "Quillmark";
const char* const kIn = "Midi In Device";
const char* const kOut = "Midi Out Device";

// Every test gets its own user config folder, so nothing reaches the real one.
class PreferenceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(m_dir.Path()));
        m_pref.SetAppName(kApp);
    }

    std::string ReadString(const char* pszKey, const char* pszDefault)
    {
        cPreference cPref;
        cPref.SetAppName(kApp);
        char szBuffer[256];
        memset(szBuffer, 'x', sizeof szBuffer);
        cPref.ReadString(pszKey, szBuffer, pszDefault);
        EXPECT_NE(memchr(szBuffer, '\0', sizeof szBuffer), nullptr);
        return szBuffer;
    }

    // What another program (or a hand edit) left in the store.
    void StoreRaw(const char* pszKey, const QVariant& vValue)
    {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, kApp, kApp)
            .setValue(pszKey, vValue);
    }

    TempDir m_dir;
    cPreference m_pref;
};
} // namespace

// Names read back as written, at once from the file, up to 255 bytes in the system encoding;
// longer ones read as the default, ones the encoding cannot hold are not written.
TEST_F(PreferenceTest, NamesUpTo255BytesAndNumbersRoundTripAndTheRestReadsAsTheDefault)
{
    EXPECT_EQ(ReadString(kIn, "fallback"), "fallback");
    ASSERT_EQ(m_pref.WriteString(kIn, "Interface - Port 1"), 1);
    const std::vector<unsigned char> file = TempDir::Read(m_dir.File("Quillmark/Quillmark.conf"));
    EXPECT_NE(std::string(file.begin(), file.end()).find("Interface - Port 1"), std::string::npos)
        << "synchronised at once";
    std::string wide;
    for (int i = 0; i < 128; ++i)
        wide += "\xC3\xA9";
    const std::pair<std::string, const char*> cases[] = {
        // read: null when as written
        {"", nullptr}, // stored as empty text, not removed
        {"Caf\xC3\xA9, Synth = \"A/B\" ; #1 - Port 1", nullptr},
        {"Z" + std::string(253, 'a') + "Q", nullptr},
        {std::string(256, 'b'), "dflt"},
        {wide, "dflt"},
        {wide.substr(2) + "e", nullptr}};
    for (const auto& [sWritten, pszRead] : cases)
    {
        ASSERT_EQ(m_pref.WriteString(kIn, sWritten.c_str()), 1);
        EXPECT_EQ(ReadString(kIn, "dflt"), pszRead ? pszRead : sWritten) << sWritten;
    }
    EXPECT_EQ(m_pref.WriteString(kIn, "Bad \xFF\xFE name"), 0);
    EXPECT_EQ(ReadString(kIn, ""), wide.substr(2) + "e");

    // Numbers and other types read back or yield the default.
    EXPECT_EQ(m_pref.ReadInteger("Int", -7), -7);
    EXPECT_EQ(m_pref.WriteInteger("Int", INT_MIN), 1);
    EXPECT_EQ(m_pref.WriteLong("Long", LONG_MAX), 1);
    EXPECT_EQ(m_pref.WriteString("Text", "abc"), 1);
    EXPECT_EQ(m_pref.WriteInteger(kOut, -5), 1);
    StoreRaw("Real", 2.5);
    StoreRaw("Whole", 3.0);
    StoreRaw(kIn, 42);
    StoreRaw("List", QStringList{"Interface", "Port 1"});
    cPreference cPref;
    cPref.SetAppName(kApp);
    EXPECT_EQ(cPref.ReadInteger("Int", 0), INT_MIN);
    EXPECT_EQ(cPref.ReadLong("Long", 0), LONG_MAX);
    EXPECT_EQ(cPref.ReadLong("Missing", 99L), 99L);
    for (const char* pszMisfit : {"Long", "Text", "Real"})
        EXPECT_EQ(cPref.ReadInteger(pszMisfit, 17), 17) << pszMisfit;
    EXPECT_EQ(cPref.ReadLong("Text", 18L), 18L);
    EXPECT_EQ(cPref.ReadInteger("Whole", 19), 3);
    EXPECT_EQ(ReadString(kIn, ""), "42");
    EXPECT_EQ(ReadString(kOut, ""), "-5");
    EXPECT_EQ(ReadString("List", "dflt"), "dflt");

    // A file where the config folder should be: the store can never be created.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(m_dir.Write("blocker", std::string("x"))));
    cPreference blocked;
    blocked.SetAppName(kApp);
    EXPECT_EQ(blocked.WriteString(kIn, "Interface - Port 1") + blocked.WriteInteger("Int", 1), 0);
}

// Garbage reads as the defaults. A run reads the names at its start and writes them, the device
// opened meanwhile among them, into a clean store at its end; one too long is not kept.
TEST_F(PreferenceTest, ApplicationReadsTheNamesAtStartAndWritesThemLast)
{
    static const char kGarbage[] = "\x01\x02 junk\n[[Midi In Device\nnoise=junk\n=\xFF\xFE\n"
                                   "Midi Out Device=\"unterminated\n\0\0 tail";
    const std::string file =
        m_dir.Write("Quillmark/Quillmark.conf", std::string(kGarbage, sizeof(kGarbage) - 1));
    EXPECT_EQ(ReadString(kIn, "") + ReadString(kOut, ""), "");
    ASSERT_EQ(m_pref.WriteString(kIn, "Synth Co - Port 1"), 1);
    ASSERT_EQ(m_pref.WriteString(kOut, std::string(256, 'x').c_str()), 1);

    CApplication cApp;
    ASSERT_EQ(cApp.OnInitialize(), 1);
    EXPECT_STREQ(cApp.m_szMidiInDevice, "Synth Co - Port 1");
    EXPECT_STREQ(cApp.m_szMidiOutDevice, "");
    ASSERT_NE(cApp.m_pMidiManager, nullptr);
    char szOut[256] = "";
    GetMidiOutDeviceName(0, szOut, sizeof szOut);
    ASSERT_NE(szOut[0], '\0') << "the virtual back end offers its instrument";
    EXPECT_EQ(cApp.m_pMidiManager->MidiOutOpenByName(szOut), 1);

    EXPECT_EQ(cApp.OnUninitialize(), 1);
    EXPECT_EQ(ReadString(kIn, "dflt"), "Synth Co - Port 1");
    EXPECT_EQ(ReadString(kOut, "dflt"), szOut);
    const std::vector<unsigned char> bytes = TempDir::Read(file);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find("junk"), std::string::npos) << text;
    EXPECT_EQ(text.find('\xFF'), std::string::npos) << text;
}

// Each device keeps its own transmit settings, also under names with the store's group
// separators and its escape character; stored values out of range are clamped.
TEST_F(PreferenceTest, TransmitSettingsPerDeviceWithinTheirRanges)
{
    using Tx = CTransmitPreferences;
    using Settings = tagTransmitSettings;
    const Settings defaults;
    const auto settings = [](int i) { return Settings{i * 10, 100 + i, i % 2}; };
    EXPECT_EQ(Tx::ReadDeviceSettings("Synth Co - Port 1"), defaults);
    EXPECT_EQ(Tx::ReadFilePauseMs(), 500);
    EXPECT_EQ(Tx::WriteDeviceSettings("", Settings{10, 20, 1}), 0);
    EXPECT_EQ(Tx::ReadDeviceSettings(""), defaults);

    const char* const apszDevices[] = {"Synth Co - Port 1", "Synth Co - Port 2", "A/B - 1",
                                       "A%2FB - 1",         "A\\B - 1",          "Ünicode – Port"};
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(Tx::WriteDeviceSettings(apszDevices[i], settings(i)), 1);
    ASSERT_EQ(Tx::WriteFilePauseMs(1200), 1);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Tx::ReadDeviceSettings(apszDevices[i]), settings(i)) << apszDevices[i];
    EXPECT_EQ(Tx::ReadFilePauseMs(), 1200);

    const char* const pszOld = "Old Synth - Port 1";
    StoreRaw(Tx::DeviceKey(pszOld, kDevicePause).c_str(), 99999);
    StoreRaw(Tx::DeviceKey(pszOld, kDeviceSpeed).c_str(), 1);
    StoreRaw(Tx::DeviceKey(pszOld, kDevicePacing).c_str(), 7);
    StoreRaw(kFilePause, -3);
    EXPECT_EQ(Tx::ReadDeviceSettings(pszOld), (Settings{5000, 10, Settings::kPacingByPort}));
    EXPECT_EQ(Tx::ReadFilePauseMs(), 0);
    ASSERT_EQ(Tx::WriteDeviceSettings(pszOld, Settings{-1, 4000, 2}), 1);
    EXPECT_EQ(Tx::ReadDeviceSettings(pszOld), (Settings{0, 3125, 2}));
}
