#include "MainWindowFixture.h"

#include "app/MessageManager.h"
#include "platform/ui/EventTarget.h"
#include "toolkit/DebugLog.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QLabel>
#include <QSettings>
#include <QTimer>

#include <cstdlib>
#include <unistd.h>

namespace
{
constexpr uint32_t kSignature = FourCharCode("QMRK");

class MainWindowTest : public MainWindowFixture
{
protected:
    // The user picks an item of a pop-up.
    static void Choose(QComboBox* pPopup, int nIndex)
    {
        pPopup->setCurrentIndex(nIndex);
        emit pPopup->activated(nIndex);
    }

    // A setup-change message with this clock reading, as the message manager hands it on.
    void SetupChanged(uint32_t uiClock)
    {
        m_pApp->m_pMainWindow->OnMessageReceived(
            m_pApp->m_pMessageManager, {LM_SETUP_CHANGED, int32_t(uiClock), -1, -1, -1}, nullptr);
    }

    int EnabledControls()
    {
        return MidiIn()->isEnabled() + MidiOut()->isEnabled() + ReceiveButton()->isEnabled() +
               TransmitButton()->isEnabled();
    }

    // Counts the refills of a pop-up: each empties it before filling it again.
    static void CountRefills(QComboBox* pPopup, int& nRefills)
    {
        QObject::connect(pPopup->model(), &QAbstractItemModel::rowsRemoved, pPopup,
                         [pPopup, &nRefills] { nRefills += pPopup->count() == 0; });
    }
};
} // namespace

// Without a device Receive and Transmit do nothing; with a remembered device that is absent
// they show the caution alert and no window. Either way the window is ready again.
TEST_F(MainWindowTest, ButtonsDoNothingWithoutADeviceAndAlertWithAnAbsentOne)
{
    Remember("", "");
    OpenMainWindow();
    EXPECT_EQ(MidiIn()->count() + MidiOut()->count(), 0);
    // No answers: a dialog counts as unexpected, and a modal window would never return.
    ReceiveButton()->click();
    TransmitButton()->click();
    PumpFor(50);
    EXPECT_TRUE(m_driver.Seen().empty());
    EXPECT_EQ(EnabledControls(), 4);
    CloseMainWindow();

    const MIDIEndpointRef hSource = m_pVirtual->AddSource("Synth A", "In");
    Remember("Gone - Port 1", "Gone Too - Port 2");
    OpenMainWindow();
    m_driver.PressButton(QMessageBox::Ok);
    m_driver.PressButton(QMessageBox::Ok);
    ReceiveButton()->click();
    TransmitButton()->click();
    ASSERT_EQ(m_driver.Seen().size(), 2u);
    EXPECT_EQ(m_driver.Seen()[0].text, Text("Open Midi In Failed"));
    EXPECT_EQ(m_driver.Seen()[1].text, Text("Open Midi Out Failed"));
    for (const DialogDriver::tagSeen& alert : m_driver.Seen())
        EXPECT_EQ(alert.icon, QMessageBox::Warning);
    EXPECT_EQ(m_pVirtual->ConnectionCount(hSource), 0);
    EXPECT_EQ(EnabledControls(), 4);
    EXPECT_STREQ(m_pApp->m_szMidiInDevice, "Gone - Port 1");
}

