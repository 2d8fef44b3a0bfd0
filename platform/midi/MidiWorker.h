#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

// The thread on which a MIDI back end calls its clients: it runs timed tasks in order of
// their due time (first posted first among equals) and, when given a file descriptor,
// calls a handler whenever that descriptor is readable. Between tasks it polls the
// descriptor with a timeout; posting a task or stopping wakes it at once.
//
// Every task and every piece of work done through Run() belongs to a key (a port or
// client reference, never 0). Retire(key) is how a port or client goes away safely: when
// it returns, nothing of that key is queued or running. Tasks posted as "must run" (SysEx
// completions) are never dropped: Retire and Stop run them first.
class MidiWorker
{
public:
    using Clock = std::chrono::steady_clock;
    using Task = std::function<void()>;

    // The thread starts at once. iWatchFd < 0 watches nothing.
    MidiWorker(const char* pszName, int iWatchFd = -1, Task onReadable = {});
    ~MidiWorker();

    MidiWorker(const MidiWorker&) = delete;
    MidiWorker& operator=(const MidiWorker&) = delete;

    void Post(uint32_t uKey, Clock::time_point due, Task task, bool bMustRun = false);
    // On the worker thread only: runs the work as the key's, so that Retire waits for it.
    // It takes the lock only when a Retire is waiting, so a reader may run every event
    // this way without holding up the threads that post.
    template <class Work>
    void Run(uint32_t uKey, Work&& work)
    {
        m_uRunKey.store(uKey);
        std::forward<Work>(work)();
        m_uRunKey.store(0);
        if (m_iRetiring.load() > 0)
            NotifyRetiring();
    }
    void Retire(uint32_t uKey);
    // Returns once every task due by now has run. Does not wait on the worker thread.
    void Flush();
    // Runs the must-run tasks, drops the others and ends the thread. Not on the worker.
    void Stop();

    bool IsWorkerThread() const;
    // Asks for real-time (SCHED_FIFO) scheduling at a low priority, for a reader that must
    // empty a small kernel buffer before a fast sender fills it. Where the system does not
    // allow it (no RLIMIT_RTPRIO, no CAP_SYS_NICE) the thread keeps its ordinary
    // scheduling; whether it was granted.
    bool RequestRealTime();

private:
    struct tagTaskItem
    {
        uint32_t uKey;
        bool bMustRun;
        Task task;
    };
    using TaskMap = std::map<std::pair<Clock::time_point, uint64_t>, tagTaskItem>;

    void Loop();
    void Wake();
    bool HasWorkOf(uint32_t uKey) const;
    void NotifyRetiring();

    int m_iWakeFd;
    int m_iWatchFd;
    Task m_onReadable;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    TaskMap m_tasks;
    uint64_t m_uNextSequence = 0;
    uint32_t m_uRunningKey = 0;
    bool m_bRunning = false;
    // Run() publishes its key without the lock; a Retire counts itself in m_iRetiring
    // before it looks at the key, so one of the two always sees the other.
    std::atomic<uint32_t> m_uRunKey{0};
    std::atomic<int> m_iRetiring{0};
    std::atomic<bool> m_bStopping{false};
    bool m_bFinished = false;
    std::atomic<std::thread::id> m_workerId{};
    std::thread m_thread;
};
