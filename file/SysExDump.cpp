#include "file/SysExDump.h"

CSysExDump::CSysExDump() : m_pIndex(std::make_unique<CSysExDumpIndex>(nullptr, 0)) {}

CSysExDump::~CSysExDump() = default;

int CSysExDump::OpenFile(const char* pszPath)
{
    m_pIndex = std::make_unique<CSysExDumpIndex>(nullptr, 0);
    m_aucBytes.clear();
    const int bOpened = m_cMapped.Open(pszPath);
    m_pIndex = std::make_unique<CSysExDumpIndex>(m_cMapped.Data(), m_cMapped.Size());
    return bOpened;
}

void CSysExDump::Assign(std::vector<unsigned char> bytes)
{
    m_pIndex = std::make_unique<CSysExDumpIndex>(nullptr, 0);
    m_cMapped.Close();
    m_aucBytes = std::move(bytes);
    m_pIndex = std::make_unique<CSysExDumpIndex>(m_aucBytes.data(), m_aucBytes.size());
}

std::vector<unsigned char> CSysExDump::Join(const std::vector<size_t>& anMessages) const
{
    size_t nTotal = 0;
    for (size_t nIndex : anMessages)
        nTotal += m_pIndex->GetMessage(nIndex).nLength;
    std::vector<unsigned char> joined;
    joined.reserve(nTotal);
    for (size_t nIndex : anMessages)
    {
        const unsigned char* pBytes = m_pIndex->GetMessageBytes(nIndex);
        joined.insert(joined.end(), pBytes, pBytes + m_pIndex->GetMessage(nIndex).nLength);
    }
    return joined;
}
