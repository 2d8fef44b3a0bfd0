#include "windows/MacWindow.h"

#include "platform/ui/CommandBinding.h"
#include "platform/ui/EventTarget.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <vector>

struct OpaqueWindowHandlerRef
{
    EventHandlerProcPtr pProc;
    std::vector<EventTypeSpec> types;
    void* pUserData;
};

namespace
{
// The event target of one window: a child of its widget, so it goes with the window.
class CWindowTarget : public QObject
{
public:
    explicit CWindowTarget(QWidget* pWindow);
    ~CWindowTarget() override;

    OSStatus Dispatch(EventRef pEvent);
    // Hands an event that Qt delivered to the window to the handlers, noting that the
    // window is in use meanwhile.
    OSStatus DispatchFromQt(uint32_t uiClass, uint32_t uiKind, uint32_t uiCommandID = 0,
                            char cKey = 0);
    // Return, Enter and Escape as a dialog takes them; true when the key was used.
    bool PressKey(const QKeyEvent& key);

    QWidget* m_pWindow;
    std::vector<std::unique_ptr<OpaqueWindowHandlerRef>> m_handlers;
    QEventLoop* m_pModalLoop = nullptr;
    int m_nDispatchDepth = 0;
    bool m_bDisposing = false;
    bool m_bDisposed = false;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
};

QHash<QWidget*, CWindowTarget*>& Targets()
{
    static QHash<QWidget*, CWindowTarget*> s_targets;
    return s_targets;
}

CWindowTarget* FindTarget(WindowRef pWindow)
{
    return pWindow ? Targets().value(pWindow, nullptr) : nullptr;
}

CWindowTarget::CWindowTarget(QWidget* pWindow) : QObject(pWindow), m_pWindow(pWindow)
{
    Targets().insert(pWindow, this);
    pWindow->installEventFilter(this);
    // Carbon order: the control hit, then the control's command.
    const QList<QAbstractButton*> buttons = pWindow->findChildren<QAbstractButton*>();
    for (QAbstractButton* pButton : buttons)
        connect(pButton, &QAbstractButton::clicked, this,
                [this] { DispatchFromQt(kEventClassControl, kEventControlHit); });
    ConnectCommands(pWindow,
                    [target = QPointer<CWindowTarget>(this)](uint32_t uiCommandID)
                    {
                        if (target)
                            target->DispatchFromQt(kEventClassCommand, kEventCommandProcess,
                                                   uiCommandID);
                    });
}

CWindowTarget::~CWindowTarget()
{
    Targets().remove(m_pWindow);
}

OSStatus CWindowTarget::Dispatch(EventRef pEvent)
{
    // A handler may install or remove handlers: walk a snapshot, skipping removed ones.
    std::vector<OpaqueWindowHandlerRef*> handlers;
    for (auto it = m_handlers.rbegin(); it != m_handlers.rend(); ++it)
        handlers.push_back(it->get());
    QPointer<CWindowTarget> self(this);
    for (OpaqueWindowHandlerRef* pHandler : handlers)
    {
        if (!self || m_bDisposed)
            break;
        bool bInstalled = std::any_of(m_handlers.begin(), m_handlers.end(),
                                      [pHandler](const auto& p) { return p.get() == pHandler; });
        bool bWanted = std::any_of(pHandler->types.begin(), pHandler->types.end(),
                                   [pEvent](const EventTypeSpec& type) {
                                       return type.eventClass == pEvent->eventClass &&
                                              type.eventKind == pEvent->eventKind;
                                   });
        if (!bInstalled || !bWanted)
            continue;
        OSStatus nResult = pHandler->pProc(this, pEvent, pHandler->pUserData);
        if (nResult != eventNotHandledErr)
            return nResult;
    }
    return eventNotHandledErr;
}

OSStatus CWindowTarget::DispatchFromQt(uint32_t uiClass, uint32_t uiKind, uint32_t uiCommandID,
                                      char cKey)
{
    if (m_bDisposed)
        return eventNotHandledErr;
    OpaqueEventRef event;
    event.eventClass = uiClass;
    event.eventKind = uiKind;
    event.command.commandID = uiCommandID;
    event.window = m_pWindow;
    event.keyChar = cKey;
    // DisposeWindow defers deleting the widget, and with it this target, while the count
    // is up; a nested event loop may still delete it.
    QPointer<CWindowTarget> self(this);
    ++m_nDispatchDepth;
    OSStatus nResult = SendEventToWindow(&event, m_pWindow);
    if (self)
        --m_nDispatchDepth;
    return nResult;
}

bool CWindowTarget::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched != m_pWindow || m_bDisposed)
        return false;
    switch (pEvent->type())
    {
    case QEvent::Close:
        // The handlers decide; a close they leave disposes the window, never Qt.
        pEvent->ignore();
        DispatchFromQt(kEventClassWindow, kEventWindowClose);
        return true;
    case QEvent::WindowActivate:
        DispatchFromQt(kEventClassWindow, kEventWindowActivated);
        return false;
    case QEvent::MouseButtonPress:
        DispatchFromQt(kEventClassMouse, kEventMouseDown);
        return false;
    case QEvent::KeyPress:
        return PressKey(*static_cast<QKeyEvent*>(pEvent));
    default:
        return false;
    }
}

