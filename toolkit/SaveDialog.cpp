#include "toolkit/SaveDialog.h"

#include "platform/ui/MacEvent.h"
#include "toolkit/FileIconProvider.h"
#include "toolkit/Utility.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QThread>

#include <map>

namespace
{
std::map<long, QString> sg_places;
} // namespace

CSaveDialog::CSaveDialog() : m_ulCreator(FourCharCode("QMRK")), m_ulType(FourCharCode("SysX")) {}

bool CSaveDialog::Execute(long lPreferenceKey, const char* pszTitle, const char* pszDefaultName,
                          FSSpec* pFile, FSRef* pRef)
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    auto* pApplication = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!pApplication || QThread::currentThread() != pApplication->thread())
        return false;

    // Where this key's dialog was left, else the home folder; never Qt's own memory of
    // the last folder, which may be long gone.
    auto place = sg_places.find(lPreferenceKey);
    const QString startFolder = place != sg_places.end() ? place->second : QDir::homePath();
    CFileIconProvider icons; // outlives the dialog, which does not own it
    QFileDialog dialog(nullptr, QString(), startFolder);
    dialog.setIconProvider(&icons);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowTitle(C2CFString(pszTitle));
    for (const char* pszName : {"fileTypeCombo", "fileTypeLabel"})
        if (auto* pWidget = dialog.findChild<QWidget*>(pszName))
            pWidget->hide();
    dialog.selectFile(C2CFString(pszDefaultName));
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    sg_places[lPreferenceKey] = dialog.directory().absolutePath();

    // A location the file system cannot take is no answer to hand on.
    const QFileInfo chosen(dialog.selectedFiles().first());
    FSRef folder;
    bool bFolder = false;
    FSSpec spec;
    if (FSPathMakeRef(chosen.absolutePath().toLocal8Bit().constData(), &folder, &bFolder) != 0 ||
        !bFolder ||
        FSMakeChildSpec(&folder, chosen.fileName().toLocal8Bit().constData(), &spec) != 0)
        return false;
    *pFile = spec;
    if (pRef)
        *pRef = folder;
    return true;
}
