#pragma once

#include <cstddef>
#include <vector>

// A run of bytes of a dump: where it starts and how long it is.
struct tagSysExSpan
{
    size_t nOffset;
    size_t nLength;
};

// The messages of a dump (the bytes of a .syx file or of a reception), found in one pass
// over the bytes and kept as offsets and lengths only: a 16 MiB dump of 132,000 messages
// costs about 3 MB of index, and what a message says is worked out when it is asked for.
//
// A message runs from F0 through the next F7. A status byte other than F7 before that
// (another F0 among them) ends it unterminated, and so does the end of the bytes. Bytes
// that lie outside every message are kept as gaps, in order.
//
// The index does not own the bytes: they must outlive it unchanged.
class CSysExDumpIndex
{
public:
    CSysExDumpIndex(const unsigned char* pData, size_t nSize);

    size_t GetMessageCount() const { return m_aMessages.size(); }
    const tagSysExSpan& GetMessage(size_t nIndex) const { return m_aMessages[nIndex]; }
    const unsigned char* GetMessageBytes(size_t nIndex) const
    {
        return m_pData + m_aMessages[nIndex].nOffset;
    }
    // A message that does not end with F7.
    bool IsUnterminated(size_t nIndex) const;
    const std::vector<tagSysExSpan>& GetGaps() const { return m_aGaps; }

    const unsigned char* GetData() const { return m_pData; }
    size_t GetSize() const { return m_nSize; }

private:
    void AddGap(size_t nBegin, size_t nEnd);

    const unsigned char* m_pData;
    size_t m_nSize;
    std::vector<tagSysExSpan> m_aMessages;
    std::vector<tagSysExSpan> m_aGaps;
};
