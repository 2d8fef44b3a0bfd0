#include "transfer/MultiSysExReader.h"

#include "file/LumFile.h"
#include "toolkit/Alert.h"
#include "toolkit/DebugLog.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr int kEnd = -1;

// isspace in the C locale; bytes of 0x80 and above are never white space.
bool IsSpace(int cChar)
{
    return cChar == ' ' || (cChar >= '\t' && cChar <= '\r');
}

// The decimal number at the start of the key, as atoi reads it, held within int.
int EntryNumber(const char* pszKey)
{
    long lNumber = strtol(pszKey, nullptr, 10);
    if (lNumber > INT_MAX)
        return INT_MAX;
    if (lNumber < INT_MIN)
        return INT_MIN;
    return int(lNumber);
}

// A listed name stays inside the list's folder: no ".." among its path parts.
bool StaysBelowFolder(const std::string& name)
{
    size_t nStart = 0;
    while (nStart <= name.size())
    {
        size_t nSlash = name.find('/', nStart);
        if (nSlash == std::string::npos)
            nSlash = name.size();
        if (name.compare(nStart, nSlash - nStart, "..") == 0)
            return false;
        nStart = nSlash + 1;
    }
    return true;
}
} // namespace

CMultiSysExReader::CMultiSysExReader()
    : m_nFileCount(0), m_pFile(nullptr), m_problem(kNoProblem), m_nProblemNumber(0), m_cChar(kEnd)
{
}

CMultiSysExReader::~CMultiSysExReader()
{
    m_mapFileName.clear();
}

int CMultiSysExReader::Open(CLumFile* pFile)
{
    m_pFile = pFile;
    m_mapFileName.clear();
    m_mapFilePath.clear();
    m_nFileCount = 0;
    m_problem = kNoProblem;
    m_nProblemNumber = 0;

    GetNextChar();
    int nResult = 0;
    if (ParseHeader())
    {
        while (ParseFileName())
        {
        }
        if (m_nFileCount > 0)
        {
            m_listFolder = pFile->m_spec.folder;
            nResult = 1;
        }
        else
            SetProblem(kNoEntries, 0);
    }
    m_pFile = nullptr;
    return nResult;
}

int CMultiSysExReader::OpenFiles(const std::vector<std::string>& asPaths)
{
    m_mapFileName.clear();
    m_mapFilePath.clear();
    m_listFolder.clear();
    m_nFileCount = 0;
    m_problem = kNoProblem;
    m_nProblemNumber = 0;
    for (const std::string& sPath : asPaths)
    {
        ++m_nFileCount;
        m_mapFilePath[m_nFileCount] = sPath;
        m_mapFileName[m_nFileCount] = sPath.substr(sPath.rfind('/') + 1);
    }
    return m_nFileCount > 0 ? 1 : 0;
}

int CMultiSysExReader::GetSysExFileName(char* pszBuffer, int iSize, int iNumber) const
{
    if (m_nFileCount == 0 || iSize <= 0)
        return 0;
    auto entry = m_mapFileName.find(iNumber);
    if (entry == m_mapFileName.end())
        return 0;
    strncpy(pszBuffer, entry->second.c_str(), size_t(iSize));
    pszBuffer[iSize - 1] = '\0';
    return 0;
}

std::vector<int> CMultiSysExReader::GetNumbers() const
{
    std::vector<int> anNumbers;
    for (const auto& entry : m_mapFileName)
        anNumbers.push_back(entry.first);
    return anNumbers;
}

OSErr CMultiSysExReader::GetSysExFileSpec(int iNumber, FSSpec* pSpec) const
{
    auto entry = m_mapFileName.find(iNumber);
    if (m_nFileCount == 0 || entry == m_mapFileName.end())
        return fnfErr;
    const auto path = m_mapFilePath.find(iNumber);
    if (path != m_mapFilePath.end())
        return FSPathMakeFSSpec(path->second.c_str(), pSpec, nullptr);
    // Names pass the platform as length-prefixed strings.
    const std::string name = entry->second.substr(0, 255);
    if (m_listFolder.empty() || !StaysBelowFolder(name))
        return fnfErr;
    return FSMakeFSSpec(m_listFolder.c_str(), name.c_str(), pSpec);
}

