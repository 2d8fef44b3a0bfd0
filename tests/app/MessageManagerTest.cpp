#include "app/MessageManager.h"
#include "support/EventPump.h"
#include "support/LogCapture.h"
#include "toolkit/DebugLog.h"
#include "toolkit/Utility.h"

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace
{
struct tagDelivery
{
    int iListener;
    tagListenerMessage message;
    CMessageManagerListener* pSender;
};

// Records what it gets into a shared log; an optional action runs inside the call.
class RecordingListener : public CMessageManagerListener
{
public:
    RecordingListener(int iId, std::vector<tagDelivery>& log) : m_iId(iId), m_log(log) {}

    void OnMessageReceived(CMessageManager* pManager, tagListenerMessage message,
                           CMessageManagerListener* pSender) override
    {
        m_log.push_back({m_iId, message, pSender});
        if (m_onMessage)
            m_onMessage(pManager, message);
    }

    std::function<void(CMessageManager*, tagListenerMessage)> m_onMessage;

private:
    int m_iId;
    std::vector<tagDelivery>& m_log;
};

tagListenerMessage Message(int iId, int iParam1 = -1)
{
    return {iId, iParam1, -1, -1, -1};
}

// (listener, id, param1) of every delivery, for compact comparisons.
std::vector<std::vector<int>> Summary(const std::vector<tagDelivery>& log)
{
    std::vector<std::vector<int>> summary;
    for (const tagDelivery& delivery : log)
        summary.push_back(
            {delivery.iListener, delivery.message.iMessage, delivery.message.iParam1});
    return summary;
}

class MessageManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(m_manager.Create(), 1); }

    CMessageManager m_manager;
    std::vector<tagDelivery> m_log;
    RecordingListener m_a{1, m_log};
    RecordingListener m_b{2, m_log};
    RecordingListener m_c{3, m_log};
};
} // namespace

TEST_F(MessageManagerTest, BroadcastsToEveryListenerInOrderOfRegistration)
{
    m_manager.AddListener(&m_a);
    m_manager.AddListener(&m_b);
    m_manager.AddListener(&m_c);

    EXPECT_EQ(m_manager.SendMessage(Message(LM_TRANSMIT_START, 100), &m_b), 1);
    EXPECT_EQ(m_manager.SendMessage(Message(LM_TRANSMITTING, 200), nullptr), 1);
    EXPECT_TRUE(m_log.empty()) << "posting never delivers on the spot";

    m_manager.ExecuteSendMessage();
    EXPECT_EQ(Summary(m_log),
              (std::vector<std::vector<int>>{
                  {1, 3, 100}, {2, 3, 100}, {3, 3, 100}, {1, 4, 200}, {2, 4, 200}, {3, 4, 200}}));
    // The sender is passed through and not excluded.
    EXPECT_EQ(m_log[1].pSender, &m_b);
    EXPECT_EQ(m_log[3].pSender, nullptr);
}

// Copies go to the listeners registered when a message is posted, once per registration;
// a null listener ends the broadcast and the post reports it.
TEST_F(MessageManagerTest, CopiesFollowTheRegistrationsAtPosting)
{
    EXPECT_EQ(m_manager.SendMessage(Message(LM_TRANSMIT_START), nullptr), 1);
    m_manager.AddListener(&m_a);
    m_manager.ExecuteSendMessage();
    EXPECT_TRUE(m_log.empty()) << "posted before anyone listened";

    m_manager.AddListener(&m_a);
    m_manager.DeleteListener(&m_a);
    m_manager.AddListener(&m_a);
    m_manager.SendMessage(Message(LM_TRANSMIT_READY), nullptr);
    m_manager.ExecuteSendMessage();
    EXPECT_EQ(Summary(m_log), (std::vector<std::vector<int>>{{1, 8, -1}, {1, 8, -1}}));

    m_log.clear();
    EXPECT_EQ(m_manager.SendMessageToListener(nullptr, Message(LM_TRANSMIT_START), nullptr), 0);
    m_manager.DeleteListener(&m_a); // one registration of a is left
    m_manager.AddListener(nullptr);
    m_manager.AddListener(&m_b);
    EXPECT_EQ(m_manager.SendMessage(Message(LM_TRANSMIT_START), nullptr), 0);
    m_manager.ExecuteSendMessage();
    EXPECT_EQ(Summary(m_log), (std::vector<std::vector<int>>{{1, 3, -1}}));
}

