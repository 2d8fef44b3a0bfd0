// The receive and transmit windows against the kernel's ALSA sequencer, with amidi on the
// other side. Meant to run inside the alsa-vm tool's VM: bytes written to hw:0,N with
// amidi come out of the sequencer port "Virtual Raw MIDI 0-N - VirMIDI 0-N", and what is
// sent to that port can be read from hw:0,N.

#include "tests/windows/TransferWindowFixture.h"

#include "app/MessageManager.h"
#include "platform/midi/MidiService.h"
#include "toolkit/Utility.h"
#include "windows/ReceiveWindow.h"
#include "windows/TransmitWindow.h"

#include <QElapsedTimer>
#include <QString>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
// amidi run in the background, its output in a file.
class CAmidi
{
public:
    CAmidi(const std::vector<std::string>& args, const std::string& sOutputPath)
    {
        std::vector<std::string> all = {"amidi"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& sArg : all)
            argv.push_back(sArg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, sOutputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CAmidi()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

    bool Started() const { return m_pid > 0; }

    // Whether amidi has ended by itself; its exit status in *piStatus.
    bool Ended(int* piStatus)
    {
        int iStatus = 0;
        if (m_pid <= 0 || waitpid(m_pid, &iStatus, WNOHANG) != m_pid)
            return m_pid <= 0;
        m_pid = -1;
        *piStatus = WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
        return true;
    }

private:
    pid_t m_pid = -1;
};

std::string ReadText(const std::string& sPath)
{
    std::ifstream in(sPath);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string HexOf(const Bytes& bytes)
{
    std::string sHex;
    char szByte[4];
    for (uint8_t ucByte : bytes)
    {
        snprintf(szByte, sizeof(szByte), "%02X", ucByte);
        sHex += szByte;
    }
    return sHex;
}

std::string WithoutSpaces(std::string sText)
{
    std::erase_if(sText, [](char c) { return isspace(static_cast<unsigned char>(c)); });
    return sText;
}

Bytes SysEx(size_t nLength, uint8_t ucSeed)
{
    Bytes bytes = {0xF0, 0x43, 0x10};
    while (bytes.size() < nLength - 1)
        bytes.push_back(uint8_t((bytes.size() * ucSeed) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

// A condition that holds once the time has passed since it was first asked.
WindowScript::Condition After(int iMs)
{
    return [iMs, timer = QElapsedTimer()]() mutable
    {
        if (!timer.isValid())
            timer.start();
        return timer.elapsed() >= iMs;
    };
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
    std::unique_ptr<CAmidi> pAmidi;
    int iStatus = -1;
    WindowScript script;
    script.Then(
        "shown", [&] { return IsShown(window); },
        [&]
        {
            pAmidi = std::make_unique<CAmidi>(
                std::vector<std::string>{"-p", "hw:0,1", "-S", HexOf(dump) + "903C40"},
                m_dir.File("amidi.txt"));
            EXPECT_TRUE(pAmidi->Started());
        });
    script.Then("amidi done", [&] { return pAmidi && pAmidi->Ended(&iStatus); });
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
    EXPECT_EQ(iStatus, 0) << ReadText(m_dir.File("amidi.txt"));
    EXPECT_EQ(TempDir::Read(sSaved), dump);
}

TEST_F(WindowsOnAlsa, SendsAListThatAmidiReceives)
{
    ASSERT_EQ(m_pManager->MidiOutOpenByName("Virtual Raw MIDI 0-2 - VirMIDI 0-2"), 1);
    const Bytes first = SysEx(600, 3), second = SysEx(300, 5);
    m_dir.Write("a.syx", first);
    m_dir.Write("b.syx", second);
    m_driver.ChooseFile(
        QString::fromStdString(m_dir.Write("bank.msy", "[MultiSysEx]\n1=a.syx\n2=b.syx\n")));

    const std::string sDump = m_dir.File("amidi.txt");
    // amidi's -t counts from its own start until a first byte comes: generous, for a slow
    // (sanitizer) build whose window starts late.
    CAmidi amidi({"-p", "hw:0,2", "-d", "-t", "10"}, sDump);
    ASSERT_TRUE(amidi.Started());

    CTransmitWindow window;
    ASSERT_EQ(window.Create(nullptr), 1);
    int iStatus = -1;
    WindowScript script;
    // amidi needs a moment to open its port.
    script.Then(
        "ready, with amidi listening",
        [&, waited = After(1500)]() mutable
        { return waited() && ControlText(window, 7) == GetResourceString("ButtonStart"); },
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

    // amidi stops ten seconds after the last byte.
    QElapsedTimer waited;
    waited.start();
    while (!amidi.Ended(&iStatus) && waited.elapsed() < 40000)
        usleep(50000);
    EXPECT_EQ(iStatus, 0);
    EXPECT_EQ(WithoutSpaces(ReadText(sDump)), HexOf(first) + HexOf(second));
}
