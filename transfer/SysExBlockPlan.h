#pragma once

#include <cstddef>
#include <vector>

// One block of a transmission: a run of the file's bytes sent as one request.
struct tagSysExBlock
{
    int nOffset;
    int nLength;
    bool bEndsMessage; // its last byte is an F7
};

// Cuts a byte stream into the blocks it is sent in. A block holds at most
// sm_nMaxBlockSize bytes and never bytes of two messages: it ends at an F7, and it ends
// before an F0 that starts the next message (also one whose previous message lacks its
// F7). Bytes outside messages travel in blocks of their own by the same rules. The blocks
// cover the stream in order, without gaps. A block also begins at each offset the caller
// names as a message start (ascending), for messages the bytes alone do not mark.
class CSysExBlockPlan
{
public:
    static constexpr int sm_nMaxBlockSize = 256;

    CSysExBlockPlan(const unsigned char* pData, int nSize,
                    const std::vector<int>& anMessageStarts = {});

    const std::vector<tagSysExBlock>& Blocks() const { return m_aBlocks; }
    // How many pauses between messages follow the block at the index: blocks from there
    // on that end a message, the last block of all left out.
    int PausesFrom(size_t nIndex) const;

private:
    std::vector<tagSysExBlock> m_aBlocks;
    std::vector<int> m_anEndsBefore; // message ends among the first i blocks
};