TEST_F(MessageManagerTest, ReceivingProgressPassesAtMostOncePer200Ms)
{
    m_manager.AddListener(&m_a);

    // Post for a while, noting the clock around each post: the manager reads its own
    // clock somewhere in between. Completion messages in between are never dropped.
    struct tagPost
    {
        uint32_t uiBefore;
        uint32_t uiAfter;
    };
    std::vector<tagPost> posts;
    const uint32_t uiStart = GetSystemTimeMs();
    while (GetSystemTimeMs() - uiStart < 1100)
    {
        const int iIndex = int(posts.size());
        const uint32_t uiBefore = GetSystemTimeMs();
        EXPECT_EQ(m_manager.SendMessage(Message(LM_RECEIVING, iIndex), nullptr), 1);
        posts.push_back({uiBefore, GetSystemTimeMs()});
        if (iIndex % 10 == 0)
            m_manager.SendMessage(Message(LM_RECEIVE_COMPLETE, iIndex), nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    m_manager.ExecuteSendMessage();

    std::vector<int> accepted;
    int nComplete = 0;
    for (const tagDelivery& delivery : m_log)
    {
        if (delivery.message.iMessage == LM_RECEIVING)
            accepted.push_back(delivery.message.iParam1);
        else
            ++nComplete;
    }
    EXPECT_EQ(nComplete, (int(posts.size()) + 9) / 10);
    ASSERT_FALSE(accepted.empty());

    for (size_t i = 1; i < accepted.size(); ++i)
    {
        const tagPost& previous = posts[size_t(accepted[i - 1])];
        const tagPost& current = posts[size_t(accepted[i])];
        EXPECT_GE(uint32_t(current.uiAfter - previous.uiBefore), 200u)
            << "accepted posts " << accepted[i - 1] << " and " << accepted[i];
    }
    // Every post more than 200 ms after the last accepted one must itself be accepted.
    size_t iNext = 0;
    for (size_t i = 0; i < posts.size(); ++i)
    {
        if (iNext < accepted.size() && size_t(accepted[iNext]) == i)
        {
            ++iNext;
            continue;
        }
        if (iNext == 0)
            continue;
        const tagPost& last = posts[size_t(accepted[iNext - 1])];
        EXPECT_LE(uint32_t(posts[i].uiBefore - last.uiAfter), 199u) << "post " << i << " dropped";
    }
}

TEST_F(MessageManagerTest, DeletingAListenerPurgesItsQueuedCopies)
{
    m_manager.AddListener(&m_a);
    m_manager.AddListener(&m_b);
    m_manager.AddListener(&m_c);
    m_manager.SendMessage(Message(LM_TRANSMIT_START), nullptr);
    m_manager.SendMessage(Message(LM_TRANSMIT_COMPLETE), nullptr);

    EXPECT_EQ(m_manager.DeleteListener(&m_b), 1);
    m_manager.SendMessage(Message(LM_TRANSMIT_READY), nullptr);
    m_manager.ExecuteSendMessage();
    EXPECT_EQ(Summary(m_log),
              (std::vector<std::vector<int>>{
                  {1, 3, -1}, {3, 3, -1}, {1, 5, -1}, {3, 5, -1}, {1, 8, -1}, {3, 8, -1}}));

    // A copy queued directly for a listener that never registered: logged, still purged.
    m_log.clear();
    LogCapture log;
    m_manager.SendMessageToListener(&m_b, Message(LM_TRANSMIT_START), nullptr);
    EXPECT_EQ(m_manager.DeleteListener(&m_b), 0);
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"Failed to delete listener from Listener Manager."});
    m_manager.ExecuteSendMessage();
    EXPECT_TRUE(m_log.empty());
}

