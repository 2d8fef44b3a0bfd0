#include "cli/CliText.h"

#include "toolkit/Utility.h"

std::string CliText(const char* pszKey, std::initializer_list<std::string> asArguments)
{
    std::string sText = GetResourceString(pszKey);
    int iNumber = 1;
    for (const std::string& sArgument : asArguments)
    {
        const std::string sMarker = "%" + std::to_string(iNumber++);
        // Arguments are not looked at again: a file name holding "%2" stays as it is.
        if (const size_t nAt = sText.find(sMarker); nAt != std::string::npos)
            sText.replace(nAt, sMarker.size(), sArgument);
    }
    return sText;
}
