#include "cli/ListCommand.h"

#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "midi/LumMidi.h"

#include <cstdio>

std::vector<const char*> CListCommand::HelpKeys() const
{
    return {"CliListUsage", "CliListHelp"};
}

int CListCommand::Run(CCliArguments& arguments)
{
    CCliSession session(Name());
    if (!arguments.Operands().empty())
    {
        session.FailUsage(arguments.Operands().front(), CliText("CliUnexpectedOperand"));
        return kCliExitUsage;
    }
    // The port layer's client is what makes the devices visible, as for the windows.
    if (!session.Start())
        return kCliExitFailed;
    char szName[256];
    for (const bool bInput : {true, false})
    {
        const int nCount = bInput ? GetNumMidiInDevices() : GetNumMidiOutDevices();
        for (int i = 0; i < nCount; ++i)
        {
            szName[0] = '\0';
            bInput ? GetMidiInDeviceName(i, szName, sizeof(szName))
                   : GetMidiOutDeviceName(i, szName, sizeof(szName));
            const std::string sAddress =
                bInput ? GetMidiInDeviceAddress(i) : GetMidiOutDeviceAddress(i);
            printf("%s\t%s\t%s\n", bInput ? "in" : "out", szName, sAddress.c_str());
        }
    }
    fflush(stdout);
    return kCliExitDone;
}
