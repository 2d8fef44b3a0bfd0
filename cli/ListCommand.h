#pragma once

#include "cli/CliCommand.h"

// "quillmark list": every MIDI input and output, one a line: "in", the display name and
// the ALSA address, separated by tabs ("out" for outputs).
class CListCommand : public CCliCommand
{
public:
    const char* Name() const override { return "list"; }
    const char* SummaryKey() const override { return "CliListSummary"; }
    std::vector<const char*> HelpKeys() const override;
    std::vector<tagCliOption> Options() const override { return {}; }
    int Run(CCliArguments& arguments) override;
};
