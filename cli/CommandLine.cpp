#include "cli/CommandLine.h"

#include "cli/CliText.h"
#include "cli/ListCommand.h"
#include "cli/ReceiveCommand.h"
#include "cli/SendCommand.h"
#include "cli/ShowCommand.h"

#include "file/LumFile.h"
#include "toolkit/DebugLog.h"
#include "toolkit/Utility.h"

#include <cstdio>
#include <sys/stat.h>

namespace
{
// The commands the dispatcher knows, also before it exists (IsCommandLine).
const char* const kapszCommands[] = {"list", "send", "receive", "show"};
// Standard error carries the one line that says what failed; the debug log's lines
// (which the windows leave on it) would bury that line.
void DropLogLine(const char*) {}
} // namespace

CCommandLine::CCommandLine()
{
    m_apCommands.push_back(std::make_unique<CListCommand>());
    m_apCommands.push_back(std::make_unique<CSendCommand>());
    m_apCommands.push_back(std::make_unique<CReceiveCommand>());
    m_apCommands.push_back(std::make_unique<CShowCommand>());
}

CCommandLine::~CCommandLine() = default;

bool CCommandLine::IsCommandLine(const std::vector<std::string>& asArguments)
{
    if (asArguments.empty())
        return false;
    const std::string& sFirst = asArguments.front();
    if (sFirst.size() > 1 && sFirst[0] == '-')
        return true;
    for (const char* pszCommand : kapszCommands)
        if (sFirst == pszCommand)
            return true;
    // A mistyped command is told as such rather than opened as a file.
    struct stat status;
    char szExtension[256] = "";
    CLumFile::GetExtension(sFirst.c_str(), szExtension, sizeof(szExtension));
    return stat(sFirst.c_str(), &status) != 0 && !CompareExtension(szExtension, ".syx") &&
           !CompareExtension(szExtension, ".msy");
}

CCliCommand* CCommandLine::Find(const std::string& sName) const
{
    for (const auto& pCommand : m_apCommands)
        if (sName == pCommand->Name())
            return pCommand.get();
    return nullptr;
}

int CCommandLine::Run(const std::vector<std::string>& asArguments)
{
    SetDebugLogSink(&DropLogLine);
    if (asArguments.empty())
        return UsageError("quillmark", CliText("CliNoCommand"), "quillmark --help");
    const std::string& sFirst = asArguments.front();
    if (sFirst == "--help" || sFirst == "-h")
    {
        PrintOverview();
        return kCliExitDone;
    }
    if (sFirst == "--version")
    {
        printf("quillmark %s\n", QUILLMARK_VERSION);
        return kCliExitDone;
    }
    CCliCommand* pCommand = Find(sFirst);
    if (!pCommand)
        return UsageError(
            "quillmark",
            CliText(sFirst[0] == '-' ? "CliUnknownOption" : "CliUnknownCommand", {sFirst}),
            "quillmark --help");

    const std::string sPrefix = std::string("quillmark ") + pCommand->Name();
    CCliArguments arguments;
    const std::vector<std::string> asRest(asArguments.begin() + 1, asArguments.end());
    if (!arguments.Parse(asRest, pCommand->Options()))
        return UsageError(sPrefix, arguments.Error(), sPrefix + " --help");
    if (arguments.Has("help"))
    {
        PrintHelp(*pCommand);
        return kCliExitDone;
    }
    return pCommand->Run(arguments);
}

int CCommandLine::UsageError(const std::string& sPrefix, const std::string& sError,
                             const std::string& sHelp) const
{
    fprintf(stderr, "%s: %s %s\n", sPrefix.c_str(), sError.c_str(),
            CliText("CliTryHelp", {sHelp}).c_str());
    return kCliExitUsage;
}

void CCommandLine::PrintOverview() const
{
    printf("%s\n\n", CliText("CliUsage").c_str());
    printf("%s\n", CliText("CliCommandsHeading").c_str());
    for (const auto& pCommand : m_apCommands)
        printf("  %-9s %s\n", pCommand->Name(), CliText(pCommand->SummaryKey()).c_str());
    printf("\n%s\n", CliText("CliOverviewHelp").c_str());
}

void CCommandLine::PrintHelp(const CCliCommand& command) const
{
    for (const char* pszKey : command.HelpKeys())
        printf("%s\n", CliText(pszKey).c_str());
}