TEST_F(MessageManagerTest, AListenerDeletedWhileHandlingNeverGetsItsQueuedCopies)
{
    m_manager.AddListener(&m_a);
    m_manager.AddListener(&m_b);
    m_manager.AddListener(&m_c);
    // On the first message, a deletes b (whose copy is next in the queue) and itself.
    m_a.m_onMessage = [this](CMessageManager* pManager, tagListenerMessage message)
    {
        if (message.iParam1 == 1)
        {
            EXPECT_EQ(pManager->DeleteListener(&m_b), 1);
            EXPECT_EQ(pManager->DeleteListener(&m_a), 1);
        }
    };
    m_manager.SendMessage(Message(LM_TRANSMITTING, 1), nullptr);
    m_manager.SendMessage(Message(LM_TRANSMITTING, 2), nullptr);
    m_manager.ExecuteSendMessage();
    EXPECT_EQ(Summary(m_log), (std::vector<std::vector<int>>{{1, 4, 1}, {3, 4, 1}, {3, 4, 2}}));
}

TEST_F(MessageManagerTest, PostsFromAListenerAreDeliveredInTheSameRunAfterTheQueue)
{
    m_manager.AddListener(&m_a);
    m_manager.AddListener(&m_b);
    m_a.m_onMessage = [this](CMessageManager* pManager, tagListenerMessage message)
    {
        if (message.iMessage == LM_TRANSMIT_START)
        {
            EXPECT_EQ(pManager->SendMessage(Message(LM_TRANSMIT_CANCEL), &m_a), 1);
            pManager->AddListener(&m_c);
        }
    };
    m_manager.SendMessage(Message(LM_TRANSMIT_START), nullptr);
    m_manager.SendMessage(Message(LM_TRANSMITTING), nullptr);
    m_manager.ExecuteSendMessage();
    EXPECT_EQ(Summary(m_log),
              (std::vector<std::vector<int>>{
                  {1, 3, -1}, {2, 3, -1}, {1, 4, -1}, {2, 4, -1}, {1, 6, -1}, {2, 6, -1}}));
    m_manager.SendMessage(Message(LM_TRANSMIT_READY), nullptr);
    m_manager.ExecuteSendMessage();
    EXPECT_EQ(m_log.back().iListener, 3) << "a listener added while handling gets later posts";
}

TEST_F(MessageManagerTest, DestroyDropsQueuedMessages)
{
    m_manager.AddListener(&m_a);
    m_manager.SendMessage(Message(LM_TRANSMIT_START), nullptr);
    EXPECT_EQ(m_manager.Destroy(), 1);
    EXPECT_EQ(m_manager.Destroy(), 0);
    // Nothing arrives, neither from the (removed) timer nor by hand.
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
    m_manager.ExecuteSendMessage();
    EXPECT_TRUE(m_log.empty());

    // Created again, the manager starts empty and works.
    ASSERT_EQ(m_manager.Create(), 1);
    m_manager.AddListener(&m_b);
    m_manager.SendMessage(Message(LM_TRANSMIT_READY), nullptr);
    ASSERT_TRUE(PumpUntil([this] { return !m_log.empty(); }));
    EXPECT_EQ(Summary(m_log), (std::vector<std::vector<int>>{{2, 8, -1}}));

    // A listener may destroy the manager: what was queued after its message is dropped.
    m_b.m_onMessage = [](CMessageManager* pManager, tagListenerMessage) { pManager->Destroy(); };
    m_manager.SendMessage(Message(LM_TRANSMIT_START), nullptr);
    m_manager.SendMessage(Message(LM_TRANSMIT_COMPLETE), nullptr);
    ASSERT_TRUE(PumpUntil([this] { return m_log.size() > 1; }));
    PumpFor(50);
    EXPECT_EQ(m_log.size(), 2u);
}

