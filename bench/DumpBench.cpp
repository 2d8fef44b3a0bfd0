// The message list and the dump report on a large dump: a Sample Dump Standard header and
// 132,000 data packets, 16 MiB. Each measurement runs in a child process of its own so
// that its peak memory is its own. Prints:
//   file_mb, messages          the dump
//   report_ms                  map, index and print the report (to /dev/null)
//   report_peak_rss_mb         peak resident memory of that process, and above its start
//   list_first_paint_ms        map and index the file, build the message window, show
//                              it, until the list's first paint has finished
//   list_scroll_page_ms        mean time of a page down in the list with its repaint
//   list_rss_after_qt_start_mb resident memory once QApplication runs, before the dump
//   list_peak_rss_mb           peak resident memory of that process, and above its start
//   list_small_...             the same for a dump of two messages
//   show_ms, show_peak_rss_mb  `quillmark show FILE` (to /dev/null) in a process of its
//                              own: start to exit, and its peak resident memory
//   show_small_...             the same for the dump of two messages
// What the dump costs the list is list_peak_rss_mb - list_small_peak_rss_mb, and the show
// command show_peak_rss_mb - show_small_peak_rss_mb; compare them and the report's "above
// start" with file_mb (target <= 2x).

#include "file/SysExDump.h"
#include "file/SysExDumpReport.h"
#include "windows/MessageWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr size_t kPackets = 132000;
constexpr size_t kPacketLength = 127;

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
    return dKilobytes / 1024.0;
}

std::string WriteDump(size_t nPackets)
{
    std::vector<unsigned char> bytes = {0xF0, 0x7E, 0x00, 0x01, 0x00, 0x00, 0x10,
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF7};
    for (size_t i = 0; i < nPackets; ++i)
    {
        const size_t nStart = bytes.size();
        bytes.insert(bytes.end(), {0xF0, 0x7E, 0x00, 0x02, (unsigned char)(i & 0x7F)});
        for (size_t j = 0; j < 120; ++j)
            bytes.push_back((unsigned char)((i + j * 7) & 0x7F));
        unsigned char ucSum = 0;
        for (size_t j = nStart + 1; j < bytes.size(); ++j)
            ucSum ^= bytes[j];
        bytes.push_back(ucSum & 0x7F);
        bytes.push_back(0xF7);
    }
    const std::string sPath =
        (std::filesystem::temp_directory_path() /
         ("bench_dump_" + std::to_string(getpid()) + "_" + std::to_string(nPackets) + ".syx"))
            .string();
    FILE* pFile = fopen(sPath.c_str(), "wb");
    if (!pFile || fwrite(bytes.data(), 1, bytes.size(), pFile) != bytes.size())
    {
        fprintf(stderr, "bench_dump: cannot write %s\n", sPath.c_str());
        exit(1);
    }
    fclose(pFile);
    return sPath;
}

double ElapsedMs(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Runs the measurement in a child; prints its peak memory under the name.
template <typename Measure> void InChild(const char* pszName, Measure measure)
{
    fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0)
    {
        const double dStartMb = ResidentMegabytes();
        const int iStatus = measure();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        printf("%s_peak_rss_mb %.1f (above start %.1f)\n", pszName, usage.ru_maxrss / 1024.0,
               usage.ru_maxrss / 1024.0 - dStartMb);
        fflush(stdout);
        _exit(iStatus);
    }
    int iStatus = 0;
    waitpid(pid, &iStatus, 0);
    if (!WIFEXITED(iStatus) || WEXITSTATUS(iStatus) != 0)
        fprintf(stderr, "bench_dump: %s failed\n", pszName);
}

// Notes when the list has finished its first paint.
class PaintWatcher : public QObject
{
public:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint && !m_bPainted)
        {
            m_bPainted = true;
            // After the paint has been handled.
            QTimer::singleShot(0, this, [this] { m_bDone = true; });
        }
        return QObject::eventFilter(pObject, pEvent);
    }
    bool m_bPainted = false;
    bool m_bDone = false;
};

