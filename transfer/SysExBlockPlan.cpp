#include "transfer/SysExBlockPlan.h"

namespace
{
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEnd = 0xF7;
} // namespace

CSysExBlockPlan::CSysExBlockPlan(const unsigned char* pData, int nSize,
                                 const std::vector<int>& anMessageStarts)
{
    int nStart = 0;
    auto nextStart = anMessageStarts.begin();
    for (int i = 0; i < nSize; ++i)
    {
        bool bNamedStart = false;
        while (nextStart != anMessageStarts.end() && *nextStart <= i)
            bNamedStart |= *nextStart++ == i;
        // An F0 opens a block of its own, whatever came before it.
        if ((pData[i] == kSysExStart || bNamedStart) && i > nStart)
        {
            m_aBlocks.push_back({nStart, i - nStart, false});
            nStart = i;
        }
        const bool bEnd = pData[i] == kSysExEnd;
        if (bEnd || i + 1 - nStart == sm_nMaxBlockSize)
        {
            m_aBlocks.push_back({nStart, i + 1 - nStart, bEnd});
            nStart = i + 1;
        }
    }
    if (nStart < nSize)
        m_aBlocks.push_back({nStart, nSize - nStart, false});

    m_anEndsBefore.reserve(m_aBlocks.size() + 1);
    m_anEndsBefore.push_back(0);
    for (const tagSysExBlock& block : m_aBlocks)
        m_anEndsBefore.push_back(m_anEndsBefore.back() + (block.bEndsMessage ? 1 : 0));
}

int CSysExBlockPlan::PausesFrom(size_t nIndex) const
{
    if (nIndex + 1 >= m_aBlocks.size())
        return 0;
    // Ends among blocks nIndex .. size-2.
    return m_anEndsBefore[m_aBlocks.size() - 1] - m_anEndsBefore[nIndex];
}
