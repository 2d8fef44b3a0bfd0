#include "cli/ShowCommand.h"

#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "file/SysExDump.h"
#include "file/SysExDumpReport.h"

#include <cstdio>
#include <sys/stat.h>

std::vector<const char*> CShowCommand::HelpKeys() const
{
    return {"CliShowUsage", "CliShowHelp"};
}

int CShowCommand::Run(CCliArguments& arguments)
{
    CCliSession session(Name());
    const std::vector<std::string>& asOperands = arguments.Operands();
    if (asOperands.size() != 1)
    {
        if (asOperands.empty())
            session.FailUsage("", CliText("CliNoFileGiven"));
        else
            session.FailUsage(asOperands[1], CliText("CliUnexpectedOperand"));
        return kCliExitUsage;
    }
    const std::string& sPath = asOperands.front();
    struct stat status;
    if (stat(sPath.c_str(), &status) != 0)
    {
        session.Fail(sPath, CliText("CliNoSuchFile"));
        return kCliExitFailed;
    }
    if (S_ISDIR(status.st_mode))
    {
        session.Fail(sPath, CliText("CliIsFolder"));
        return kCliExitFailed;
    }
    // Mapped, not read: a large dump costs the index, not a copy.
    CSysExDump dump;
    if (!dump.OpenFile(sPath.c_str()))
    {
        session.Fail(sPath, CliText("CliCannotReadFile"));
        return kCliExitFailed;
    }
    const CSysExDumpIndex& index = dump.Index();
    const CSysExDumpReport report(index);
    if (!report.Print(stdout) || fflush(stdout) != 0)
        return kCliExitFailed;
    if (report.IsOk())
        return kCliExitDone;
    size_t nUnterminated = 0;
    for (size_t i = 0; i < index.GetMessageCount(); ++i)
        nUnterminated += index.IsUnterminated(i) ? 1 : 0;
    session.Fail(sPath,
                 CliText("CliShowNotInOrder",
                         {std::to_string(report.GetCount(CSysExChecksum::kBad)),
                          std::to_string(nUnterminated), std::to_string(index.GetGaps().size())}));
    return kCliExitFailed;
}
