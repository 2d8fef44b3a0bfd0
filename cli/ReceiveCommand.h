#pragma once

#include "cli/CliCommand.h"

#include <cstdint>

// "quillmark receive [--in DEVICE] [--timeout SECONDS] -o FILE": records one SysEx
// message, F0 through F7, as the receive window does, and writes it to FILE only once it
// is complete, replacing the file safely as the window's Save does.
class CReceiveCommand : public CCliCommand
{
public:
    const char* Name() const override { return "receive"; }
    const char* SummaryKey() const override { return "CliReceiveSummary"; }
    std::vector<const char*> HelpKeys() const override;
    std::vector<tagCliOption> Options() const override;
    int Run(CCliArguments& arguments) override;

    // The longest --timeout, in seconds: a day.
    static constexpr int sm_iMaxTimeoutSeconds = 86400;
};
