#pragma once

#include "support/EventPump.h"
#include "support/MidiFileBuilder.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

// What the tests next to the kernel's ALSA sequencer (inside the alsa-vm VM) share. There
// Midi Through is 14:0, and bytes written to raw MIDI hw:0,N come out of the sequencer port
// 16+N:0 "Virtual Raw MIDI 0-N - VirMIDI 0-N", and what is sent to that port out of hw:0,N.
namespace SequencerTools
{
using Bytes = std::vector<uint8_t>;
using ::PumpUntil;
using MidiFileBuilder::Join;

inline QString ReadText(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

// Messages of the lengths in turn, each of its own content.
inline Bytes MessageStream(int nMessages, const std::vector<size_t>& lengths)
{
    Bytes stream;
    for (int i = 0; i < nMessages; ++i)
    {
        const size_t nLength = lengths[size_t(i) % lengths.size()];
        stream.insert(stream.end(), {0xF0, 0x7D});
        for (size_t k = 2; k + 1 < nLength; ++k)
            stream.push_back(uint8_t((k * 7 + size_t(i)) & 0x7F));
        stream.push_back(0xF7);
    }
    return stream;
}

// An amidi stream of Roland-style messages with Active Sensing between every few of them
// and inside some, and what is recorded of it: the same without the real-time bytes.
struct tagRealTimeStream
{
    Bytes sent;
    Bytes expected;
};
inline tagRealTimeStream RealTimeStream(size_t nMessages, size_t nLength)
{
    tagRealTimeStream stream;
    for (size_t i = 0; i < nMessages; ++i)
    {
        Bytes message{0xF0, 0x41, 0x10, 0x42, 0x12};
        while (message.size() < nLength - 1)
            message.push_back(uint8_t((message.size() * 7 + i) & 0x7F));
        message.push_back(0xF7);
        stream.expected.insert(stream.expected.end(), message.begin(), message.end());
        if (i % 5 == 0)
            message.insert(message.begin() + long(nLength / 2), 0xFE);
        stream.sent.insert(stream.sent.end(), message.begin(), message.end());
        if (i % 3 == 0)
            stream.sent.push_back(0xFE);
    }
    return stream;
}

// The SysEx events aseqdump printed, one byte string each; all of them back to back.
inline std::vector<Bytes> SysExEvents(const QString& sDump)
{
    std::vector<Bytes> events;
    for (const QString& sLine : sDump.split('\n'))
    {
        const qsizetype nAt = sLine.indexOf("System exclusive");
        if (nAt < 0)
            continue;
        Bytes& event = events.emplace_back();
        for (const QString& sByte : sLine.mid(nAt + 16).split(' ', Qt::SkipEmptyParts))
            event.push_back(uint8_t(sByte.toUInt(nullptr, 16)));
    }
    return events;
}

// amidi's arguments for "taskset", on one CPU: a fast amidi -s on another CPU than the virtual
// raw MIDI sender's can send stale bytes of the kernel's 4 KiB ring before it is refilled.
inline QStringList PinnedAmidi(const QStringList& args)
{
    return QStringList{"-c", "0", "amidi"} + args;
}

// Starts a tool with stdout into the file (stderr beside it, ".err"); whether it started.
inline bool StartTool(QProcess& tool, const QString& sProgram, const QStringList& args,
                      const QString& sOutput)
{
    tool.setStandardOutputFile(sOutput);
    tool.setStandardErrorFile(sOutput + ".err");
    tool.start(sProgram, args);
    return tool.waitForStarted(5000);
}

// Whether `aconnect -l` shows the client, named as the sequencer knows it, subscribed to
// the port ("Connected From: 14:0") or sending to it ("Connecting To: 17:0").
inline bool HasConnection(const QString& sClient, const QString& sConnection)
{
    QProcess aconnect;
    aconnect.start("aconnect", {"-l"});
    aconnect.waitForFinished(5000);
    const QString sList = QString::fromLatin1(aconnect.readAllStandardOutput());
    // The client's part of the list runs to the next client.
    const qsizetype nStart = sList.indexOf(": '" + sClient + "'");
    if (nStart < 0)
        return false;
    const qsizetype nEnd = sList.indexOf("\nclient ", nStart);
    return sList.mid(nStart, nEnd < 0 ? -1 : nEnd - nStart).contains(sConnection);
}

// An instrument on raw MIDI: keeps what the sequencer sends it and, given a request,
// answers it with its dump, once. The kernel passes nothing to a raw MIDI reader before
// its first read or poll, so the constructor polls once: all that is sent after it is heard.
class CRawMidiInstrument
{
public:
    explicit CRawMidiInstrument(const char* pszDevice, Bytes request = {}, Bytes dump = {})
        : m_request(std::move(request)), m_dump(std::move(dump)),
          m_iFd(open(pszDevice, O_RDWR | O_NONBLOCK))
    {
        if (m_iFd < 0)
            return;
        pollfd pfd{m_iFd, POLLIN, 0};
        poll(&pfd, 1, 0);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CRawMidiInstrument()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_iFd >= 0)
            close(m_iFd);
    }
    CRawMidiInstrument(const CRawMidiInstrument&) = delete;
    CRawMidiInstrument& operator=(const CRawMidiInstrument&) = delete;

    bool IsOpen() const { return m_iFd >= 0; }
    bool Answered() const { return m_bAnswered; }
    Bytes Heard() const
    {
        std::lock_guard lock(m_mutex);
        return m_heard;
    }

private:
    void Serve()
    {
        unsigned char buffer[4096];
        while (!m_bStop)
        {
            pollfd pfd{m_iFd, POLLIN, 0};
            if (poll(&pfd, 1, 50) <= 0)
                continue;
            const ssize_t nRead = read(m_iFd, buffer, sizeof(buffer));
            std::unique_lock lock(m_mutex);
            if (nRead > 0)
                m_heard.insert(m_heard.end(), buffer, buffer + nRead);
            if (m_request.empty() || m_bAnswered || std::ranges::search(m_heard, m_request).empty())
                continue;
            lock.unlock();
            for (size_t nOffset = 0; nOffset < m_dump.size() && !m_bStop;)
            {
                const ssize_t nWritten =
                    write(m_iFd, m_dump.data() + nOffset, m_dump.size() - nOffset);
                if (nWritten > 0)
                    nOffset += size_t(nWritten);
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            m_bAnswered = true;
        }
    }

    const Bytes m_request;
    const Bytes m_dump;
    const int m_iFd;
    mutable std::mutex m_mutex;
    Bytes m_heard;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bAnswered{false};
    std::thread m_thread;
};
} // namespace SequencerTools
