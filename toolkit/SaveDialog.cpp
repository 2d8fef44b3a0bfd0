#include "toolkit/SaveDialog.h"

#include "platform/ui/MacEvent.h"
#include "toolkit/FileDialogPlace.h"
#include "toolkit/FileIconProvider.h"
#include "toolkit/Utility.h"

#include <QFileDialog>
#include <QFileInfo>


CSaveDialog::CSaveDialog() : m_ulCreator(FourCharCode("QMRK")), m_ulType(FourCharCode("SysX")) {}

bool CSaveDialog::Execute(long lPreferenceKey, const char* pszTitle, const char* pszDefaultName,
                          FSSpec* pFile, FSRef* pRef)
{
    if (!CanShowFileDialog())
        return false;
    CFileIconProvider icons; // outlives the dialog, which does not own it
    QFileDialog dialog;
    PrepareFileDialog(dialog, lPreferenceKey, icons);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowTitle(C2CFString(pszTitle));
    dialog.selectFile(C2CFString(pszDefaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    RememberFileDialogPlace(dialog, lPreferenceKey);

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
