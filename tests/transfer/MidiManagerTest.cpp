#include "MidiManagerFixture.h"

#include "file/LumFile.h"
#include "support/LogCapture.h"
#include "support/MidiFileBuilder.h"
#include "support/TempDir.h"
#include "transfer/SysExFileSequence.h"

#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace
{
using MidiFileBuilder::Join;
using MidiFileBuilder::SysEx;

// The source and the destination "Synth Co - Port 1" open as MIDI IN and OUT.
class MidiManagerPorts : public MidiManagerFixture
{
protected:
    void SetUp() override
    {
        MidiManagerFixture::SetUp();
        if (HasFatalFailure())
            return;
        OpenPort(true);
        OpenPort(false);
    }
    void TearDown() override
    {
        m_file.Close();
        MidiManagerFixture::TearDown();
    }

    // Opens a file holding the bytes as the transmit window does, for reading.
    CLumFile* FileOf(const Bytes& bytes)
    {
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
        ASSERT_TRUE(PumpUntil([&] { return TransmitEnd() >= 0; }));
        PumpFor(40);
    }

    size_t Sends() const { return m_pVirtual->CapturedSends(m_hDestination).size(); }

    bool WaitFor(int32_t iMessage)
    {
        return PumpUntil([&] { return m_recorder.Has(iMessage); });
    }

    // Lets the injected bytes arrive and what they posted be delivered.
    void Settle()
    {
        m_pVirtual->WaitIdle();
        PumpFor(100);
    }

    TempDir m_dir;
    CLumFile m_file; // closed by hand: a CLumFile left behind keeps its descriptor
    int m_nFiles = 0;
    std::unique_ptr<QTimer> m_pTicker;
};

// Input and completions come from the back end's thread while the main thread serves
// events: the thread-sanitizer build runs these.
using MidiManagerConcurrency = MidiManagerPorts;

using namespace std::chrono_literals;

// Dump recordings and transmissions keep the time of a clock the test moves.
class MidiManagerClocked : public MidiManagerPorts
{
protected:
    void SetUp() override
    {
        MidiManagerPorts::SetUp();
        if (HasFatalFailure())
            return;
        m_pManager->SetReceiveClock(&m_clock); // the manager goes before the clock
        m_pManager->SetTransmitClock(&m_clock);
    }

    // Lets the dump's timer see what was injected.
    void LetTimerLook() { PumpFor(3 * CMidiManager::sm_iDumpTickMs); }

    Bytes Dump() { return ReceivedDump(*m_pManager); }

    FakeTransmitClock m_clock;
};

using std::chrono::microseconds;
using ms = std::chrono::milliseconds;

constexpr int kByPort = tagTransmitSettings::kPacingByPort;
constexpr int kAtSpeed = tagTransmitSettings::kPacingAtSpeed;
constexpr int kUnpaced = tagTransmitSettings::kPacingUnpaced;
constexpr int kMidiTimingOfFile = tagTransmitSettings::kMidiTimingOfFile;
constexpr int kMidiTimingPause = tagTransmitSettings::kMidiTimingPause;

// Three messages of 10 bytes (3.2 ms on the wire each) at 0.5 s, 1.5 s and 1.501 s: a
// tick is a millisecond at 500 ticks a quarter note and the default tempo.
const Bytes kFirst = SysEx(10, 1), kSecond = SysEx(10, 2), kThird = SysEx(10, 3);

Bytes TimedMidiFile()
{
    using namespace MidiFileBuilder;
    const auto event = [](uint32_t uDelta, const Bytes& message)
    { return SysExEvent(uDelta, Bytes(message.begin() + 1, message.end())); };
    return File(0, 500,
                {Track({Event(0, {0x90, 0x3C, 0x40}), event(500, kFirst), event(1000, kSecond),
                        event(1, kThird)})});
}

// The files a test hands to "send all", and what became of them.
class FileList : public CSysExFileSequence
{
public:
    FileList(const TempDir& dir, const std::vector<Bytes>& files)
    {
        for (size_t i = 0; i < files.size(); ++i)
            m_paths.push_back(dir.Write("file" + std::to_string(i) + ".syx", files[i]));
    }

    CLumFile* NextFile() override
    {
        if (m_nHandedOut == m_paths.size())
            return nullptr;
        auto* pFile = new CLumFile;
        EXPECT_EQ(pFile->Open(m_paths[m_nHandedOut++].c_str(), 9), 1);
        return pFile;
    }

    void FileDone(CLumFile* pFile) override
    {
        ++m_nDone;
        pFile->Close();
        delete pFile;
    }

    std::vector<std::string> m_paths;
    size_t m_nHandedOut = 0;
    size_t m_nDone = 0;
};
} // namespace

