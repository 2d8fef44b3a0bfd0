#pragma once

#include "app/Application.h"
#include "platform/midi/VirtualMidi.h"
#include "support/DialogDriver.h"
#include "support/EventPump.h"
#include "support/TempDir.h"
#include "transfer/MidiManager.h"
#include "windows/ModalWindow.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Steps run while a window's modal loop runs, as a user would take them: each waits
// until its condition holds, then acts. Conditions are polled from a timer, which also
// fires inside nested loops (dialogs, a transmission waiting for its blocks), and every
// action runs on its own zero timer, so an action that blocks in a loop of its own does
// not hold up the steps after it.
class WindowScript : public QObject
{
public:
    using Condition = std::function<bool()>;
    using Action = std::function<void()>;

    void Then(const std::string& sWhat, const Condition& condition, const Action& action);
    void Then(const std::string& sWhat, const Condition& condition)
    {
        Then(sWhat, condition, [] {});
    }

    // Shows the window modally and returns when its loop has ended. When a step does not
    // come within the time, the test fails naming it and the window is closed.
    void RunModal(CModalWindow& window, int iTimeoutMs = 20000);

    bool Finished() const { return m_nNext == m_steps.size(); }

private:
    struct tagStep
    {
        std::string sWhat;
        Condition condition;
        Action action;
    };
    void Poll();

    std::vector<tagStep> m_steps;
    size_t m_nNext = 0;
    QTimer m_timer;
};

// The application as far as the progress windows need it: g_pApplication with a created
// message manager and MIDI manager on the virtual MIDI back end, reset to no endpoints.
class TransferWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The text the strings table gives the key, formatted as the windows format it.
    static QString Text(const char* pszKey);
    static QString Text(const char* pszKey, int iValue);
    static QString Text(const char* pszKey, int iValue1, int iValue2);

    CApplication* m_pSavedApplication = nullptr;
    CApplication* m_pApp = nullptr;
    CMidiManager* m_pManager = nullptr;
    VirtualMidi* m_pVirtual = nullptr;
    DialogDriver m_driver;
    TempDir m_dir;
    TempDir m_configDir;
};

// The control of a shown window with signature 'QMRK' and the id.
QString ControlText(CModalWindow& window, int iID);
bool ControlEnabled(CModalWindow& window, int iID);
int ProgressValue(CModalWindow& window, int iID);
void ClickButton(CModalWindow& window, int iID);
// The window's close box.
void CloseBox(CModalWindow& window);
bool IsShown(CModalWindow& window);
// Every shown push button of the window has a mnemonic, and no two share one.
void ExpectMnemonics(QWidget* pWindow);
// A dialog or alert is up in front of the windows.
bool DialogUp();

// Picks the file in the file dialog (typed into its name field, as a user would) and
// accepts it. Unchecked, the dialog's own checks of the name are passed by, as if the
// file system had changed between the choice and its use.
void ChooseInFileDialog(QWidget* pDialog, const std::string& sPath, bool bUnchecked = false);

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* pStream);
void PrintTo(const DialogDriver::tagSeen& seen, std::ostream* pStream);
