#include "transfer/SysExDumpRecorder.h"

#include <algorithm>

void CSysExDumpRecorder::Clear()
{
    m_apPieces.clear();
    m_nStored = 0;
    m_bInMessage = false;
    m_ullSeen = 0;
    m_counts = tagDumpCounts();
}

void CSysExDumpRecorder::Take(const unsigned char* pData, size_t nLength)
{
    m_ullSeen += nLength;
    for (size_t i = 0; i < nLength; ++i)
    {
        const unsigned char ucByte = pData[i];
        if (ucByte >= 0xF8)
            continue;
        if (ucByte == 0xF0)
        {
            if (m_bInMessage)
                Interrupt();
            m_bInMessage = true;
            Append(ucByte);
            continue;
        }
        if (!m_bInMessage)
            continue;
        if (ucByte == 0xF7)
        {
            Append(ucByte);
            m_bInMessage = false;
            ++m_counts.llMessages;
            m_counts.llMessageBytes = int64_t(m_nStored);
            m_counts.llCurrentBytes = 0;
        }
        else if (ucByte & 0x80)
            Interrupt();
        else
            Append(ucByte);
    }
}

void CSysExDumpRecorder::Stop()
{
    if (!m_bInMessage)
        return;
    m_bInMessage = false;
    m_nStored = size_t(m_counts.llMessageBytes);
    m_counts.llCurrentBytes = 0;
    m_counts.bIncompleteAtStop = 1;
}

bool CSysExDumpRecorder::ForEachPiece(
    const std::function<bool(const unsigned char*, size_t)>& fnPiece) const
{
    const size_t nKept = size_t(m_counts.llMessageBytes);
    for (size_t nOffset = 0; nOffset < nKept; nOffset += sm_nPieceSize)
        if (!fnPiece(m_apPieces[nOffset / sm_nPieceSize].get(),
                     std::min(sm_nPieceSize, nKept - nOffset)))
            return false;
    return true;
}

void CSysExDumpRecorder::Append(unsigned char ucByte)
{
    const size_t nPiece = m_nStored / sm_nPieceSize;
    if (nPiece == m_apPieces.size())
        m_apPieces.push_back(std::make_unique<unsigned char[]>(sm_nPieceSize));
    m_apPieces[nPiece][m_nStored % sm_nPieceSize] = ucByte;
    ++m_nStored;
    ++m_counts.llTotalBytes;
    ++m_counts.llCurrentBytes;
}

// The open message is dropped; its room is taken by the next one.
void CSysExDumpRecorder::Interrupt()
{
    m_bInMessage = false;
    m_nStored = size_t(m_counts.llMessageBytes);
    m_counts.llCurrentBytes = 0;
    ++m_counts.llInterrupted;
}
