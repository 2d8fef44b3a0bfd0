#include "cli/CliArguments.h"

#include "cli/CliText.h"

#include <cerrno>
#include <cstdlib>

namespace
{
const tagCliOption* FindLong(const std::vector<tagCliOption>& options, const std::string& sName)
{
    for (const tagCliOption& option : options)
        if (sName == option.pszName)
            return &option;
    return nullptr;
}

const tagCliOption* FindShort(const std::vector<tagCliOption>& options, char cShort)
{
    for (const tagCliOption& option : options)
        if (option.cShort && option.cShort == cShort)
            return &option;
    return nullptr;
}
} // namespace

int CCliArguments::Parse(const std::vector<std::string>& asArguments,
                         const std::vector<tagCliOption>& options)
{
    m_mapValues.clear();
    m_asOperands.clear();
    m_sError.clear();
    std::vector<tagCliOption> known = options;
    known.push_back({"help", 'h', false});

    bool bOptionsEnded = false;
    for (size_t i = 0; i < asArguments.size(); ++i)
    {
        const std::string& sArgument = asArguments[i];
        if (bOptionsEnded || sArgument.size() < 2 || sArgument[0] != '-')
        {
            m_asOperands.push_back(sArgument);
            continue;
        }
        if (sArgument == "--")
        {
            bOptionsEnded = true;
            continue;
        }
        const tagCliOption* pOption = nullptr;
        std::string sValue;
        bool bHasValue = false;
        if (sArgument[1] == '-')
        {
            std::string sName = sArgument.substr(2);
            if (const size_t nEquals = sName.find('='); nEquals != std::string::npos)
            {
                sValue = sName.substr(nEquals + 1);
                sName.resize(nEquals);
                bHasValue = true;
            }
            pOption = FindLong(known, sName);
        }
        else if (sArgument.size() == 2)
        {
            pOption = FindShort(known, sArgument[1]);
        }
        if (!pOption)
        {
            m_sError = CliText("CliUnknownOption", {sArgument});
            return 0;
        }
        const std::string sShown = std::string("--") + pOption->pszName;
        if (!pOption->bValue && bHasValue)
        {
            m_sError = CliText("CliOptionTakesNoValue", {sShown});
            return 0;
        }
        if (pOption->bValue && !bHasValue)
        {
            if (i + 1 >= asArguments.size())
            {
                m_sError = CliText("CliOptionNeedsValue", {sShown});
                return 0;
            }
            sValue = asArguments[++i];
        }
        m_mapValues[pOption->pszName] = sValue;
    }
    return 1;
}

std::string CCliArguments::Value(const char* pszName, const std::string& sDefault) const
{
    const auto it = m_mapValues.find(pszName);
    return it == m_mapValues.end() ? sDefault : it->second;
}

int CCliArguments::IntValue(const char* pszName, int iLow, int iHigh, int iDefault, int* piValue)
{
    const auto it = m_mapValues.find(pszName);
    if (it == m_mapValues.end())
    {
        *piValue = iDefault;
        return 1;
    }
    const std::string& sValue = it->second;
    char* pszEnd = nullptr;
    errno = 0;
    const long lValue = sValue.empty() ? 0 : strtol(sValue.c_str(), &pszEnd, 10);
    if (sValue.empty() || *pszEnd != '\0' || errno == ERANGE || lValue < iLow || lValue > iHigh)
    {
        m_sError = CliText("CliOptionOutOfRange", {std::string("--") + pszName, sValue,
                                                   std::to_string(iLow), std::to_string(iHigh)});
        return 0;
    }
    *piValue = int(lValue);
    return 1;
}
