#include "app/Application.h"
#include "platform/ui/EventTarget.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qtApplication(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillmark.Quillmark"));
    QuitOnTerminationSignals();

    g_pApplication = new CApplication;
    const int iResult = g_pApplication->Run();
    if (g_pApplication)
    {
        delete g_pApplication;
        // Qt tears its last widgets down after this; none may reach a deleted application.
        g_pApplication = nullptr;
    }
    return iResult;
}
