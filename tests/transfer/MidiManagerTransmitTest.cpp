#include "MidiManagerFixture.h"

#include "file/LumFile.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <QTimer>

#include <chrono>
#include <string>

namespace
{
const char* const kDestinationName = "Synth Co - Port 1";

Bytes SysEx(int nLength, uint8_t ucSeed)
{
    Bytes bytes{0xF0};
    for (int i = 1; i < nLength - 1; ++i)
        bytes.push_back(uint8_t((ucSeed + i) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

class MidiManagerTransmit : public MidiManagerFixture
{
protected:
    void SetUp() override
    {
        MidiManagerFixture::SetUp();
        if (HasFatalFailure())
            return;
        m_hDestination = m_pVirtual->AddDestination("Synth Co", "Port 1");
        m_pVirtual->WaitIdle();
        ASSERT_EQ(m_pManager->MidiOutOpenByName(kDestinationName), 1);
        PumpFor(50);
        m_recorder.m_messages.clear();
    }

    void TearDown() override
    {
        if (m_file.IsOpened())
            m_file.Close();
        MidiManagerFixture::TearDown();
    }

    // Opens a file holding the bytes as the transmit window does, for reading.
    CLumFile* FileOf(const Bytes& bytes)
    {
        if (m_file.IsOpened())
            m_file.Close();
        std::string path = m_dir.Write("dump" + std::to_string(++m_nFiles) + ".syx", bytes);
        EXPECT_EQ(m_file.Open(path.c_str(), 9), 1);
        return &m_file;
    }

    // Runs the step every few milliseconds while the transmission waits for its blocks.
    void Every(int iMs, const std::function<void()>& step)
    {
        m_pTicker = std::make_unique<QTimer>();
        QObject::connect(m_pTicker.get(), &QTimer::timeout, step);
        m_pTicker->start(iMs);
    }

    // Delivers what the transmission posted last.
    void DeliverEnd()
    {
        ASSERT_TRUE(PumpUntil(
            [&]
            {
                return m_recorder.Has(LM_TRANSMIT_COMPLETE) || m_recorder.Has(LM_TRANSMIT_CANCEL) ||
                       m_recorder.Has(LM_TRANSMIT_ERROR);
            }));
        PumpFor(40);
    }

    size_t Sends() const { return m_pVirtual->CapturedSends(m_hDestination).size(); }

    MIDIEndpointRef m_hDestination = 0;
    TempDir m_dir;
    CLumFile m_file;
    int m_nFiles = 0;
    std::unique_ptr<QTimer> m_pTicker;
};
} // namespace

TEST_F(MidiManagerTransmit, SendsA600ByteFileInThreeBlocks)
{
    Bytes file = SysEx(600, 3);
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(file)), 1);
    DeliverEnd();

    auto sends = m_pVirtual->CapturedSends(m_hDestination);
    ASSERT_EQ(sends.size(), 3u);
    EXPECT_EQ(sends[0], Bytes(file.begin(), file.begin() + 256));
    EXPECT_EQ(sends[1], Bytes(file.begin() + 256, file.begin() + 512));
    EXPECT_EQ(sends[2], Bytes(file.begin() + 512, file.end()));

    const auto& messages = m_recorder.m_messages;
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_TRUE(MessageIs(messages[0], LM_TRANSMIT_START, 600, -1, -1));
    EXPECT_TRUE(MessageIs(messages[1], LM_TRANSMITTING, 600, 256, 1));
    EXPECT_TRUE(MessageIs(messages[2], LM_TRANSMITTING, 600, 512, 2));
    EXPECT_TRUE(MessageIs(messages[3], LM_TRANSMITTING, 600, 600, 3));
    EXPECT_TRUE(MessageIs(messages[4], LM_TRANSMIT_COMPLETE, 600, -1, 3));
    // Clock readings at posting, in order.
    for (size_t i = 1; i < messages.size(); ++i)
        EXPECT_LE(uint32_t(messages[i].iParam3 - messages[i - 1].iParam3), 5000u);
    for (CMessageManagerListener* pSender : m_recorder.m_senders)
        EXPECT_EQ(pSender, ManagerAsSender());
}

TEST_F(MidiManagerTransmit, SendsA256ByteFileAsOneBlock)
{
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(256, 9))), 1);
    DeliverEnd();
    EXPECT_EQ(Sends(), 1u);
    const auto& messages = m_recorder.m_messages;
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(MessageIs(messages[0], LM_TRANSMIT_START, 256, -1, -1));
    EXPECT_TRUE(MessageIs(messages[1], LM_TRANSMITTING, 256, 256, 1));
    EXPECT_TRUE(MessageIs(messages[2], LM_TRANSMIT_COMPLETE, 256, -1, 1));
}

