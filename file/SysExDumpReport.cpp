#include "file/SysExDumpReport.h"

#include "file/MidiManufacturer.h"

#include <cinttypes>

namespace
{
constexpr size_t kLineSize = 512;
} // namespace

CSysExDumpReport::CSysExDumpReport(const CSysExDumpIndex& index)
    : m_index(index), m_nGood(0), m_nBad(0), m_nNone(0), m_nUnterminated(0),
      m_nOutside(index.GetGaps().size())
{
    for (size_t i = 0; i < index.GetMessageCount(); ++i)
    {
        switch (CSysExChecksum::Check(index.GetMessageBytes(i), index.GetMessage(i).nLength))
        {
        case CSysExChecksum::kGood:
            ++m_nGood;
            break;
        case CSysExChecksum::kBad:
            ++m_nBad;
            break;
        case CSysExChecksum::kNone:
            ++m_nNone;
            break;
        }
        if (index.IsUnterminated(i))
            ++m_nUnterminated;
    }
}

size_t CSysExDumpReport::GetCount(CSysExChecksum::Result result) const
{
    switch (result)
    {
    case CSysExChecksum::kGood:
        return m_nGood;
    case CSysExChecksum::kBad:
        return m_nBad;
    case CSysExChecksum::kNone:
        break;
    }
    return m_nNone;
}

const char* CSysExDumpReport::ChecksumText(CSysExChecksum::Result result)
{
    switch (result)
    {
    case CSysExChecksum::kGood:
        return "OK";
    case CSysExChecksum::kBad:
        return "BAD";
    case CSysExChecksum::kNone:
        break;
    }
    return "\u2013";
}

void CSysExDumpReport::MessageLine(size_t nIndex, char* pszLine, size_t nSize) const
{
    const tagSysExSpan& span = m_index.GetMessage(nIndex);
    const unsigned char* pBytes = m_index.GetMessageBytes(nIndex);
    char szMaker[128];
    CMidiManufacturer::Format(CMidiManufacturer::Identify(pBytes, span.nLength), szMaker,
                              sizeof(szMaker));
    snprintf(pszLine, nSize, "%7zu  %08zX  %7zu  %-32s  %s%s", nIndex + 1, span.nOffset,
             span.nLength, szMaker, ChecksumText(CSysExChecksum::Check(pBytes, span.nLength)),
             m_index.IsUnterminated(nIndex) ? "  unterminated" : "");
}

void CSysExDumpReport::ForEachLine(const std::function<void(const char* pszLine)>& line) const
{
    char szLine[kLineSize];
    const std::vector<tagSysExSpan>& gaps = m_index.GetGaps();
    size_t nGap = 0;
    for (size_t i = 0; i <= m_index.GetMessageCount(); ++i)
    {
        const size_t nUntil =
            i < m_index.GetMessageCount() ? m_index.GetMessage(i).nOffset : m_index.GetSize();
        for (; nGap < gaps.size() && gaps[nGap].nOffset < nUntil; ++nGap)
        {
            snprintf(szLine, sizeof(szLine), "%7s  %08zX  %7zu  %s", "-", gaps[nGap].nOffset,
                     gaps[nGap].nLength, "bytes outside messages");
            line(szLine);
        }
        if (i == m_index.GetMessageCount())
            break;
        MessageLine(i, szLine, sizeof(szLine));
        line(szLine);
    }
    snprintf(szLine, sizeof(szLine), "%zu messages, %zu bytes; checksums: %zu OK, %zu BAD, %zu %s",
             m_index.GetMessageCount(), m_index.GetSize(), m_nGood, m_nBad, m_nNone,
             ChecksumText(CSysExChecksum::kNone));
    line(szLine);
    ProblemLines(line);
}

// Where the dump is not in order, in the order of the file, the first few.
void CSysExDumpReport::ProblemLines(const std::function<void(const char* pszLine)>& line) const
{
    const size_t nProblems = m_nBad + m_nUnterminated + m_nOutside;
    if (nProblems == 0)
        return;
    char szLine[kLineSize];
    size_t nListed = 0;
    const auto list = [&](const char* pszLine)
    {
        if (nListed++ < sm_nMaxProblemLines)
            line(pszLine);
    };
    const std::vector<tagSysExSpan>& gaps = m_index.GetGaps();
    size_t nGap = 0;
    for (size_t i = 0; i <= m_index.GetMessageCount() && nListed < sm_nMaxProblemLines; ++i)
    {
        const size_t nUntil =
            i < m_index.GetMessageCount() ? m_index.GetMessage(i).nOffset : m_index.GetSize();
        for (; nGap < gaps.size() && gaps[nGap].nOffset < nUntil; ++nGap)
        {
            snprintf(szLine, sizeof(szLine), "Bytes outside messages: %zu at %08zX",
                     gaps[nGap].nLength, gaps[nGap].nOffset);
            list(szLine);
        }
        if (i == m_index.GetMessageCount())
            break;
        const tagSysExSpan& span = m_index.GetMessage(i);
        if (CSysExChecksum::Check(m_index.GetMessageBytes(i), span.nLength) == CSysExChecksum::kBad)
        {
            snprintf(szLine, sizeof(szLine), "BAD checksum: message %zu at %08zX", i + 1,
                     span.nOffset);
            list(szLine);
        }
        if (m_index.IsUnterminated(i))
        {
            snprintf(szLine, sizeof(szLine), "Unterminated message: message %zu at %08zX", i + 1,
                     span.nOffset);
            list(szLine);
        }
    }
    if (nProblems > sm_nMaxProblemLines)
    {
        snprintf(szLine, sizeof(szLine), "... and %zu more", nProblems - sm_nMaxProblemLines);
        line(szLine);
    }
}

int CSysExDumpReport::Print(FILE* pStream) const
{
    int bWritten = 1;
    ForEachLine(
        [&](const char* pszLine)
        {
            if (fprintf(pStream, "%s\n", pszLine) < 0)
                bWritten = 0;
        });
    return bWritten;
}
