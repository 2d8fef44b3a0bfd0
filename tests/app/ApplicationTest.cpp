#include "app/Application.h"
#include "app/MessageManager.h"
#include "app/Preference.h"
#include "platform/bundle/ResourceFolder.h"
#include "platform/ui/CommandBinding.h"
#include "platform/ui/EventTarget.h"
#include "platform/ui/Nib.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <QAction>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace
{
QAction* MenuAction(uint32_t uiCommand)
{
    QMenuBar* pMenuBar = GetApplicationMenuBar();
    if (!pMenuBar)
        return nullptr;
    for (QAction* pAction : pMenuBar->findChildren<QAction*>())
    {
        if (GetCommandProperty(pAction) == uiCommand)
            return pAction;
    }
    return nullptr;
}

// Ends the loop from the menu once a message has gone through the application's own
// manager, which shows the manager exists and delivers while the loop runs.
class QuitOnMessage : public CMessageManagerListener
{
public:
    void OnMessageReceived(CMessageManager*, tagListenerMessage message,
                           CMessageManagerListener*) override
    {
        if (message.iMessage == LM_TRANSMIT_READY)
        {
            m_bReceived = true;
            // Quit as the menu does: the command goes to the application.
            if (QAction* pQuit = MenuAction(kHICommandQuit))
                pQuit->trigger();
            else
                g_pApplication->Destroy();
        }
    }
    bool m_bReceived = false;
};

class ApplicationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A run writes the preferences: keep them away from the user's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(m_settings.Path()));
        g_pApplication = &m_application;
    }
    void TearDown() override { g_pApplication = nullptr; }

    TempDir m_settings;
    CApplication m_application;
};
} // namespace

TEST_F(ApplicationTest, RunsTheLoopWithItsManagerAndTearsDownAfterIt)
{
    LogCapture log;
    QuitOnMessage listener;
    bool bManagerInLoop = false;
    // The menu bar lives in the main window, so it is looked at while the window is up.
    bool bAboutInMenu = false;
    QAction* pQuit = nullptr;
    QList<QKeySequence> keys;
    OSStatus aboutStatus = noErr;
    QTimer::singleShot(0,
                       [&]
                       {
                           // Every command passes through the application's handler unconsumed.
                           aboutStatus = ProcessHICommand(FourCharCode("Abou"));
                           bAboutInMenu = MenuAction(FourCharCode("Abou")) != nullptr;
                           pQuit = MenuAction(kHICommandQuit);
                           if (pQuit)
                               keys = pQuit->shortcuts();
                           bManagerInLoop = m_application.m_pMessageManager != nullptr;
                           if (!bManagerInLoop)
                               return g_pApplication->Destroy();
                           m_application.m_pMessageManager->AddListener(&listener);
                           m_application.m_pMessageManager->SendMessage(
                               {LM_TRANSMIT_READY, 10, -1, -1, -1}, nullptr);
                       });

    EXPECT_EQ(m_application.Run(), 0);
    EXPECT_TRUE(bManagerInLoop);
    EXPECT_TRUE(listener.m_bReceived);
    EXPECT_EQ(aboutStatus, eventNotHandledErr);
    OpaqueEventRef event;
    event.eventClass = kEventClassCommand;
    event.eventKind = kEventCommandUpdateStatus;
    EXPECT_EQ(CApplication::OnMacEvent(nullptr, &event, &m_application), eventNotHandledErr);
    event.eventClass = kEventClassWindow;
    EXPECT_EQ(CApplication::OnMacEvent(nullptr, &event, &m_application), eventNotHandledErr);
    EXPECT_EQ(m_application.m_pMessageManager, nullptr) << "released when the loop ends";
    for (const std::string& line : log.Lines())
        EXPECT_EQ(line.rfind("OnInitialize", 0), std::string::npos) << line;

    // The menu bar came from the "main" description.
    EXPECT_TRUE(bAboutInMenu);
    ASSERT_NE(pQuit, nullptr);
    EXPECT_TRUE(keys.contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
    for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Quit))
        EXPECT_TRUE(keys.contains(key)) << key.toString().toStdString();
}

TEST_F(ApplicationTest, ATerminationSignalQuitsInOrder)
{
    QuitOnTerminationSignals();
    QTimer::singleShot(0, [] { raise(SIGTERM); });
    EXPECT_EQ(m_application.Run(), 0);
    EXPECT_EQ(m_application.m_pMessageManager, nullptr);
}

// A thread that runs no event loop cannot carry the message manager's timer, so its
// Create fails there: the failure path through the public interface.
TEST_F(ApplicationTest, AManagerThatCannotBeCreatedEndsTheRunWithOneLogLine)
{
    TempDir resources;
    std::filesystem::create_directory(resources.File("main"));
    ScopedEnv env("QUILLMARK_RESOURCES", resources.Path());
    LogCapture log;

    int iResult = -1;
    std::thread([&] { iResult = m_application.Run(); }).join();
    EXPECT_EQ(iResult, 0);
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"OnInitialize : Failed to create MessageManager."});
    EXPECT_EQ(m_application.m_pMessageManager, nullptr) << "released by OnUninitialize";
}

// A description "main" that holds the menu bar but not the main window: the run ends at
// once, and the names read at its start are stored again at its end.
TEST_F(ApplicationTest, WithoutTheMainWindowLayoutTheRunEndsAtOnce)
{
    TempDir resources;
    std::filesystem::create_directory(resources.File("main"));
    std::filesystem::copy_file(GetResourceFolder() + "/main/MenuBar.ui",
                               resources.File("main/MenuBar.ui"));
    ScopedEnv env("QUILLMARK_RESOURCES", resources.Path());
    cPreference cPref;
    cPref.SetAppName("Quillmark");
    cPref.WriteString("Midi In Device", "Synth A - In");
    LogCapture log;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QuitApplicationEventLoop(); });
    guard.start(3000);

    EXPECT_EQ(m_application.Run(), 0);
    EXPECT_TRUE(guard.isActive()) << "the run waited for a window that never came";
    EXPECT_TRUE(log.Contains("Run : Failed to create MainWindow."));
    EXPECT_EQ(m_application.m_pMainWindow, nullptr);
    EXPECT_EQ(m_application.m_pMidiManager, nullptr);
    char szStored[256];
    cPref.ReadString("Midi In Device", szStored, "<none>");
    EXPECT_STREQ(szStored, "Synth A - In");
}

TEST(ApplicationProgram, ExitsWithStatusZeroWhenItHasNoResources)
{
    TempDir resources;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLMARK_RESOURCES", QString::fromStdString(resources.Path()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(QUILLMARK_BINARY, {});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}
