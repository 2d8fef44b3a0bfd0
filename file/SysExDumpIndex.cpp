#include "file/SysExDumpIndex.h"

#include <cstring>

namespace
{
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEnd = 0xF7;

bool IsStatus(unsigned char ucByte)
{
    return (ucByte & 0x80) != 0;
}
} // namespace

CSysExDumpIndex::CSysExDumpIndex(const unsigned char* pData, size_t nSize)
    : m_pData(pData), m_nSize(pData ? nSize : 0)
{
    size_t nPos = 0;
    while (nPos < m_nSize)
    {
        const void* pStart = memchr(m_pData + nPos, kSysExStart, m_nSize - nPos);
        const size_t nStart =
            pStart ? size_t(static_cast<const unsigned char*>(pStart) - m_pData) : m_nSize;
        AddGap(nPos, nStart);
        if (nStart == m_nSize)
            break;
        size_t nEnd = nStart + 1;
        while (nEnd < m_nSize && !IsStatus(m_pData[nEnd]))
            ++nEnd;
        // The F7 belongs to the message; any other status byte starts what follows.
        if (nEnd < m_nSize && m_pData[nEnd] == kSysExEnd)
            ++nEnd;
        m_aMessages.push_back({nStart, nEnd - nStart});
        nPos = nEnd;
    }
}

bool CSysExDumpIndex::IsUnterminated(size_t nIndex) const
{
    const tagSysExSpan& span = m_aMessages[nIndex];
    return span.nLength < 2 || m_pData[span.nOffset + span.nLength - 1] != kSysExEnd;
}

void CSysExDumpIndex::AddGap(size_t nBegin, size_t nEnd)
{
    if (nEnd > nBegin)
        m_aGaps.push_back({nBegin, nEnd - nBegin});
}
