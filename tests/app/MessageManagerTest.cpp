#include "app/MessageManager.h"
#include "support/EventPump.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace
{
// Listener, message and sender of a delivery.
using Delivery = std::tuple<int, tagListenerMessage, CMessageManagerListener*>;

// Records what it gets into a shared log; an optional action runs inside the call.
struct RecordingListener : public CMessageManagerListener
{
    RecordingListener(int iId, std::vector<Delivery>& log) : m_iId(iId), m_log(log) {}
    void OnMessageReceived(CMessageManager* pManager, tagListenerMessage message,
                           CMessageManagerListener* pSender) override
    {
        m_log.push_back({m_iId, message, pSender});
        if (m_onMessage)
            m_onMessage(pManager, message);
    }

    int m_iId;
    std::vector<Delivery>& m_log;
    std::function<void(CMessageManager*, tagListenerMessage)> m_onMessage;
};

tagListenerMessage Message(int iId, int iParam1 = -1, int iParam2 = -1)
{
    return {iId, iParam1, iParam2, -1, -1};
}

// Listener, id and param1 of every delivery, one after the other.
using Summary = std::vector<int>;

class MessageManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(m_manager.Create(), 1); }

    Summary Deliver()
    {
        m_manager.ExecuteSendMessage();
        Summary summary;
        for (const auto& [iListener, message, pSender] : std::exchange(m_log, {}))
            summary.insert(summary.end(), {iListener, message.iMessage, message.iParam1});
        return summary;
    }

    CMessageManager m_manager;
    std::vector<Delivery> m_log;
    RecordingListener m_a{1, m_log}, m_b{2, m_log}, m_c{3, m_log};
};
} // namespace

// In order of posting and registration, to those registered at posting, once a registration;
// what a handler posts comes last; a deleted listener's copies go; null ends the broadcast.
TEST_F(MessageManagerTest, DeliversInOrderToTheRegistrationsAtPostingAndThrottlesProgress)
{
    EXPECT_EQ(m_manager.SendMessage(Message(LM_TRANSMIT_START), nullptr), 1);
    for (RecordingListener* p : {&m_a, &m_b, &m_c})
        m_manager.AddListener(p);
    EXPECT_EQ(Deliver(), Summary{}) << "posted before anyone listened";
    m_a.m_onMessage = [this](CMessageManager* pManager, tagListenerMessage message)
    {
        if (message.iMessage != LM_TRANSMIT_START)
            return;
        EXPECT_EQ(pManager->DeleteListener(&m_b), 1); // b's copy is next in the queue
        pManager->AddListener(&m_b);
        EXPECT_EQ(pManager->SendMessage(Message(LM_TRANSMIT_CANCEL), &m_a), 1);
    };
    EXPECT_EQ(m_manager.SendMessage(Message(LM_TRANSMIT_START, 100), &m_b), 1);
    EXPECT_EQ(m_manager.SendMessage(Message(LM_TRANSMITTING, 200), nullptr), 1);
    EXPECT_TRUE(m_log.empty()) << "posting never delivers on the spot";
    m_manager.ExecuteSendMessage();
    EXPECT_EQ(std::get<2>(m_log[0]), &m_b);
    EXPECT_EQ(std::get<2>(m_log[2]), nullptr);
    EXPECT_EQ(Deliver(),
              (Summary{1, 3, 100, 3, 3, 100, 1, 4, 200, 3, 4, 200, 1, 6, -1, 3, 6, -1, 2, 6, -1}));

    // Registered twice, a gets two copies; b's copy goes with b.
    m_a.m_onMessage = nullptr;
    m_manager.DeleteListener(&m_c);
    m_manager.AddListener(&m_a);
    m_manager.DeleteListener(&m_a);
    m_manager.AddListener(&m_a);
    m_manager.SendMessage(Message(LM_TRANSMIT_READY), nullptr);
    EXPECT_EQ(m_manager.DeleteListener(&m_b), 1);
    EXPECT_EQ(Deliver(), (Summary{1, 8, -1, 1, 8, -1}));

    // A copy queued for a listener that is not registered: the delete is logged, the copy
    // still purged.
    LogCapture log;
    m_manager.SendMessageToListener(&m_c, Message(LM_TRANSMIT_START), nullptr);
    EXPECT_EQ(m_manager.DeleteListener(&m_c), 0);
    EXPECT_TRUE(log.Contains("Failed to delete listener from Listener Manager."));
    EXPECT_EQ(m_manager.SendMessageToListener(nullptr, Message(LM_TRANSMIT_START), nullptr), 0);
    EXPECT_EQ(Deliver(), Summary{});

    m_manager.DeleteListener(&m_a); // one registration of a is left
    m_manager.AddListener(nullptr);
    m_manager.AddListener(&m_b);
    EXPECT_EQ(m_manager.SendMessage(Message(LM_TRANSMIT_START), nullptr), 0);
    EXPECT_EQ(Deliver(), (Summary{1, 3, -1}));

    // Progress passes at most once per 200 ms (from creation too), completions always; created
    // once, only on a thread with an event loop (its timer's); Destroy drops what is queued.
    EXPECT_EQ(m_manager.Destroy(), 1);
    ASSERT_EQ(m_manager.Create(), 1);
    m_manager.AddListener(&m_a);
    for (int i = 0; i < 3; ++i)
    {
        if (i != 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(210));
        EXPECT_EQ(m_manager.SendMessage(Message(LM_RECEIVING, i), nullptr), 1);
        m_manager.SendMessage(Message(LM_RECEIVE_COMPLETE, i), nullptr);
    }
    EXPECT_EQ(Deliver(),
              (Summary{1, LM_RECEIVING, 0, 1, LM_RECEIVE_COMPLETE, 0, 1, LM_RECEIVE_COMPLETE, 1, 1,
                       LM_RECEIVING, 2, 1, LM_RECEIVE_COMPLETE, 2}));

    EXPECT_EQ(m_manager.Create(), 0);
    int iResult = -1;
    std::thread([&] { iResult = CMessageManager().Create(); }).join();
    EXPECT_EQ(iResult, 0);
    m_manager.SendMessage(Message(LM_TRANSMIT_START), nullptr);
    EXPECT_EQ(m_manager.Destroy(), 1);
    EXPECT_EQ(m_manager.Destroy(), 0);
    // Nothing arrives, neither from the (removed) timer nor by hand.
    PumpFor(100);
    EXPECT_EQ(Deliver(), Summary{});

    // Created again, the manager starts empty and works.
    ASSERT_EQ(m_manager.Create(), 1);
    m_manager.AddListener(&m_b);
    m_manager.SendMessage(Message(LM_TRANSMIT_READY), nullptr);
    ASSERT_TRUE(PumpUntil([this] { return !m_log.empty(); }));
    EXPECT_EQ(Deliver(), (Summary{2, 8, -1}));

    // A listener may destroy the manager: what was queued after its message is dropped.
    m_b.m_onMessage = [](CMessageManager* pManager, tagListenerMessage) { pManager->Destroy(); };
    m_manager.SendMessage(Message(LM_TRANSMIT_START), nullptr);
    m_manager.SendMessage(Message(LM_TRANSMIT_COMPLETE), nullptr);
    ASSERT_TRUE(PumpUntil([this] { return !m_log.empty(); }));
    PumpFor(50);
    EXPECT_EQ(m_log.size(), 1u);
}

