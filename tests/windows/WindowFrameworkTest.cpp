#include "platform/ui/EventTarget.h"
#include "support/ScopedEnv.h"
#include "toolkit/Control.h"
#include "windows/ModelessWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// What the hooks of a test window saw; outlives the window object.
struct tagHookLog
{
    std::vector<std::string> calls;
    std::vector<uint32_t> commands;
    int iDestructed = 0;

    int Count(const std::string& call) const
    {
        return int(std::count(calls.begin(), calls.end(), call));
    }
};

class CTestWindow : public CModelessWindow
{
public:
    CTestWindow(tagHookLog& log, const char* pszName) : m_log(log), m_pszName(pszName) {}
    ~CTestWindow() override { ++m_log.iDestructed; }

    void OnCreate() override { Log("OnCreate"); }
    void OnDestroy() override { Log("OnDestroy"); }
    bool OnBeforeShow() override { return Log("OnBeforeShow"); }
    bool OnShow() override { return Log("OnShow"); }
    bool OnClose() override { return Log("OnClose") && m_bAcceptClose; }
    OSStatus EventFunc(EventRef, uint32_t uiKind, uint32_t uiCommandID) override
    {
        EXPECT_EQ(uiKind, kEventCommandProcess);
        m_log.commands.push_back(uiCommandID);
        return uiCommandID == FourCharCode("Abou") ? eventNotHandledErr : noErr;
    }
    OSStatus OnEvent(EventRef, uint32_t uiClass, uint32_t uiKind) override
    {
        Log(uiClass == kEventClassControl && uiKind == kEventControlHit ? "hit"
            : uiClass == kEventClassMouse && uiKind == kEventMouseDown  ? "mouse"
                                                                        : "other");
        return eventNotHandledErr;
    }
    const char* GetWindowName() override { return m_pszName; }

    QWidget* Widget() { return m_pWindow; }
    int Shown() const { return m_bShown; }
    int Created() const { return m_bCreated; }

    bool m_bAcceptClose = false;

private:
    bool Log(const char* pszCall)
    {
        m_log.calls.push_back(pszCall);
        return true;
    }

    tagHookLog& m_log;
    const char* m_pszName;
};

template <class T> T* FindByCommand(QWidget* pWindow, const char* pszCommand)
{
    for (T* pChild : pWindow->findChildren<T*>())
        if (pChild->property("command").toString() == QLatin1String(pszCommand))
            return pChild;
    return nullptr;
}

void FlushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The windows' layouts come from the test's own resources.
class WindowFramework : public testing::Test
{
protected:
    void TearDown() override { FlushDeferredDeletes(); }

    ScopedEnv m_resources{"QUILLMARK_RESOURCES", QM_TEST_WINDOW_RESOURCES};
    tagHookLog m_log;
};

// Collects the commands that reach the application target.
struct tagApplicationCommands
{
    static OSStatus Collect(EventHandlerCallRef, EventRef pEvent, void* pThis)
    {
        HICommand command;
        if (GetEventParameter(pEvent, kEventParamDirectObject, typeHICommand, &command) == noErr)
            static_cast<tagApplicationCommands*>(pThis)->commands.push_back(command.commandID);
        return eventNotHandledErr;
    }
    tagApplicationCommands()
    {
        static const EventTypeSpec type = {kEventClassCommand, kEventCommandProcess};
        InstallEventHandler(GetApplicationEventTarget(), &Collect, 1, &type, this, &pHandler);
    }
    ~tagApplicationCommands() { RemoveEventHandler(pHandler); }

    std::vector<uint32_t> commands;
    EventHandlerRef pHandler = nullptr;
};
} // namespace

// Create builds the window once and Show runs the hooks every time. Clicks, pop-up choices
// and mouse presses reach the window's handlers, a command by its four characters; a
// command the window leaves goes on to the application.
TEST_F(WindowFramework, CreateShowEventsAndCloseReachTheWindowsHooksWhereThereIsALayout)
{
    tagApplicationCommands application;
    auto* pWindow = new CTestWindow(m_log, "TestWindow");
    ASSERT_EQ(pWindow->Create(nullptr), 1);
    ASSERT_NE(pWindow->Widget(), nullptr);
    EXPECT_EQ(pWindow->Widget()->objectName(), "TestWindow");
    EXPECT_NE(GetControlByID(pWindow->Widget(), {FourCharCode("QMRK"), 4}), nullptr);
    EXPECT_FALSE(pWindow->Widget()->isVisible());
    QWidget* pFirst = pWindow->Widget();
    EXPECT_EQ(pWindow->Create(nullptr), 0);
    EXPECT_EQ(pWindow->Widget(), pFirst);

    pWindow->Show();
    EXPECT_TRUE(pWindow->Widget()->isVisible());
    EXPECT_EQ(pWindow->Shown(), 1);
    pWindow->Hide();
    EXPECT_FALSE(pWindow->Widget()->isVisible());
    EXPECT_EQ(pWindow->Shown(), 0);
    pWindow->Show();
    EXPECT_EQ(m_log.calls, (std::vector<std::string>{"OnCreate", "OnBeforeShow", "OnShow",
                                                     "OnBeforeShow", "OnShow"}));

    FindByCommand<QPushButton>(pWindow->Widget(), "Recv")->click();
    QComboBox* pPopup = FindByCommand<QComboBox>(pWindow->Widget(), "SLMi");
    ASSERT_NE(pPopup, nullptr);
    emit pPopup->activated(1);
    pWindow->Widget()->findChild<QPushButton*>("plainButton")->click();
    FindByCommand<QPushButton>(pWindow->Widget(), "Abou")->click();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pWindow->Widget(), &press);
    EXPECT_EQ(m_log.commands, (std::vector<uint32_t>{FourCharCode("Recv"), FourCharCode("SLMi"),
                                                     FourCharCode("Abou")}));
    // Every button click is a control hit first, the command button's before its command.
    EXPECT_EQ(m_log.Count("hit"), 3);
    EXPECT_EQ(m_log.Count("mouse"), 1);
    EXPECT_EQ(application.commands, std::vector<uint32_t>{FourCharCode("Abou")});

    // A close the window refuses keeps it; one it lets through disposes the window and frees
    // the object.
    QPointer<QWidget> widget = pWindow->Widget();
    EXPECT_FALSE(widget->close());
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(m_log.iDestructed, 0);
    pWindow->m_bAcceptClose = true;
    widget->close();
    EXPECT_EQ(m_log.Count("OnClose"), 2);
    EXPECT_EQ(m_log.Count("OnDestroy"), 1);
    EXPECT_EQ(m_log.iDestructed, 1);
    FlushDeferredDeletes();
    EXPECT_FALSE(widget);

    // Without its layout the window stays uncreated and inert.
    for (const char* pszName : {"NoSuchWindow", "Broken", ""})
    {
        SCOPED_TRACE(pszName);
        tagHookLog log;
        auto* pBare = new CTestWindow(log, pszName);
        EXPECT_EQ(pBare->Create(nullptr), 0);
        EXPECT_EQ(pBare->Created(), 0);
        pBare->Show();
        pBare->Hide();
        pBare->Activate();
        EXPECT_EQ(pBare->Destroy(), 1);
        EXPECT_TRUE(log.calls.empty());
        EXPECT_EQ(log.iDestructed, 0); // nothing was disposed, so the owner still owns it
        delete pBare;
    }
}
