#include "MidiManagerFixture.h"

#include "file/LumFile.h"
#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace
{
using namespace std::chrono_literals;

class MidiManagerReceive : public MidiManagerFixture
{
protected:
    void SetUp() override
    {
        MidiManagerFixture::SetUp();
        if (HasFatalFailure())
            return;
        OpenPort(true);
    }

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
};

Bytes Message(uint8_t ucId, int nData)
{
    Bytes message{0xF0, 0x41, ucId};
    for (int i = 0; i < nData; ++i)
        message.push_back(uint8_t((ucId + i) & 0x7F));
    message.push_back(0xF7);
    return message;
}
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
TEST_F(MidiManagerReceive, CollectsOneMessagePerArmingRunByRunWithProgress)
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
        EXPECT_EQ(pSender, ManagerAsSender());

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
}

using MidiManagerConcurrency = MidiManagerReceive;

TEST_F(MidiManagerConcurrency, ArmingWhileInputArrives)
{
    std::atomic<bool> bStop{false};
    std::thread feeder(
        [&]
        {
            const Bytes message = Message(0, 64);
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
}

// --- Breaks: a reception or a dump ends at once and says why, keeping nothing damaged ---

TEST_F(MidiManagerReceive, ABreakEndsAnArmedReceptionOrADumpSayingWhy)
{
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
}

// --- Dumps: every complete message until stopped, or until the silence after the last ---

namespace
{
// A dump recording on the virtual back end, with a clock the test moves.
class MidiManagerDump : public MidiManagerReceive
{
protected:
    void SetUp() override
    {
        MidiManagerReceive::SetUp();
        if (!HasFatalFailure())
            m_pManager->SetReceiveClock(&m_clock);
    }

    // Lets the dump's timer see what was injected.
    void LetTimerLook() { PumpFor(3 * CMidiManager::sm_iDumpTickMs); }

    Bytes Dump() { return ReceivedDump(*m_pManager); }

    FakeTransmitClock m_clock;
};
} // namespace

// A Roland-style bank: 100 messages of 138 bytes, split over packets, with real-time
// bytes between and inside them; then one message broken off by a status byte, one by the
// next F0 and one still open at the stop, all left out, as are the bytes outside messages.
TEST_F(MidiManagerDump, KeepsEveryCompleteMessageUntilStoppedOrTakenOver)
{
    std::vector<Bytes> packets;
    Bytes kept;
    for (int i = 0; i < 100; ++i)
    {
        Bytes message = Message(uint8_t(i), 135);
        kept.insert(kept.end(), message.begin(), message.end());
        message.insert(message.begin() + 30, 0xF8);
        packets.emplace_back(message.begin(), message.begin() + 70);
        packets.emplace_back(message.begin() + 70, message.end());
        packets.push_back({0xFE});
    }
    const Bytes broken{0xF0, 0x41, 0x02, 0x05}, last = Message(3, 10);
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
    Inject({Message(9, 3)});
    m_pVirtual->WaitIdle();
    EXPECT_EQ(Dump(), kept);
    EXPECT_EQ(m_pManager->StopReceive(), 0);

    // A one-message arming takes over and the dump is forgotten.
    m_recorder.m_messages.clear();
    ASSERT_EQ(m_pManager->ReceiveSysExDump(1000), 1);
    Inject({Message(1, 4)});
    m_pVirtual->WaitIdle();
    LetTimerLook();
    ASSERT_EQ(m_pManager->ReceiveSysExData(), 1);
    EXPECT_TRUE(Dump().empty());
    m_clock.m_now += 5s;
    Inject({Message(2, 4), Message(3, 4)});
    ASSERT_TRUE(WaitFor(LM_RECEIVE_COMPLETE));
    LetTimerLook();
    EXPECT_FALSE(m_recorder.Has(LM_DUMP_END)) << "an abandoned recording does not end itself";
    EXPECT_EQ(Received(), Message(2, 4));
    EXPECT_EQ(m_pManager->StopReceive(), 0) << "the one message disarmed itself";

    // A request is refused without an output or when it is invalid.
    const Bytes request{0xF0, 0x7D, 0x01, 0xF7};
    EXPECT_EQ(m_pManager->SendSysExRequest(request), 0) << "no MIDI OUT open";
    OpenPort(false);
    EXPECT_EQ(m_pManager->SendSysExRequest({0xF0, 0x7D, 0x80, 0xF7}), 0);
    EXPECT_EQ(m_pManager->SendSysExRequest({}), 0);
    EXPECT_TRUE(m_pVirtual->Captured(m_hDestination).empty());
    EXPECT_EQ(m_pManager->SendSysExRequest(request), 1);
    EXPECT_EQ(m_pVirtual->Captured(m_hDestination), request);
}

// The silence after the last byte ends the recording.
TEST_F(MidiManagerDump, EndsAfterTheSilenceFollowingTheLastByte)
{
    enum Before
    {
        kNothing,
        kBytes,
        kInputWaits, // input has come but waits unread, behind a reader the system keeps back
        kInputRead,
    };
    // Clock steps, each followed by a look of the timer: what comes before the step, and the
    // ms to move on. The recording ends at the last step.
    const std::vector<std::pair<Before, int>> kCases[] = {
        // A slow instrument may take long to start: the silence before it does not count.
        {{kNothing, 5000}, {kBytes, 999}, {kNothing, 1}},
        {{kBytes, 0}, {kBytes, 900}, {kBytes, 900}, {kNothing, 1000}},
        // Input that waits unread is not silence: the dump waits for it.
        {{kBytes, 0}, {kInputWaits, 5000}, {kInputRead, 0}},
    };
    for (const auto& steps : kCases)
    {
        SCOPED_TRACE(&steps - kCases);
        m_recorder.m_messages.clear();
        ASSERT_EQ(m_pManager->ReceiveSysExDump(1000), 1);
        for (size_t i = 0; i < steps.size(); ++i)
        {
            const Before before = steps[i].first;
            if (before == kBytes)
            {
                Inject({Message(uint8_t(i), 4)});
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
}
