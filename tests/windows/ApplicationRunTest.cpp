#include "WindowFixture.h"

#include "app/Application.h"
#include "app/Preference.h"
#include "platform/midi/VirtualMidi.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <QSettings>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace
{
// The whole program as main runs it, on the virtual MIDI back end, with its preferences
// in a folder of its own.
class ApplicationRunTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(m_settings.Path()));
        setenv("QUILLMARK_MIDI", "virtual", 0);
        m_pVirtual = VirtualMidi::Get();
        ASSERT_NE(m_pVirtual, nullptr);
        m_pVirtual->Reset();
        m_pApplication = std::make_unique<CApplication>();
        g_pApplication = m_pApplication.get();
    }
    void TearDown() override
    {
        m_pApplication.reset();
        g_pApplication = nullptr;
        m_pVirtual->Reset();
    }

    static void Store(const char* pszKey, const char* pszValue)
    {
        cPreference cPref;
        cPref.SetAppName("Quillmark");
        cPref.WriteString(pszKey, pszValue);
    }
    static std::string Stored(const char* pszKey)
    {
        cPreference cPref;
        cPref.SetAppName("Quillmark");
        char szValue[256];
        cPref.ReadString(pszKey, szValue, "<none>");
        return szValue;
    }

    TempDir m_settings;
    VirtualMidi* m_pVirtual = nullptr;
    std::unique_ptr<CApplication> m_pApplication;
};
} // namespace

TEST_F(ApplicationRunTest, WithoutTheMainWindowLayoutTheRunEndsAtOnce)
{
    // The description "main" holds the menu bar but not the main window.
    namespace fs = std::filesystem;
    const char* pszResources = getenv("QUILLMARK_RESOURCES");
    ASSERT_NE(pszResources, nullptr);
    const std::string resources = pszResources;
    TempDir dir;
    fs::create_directories(dir.Path() + "/main");
    fs::copy_file(resources + "/main/MenuBar.ui", dir.Path() + "/main/MenuBar.ui");
    setenv("QUILLMARK_RESOURCES", dir.Path().c_str(), 1);
    Store("Midi In Device", "Synth A - In");

    LogCapture log;
    QuitGuard guard(3000);
    EXPECT_EQ(m_pApplication->Run(), 0);
    setenv("QUILLMARK_RESOURCES", resources.c_str(), 1);

    EXPECT_FALSE(guard.Fired()) << "the run waited for a window that never came";
    EXPECT_TRUE(log.Contains("Run : Failed to create MainWindow."));
    EXPECT_EQ(m_pApplication->m_pMainWindow, nullptr);
    EXPECT_EQ(m_pApplication->m_pMidiManager, nullptr);
    EXPECT_EQ(Stored("Midi In Device"), "Synth A - In");
}
