#pragma once

#include "cli/CliCommand.h"

// "quillmark show FILE": one line a message of a .syx file (number, offset, length,
// manufacturer, checksum), the bytes outside messages where they lie, and a summary, as
// CSysExDumpReport prints them. Exits 1 when a checksum is BAD, a message has no end or
// bytes lie outside messages, saying so on stderr; the report has said where.
class CShowCommand : public CCliCommand
{
public:
    const char* Name() const override { return "show"; }
    const char* SummaryKey() const override { return "CliShowSummary"; }
    std::vector<const char*> HelpKeys() const override;
    std::vector<tagCliOption> Options() const override { return {}; }
    int Run(CCliArguments& arguments) override;
};