TEST_F(MidiManagerTransmit, EmptyFileStartsAndCompletesWithoutBlocks)
{
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf({})), 1);
    DeliverEnd();
    EXPECT_EQ(Sends(), 0u);
    const auto& messages = m_recorder.m_messages;
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(MessageIs(messages[0], LM_TRANSMIT_START, 0, -1, -1));
    EXPECT_TRUE(MessageIs(messages[1], LM_TRANSMIT_COMPLETE, 0, -1, 0));
}

TEST_F(MidiManagerTransmit, BlocksIgnoreMessageBoundaries)
{
    Bytes file = SysEx(200, 1);
    Bytes second = SysEx(200, 50);
    file.insert(file.end(), second.begin(), second.end());
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(file)), 1);
    DeliverEnd();
    auto sends = m_pVirtual->CapturedSends(m_hDestination);
    ASSERT_EQ(sends.size(), 2u);
    Bytes firstBlock = SysEx(200, 1);
    firstBlock.insert(firstBlock.end(), second.begin(), second.begin() + 56);
    EXPECT_EQ(sends[0], firstBlock);
    EXPECT_EQ(sends[1], Bytes(second.begin() + 56, second.end()));
    EXPECT_EQ(m_pVirtual->Captured(m_hDestination), file);
}

TEST_F(MidiManagerTransmit, SendsFromTheFilesCurrentPositionOnlyWhenWhole)
{
    // The size is the whole file; a file read part-way cannot deliver it.
    LogCapture log;
    CLumFile* pFile = FileOf(SysEx(300, 2));
    ASSERT_EQ(pFile->SetPos(10, 2), 1);
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(pFile), 0);
    EXPECT_TRUE(log.Contains("TransmitSingleSysEx : Failed to read file."));
    PumpFor(80);
    EXPECT_TRUE(m_recorder.m_messages.empty());
    EXPECT_EQ(Sends(), 0u);
}

TEST_F(MidiManagerTransmit, CancelDuringTheSecondBlockStopsAfterIt)
{
    m_pVirtual->HoldCompletions(true);
    bool bCancelled = false;
    Every(2,
          [&]
          {
              if (m_pVirtual->HeldCompletions() != 1)
                  return;
              if (Sends() == 1)
              {
                  // Block 1 done; keep holding what follows.
                  m_pVirtual->HoldCompletions(false);
                  m_pVirtual->HoldCompletions(true);
              }
              else if (Sends() == 2 && !bCancelled)
              {
                  bCancelled = true;
                  EXPECT_EQ(m_pManager->TransmitCancel(), 0);
                  m_pVirtual->HoldCompletions(false);
              }
          });
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(600, 4))), 1);
    m_pTicker.reset();
    DeliverEnd();

    EXPECT_TRUE(bCancelled);
    EXPECT_EQ(Sends(), 2u);
    const auto& messages = m_recorder.m_messages;
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_TRUE(MessageIs(messages[0], LM_TRANSMIT_START, 600, -1, -1));
    EXPECT_TRUE(MessageIs(messages[1], LM_TRANSMITTING, 600, 256, 1));
    EXPECT_TRUE(MessageIs(messages[2], LM_TRANSMITTING, 600, 512, 2));
    EXPECT_TRUE(MessageIs(messages[3], LM_TRANSMIT_CANCEL, 600, -1, -1));

    // The next transmission starts afresh.
    m_recorder.m_messages.clear();
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(10, 4))), 1);
    DeliverEnd();
    EXPECT_TRUE(m_recorder.Has(LM_TRANSMIT_COMPLETE));
}

TEST_F(MidiManagerTransmit, EventsAreServedWhileBlocksGoOut)
{
    // At wire speed the blocks take about a quarter of a second: progress is delivered,
    // and the window's button works, before the transmission returns.
    m_pVirtual->PaceAtWireSpeed(m_hDestination, true);
    int nDeliveredDuring = 0;
    int nRecursive = -1;
    LogCapture log;
    m_recorder.m_onMessage = [&](const tagListenerMessage& message)
    {
        if (message.iMessage == LM_TRANSMITTING)
        {
            ++nDeliveredDuring;
            // A second start from the button while the first runs is refused.
            if (nRecursive < 0)
                nRecursive = m_pManager->TransmitSingleSysEx(&m_file);
        }
    };
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(768, 5))), 1);
    m_recorder.m_onMessage = nullptr;
    EXPECT_GE(nDeliveredDuring, 1);
    EXPECT_EQ(nRecursive, 0);
    EXPECT_TRUE(log.Contains("TransmitSingleSysEx : Transmission is already running."));
    DeliverEnd();
    EXPECT_EQ(Sends(), 3u);
    EXPECT_EQ(m_recorder.Of(LM_TRANSMIT_START).size(), 1u);
    EXPECT_TRUE(
        MessageIs(m_recorder.Of(LM_TRANSMIT_COMPLETE)[0], LM_TRANSMIT_COMPLETE, 768, -1, 3));
}

