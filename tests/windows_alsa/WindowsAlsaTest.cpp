// The receive and transmit windows against the kernel's ALSA sequencer, with raw MIDI on
// the other side. Meant to run inside the alsa-vm tool's VM: bytes written to hw:0,N come
// out of the sequencer port "Virtual Raw MIDI 0-N - VirMIDI 0-N", and what is sent to that
// port can be read from hw:0,N.

#include "tests/windows/TransferWindowFixture.h"

#include "app/MessageManager.h"
#include "platform/midi/MidiService.h"
#include "support/SequencerTools.h"
#include "toolkit/Utility.h"
#include "windows/ReceiveWindow.h"
#include "windows/TransmitWindow.h"

#include <QProcess>
#include <QString>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace
{
using SequencerTools::CRawMidiInstrument;

QString HexOf(const Bytes& bytes)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                          qsizetype(bytes.size()))
                                   .toHex()
                                   .toUpper());
}

Bytes SysEx(size_t nLength, uint8_t ucSeed)
{
    Bytes bytes = {0xF0, 0x43, 0x10};
    while (bytes.size() < nLength - 1)
        bytes.push_back(uint8_t((bytes.size() * ucSeed) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

// The application on the real sequencer: no virtual back end, no fixture of the virtual
// tests.
class WindowsOnAlsa : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (access("/dev/snd/seq", R_OK | W_OK) != 0)
            GTEST_SKIP() << "no ALSA sequencer on this machine; these tests run through alsa-vm";
        ASSERT_STREQ(MidiService::Get().Name(), "alsa");
        m_pSavedApplication = g_pApplication;
        m_pApp = new CApplication;
        g_pApplication = m_pApp;
        m_pApp->m_pMessageManager = new CMessageManager;
        ASSERT_EQ(m_pApp->m_pMessageManager->Create(), 1);
        m_pManager = new CMidiManager;
        m_pManager->Attach(m_pApp->m_pMessageManager, m_pApp->m_szMidiInDevice,
                           m_pApp->m_szMidiOutDevice);
        m_pApp->m_pMidiManager = m_pManager;
        ASSERT_EQ(m_pManager->Create(), 1);
    }

    void TearDown() override
    {
        if (!m_pApp)
            return;
        EXPECT_EQ(m_driver.Unexpected(), 0) << "a dialog came that the test did not expect";
        // In the application's order: the MIDI manager first, then the message manager.
        m_pManager->Destroy();
        delete m_pManager;
        m_pApp->m_pMidiManager = nullptr;
        m_pApp->m_pMessageManager->Destroy();
        delete m_pApp->m_pMessageManager;
        m_pApp->m_pMessageManager = nullptr;
        delete m_pApp;
        g_pApplication = m_pSavedApplication;
    }

    static QString Text(const char* pszKey, int iValue)
    {
        char szText[256];
        snprintf(szText, sizeof(szText), GetResourceString(pszKey), iValue);
        return QString::fromUtf8(szText);
    }

    CApplication* m_pSavedApplication = nullptr;
    CApplication* m_pApp = nullptr;
    CMidiManager* m_pManager = nullptr;
    DialogDriver m_driver;
    TempDir m_dir;
};
} // namespace

TEST_F(WindowsOnAlsa, ReceivesADumpThatAmidiSendsAndSavesIt)
{
    ASSERT_EQ(m_pManager->MidiInOpenByName("Virtual Raw MIDI 0-1 - VirMIDI 0-1"), 1);
    // Long enough to come through the sequencer in several pieces.
    const Bytes dump = SysEx(700, 7);
    const std::string sSaved = m_dir.File("dump.syx");
    m_driver.ChooseFile(QString::fromStdString(sSaved));

    CReceiveWindow window;
    ASSERT_EQ(window.Create(nullptr), 1);
    QProcess amidi;
    amidi.setProcessChannelMode(QProcess::MergedChannels);
    WindowScript script;
    script.Then(
        "shown", [&] { return IsShown(window); },
        [&] { amidi.start("amidi", {"-p", "hw:0,1", "-S", HexOf(dump) + "903C40"}); });
    script.Then("amidi done", [&] { return amidi.state() == QProcess::NotRunning; });
    script.Then(
        "the dump complete",
        [&] { return ControlText(window, 2) == Text("StatusReceiveComplete", int(dump.size())); },
        [&] { ClickButton(window, 6); });
    script.Then(
        "saved", [&] { return TempDir::Read(sSaved).size() == dump.size(); },
        [&] { ClickButton(window, 5); });
    script.RunModal(window, 60000);
    window.Destroy();
    m_pManager->MidiInClose();

    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(amidi.exitCode(), 0) << amidi.readAll().toStdString();
    EXPECT_EQ(TempDir::Read(sSaved), dump);
}

TEST_F(WindowsOnAlsa, SendsAListThatRawMidiReceives)
{
    ASSERT_EQ(m_pManager->MidiOutOpenByName("Virtual Raw MIDI 0-2 - VirMIDI 0-2"), 1);
    const Bytes first = SysEx(600, 3), second = SysEx(300, 5);
    m_dir.Write("a.syx", first);
    m_dir.Write("b.syx", second);
    m_driver.ChooseFile(
        QString::fromStdString(m_dir.Write("bank.msy", "[MultiSysEx]\n1=a.syx\n2=b.syx\n")));

    CRawMidiInstrument rawMidi("/dev/snd/midiC0D2");
    ASSERT_TRUE(rawMidi.IsOpen()) << "no raw MIDI hw:0,2";

    CTransmitWindow window;
    ASSERT_EQ(window.Create(nullptr), 1);
    WindowScript script;
    script.Then(
        "ready",
        [&]
        {
            return ControlText(window, 3) == Text("StatusTransmitReady", int(first.size())) &&
                   ControlText(window, 7) == GetResourceString("ButtonStart");
        },
        [&] { ClickButton(window, 7); });
    script.Then(
        "the first file sent",
        [&] { return ControlText(window, 7) == GetResourceString("ButtonNext"); },
        [&] { ClickButton(window, 7); });
    script.Then(
        "the second file sent",
        [&]
        {
            return ControlText(window, 7) == GetResourceString("ButtonClose") &&
                   ControlText(window, 3) == Text("StatusTransmitComplete", int(second.size()));
        },
        [&] { ClickButton(window, 7); });
    script.RunModal(window, 60000);
    window.Destroy();
    m_pManager->MidiOutClose();
    EXPECT_TRUE(script.Finished());

    Bytes both = first;
    both.insert(both.end(), second.begin(), second.end());
    SequencerTools::PumpUntil([&] { return rawMidi.Heard().size() >= both.size(); }, 30000);
    EXPECT_EQ(rawMidi.Heard(), both);
}