TEST(MessageManager, CreateOnlyOnceAndOnlyOnAThreadWithAnEventLoop)
{
    CMessageManager manager;
    EXPECT_EQ(manager.Destroy(), 0);
    EXPECT_EQ(manager.Create(), 1);
    EXPECT_EQ(manager.Create(), 0);
    EXPECT_EQ(manager.Destroy(), 1);

    // A thread that runs no event loop cannot carry the delivery timer.
    int iResult = -1;
    std::thread(
        [&]
        {
            CMessageManager other;
            iResult = other.Create();
        })
        .join();
    EXPECT_EQ(iResult, 0);
}

// Several threads posting at once, as the MIDI threads and the main thread do.
TEST(MessageManagerConcurrency, PostsFromManyThreadsArriveWholeAndInOrder)
{
    CMessageManager manager;
    ASSERT_EQ(manager.Create(), 1);
    std::vector<tagDelivery> log;
    RecordingListener a{1, log}, b{2, log}, c{3, log};
    manager.AddListener(&a);
    manager.AddListener(&b);
    manager.AddListener(&c);

    constexpr int kThreads = 4;
    constexpr int kPosts = 400;
    std::atomic<int> nReady{0};
    std::atomic<int> nDone{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
    {
        threads.emplace_back(
            [&, t]
            {
                ++nReady;
                while (nReady.load() < kThreads)
                    std::this_thread::yield();
                for (int i = 0; i < kPosts; ++i)
                    manager.SendMessage(tagListenerMessage{LM_TRANSMITTING, t, i, -1, -1}, nullptr);
                // The throttle too is shared between posters (TSan watches it).
                manager.SendMessage(tagListenerMessage{LM_RECEIVING, t, -1, -1, -1}, nullptr);
                ++nDone;
            });
    }
    // The main thread delivers while the others post.
    ASSERT_TRUE(PumpUntil([&] { return nDone.load() == kThreads; }));
    for (std::thread& thread : threads)
        thread.join();
    manager.ExecuteSendMessage();

    std::vector<tagDelivery> transmitting;
    for (const tagDelivery& delivery : log)
    {
        if (delivery.message.iMessage == LM_TRANSMITTING)
            transmitting.push_back(delivery);
    }
    ASSERT_EQ(transmitting.size(), size_t(3 * kThreads * kPosts));
    std::vector<int> nextFromThread(kThreads, 0);
    for (size_t i = 0; i < transmitting.size(); i += 3)
    {
        const tagListenerMessage& message = transmitting[i].message;
        for (size_t k = 0; k < 3; ++k)
        {
            EXPECT_EQ(transmitting[i + k].iListener, int(k + 1));
            EXPECT_EQ(transmitting[i + k].message.iParam1, message.iParam1);
            EXPECT_EQ(transmitting[i + k].message.iParam2, message.iParam2);
        }
        EXPECT_EQ(message.iParam2, nextFromThread[size_t(message.iParam1)]++);
    }
}

TEST(MessageManagerConcurrency, ADeletedListenerGetsNothingPostedMeanwhile)
{
    CMessageManager manager;
    ASSERT_EQ(manager.Create(), 1);
    std::vector<tagDelivery> log;
    RecordingListener a{1, log}, b{2, log};
    manager.AddListener(&a);
    manager.AddListener(&b);

    std::atomic<bool> bStop{false};
    std::thread poster(
        [&]
        {
            for (int i = 0; !bStop.load(); ++i)
            {
                manager.SendMessage(Message(LM_SETUP_CHANGED, i), nullptr);
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        });
    ASSERT_TRUE(PumpUntil([&] { return log.size() > 100; }));
    manager.DeleteListener(&b);
    const size_t nBefore = log.size();
    PumpUntil([&] { return log.size() > nBefore + 100; });
    bStop = true;
    poster.join();
    manager.ExecuteSendMessage();

    for (size_t i = nBefore; i < log.size(); ++i)
        ASSERT_EQ(log[i].iListener, 1) << "delivery " << i;
}
