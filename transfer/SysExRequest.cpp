#include "transfer/SysExRequest.h"

#include "toolkit/Utility.h"

#include <cstdio>

namespace
{
int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsSeparator(char c)
{
    return c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r';
}
} // namespace

CSysExRequest::Problem CSysExRequest::ParseHex(const char* pszText,
                                               std::vector<unsigned char>* pBytes, size_t* pnWhere)
{
    std::vector<unsigned char> bytes;
    size_t nWhere = 0;
    const char* p = pszText ? pszText : "";
    for (size_t i = 0; p[i];)
    {
        if (IsSeparator(p[i]))
        {
            ++i;
            continue;
        }
        const int iHigh = HexDigit(p[i]);
        const int iLow = iHigh < 0 ? -1 : HexDigit(p[i + 1]);
        if (iLow < 0)
        {
            if (pnWhere)
                *pnWhere = iHigh < 0 ? i : i + 1;
            return kNotHex;
        }
        bytes.push_back(static_cast<unsigned char>(iHigh * 16 + iLow));
        i += 2;
    }
    const Problem problem = Check(bytes, &nWhere);
    if (pnWhere)
        *pnWhere = nWhere;
    if (problem == kNoProblem && pBytes)
        pBytes->swap(bytes);
    return problem;
}

CSysExRequest::Problem CSysExRequest::Check(const std::vector<unsigned char>& bytes,
                                            size_t* pnWhere)
{
    size_t nWhere = 0;
    Problem problem = kNoProblem;
    if (bytes.empty())
        problem = kEmpty;
    else if (bytes.size() > sm_nMaxSize)
        problem = kTooLong, nWhere = sm_nMaxSize;
    else if (bytes.front() != 0xF0)
        problem = kNotFramed;
    else if (bytes.back() != 0xF7)
        problem = kNotFramed, nWhere = bytes.size() - 1;
    else
    {
        // Inside: data bytes, and F7 F0 between two messages.
        bool bInMessage = false;
        for (size_t i = 0; i < bytes.size() && problem == kNoProblem; ++i)
        {
            const unsigned char ucByte = bytes[i];
            if (!bInMessage)
            {
                if (ucByte == 0xF0)
                    bInMessage = true;
                else
                    problem = kNotFramed, nWhere = i;
            }
            else if (ucByte == 0xF7)
                bInMessage = false;
            else if (ucByte & 0x80)
                problem = kDataTooHigh, nWhere = i;
        }
    }
    if (pnWhere)
        *pnWhere = nWhere;
    return problem;
}

std::string CSysExRequest::ToHex(const std::vector<unsigned char>& bytes)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string sText;
    for (unsigned char ucByte : bytes)
    {
        if (!sText.empty())
            sText += ' ';
        sText += kDigits[ucByte >> 4];
        sText += kDigits[ucByte & 0x0F];
    }
    return sText;
}

std::string CSysExRequest::Describe(Problem problem, size_t nWhere)
{
    const char* pszKey = "RequestEmpty";
    int iArgument = int(nWhere + 1);
    switch (problem)
    {
    case CSysExRequest::kNotHex:
        pszKey = "RequestNotHex";
        break;
    case CSysExRequest::kNotFramed:
        pszKey = "RequestNotFramed";
        break;
    case CSysExRequest::kDataTooHigh:
        pszKey = "RequestDataTooHigh";
        break;
    case CSysExRequest::kTooLong:
        pszKey = "RequestTooLong";
        iArgument = int(CSysExRequest::sm_nMaxSize);
        break;
    default:
        break;
    }
    char szText[256];
    snprintf(szText, sizeof(szText), GetResourceString(pszKey), iArgument);
    return szText;
}
