#pragma once

#include "support/EventPump.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// What the tests that run next to the kernel's ALSA sequencer (inside the alsa-vm VM)
// share: streams to send with amidi, aseqdump's output read back, waits for the tools and
// the sequencer to be ready, and an instrument on raw MIDI.
namespace SequencerTools
{
using Bytes = std::vector<uint8_t>;

using ::PumpUntil;
QString ReadText(const QString& sPath);

// Messages of the lengths in turn, each of its own content.
Bytes MessageStream(int nMessages, const std::vector<size_t>& lengths);

// An amidi stream of Roland-style messages with Active Sensing between every few of them
// and inside some, and what is recorded of it: the same without the real-time bytes.
struct tagRealTimeStream
{
    Bytes sent;
    Bytes expected;
};
tagRealTimeStream RealTimeStream(size_t nMessages, size_t nLength);

// The SysEx events aseqdump printed, one byte string each; all of them back to back.
std::vector<Bytes> SysExEvents(const QString& sDump);
Bytes Joined(const std::vector<Bytes>& events);

// The arguments that run amidi with its own on one CPU: "taskset" with these. The kernel's
// raw MIDI write makes room in the device's 4 KiB ring before it copies the bytes in, with
// the lock let go; a virtual raw MIDI device's sender on another CPU can pass on that room
// before it is filled, so a fast amidi -s sends stale bytes from one ring earlier. On one
// CPU the copy and the sending do not overlap.
QStringList PinnedAmidi(const QStringList& args);

// Starts a tool with stdout into the file (stderr beside it, ".err"); whether it started.
bool StartTool(QProcess& tool, const QString& sProgram, const QStringList& args,
               const QString& sOutput);
// Whether `aconnect -l` shows the client, named as the sequencer knows it, subscribed to
// the port ("Connected From: 14:0") or sending to it ("Connecting To: 17:0").
bool HasConnection(const QString& sClient, const QString& sConnection);

// An instrument on raw MIDI: keeps what the sequencer sends it and, given a request,
// answers it with its dump, once. The kernel passes nothing to a raw MIDI reader before
// its first read or poll, so the constructor reads once: all that is sent after it is
// heard.
class CRawMidiInstrument
{
public:
    explicit CRawMidiInstrument(const char* pszDevice, Bytes request = {}, Bytes dump = {});
    ~CRawMidiInstrument();
    CRawMidiInstrument(const CRawMidiInstrument&) = delete;
    CRawMidiInstrument& operator=(const CRawMidiInstrument&) = delete;

    bool IsOpen() const { return m_iFd >= 0; }
    bool Answered() const { return m_bAnswered; }
    Bytes Heard() const;

private:
    void Serve();
    void ReadAvailable();

    Bytes m_request;
    Bytes m_dump;
    int m_iFd = -1;
    mutable std::mutex m_mutex;
    Bytes m_heard;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bAnswered{false};
    std::thread m_thread;
};
} // namespace SequencerTools
