#include "MidiManagerFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>

void MessageRecorder::OnMessageReceived(CMessageManager*, tagListenerMessage message,
                                        CMessageManagerListener* pSender)
{
    m_messages.push_back(message);
    m_senders.push_back(pSender);
    if (m_onMessage)
        m_onMessage(message);
}

std::vector<tagListenerMessage> MessageRecorder::Of(int32_t iMessage) const
{
    std::vector<tagListenerMessage> found;
    for (const tagListenerMessage& message : m_messages)
        if (message.iMessage == iMessage)
            found.push_back(message);
    return found;
}

void MidiManagerFixture::SetUp()
{
    setenv("QUILLMARK_MIDI", "virtual", 0);
    m_pVirtual = VirtualMidi::Get();
    ASSERT_NE(m_pVirtual, nullptr) << "the tests need the virtual MIDI back end";
    m_pVirtual->Reset();

    m_pMessageManager = new CMessageManager;
    ASSERT_EQ(m_pMessageManager->Create(), 1);
    m_pMessageManager->AddListener(&m_recorder);
    m_pManager = new CMidiManager;
    m_pManager->Attach(m_pMessageManager, m_szRememberedIn, m_szRememberedOut);
    ASSERT_EQ(m_pManager->Create(), 1);
}

void MidiManagerFixture::TearDown()
{
    // In the application's order: no MIDI callback posts once the MIDI manager is gone.
    delete m_pManager;
    m_pManager = nullptr;
    if (m_pMessageManager)
        m_pMessageManager->Destroy();
    delete m_pMessageManager;
    m_pMessageManager = nullptr;
    if (m_pVirtual)
        m_pVirtual->Reset();
}

::testing::AssertionResult MessageIs(const tagListenerMessage& message, int32_t iMessage,
                                     int32_t iParam1, int32_t iParam2, int32_t iParam4)
{
    if (message.iMessage == iMessage && message.iParam1 == iParam1 && message.iParam2 == iParam2 &&
        message.iParam4 == iParam4)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got {" << message.iMessage << ", " << message.iParam1 << ", " << message.iParam2
           << ", " << message.iParam3 << ", " << message.iParam4 << "}, expected {" << iMessage
           << ", " << iParam1 << ", " << iParam2 << ", *, " << iParam4 << "}";
}
