#include "midi/LumSemaphore.h"

#include "toolkit/DebugLog.h"

#include <cerrno>
#include <ctime>

const int CLumSemaphore::sm_aiMacPolicies[2] = {0, 1};

// POSIX semaphores wake waiters in the order the scheduler picks. Every lock in the
// program is held only briefly, so that serves both policies and the index is not kept.
CLumSemaphore::CLumSemaphore(long /*lPolicy*/, long lInitialCount)
{
    if (lInitialCount < 0 || sem_init(&m_hSemaphore, 0, unsigned(lInitialCount)) != 0)
    {
        DebugPrintf("Failed to call semaphore_create().");
        return;
    }
    m_bCreated = true;
}

CLumSemaphore::~CLumSemaphore()
{
    if (!m_bCreated || sem_destroy(&m_hSemaphore) != 0)
        DebugPrintf("CLumSemaphore::~CLumSemaphore() - Failed to call semaphore_destroy().");
}

int CLumSemaphore::Wait()
{
    if (!m_bCreated)
        return 0;
    int nResult;
    do
        nResult = sem_wait(&m_hSemaphore);
    while (nResult != 0 && errno == EINTR);
    return nResult == 0 ? 1 : 0;
}

int CLumSemaphore::Wait(unsigned long ulTimeoutMs)
{
    if (!m_bCreated)
        return -1;
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += time_t(ulTimeoutMs / 1000);
    deadline.tv_nsec += long(ulTimeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L)
    {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    int nResult;
    do
        nResult = sem_clockwait(&m_hSemaphore, CLOCK_MONOTONIC, &deadline);
    while (nResult != 0 && errno == EINTR);
    if (nResult == 0)
        return 0;
    if (errno == ETIMEDOUT)
    {
        DebugPrintf("Semaphore - Timeout");
        return -2;
    }
    return -1;
}

int CLumSemaphore::Signal()
{
    if (!m_bCreated)
        return 0;
    return sem_post(&m_hSemaphore) == 0 ? 1 : 0;
}
