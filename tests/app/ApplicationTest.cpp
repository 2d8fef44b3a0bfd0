#include "app/Application.h"
#include "app/Preference.h"
#include "app/PreferenceKeys.h"
#include "app/TransmitPreferences.h"
#include "midi/LumMidi.h"
#include "platform/bundle/ResourceFolder.h"
#include "platform/ui/CommandBinding.h"
#include "platform/ui/EventTarget.h"
#include "platform/ui/FileDrop.h"
#include "platform/ui/Nib.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "toolkit/Utility.h"
#include "transfer/MidiManager.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QEventLoop>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace
{
std::vector<int> sg_calls;

// Records the number it is given; a positive one takes the event.
OSStatus Record(EventHandlerCallRef, EventRef, void* pNumber)
{
    const int iNumber = *static_cast<int*>(pNumber);
    sg_calls.push_back(std::abs(iNumber));
    return iNumber > 0 ? noErr : eventNotHandledErr;
}

const EventTypeSpec kCommandProcess[] = {{kEventClassCommand, kEventCommandProcess}};

using namespace PreferenceKeys;
const char* const kApp = "Quillmark";
const char* const kIn = "Midi In Device";
const char* const kOut = "Midi Out Device";

// Every test gets its own user config folder, so nothing (a run writes the preferences)
// reaches the real one.
class ApplicationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(m_dir.Path()));
        m_pref.SetAppName(kApp);
        g_pApplication = &m_application;
    }
    void TearDown() override { g_pApplication = nullptr; }

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
    CApplication m_application;
};
using PreferenceTest = ApplicationTest;
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
                           QMenuBar* pMenuBar = GetApplicationMenuBar();
                           QAction* pQuit = nullptr;
                           for (QAction* pAction :
                                pMenuBar ? pMenuBar->findChildren<QAction*>() : QList<QAction*>())
                               if (GetCommandProperty(pAction) == kHICommandQuit)
                                   pQuit = pAction;
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

