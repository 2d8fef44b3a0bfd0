#include "toolkit/SaveDialog.h"

#include "platform/ui/MacEvent.h"
#include "toolkit/FileDialogPlace.h"
#include "toolkit/FileIconProvider.h"
#include "toolkit/Utility.h"

#include <QFileDialog>
#include <QFileInfo>

CSaveDialog::CSaveDialog() : m_ulCreator(FourCharCode("QMRK")), m_ulType(FourCharCode("SysX")) {}

void CSaveDialog::AddFileType(const char* pszDescription, const char* pszExtension)
{
    m_aFileTypes.push_back({pszDescription, pszExtension});
}

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
    QStringList filters;
    for (const tagFileType& type : m_aFileTypes)
        filters << C2CFString(type.description.c_str());
    // The extension of the chosen type, by the filter's place in the list.
    const auto extensionOf = [&](const QString& filter)
    {
        const qsizetype nIndex = filters.indexOf(filter);
        return nIndex < 0 ? QString() : C2CFString(m_aFileTypes[size_t(nIndex)].extension.c_str());
    };
    if (!filters.isEmpty())
    {
        dialog.setNameFilters(filters);
        ShowFileDialogTypes(dialog);
        QObject::connect(&dialog, &QFileDialog::filterSelected,
                         [&](const QString& filter)
                         {
                             const QStringList typed = dialog.selectedFiles();
                             if (typed.isEmpty())
                                 return;
                             const QFileInfo name(typed.first());
                             dialog.selectFile(name.completeBaseName() + extensionOf(filter));
                         });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    RememberFileDialogPlace(dialog, lPreferenceKey);

    // A location the file system cannot take is no answer to hand on.
    QFileInfo chosen(dialog.selectedFiles().first());
    if (!filters.isEmpty() && chosen.suffix().isEmpty())
        chosen.setFile(chosen.filePath() + extensionOf(dialog.selectedNameFilter()));
    // A folder that does not exist is still the user's answer: writing there fails, and
    // the caller tells why, instead of the save passing for a cancel.
    FSRef folder;
    bool bFolder = false;
    FSSpec spec;
    if (FSPathMakeRef(chosen.absolutePath().toLocal8Bit().constData(), &folder, &bFolder) != 0 ||
        !bFolder ||
        FSMakeChildSpec(&folder, chosen.fileName().toLocal8Bit().constData(), &spec) != 0)
    {
        folder.path = chosen.absolutePath().toLocal8Bit().constData();
        spec.folder = folder.path;
        spec.name = chosen.fileName().toLocal8Bit().constData();
    }
    *pFile = spec;
    if (pRef)
        *pRef = folder;
    return true;
}
