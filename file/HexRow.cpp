#include "file/HexRow.h"

#include <algorithm>
#include <cstdio>

void CHexRow::Format(const unsigned char* pBytes, size_t nLength, size_t nOffset, size_t nRow,
                     char* pszText, size_t nSize)
{
    if (nSize == 0)
        return;
    const size_t nFirst = nRow * sm_nBytesPerRow;
    const size_t nCount = nFirst < nLength ? std::min(sm_nBytesPerRow, nLength - nFirst) : 0;
    char szRow[sm_nRowSize];
    size_t nPos = size_t(snprintf(szRow, sizeof(szRow), "%06zX ", nOffset + nFirst));
    for (size_t i = 0; i < sm_nBytesPerRow; ++i)
    {
        // A wider gap halfway helps counting.
        if (i == sm_nBytesPerRow / 2)
            szRow[nPos++] = ' ';
        if (i < nCount)
            nPos +=
                size_t(snprintf(szRow + nPos, sizeof(szRow) - nPos, " %02X", pBytes[nFirst + i]));
        else
            nPos += size_t(snprintf(szRow + nPos, sizeof(szRow) - nPos, "   "));
    }
    szRow[nPos++] = ' ';
    szRow[nPos++] = ' ';
    for (size_t i = 0; i < nCount; ++i)
    {
        const unsigned char ucByte = pBytes[nFirst + i];
        szRow[nPos++] = ucByte >= 0x20 && ucByte < 0x7F ? char(ucByte) : '.';
    }
    szRow[nPos] = '\0';
    snprintf(pszText, nSize, "%s", szRow);
}
