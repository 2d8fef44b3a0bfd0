#include "platform/ui/CommandBinding.h"
#include "platform/ui/EventTarget.h"
#include "platform/ui/FileDrop.h"
#include "platform/ui/Nib.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "toolkit/DebugLog.h"
#include "toolkit/Utility.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QEventLoop>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace
{
struct tagHandlerCall
{
    std::vector<int>* pCalls;
    int iId;
    OSStatus answer;
};

OSStatus RecordingHandler(EventHandlerCallRef, EventRef, void* pUserData)
{
    auto* pCall = static_cast<tagHandlerCall*>(pUserData);
    pCall->pCalls->push_back(pCall->iId);
    return pCall->answer;
}

const EventTypeSpec kCommandProcess[] = {{kEventClassCommand, kEventCommandProcess}};
} // namespace

// Descriptions and their windows open by name only inside the resource folder; a
// description that is not a menu bar leaves the installed one in place.
TEST(Nib, OpensDescriptionsWindowsAndTheMenuBarByName)
{
    IBNibRef pNib = nullptr;
    EXPECT_EQ(CreateNibReference("nosuch", &pNib), kIBCarbonRuntimeCantFindNibFile);
    EXPECT_EQ(pNib, nullptr);
    ASSERT_EQ(CreateNibReference("main", &pNib), noErr);
    QWidget* pWindow = nullptr;
    EXPECT_EQ(CreateWindowFromNib(pNib, "NoSuchWindow", &pWindow), kIBCarbonRuntimeCantFindObject);
    EXPECT_EQ(CreateWindowFromNib(pNib, "../main/MenuBar", &pWindow),
              kIBCarbonRuntimeCantFindObject);
    EXPECT_EQ(pWindow, nullptr);
    ASSERT_EQ(SetMenuBarFromNib(pNib, "MenuBar"), noErr);
    QMenuBar* pMenuBar = GetApplicationMenuBar();
    ASSERT_NE(pMenuBar, nullptr);

    TempDir resources;
    std::filesystem::create_directory(resources.File("other"));
    resources.Write(
        "other/Plain.ui",
        std::string(R"(<ui version="4.0"><widget class="QWidget" name="Plain"/></ui>)"));
    {
        ScopedEnv env("QUILLMARK_RESOURCES", resources.Path());
        IBNibRef pOther = nullptr;
        ASSERT_EQ(CreateNibReference("other", &pOther), noErr);
        EXPECT_EQ(SetMenuBarFromNib(pOther, "Plain"), kIBCarbonRuntimeCantFindObject);
        EXPECT_EQ(SetMenuBarFromNib(pOther, "Missing"), kIBCarbonRuntimeCantFindObject);
        DisposeNibReference(pOther);
    }
    EXPECT_EQ(GetApplicationMenuBar(), pMenuBar);
    DisposeNibReference(pNib);
}

// Only buttons, actions and combo boxes whose command is four characters are connected.
TEST(CommandBinding, ConnectsButtonsActionsAndComboBoxesThatCarryACommand)
{
    QWidget root;
    auto* pReceive = new QPushButton(&root);
    auto* pDevices = new QComboBox(&root);
    pDevices->addItems({"one", "two"});
    auto* pSave = new QAction(&root);
    auto* pLong = new QPushButton(&root);
    pReceive->setProperty("command", "Recv");
    pDevices->setProperty("command", "SLMi");
    pSave->setProperty("command", "save");
    (new QLabel(&root))->setProperty("command", "labl");
    pLong->setProperty("command", "toolong");
    new QPushButton(&root);
    EXPECT_EQ(GetCommandProperty(pReceive), 0x52656376u);
    EXPECT_EQ(GetCommandProperty(pLong) + GetCommandProperty(&root), 0u);

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
    std::vector<int> calls;
    tagHandlerCall first{&calls, 1, noErr};
    tagHandlerCall second{&calls, 2, eventNotHandledErr};
    tagHandlerCall other{&calls, 3, noErr};
    const EventTypeSpec windowClose[] = {{kEventClassWindow, 3}};
    EventHandlerRef pFirst = nullptr, pSecond = nullptr, pOther = nullptr;
    EventTargetRef pTarget = GetApplicationEventTarget();
    ASSERT_EQ(InstallEventHandler(pTarget, &RecordingHandler, 1, kCommandProcess, &first, &pFirst),
              noErr);
    ASSERT_EQ(
        InstallEventHandler(pTarget, &RecordingHandler, 1, kCommandProcess, &second, &pSecond),
        noErr);
    ASSERT_EQ(InstallEventHandler(pTarget, &RecordingHandler, 1, windowClose, &other, &pOther),
              noErr);

    EXPECT_EQ(ProcessHICommand(FourCharCode("Recv")), noErr);
    EXPECT_EQ(calls, (std::vector<int>{2, 1}));

    // Nobody takes it: the standard handling answers; it knows only quit.
    calls.clear();
    first.answer = eventNotHandledErr;
    EXPECT_EQ(ProcessHICommand(FourCharCode("Recv")), eventNotHandledErr);
    EXPECT_EQ(calls, (std::vector<int>{2, 1}));

    // A handler removed during a dispatch is not called.
    static EventHandlerRef s_pVictim = nullptr;
    s_pVictim = pFirst;
    EventHandlerRef pRemover = nullptr;
    ASSERT_EQ(InstallEventHandler(
                  pTarget,
                  [](EventHandlerCallRef, EventRef, void*) -> OSStatus
                  {
                      RemoveEventHandler(s_pVictim);
                      return eventNotHandledErr;
                  },
                  1, kCommandProcess, nullptr, &pRemover),
              noErr);
    calls.clear();
    ProcessHICommand(FourCharCode("Recv"));
    EXPECT_EQ(calls, (std::vector<int>{2}));

    EXPECT_EQ(RemoveEventHandler(pFirst), eventInternalErr);
    EXPECT_EQ(RemoveEventHandler(pRemover), noErr);
    EXPECT_EQ(RemoveEventHandler(pSecond), noErr);
    EXPECT_EQ(RemoveEventHandler(pOther), noErr);
    EXPECT_EQ(InstallEventHandler(pTarget, nullptr, 1, kCommandProcess, &first, &pFirst),
              eventInternalErr);
}

