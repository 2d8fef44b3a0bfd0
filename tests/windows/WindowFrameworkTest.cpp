#include "platform/ui/EventTarget.h"
#include "toolkit/Control.h"
#include "windows/ModelessWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cstdlib>
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

    void OnCreate() override { m_log.calls.push_back("OnCreate"); }
    void OnDestroy() override { m_log.calls.push_back("OnDestroy"); }
    bool OnBeforeShow() override
    {
        m_log.calls.push_back("OnBeforeShow");
        return true;
    }
    bool OnShow() override
    {
        m_log.calls.push_back("OnShow");
        return true;
    }
    bool OnClose() override
    {
        m_log.calls.push_back("OnClose");
        return m_bAcceptClose;
    }
    OSStatus EventFunc(EventRef, uint32_t uiKind, uint32_t uiCommandID) override
    {
        EXPECT_EQ(uiKind, kEventCommandProcess);
        m_log.commands.push_back(uiCommandID);
        return uiCommandID == FourCharCode("Abou") ? eventNotHandledErr : noErr;
    }
    OSStatus OnEvent(EventRef, uint32_t uiClass, uint32_t uiKind) override
    {
        m_log.calls.push_back(uiClass == kEventClassControl && uiKind == kEventControlHit ? "hit"
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

class WindowFramework : public testing::Test
{
protected:
    void SetUp() override
    {
        const char* pszOld = getenv("QUILLMARK_RESOURCES");
        m_oldResources = pszOld ? pszOld : "";
        setenv("QUILLMARK_RESOURCES", QM_TEST_WINDOW_RESOURCES, 1);
    }
    void TearDown() override
    {
        FlushDeferredDeletes();
        setenv("QUILLMARK_RESOURCES", m_oldResources.c_str(), 1);
    }

    tagHookLog m_log;
    std::string m_oldResources;
};

// Collects the commands that reach the application target.
OSStatus CollectApplicationCommand(EventHandlerCallRef, EventRef pEvent, void* pUserData)
{
    HICommand command;
    if (GetEventParameter(pEvent, kEventParamDirectObject, typeHICommand, &command) == noErr)
        static_cast<std::vector<uint32_t>*>(pUserData)->push_back(command.commandID);
    return eventNotHandledErr;
}

class CApplicationCommands
{
public:
    CApplicationCommands()
    {
        static const EventTypeSpec type = {kEventClassCommand, kEventCommandProcess};
        InstallEventHandler(GetApplicationEventTarget(), &CollectApplicationCommand, 1, &type,
                            &m_commands, &m_pHandler);
    }
    ~CApplicationCommands() { RemoveEventHandler(m_pHandler); }

    std::vector<uint32_t> m_commands;

private:
    EventHandlerRef m_pHandler = nullptr;
};
} // namespace

// Create builds the window once and Show runs the hooks every time. Clicks, pop-up choices
// and mouse presses reach the window's handlers, a command by its four characters; a
// command the window leaves goes on to the application.
TEST_F(WindowFramework, CreateShowEventsAndCloseReachTheWindowsHooks)
{
    CApplicationCommands application;
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
    EXPECT_EQ(application.m_commands, std::vector<uint32_t>{FourCharCode("Abou")});

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
}

TEST_F(WindowFramework, MissingLayoutLeavesTheWindowUncreatedAndInert)
{
    for (const char* pszName : {"NoSuchWindow", "Broken", ""})
    {
        SCOPED_TRACE(pszName);
        tagHookLog log;
        auto* pWindow = new CTestWindow(log, pszName);
        EXPECT_EQ(pWindow->Create(nullptr), 0);
        EXPECT_EQ(pWindow->Created(), 0);
        pWindow->Show();
        pWindow->Hide();
        pWindow->Activate();
        EXPECT_EQ(pWindow->Destroy(), 1);
        EXPECT_TRUE(log.calls.empty());
        EXPECT_EQ(log.iDestructed, 0); // nothing was disposed, so the owner still owns it
        delete pWindow;
    }
}