CLumFile* CMultiSysExReader::GetSysExFile(int iNumber)
{
    if (m_nFileCount == 0)
        return nullptr;
    auto entry = m_mapFileName.find(iNumber);
    if (entry == m_mapFileName.end())
        return nullptr;

    const std::string name = entry->second.substr(0, 255);
    FSSpec spec;
    if (GetSysExFileSpec(iNumber, &spec) != 0)
    {
        ShowErrorAlert("Not Found File", kAlertStopAlert);
        DebugPrintf("Not found file: %s", name.c_str());
        return nullptr;
    }

    auto* pListed = new CLumFile;
    if (!pListed->MacOpen(&spec, 9))
    {
        ShowErrorAlert("Can't Open File", kAlertStopAlert);
        DebugPrintf("Can't open file: %s", name.c_str());
        delete pListed;
        return nullptr;
    }
    return pListed;
}

void CMultiSysExReader::SetProblem(Problem problem, int nNumber)
{
    if (m_problem != kNoProblem)
        return;
    m_problem = problem;
    m_nProblemNumber = nNumber;
}

int CMultiSysExReader::ParseHeader()
{
    try
    {
        if (!SkipToChar('['))
        {
            SetProblem(kNoHeader, 0);
            throw "Can't find MSY header.";
        }
        char szSection[256];
        if (!ReadToChar(szSection, sizeof(szSection), ']'))
        {
            SetProblem(kNoHeader, 0);
            throw "Failed to read section name.";
        }
        if (strncmp(szSection, "MultiSysEx", 10) != 0)
        {
            SetProblem(kBadSectionName, 0);
            throw "Illegal section name.";
        }
        return 1;
    }
    catch (const char* pszMessage)
    {
        DebugPrintf("ParseHeader: %s", pszMessage);
        return 0;
    }
}

int CMultiSysExReader::ParseFileName()
{
    char szBuffer[256];
    if (!ReadToChar(szBuffer, sizeof(szBuffer), '='))
        return 0;
    int iNumber = EntryNumber(szBuffer);
    if (!ReadToSeparator(szBuffer, sizeof(szBuffer)))
    {
        SetProblem(kNameTooLong, iNumber);
        return 0;
    }
    // The first entry of a number wins; every entry counts.
    if (!m_mapFileName.emplace(iNumber, szBuffer).second)
        SetProblem(kRepeatedNumber, iNumber);
    ++m_nFileCount;
    return 1;
}

int CMultiSysExReader::GetNextChar()
{
    // Unsigned, so that a byte 0xFF is a character like any other, not the end.
    unsigned char ucByte = 0;
    if (!m_pFile || m_pFile->Read(&ucByte, 1) != 1)
        m_cChar = kEnd;
    else
        m_cChar = ucByte;
    return m_cChar;
}

int CMultiSysExReader::SkipToChar(char cStop)
{
    while (m_cChar != static_cast<unsigned char>(cStop) && m_cChar != kEnd)
        GetNextChar();
    if (m_cChar == kEnd)
        return 0;
    GetNextChar();
    return 1;
}

void CMultiSysExReader::SkipSpace()
{
    while (IsSpace(m_cChar))
        GetNextChar();
}

int CMultiSysExReader::ReadToChar(char* pszBuffer, int iSize, char cStop)
{
    SkipSpace();
    int nLength = 0;
    int nResult = 0;
    while (nLength < iSize - 1)
    {
        if (m_cChar == static_cast<unsigned char>(cStop))
        {
            GetNextChar();
            nResult = 1;
            break;
        }
        if (m_cChar == kEnd)
            break;
        pszBuffer[nLength++] = char(m_cChar);
        GetNextChar();
    }
    pszBuffer[nLength] = '\0';
    return nResult;
}

int CMultiSysExReader::ReadToSeparator(char* pszBuffer, int iSize)
{
    SkipSpace();
    const bool bQuoted = m_cChar == '"';
    if (bQuoted)
        GetNextChar();
    int nLength = 0;
    int nResult = 0;
    while (nLength < iSize - 1)
    {
        if (bQuoted ? m_cChar == '"' : IsSpace(m_cChar))
        {
            GetNextChar();
            nResult = 1;
            break;
        }
        if (m_cChar == kEnd)
        {
            nResult = 1;
            break;
        }
        pszBuffer[nLength++] = char(m_cChar);
        GetNextChar();
    }
    pszBuffer[nLength] = '\0';
    return nResult;
}
