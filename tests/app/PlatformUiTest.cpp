#include "platform/ui/CommandBinding.h"
#include "platform/ui/EventTarget.h"
#include "platform/ui/FileDrop.h"
#include "platform/ui/Nib.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "toolkit/Utility.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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
} // namespace

// Descriptions and their windows open by name only inside the resource folder; a
// description that is not a menu bar leaves the installed one in place.
TEST(Nib, OpensDescriptionsWindowsAndTheMenuBarByName)
{
    IBNibRef pNib = nullptr, pOther = nullptr;
    EXPECT_EQ(CreateNibReference("nosuch", &pNib), kIBCarbonRuntimeCantFindNibFile);
    ASSERT_EQ(CreateNibReference("main", &pNib), noErr);
    QWidget* pWindow = nullptr;
    for (const char* pszName : {"NoSuchWindow", "../main/MenuBar"})
        EXPECT_EQ(CreateWindowFromNib(pNib, pszName, &pWindow), kIBCarbonRuntimeCantFindObject);
    EXPECT_EQ(pWindow, nullptr);
    ASSERT_EQ(SetMenuBarFromNib(pNib, "MenuBar"), noErr);
    QMenuBar* pMenuBar = GetApplicationMenuBar();
    ASSERT_NE(pMenuBar, nullptr);

    TempDir resources;
    std::filesystem::create_directory(resources.File("other"));
    resources.Write("other/Plain.ui", R"(<ui version="4.0"><widget class="QWidget"/></ui>)");
    ScopedEnv env("QUILLMARK_RESOURCES", resources.Path());
    ASSERT_EQ(CreateNibReference("other", &pOther), noErr);
    EXPECT_EQ(SetMenuBarFromNib(pOther, "Plain"), kIBCarbonRuntimeCantFindObject);
    EXPECT_EQ(GetApplicationMenuBar(), pMenuBar);
    DisposeNibReference(pOther);
    DisposeNibReference(pNib);
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
