// The main window. Its device menus' hot-plug tests (MainWindowHotPlug) also run in the
// alsa-vm VM on the kernel's sequencer, where the plugged device is aseqdump.
#include "WindowFixture.h"

#include "app/MessageManager.h"
#include "platform/ui/EventTarget.h"
#include "toolkit/Control.h"
#include "toolkit/DebugLog.h"
#include "windows/MainWindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <QTimer>

#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>

namespace
{
constexpr uint32_t kSignature = FourCharCode("QMRK");

// The main window as the application opens it at start, and a MIDI Out device that is
// plugged in and out: a virtual destination, or on the kernel's sequencer aseqdump.
class MainWindowTest : public WindowFixture
{
protected:
    void TearDown() override
    {
        UnplugAll();
        WindowFixture::TearDown();
    }

    QWidget* OpenMainWindow()
    {
        m_pApp->m_pMainWindow = new CMainWindow;
        EXPECT_EQ(m_pApp->m_pMainWindow->Create(nullptr), 1);
        m_pApp->m_pMainWindow->Show();
        m_pWindow = m_pApp->m_pMainWindow->GetWindowRef();
        return m_pWindow;
    }
    void CloseMainWindow()
    {
        m_pApp->m_pMainWindow->Destroy();
        m_pApp->m_pMainWindow = nullptr;
    }

    template <class T> T* ControlOf(int iID)
    {
        return qobject_cast<T*>(GetControlByID(m_pWindow, {kSignature, iID}));
    }
    QComboBox* MidiIn() { return ControlOf<QComboBox>(3); }
    QComboBox* MidiOut() { return ControlOf<QComboBox>(7); }
    QPushButton* ReceiveButton() { return ControlOf<QPushButton>(4); }
    QPushButton* TransmitButton() { return ControlOf<QPushButton>(8); }
    int EnabledControls()
    {
        return MidiIn()->isEnabled() + MidiOut()->isEnabled() + ReceiveButton()->isEnabled() +
               TransmitButton()->isEnabled();
    }
    // The user picks an item of a pop-up.
    static void Choose(QComboBox* pPopup, int nIndex)
    {
        pPopup->setCurrentIndex(nIndex);
        emit pPopup->activated(nIndex);
    }
    static QStringList Items(QComboBox* pPopup)
    {
        QStringList items;
        for (int i = 0; i < pPopup->count(); ++i)
            items << pPopup->itemText(i);
        return items;
    }

    QString PluggedName() const
    {
        return m_pVirtual ? QStringLiteral("Synth Co - Out")
                          : QStringLiteral("aseqdump - aseqdump");
    }
    void PlugIn()
    {
        if (m_pVirtual)
            return m_plugged.push_back(m_pVirtual->AddDestination("Synth Co", "Out"));
        auto pDumper = std::make_unique<QProcess>();
        pDumper->start(QStringLiteral("aseqdump"), {});
        ASSERT_TRUE(pDumper->waitForStarted(3000)) << "aseqdump (alsa-utils) is needed";
        m_dumpers.push_back(std::move(pDumper));
    }
    void UnplugAll()
    {
        for (MIDIEndpointRef hPlugged : m_plugged)
            m_pVirtual->RemoveEndpoint(hPlugged);
        m_plugged.clear();
        m_dumpers.clear(); // ends aseqdump: its client goes away
    }
    int PluggedListed() { return int(Items(MidiOut()).count(PluggedName())); }

    QWidget* m_pWindow = nullptr;
    std::vector<MIDIEndpointRef> m_plugged;
    std::vector<std::unique_ptr<QProcess>> m_dumpers;
};
using MainWindowHotPlug = MainWindowTest;
} // namespace

