#include "cli/ReceiveCommand.h"

#include "app/TransmitPreferences.h"
#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "file/LumFile.h"
#include "platform/ui/MacEvent.h"
#include "toolkit/Utility.h"
#include "transfer/SysExFileWriter.h"
#include "transfer/SysExRequest.h"

#include <cstdio>
#include <memory>
#include <new>

namespace
{
// Without --timeout the wait goes on until interrupted, looking again this often.
constexpr std::chrono::hours kEndlessWaitStep(1);

// Waits for bDone, for the timeout or, without one, until interrupted.
void Wait(CCliSession& session, const std::function<bool()>& bDone, int iTimeoutSeconds)
{
    if (iTimeoutSeconds > 0)
        session.WaitFor(bDone, std::chrono::seconds(iTimeoutSeconds));
    else
        while (!session.InterruptSignal() && !session.WaitFor(bDone, kEndlessWaitStep))
        {
        }
}
} // namespace

std::vector<const char*> CReceiveCommand::HelpKeys() const
{
    return {"CliReceiveUsage",
            "CliReceiveHelp",
            "CliReceiveHelpMany",
            "CliOptionsHeading",
            "CliReceiveOptionIn",
            "CliReceiveOptionOutput",
            "CliReceiveOptionMany",
            "CliReceiveOptionIdle",
            "CliReceiveOptionTimeout",
            "CliReceiveOptionRequest",
            "CliReceiveOptionRequestHex",
            "CliReceiveOptionOut",
            "CliReceiveHelpStatus"};
}

std::vector<tagCliOption> CReceiveCommand::Options() const
{
    return {{"in", 0, true},   {"timeout", 0, true}, {"output", 'o', true},    {"many", 0, false},
            {"idle", 0, true}, {"request", 0, true}, {"request-hex", 0, true}, {"out", 0, true}};
}

int CReceiveCommand::Run(CCliArguments& arguments)
{
    CCliSession session(Name());
    int iTimeoutSeconds = 0;
    int iIdleSeconds = 0;
    if (!arguments.IntValue("timeout", 1, sm_iMaxTimeoutSeconds, 0, &iTimeoutSeconds) ||
        !arguments.IntValue("idle", 1, sm_iMaxTimeoutSeconds, 0, &iIdleSeconds))
    {
        session.FailUsage("", arguments.Error());
        return kCliExitUsage;
    }
    m_sOutput = arguments.Value("output");
    const char* pszUsage = nullptr;
    if (!arguments.Has("output") || m_sOutput.empty())
        pszUsage = "CliNoOutputFile";
    else if (arguments.Has("idle") && !arguments.Has("many"))
        pszUsage = "CliIdleNeedsMany";
    else if (arguments.Has("out") && !arguments.Has("request") && !arguments.Has("request-hex"))
        pszUsage = "CliOutNeedsRequest";
    if (arguments.Has("request") && arguments.Has("request-hex"))
    {
        session.FailUsage("", CliText("CliOptionsExclusive", {"--request", "--request-hex"}));
        return kCliExitUsage;
    }
    if (pszUsage)
    {
        session.FailUsage("", CliText(pszUsage));
        return kCliExitUsage;
    }
    if (!arguments.Operands().empty())
    {
        session.FailUsage(arguments.Operands().front(), CliText("CliUnexpectedOperand"));
        return kCliExitUsage;
    }
    int iStatus = kCliExitDone;
    if (!ReadRequest(arguments, session, &m_request, &iStatus))
        return iStatus;
    // Where the file goes is known before anything is received: a folder that does not
    // exist fails now, not after the dump.
    FSRef folder;
    bool bFolder = false;
    const std::string sFolder = m_sOutput.find('/') == std::string::npos
                                    ? std::string(".")
                                    : m_sOutput.substr(0, m_sOutput.rfind('/') + 1);
    const std::string sName = m_sOutput.substr(m_sOutput.rfind('/') + 1);
    if (FSPathMakeRef(sFolder.c_str(), &folder, &bFolder) != 0 || !bFolder ||
        FSMakeChildSpec(&folder, sName.c_str(), &m_spec) != 0)
    {
        session.Fail(m_sOutput, CliText("CliCannotWriteFile"));
        return kCliExitFailed;
    }

    if (!session.Start() || !session.OpenInput(arguments.Value("in")) ||
        (!m_request.empty() && !session.OpenOutput(arguments.Value("out"))))
        return kCliExitFailed;
    return arguments.Has("many") ? ReceiveMany(session, iTimeoutSeconds, iIdleSeconds)
                                 : ReceiveOne(session, iTimeoutSeconds);
}