// Only the exact display name opens, and is remembered; a failed open leaves the input
// closed and the remembered name alone; an empty name closes and succeeds.
TEST_F(MidiManagerFixture, InputIsFoundByItsExactDisplayNameAndSetupChangesArePosted)
{
    MIDIEndpointRef hPort1 = m_pVirtual->AddSource("Synth Co", "Port 1");
    MIDIEndpointRef hPort10 = m_pVirtual->AddSource("Synth Co", "Port 10");
    MIDIEndpointRef hVirtual = m_pVirtual->AddSource("", "Synth");
    m_pVirtual->WaitIdle();
    // Whether the manager hears the source: arms, injects a message and waits for it.
    const auto hears = [&](MIDIEndpointRef hSource)
    {
        m_recorder.m_messages.clear();
        m_pManager->ReceiveSysExData();
        m_pVirtual->Inject(hSource, {{0xF0, 0x01, 0xF7}});
        m_pVirtual->WaitIdle();
        PumpFor(80);
        return m_recorder.Has(LM_RECEIVE_COMPLETE);
    };

    ASSERT_EQ(m_pManager->MidiInOpenByName("Synth Co - Port 10"), 1);
    EXPECT_STREQ(m_szRememberedIn, "Synth Co - Port 10");
    EXPECT_TRUE(hears(hPort10));
    EXPECT_FALSE(hears(hPort1));
    // An endpoint without a device: a blank, a hyphen, a blank and its name.
    ASSERT_EQ(m_pManager->MidiInOpenByName(" - Synth"), 1);
    EXPECT_TRUE(hears(hVirtual));
    EXPECT_FALSE(hears(hPort10));

    strcpy(m_szRememberedIn, "kept");
    for (const char* pszName : {"synth co - port 1", "Synth Co - Port 1 ", "Synth Co - Port"})
        EXPECT_EQ(m_pManager->MidiInOpenByName(pszName), 0) << pszName;
    EXPECT_FALSE(hears(hVirtual));
    EXPECT_STREQ(m_szRememberedIn, "kept");

    ASSERT_EQ(m_pManager->MidiInOpenByName("Synth Co - Port 1"), 1);
    EXPECT_EQ(m_pManager->MidiInOpenByName(""), 1);
    EXPECT_FALSE(hears(hPort1));
    EXPECT_EQ(m_pManager->MidiInOpenByName(nullptr), 1);
    EXPECT_STREQ(m_szRememberedIn, "Synth Co - Port 1");
    EXPECT_EQ(m_pManager->MidiOutOpenByName(""), 1);

    // The display name is cut to 255 bytes; the cut name opens and is remembered, also
    // when the main window passes that very buffer.
    const std::string device(200, 'D'), endpoint(100, 'E');
    m_pVirtual->AddSource(device.c_str(), endpoint.c_str());
    m_pVirtual->WaitIdle();
    const std::string display = (device + " - " + endpoint).substr(0, 255);
    ASSERT_EQ(m_pManager->MidiInOpenByName(display.c_str()), 1);
    ASSERT_EQ(m_pManager->MidiInOpenByName(m_szRememberedIn), 1);
    EXPECT_EQ(m_szRememberedIn, display);

    // Setup changes are posted once per client while the manager lives; a destroyed manager
    // refuses everything until created again, as after a restart of the MIDI engine.
    ForgetPosted();
    m_pVirtual->AddDestination("Synth Co", "Port 2");
    m_pVirtual->WaitIdle();
    ASSERT_TRUE(PumpUntil([&] { return m_recorder.Of(LM_SETUP_CHANGED).size() >= 2; }));
    PumpFor(50);
    EXPECT_EQ(m_recorder.Of(LM_SETUP_CHANGED).size(), 2u);

    EXPECT_EQ(m_pManager->Create(), 0);
    EXPECT_EQ(m_pManager->Destroy(), 1);
    EXPECT_EQ(m_pManager->Destroy() + m_pManager->ReceiveSysExData() +
                  m_pManager->ReceiveSysExDump(0) + m_pManager->SendSysExRequest({0xF0, 0xF7}) +
                  m_pManager->MidiInOpenByName("") + m_pManager->MidiOutOpenByName(""),
              0);
    m_pManager->MidiInClose();
    m_pManager->MidiOutClose();
    m_recorder.m_messages.clear();
    m_pVirtual->AddSource("Synth Co", "Port 9");
    m_pVirtual->WaitIdle();
    PumpFor(100);
    EXPECT_FALSE(m_recorder.Has(LM_SETUP_CHANGED));

    EXPECT_EQ(m_pManager->Create(), 1);
    EXPECT_EQ(m_pManager->ReceiveSysExData(), 1);
}