// Without a device Receive and Transmit do nothing; with a remembered device that is absent
// they show the caution alert and no window. Either way the window is ready again.
TEST_F(MainWindowTest, ButtonsNeedTheirDevicesStartFilesOpenAndTheWindowsRunThenCloseQuits)
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
    CloseMainWindow();

    // Files given at start open in the transmit window as one list. Receive and Transmit run
    // their windows on the devices opened, the main window's controls disabled meanwhile, and
    // close them again; then the Close command quits.
    m_pVirtual->AddDestination("Synth A", "Out");
    m_pVirtual->AddDestination("Synth B", "Out");
    Remember("Synth A - In", "Synth A - Out");
    m_pApp->m_asStartFiles = {m_dir.Write("a.syx", std::vector<unsigned char>{0xF0, 0x01, 0xF7}),
                              m_dir.Write("b.syx", std::vector<unsigned char>{0xF0, 0x02, 0xF7})};
    QString fileName;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout,
                     [&]()
                     {
                         QWidget* pModal = QApplication::activeModalWidget();
                         if (!pModal || pModal->objectName() != "TransmitWindow")
                             return;
                         auto* pName = qobject_cast<QLabel*>(
                             GetControlByID(pModal, {kSignature, kTransmitFileName}));
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

    bool bChecked = false;
    QTimer::singleShot(100,
                       [&]()
                       {
                           QWidget* pModal = QApplication::activeModalWidget();
                           ASSERT_NE(pModal, nullptr);
                           EXPECT_EQ(pModal->objectName(), "ReceiveWindow");
                           EXPECT_EQ(m_pVirtual->ConnectionCount(hSource), 1);
                           EXPECT_EQ(EnabledControls(), 0);
                           bChecked = true;
                           auto* pCancel = qobject_cast<QPushButton*>(
                               GetControlByID(pModal, {kSignature, kReceiveClose}));
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
    // Each refill empties a pop-up before filling it again.
    int nInRefills = 0, nOutRefills = 0;
    for (auto [pPopup, pnRefills] :
         {std::pair(MidiIn(), &nInRefills), std::pair(MidiOut(), &nOutRefills)})
        QObject::connect(pPopup->model(), &QAbstractItemModel::rowsRemoved, pPopup,
                         [pPopup, pnRefills] { *pnRefills += pPopup->count() == 0; });

    // Within 500 ms of the window's making no refill, nor within 500 ms of the last one.
    const uint32_t uiNow = GetSystemTimeMs(), uiStart = uiNow + 1000;
    for (const auto& [uiClock, nRefills] : std::vector<std::pair<uint32_t, int>>{
             {uiNow, 0}, {uiStart, 1}, {uiStart + 300, 1}, {uiStart + 900, 2}})
    {
        // As the message manager hands it on.
        m_pApp->m_pMainWindow->OnMessageReceived(
            m_pApp->m_pMessageManager, {LM_SETUP_CHANGED, int32_t(uiClock), -1, -1, -1}, nullptr);
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

// The device menus follow devices as they are plugged in and out, also devices that
// arrive late in a burst: a remembered one plugged in is selected and no longer marked.
TEST_F(MainWindowHotPlug, DevicesArrivingLateInABurstAreListedTheRememberedOneSelected)
{
    const QByteArray remembered = PluggedName().toUtf8();
    Remember("", remembered.constData());
    ASSERT_NE(OpenMainWindow(), nullptr);
    PumpFor(600); // past the window's first half second
    const QString marked = PluggedName() + " (Not Connected)";
    EXPECT_EQ(MidiOut()->currentText(), marked);
    // Three changes 150 ms apart: the refill at the first one cannot see the others.
    for (int i = 0; i < 3; ++i)
    {
        PlugIn();
        PumpFor(150);
    }
    EXPECT_TRUE(PumpUntil([&] { return PluggedListed() == 3; }));
    EXPECT_EQ(MidiOut()->currentText(), PluggedName());
    EXPECT_EQ(MidiOut()->findText(marked), -1);

    // So is a device that comes right after the window was made.
    CloseMainWindow();
    OpenMainWindow();
    PlugIn();
    EXPECT_TRUE(PumpUntil([&] { return PluggedListed() == 4; }));
    // Unplugged, they are dropped.
    UnplugAll();
    EXPECT_TRUE(PumpUntil([&] { return PluggedListed() == 0; }));
}

namespace
{
// In a process of its own (the back end is chosen once a process) that sees no sequencer on
// any machine: the ALSA library reads an empty configuration. Exits 0 when the main window
// the application opens shows the note and offers Receive and Transmit or not.
[[noreturn]] void OpenWithoutASequencer(const char* pszMidi, const char* pszHint, bool bTransfers,
                                        const TempDir& home)
{
    setenv("QUILLMARK_MIDI", pszMidi, 1);
    setenv("ALSA_CONFIG_PATH", home.Write("empty.conf", "").c_str(), 1);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(home.Path()));
    CApplication application;
    g_pApplication = &application;
    CMainWindow window;
    if (!application.OnInitialize() || !window.Create(nullptr))
        _exit(1);
    const auto enabled = [&](int iID) {
        return GetControlByID(window.GetWindowRef(), {kSignature, iID})->isEnabled();
    };
    auto* pNote = qobject_cast<QLabel*>(GetControlByID(window.GetWindowRef(), {kSignature, 9}));
    _exit(pNote && pNote->text() == Text(pszHint) && enabled(4) == bTransfers &&
                  enabled(8) == bTransfers
              ? 0
              : 2);
}
} // namespace

// Without a usable sequencer the main window says why: asked for the sequencer, there is no
// MIDI and nothing to receive or send; left to choose, the virtual instrument stands in.
TEST(MainWindowOriginDeathTest, SaysWhyThereIsNoSequencer)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(OpenWithoutASequencer("alsa", "MidiNoSequencer", false, TempDir()),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(OpenWithoutASequencer("", "MidiVirtualForMissing", true, TempDir()),
                ::testing::ExitedWithCode(0), "");
}
