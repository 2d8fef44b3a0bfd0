#include "MidiManagerFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>

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

void MidiManagerFixture::OpenSource()
{
    m_hSource = m_pVirtual->AddSource("Synth Co", "Port 1");
    m_pVirtual->WaitIdle();
    ASSERT_EQ(m_pManager->MidiInOpenByName("Synth Co - Port 1"), 1);
    ForgetPosted();
}

void MidiManagerFixture::OpenDestination()
{
    m_hDestination = m_pVirtual->AddDestination("Synth Co", "Port 1");
    m_pVirtual->WaitIdle();
    ASSERT_EQ(m_pManager->MidiOutOpenByName("Synth Co - Port 1"), 1);
    ForgetPosted();
}

void MidiManagerFixture::ForgetPosted()
{
    PumpFor(50);
    m_recorder.m_messages.clear();
    m_recorder.m_senders.clear();
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
