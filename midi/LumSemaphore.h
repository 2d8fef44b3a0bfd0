#pragma once

#include <semaphore.h>

// A counting semaphore; every one in the program starts with a count of 1 and serves
// as a lock between the main thread and the MIDI service threads.
class CLumSemaphore
{
public:
    // Policy index 0 = first-in-first-out, 1 = fixed priority; larger indexes select 0.
    CLumSemaphore(long lPolicy, long lInitialCount);
    virtual ~CLumSemaphore();

    CLumSemaphore(const CLumSemaphore&) = delete;
    CLumSemaphore& operator=(const CLumSemaphore&) = delete;

    int Wait();                         // 1 acquired, 0 failed
    int Wait(unsigned long ulTimeoutMs); // 0 acquired, -2 timed out, -1 failed
    int Signal();                       // 1 done, 0 failed

    static const int sm_aiMacPolicies[2];

private:
    sem_t m_hSemaphore;
    bool m_bCreated = false;
};
