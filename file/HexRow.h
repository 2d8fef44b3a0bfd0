#pragma once

#include <cstddef>

// One row of a hex view: the offset, up to sm_nBytesPerRow bytes in hex and the same
// bytes as ASCII, '.' for what does not print (names of patches are often readable):
//   "0000A0  F0 41 10 42 12 40 00 7F  00 41 F7                 .A.B.@...A."
class CHexRow
{
public:
    static constexpr size_t sm_nBytesPerRow = 16;
    // A buffer of this size holds any row with its NUL.
    static constexpr size_t sm_nRowSize = 96;

    static size_t RowCount(size_t nLength)
    {
        return (nLength + sm_nBytesPerRow - 1) / sm_nBytesPerRow;
    }

    // Row nRow of the nLength bytes at pBytes, whose first byte lies at nOffset of the dump.
    static void Format(const unsigned char* pBytes, size_t nLength, size_t nOffset, size_t nRow,
                       char* pszText, size_t nSize);
};
