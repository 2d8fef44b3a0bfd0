#include "AlsaEngineFixture.h"

#include "platform/midi/MidiService.h"

#include <string>
#include <unistd.h>

void AlsaEngineFixture::SetUp()
{
    if (access("/dev/snd/seq", R_OK | W_OK) != 0)
        GTEST_SKIP() << "no ALSA sequencer on this machine; this test runs through alsa-vm";
    ASSERT_STREQ(MidiService::Get().Name(), "alsa");
    m_app.m_pMessageManager = new CMessageManager;
    ASSERT_EQ(m_app.m_pMessageManager->Create(), 1);
    m_app.m_pMessageManager->AddListener(&m_recorder);
    m_app.m_pMidiManager = new CMidiManager;
    m_app.m_pMidiManager->Attach(m_app.m_pMessageManager, nullptr, nullptr);
    ASSERT_EQ(m_app.m_pMidiManager->Create(), 1);
    m_pManager = m_app.m_pMidiManager;
}

void AlsaEngineFixture::TearDown()
{
    if (m_pManager)
        m_pManager->Destroy();
}

bool AlsaEngineFixture::StartAmidi(QProcess& amidi, const QStringList& args)
{
    const std::string log = m_temp.File("amidi" + std::to_string(++m_nTools) + ".log");
    return SequencerTools::StartTool(amidi, "taskset", SequencerTools::PinnedAmidi(args),
                                     QString::fromStdString(log));
}

Bytes AlsaEngineFixture::ReceivedMessage() const
{
    Bytes bytes(size_t(m_pManager->m_nReceivedSysExSize));
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = m_pManager->GetReceivedSysExData(int(i));
    return bytes;
}

int32_t AlsaEngineFixture::TransmitEnd() const
{
    for (auto it = m_recorder.m_messages.rbegin(); it != m_recorder.m_messages.rend(); ++it)
        if (it->iMessage == LM_TRANSMIT_COMPLETE || it->iMessage == LM_TRANSMIT_CANCEL ||
            it->iMessage == LM_TRANSMIT_ERROR)
            return it->iMessage;
    return -1;
}
