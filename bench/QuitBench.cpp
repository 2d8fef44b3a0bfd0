// How promptly the program ends once the user quits. Starts the application as main does,
// lets it idle for half a second after its main window shows, sends the Quit command and
// prints, counted from the command:
//   quit_window_ms    until the main window is hidden
//   quit_run_ms       until the application's Run has returned (the MIDI manager is gone)
//   quit_teardown_ms  until the application object is deleted
//   quit_exit_ms      until the last exit handler, after Qt's and the statics' teardown
// Run it next to the kernel's sequencer too: alsa-vm -- build/bin/bench_quit.

#include "app/Application.h"
#include "platform/ui/EventTarget.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace
{
long long sg_llQuitNs = 0;

long long MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

double SinceQuitMs()
{
    return double(MonotonicNs() - sg_llQuitNs) / 1e6;
}

// Runs last of the exit handlers: it is registered first.
void PrintExit()
{
    if (sg_llQuitNs != 0)
        printf("quit_exit_ms %.1f\n", SinceQuitMs());
    fflush(stdout);
}

// Quits half a second after the main window shows, and notes when it hides.
class QuitWatcher : public QObject
{
public:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        const bool bMainWindow = pObject->objectName() == QLatin1String("MainWindow") &&
                                 qobject_cast<QMainWindow*>(pObject);
        if (bMainWindow && pEvent->type() == QEvent::Show && sg_llQuitNs == 0)
            QTimer::singleShot(500,
                               []
                               {
                                   sg_llQuitNs = MonotonicNs();
                                   ProcessHICommand(kHICommandQuit);
                               });
        if (bMainWindow && pEvent->type() == QEvent::Hide && sg_llQuitNs != 0 && m_dHiddenMs < 0)
            m_dHiddenMs = SinceQuitMs();
        return false;
    }

    double m_dHiddenMs = -1.0;
};
} // namespace

int main(int argc, char** argv)
{
    atexit(PrintExit);
    QApplication qtApplication(argc, argv);
    QuitOnTerminationSignals();
    QuitWatcher watcher;
    qtApplication.installEventFilter(&watcher);

    g_pApplication = new CApplication;
    g_pApplication->Run();
    const double dRunMs = SinceQuitMs();
    delete g_pApplication;
    g_pApplication = nullptr;
    const double dTeardownMs = SinceQuitMs();
    if (sg_llQuitNs == 0)
    {
        fprintf(stderr, "The main window was never shown.\n");
        return 1;
    }
    printf("quit_window_ms %.1f\nquit_run_ms %.1f\nquit_teardown_ms %.1f\n", watcher.m_dHiddenMs,
           dRunMs, dTeardownMs);
    return 0;
}
