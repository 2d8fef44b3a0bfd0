#include "app/Preference.h"

#include "app/Application.h"
#include "midi/LumMidi.h"
#include "transfer/MidiManager.h"

#include "support/TempDir.h"

#include <QSettings>
#include <QStringList>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace
{
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

    int WriteString(const char* pszKey, const std::string& value)
    {
        cPreference cPref;
        cPref.SetAppName(kApp);
        return cPref.WriteString(pszKey, value.c_str());
    }

    // What another program (or a hand edit) left in the store.
    void StoreRaw(const char* pszKey, const QVariant& vValue)
    {
        QSettings cSettings(QSettings::NativeFormat, QSettings::UserScope, kApp, kApp);
        cSettings.setValue(pszKey, vValue);
        cSettings.sync();
    }

    TempDir m_dir;
};
} // namespace

TEST_F(PreferenceTest, FirstRunYieldsTheDefaults)
{
    EXPECT_EQ(ReadString(kIn, ""), "");
    EXPECT_EQ(ReadString(kOut, "fallback"), "fallback");
    cPreference cPref;
    cPref.SetAppName(kApp);
    EXPECT_EQ(cPref.ReadInteger("Count", -7), -7);
    EXPECT_EQ(cPref.ReadLong("Count", 99L), 99L);
}

TEST_F(PreferenceTest, EveryWriteReachesTheFileAtOnce)
{
    const std::string file = m_dir.File("Quillmark/Quillmark.conf");
    auto fileHolds = [&](const std::string& text)
    {
        std::vector<unsigned char> bytes = TempDir::Read(file);
        return std::string(bytes.begin(), bytes.end()).find(text) != std::string::npos;
    };

    cPreference cPref;
    cPref.SetAppName(kApp);
    EXPECT_EQ(cPref.WriteString(kIn, "Interface - Port 1"), 1);
    EXPECT_TRUE(fileHolds("Interface - Port 1"));
    EXPECT_EQ(cPref.WriteString(kOut, " - Synth"), 1);
    EXPECT_TRUE(fileHolds(" - Synth"));
    EXPECT_EQ(cPref.WriteInteger("Int", 31337), 1);
    EXPECT_TRUE(fileHolds("31337"));

    EXPECT_EQ(ReadString(kIn, ""), "Interface - Port 1");
    EXPECT_EQ(ReadString(kOut, ""), " - Synth");
}

TEST_F(PreferenceTest, EmptyNameIsStoredAsEmptyTextNotRemoved)
{
    ASSERT_EQ(WriteString(kIn, "Interface - Port 1"), 1);
    ASSERT_EQ(WriteString(kIn, ""), 1);

    QSettings cSettings(QSettings::NativeFormat, QSettings::UserScope, kApp, kApp);
    EXPECT_TRUE(cSettings.contains(kIn));
    EXPECT_EQ(ReadString(kIn, "fallback"), "");
}

TEST_F(PreferenceTest, NameOf255BytesRoundTripsAndLongerReadsAsDefault)
{
    std::string fits(255, 'a');
    fits[0] = 'Z';
    fits[254] = 'Q';
    ASSERT_EQ(WriteString(kIn, fits), 1);
    EXPECT_EQ(ReadString(kIn, ""), fits);

    ASSERT_EQ(WriteString(kOut, std::string(256, 'b')), 1);
    EXPECT_EQ(ReadString(kOut, ""), "");
    EXPECT_EQ(ReadString(kOut, "dflt"), "dflt");

    // 128 two-byte characters are 256 bytes in the system encoding: too long as well.
    std::string wide;
    for (int i = 0; i < 128; ++i)
        wide += "\xC3\xA9";
    ASSERT_EQ(WriteString(kOut, wide), 1);
    EXPECT_EQ(ReadString(kOut, ""), "");
    ASSERT_EQ(WriteString(kOut, wide.substr(2) + "e"), 1);
    EXPECT_EQ(ReadString(kOut, ""), wide.substr(2) + "e");
}

TEST_F(PreferenceTest, NamesWithSeparatorsAndNonAsciiRoundTrip)
{
    const std::string name = "Caf\xC3\xA9, Synth = \"A/B\" ; #1 - Port 1";
    ASSERT_EQ(WriteString(kIn, name), 1);
    EXPECT_EQ(ReadString(kIn, ""), name);
}

TEST_F(PreferenceTest, TextThatIsNotInTheSystemEncodingIsNotStored)
{
    ASSERT_EQ(WriteString(kIn, "Old"), 1);
    EXPECT_EQ(WriteString(kIn, "Bad \xFF\xFE name"), 0);
    EXPECT_EQ(ReadString(kIn, ""), "Old");
}

TEST_F(PreferenceTest, OtherTypesUnderATextKeyDoNotFail)
{
    StoreRaw(kIn, 42);
    EXPECT_EQ(ReadString(kIn, ""), "42");

    cPreference cPref;
    cPref.SetAppName(kApp);
    ASSERT_EQ(cPref.WriteInteger(kOut, -5), 1);
    EXPECT_EQ(ReadString(kOut, ""), "-5");

    StoreRaw(kIn, QStringList{"Interface", "Port 1"});
    EXPECT_EQ(ReadString(kIn, "dflt"), "dflt");
}

