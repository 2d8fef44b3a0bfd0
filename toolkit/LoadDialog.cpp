#include "toolkit/LoadDialog.h"

#include "file/LumFile.h"
#include "toolkit/FileDialogPlace.h"
#include "toolkit/FileIconProvider.h"
#include "toolkit/Utility.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

namespace
{
// Files stored by one Execute, whatever the caller's limit.
constexpr long kMaxStoredFiles = 12;

// Shows what FilterProc lets through, or every file once the user chose to see all.
class CLoadFilter : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void ShowAll(bool bAll)
    {
        m_bAll = bAll;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int nRow, const QModelIndex& parent) const override
    {
        auto* pModel = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!pModel || m_bAll)
            return true;
        const QString path = pModel->filePath(pModel->index(nRow, 0, parent));
        return CLoadDialog::FilterProc(path.toLocal8Bit().constData());
    }

private:
    bool m_bAll = false;
};
} // namespace

CLoadDialog::CLoadDialog() : m_lMaxFiles(100) {}

bool CLoadDialog::FilterProc(const char* pszPath)
{
    FSSpec spec;
    bool bFolder = false;
    if (FSPathMakeFSSpec(pszPath, &spec, &bFolder) != 0)
        return false;
    if (bFolder)
        return true;
    char szName[256];
    GetFSSpecFileName(szName, spec, sizeof(szName));
    char szExtension[256] = "";
    if (!CLumFile::GetExtension(szName, szExtension, sizeof(szExtension)))
        return false;
    return CompareExtension(szExtension, ".syx") || CompareExtension(szExtension, ".msy") ||
           CompareExtension(szExtension, ".mid") || CompareExtension(szExtension, ".midi");
}

bool CLoadDialog::Execute(long lPreferenceKey, FSSpec* pFiles, unsigned long* pTypes, long* plCount)
{
    if (!CanShowFileDialog())
        return false;
    CFileIconProvider icons; // outlives the dialog, which does not own it
    QFileDialog dialog;
    PrepareFileDialog(dialog, lPreferenceKey, icons);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The proxy decides what shows; the pop-up only switches it between the files the
    // program sends and all files.
    auto* pFilter = new CLoadFilter(&dialog);
    dialog.setProxyModel(pFilter);
    const QString sendable = C2CFString(GetResourceString("Sendable Files"));
    const QString all = C2CFString(GetResourceString("All Files"));
    dialog.setNameFilters({sendable, all});
    QObject::connect(&dialog, &QFileDialog::filterSelected,
                     [pFilter, all](const QString& filter) { pFilter->ShowAll(filter == all); });
    ShowFileDialogTypes(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    RememberFileDialogPlace(dialog, lPreferenceKey);

    long lLookedAt = 0;
    long lStored = 0;
    const QStringList chosen = dialog.selectedFiles();
    for (const QString& path : chosen)
    {
        if (lLookedAt >= m_lMaxFiles || lStored >= kMaxStoredFiles)
            break;
        ++lLookedAt;
        FSSpec spec;
        if (FSPathMakeFSSpec(path.toLocal8Bit().constData(), &spec, nullptr) != 0)
            continue;
        FInfo info;
        pFiles[lStored] = spec;
        pTypes[lStored] = FSpGetFInfo(&spec, &info) == 0 ? info.fdType : 0;
        ++lStored;
    }
    *plCount = lStored;
    return true;
}