// The window's shown push button that has the property: `default` or `cancel`.
QPushButton* FindKeyButton(QWidget* pWindow, const char* pszProperty)
{
    const QList<QPushButton*> buttons = pWindow->findChildren<QPushButton*>();
    for (QPushButton* pButton : buttons)
        if (pButton->property(pszProperty).toBool() && pButton->isVisibleTo(pWindow))
            return pButton;
    return nullptr;
}

bool CWindowTarget::PressKey(const QKeyEvent& key)
{
    char cKey = 0;
    switch (key.key())
    {
    case Qt::Key_Return:
        cKey = kReturnCharCode;
        break;
    case Qt::Key_Enter:
        cKey = kEnterCharCode;
        break;
    case Qt::Key_Escape:
        cKey = kEscapeCharCode;
        break;
    default:
        return false;
    }
    if (key.modifiers() & ~Qt::KeypadModifier)
        return false;
    if (QPushButton* pButton =
            FindKeyButton(m_pWindow, cKey == kEscapeCharCode ? "cancel" : "default"))
    {
        // A key held down repeats: one press of the button is what was meant.
        if (pButton->isEnabled() && !key.isAutoRepeat())
            pButton->click();
        return true;
    }
    return DispatchFromQt(kEventClassKeyboard, kEventRawKeyDown, 0, cKey) != eventNotHandledErr;
}

bool InDispatch(WindowRef pWindow)
{
    CWindowTarget* pTarget = FindTarget(pWindow);
    return pTarget && pTarget->m_nDispatchDepth > 0;
}
} // namespace

OSStatus InstallWindowEventHandler(WindowRef pWindow, EventHandlerProcPtr pProc,
                                   uint32_t uiNumTypes, const EventTypeSpec* pList, void* pUserData,
                                   WindowHandlerRef* pOutRef)
{
    if (!pWindow || !pProc || (uiNumTypes > 0 && !pList))
        return eventInternalErr;
    CWindowTarget* pTarget = FindTarget(pWindow);
    if (!pTarget)
        pTarget = new CWindowTarget(pWindow);
    if (pTarget->m_bDisposed)
        return eventInternalErr;
    auto pHandler = std::make_unique<OpaqueWindowHandlerRef>();
    pHandler->pProc = pProc;
    pHandler->types.assign(pList, pList + uiNumTypes);
    pHandler->pUserData = pUserData;
    if (pOutRef)
        *pOutRef = pHandler.get();
    pTarget->m_handlers.push_back(std::move(pHandler));
    return noErr;
}

