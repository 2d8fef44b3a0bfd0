#include "cli/ReceiveCommand.h"

#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "file/LumFile.h"
#include "platform/ui/MacEvent.h"
#include "toolkit/DebugLog.h"

#include <climits>
#include <memory>
#include <new>

namespace
{
// As the receive window saves: creator and type of a SysEx file.
constexpr unsigned long kCreator = FourCharCode("QMRK");
constexpr unsigned long kFileType = FourCharCode("SysX");
// Without --timeout the wait goes on until interrupted, looking again this often.
constexpr std::chrono::hours kEndlessWaitStep(1);

// The received message from the MIDI manager into the file; 1 when all of it is there.
int WriteReceived(CMidiManager& midi, const FSSpec& spec)
{
    const int nSize = midi.m_nReceivedSysExSize;
    std::unique_ptr<unsigned char[]> pData(new (std::nothrow) unsigned char[size_t(nSize) + 1]);
    if (!pData)
        return 0;
    for (int i = 0; i < nSize; ++i)
        pData[size_t(i)] = midi.GetReceivedSysExData(i);
    // The file object puts the new file in place only once all of it was written, so a
    // file of that name survives a failure.
    CLumFile file;
    if (!file.MacWriteOpen(&spec, 2, kCreator, kFileType))
        return 0;
    const long lWritten = file.Write(pData.get(), nSize);
    return file.Close() && lWritten == nSize;
}
} // namespace

std::vector<const char*> CReceiveCommand::HelpKeys() const
{
    return {"CliReceiveUsage",    "CliReceiveHelp",          "CliOptionsHeading",
            "CliReceiveOptionIn", "CliReceiveOptionTimeout", "CliReceiveOptionOutput"};
}

std::vector<tagCliOption> CReceiveCommand::Options() const
{
    return {{"in", 0, true}, {"timeout", 0, true}, {"output", 'o', true}};
}

int CReceiveCommand::Run(CCliArguments& arguments)
{
    CCliSession session(Name());
    int iTimeoutSeconds = 0;
    if (!arguments.IntValue("timeout", 1, sm_iMaxTimeoutSeconds, 0, &iTimeoutSeconds))
    {
        session.FailUsage("", arguments.Error());
        return kCliExitUsage;
    }
    const std::string sOutput = arguments.Value("output");
    if (!arguments.Has("output") || sOutput.empty())
    {
        session.FailUsage("", CliText("CliNoOutputFile"));
        return kCliExitUsage;
    }
    if (!arguments.Operands().empty())
    {
        session.FailUsage(arguments.Operands().front(), CliText("CliUnexpectedOperand"));
        return kCliExitUsage;
    }
    // Where the file goes is known before anything is received: a folder that does not
    // exist fails now, not after the dump.
    FSSpec spec;
    FSRef folder;
    bool bFolder = false;
    const std::string sFolder = sOutput.find('/') == std::string::npos
                                    ? std::string(".")
                                    : sOutput.substr(0, sOutput.rfind('/') + 1);
    const std::string sName = sOutput.substr(sOutput.rfind('/') + 1);
    if (FSPathMakeRef(sFolder.c_str(), &folder, &bFolder) != 0 || !bFolder ||
        FSMakeChildSpec(&folder, sName.c_str(), &spec) != 0)
    {
        session.Fail(sOutput, CliText("CliCannotWriteFile"));
        return kCliExitFailed;
    }

    if (!session.Start() || !session.OpenInput(arguments.Value("in")))
        return kCliExitFailed;

    int iEnd = -1; // the message that ended the reception
    int iReceived = 0;
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
            iEnd = message.iMessage;
            break;
        default:
            break;
        }
    };
    session.Midi().ReceiveSysExData();
    session.Progress(CliText("CliReceiveWaiting"));
    const auto bEnded = [&] { return iEnd >= 0; };
    if (iTimeoutSeconds > 0)
        session.WaitFor(bEnded, std::chrono::seconds(iTimeoutSeconds));
    else
        while (!session.InterruptSignal() && !session.WaitFor(bEnded, kEndlessWaitStep))
        {
        }
    session.m_onMessage = nullptr;
    // No more input is taken: what comes now is not part of this reception.
    session.Midi().MidiInClose();

    if (iEnd == LM_RECEIVE_COMPLETE)
    {
        if (!WriteReceived(session.Midi(), spec))
        {
            session.Fail(sOutput, CliText("CliCannotWriteFile"));
            return kCliExitFailed;
        }
        session.Summary(CliText("CliReceiveDone", {std::to_string(iReceived), sOutput}));
        return kCliExitDone;
    }
    if (iEnd == LM_RECEIVE_ERROR)
    {
        session.Fail("", CliText("CliReceiveBroken", {std::to_string(iReceived)}));
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
