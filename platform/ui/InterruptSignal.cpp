#include "platform/ui/InterruptSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
int sg_aiInterruptPipe[2] = {-1, -1};

void OnInterruptSignal(int iSignal)
{
    const unsigned char ucSignal = static_cast<unsigned char>(iSignal);
    [[maybe_unused]] ssize_t written = write(sg_aiInterruptPipe[1], &ucSignal, 1);
}
} // namespace

OSStatus InstallInterruptHandler(InterruptProcPtr pProc, void* pUserData)
{
    if (!pProc || sg_aiInterruptPipe[0] >= 0 || !QCoreApplication::instance())
        return eventInternalErr;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sg_aiInterruptPipe) != 0)
        return eventInternalErr;
    // The handler only writes the signal's number; the procedure runs on the main thread.
    auto* pNotifier = new QSocketNotifier(sg_aiInterruptPipe[0], QSocketNotifier::Read,
                                          QCoreApplication::instance());
    QObject::connect(pNotifier, &QSocketNotifier::activated,
                     [pProc, pUserData]()
                     {
                         unsigned char ucSignal = 0;
                         if (read(sg_aiInterruptPipe[0], &ucSignal, 1) == 1)
                             pProc(int(ucSignal), pUserData);
                     });
    struct sigaction action = {};
    action.sa_handler = &OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGINT, &action, nullptr) != 0 || sigaction(SIGTERM, &action, nullptr) != 0)
        return eventInternalErr;
    return noErr;
}
