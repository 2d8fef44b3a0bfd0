#include "app/Application.h"
#include "platform/bundle/ResourceFolder.h"
#include "platform/ui/CommandBinding.h"
#include "platform/ui/EventTarget.h"
#include "platform/ui/Nib.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <QAction>
#include <QEventLoop>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

namespace
{
QAction* MenuAction(uint32_t uiCommand)
{
    QMenuBar* pMenuBar = GetApplicationMenuBar();
    for (QAction* pAction : pMenuBar ? pMenuBar->findChildren<QAction*>() : QList<QAction*>())
        if (GetCommandProperty(pAction) == uiCommand)
            return pAction;
    return nullptr;
}

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

TEST_F(ApplicationTest, RunsTheLoopUntilTheMenuOrASignalQuitsAndTearsDownAfterIt)
{
    bool bManagerInLoop = false;
    // The menu bar lives in the main window, so it is looked at while the window is up.
    QList<QKeySequence> keys;
    OSStatus aboutStatus = noErr;
    QTimer::singleShot(0,
                       [&]
                       {
                           // Every command passes through the application's handler unconsumed.
                           aboutStatus = ProcessHICommand(FourCharCode("Abou"));
                           bManagerInLoop = m_application.m_pMessageManager != nullptr;
                           // Quit as the menu does: the command goes to the application.
                           QAction* pQuit = MenuAction(kHICommandQuit);
                           if (!pQuit)
                               return g_pApplication->Destroy();
                           keys = pQuit->shortcuts();
                           pQuit->trigger();
                       });

    EXPECT_EQ(m_application.Run(), 0);
    EXPECT_TRUE(bManagerInLoop);
    EXPECT_EQ(aboutStatus, eventNotHandledErr);
    OpaqueEventRef event;
    event.eventClass = kEventClassCommand;
    event.eventKind = kEventCommandUpdateStatus;
    EXPECT_EQ(CApplication::OnMacEvent(nullptr, &event, &m_application), eventNotHandledErr);
    event.eventClass = kEventClassWindow;
    EXPECT_EQ(CApplication::OnMacEvent(nullptr, &event, &m_application), eventNotHandledErr);
    EXPECT_EQ(m_application.m_pMessageManager, nullptr) << "released when the loop ends";

    // The menu bar came from the "main" description.
    EXPECT_TRUE(keys.contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
    for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Quit))
        EXPECT_TRUE(keys.contains(key)) << key.toString().toStdString();

    // A termination signal quits in order, but only once the modal loop it came in has
    // ended; a quit without a loop is not remembered for the next one.
    QuitApplicationEventLoop();
    QuitOnTerminationSignals();
    bool bNestedFinished = false;
    QTimer::singleShot(0,
                       [&]
                       {
                           QEventLoop modal;
                           QTimer::singleShot(0, [] { raise(SIGTERM); });
                           QTimer::singleShot(50, &modal, [&] { bNestedFinished = true; });
                           QTimer::singleShot(60, &modal, &QEventLoop::quit);
                           modal.exec();
                       });
    EXPECT_EQ(m_application.Run(), 0);
    EXPECT_TRUE(bNestedFinished) << "the quit waited for the modal loop to end";
    EXPECT_EQ(m_application.m_pMessageManager, nullptr);
}

// Off the event loop's thread the message manager cannot be created; with the menu bar but
// not the main window in the description "main" the run ends at once.
TEST_F(ApplicationTest, WithoutItsResourcesManagerOrMainWindowTheRunEndsAtOnce)
{
    const std::string sMenuBar = GetResourceFolder() + "/main/MenuBar.ui";
    TempDir resources;
    // Without any resources the program itself ends with status 0.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLMARK_RESOURCES", QString::fromStdString(resources.Path()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(QUILLMARK_BINARY, {});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    std::filesystem::create_directory(resources.File("main"));
    ScopedEnv env("QUILLMARK_RESOURCES", resources.Path());
    LogCapture log;
    int iResult = -1;
    std::thread([&] { iResult = m_application.Run(); }).join();
    EXPECT_EQ(iResult, 0);
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"OnInitialize : Failed to create MessageManager."});
    EXPECT_EQ(m_application.m_pMessageManager, nullptr) << "released by OnUninitialize";

    std::filesystem::copy_file(sMenuBar, resources.File("main/MenuBar.ui"));
    QTimer guard;
    guard.setSingleShot(true);
    guard.callOnTimeout([] { QuitApplicationEventLoop(); });
    guard.start(3000);
    EXPECT_EQ(m_application.Run(), 0);
    EXPECT_TRUE(guard.isActive()) << "the run waited for a window that never came";
    EXPECT_TRUE(log.Contains("Run : Failed to create MainWindow."));
    EXPECT_EQ(m_application.m_pMainWindow, nullptr);
    EXPECT_EQ(m_application.m_pMidiManager, nullptr);
}
