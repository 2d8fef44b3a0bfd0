#pragma once

#include "cli/CliCommand.h"
#include "platform/file/FileManager.h"

#include <cstdint>
#include <string>
#include <vector>

class CCliSession;

// "quillmark receive [--in DEVICE] -o FILE [--many] [--idle SECONDS] [--timeout SECONDS]
// [--request FILE | --request-hex HEX] [--out DEVICE]": records one SysEx message, F0
// through F7, as the receive window does, or with --many every complete message until
// silence, the timeout or Ctrl+C. A request goes to the output right after the input is
// armed. FILE is written only with complete messages, replaced safely as the window's
// Save does.
class CReceiveCommand : public CCliCommand
{
public:
    const char* Name() const override { return "receive"; }
    const char* SummaryKey() const override { return "CliReceiveSummary"; }
    std::vector<const char*> HelpKeys() const override;
    std::vector<tagCliOption> Options() const override;
    int Run(CCliArguments& arguments) override;

    // The longest --timeout and --idle, in seconds: a day.
    static constexpr int sm_iMaxTimeoutSeconds = 86400;

private:
    // The request the options give, empty for none. 1 read; 0 failed, with *piStatus the
    // exit status (told).
    int ReadRequest(CCliArguments& arguments, CCliSession& session,
                    std::vector<unsigned char>* pRequest, int* piStatus);
    int ReceiveOne(CCliSession& session, int iTimeoutSeconds);
    int ReceiveMany(CCliSession& session, int iTimeoutSeconds, int iIdleSeconds);
    // Arms nothing: sends the request, if any, to the opened output. 1 sent or none.
    int SendRequest(CCliSession& session);

    static int PauseMs(const CCliSession& session);

    std::string m_sOutput;
    FSSpec m_spec;
    std::vector<unsigned char> m_request;
};
