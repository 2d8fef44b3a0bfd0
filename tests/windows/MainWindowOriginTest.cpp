#include "app/Application.h"
#include "platform/ui/EventTarget.h"
#include "support/TempDir.h"
#include "toolkit/Control.h"
#include "toolkit/Utility.h"
#include "windows/MainWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace
{
constexpr uint32_t kSignature = FourCharCode("QMRK");

struct tagOriginCase
{
    const char* pszName;
    const char* pszMidi; // QUILLMARK_MIDI
    const char* pszHint; // the note's strings-table key
    bool bTransfers;     // Receive and Transmit offered
};

class MainWindowOriginDeathTest : public ::testing::TestWithParam<tagOriginCase>
{
};

// The whole program, in a process of its own (the back end is chosen once a process) that
// sees no sequencer on any machine: the ALSA library reads an empty configuration.
// Exits 0 when the main window shows the note and offers what it can.
[[noreturn]] void RunWithoutASequencer(const tagOriginCase& c, const TempDir& home)
{
    setenv("QUILLMARK_MIDI", c.pszMidi, 1);
    setenv("ALSA_CONFIG_PATH", home.Write("empty.conf", "").c_str(), 1);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(home.Path()));
    CApplication application;
    g_pApplication = &application;
    bool bSeen = false, bRight = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout,
                     [&]
                     {
                         CMainWindow* pMain = application.m_pMainWindow;
                         QWidget* pWindow = pMain ? pMain->GetWindowRef() : nullptr;
                         if (bSeen || !pWindow || !pWindow->isVisible())
                             return;
                         bSeen = true;
                         auto* pNote = qobject_cast<QLabel*>(
                             GetControlByID(pWindow, {kSignature, 9}));
                         auto* pReceive = qobject_cast<QAbstractButton*>(
                             GetControlByID(pWindow, {kSignature, 4}));
                         auto* pTransmit = qobject_cast<QAbstractButton*>(
                             GetControlByID(pWindow, {kSignature, 8}));
                         bRight = pNote && pReceive && pTransmit &&
                                  pNote->text() == QString(GetResourceString(c.pszHint)) &&
                                  pReceive->isEnabled() == c.bTransfers &&
                                  pTransmit->isEnabled() == c.bTransfers;
                         pWindow->close();
                     });
    poll.start(20);
    QTimer::singleShot(10000, [] { QuitApplicationEventLoop(); });
    const int iStatus = application.Run();
    _exit(iStatus == 0 && bSeen && bRight ? 0 : 1);
}
} // namespace

// Without a usable sequencer the main window says why: asked for the sequencer, there is no
// MIDI and nothing to receive or send; left to choose, the virtual instrument stands in.
TEST_P(MainWindowOriginDeathTest, SaysWhyThereIsNoSequencer)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir home;
    EXPECT_EXIT(RunWithoutASequencer(GetParam(), home), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Origins, MainWindowOriginDeathTest,
    ::testing::Values(tagOriginCase{"SequencerAskedFor", "alsa", "MidiNoSequencer", false},
                      tagOriginCase{"LeftToChoose", "", "MidiVirtualForMissing", true}),
    [](const auto& info) { return std::string(info.param.pszName); });
