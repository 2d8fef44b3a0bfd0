#include "cli/SendCommand.h"

#include "app/TransmitPreferences.h"
#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "file/LumFile.h"
#include "toolkit/Alert.h"
#include "toolkit/DebugLog.h"
#include "toolkit/Utility.h"
#include "transfer/MultiSysExReader.h"
#include "transfer/SendCheck.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
constexpr unsigned char kSysExStart = 0xF0;

// The list reader's alerts have no screen here: a file that goes missing while the list
// is sent is told on stderr by Run.
void NoAlert(const char*, int) {}

std::string Elapsed(uint32_t uiMs)
{
    char szTime[32];
    snprintf(szTime, sizeof(szTime), "%02u:%02u", uiMs / 60000, (uiMs / 1000) % 60);
    return szTime;
}

// The first byte and the size of an open file, which is left at its start.
bool Inspect(CLumFile& file, unsigned char* pucFirst, int64_t* pllSize)
{
    long lSize = 0;
    if (GetEOF(file.m_refNum, &lSize) != 0 || file.Read(pucFirst, 1) != 1 || !file.SetPos(0, 2))
        return false;
    *pllSize = lSize;
    return true;
}
} // namespace

CSendCommand::CSendCommand()
    : m_pSession(nullptr), m_nNextFile(0), m_bMissedFile(false), m_llTotal(0), m_llDone(0),
      m_nStartedFiles(0), m_uiStartTime(0)
{
}

CSendCommand::~CSendCommand()
{
    SetErrorAlertSink(nullptr);
}

std::vector<const char*> CSendCommand::HelpKeys() const
{
    return {"CliSendUsage",           "CliSendHelp",          "CliOptionsHeading",
            "CliSendOptionOut",       "CliSendOptionPause",   "CliSendOptionSpeed",
            "CliSendOptionFilePause", "CliSendOptionUnpaced", "CliSendOptionWireSpeed",
            "CliSendOptionFileTiming", "CliSendOptionPauseTiming", "CliSendHelpPacing"};
}

std::vector<tagCliOption> CSendCommand::Options() const
{
    return {{"out", 0, true},          {"pause", 0, true},          {"speed", 0, true},
            {"file-pause", 0, true},   {"unpaced", 0, false},       {"wire-speed", 0, false},
            {"file-timing", 0, false}, {"pause-timing", 0, false}};
}

int CSendCommand::ReadPacing(CCliArguments& arguments, tagTransmitSettings* pSettings,
                             int* piFilePauseMs)
{
    if (arguments.Has("unpaced") && arguments.Has("wire-speed"))
    {
        arguments.SetError(CliText("CliOptionsExclusive", {"--unpaced", "--wire-speed"}));
        return 0;
    }
    if (arguments.Has("file-timing") && arguments.Has("pause-timing"))
    {
        arguments.SetError(CliText("CliOptionsExclusive", {"--file-timing", "--pause-timing"}));
        return 0;
    }
    const bool bWireSpeed = arguments.Has("wire-speed");
    if (!arguments.IntValue("pause", tagTransmitSettings::sm_iMinPauseMs,
                            tagTransmitSettings::sm_iMaxPauseMs, pSettings->iPauseMs,
                            &pSettings->iPauseMs) ||
        !arguments.IntValue("speed", tagTransmitSettings::sm_iMinBytesPerSecond,
                            tagTransmitSettings::sm_iMaxBytesPerSecond,
                            bWireSpeed ? tagTransmitSettings::sm_iMaxBytesPerSecond
                                       : pSettings->iBytesPerSecond,
                            &pSettings->iBytesPerSecond) ||
        !arguments.IntValue("file-pause", tagTransmitSettings::sm_iMinPauseMs,
                            tagTransmitSettings::sm_iMaxPauseMs, *piFilePauseMs, piFilePauseMs))
        return 0;
    if (arguments.Has("unpaced"))
        pSettings->iPacing = tagTransmitSettings::kPacingUnpaced;
    else if (bWireSpeed)
        pSettings->iPacing = tagTransmitSettings::kPacingAtSpeed;
    if (arguments.Has("file-timing"))
        pSettings->iMidiTiming = tagTransmitSettings::kMidiTimingOfFile;
    else if (arguments.Has("pause-timing"))
        pSettings->iMidiTiming = tagTransmitSettings::kMidiTimingPause;
    return 1;
}

