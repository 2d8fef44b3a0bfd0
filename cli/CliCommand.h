#pragma once

#include "cli/CliArguments.h"

#include <string>
#include <vector>

// Exit statuses of the command line. An interruption exits with 128 + the signal's
// number, 130 for Ctrl+C.
enum
{
    kCliExitDone = 0,
    kCliExitFailed = 1,
    kCliExitUsage = 2,
    kCliExitSignalBase = 128,
};

// One sub-command of the command line ("list", "send", "receive"). The dispatcher
// (CCommandLine) parses its options, answers --help from its help keys and runs it.
class CCliCommand
{
public:
    virtual ~CCliCommand() = default;

    virtual const char* Name() const = 0;
    // Strings-table keys: the one-line summary in the overview, then the help lines.
    virtual const char* SummaryKey() const = 0;
    virtual std::vector<const char*> HelpKeys() const = 0;
    virtual std::vector<tagCliOption> Options() const = 0;

    // Runs with the parsed arguments; the exit status. What failed has been told on
    // stderr in one line.
    virtual int Run(CCliArguments& arguments) = 0;
};