// Real-time bytes, in packets of their own or between data bytes, are left out; after the
// start they leave the message open and each counts as a run.
TEST_F(MidiManagerPorts, ReceivesOneMessagePerArmingAndSendsBlocksWhole)
{
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    // Spaced beyond the message manager's throttle, so every progress post is delivered.
    PassThrottle();
    Inject({{0x90, 0x3C, 0x40}});
    PassThrottle();
    EXPECT_TRUE(m_recorder.m_messages.empty()) << "bytes before F0 are not reported";
    for (const Bytes& run : std::vector<Bytes>{{0xF0, 0x41, 0x10}, {0xF8, 0xFE}, {0x42}})
    {
        Inject({run});
        PassThrottle();
    }
    Inject({{0x43, 0xFA, 0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));

    const auto& messages = m_recorder.m_messages;
    ASSERT_EQ(messages.size(), 5u);
    const int32_t kPosts[5][3] = {{-1, 3, 0}, {-1, 3, 1}, {-1, 4, 3}, {-1, 4, 4}, {6, -1, 6}};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_TRUE(MessageIs(messages[i], i < 4 ? LM_RECEIVING : LM_RECEIVE_COMPLETE, kPosts[i][0],
                              kPosts[i][1], kPosts[i][2]));
    // Elapsed times count from the F0, which came three pauses before the F7.
    EXPECT_GE(messages[4].iParam3, 600);
    EXPECT_LT(messages[4].iParam3, 60000);
    for (CMessageManagerListener* pSender : m_recorder.m_senders)
        EXPECT_EQ(pSender, static_cast<CMessageManagerListener*>(m_pManager));

    EXPECT_EQ(Received(), (Bytes{0xF0, 0x41, 0x10, 0x42, 0x43, 0xF7}));
    EXPECT_EQ(m_pManager->GetReceivedSysExData(6) + m_pManager->GetReceivedSysExData(-1), 0);

    // One arming takes one message.
    m_recorder.m_messages.clear();
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    Inject({{0x01, 0x02}, {0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x03, 0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));
    Inject({{0xF0, 0x04, 0xF7}});
    Settle();
    EXPECT_EQ(m_recorder.Of(LM_RECEIVE_COMPLETE).size(), 1u);
    // One progress post, after the run F0 01.
    EXPECT_TRUE(MessageIs(m_recorder.Of(LM_RECEIVE_COMPLETE)[0], LM_RECEIVE_COMPLETE, 3, -1, 1));
    EXPECT_EQ(Received(), (Bytes{0xF0, 0x01, 0xF7}));

    // Arming again forgets the first and takes the next: one larger than a storage piece
    // and not a multiple of it, in many packets.
    m_recorder.m_messages.clear();
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    PassThrottle();
    const int nPackets = 300, nPacket = 701;
    std::vector<Bytes> packets{{0xF0, 0x43}};
    Bytes expected = packets[0];
    for (int i = 0; i < nPackets; ++i)
    {
        packets.push_back(Bytes(size_t(nPacket), uint8_t(i & 0x7F)));
        expected.insert(expected.end(), packets.back().begin(), packets.back().end());
    }
    packets.push_back({0xF7});
    expected.push_back(0xF7);
    Inject(packets);
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));
    EXPECT_EQ(Received(), expected);
    // A progress post for each packet before the F7, counted whether or not the throttle
    // kept them.
    EXPECT_TRUE(MessageIs(m_recorder.Of(LM_RECEIVE_COMPLETE).at(0), LM_RECEIVE_COMPLETE,
                          int32_t(expected.size()), -1, nPackets + 1));
    EXPECT_LT(m_recorder.Of(LM_RECEIVING).size(), size_t(nPackets + 1)) << "throttled";

    // A status byte or a second F0 ends the reception with what came; the rest goes unheard.
    for (const Bytes& breaker : std::vector<Bytes>{{0x90, 0x3C, 0x40}, {0xF0, 0x42, 0xF7}})
    {
        m_recorder.m_messages.clear();
        ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
        PassThrottle();
        Inject({{0xF0, 0x41, 0x10}});
        PassThrottle();
        Inject({breaker});
        ASSERT_TRUE(WaitFor(LM_RECEIVE_ERROR));
        Inject({{0x42, 0xF7}, {0xF0, 0x01, 0xF7}});
        Settle();

        auto errors = m_recorder.Of(LM_RECEIVE_ERROR);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(MessageIs(errors[0], LM_RECEIVE_ERROR, -1, 3, 1));
        EXPECT_FALSE(m_recorder.Has(LM_RECEIVE_COMPLETE));
        EXPECT_EQ(Received(), (Bytes{0xF0, 0x41, 0x10}));
    }

    // A break ends an armed reception or a dump at once, saying why, keeping nothing damaged.
    m_recorder.m_messages.clear();
    // A break while not armed is only logged.
    m_pVirtual->BreakInput(m_hSource);
    PumpFor(60);
    EXPECT_TRUE(m_recorder.m_messages.empty());
    int nPort = 1;
    for (bool bDump : {false, true})
        for (bool bSourceGoes : {false, true})
        {
            SCOPED_TRACE(std::string(bDump ? "dump, " : "one message, ") +
                         (bSourceGoes ? "source gone" : "data lost"));
            // A source of its own, as the one before may be gone.
            const std::string sPort = "Port " + std::to_string(++nPort);
            m_hSource = m_pVirtual->AddSource("Synth Co", sPort.c_str());
            m_pVirtual->WaitIdle();
            ASSERT_EQ(m_pManager->MidiInOpenByName(("Synth Co - " + sPort).c_str()), 1);
            m_recorder.m_messages.clear();
            // A dump keeps its first message; the one message breaks off after three bytes.
            ASSERT_EQ(bDump ? m_pManager->ReceiveSysExDump(0) : m_pManager->ReceiveSysExData(), 1);
            Inject(bDump ? std::vector<Bytes>{{0xF0, 0x41, 0x01, 0xF7}, {0xF0, 0x41, 0x02}}
                         : std::vector<Bytes>{{0xF0, 0x41, 0x10}});
            // The input overruns, or its source goes away.
            if (bSourceGoes)
                m_pVirtual->RemoveEndpoint(m_hSource);
            else
                m_pVirtual->BreakInput(m_hSource);
            m_pVirtual->WaitIdle();
            const int32_t iEnd = bDump ? LM_DUMP_END : LM_RECEIVE_ERROR;
            ASSERT_TRUE(WaitFor(iEnd));
            const tagListenerMessage end = m_recorder.Of(iEnd).back();
            if (bDump)
            {
                EXPECT_TRUE(MessageIs(end, LM_DUMP_END, 1, 4,
                                      bSourceGoes ? kDumpEndSourceGone : kDumpEndDataLost));
                EXPECT_EQ(m_pManager->GetDumpStatus().iEnd, end.iParam4);
                EXPECT_EQ(ReceivedDump(*m_pManager), (Bytes{0xF0, 0x41, 0x01, 0xF7}));
                continue;
            }
            EXPECT_EQ(end.iParam1, bSourceGoes ? kReceiveErrorSourceGone : kReceiveErrorDataLost);
            EXPECT_EQ(end.iParam2, 3);
            EXPECT_FALSE(m_recorder.Has(LM_RECEIVE_COMPLETE));
        }

    // Transmissions: a late completion, blocks, refusals.
    m_recorder.m_messages.clear();
    // The first transmission gives up on its block after its wire time and the grace, not
    // forever; its completion comes later, while the next transmission runs.
    LogCapture log;
    const auto late = std::chrono::milliseconds(CMidiManager::sm_uiChunkGraceMs + 600);
    m_pVirtual->SetCompletionDelay(late);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(10, 8))), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(CMidiManager::sm_uiChunkGraceMs));
    m_pVirtual->SetCompletionDelay(std::chrono::milliseconds(0));
    EXPECT_TRUE(log.Contains("TransmitSingleSysEx : A block was not sent in time."));

    // The next transmission's own completions are held: whatever the manager sees before
    // they are released can only be the late one.
    m_pVirtual->HoldCompletions(true);
    bool bChecked = false;
    Every(5,
          [&]
          {
              if (bChecked ||
                  std::chrono::steady_clock::now() - start < late + std::chrono::milliseconds(400))
                  return;
              bChecked = true;
              EXPECT_EQ(Sends(), 2u) << "a block was sent before the one in flight completed";
              m_pVirtual->HoldCompletions(false);
          });
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(600, 9))), 1);
    m_pTicker.reset();
    DeliverEnd();

    EXPECT_TRUE(bChecked);
    EXPECT_EQ(Sends(), 4u);
    ASSERT_GE(m_recorder.m_messages.size(), 2u);
    EXPECT_TRUE(MessageIs(m_recorder.m_messages[1], LM_TRANSMIT_ERROR, 10, 0, 0));
    EXPECT_TRUE(
        MessageIs(m_recorder.Of(LM_TRANSMIT_COMPLETE).at(0), LM_TRANSMIT_COMPLETE, 600, -1, 3));

    // Blocks of at most 256 bytes, none holding two messages' bytes, each reported with the
    // bytes so far between a start and a completion carrying the size; posted by the manager.
    const struct
    {
        Bytes stream;
        std::vector<size_t> blockLengths;
    } kCases[] = {
        {Join({SysEx(600, 1), SysEx(10, 2), SysEx(513, 3)}), {256, 256, 88, 10, 256, 256, 1}},
        {Join({SysEx(256, 1), SysEx(257, 2)}), {256, 256, 1}},
        // A message without its F7 ends where the next one starts.
        {Join({Bytes{0xF0, 0x41, 0x10}, SysEx(5, 1)}), {3, 5}},
        {Join({SysEx(4, 1), Bytes{0x90, 0x40}, SysEx(4, 2)}), {4, 2, 4}},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.stream.size());
        m_recorder.m_messages.clear();
        m_recorder.m_senders.clear();
        m_pVirtual->ClearCaptured(m_hDestination);
        const int32_t nSize = int32_t(c.stream.size()), nBlocks = int32_t(c.blockLengths.size());
        EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(c.stream)), 1);
        DeliverEnd();
        std::vector<size_t> lengths;
        for (const Bytes& send : m_pVirtual->CapturedSends(m_hDestination))
        {
            lengths.push_back(send.size());
            for (size_t i = 0; i + 1 < send.size(); ++i)
                EXPECT_NE(send[i], 0xF7) << "an F7 inside a block";
            for (size_t i = 1; i < send.size(); ++i)
                EXPECT_NE(send[i], 0xF0) << "an F0 after the start of a block";
        }
        EXPECT_EQ(lengths, c.blockLengths);
        EXPECT_EQ(m_pVirtual->Captured(m_hDestination), c.stream);

        const auto& messages = m_recorder.m_messages;
        ASSERT_EQ(messages.size(), c.blockLengths.size() + 2);
        EXPECT_TRUE(MessageIs(messages.front(), LM_TRANSMIT_START, nSize, -1, -1));
        int32_t iSent = 0;
        for (int32_t i = 0; i < nBlocks; ++i)
        {
            iSent += int32_t(c.blockLengths[size_t(i)]);
            EXPECT_TRUE(MessageIs(messages[size_t(i + 1)], LM_TRANSMITTING, nSize, iSent, i + 1));
        }
        EXPECT_TRUE(MessageIs(messages.back(), LM_TRANSMIT_COMPLETE, nSize, -1, nBlocks));
        for (CMessageManagerListener* pSender : m_recorder.m_senders)
            EXPECT_EQ(pSender, static_cast<CMessageManagerListener*>(m_pManager));
    }

    // Nothing goes for a file read part-way, closed or none, or a closed output; an output that
    // goes while its second block is on the way fails the transmission.
    m_recorder.m_messages.clear();
    m_pVirtual->ClearCaptured(m_hDestination);
    // The size is the whole file; a file read part-way cannot deliver it.
    CLumFile* pFile = FileOf(SysEx(300, 2));
    ASSERT_EQ(pFile->SetPos(10, 2), 1);
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(pFile), 0);
    CLumFile closed;
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(&closed), 0);
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(nullptr), 0);
    m_pManager->MidiOutClose();
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(10, 0))), 0);
    PumpFor(80);
    EXPECT_TRUE(m_recorder.m_messages.empty());
    EXPECT_EQ(Sends(), 0u);

    m_pVirtual->FailNextConnect(kMIDINoConnection);
    EXPECT_EQ(m_pManager->MidiOutOpenByName("Synth Co - Port 1"), 0);
    ASSERT_EQ(m_pManager->MidiOutOpenByName("Synth Co - Port 1"), 1);
    m_pVirtual->HoldCompletions(true);
    Every(2,
          [&]
          {
              if (m_pVirtual->HeldCompletions() != 1)
                  return;
              if (Sends() == 2)
                  m_pVirtual->RemoveEndpoint(m_hDestination);
              m_pVirtual->HoldCompletions(false);
              m_pVirtual->HoldCompletions(true);
          });
    Bytes data = SysEx(400, 1);
    EXPECT_EQ(m_pManager->TransmitSysExData(data.data(), int(data.size())), 0);
    m_pTicker.reset();
    DeliverEnd();
    EXPECT_TRUE(MessageIs(m_recorder.Of(LM_TRANSMIT_ERROR).back(), LM_TRANSMIT_ERROR, 400, 256, 1));
    EXPECT_FALSE(m_recorder.Has(LM_TRANSMIT_COMPLETE));

    // A destroyed manager starts nothing.
    m_pManager->Destroy();
    EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(SysEx(10, 0))), 0);
    PumpFor(80);
    EXPECT_EQ(m_recorder.Of(LM_TRANSMIT_START).size(), 1u);
}