OSStatus SendEventToWindow(EventRef pEvent, WindowRef pWindow)
{
    QPointer<QWidget> window(pWindow);
    CWindowTarget* pTarget = FindTarget(pWindow);
    OSStatus nResult = pTarget ? pTarget->Dispatch(pEvent) : eventNotHandledErr;
    if (nResult != eventNotHandledErr)
        return nResult;
    if (pEvent->eventClass == kEventClassCommand)
        return SendEventToEventTarget(pEvent, GetApplicationEventTarget());
    // A handler may have disposed the window already.
    if (pEvent->eventClass == kEventClassWindow && pEvent->eventKind == kEventWindowClose && window)
        DisposeWindow(pWindow);
    return nResult;
}

void ShowWindow(WindowRef pWindow)
{
    if (!pWindow || pWindow->isVisible())
        return;
    QPointer<QWidget> window(pWindow);
    OpaqueEventRef event;
    event.eventClass = kEventClassWindow;
    event.eventKind = kEventWindowShowing;
    event.window = pWindow;
    if (CWindowTarget* pTarget = FindTarget(pWindow); pTarget && !pTarget->m_bDisposed)
        pTarget->Dispatch(&event);
    if (!window)
        return;
    pWindow->show();
    event.eventKind = kEventWindowShown;
    if (CWindowTarget* pTarget = FindTarget(pWindow); pTarget && !pTarget->m_bDisposed)
        pTarget->Dispatch(&event);
}

void HideWindow(WindowRef pWindow)
{
    if (pWindow)
        pWindow->hide();
}

void SelectWindow(WindowRef pWindow)
{
    if (!pWindow)
        return;
    pWindow->raise();
    pWindow->activateWindow();
}

OSStatus SetUserFocusWindow(WindowRef pWindow)
{
    if (!pWindow)
        return eventInternalErr;
    pWindow->activateWindow();
    QPushButton* pDefault = FindKeyButton(pWindow, "default");
    if (pDefault && pDefault->isEnabled() && pDefault->focusPolicy() != Qt::NoFocus)
        pDefault->setFocus(Qt::ActiveWindowFocusReason);
    else
        pWindow->setFocus(Qt::ActiveWindowFocusReason);
    return noErr;
}

void DisposeWindow(WindowRef pWindow)
{
    if (!pWindow)
        return;
    if (CWindowTarget* pTarget = FindTarget(pWindow))
    {
        // The dispose handlers run once, also when one of them disposes the window again.
        if (pTarget->m_bDisposing)
            return;
        pTarget->m_bDisposing = true;
        OpaqueEventRef event;
        event.eventClass = kEventClassWindow;
        event.eventKind = kEventWindowDispose;
        event.window = pWindow;
        pTarget->Dispatch(&event);
        pTarget->m_bDisposed = true;
        pTarget->m_handlers.clear();
        if (pTarget->m_pModalLoop)
            pTarget->m_pModalLoop->quit();
    }
    pWindow->hide();
    // Deleting a widget inside its own event or signal would pull it from under Qt.
    if (InDispatch(pWindow))
        pWindow->deleteLater();
    else
        delete pWindow;
}

OSStatus RunAppModalLoopForWindow(WindowRef pWindow)
{
    CWindowTarget* pTarget = FindTarget(pWindow);
    if (!pTarget || pTarget->m_bDisposed || pTarget->m_pModalLoop)
        return eventInternalErr;
    if (pWindow->windowModality() != Qt::ApplicationModal)
    {
        // Qt takes a new modality only when the window is shown again.
        bool bVisible = pWindow->isVisible();
        if (bVisible)
            pWindow->hide();
        pWindow->setWindowModality(Qt::ApplicationModal);
        if (bVisible)
            pWindow->show();
    }
    QEventLoop loop;
    QPointer<CWindowTarget> target(pTarget);
    pTarget->m_pModalLoop = &loop;
    loop.exec();
    if (target)
        target->m_pModalLoop = nullptr;
    return noErr;
}

OSStatus QuitAppModalLoopForWindow(WindowRef pWindow)
{
    CWindowTarget* pTarget = FindTarget(pWindow);
    if (!pTarget || !pTarget->m_pModalLoop)
        return eventInternalErr;
    pTarget->m_pModalLoop->quit();
    return noErr;
}
