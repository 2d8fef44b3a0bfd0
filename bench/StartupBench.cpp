// Start-up time and idle memory of the program. Starts the application exactly as main
// does and prints, once its main window has been shown and the program has idled for a
// second:
//   startup_ms  from QM_BENCH_LAUNCH_NS (CLOCK_REALTIME, ns, taken by the launcher just
//               before exec; main's entry when unset) to the main window's Show
//   idle_rss_mb resident memory after the idle second
// bench/startup.sh runs it several times and sums up.

#include "app/Application.h"
#include "platform/ui/EventTarget.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace
{
long long RealtimeNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

double ResidentMegabytes()
{
    FILE* pFile = fopen("/proc/self/status", "r");
    if (!pFile)
        return -1.0;
    char szLine[256];
    double dKilobytes = -1.0;
    while (fgets(szLine, sizeof(szLine), pFile))
        if (strncmp(szLine, "VmRSS:", 6) == 0)
            dKilobytes = atof(szLine + 6);
    fclose(pFile);
    return dKilobytes < 0 ? -1.0 : dKilobytes / 1024.0;
}

// Notes the first Show of the main window, then lets the program idle and ends it.
class ShowWatcher : public QObject
{
public:
    explicit ShowWatcher(long long llStartNs) : m_llStartNs(llStartNs) {}

    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (m_llShownNs == 0 && pEvent->type() == QEvent::Show &&
            pObject->objectName() == QLatin1String("MainWindow") &&
            qobject_cast<QMainWindow*>(pObject))
        {
            m_llShownNs = RealtimeNs();
            QTimer::singleShot(1000,
                               [this]()
                               {
                                   m_dIdleRss = ResidentMegabytes();
                                   g_pApplication->Destroy();
                               });
        }
        return false;
    }

    bool Shown() const { return m_llShownNs != 0; }
    double StartupMs() const { return double(m_llShownNs - m_llStartNs) / 1e6; }
    double IdleRss() const { return m_dIdleRss; }

private:
    long long m_llStartNs;
    long long m_llShownNs = 0;
    double m_dIdleRss = -1.0;
};
} // namespace

int main(int argc, char** argv)
{
    long long llStartNs = RealtimeNs();
    if (const char* pszLaunch = getenv("QM_BENCH_LAUNCH_NS"); pszLaunch && *pszLaunch)
        llStartNs = atoll(pszLaunch);

    QApplication qtApplication(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillmark.Quillmark"));
    QuitOnTerminationSignals();
    ShowWatcher watcher(llStartNs);
    qtApplication.installEventFilter(&watcher);

    g_pApplication = new CApplication;
    g_pApplication->Run();
    delete g_pApplication;
    g_pApplication = nullptr;

    if (!watcher.Shown())
    {
        fprintf(stderr, "The main window was never shown.\n");
        return 1;
    }
    printf("startup_ms %.1f\nidle_rss_mb %.1f\n", watcher.StartupMs(), watcher.IdleRss());
    return 0;
}
