#include "support/SequencerTools.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace SequencerTools
{
QString ReadText(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

Bytes MessageStream(int nMessages, const std::vector<size_t>& lengths)
{
    Bytes stream;
    for (int i = 0; i < nMessages; ++i)
    {
        const size_t nLength = lengths[size_t(i) % lengths.size()];
        stream.push_back(0xF0);
        stream.push_back(0x7D);
        for (size_t k = 2; k + 1 < nLength; ++k)
            stream.push_back(uint8_t((k * 7 + size_t(i)) & 0x7F));
        stream.push_back(0xF7);
    }
    return stream;
}

tagRealTimeStream RealTimeStream(size_t nMessages, size_t nLength)
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

std::vector<Bytes> SysExEvents(const QString& sDump)
{
    std::vector<Bytes> events;
    static const QRegularExpression sysex("System exclusive\\s+([0-9A-F ]+)");
    for (const QString& sLine : sDump.split('\n'))
    {
        QRegularExpressionMatch match = sysex.match(sLine);
        if (!match.hasMatch())
            continue;
        Bytes event;
        for (const QString& sByte : match.captured(1).split(' ', Qt::SkipEmptyParts))
            event.push_back(uint8_t(sByte.toUInt(nullptr, 16)));
        events.push_back(event);
    }
    return events;
}

Bytes Joined(const std::vector<Bytes>& events)
{
    Bytes joined;
    for (const Bytes& event : events)
        joined.insert(joined.end(), event.begin(), event.end());
    return joined;
}

bool StartTool(QProcess& tool, const QString& sProgram, const QStringList& args,
               const QString& sOutput)
{
    tool.setProgram(sProgram);
    tool.setArguments(args);
    tool.setStandardOutputFile(sOutput);
    tool.setStandardErrorFile(sOutput + ".err");
    tool.start();
    return tool.waitForStarted(5000);
}

QStringList PinnedAmidi(const QStringList& args)
{
    return QStringList{"-c", "0", "amidi"} + args;
}

bool HasConnection(const QString& sClient, const QString& sConnection)
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

CRawMidiInstrument::CRawMidiInstrument(const char* pszDevice, Bytes request, Bytes dump)
    : m_request(std::move(request)), m_dump(std::move(dump))
{
    m_iFd = open(pszDevice, O_RDWR | O_NONBLOCK);
    if (m_iFd < 0)
        return;
    ReadAvailable();
    m_thread = std::thread([this] { Serve(); });
}

CRawMidiInstrument::~CRawMidiInstrument()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_iFd >= 0)
        close(m_iFd);
}

Bytes CRawMidiInstrument::Heard() const
{
    std::lock_guard lock(m_mutex);
    return m_heard;
}

void CRawMidiInstrument::ReadAvailable()
{
    unsigned char buffer[4096];
    ssize_t nRead;
    while ((nRead = read(m_iFd, buffer, sizeof(buffer))) > 0)
    {
        std::lock_guard lock(m_mutex);
        m_heard.insert(m_heard.end(), buffer, buffer + nRead);
    }
}

void CRawMidiInstrument::Serve()
{
    while (!m_bStop)
    {
        pollfd pfd{m_iFd, POLLIN, 0};
        if (poll(&pfd, 1, 50) <= 0)
            continue;
        ReadAvailable();
        if (m_request.empty() || m_bAnswered)
            continue;
        const Bytes heard = Heard();
        if (std::search(heard.begin(), heard.end(), m_request.begin(), m_request.end()) ==
            heard.end())
            continue;
        for (size_t nOffset = 0; nOffset < m_dump.size() && !m_bStop;)
        {
            const ssize_t nWritten = write(m_iFd, m_dump.data() + nOffset, m_dump.size() - nOffset);
            if (nWritten > 0)
                nOffset += size_t(nWritten);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_bAnswered = true;
    }
}
} // namespace SequencerTools