TEST(EventTarget, QuitEndsTheApplicationLoopButNotANestedOne)
{
    QuitApplicationEventLoop(); // no loop: nothing to end, nothing remembered
    bool bNestedFinished = false;
    QTimer::singleShot(0,
                       [&]
                       {
                           QEventLoop modal;
                           QTimer::singleShot(
                               0, &modal,
                               [] { EXPECT_EQ(ProcessHICommand(kHICommandQuit), noErr); });
                           QTimer::singleShot(50, &modal,
                                              [&]
                                              {
                                                  bNestedFinished = true;
                                                  modal.quit();
                                              });
                           modal.exec();
                       });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QuitApplicationEventLoop(); });
    guard.start(10000);
    RunApplicationEventLoop();
    EXPECT_TRUE(bNestedFinished) << "the quit waited for the modal loop to end";
    EXPECT_TRUE(guard.isActive());
}

// What a file manager drops: taken only when every item is a local file of a listed kind,
// and handed on once the drop has ended.
struct tagDropCase
{
    const char* pszName;
    std::vector<std::string> asFiles; // made in a temporary folder; "http:" ones are remote
    bool bTaken;
};

class FileDrop : public ::testing::TestWithParam<tagDropCase>
{
};

TEST_P(FileDrop, TakesOnlyLocalFilesOfItsKindsAndHandsThemOnAfterTheDrop)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.syx"));
    QList<QUrl> urls;
    std::vector<std::string> asExpected;
    for (const std::string& sFile : GetParam().asFiles)
    {
        if (sFile.rfind("http:", 0) == 0)
        {
            urls << QUrl(QString::fromStdString(sFile));
            continue;
        }
        const std::string sPath = sFile == "folder.syx" ? dir.File(sFile) : dir.Write(sFile, "x");
        urls << QUrl::fromLocalFile(QString::fromStdString(sPath));
        asExpected.push_back(sPath);
    }
    QWidget window;
    std::vector<std::string> asGot;
    int nCalls = 0;
    struct tagSeen
    {
        std::vector<std::string>* pPaths;
        int* pCalls;
    } seen{&asGot, &nCalls};
    ASSERT_EQ(InstallFileDropHandler(
                  &window, {".syx", ".msy"},
                  [](const std::vector<std::string>& asPaths, void* pUserData)
                  {
                      auto* pSeen = static_cast<tagSeen*>(pUserData);
                      *pSeen->pPaths = asPaths;
                      ++*pSeen->pCalls;
                  },
                  &seen),
              noErr);

    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    EXPECT_EQ(enter.isAccepted(), GetParam().bTaken);
    QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    EXPECT_EQ(nCalls, 0) << "the procedure runs after the drop has ended";
    QCoreApplication::processEvents();
    EXPECT_EQ(nCalls, GetParam().bTaken ? 1 : 0);
    if (GetParam().bTaken)
    {
        EXPECT_EQ(asGot, asExpected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Drags, FileDrop,
    ::testing::Values(tagDropCase{"OneSysEx", {"bank.syx"}, true},
                      tagDropCase{"ListsAndFilesAnyCase", {"set.MSY", "a.Syx"}, true},
                      tagDropCase{"OneOfAnotherKind", {"bank.syx", "notes.txt"}, false},
                      tagDropCase{"AFolderNamedLikeOne", {"folder.syx"}, false},
                      tagDropCase{"ARemoteFile", {"http://example.org/a.syx"}, false},
                      tagDropCase{"NoFiles", {}, false}),
    [](const auto& info) { return std::string(info.param.pszName); });

TEST(FileDropInstall, NeedsAWindowAndAProcedure)
{
    QWidget window;
    EXPECT_EQ(InstallFileDropHandler(
                  nullptr, {".syx"}, [](const auto&, void*) {}, nullptr),
              eventInternalErr);
    EXPECT_EQ(InstallFileDropHandler(&window, {".syx"}, nullptr, nullptr), eventInternalErr);
}