int MeasureReport(const std::string& sPath)
{
    const auto start = std::chrono::steady_clock::now();
    CSysExDump dump;
    if (!dump.OpenFile(sPath.c_str()))
        return 1;
    const CSysExDumpReport report(dump.Index());
    FILE* pNull = fopen("/dev/null", "w");
    report.Print(pNull);
    fclose(pNull);
    printf("report_ms %.1f (ok %d)\n", ElapsedMs(start), int(report.IsOk()));
    return 0;
}

int MeasureList(const std::string& sPath, int argc, char** argv)
{
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    // What Qt itself takes, so that the dump's share of the peak can be told.
    printf("list_rss_after_qt_start_mb %.1f\n", ResidentMegabytes());
    const auto start = std::chrono::steady_clock::now();
    CSysExDump dump;
    if (!dump.OpenFile(sPath.c_str()))
        return 1;
    CMessageWindow window(dump, true);
    if (!window.Create(nullptr))
        return 1;
    QTableView* pTable = window.GetWindowRef()->findChild<QTableView*>("messageTable");
    if (!pTable)
        return 1;
    PaintWatcher watcher;
    pTable->viewport()->installEventFilter(&watcher);
    QTimer poll;
    int nPages = 0;
    double dScrollMs = 0;
    QObject::connect(&poll, &QTimer::timeout,
                     [&]
                     {
                         if (!watcher.m_bDone)
                             return;
                         poll.stop();
                         printf("list_first_paint_ms %.1f (rows %d)\n", ElapsedMs(start),
                                pTable->model()->rowCount());
                         QScrollBar* pBar = pTable->verticalScrollBar();
                         QElapsedTimer timer;
                         timer.start();
                         for (nPages = 0; nPages < 200; ++nPages)
                         {
                             pBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
                             pTable->viewport()->repaint();
                         }
                         pBar->setValue(pBar->maximum());
                         pTable->viewport()->repaint();
                         dScrollMs = double(timer.nsecsElapsed()) / 1e6 / (nPages + 1);
                         window.CloseModal();
                     });
    poll.start(1);
    window.ShowModal();
    window.Destroy();
    printf("list_scroll_page_ms %.2f\n", dScrollMs);
    return 0;
}
// Runs `quillmark show FILE` with its output to /dev/null; prints its time and peak memory.
void MeasureShow(const char* pszName, const std::string& sPath)
{
    fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int iNull = open("/dev/null", O_WRONLY);
        dup2(iNull, STDOUT_FILENO);
        execl(QUILLMARK_BINARY, QUILLMARK_BINARY, "show", sPath.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int iStatus = 0;
    rusage usage{};
    wait4(pid, &iStatus, 0, &usage);
    const double dMs = ElapsedMs(start);
    if (!WIFEXITED(iStatus) || WEXITSTATUS(iStatus) != 0)
        fprintf(stderr, "bench_dump: quillmark show failed (%d)\n", iStatus);
    printf("%s_ms %.1f\n%s_peak_rss_mb %.1f\n", pszName, dMs, pszName, usage.ru_maxrss / 1024.0);
}
} // namespace

int main(int argc, char** argv)
{
    const std::string sPath = WriteDump(kPackets);
    const std::string sSmall = WriteDump(1);
    printf("file_mb %.1f messages %zu\n", double(std::filesystem::file_size(sPath)) / (1 << 20),
           kPackets + 1);
    InChild("report", [&] { return MeasureReport(sPath); });
    InChild("list", [&] { return MeasureList(sPath, argc, argv); });
    // The same window over a dump of two messages: the peak without the dump's share.
    InChild("list_small", [&] { return MeasureList(sSmall, argc, argv); });
    MeasureShow("show", sPath);
    MeasureShow("show_small", sSmall);
    std::filesystem::remove(sPath);
    std::filesystem::remove(sSmall);
    return 0;
}