TEST_F(MidiManagerConcurrency, ArmingWhileInputArrivesAndEventsServedWhileBlocksGoOut)
{
    std::atomic<bool> bStop{false};
    std::thread feeder(
        [&]
        {
            const Bytes message = SysEx(68, 0);
            while (!bStop.load())
                Inject({Bytes(message.begin(), message.begin() + 20),
                        Bytes(message.begin() + 20, message.end()),
                        {0xF8}});
        });
    for (int i = 0; i < 300; ++i)
    {
        m_pManager->ReceiveSysExData();
        // Whatever is being collected is a prefix of one message.
        if (m_pManager->m_nReceivedSysExSize > 0)
        {
            EXPECT_EQ(m_pManager->GetReceivedSysExData(0), 0xF0);
        }
        if (i % 50 == 0)
            PumpFor(5);
    }
    bStop = true;
    feeder.join();
    m_pVirtual->WaitIdle();

    // After the storm, one arming still collects one whole message.
    ForgetPosted();
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    Inject({{0xF0, 0x11, 0x22, 0xF7}});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));
    EXPECT_EQ(Received(), (Bytes{0xF0, 0x11, 0x22, 0xF7}));

    m_recorder.m_messages.clear();
    // At wire speed the blocks take about a quarter of a second: progress is delivered,
    // and the window's button works, before the transmission returns.
    m_pVirtual->SetEndpointKind(m_hDestination, kMIDIEndpointHardware);
    m_pVirtual->PaceSends(m_hDestination, true);
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

