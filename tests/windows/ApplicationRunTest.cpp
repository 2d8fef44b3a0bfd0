#include "WindowFixture.h"

#include "app/Application.h"
#include "app/Preference.h"
#include "platform/midi/VirtualMidi.h"
#include "platform/ui/EventTarget.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "toolkit/Control.h"
#include "windows/AboutWindow.h"
#include "windows/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace
{
constexpr uint32_t kSignature = FourCharCode("QMRK");

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
        m_pVirtual->AddSource("Synth A", "In");
        m_pVirtual->AddSource("Synth B", "In");
        m_pVirtual->AddDestination("Synth A", "Out");
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

TEST_F(ApplicationRunTest, StartsWithTheMainWindowShownAndQuitsWhenItIsClosed)
{
    Store("Midi In Device", "Synth A - In");
    Store("Midi Out Device", "Gone - Out");

    // Looks at the program once its main window is up, then closes the window as the
    // user would; a guard ends the run should that not quit it.
    QPointer<QWidget> pShownWindow;
    QString inChoice;
    QStringList menuTitles;
    QTimer poll;
    QObject::connect(
        &poll, &QTimer::timeout,
        [&]()
        {
            CMainWindow* pMain = m_pApplication->m_pMainWindow;
            QWidget* pWindow = pMain ? pMain->GetWindowRef() : nullptr;
            if (!pWindow || !pWindow->isVisible() || pShownWindow)
                return;
            pShownWindow = pWindow;
            auto* pIn = qobject_cast<QComboBox*>(GetControlByID(pWindow, {kSignature, 3}));
            inChoice = pIn ? pIn->currentText() : QString();
            if (auto* pMainWindow = qobject_cast<QMainWindow*>(pWindow))
                for (QAction* pAction : pMainWindow->menuBar()->actions())
                    menuTitles << pAction->text();
            // The user picks Synth B and closes the window.
            if (pIn)
            {
                pIn->setCurrentIndex(1);
                emit pIn->activated(1);
            }
            pWindow->close();
        });
    poll.start(20);
    QuitGuard guard(10000);

    EXPECT_EQ(m_pApplication->Run(), 0);
    EXPECT_FALSE(guard.Fired()) << "closing the main window did not quit";
    ASSERT_FALSE(inChoice.isNull()) << "the main window was never shown";
    EXPECT_EQ(inChoice, "Synth A - In");
    EXPECT_FALSE(menuTitles.isEmpty()) << "the main window shows the application's menu bar";

    // Everything is gone, the window included, and the choice was stored.
    EXPECT_EQ(m_pApplication->m_pMainWindow, nullptr);
    EXPECT_EQ(m_pApplication->m_pMidiManager, nullptr);
    EXPECT_EQ(m_pApplication->m_pMessageManager, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(pShownWindow.isNull());
    EXPECT_EQ(Stored("Midi In Device"), "Synth B - In");
    EXPECT_EQ(Stored("Midi Out Device"), "Gone - Out");
}

TEST_F(ApplicationRunTest, AboutBoxLeftOpenAtQuitIsClosedByTheApplicationObject)
{
    QPointer<QWidget> pAbout;
    QTimer::singleShot(50,
                       [&]()
                       {
                           ProcessHICommand(FourCharCode("Abou"));
                           if (m_pApplication->m_pAboutWindow)
                               pAbout = m_pApplication->m_pAboutWindow->GetWindowRef();
                           ProcessHICommand(kHICommandQuit);
                       });
    EXPECT_EQ(m_pApplication->Run(), 0);
    ASSERT_FALSE(pAbout.isNull());
    // It outlives the run, until the application object goes.
    EXPECT_NE(m_pApplication->m_pAboutWindow, nullptr);
    EXPECT_EQ(m_pApplication->m_pMainWindow, nullptr);
    m_pApplication.reset();
    g_pApplication = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(pAbout.isNull());
}

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
