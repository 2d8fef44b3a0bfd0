#pragma once

#include "app/Application.h"
#include "platform/midi/VirtualMidi.h"
#include "support/DialogDriver.h"
#include "support/EventPump.h"
#include "support/MidiFileBuilder.h"
#include "support/TempDir.h"
#include "toolkit/Utility.h"
#include "transfer/MidiManager.h"
#include "windows/ModalWindow.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Steps a user takes in a window's modal loop: each waits for its condition (polled by a timer,
// also in nested loops), then acts on a zero timer of its own, so that a blocking action does not
// hold up the steps after it.
class WindowScript : public QObject
{
public:
    using Condition = std::function<bool()>;
    using Action = std::function<void()>;

    void Then(const std::string& sWhat, const Condition& condition, const Action& action = {})
    {
        m_steps.push_back({sWhat, condition, action});
    }
    // Shows the window modally and returns when its loop has ended. When a step does not
    // come within the time, the window is closed; a step not reached fails the test.
    void RunModal(CModalWindow& window, int iTimeoutMs = 20000);

private:
    std::vector<std::tuple<std::string, Condition, Action>> m_steps; // what, when, then
    size_t m_nNext = 0;
    QTimer m_timer;
};

// g_pApplication with its managers created, on the virtual back end reset to no endpoints, on
// ALSA skipped without a sequencer. Every dialog that comes must be one the test expected.
class WindowFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Whether the SetUp of this class let the test go on.
    bool SetUpPassed() { return !HasFatalFailure() && !IsSkipped(); }
    void Remember(const char* pszIn, const char* pszOut);

    CApplication* m_pSavedApplication = nullptr;
    CApplication* m_pApp = nullptr;
    CMidiManager* m_pManager = nullptr;
    VirtualMidi* m_pVirtual = nullptr; // null on the ALSA sequencer
    DialogDriver m_driver;
    TempDir m_dir;
    TempDir m_configDir;
};

// The text the strings table gives the key, formatted with the values as the windows do.
template <class... Values> QString Text(const char* pszKey, Values... values)
{
    if constexpr (sizeof...(values) == 0)
        return QString::fromUtf8(GetResourceString(pszKey));
    else
    {
        char szText[1024];
        snprintf(szText, sizeof(szText), GetResourceString(pszKey), values...);
        return QString::fromUtf8(szText);
    }
}

// The ids of the receive and transmit windows' controls that the shared steps use.
constexpr int kReceiveStatus = 2, kReceiveClose = 5, kReceiveSave = 6;
constexpr int kTransmitFileName = 1, kTransmitStatus = 3, kTransmitProgress = 6,
              kTransmitAction = 7;

// The control of a shown window with signature 'QMRK' and the id.
QWidget* Control(CModalWindow& window, int iID);
QString ControlText(CModalWindow& window, int iID);
bool ControlEnabled(CModalWindow& window, int iID);
void ClickButton(CModalWindow& window, int iID);
bool IsShown(CModalWindow& window);
// Every shown push button of the window has a mnemonic, and no two share one.
void ExpectMnemonics(QWidget* pWindow);
// A dialog or alert is up in front of the windows.
bool DialogUp();

// The receive window's steps once its dump is complete: Save, into the file the save
// dialog is answered with, then Close once the window says it saved.
void SaveThenClose(WindowScript& script, CModalWindow& window);

// The transmit window showing the named file of the size: ready to start without a
// button key, or sent, its action button reading the key's text.
WindowScript::Condition TransmitShows(CModalWindow& window, const QString& sName, int nSize,
                                      const char* pszSentButton = nullptr);
// The transmit window ready, then each file sent in turn, the action button pressed at
// each: a single file, or a list stepped through with Next to its Close.
void StepThrough(WindowScript& script, CModalWindow& window,
                 const std::vector<std::pair<QString, int>>& files);

// The message window while it is up, or null; rows of its table selected; its button of
// that object name pressed.
QWidget* MessageWindowUp();
void SelectRows(QWidget* pWindow, std::initializer_list<int> rows);
void ClickNamed(QWidget* pWindow, const char* pszButton);

using MidiFileBuilder::Join;
using MidiFileBuilder::SysEx;

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* pStream);