int CReceiveCommand::ReadRequest(CCliArguments& arguments, CCliSession& session,
                                 std::vector<unsigned char>* pRequest, int* piStatus)
{
    size_t nWhere = 0;
    if (arguments.Has("request-hex"))
    {
        const CSysExRequest::Problem problem =
            CSysExRequest::ParseHex(arguments.Value("request-hex").c_str(), pRequest, &nWhere);
        if (problem == CSysExRequest::kNoProblem)
            return 1;
        session.FailUsage("--request-hex", CSysExRequest::Describe(problem, nWhere));
        *piStatus = kCliExitUsage;
        return 0;
    }
    if (!arguments.Has("request"))
        return 1;
    const std::string sPath = arguments.Value("request");
    *piStatus = kCliExitFailed;
    CLumFile file;
    if (!file.Open(sPath.c_str(), 9))
    {
        session.Fail(sPath, CliText("CliCannotReadFile"));
        return 0;
    }
    // One byte more than a request may hold tells one that is too long.
    pRequest->resize(CSysExRequest::sm_nMaxSize + 1);
    const long lRead = file.Read(pRequest->data(), long(pRequest->size()));
    file.Close();
    if (lRead < 0)
    {
        session.Fail(sPath, CliText("CliCannotReadFile"));
        return 0;
    }
    pRequest->resize(size_t(lRead));
    const CSysExRequest::Problem problem = CSysExRequest::Check(*pRequest, &nWhere);
    if (problem != CSysExRequest::kNoProblem)
    {
        session.Fail(sPath, CSysExRequest::Describe(problem, nWhere));
        return 0;
    }
    return 1;
}

int CReceiveCommand::SendRequest(CCliSession& session)
{
    if (m_request.empty())
        return 1;
    if (!session.Midi().SendSysExRequest(m_request))
    {
        session.Fail(session.OutputName(), CliText("CliRequestNotSent"));
        return 0;
    }
    session.Progress(GetResourceString("StatusRequestSent"));
    return 1;
}

// A .mid file plays back with the pause the input device is sent with.
int CReceiveCommand::PauseMs(const CCliSession& session)
{
    return CTransmitPreferences::ReadDeviceSettings(session.InputName().c_str()).iPauseMs;
}

int CReceiveCommand::ReceiveOne(CCliSession& session, int iTimeoutSeconds)
{
    int iEnd = -1; // the message that ended the reception
    int iReceived = 0;
    int iBreak = kReceiveErrorInterrupted;
    session.m_onMessage = [&](const tagListenerMessage& message)
    {
        switch (message.iMessage)
        {
        case LM_RECEIVING:
            session.Progress(
                CliText("CliReceiveProgress",
                        {std::to_string(message.iParam2), std::to_string(message.iParam3 / 1000)}));
            break;
        case LM_RECEIVE_COMPLETE:
            iReceived = message.iParam1;
            iEnd = message.iMessage;
            break;
        case LM_RECEIVE_ERROR:
            iReceived = message.iParam2;
            iBreak = message.iParam1;
            iEnd = message.iMessage;
            break;
        default:
            break;
        }
    };
    session.Midi().ReceiveSysExData();
    session.Progress(CliText("CliReceiveWaiting"));
    if (!SendRequest(session))
        return kCliExitFailed;
    Wait(
        session, [&] { return iEnd >= 0; }, iTimeoutSeconds);
    session.m_onMessage = nullptr;
    // No more input is taken: what comes now is not part of this reception.
    session.Midi().MidiInClose();

    if (iEnd == LM_RECEIVE_COMPLETE)
    {
        CMidiManager& midi = session.Midi();
        const int nSize = midi.m_nReceivedSysExSize;
        std::unique_ptr<unsigned char[]> pData(new (std::nothrow) unsigned char[size_t(nSize) + 1]);
        for (int i = 0; pData && i < nSize; ++i)
            pData[size_t(i)] = midi.GetReceivedSysExData(i);
        if (!pData || !CSysExFileWriter::Write(m_spec, pData.get(), nSize, PauseMs(session)))
        {
            session.Fail(m_sOutput, CliText("CliCannotWriteFile"));
            return kCliExitFailed;
        }
        session.Summary(CliText("CliReceiveDone", {std::to_string(iReceived), m_sOutput}));
        return kCliExitDone;
    }
    if (iEnd == LM_RECEIVE_ERROR)
    {
        session.Fail("", CliText(iBreak == kReceiveErrorDataLost     ? "CliReceiveDataLost"
                                 : iBreak == kReceiveErrorSourceGone ? "CliReceiveSourceGone"
                                                                     : "CliReceiveBroken",
                                 {std::to_string(iReceived)}));
        return kCliExitFailed;
    }
    if (session.InterruptSignal())
    {
        session.Fail("", CliText("CliReceiveInterrupted"));
        return kCliExitSignalBase + session.InterruptSignal();
    }
    session.Fail("", CliText("CliReceiveTimedOut", {std::to_string(iTimeoutSeconds)}));
    return kCliExitFailed;
}

