#include "WindowFixture.h"

#include "app/Application.h"
#include "app/Preference.h"
#include "platform/midi/VirtualMidi.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <QSettings>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

// The whole program as main runs it, on the virtual MIDI back end, with its preferences in
// a folder of its own, and a description "main" that holds the menu bar but not the main
// window.
TEST(ApplicationRunTest, WithoutTheMainWindowLayoutTheRunEndsAtOnce)
{
    TempDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(settings.Path()));
    setenv("QUILLMARK_MIDI", "virtual", 0);
    VirtualMidi* pVirtual = VirtualMidi::Get();
    ASSERT_NE(pVirtual, nullptr);
    pVirtual->Reset();
    namespace fs = std::filesystem;
    const char* pszResources = getenv("QUILLMARK_RESOURCES");
    ASSERT_NE(pszResources, nullptr);
    TempDir dir;
    fs::create_directories(dir.Path() + "/main");
    fs::copy_file(std::string(pszResources) + "/main/MenuBar.ui", dir.Path() + "/main/MenuBar.ui");
    ScopedEnv resources("QUILLMARK_RESOURCES", dir.Path().c_str());
    cPreference cPref;
    cPref.SetAppName("Quillmark");
    cPref.WriteString("Midi In Device", "Synth A - In");

    auto pApplication = std::make_unique<CApplication>();
    g_pApplication = pApplication.get();
    LogCapture log;
    QuitGuard guard(3000);
    EXPECT_EQ(pApplication->Run(), 0);

    EXPECT_FALSE(guard.Fired()) << "the run waited for a window that never came";
    EXPECT_TRUE(log.Contains("Run : Failed to create MainWindow."));
    EXPECT_EQ(pApplication->m_pMainWindow, nullptr);
    EXPECT_EQ(pApplication->m_pMidiManager, nullptr);
    pApplication.reset();
    g_pApplication = nullptr;
    pVirtual->Reset();
    cPreference stored;
    stored.SetAppName("Quillmark");
    char szStored[256];
    stored.ReadString("Midi In Device", szStored, "<none>");
    EXPECT_STREQ(szStored, "Synth A - In");
}
