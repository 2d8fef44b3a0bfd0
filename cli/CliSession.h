#pragma once

#include "app/MessageManager.h"
#include "transfer/EventLoopClock.h"
#include "transfer/MidiManager.h"

#include <functional>
#include <string>

// What a sub-command that moves MIDI data stands on: the message manager and the MIDI
// manager as the windows have them, attached to no remembered device (the command line
// never changes them); the devices chosen by DEVICE; Ctrl+C; and the terminal, where a
// progress line on stderr updates in place. Off a terminal no progress is shown.
//
// Main thread only. Needs a QCoreApplication.
class CCliSession : public CMessageManagerListener
{
public:
    explicit CCliSession(const char* pszCommand);
    ~CCliSession();

    CCliSession(const CCliSession&) = delete;
    CCliSession& operator=(const CCliSession&) = delete;

    // 1 ready; 0 failed (told).
    int Start();

    // Opens the device named by DEVICE: its display name exactly, or an ALSA address
    // "client:port"; an empty DEVICE is the remembered device. 1 opened; 0 not found or
    // not opened (told).
    int OpenInput(const std::string& sDevice);
    int OpenOutput(const std::string& sDevice);
    const std::string& InputName() const { return m_sInputName; }
    const std::string& OutputName() const { return m_sOutputName; }

    // One line on stderr: "quillmark COMMAND: WHAT: WHY" (no WHAT when empty).
    void Fail(const std::string& sWhat, const std::string& sWhy);
    // The same for a usage error, with a hint at the command's --help.
    void FailUsage(const std::string& sWhat, const std::string& sWhy);
    // The progress line, on a terminal only; Summary clears it and prints on stdout.
    void Progress(const std::string& sLine);
    void Summary(const std::string& sLine);
    // The same on stderr, for a summary that stdout must not carry.
    void Note(const std::string& sLine);

    // Serves events until bDone() or the limit; returns bDone(). An interruption ends
    // the wait early.
    bool WaitFor(const std::function<bool()>& bDone, std::chrono::milliseconds limit);

    // 0, or the signal that interrupted the session.
    int InterruptSignal() const { return m_iInterruptSignal; }

    CMidiManager& Midi() { return m_midiManager; }
    // Called for each message the MIDI manager posts.
    std::function<void(const tagListenerMessage&)> m_onMessage;

    void OnMessageReceived(CMessageManager* pManager, tagListenerMessage message,
                           CMessageManagerListener* pSender) override;

    // Ctrl+C: a transmission stops after its current block and every wait ends.
    static void Interrupt(CCliSession& session, int iSignal);

private:
    // The display name DEVICE stands for among the devices; empty when none.
    static std::string FindDevice(const std::string& sDevice, bool bInput);
    int Open(const std::string& sDevice, bool bInput);

    std::string m_sCommand;
    CMessageManager m_messageManager;
    CMidiManager m_midiManager;
    CEventLoopClock m_clock;
    std::string m_sInputName;
    std::string m_sOutputName;
    bool m_bStarted;
    bool m_bTerminal;
    size_t m_nProgressWidth;
    int m_iInterruptSignal;
};
