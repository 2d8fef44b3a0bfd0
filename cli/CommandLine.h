#pragma once

#include "cli/CliCommand.h"

#include <memory>
#include <string>
#include <vector>

// The command line's dispatcher: "quillmark COMMAND [OPTION...] [OPERAND...]", the
// overview (--help), the version (--version) and each command's --help. A new command is
// one more CCliCommand in the list the constructor makes.
class CCommandLine
{
public:
    CCommandLine();
    ~CCommandLine();

    // Whether the arguments (argv[1] onwards) ask for the command line rather than the
    // windows: a command's name or an option comes first. Anything else is files for
    // the windows.
    static bool IsCommandLine(const std::vector<std::string>& asArguments);

    // Runs the arguments (argv[1] onwards); the exit status. Needs a QCoreApplication.
    int Run(const std::vector<std::string>& asArguments);

private:
    CCliCommand* Find(const std::string& sName) const;
    void PrintOverview() const;
    void PrintHelp(const CCliCommand& command) const;
    // A usage error: the line, a hint at --help, status 2.
    int UsageError(const std::string& sPrefix, const std::string& sError,
                   const std::string& sHelp) const;

    std::vector<std::unique_ptr<CCliCommand>> m_apCommands;
};