// Descriptions open by name only inside the resource folder; one not a menu bar leaves the
// installed one. Off the loop's thread, or without the main window, the run ends at once.
TEST_F(ApplicationTest, DescriptionsOpenByNameWithoutThemManagerOrMainWindowTheRunEndsAtOnce)
{
    IBNibRef pNib = nullptr, pOther = nullptr;
    EXPECT_EQ(CreateNibReference("nosuch", &pNib), kIBCarbonRuntimeCantFindNibFile);
    ASSERT_EQ(CreateNibReference("main", &pNib), noErr);
    QWidget* pWindow = nullptr;
    for (const char* pszName : {"NoSuchWindow", "../main/MenuBar"})
        EXPECT_EQ(CreateWindowFromNib(pNib, pszName, &pWindow), kIBCarbonRuntimeCantFindObject);
    EXPECT_EQ(pWindow, nullptr);
    ASSERT_EQ(SetMenuBarFromNib(pNib, "MenuBar"), noErr);
    DisposeNibReference(pNib);
    QMenuBar* pMenuBar = GetApplicationMenuBar();
    ASSERT_NE(pMenuBar, nullptr);

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
    std::filesystem::create_directory(resources.File("other"));
    resources.Write("other/Plain.ui", R"(<ui version="4.0"><widget class="QWidget"/></ui>)");
    ScopedEnv env("QUILLMARK_RESOURCES", resources.Path());
    ASSERT_EQ(CreateNibReference("other", &pOther), noErr);
    EXPECT_EQ(SetMenuBarFromNib(pOther, "Plain"), kIBCarbonRuntimeCantFindObject);
    EXPECT_EQ(GetApplicationMenuBar(), pMenuBar);
    DisposeNibReference(pOther);

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

// Only buttons, actions and combo boxes whose command is four characters are connected.
TEST(CommandBinding, ConnectsButtonsActionsAndComboBoxesThatCarryACommand)
{
    QWidget root;
    auto* pReceive = new QPushButton(&root);
    auto* pDevices = new QComboBox(&root);
    auto* pSave = new QAction(&root);
    auto* pLong = new QPushButton(&root);
    pReceive->setProperty("command", "Recv");
    pDevices->setProperty("command", "SLMi");
    pSave->setProperty("command", "save");
    (new QLabel(&root))->setProperty("command", "labl");
    pLong->setProperty("command", "toolong");
    std::vector<uint32_t> commands;
    EXPECT_EQ(ConnectCommands(&root, [&](uint32_t uiCommand) { commands.push_back(uiCommand); }),
              3);
    pReceive->click();
    pDevices->activated(1);
    pSave->trigger();
    pLong->click();
    EXPECT_EQ(commands, (std::vector<uint32_t>{FourCharCode("Recv"), FourCharCode("SLMi"),
                                               FourCharCode("save")}));
}

// Handlers run newest first until one takes the event; one removed during a dispatch is
// not called.
TEST(EventTarget, HandlersRunNewestFirstUntilOneTakesTheEvent)
{
    int first = 1, second = -2, other = 3;
    const EventTypeSpec windowClose[] = {{kEventClassWindow, 3}};
    EventHandlerRef pFirst = nullptr, pSecond = nullptr, pOther = nullptr;
    EventTargetRef pApp = GetApplicationEventTarget();
    ASSERT_EQ(InstallEventHandler(pApp, &Record, 1, kCommandProcess, &first, &pFirst), noErr);
    ASSERT_EQ(InstallEventHandler(pApp, &Record, 1, kCommandProcess, &second, &pSecond), noErr);
    ASSERT_EQ(InstallEventHandler(pApp, &Record, 1, windowClose, &other, &pOther), noErr);

    EXPECT_EQ(ProcessHICommand(FourCharCode("Recv")), noErr);
    EXPECT_EQ(std::exchange(sg_calls, {}), (std::vector<int>{2, 1}));

    // Nobody takes it: the standard handling answers; it knows only quit.
    first = -1;
    EXPECT_EQ(ProcessHICommand(FourCharCode("Recv")), eventNotHandledErr);
    EXPECT_EQ(std::exchange(sg_calls, {}), (std::vector<int>{2, 1}));

    // A handler removed during a dispatch is not called.
    EventHandlerRef pRemover = nullptr;
    ASSERT_EQ(InstallEventHandler(
                  pApp,
                  [](EventHandlerCallRef, EventRef, void* pVictim) -> OSStatus
                  {
                      RemoveEventHandler(*static_cast<EventHandlerRef*>(pVictim));
                      return eventNotHandledErr;
                  },
                  1, kCommandProcess, &pFirst, &pRemover),
              noErr);
    ProcessHICommand(FourCharCode("Recv"));
    EXPECT_EQ(sg_calls, (std::vector<int>{2}));

    EXPECT_EQ(RemoveEventHandler(pFirst), eventInternalErr);
    for (EventHandlerRef pHandler : {pRemover, pSecond, pOther})
        EXPECT_EQ(RemoveEventHandler(pHandler), noErr);
    EXPECT_EQ(InstallEventHandler(pApp, nullptr, 1, kCommandProcess, &first, &pFirst),
              eventInternalErr);
}

// What a file manager drops: taken only when every item is a local file of a listed kind,
// and handed on once the drop has ended.
TEST(FileDrop, TakesOnlyLocalFilesOfItsKindsAndHandsThemOnAfterTheDrop)
{
    using Paths = std::vector<std::string>;
    QWidget window;
    std::vector<Paths> calls;
    const FileDropProcPtr pRecord = [](const Paths& asPaths, void* pCalls)
    { static_cast<std::vector<Paths>*>(pCalls)->push_back(asPaths); };
    EXPECT_EQ(InstallFileDropHandler(nullptr, {".syx"}, pRecord, nullptr), eventInternalErr);
    EXPECT_EQ(InstallFileDropHandler(&window, {".syx"}, nullptr, nullptr), eventInternalErr);
    ASSERT_EQ(InstallFileDropHandler(&window, {".syx", ".msy"}, pRecord, &calls), noErr);
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.syx"));
    for (const char* pszFile : {"bank.syx", "set.MSY", "a.Syx", "notes.txt"})
        dir.Write(pszFile, "x");
    // Files of the folder; "http:" ones are remote.
    const std::pair<Paths, bool> cases[] = {{{"bank.syx"}, true},
                                            {{"set.MSY", "a.Syx"}, true},
                                            {{"bank.syx", "notes.txt"}, false},
                                            {{"folder.syx"}, false},
                                            {{"http://example.org/a.syx"}, false},
                                            {{}, false}};
    for (const auto& [asFiles, bTaken] : cases)
    {
        SCOPED_TRACE(asFiles.empty() ? "none" : asFiles.back());
        QList<QUrl> urls;
        Paths asExpected;
        for (const std::string& sFile : asFiles)
        {
            asExpected.push_back(dir.File(sFile));
            urls << (sFile.starts_with("http:")
                         ? QUrl(QString::fromStdString(sFile))
                         : QUrl::fromLocalFile(QString::fromStdString(asExpected.back())));
        }
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        EXPECT_EQ(enter.isAccepted(), bTaken);
        QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &drop);
        EXPECT_TRUE(calls.empty()) << "the procedure runs after the drop has ended";
        QCoreApplication::processEvents();
        EXPECT_EQ(calls, bTaken ? std::vector<Paths>{asExpected} : std::vector<Paths>{});
        calls.clear();
    }
}

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

    ASSERT_EQ(m_application.OnInitialize(), 1);
    EXPECT_STREQ(m_application.m_szMidiInDevice, "Synth Co - Port 1");
    EXPECT_STREQ(m_application.m_szMidiOutDevice, "");
    ASSERT_NE(m_application.m_pMidiManager, nullptr);
    char szOut[256] = "";
    GetMidiOutDeviceName(0, szOut, sizeof szOut);
    ASSERT_NE(szOut[0], '\0') << "the virtual back end offers its instrument";
    EXPECT_EQ(m_application.m_pMidiManager->MidiOutOpenByName(szOut), 1);

    EXPECT_EQ(m_application.OnUninitialize(), 1);
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
