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
using Calls = std::vector<std::string>;

// Logs its hooks, the commands that reach it and its destruction into a log that outlives it.
class CTestWindow : public CModelessWindow
{
public:
    CTestWindow(Calls& log, const char* pszName) : m_log(log), m_pszName(pszName) {}
    ~CTestWindow() override { m_log.push_back("~"); }

    void OnCreate() override { m_log.push_back("OnCreate"); }
    void OnDestroy() override { m_log.push_back("OnDestroy"); }
    bool OnBeforeShow() override { return Log("OnBeforeShow"); }
    bool OnShow() override { return Log("OnShow"); }
    bool OnClose() override { return Log("OnClose") && m_bAcceptClose; }
    OSStatus EventFunc(EventRef, uint32_t uiKind, uint32_t uiCommandID) override
    {
        EXPECT_EQ(uiKind, kEventCommandProcess);
        m_log.push_back({char(uiCommandID >> 24), char(uiCommandID >> 16), char(uiCommandID >> 8),
                         char(uiCommandID)});
        return uiCommandID == FourCharCode("Abou") ? eventNotHandledErr : noErr;
    }
    OSStatus OnEvent(EventRef, uint32_t uiClass, uint32_t uiKind) override
    {
        if (uiClass == kEventClassControl && uiKind == kEventControlHit)
            m_log.push_back("hit");
        else if (uiClass == kEventClassMouse && uiKind == kEventMouseDown)
            m_log.push_back("mouse");
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
        m_log.push_back(pszCall);
        return true;
    }

    Calls& m_log;
    const char* m_pszName;
};

template <class T> T* FindByCommand(QWidget* pWindow, const char* pszCommand)
{
    for (T* pChild : pWindow->findChildren<T*>())
        if (pChild->property("command").toString() == QLatin1String(pszCommand))
            return pChild;
    return nullptr;
}

// Collects the commands that reach the application target.
OSStatus CollectCommand(EventHandlerCallRef, EventRef pEvent, void* pCommands)
{
    HICommand command;
    if (GetEventParameter(pEvent, kEventParamDirectObject, typeHICommand, &command) == noErr)
        static_cast<std::vector<uint32_t>*>(pCommands)->push_back(command.commandID);
    return eventNotHandledErr;
}
} // namespace

// Create builds the window once and Show runs the hooks every time. Clicks, pop-up choices
// and mouse presses reach the window's handlers, a command by its four characters; a
// command the window leaves goes on to the application. The layouts come from the test's
// own resources.
TEST(WindowFramework, CreateShowEventsAndCloseReachTheWindowsHooksWhereThereIsALayout)
{
    const ScopedEnv resources("QUILLMARK_RESOURCES", QM_TEST_WINDOW_RESOURCES);
    std::vector<uint32_t> application;
    static const EventTypeSpec kCommand = {kEventClassCommand, kEventCommandProcess};
    EventHandlerRef pHandler = nullptr;
    InstallEventHandler(GetApplicationEventTarget(), &CollectCommand, 1, &kCommand, &application,
                        &pHandler);
    Calls log;
    auto* pWindow = new CTestWindow(log, "TestWindow");
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

    FindByCommand<QPushButton>(pWindow->Widget(), "Recv")->click();
    QComboBox* pPopup = FindByCommand<QComboBox>(pWindow->Widget(), "SLMi");
    ASSERT_NE(pPopup, nullptr);
    emit pPopup->activated(1);
    pWindow->Widget()->findChild<QPushButton*>("plainButton")->click();
    FindByCommand<QPushButton>(pWindow->Widget(), "Abou")->click();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pWindow->Widget(), &press);
    RemoveEventHandler(pHandler);
    EXPECT_EQ(application, std::vector<uint32_t>{FourCharCode("Abou")});

    // A close the window refuses keeps it; one it lets through disposes the window and frees
    // the object. Every button click is a control hit first, the command button's before its
    // command.
    QPointer<QWidget> widget = pWindow->Widget();
    EXPECT_FALSE(widget->close());
    EXPECT_TRUE(widget->isVisible());
    pWindow->m_bAcceptClose = true;
    widget->close();
    EXPECT_EQ(log, (Calls{"OnCreate", "OnBeforeShow", "OnShow", "OnBeforeShow", "OnShow", "hit",
                          "Recv", "SLMi", "hit", "hit", "Abou", "mouse", "OnClose", "OnClose",
                          "OnDestroy", "~"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(widget);

    // Without its layout the window stays uncreated and inert.
    for (const char* pszName : {"NoSuchWindow", "Broken", ""})
    {
        SCOPED_TRACE(pszName);
        Calls bare;
        auto* pBare = new CTestWindow(bare, pszName);
        EXPECT_EQ(pBare->Create(nullptr), 0);
        EXPECT_EQ(pBare->Created(), 0);
        pBare->Show();
        pBare->Hide();
        pBare->Activate();
        EXPECT_EQ(pBare->Destroy(), 1);
        EXPECT_TRUE(bare.empty()) << "nothing was disposed, so the owner still owns it";
        delete pBare;
    }
}
