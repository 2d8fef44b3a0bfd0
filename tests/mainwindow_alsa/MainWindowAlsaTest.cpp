// The main window on the kernel's ALSA sequencer. aseqdump, started and stopped here,
// is a sequencer client with one port that can be written to: a MIDI Out device that
// comes and goes as an instrument would when it is plugged in and out.

#include "app/Application.h"
#include "app/MessageManager.h"
#include "platform/midi/MidiService.h"
#include "toolkit/Control.h"
#include "transfer/MidiManager.h"
#include "windows/MainWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace
{
const QString kDumper = QStringLiteral("aseqdump - aseqdump");

class MainWindowOnAlsa : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (access("/dev/snd/seq", R_OK | W_OK) != 0)
            GTEST_SKIP() << "no ALSA sequencer on this machine; these tests run through alsa-vm";
        ASSERT_STREQ(MidiService::Get().Name(), "alsa");
        m_pApp = new CApplication;
        g_pApplication = m_pApp;
        m_pApp->m_pMessageManager = new CMessageManager;
        ASSERT_EQ(m_pApp->m_pMessageManager->Create(), 1);
        m_pApp->m_pMidiManager = new CMidiManager;
        m_pApp->m_pMidiManager->Attach(m_pApp->m_pMessageManager, m_pApp->m_szMidiInDevice,
                                       m_pApp->m_szMidiOutDevice);
        ASSERT_EQ(m_pApp->m_pMidiManager->Create(), 1);
    }

    void TearDown() override
    {
        m_dumpers.clear();
        if (!m_pApp)
            return;
        if (m_pApp->m_pMainWindow)
            m_pApp->m_pMainWindow->Destroy();
        m_pApp->m_pMainWindow = nullptr;
        m_pApp->m_pMidiManager->Destroy();
        delete m_pApp->m_pMidiManager;
        m_pApp->m_pMidiManager = nullptr;
        m_pApp->m_pMessageManager->Destroy();
        delete m_pApp->m_pMessageManager;
        m_pApp->m_pMessageManager = nullptr;
        delete m_pApp;
        g_pApplication = nullptr;
    }

    QComboBox* OpenMainWindow(const char* pszRememberedOut)
    {
        snprintf(m_pApp->m_szMidiOutDevice, 256, "%s", pszRememberedOut);
        m_pApp->m_pMainWindow = new CMainWindow;
        EXPECT_EQ(m_pApp->m_pMainWindow->Create(nullptr), 1);
        m_pApp->m_pMainWindow->Show();
        PumpFor(600); // past the window's first half second
        return qobject_cast<QComboBox*>(
            GetControlByID(m_pApp->m_pMainWindow->GetWindowRef(), {FourCharCode("QMRK"), 7}));
    }

    void StartDumper()
    {
        auto pProcess = std::make_unique<QProcess>();
        pProcess->start(QStringLiteral("aseqdump"), {});
        ASSERT_TRUE(pProcess->waitForStarted(3000)) << "aseqdump (alsa-utils) is needed";
        m_dumpers.push_back(std::move(pProcess));
    }

    static int Count(QComboBox* pPopup, const QString& text)
    {
        int nCount = 0;
        for (int i = 0; i < pPopup->count(); ++i)
            nCount += pPopup->itemText(i) == text;
        return nCount;
    }

    static bool PumpUntil(const std::function<bool()>& condition, int iTimeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!condition())
        {
            if (timer.elapsed() > iTimeoutMs)
                return condition();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(2);
        }
        return true;
    }
    static void PumpFor(int iMs)
    {
        PumpUntil([] { return false; }, iMs);
    }

    CApplication* m_pApp = nullptr;
    std::vector<std::unique_ptr<QProcess>> m_dumpers;
};
} // namespace

TEST_F(MainWindowOnAlsa, ADeviceThatComesAndGoesIsListedAndDropped)
{
    QComboBox* pOut = OpenMainWindow("");
    ASSERT_NE(pOut, nullptr);
    EXPECT_EQ(Count(pOut, kDumper), 0);

    StartDumper();
    EXPECT_TRUE(PumpUntil([&] { return Count(pOut, kDumper) == 1; }));

    m_dumpers.clear(); // ends aseqdump: its client goes away
    EXPECT_TRUE(PumpUntil([&] { return Count(pOut, kDumper) == 0; }));
}

TEST_F(MainWindowOnAlsa, ARememberedDeviceThatIsPluggedInIsSelected)
{
    QComboBox* pOut = OpenMainWindow("aseqdump - aseqdump");
    ASSERT_NE(pOut, nullptr);
    EXPECT_EQ(pOut->currentText(), "aseqdump - aseqdump (Not Connected)");

    StartDumper();
    ASSERT_TRUE(PumpUntil([&] { return Count(pOut, kDumper) == 1; }));
    EXPECT_EQ(pOut->currentText(), kDumper);
    EXPECT_EQ(pOut->findText(QStringLiteral("aseqdump - aseqdump (Not Connected)")), -1);
}

TEST_F(MainWindowOnAlsa, DevicesPluggedInOneAfterTheOtherAreAllListed)
{
    QComboBox* pOut = OpenMainWindow("");
    ASSERT_NE(pOut, nullptr);
    for (int i = 0; i < 3; ++i)
    {
        StartDumper();
        PumpFor(150);
    }
    EXPECT_TRUE(PumpUntil([&] { return Count(pOut, kDumper) == 3; }));
}