int CReceiveCommand::ReceiveMany(CCliSession& session, int iTimeoutSeconds, int iIdleSeconds)
{
    CMidiManager& midi = session.Midi();
    bool bEnded = false;
    session.m_onMessage = [&](const tagListenerMessage& message)
    {
        if (message.iMessage == LM_DUMP_RECEIVING)
            session.Progress(CliText("CliDumpProgress", {std::to_string(message.iParam1),
                                                         std::to_string(message.iParam2),
                                                         std::to_string(message.iParam3 / 1000)}));
        else if (message.iMessage == LM_DUMP_END)
            bEnded = true;
    };
    if (!midi.ReceiveSysExDump(iIdleSeconds * 1000))
    {
        session.Fail("", CliText("CliNoMidi"));
        return kCliExitFailed;
    }
    session.Progress(CliText("CliDumpWaiting"));
    if (!SendRequest(session))
        return kCliExitFailed;
    Wait(
        session, [&] { return bEnded; }, iTimeoutSeconds);
    // The timeout or Ctrl+C: what is complete by now is the dump.
    midi.StopReceive();
    session.m_onMessage = nullptr;
    midi.MidiInClose();

    const tagDumpStatus status = midi.GetDumpStatus();
    const tagDumpCounts& counts = status.counts;
    const std::string sInterrupted = std::to_string(counts.llInterrupted);
    const std::string sIncomplete = std::to_string(counts.bIncompleteAtStop);
    // A dump with a gap is no dump of the device: nothing is written.
    if (status.iEnd == kDumpEndDataLost || status.iEnd == kDumpEndSourceGone)
    {
        session.Fail("", CliText(status.iEnd == kDumpEndDataLost ? "CliDumpDataLost"
                                                                 : "CliDumpSourceGone",
                                 {std::to_string(counts.llMessages)}));
        return kCliExitFailed;
    }
    if (counts.llMessages == 0)
    {
        if (session.InterruptSignal())
        {
            session.Fail("", CliText("CliReceiveInterrupted"));
            return kCliExitSignalBase + session.InterruptSignal();
        }
        session.Fail("", CliText(status.iEnd == kDumpEndIdle ? "CliDumpNothing" : "CliDumpTimedOut",
                                 {std::to_string(iTimeoutSeconds), sInterrupted, sIncomplete}));
        return kCliExitFailed;
    }
    if (!CSysExFileWriter::WriteReceivedDump(m_spec, midi, PauseMs(session)))
    {
        session.Fail(m_sOutput, CliText("CliCannotWriteFile"));
        return kCliExitFailed;
    }
    const bool bLeftOut = counts.llInterrupted > 0 || counts.bIncompleteAtStop;
    session.Note(CliText(bLeftOut ? "CliDumpDoneLeftOut" : "CliDumpDone",
                         {std::to_string(counts.llMessages), std::to_string(counts.llMessageBytes),
                          m_sOutput, sInterrupted, sIncomplete}));
    return kCliExitDone;
}
