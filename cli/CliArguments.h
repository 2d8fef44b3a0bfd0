#pragma once

#include <map>
#include <string>
#include <vector>

// One option a sub-command takes: "--name", its one-letter form "-c" (0: none), and
// whether a value follows it ("--name VALUE", "--name=VALUE", "-c VALUE").
struct tagCliOption
{
    const char* pszName;
    char cShort;
    bool bValue;
};

// The arguments of one sub-command: its options and what is left, the operands. "--"
// ends the options; a lone "-" is an operand.
class CCliArguments
{
public:
    // 1 done; 0 a usage error, told by Error(). "--help" is always known.
    int Parse(const std::vector<std::string>& asArguments,
              const std::vector<tagCliOption>& options);

    bool Has(const char* pszName) const { return m_mapValues.count(pszName) != 0; }
    // The option's value; the default when it was not given.
    std::string Value(const char* pszName, const std::string& sDefault = std::string()) const;
    // The option's value as a whole number from iLow to iHigh, or the default when it was
    // not given. 0 for a value that is not such a number (Error() tells it), 1 otherwise.
    int IntValue(const char* pszName, int iLow, int iHigh, int iDefault, int* piValue);

    const std::vector<std::string>& Operands() const { return m_asOperands; }
    // What was wrong, as one line without the program's name.
    const std::string& Error() const { return m_sError; }
    void SetError(const std::string& sError) { m_sError = sError; }

private:
    std::map<std::string, std::string> m_mapValues;
    std::vector<std::string> m_asOperands;
    std::string m_sError;
};
