#include "midi/LumSemaphore.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

// A second Wait blocks until the holder signals; two threads counting under the lock lose
// no increment.
TEST(LumSemaphoreConcurrency, WaitBlocksUntilSignalAndGuardsACounter)
{
    CLumSemaphore lock(0, 1);
    ASSERT_EQ(lock.Wait(), 1);
    std::atomic<bool> acquired{false};
    std::thread other([&] {
        EXPECT_EQ(lock.Wait(), 1);
        acquired = true;
        lock.Signal();
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(acquired.load());
    EXPECT_EQ(lock.Signal(), 1);
    other.join();
    EXPECT_TRUE(acquired.load());

    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 10000; ++i)
        {
            lock.Wait();
            ++counter;
            lock.Signal();
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 20000);
}

TEST(LumSemaphore, TimedWaitAcquiresWithZeroOrGivesUpWithMinusTwoAndLogs)
{
    CLumSemaphore lock(2, 1); // an out-of-range policy falls back to first-in-first-out
    EXPECT_EQ(lock.Wait(10ul), 0);
    EXPECT_EQ(lock.Signal(), 1);
    EXPECT_EQ(lock.Wait(), 1);

    LogCapture log;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lock.Wait(1500ul), -2); // still held
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_TRUE(log.Contains("Semaphore - Timeout"));
}