int CSendCommand::Run(CCliArguments& arguments)
{
    CCliSession session(Name());
    m_pSession = &session;
    // The remembered pacing is read before the options override it, but the options are
    // checked first: a usage error needs no MIDI.
    tagTransmitSettings settings;
    int iFilePauseMs = tagTransmitSettings::sm_iDefaultFilePauseMs;
    if (!ReadPacing(arguments, &settings, &iFilePauseMs))
    {
        session.FailUsage("", arguments.Error());
        return kCliExitUsage;
    }
    if (arguments.Operands().empty())
    {
        session.FailUsage("", CliText("CliNoFileGiven"));
        return kCliExitUsage;
    }

    SetErrorAlertSink(&NoAlert);
    for (const std::string& sOperand : arguments.Operands())
        if (!AddOperand(sOperand))
            return kCliExitFailed;

    if (!session.Start() || !session.OpenOutput(arguments.Value("out")))
        return kCliExitFailed;
    settings = CTransmitPreferences::ReadDeviceSettings(session.OutputName().c_str());
    iFilePauseMs = CTransmitPreferences::ReadFilePauseMs();
    ReadPacing(arguments, &settings, &iFilePauseMs);
    session.Midi().SetTransmitSettings(settings);

    session.m_onMessage = [this](const tagListenerMessage& message)
    { OnMessage(message.iMessage, message.iParam1, message.iParam2); };
    const int bTransmitted = session.Midi().TransmitSysExFiles(*this, iFilePauseMs);
    // The last reports are still queued; they only move the progress line.
    session.m_onMessage = nullptr;

    if (session.InterruptSignal())
    {
        session.Fail("", CliText("CliSendInterrupted"));
        return kCliExitSignalBase + session.InterruptSignal();
    }
    const size_t nFailed = m_nNextFile ? m_nNextFile - 1 : 0;
    if (m_bMissedFile)
    {
        session.Fail(m_files[m_nNextFile - 1].sName, CliText("CliCannotReadFile"));
        return kCliExitFailed;
    }
    if (!bTransmitted)
    {
        session.Fail(m_files[nFailed].sName, CliText("CliTransmitFailed"));
        return kCliExitFailed;
    }
    session.Summary(
        CliText("CliSendDone", {std::to_string(m_llTotal), std::to_string(m_files.size()),
                                session.OutputName(), Elapsed(GetSystemTimeMs() - m_uiStartTime)}));
    return kCliExitDone;
}

int CSendCommand::AddOperand(const std::string& sOperand)
{
    FSSpec spec;
    bool bFolder = false;
    if (FSPathMakeFSSpec(sOperand.c_str(), &spec, &bFolder) != 0)
    {
        m_pSession->Fail(sOperand, CliText("CliNoSuchFile"));
        return 0;
    }
    CLumFile file;
    if (bFolder || !file.MacOpen(&spec, 9))
    {
        m_pSession->Fail(sOperand, CliText(bFolder ? "CliIsFolder" : "CliCannotReadFile"));
        return 0;
    }
    CSendCheck::tagFile checked;
    const CSendCheck::Problem problem = CSendCheck::CheckFile(spec, &checked);
    unsigned char ucFirst = 0;
    int64_t llSize = 0;
    const bool bRead = Inspect(file, &ucFirst, &llSize);
    char szExtension[256] = "";
    CLumFile::GetExtension(sOperand.c_str(), szExtension, sizeof(szExtension));
    int bAdded = 0;
    if (checked.bMidiFile && problem != CSendCheck::kNoProblem)
        m_pSession->Fail(sOperand, CSendCheck::Reason(problem, checked));
    else if (checked.bMidiFile)
        bAdded = AddFile(sOperand, checked.lSize);
    else if (!bRead || (ucFirst != kSysExStart && CompareExtension(szExtension, ".syx")))
        m_pSession->Fail(sOperand, CliText("CliNotSysEx"));
    else if (ucFirst == kSysExStart)
        bAdded = AddFile(sOperand, llSize); // whatever its name, as the transmit window takes it
    else
        bAdded = AddList(sOperand, file);
    file.Close();
    return bAdded;
}

