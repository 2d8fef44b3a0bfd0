#include "app/Application.h"
#include "cli/CommandLine.h"
#include "platform/ui/EventTarget.h"

#include <QApplication>
#include <QCoreApplication>

#include <string>
#include <vector>

namespace
{
// The command line needs no display: a QCoreApplication loads no platform plugin.
int RunCommandLine(int argc, char** argv, const std::vector<std::string>& asArguments)
{
    QCoreApplication qtApplication(argc, argv);
    return CCommandLine().Run(asArguments);
}
} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> asArguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (CCommandLine::IsCommandLine(asArguments))
        return RunCommandLine(argc, argv, asArguments);

    QApplication qtApplication(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillmark.Quillmark"));
    QuitOnTerminationSignals();

    g_pApplication = new CApplication;
    g_pApplication->m_asStartFiles = asArguments;
    const int iResult = g_pApplication->Run();
    if (g_pApplication)
    {
        delete g_pApplication;
        // Qt tears its last widgets down after this; none may reach a deleted application.
        g_pApplication = nullptr;
    }
    return iResult;
}
