#include "platform/ui/EventTarget.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

struct OpaqueEventHandlerRef
{
    EventHandlerProcPtr pProc = nullptr;
    std::vector<EventTypeSpec> types;
    void* pUserData = nullptr;
    bool bRemoved = false;

    bool Wants(EventRef pEvent) const
    {
        return std::any_of(types.begin(), types.end(),
                           [pEvent](const EventTypeSpec& type) {
                               return type.eventClass == pEvent->eventClass &&
                                      type.eventKind == pEvent->eventKind;
                           });
    }
};

struct OpaqueEventTargetRef
{
    std::vector<std::shared_ptr<OpaqueEventHandlerRef>> handlers; // in order of installation
    OSStatus (*pStandardHandler)(EventRef pEvent) = nullptr;
};

namespace
{
OSStatus HandleApplicationEvent(EventRef pEvent)
{
    if (pEvent->eventClass == kEventClassCommand && pEvent->eventKind == kEventCommandProcess &&
        pEvent->command.commandID == kHICommandQuit)
    {
        QuitApplicationEventLoop();
        return noErr;
    }
    return eventNotHandledErr;
}

OpaqueEventTargetRef sg_applicationTarget{{}, &HandleApplicationEvent};
QEventLoop* sg_pApplicationLoop = nullptr;
int sg_aiSignalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t written = write(sg_aiSignalPipe[1], &byte, 1);
}
} // namespace

EventTargetRef GetApplicationEventTarget()
{
    return &sg_applicationTarget;
}

OSStatus InstallEventHandler(EventTargetRef pTarget, EventHandlerProcPtr pProc, uint32_t uiNumTypes,
                             const EventTypeSpec* pList, void* pUserData, EventHandlerRef* pOutRef)
{
    if (pOutRef)
        *pOutRef = nullptr;
    if (!pTarget || !pProc || (uiNumTypes && !pList))
        return eventInternalErr;
    auto pHandler = std::make_shared<OpaqueEventHandlerRef>();
    pHandler->pProc = pProc;
    pHandler->types.assign(pList, pList + uiNumTypes);
    pHandler->pUserData = pUserData;
    pTarget->handlers.push_back(pHandler);
    if (pOutRef)
        *pOutRef = pHandler.get();
    return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef pRef)
{
    // Looked up, not dereferenced: a handle removed twice is an error, not a crash.
    auto& handlers = sg_applicationTarget.handlers;
    auto found = std::find_if(handlers.begin(), handlers.end(),
                              [pRef](const auto& pHandler) { return pHandler.get() == pRef; });
    if (found == handlers.end())
        return eventInternalErr;
    (*found)->bRemoved = true;
    handlers.erase(found);
    return noErr;
}

OSStatus SendEventToEventTarget(EventRef pEvent, EventTargetRef pTarget)
{
    if (!pEvent || !pTarget)
        return eventInternalErr;
    // Handlers may install or remove handlers while they run: walk a snapshot, skipping
    // those removed meanwhile.
    const auto handlers = pTarget->handlers;
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
    {
        const auto& pHandler = *it;
        if (pHandler->bRemoved || !pHandler->Wants(pEvent))
            continue;
        const OSStatus status = pHandler->pProc(pHandler.get(), pEvent, pHandler->pUserData);
        if (status != eventNotHandledErr)
            return status;
    }
    return pTarget->pStandardHandler ? pTarget->pStandardHandler(pEvent) : eventNotHandledErr;
}

OSStatus ProcessHICommand(uint32_t uiCommandID)
{
    OpaqueEventRef event;
    event.eventClass = kEventClassCommand;
    event.eventKind = kEventCommandProcess;
    event.command.commandID = uiCommandID;
    return SendEventToEventTarget(&event, GetApplicationEventTarget());
}

void RunApplicationEventLoop()
{
    if (!QCoreApplication::instance())
        return;
    // A loop of our own rather than QApplication::exec: it ends only when told to, not
    // when the last window closes.
    QEventLoop loop;
    QEventLoop* pOuterLoop = std::exchange(sg_pApplicationLoop, &loop);
    loop.exec();
    sg_pApplicationLoop = pOuterLoop;
}

void QuitApplicationEventLoop()
{
    if (sg_pApplicationLoop)
        sg_pApplicationLoop->exit(0);
}

void QuitOnTerminationSignals()
{
    if (sg_aiSignalPipe[0] >= 0 || !QCoreApplication::instance())
        return;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sg_aiSignalPipe) != 0)
        return;
    // The signal handler only writes a byte; the quit command is sent on the main thread.
    auto* pNotifier = new QSocketNotifier(sg_aiSignalPipe[0], QSocketNotifier::Read,
                                          QCoreApplication::instance());
    QObject::connect(pNotifier, &QSocketNotifier::activated,
                     []()
                     {
                         char byte;
                         if (read(sg_aiSignalPipe[0], &byte, 1) == 1)
                             ProcessHICommand(kHICommandQuit);
                     });
    struct sigaction action = {};
    action.sa_handler = &OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