TEST_F(MidiManagerTransmit, FailuresBeforeTheFirstBlockPostNothing)
{
    LogCapture log;
    CLumFile closed;
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(&closed), 0);
    EXPECT_TRUE(log.Contains("TransmitSingleSysEx : Failed to get file size."));
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(nullptr), 0);

    m_pManager->MidiOutClose();
    log.Clear();
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(10, 0))), 0);
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"TransmitSingleSysEx : Midi Out Device is not opened."});

    m_pManager->Destroy();
    log.Clear();
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(&m_file), 0);
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"TransmitSingleSysEx : Midi Manager is not created..."});

    PumpFor(80);
    EXPECT_TRUE(m_recorder.m_messages.empty());
    EXPECT_EQ(Sends(), 0u);
}

TEST_F(MidiManagerTransmit, RefusedSendEndsWithAnError)
{
    m_pVirtual->HoldCompletions(true);
    Every(2,
          [&]
          {
              if (m_pVirtual->HeldCompletions() == 1 && Sends() == 1)
              {
                  m_pVirtual->FailNextSend(kMIDIMsgSendErr);
                  m_pVirtual->HoldCompletions(false);
              }
          });
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(600, 6))), 0);
    m_pTicker.reset();
    DeliverEnd();

    EXPECT_EQ(Sends(), 1u);
    const auto& messages = m_recorder.m_messages;
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(MessageIs(messages[1], LM_TRANSMITTING, 600, 256, 1));
    EXPECT_TRUE(MessageIs(messages[2], LM_TRANSMIT_ERROR, 600, 256, 1));
    EXPECT_LE(uint32_t(messages[2].iParam3 - messages[1].iParam3), 5000u);
}

TEST_F(MidiManagerTransmit, CompletionThatNeverComesEndsWithAnError)
{
    LogCapture log;
    m_pVirtual->HoldCompletions(true);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(100, 7))), 0);
    auto waited = std::chrono::steady_clock::now() - start;
    DeliverEnd();

    // The block's wire time plus the grace, not forever.
    EXPECT_GE(waited, std::chrono::milliseconds(CMidiManager::sm_uiChunkGraceMs));
    EXPECT_TRUE(log.Contains("TransmitSingleSysEx : A block was not sent in time."));
    const auto& messages = m_recorder.m_messages;
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(MessageIs(messages[0], LM_TRANSMIT_START, 100, -1, -1));
    EXPECT_TRUE(MessageIs(messages[1], LM_TRANSMIT_ERROR, 100, 0, 0));
}

TEST_F(MidiManagerTransmit, LateCompletionIsNotTakenForTheNextBlock)
{
    // The first transmission gives up on its block; its completion comes later, while the
    // next transmission runs.
    const auto late = std::chrono::milliseconds(CMidiManager::sm_uiChunkGraceMs + 600);
    m_pVirtual->SetCompletionDelay(late);
    auto abandoned = std::chrono::steady_clock::now();
    ASSERT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(10, 8))), 0);
    m_pVirtual->SetCompletionDelay(std::chrono::milliseconds(0));

    // The next transmission's own completions are held: whatever the manager sees before
    // they are released can only be the late one.
    m_pVirtual->HoldCompletions(true);
    bool bChecked = false;
    Every(5,
          [&]
          {
              if (bChecked || std::chrono::steady_clock::now() - abandoned <
                                  late + std::chrono::milliseconds(400))
                  return;
              bChecked = true;
              EXPECT_EQ(Sends(), 2u) << "a block was sent before the one in flight completed";
              m_pVirtual->HoldCompletions(false);
          });
    m_recorder.m_messages.clear();
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(600, 9))), 1);
    m_pTicker.reset();
    DeliverEnd();

    EXPECT_TRUE(bChecked);
    EXPECT_EQ(Sends(), 4u);
    auto progress = m_recorder.Of(LM_TRANSMITTING);
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_TRUE(
        MessageIs(m_recorder.Of(LM_TRANSMIT_COMPLETE).at(0), LM_TRANSMIT_COMPLETE, 600, -1, 3));
}

using MidiManagerTransmitConcurrency = MidiManagerTransmit;

TEST_F(MidiManagerTransmitConcurrency, ManyBlocksOneInFlight)
{
    Bytes file;
    for (int i = 0; i < 40; ++i)
    {
        Bytes message = SysEx(250 + i, uint8_t(i));
        file.insert(file.end(), message.begin(), message.end());
    }
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(file)), 1);
    DeliverEnd();
    EXPECT_EQ(m_pVirtual->Captured(m_hDestination), file);
    auto progress = m_recorder.Of(LM_TRANSMITTING);
    int nBlocks = int((file.size() + 255) / 256);
    ASSERT_EQ(int(progress.size()), nBlocks);
    for (int i = 0; i < nBlocks; ++i)
        EXPECT_TRUE(MessageIs(progress[size_t(i)], LM_TRANSMITTING, int32_t(file.size()),
                              std::min<int32_t>(int32_t(file.size()), 256 * (i + 1)), i + 1));
}