// --- Dumps: every complete message until stopped, or until the silence after the last ---

// A bank of 100 messages split over packets, real-time bytes between and inside; then three
// messages broken off (a status byte, the next F0, the stop), left out with stray bytes.
TEST_F(MidiManagerClocked, RecordsDumpsAndSendsEachBlockWhenDue)
{
    std::vector<Bytes> packets;
    Bytes kept;
    for (int i = 0; i < 100; ++i)
    {
        Bytes message = SysEx(139, uint8_t(i));
        kept.insert(kept.end(), message.begin(), message.end());
        message.insert(message.begin() + 30, 0xF8);
        packets.emplace_back(message.begin(), message.begin() + 70);
        packets.emplace_back(message.begin() + 70, message.end());
        packets.push_back({0xFE});
    }
    const Bytes broken{0xF0, 0x41, 0x02, 0x05}, last = SysEx(14, 3);
    kept.insert(kept.end(), last.begin(), last.end());
    for (const Bytes& packet : {broken, Bytes{0x90, 0x3C, 0x40, 0xF7, 0x05}, broken, last, broken})
        packets.push_back(packet);
    const int32_t iMessages = 101;

    ASSERT_EQ(m_pManager->ReceiveSysExDump(0), 1);
    Inject(packets);
    m_pVirtual->WaitIdle();
    LetTimerLook();
    m_clock.m_now += 1500ms;
    LetTimerLook();
    EXPECT_FALSE(m_recorder.Has(LM_DUMP_END)) << "without an idle time only Stop ends it";

    const tagDumpStatus running = m_pManager->GetDumpStatus();
    EXPECT_TRUE(running.bRecording && running.bStarted);
    EXPECT_EQ(running.counts.llMessages, iMessages);

    EXPECT_EQ(m_pManager->StopReceive(), 1);
    ASSERT_TRUE(WaitFor(LM_DUMP_END));
    auto ends = m_recorder.Of(LM_DUMP_END);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_TRUE(MessageIs(ends[0], LM_DUMP_END, iMessages, int32_t(kept.size()), kDumpEndStopped));
    EXPECT_EQ(ends[0].iParam3, 1500) << "elapsed counts from the first byte";

    const tagDumpStatus status = m_pManager->GetDumpStatus();
    EXPECT_TRUE(!status.bRecording && status.iEnd == kDumpEndStopped);
    const auto& counts = status.counts;
    EXPECT_EQ(
        (std::vector<int64_t>{counts.llInterrupted, counts.bIncompleteAtStop, counts.llMessageBytes,
                              counts.llTotalBytes, counts.llCurrentBytes}),
        (std::vector<int64_t>{2, 1, int64_t(kept.size()), int64_t(kept.size() + 3 * broken.size()),
                              0}));
    EXPECT_EQ(Dump(), kept);
    TempDir dir;
    const std::string path = dir.Write("dump.syx", Bytes{});
    CLumFile file;
    ASSERT_EQ(file.Open(path.c_str(), 2), 1);
    EXPECT_EQ(m_pManager->WriteReceivedDump(&file), 1);
    file.Close();
    EXPECT_EQ(TempDir::Read(path), kept);
    EXPECT_EQ(m_pManager->WriteReceivedDump(nullptr), 0);

    // Stopped means stopped: later bytes are not taken.
    Inject({SysEx(7, 9)});
    m_pVirtual->WaitIdle();
    EXPECT_EQ(Dump(), kept);
    EXPECT_EQ(m_pManager->StopReceive(), 0);

    // A one-message arming takes over and the dump is forgotten.
    m_recorder.m_messages.clear();
    ASSERT_EQ(m_pManager->ReceiveSysExDump(1000), 1);
    Inject({SysEx(8, 1)});
    m_pVirtual->WaitIdle();
    LetTimerLook();
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    EXPECT_TRUE(Dump().empty());
    m_clock.m_now += 5s;
    Inject({SysEx(8, 2), SysEx(8, 3)});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));
    LetTimerLook();
    EXPECT_FALSE(m_recorder.Has(LM_DUMP_END)) << "an abandoned recording does not end itself";
    EXPECT_EQ(Received(), SysEx(8, 2));
    EXPECT_EQ(m_pManager->StopReceive(), 0) << "the one message disarmed itself";

    // A request is refused without an output or when it is invalid.
    const Bytes request{0xF0, 0x7D, 0x01, 0xF7};
    m_pManager->MidiOutClose();
    EXPECT_EQ(m_pManager->SendSysExRequest(request), 0) << "no MIDI OUT open";
    ASSERT_EQ(m_pManager->MidiOutOpenByName("Synth Co - Port 1"), 1);
    EXPECT_EQ(m_pManager->SendSysExRequest({0xF0, 0x7D, 0x80, 0xF7}), 0);
    EXPECT_EQ(m_pManager->SendSysExRequest({}), 0);
    EXPECT_TRUE(m_pVirtual->Captured(m_hDestination).empty());
    EXPECT_EQ(m_pManager->SendSysExRequest(request), 1);
    EXPECT_EQ(m_pVirtual->Captured(m_hDestination), request);

    // The silence after the last byte ends the recording.
    enum Before
    {
        kNothing,
        kBytes,
        kInputWaits, // input has come but waits unread, behind a reader the system keeps back
        kInputRead,
    };
    // Clock steps, each followed by a look of the timer: what comes before the step, and the
    // ms to move on. The recording ends at the last step.
    const std::vector<std::pair<Before, int>> kSilences[] = {
        // A slow instrument may take long to start: the silence before it does not count.
        {{kNothing, 5000}, {kBytes, 999}, {kNothing, 1}},
        {{kBytes, 0}, {kBytes, 900}, {kBytes, 900}, {kNothing, 1000}},
        // Input that waits unread is not silence: the dump waits for it.
        {{kBytes, 0}, {kInputWaits, 5000}, {kInputRead, 0}},
    };
    for (const auto& steps : kSilences)
    {
        SCOPED_TRACE(&steps - kSilences);
        m_recorder.m_messages.clear();
        ASSERT_EQ(m_pManager->ReceiveSysExDump(1000), 1);
        for (size_t i = 0; i < steps.size(); ++i)
        {
            const Before before = steps[i].first;
            if (before == kBytes)
            {
                Inject({SysEx(8, uint8_t(i))});
                m_pVirtual->WaitIdle();
                LetTimerLook();
            }
            else if (before != kNothing)
                m_pVirtual->SetInputWaiting(before == kInputWaits);
            m_clock.m_now += std::chrono::milliseconds(steps[i].second);
            LetTimerLook();
            EXPECT_EQ(m_recorder.Has(LM_DUMP_END), i + 1 == steps.size()) << "after step " << i;
        }
        EXPECT_EQ(m_recorder.Of(LM_DUMP_END).at(0).iParam4, kDumpEndIdle);
        EXPECT_TRUE(m_pManager->GetDumpStatus().iEnd == kDumpEndIdle &&
                    !m_pManager->GetDumpStatus().bRecording);
    }

    // A block is due once the one before has had its time at the speed, and the pause after a
    // message; a MIDI file's message at its time in the file (or the pause, as for a .syx file)
    // unless the wire needs longer. The time left is checked before each block.
    const MIDIEndpointKind kHardware = kMIDIEndpointHardware, kSoftware = kMIDIEndpointSoftware;
    const Bytes kTimed = Join({kFirst, kSecond, kThird});
    const struct
    {
        Bytes stream;
        MIDIEndpointKind kind;
        tagTransmitSettings settings;
        uint32_t uPortPace;                    // what the port layer is told
        std::vector<microseconds> blocksDueAt; // from the start, by the clock
        Bytes sent = {};                       // empty: the stream
        std::vector<int> remainingMs = {};     // before each block; empty: not looked at
    } kCases[] = {
        // clang-format off
        // 200 bytes at 3125 bytes a second are 64 ms on the wire.
        {Join({SysEx(200, 1), SysEx(200, 2), SysEx(10, 3)}), kHardware, {100, 3125, kByPort}, 3125,
         {ms(0), ms(164), ms(328)}},
        // No pause inside a message; each block at 1000 bytes a second.
        {SysEx(600, 1), kHardware, {100, 1000, kByPort}, 1000, {ms(0), ms(256), ms(512)}},
        // A software port takes the bytes as fast as it reads them; pauses still apply.
        {Join({SysEx(10, 1), SysEx(10, 2), SysEx(300, 3)}), kSoftware, {50, 100, kByPort}, 0,
         {ms(0), ms(50), ms(100), ms(100)}},
        {Join({SysEx(10, 1), SysEx(10, 2)}), kSoftware, {0, 100, kAtSpeed}, 100, {ms(0), ms(100)}},
        // Up to the third message at 1001 ms and its 3.2 ms; at the last, the wait for the
        // wire is the longer.
        {TimedMidiFile(), kHardware, {100, 3125, kByPort, kMidiTimingOfFile}, 3125,
         {ms(0), ms(1000), microseconds(1003200)}, kTimed, {1005, 1005, 7}},
        {TimedMidiFile(), kHardware, {100, 3125, kByPort, kMidiTimingPause}, 3125,
         {ms(0), microseconds(103200), microseconds(206400)}, kTimed},
        // Blocks 256 + 244, 10, 10; left before each: its wait, the bytes left at the speed
        // and the pauses left.
        {Join({SysEx(500, 1), SysEx(10, 2), SysEx(10, 3)}), kHardware, {100, 1000, kByPort}, 1000,
         {ms(0), ms(256), ms(600), ms(710)}, {},
         {520 + 200, 256 + 264 + 200, 244 + 100 + 20 + 100, 10 + 100 + 10}},
        // Unpaced, the bytes left go at the rate measured so far, pauses not counted: here the
        // bytes took no time at all, so before each block only the pauses are left.
        {Join({SysEx(10, 1), SysEx(10, 2), SysEx(10, 3)}), kHardware, {100, 1000, kUnpaced}, 0,
         {ms(0), ms(100), ms(200)}, {}, {200, 200, 100}},
        // clang-format on
    };
    std::vector<int> remaining;
    m_clock.m_onSleep = [&](auto) { remaining.push_back(m_pManager->GetTransmitRemainingMs()); };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(&c - kCases);
        m_clock.m_now = FakeTransmitClock::kStart;
        m_clock.m_sleptUntil.clear();
        remaining.clear();
        m_recorder.m_messages.clear();
        m_pVirtual->ClearCaptured(m_hDestination);
        m_pVirtual->SetEndpointKind(m_hDestination, c.kind);
        m_pManager->SetTransmitSettings(c.settings);
        EXPECT_EQ(m_pManager->TransmitSingleSysEx(FileOf(c.stream)), 1);
        DeliverEnd();
        EXPECT_EQ(m_clock.m_sleptUntil, c.blocksDueAt);
        if (!c.remainingMs.empty())
        {
            EXPECT_EQ(remaining, c.remainingMs);
        }
        EXPECT_EQ(m_pManager->GetTransmitRemainingMs(), 0);
        EXPECT_EQ(m_pVirtual->LastSendPacing(m_hDestination), int64_t(c.uPortPace));
        const Bytes& sent = c.sent.empty() ? c.stream : c.sent;
        EXPECT_EQ(m_pVirtual->Captured(m_hDestination), sent);
        EXPECT_TRUE(MessageIs(m_recorder.Of(LM_TRANSMIT_COMPLETE).at(0), LM_TRANSMIT_COMPLETE,
                              int32_t(sent.size()), -1, int32_t(c.blocksDueAt.size())));
    }

    // Send all pauses between files.
    m_clock.m_now = FakeTransmitClock::kStart;
    m_clock.m_sleptUntil.clear();
    m_recorder.m_messages.clear();
    m_pVirtual->ClearCaptured(m_hDestination);
    m_pManager->SetTransmitSettings(tagTransmitSettings{0, 3125, kUnpaced});
    const Bytes a = SysEx(300, 1), b = SysEx(20, 2), c = SysEx(5, 3);
    FileList files(m_dir, {a, b, c});
    EXPECT_EQ(m_pManager->TransmitSysExFiles(files, 500), 1);
    DeliverEnd();
    PumpFor(40);

    EXPECT_EQ(m_pVirtual->Captured(m_hDestination), Join({a, b, c}));
    EXPECT_EQ(files.m_nDone, 3u);
    EXPECT_EQ(m_clock.m_sleptUntil,
              (std::vector<microseconds>{microseconds(0), microseconds(0), ms(500), ms(1000)}));
    // Each file is a transmission of its own.
    EXPECT_EQ(m_recorder.Of(LM_TRANSMIT_START).size() * 10 +
                  m_recorder.Of(LM_TRANSMIT_COMPLETE).size(),
              33u);
}