TEST_F(PreferenceTest, NumbersRoundTripAndMisfitsYieldTheDefault)
{
    {
        cPreference cPref;
        cPref.SetAppName(kApp);
        EXPECT_EQ(cPref.WriteInteger("Int", INT_MIN), 1);
        EXPECT_EQ(cPref.WriteLong("Long", LONG_MAX), 1);
        EXPECT_EQ(cPref.WriteString("Text", "abc"), 1);
    }
    cPreference cPref;
    cPref.SetAppName(kApp);
    EXPECT_EQ(cPref.ReadInteger("Int", 0), INT_MIN);
    EXPECT_EQ(cPref.ReadLong("Long", 0), LONG_MAX);
    // A long that does not fit an int, and text that is no number.
    EXPECT_EQ(cPref.ReadInteger("Long", 17), 17);
    EXPECT_EQ(cPref.ReadInteger("Text", 17), 17);
    EXPECT_EQ(cPref.ReadLong("Text", 18L), 18L);

    StoreRaw("Real", 2.5);
    StoreRaw("Whole", 3.0);
    EXPECT_EQ(cPref.ReadInteger("Real", 19), 19);
    EXPECT_EQ(cPref.ReadInteger("Whole", 19), 3);
}

TEST_F(PreferenceTest, WriteReportsAStoreThatCannotBeWritten)
{
    // A file where the config folder should be: the store can never be created.
    std::string blocker = m_dir.Write("blocker", std::string("x"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(blocker));
    cPreference cPref;
    cPref.SetAppName(kApp);
    EXPECT_EQ(cPref.WriteString(kIn, "Interface - Port 1"), 0);
    EXPECT_EQ(cPref.WriteInteger("Int", 1), 0);
}

// --- The application's remembered devices -------------------------------------------

TEST_F(PreferenceTest, ApplicationReadsTheNamesAtStartAndWritesThemLast)
{
    ASSERT_EQ(WriteString(kIn, "Synth Co - Port 1"), 1);
    ASSERT_EQ(WriteString(kOut, std::string(256, 'x')), 1);

    CApplication* pSaved = g_pApplication;
    CApplication cApp;
    g_pApplication = &cApp;
    ASSERT_EQ(cApp.OnInitialize(), 1);
    EXPECT_STREQ(cApp.m_szMidiInDevice, "Synth Co - Port 1");
    EXPECT_STREQ(cApp.m_szMidiOutDevice, "") << "a name that does not fit is not remembered";
    ASSERT_NE(cApp.m_pMidiManager, nullptr);

    // A device opened by name during the run is what the next run pre-selects.
    char szOut[256] = "";
    GetMidiOutDeviceName(0, szOut, sizeof szOut);
    ASSERT_NE(szOut[0], '\0') << "the virtual back end offers its instrument";
    EXPECT_EQ(cApp.m_pMidiManager->MidiOutOpenByName(szOut), 1);

    EXPECT_EQ(cApp.OnUninitialize(), 1);
    g_pApplication = pSaved;
    EXPECT_EQ(cApp.m_pMidiManager, nullptr);
    EXPECT_EQ(cApp.m_pMessageManager, nullptr);
    EXPECT_EQ(ReadString(kIn, "dflt"), "Synth Co - Port 1");
    EXPECT_EQ(ReadString(kOut, "dflt"), szOut);
}

TEST_F(PreferenceTest, ApplicationOnFirstRunStoresEmptyNames)
{
    CApplication cApp;
    EXPECT_EQ(cApp.ReadPreferences(), 1);
    EXPECT_STREQ(cApp.m_szMidiInDevice, "");
    EXPECT_STREQ(cApp.m_szMidiOutDevice, "");
    EXPECT_EQ(cApp.WritePreferences(), 1);
    QSettings cSettings(QSettings::NativeFormat, QSettings::UserScope, kApp, kApp);
    EXPECT_TRUE(cSettings.contains(kIn));
    EXPECT_TRUE(cSettings.contains(kOut));
    EXPECT_EQ(ReadString(kIn, "dflt"), "");
}

// A store with garbage in it starts the run with the defaults; the names written at the
// end replace the garbage, and the next run reads them.
TEST_F(PreferenceTest, AStoreWithGarbageIsReplacedByACleanOneHoldingTheNames)
{
    static const char kGarbage[] = "\x01\x02 junk\n[[Midi In Device\nnoise=junk\n=\xFF\xFE\n"
                                   "Midi Out Device=\"unterminated\n\0\0 tail";
    const std::string file = m_dir.Write("Quillmark/Quillmark.conf",
                                         std::string(kGarbage, sizeof(kGarbage) - 1));
    CApplication cApp;
    EXPECT_EQ(cApp.ReadPreferences(), 1);
    EXPECT_STREQ(cApp.m_szMidiInDevice, "");
    EXPECT_STREQ(cApp.m_szMidiOutDevice, "");
    strcpy(cApp.m_szMidiInDevice, "Synth Co - Port 1");
    strcpy(cApp.m_szMidiOutDevice, "Synth Co - Port 2");
    EXPECT_EQ(cApp.WritePreferences(), 1);

    const std::vector<unsigned char> bytes = TempDir::Read(file);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find("junk"), std::string::npos) << text;
    EXPECT_EQ(text.find('\xFF'), std::string::npos) << text;
    CApplication cNext;
    EXPECT_EQ(cNext.ReadPreferences(), 1);
    EXPECT_STREQ(cNext.m_szMidiInDevice, "Synth Co - Port 1");
    EXPECT_STREQ(cNext.m_szMidiOutDevice, "Synth Co - Port 2");
}
