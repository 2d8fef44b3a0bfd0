#include "platform/ui/Nib.h"

#include "platform/bundle/ResourceFolder.h"
#include "platform/ui/CommandBinding.h"
#include "platform/ui/EventTarget.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QPointer>
#include <QThread>
#include <QUiLoader>

#include <cstring>

struct OpaqueIBNibRef
{
    QString folder;
};

namespace
{
QPointer<QMenuBar> sg_pMenuBar;

// A menu bar no window has taken goes before the QApplication, as widgets must.
void DeleteLooseMenuBar()
{
    if (sg_pMenuBar && !sg_pMenuBar->parent())
        delete sg_pMenuBar.data();
}

bool OnGuiThread()
{
    auto* pApplication = qobject_cast<QApplication*>(QCoreApplication::instance());
    return pApplication && QThread::currentThread() == pApplication->thread();
}
} // namespace

OSStatus CreateNibReference(const char* pszName, IBNibRef* pOutRef)
{
    if (!pOutRef)
        return eventInternalErr;
    *pOutRef = nullptr;
    if (!pszName || !*pszName)
        return kIBCarbonRuntimeCantFindNibFile;
    const QString folder =
        QString::fromStdString(GetResourceFolder()) + '/' + QString::fromLocal8Bit(pszName);
    if (!QFileInfo(folder).isDir())
        return kIBCarbonRuntimeCantFindNibFile;
    *pOutRef = new OpaqueIBNibRef{folder};
    return noErr;
}

void DisposeNibReference(IBNibRef pRef)
{
    delete pRef;
}

OSStatus CreateWindowFromNib(IBNibRef pRef, const char* pszName, QWidget** pOutWindow,
                             QWidget* pParent)
{
    if (!pOutWindow)
        return eventInternalErr;
    *pOutWindow = nullptr;
    if (!pRef || !pszName || !*pszName || strchr(pszName, '/'))
        return kIBCarbonRuntimeCantFindObject;
    // Widgets exist only on the GUI thread of a QApplication.
    if (!OnGuiThread())
        return kIBCarbonRuntimeCantFindObject;
    QFile file(pRef->folder + '/' + QString::fromLocal8Bit(pszName) + ".ui");
    if (!file.open(QIODevice::ReadOnly))
        return kIBCarbonRuntimeCantFindObject;
    QUiLoader loader;
    loader.setWorkingDirectory(QDir(pRef->folder));
    QWidget* pWindow = loader.load(&file, pParent);
    if (!pWindow)
        return kIBCarbonRuntimeCantFindObject;
    *pOutWindow = pWindow;
    return noErr;
}

OSStatus SetMenuBarFromNib(IBNibRef pRef, const char* pszName)
{
    QWidget* pWidget = nullptr;
    OSStatus status = CreateWindowFromNib(pRef, pszName, &pWidget);
    if (status != noErr)
        return status;
    auto* pMenuBar = qobject_cast<QMenuBar*>(pWidget);
    if (!pMenuBar)
    {
        delete pWidget;
        return kIBCarbonRuntimeCantFindObject;
    }
    static const bool bCleanupRegistered = (qAddPostRoutine(&DeleteLooseMenuBar), true);
    (void)bCleanupRegistered;

    // The quit item also answers to the desktop's own quit keys.
    for (QAction* pAction : pMenuBar->findChildren<QAction*>())
    {
        if (GetCommandProperty(pAction) != kHICommandQuit)
            continue;
        QList<QKeySequence> keys = pAction->shortcuts();
        for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Quit))
        {
            if (!keys.contains(key))
                keys.append(key);
        }
        pAction->setShortcuts(keys);
    }

    DeleteLooseMenuBar();
    sg_pMenuBar = pMenuBar;
    ConnectCommands(pMenuBar, [](uint32_t uiCommandID) { ProcessHICommand(uiCommandID); });
    return noErr;
}

QMenuBar* GetApplicationMenuBar()
{
    return sg_pMenuBar.data();
}
