#include "transfer/SendCheck.h"

#include "file/LumFile.h"
#include "file/MidiFileReader.h"
#include "toolkit/Utility.h"
#include "transfer/SysExFileWriter.h"
#include "transfer/TransmitContent.h"

#include <cstdio>

namespace
{
constexpr unsigned char kSysExStart = 0xF0;
constexpr unsigned char kSysExEnd = 0xF7;

CSendCheck::Problem FromError(OSErr err, const FSSpec& spec)
{
    switch (err)
    {
    case fnfErr:
    case dirNFErr:
    case bdNamErr:
        return CSendCheck::kNotFound;
    case permErr:
        return CSendCheck::kPermissionDenied;
    case notAFileErr:
    {
        FSRef ref;
        bool bFolder = false;
        const std::string path = spec.folder + "/" + spec.name;
        if (FSPathMakeRef(path.c_str(), &ref, &bFolder) == 0 && bFolder)
            return CSendCheck::kIsFolder;
        return CSendCheck::kNotAFile;
    }
    default:
        return CSendCheck::kUnreadable;
    }
}
} // namespace

CSendCheck::Problem CSendCheck::CheckFile(const FSSpec& spec, tagFile* pFile)
{
    pFile->spec = spec;
    if (pFile->sName.empty())
        pFile->sName = spec.name;
    CLumFile file;
    if (const OSErr err = FSpOpenDF(&spec, fsRdPerm, &file.m_refNum); err != 0)
        return FromError(err, spec);
    unsigned char aucHead[4] = {};
    const long lHead = file.Read(aucHead, sizeof(aucHead));
    long lSize = 0;
    const bool bSized = GetEOF(file.m_refNum, &lSize) == 0;
    pFile->lSize = lSize;
    Problem problem = kNoProblem;
    if (!bSized || lHead < 0)
        problem = kUnreadable;
    else if (lHead == 0)
        problem = kEmpty;
    else if (CMidiFileReader::IsMidiFile(aucHead, size_t(lHead)) ||
             CSysExFileWriter::IsMidiFileName(spec.name.c_str()))
    {
        pFile->bMidiFile = true;
        CTransmitContent content;
        if (!file.SetPos(0, 2) || (!content.Read(&file) && !content.IsBadMidiFile()))
            problem = kUnreadable;
        else
        {
            pFile->sMidiFault = content.MidiFileFault();
            pFile->lSize = content.Size();
            if (!pFile->sMidiFault.empty())
                problem = kBadMidiFile;
        }
    }
    else if (aucHead[0] != kSysExStart)
        problem = kNotSysEx;
    else
    {
        unsigned char ucLast = 0;
        if (!file.SetPos(lSize - 1, 2) || file.Read(&ucLast, 1) != 1)
            problem = kUnreadable;
        pFile->bUnterminated = ucLast != kSysExEnd;
    }
    file.Close();
    return problem;
}

CSendCheck::Problem CSendCheck::CheckPath(const char* pszPath, tagFile* pFile)
{
    FSSpec spec;
    const OSErr err = FSPathMakeFSSpec(pszPath, &spec, nullptr);
    if (err != 0)
    {
        const std::string path = pszPath;
        pFile->spec.folder = path.substr(0, path.rfind('/') + 1);
        pFile->spec.name = path.substr(path.rfind('/') + 1);
        if (pFile->sName.empty())
            pFile->sName = pFile->spec.name;
        return FromError(err, pFile->spec);
    }
    return CheckFile(spec, pFile);
}

CSendCheck::Problem CSendCheck::CheckList(const CMultiSysExReader& reader,
                                          std::vector<tagFile>* pFiles)
{
    pFiles->clear();
    if (reader.GetProblem() != CMultiSysExReader::kNoProblem)
        return kBadList;
    for (const int nNumber : reader.GetNumbers())
    {
        tagFile entry;
        entry.nNumber = nNumber;
        char szName[256] = "";
        reader.GetSysExFileName(szName, sizeof(szName), nNumber);
        entry.sName = szName;
        FSSpec spec;
        const OSErr err = reader.GetSysExFileSpec(nNumber, &spec);
        const Problem problem = err == 0 ? CheckFile(spec, &entry) : FromError(err, spec);
        pFiles->push_back(entry);
        if (problem != kNoProblem)
            return problem;
    }
    return kNoProblem;
}

std::string CSendCheck::Reason(Problem problem, const tagFile& file,
                               const CMultiSysExReader* pList)
{
    if (problem == kBadMidiFile)
        return file.sMidiFault;
    const CMultiSysExReader::Problem listProblem =
        pList ? pList->GetProblem() : CMultiSysExReader::kNoProblem;
    char szReason[512];
    snprintf(szReason, sizeof(szReason), GetResourceString(ReasonKey(problem, listProblem)),
             pList ? pList->GetProblemNumber() : 0);
    return szReason;
}

const char* CSendCheck::ReasonKey(Problem problem, CMultiSysExReader::Problem listProblem)
{
    switch (problem)
    {
    case kNoProblem:
        return "";
    case kNotFound:
        return "ReasonNotFound";
    case kPermissionDenied:
        return "ReasonPermissionDenied";
    case kIsFolder:
        return "ReasonIsFolder";
    case kNotAFile:
        return "ReasonNotAFile";
    case kEmpty:
        return "ReasonEmpty";
    case kNotSysEx:
        return "ReasonNotSysEx";
    case kBadList:
        break;
    default:
        return "ReasonUnreadable";
    }
    switch (listProblem)
    {
    case CMultiSysExReader::kBadSectionName:
        return "ReasonListSectionName";
    case CMultiSysExReader::kNoEntries:
        return "ReasonListNoEntries";
    case CMultiSysExReader::kNameTooLong:
        return "ReasonListNameTooLong";
    case CMultiSysExReader::kRepeatedNumber:
        return "ReasonListRepeatedNumber";
    default:
        return "ReasonListNoHeader";
    }
}