int CSendCommand::AddFile(const std::string& sOperand, int64_t llSize)
{
    m_files.push_back({sOperand, sOperand, nullptr, 0, llSize});
    m_llTotal += llSize;
    return 1;
}

// The list's files in the order of their numbers, gaps allowed, each checked before
// anything is sent, as the transmit window checks them.
int CSendCommand::AddList(const std::string& sOperand, CLumFile& file)
{
    auto pList = std::make_shared<CMultiSysExReader>();
    if (!pList->Open(&file))
    {
        m_pSession->Fail(sOperand, CliText("CliNotSysExOrList"));
        return 0;
    }
    std::vector<CSendCheck::tagFile> files;
    const CSendCheck::Problem problem = CSendCheck::CheckList(*pList, &files);
    if (problem != CSendCheck::kNoProblem)
    {
        const CSendCheck::tagFile failed = files.empty() ? CSendCheck::tagFile() : files.back();
        m_pSession->Fail(files.empty() ? sOperand : sOperand + ": " + failed.sName,
                         CSendCheck::Reason(problem, failed, pList.get()));
        return 0;
    }
    for (const CSendCheck::tagFile& listed : files)
    {
        m_files.push_back(
            {sOperand + ": " + listed.sName, std::string(), pList, listed.nNumber, listed.lSize});
        m_llTotal += listed.lSize;
    }
    return 1;
}

CLumFile* CSendCommand::NextFile()
{
    if (m_nNextFile >= m_files.size())
        return nullptr;
    const tagSendFile& entry = m_files[m_nNextFile++];
    CLumFile* pFile = nullptr;
    if (entry.pList)
        pFile = entry.pList->GetSysExFile(entry.nNumber);
    else
    {
        pFile = new CLumFile;
        if (!pFile->Open(entry.sPath.c_str(), 9))
        {
            delete pFile;
            pFile = nullptr;
        }
    }
    m_bMissedFile = pFile == nullptr;
    return pFile;
}

void CSendCommand::FileDone(CLumFile* pFile)
{
    pFile->Close();
    delete pFile;
}

void CSendCommand::OnMessage(int32_t iMessage, int32_t iParam1, int32_t iParam2)
{
    int64_t llSent = m_llDone;
    switch (iMessage)
    {
    case LM_TRANSMIT_START:
        if (!m_nStartedFiles++)
            m_uiStartTime = GetSystemTimeMs();
        break;
    case LM_TRANSMITTING:
        llSent += iParam2;
        break;
    case LM_TRANSMIT_COMPLETE:
        m_llDone += iParam1;
        llSent = m_llDone;
        break;
    default:
        return;
    }
    const int64_t llPercent = m_llTotal > 0 ? llSent * 100 / m_llTotal : 100;
    m_pSession->Progress(CliText(
        "CliSendProgress",
        {std::to_string(llSent), std::to_string(m_llTotal), std::to_string(llPercent),
         Elapsed(GetSystemTimeMs() - m_uiStartTime), std::to_string(m_nStartedFiles),
         std::to_string(m_files.size()), m_files[size_t(std::max(m_nStartedFiles, 1) - 1)].sName}));
}