// Threads post at once while the main thread delivers and deletes a listener: all arrive whole,
// in each thread's order, none at the deleted listener (ThreadSanitizer watches the throttle).
TEST_F(MessageManagerTest, ConcurrencyPostsFromManyThreadsArriveWholeAndInOrder)
{
    for (RecordingListener* p : {&m_a, &m_b, &m_c})
        m_manager.AddListener(p);
    constexpr int kThreads = 4, kPosts = 400;
    std::atomic<int> nReady{0}, nDone{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(
            [&, t]
            {
                for (++nReady; nReady.load() < kThreads;)
                    std::this_thread::yield();
                for (int i = 0; i < kPosts; ++i)
                {
                    m_manager.SendMessage(Message(LM_TRANSMITTING, t, i), nullptr);
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                }
                m_manager.SendMessage(Message(LM_RECEIVING, t), nullptr);
                ++nDone;
            });
    ASSERT_TRUE(PumpUntil([&] { return m_log.size() > 300; }));
    m_manager.DeleteListener(&m_c);
    const size_t nBeforeDelete = m_log.size();
    ASSERT_TRUE(PumpUntil([&] { return nDone.load() == kThreads; }));
    for (std::thread& thread : threads)
        thread.join();
    m_manager.ExecuteSendMessage();

    std::vector<int> nextFromThread(kThreads, 0);
    for (size_t i = 0; i < m_log.size(); ++i)
    {
        const auto& [iListener, message, pSender] = m_log[i];
        if (message.iMessage != LM_TRANSMITTING)
            continue;
        ASSERT_FALSE(i >= nBeforeDelete && iListener == 3) << "delivery " << i;
        if (iListener == 1)
            EXPECT_EQ(message.iParam2, nextFromThread[size_t(message.iParam1)]++);
        else
            EXPECT_EQ(
                std::pair(message.iParam1, message.iParam2),
                std::pair(std::get<1>(m_log[i - 1]).iParam1, std::get<1>(m_log[i - 1]).iParam2));
    }
    EXPECT_EQ(nextFromThread, std::vector<int>(kThreads, kPosts));
}