// Receive and Transmit run their windows on the devices opened, the main window's
// controls disabled meanwhile, and close them again; then the Close command quits.
TEST_F(MainWindowTest, ReceiveAndTransmitRunTheirWindowsOnTheOpenedDevicesThenCloseQuits)
{
    const MIDIEndpointRef hSource = m_pVirtual->AddSource("Synth A", "In");
    m_pVirtual->AddDestination("Synth A", "Out");
    m_pVirtual->AddDestination("Synth B", "Out");
    Remember("Synth A - In", "Synth A - Out");
    OpenMainWindow();

    bool bChecked = false;
    QTimer::singleShot(
        100,
        [&]()
        {
            QWidget* pModal = QApplication::activeModalWidget();
            ASSERT_NE(pModal, nullptr);
            EXPECT_EQ(pModal->objectName(), "ReceiveWindow");
            EXPECT_EQ(m_pVirtual->ConnectionCount(hSource), 1);
            EXPECT_EQ(EnabledControls(), 0);
            bChecked = true;
            // The receive window's Cancel button.
            auto* pCancel = qobject_cast<QPushButton*>(GetControlByID(pModal, {kSignature, 5}));
            ASSERT_NE(pCancel, nullptr);
            pCancel->click();
        });
    ReceiveButton()->click(); // returns when the receive window has gone
    EXPECT_TRUE(bChecked);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(m_pVirtual->ConnectionCount(hSource), 0);
    EXPECT_EQ(EnabledControls(), 4);

    // The transmit window first asks for the file; cancelling it ends the window.
    Choose(MidiOut(), 1);
    bChecked = false;
    m_driver.Do(
        [&](QWidget* pDialog)
        {
            EXPECT_EQ(EnabledControls(), 0);
            // Opening by name remembers the device.
            EXPECT_STREQ(m_pApp->m_szMidiOutDevice, "Synth B - Out");
            bChecked = true;
            static_cast<QDialog*>(pDialog)->reject();
        });
    TransmitButton()->click();
    EXPECT_TRUE(bChecked);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(EnabledControls(), 4);

    // The Close command ends the run, and the shut-down that destroys the window remembers
    // the device shown, for the preferences written last.
    Choose(MidiOut(), 0);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QuitApplicationEventLoop(); });
    guard.start(3000);
    OSStatus status = eventNotHandledErr;
    QTimer::singleShot(0,
                       [&]()
                       {
                           OpaqueEventRef event;
                           event.eventClass = kEventClassCommand;
                           event.eventKind = kEventCommandProcess;
                           event.command.commandID = kHICommandClose;
                           status = SendEventToWindow(&event, m_pWindow);
                       });
    RunApplicationEventLoop(); // returns once the command has ended it
    EXPECT_TRUE(guard.isActive()) << "the command did not end the run";
    EXPECT_EQ(status, noErr);
    CloseMainWindow();
    EXPECT_STREQ(m_pApp->m_szMidiOutDevice, "Synth A - Out");
}

// Setup changes close together refill the pop-ups once; a refill keeps the device the
// user picked while it is there, and an absent remembered one is marked and kept.
TEST_F(MainWindowTest, SetupChangesRefillThePopupsOnceAndKeepTheDevicesPicked)
{
    m_pVirtual->AddSource("Synth A", "In");
    m_pVirtual->AddDestination("Synth A", "Out");
    Remember("Synth A - In", "Gone\t- Out");
    OpenMainWindow();
    PumpFor(100); // the messages of adding the devices are delivered
    int nInRefills = 0, nOutRefills = 0;
    CountRefills(MidiIn(), nInRefills);
    CountRefills(MidiOut(), nOutRefills);

    // Within 500 ms of the window's making no refill, nor within 500 ms of the last one.
    const uint32_t uiNow = GetSystemTimeMs(), uiStart = uiNow + 1000;
    for (const auto& [uiClock, nRefills] : std::vector<std::pair<uint32_t, int>>{
             {uiNow, 0}, {uiStart, 1}, {uiStart + 300, 1}, {uiStart + 900, 2}})
    {
        SetupChanged(uiClock);
        EXPECT_EQ(std::pair(nInRefills, nOutRefills), std::pair(nRefills, nRefills)) << uiClock;
    }

    EXPECT_EQ(Items(MidiIn()), QStringList({"Synth A - In"}));
    EXPECT_EQ(MidiOut()->currentText(), "Gone - Out (Not Connected)");
    m_pWindow->close();
    EXPECT_TRUE(m_pWindow->isVisible());
    EXPECT_STREQ(m_pApp->m_szMidiOutDevice, "Gone\t- Out");

    // A device plugged in brings a change for each port: one refill, and the look after
    // the burst finds the menus matching the setup and refills no more.
    m_pVirtual->AddSource("Synth B", "In");
    m_pVirtual->AddDestination("Synth B", "Out");
    ASSERT_TRUE(PumpUntil([&] { return MidiOut()->count() == 3; }));
    PumpFor(800);
    EXPECT_EQ(std::pair(nInRefills, nOutRefills), std::pair(3, 3));
    Choose(MidiIn(), 1);
    Choose(MidiOut(), 0);

    // The picked device goes away: the remembered one is selected again.
    m_pVirtual->RemoveEndpoint(m_pVirtual->GetSource(1));
    ASSERT_TRUE(PumpUntil([&] { return MidiIn()->count() == 1; }));
    EXPECT_EQ(MidiIn()->currentText(), "Synth A - In");
    EXPECT_EQ(Items(MidiOut()),
              QStringList({"Synth A - Out", "Synth B - Out", "Gone - Out (Not Connected)"}));

    // What Receive would open and what closing stores follow the selection.
    m_pWindow->close();
    EXPECT_STREQ(m_pApp->m_szMidiInDevice, "Synth A - In");
    EXPECT_STREQ(m_pApp->m_szMidiOutDevice, "Synth A - Out");
}

