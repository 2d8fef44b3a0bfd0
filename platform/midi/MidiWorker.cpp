#include "platform/midi/MidiWorker.h"

#include "toolkit/DebugLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

MidiWorker::MidiWorker(const char* pszName, int iWatchFd, Task onReadable)
    : m_iWakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), m_iWatchFd(iWatchFd),
      m_onReadable(std::move(onReadable))
{
    if (m_iWakeFd < 0)
        DebugPrintf("MidiWorker: eventfd: %s", strerror(errno));
    m_thread = std::thread(&MidiWorker::Loop, this);
    // Thread names show in debuggers and top; the kernel takes at most 15 characters.
    char szName[16];
    snprintf(szName, sizeof(szName), "%s", pszName);
    pthread_setname_np(m_thread.native_handle(), szName);
}

MidiWorker::~MidiWorker()
{
    Stop();
    if (m_iWakeFd >= 0)
        close(m_iWakeFd);
}

bool MidiWorker::RequestRealTime()
{
    // Above every ordinary thread, below the kernel's interrupt threads and audio servers.
    sched_param param{};
    param.sched_priority = std::max(sched_get_priority_min(SCHED_FIFO), 10);
    return pthread_setschedparam(m_thread.native_handle(), SCHED_FIFO, &param) == 0;
}

void MidiWorker::Post(uint32_t uKey, Clock::time_point due, Task task, bool bMustRun)
{
    std::lock_guard lock(m_mutex);
    bool bFirst = m_tasks.empty() || due < m_tasks.begin()->first.first;
    m_tasks.emplace(std::make_pair(due, m_uNextSequence++),
                    tagTaskItem{uKey, bMustRun, std::move(task)});
    if (bFirst)
        Wake();
}

void MidiWorker::NotifyRetiring()
{
    std::lock_guard lock(m_mutex);
    m_changed.notify_all();
}

void MidiWorker::Retire(uint32_t uKey)
{
    bool bOnWorker = IsWorkerThread();
    std::vector<Task> inline_tasks;
    std::unique_lock lock(m_mutex);
    TaskMap kept;
    for (auto it = m_tasks.begin(); it != m_tasks.end();)
    {
        if (it->second.uKey != uKey)
        {
            ++it;
            continue;
        }
        if (it->second.bMustRun)
        {
            if (bOnWorker)
                inline_tasks.push_back(std::move(it->second.task));
            else // ahead of everything else, in their own order
                kept.emplace(std::make_pair(Clock::time_point::min(), m_uNextSequence++),
                             std::move(it->second));
        }
        it = m_tasks.erase(it);
    }
    m_tasks.merge(kept);
    if (bOnWorker)
    {
        lock.unlock();
        for (Task& task : inline_tasks)
            task();
        return;
    }
    Wake();
    ++m_iRetiring;
    m_changed.wait(lock, [&] { return m_bFinished || !HasWorkOf(uKey); });
    --m_iRetiring;
}

void MidiWorker::Flush()
{
    if (IsWorkerThread())
        return;
    std::unique_lock lock(m_mutex);
    bool bDone = false;
    m_tasks.emplace(std::make_pair(Clock::now(), m_uNextSequence++),
                    tagTaskItem{0, true,
                                [this, &bDone]
                                {
                                    std::lock_guard inner(m_mutex);
                                    bDone = true;
                                }});
    Wake();
    m_changed.wait(lock, [&] { return bDone || m_bFinished; });
}

void MidiWorker::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_bStopping)
            return;
        m_bStopping = true;
        Wake();
    }
    if (m_thread.joinable())
        m_thread.join();
}

bool MidiWorker::IsWorkerThread() const
{
    return std::this_thread::get_id() == m_workerId.load();
}

void MidiWorker::Wake()
{
    uint64_t uOne = 1;
    if (m_iWakeFd >= 0 && write(m_iWakeFd, &uOne, sizeof(uOne)) < 0 && errno != EAGAIN)
        DebugPrintf("MidiWorker: wake: %s", strerror(errno));
}

bool MidiWorker::HasWorkOf(uint32_t uKey) const
{
    if ((m_bRunning && m_uRunningKey == uKey) || m_uRunKey.load() == uKey)
        return true;
    for (const auto& entry : m_tasks)
        if (entry.second.uKey == uKey)
            return true;
    return false;
}

void MidiWorker::Loop()
{
    m_workerId.store(std::this_thread::get_id());
    std::unique_lock lock(m_mutex);
    while (!m_bStopping)
    {
        Clock::time_point now = Clock::now();
        if (!m_tasks.empty() && m_tasks.begin()->first.first <= now)
        {
            auto node = m_tasks.extract(m_tasks.begin());
            Task task = std::move(node.mapped().task);
            m_uRunningKey = node.mapped().uKey;
            m_bRunning = true;
            lock.unlock();
            task();
            task = nullptr; // whatever the task holds goes before the lock is taken
            lock.lock();
            m_bRunning = false;
            m_changed.notify_all();
            continue;
        }

        // The stop flag is looked at least this often, even if a wake-up went missing.
        auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(250));
        if (!m_tasks.empty())
            wait = std::min(wait, std::chrono::duration_cast<std::chrono::nanoseconds>(
                                      m_tasks.begin()->first.first - now));
        timespec timeout{time_t(wait.count() / 1000000000), long(wait.count() % 1000000000)};
        lock.unlock();

        pollfd aFds[2] = {{m_iWakeFd, POLLIN, 0}, {m_iWatchFd, POLLIN, 0}};
        int iCount = ppoll(aFds, m_iWatchFd >= 0 ? 2 : 1, &timeout, nullptr);
        if (iCount < 0 && errno != EINTR)
            DebugPrintf("MidiWorker: poll: %s", strerror(errno));
        if (iCount > 0)
        {
            if (aFds[0].revents & POLLIN)
            {
                uint64_t uValue;
                if (read(m_iWakeFd, &uValue, sizeof(uValue)) < 0 && errno != EAGAIN)
                    DebugPrintf("MidiWorker: read: %s", strerror(errno));
            }
            if (m_iWatchFd >= 0 && (aFds[1].revents & (POLLIN | POLLERR)))
                m_onReadable();
        }
        lock.lock();
    }

    // Completions are owed to their senders; everything else may go.
    TaskMap remaining;
    remaining.swap(m_tasks);
    lock.unlock();
    for (auto& entry : remaining)
        if (entry.second.bMustRun)
            entry.second.task();
    remaining.clear();
    lock.lock();
    m_bFinished = true;
    m_changed.notify_all();
}