TEST_F(MainWindowTest, FilesGivenAtStartOpenInTheTransmitWindowAsOneList)
{
    m_pVirtual->AddDestination("Synth A", "Out");
    Remember("", "Synth A - Out");
    m_pApp->m_asStartFiles = {m_dir.Write("a.syx", std::vector<unsigned char>{0xF0, 0x01, 0xF7}),
                              m_dir.Write("b.syx", std::vector<unsigned char>{0xF0, 0x02, 0xF7})};
    QString fileName;
    QTimer poll;
    QObject::connect(
        &poll, &QTimer::timeout,
        [&]()
        {
            QWidget* pModal = QApplication::activeModalWidget();
            if (!pModal || pModal->objectName() != "TransmitWindow")
                return;
            auto* pName = qobject_cast<QLabel*>(GetControlByID(pModal, {kSignature, 1}));
            if (!pName || !pName->text().contains("a.syx"))
                return;
            fileName = pName->text();
            pModal->close();
        });
    poll.start(20);
    OpenMainWindow();
    EXPECT_TRUE(PumpUntil([&] { return !fileName.isEmpty() && !QApplication::activeModalWidget(); },
                          10000));
    EXPECT_EQ(fileName.toStdString(), "File 1 of 2: a.syx");
    EXPECT_TRUE(m_pApp->m_asStartFiles.empty()) << "the files open once";
}

namespace
{
// The whole program, in a process of its own (the back end is chosen once a process) that
// sees no sequencer on any machine: the ALSA library reads an empty configuration.
// Exits 0 when the main window shows the note and offers Receive and Transmit or not.
[[noreturn]] void RunWithoutASequencer(const char* pszMidi, const char* pszHint, bool bTransfers,
                                       const TempDir& home)
{
    setenv("QUILLMARK_MIDI", pszMidi, 1);
    setenv("ALSA_CONFIG_PATH", home.Write("empty.conf", "").c_str(), 1);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(home.Path()));
    CApplication application;
    g_pApplication = &application;
    int iExit = 1; // until the window is seen
    QTimer poll;
    QObject::connect(
        &poll, &QTimer::timeout,
        [&]
        {
            CMainWindow* pMain = application.m_pMainWindow;
            QWidget* pWindow = pMain ? pMain->GetWindowRef() : nullptr;
            if (iExit != 1 || !pWindow || !pWindow->isVisible())
                return;
            const auto enabled = [pWindow](int iID) {
                return GetControlByID(pWindow, {kSignature, iID})->isEnabled();
            };
            auto* pNote = qobject_cast<QLabel*>(GetControlByID(pWindow, {kSignature, 9}));
            iExit = pNote && pNote->text() == Text(pszHint) && enabled(4) == bTransfers &&
                            enabled(8) == bTransfers
                        ? 0
                        : 2;
            pWindow->close();
        });
    poll.start(20);
    QTimer::singleShot(10000, [] { QuitApplicationEventLoop(); });
    _exit(application.Run() == 0 ? iExit : 1);
}
} // namespace

// Without a usable sequencer the main window says why: asked for the sequencer, there is no
// MIDI and nothing to receive or send; left to choose, the virtual instrument stands in.
TEST(MainWindowOriginDeathTest, SaysWhyThereIsNoSequencer)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunWithoutASequencer("alsa", "MidiNoSequencer", false, TempDir()),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(RunWithoutASequencer("", "MidiVirtualForMissing", true, TempDir()),
                ::testing::ExitedWithCode(0), "");
}
