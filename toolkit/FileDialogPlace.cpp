#include "toolkit/FileDialogPlace.h"

#include "app/Preference.h"
#include "app/PreferenceKeys.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QThread>

#include <string>

namespace
{
constexpr const char* kTypeWidgets[] = {"fileTypeCombo", "fileTypeLabel"};

std::string PlaceKey(long lPreferenceKey)
{
    std::string sKey = std::string(PreferenceKeys::kFileDialogFolders) + "/";
    for (int nShift = 24; nShift >= 0; nShift -= 8)
    {
        const char c = char((unsigned long)(lPreferenceKey) >> nShift & 0xFF);
        // The store takes slashes as group separators.
        sKey += c > ' ' && c < 0x7F && c != '/' && c != '\\' ? c : '_';
    }
    return sKey;
}

} // namespace

bool CanShowFileDialog()
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    auto* pApplication = qobject_cast<QApplication*>(QCoreApplication::instance());
    return pApplication && QThread::currentThread() == pApplication->thread();
}

void PrepareFileDialog(QFileDialog& dialog, long lPreferenceKey, QFileIconProvider& icons)
{
    cPreference store;
    store.SetAppName(PreferenceKeys::kPreferenceApp);
    char szFolder[cPreference::sm_nStringCapacity];
    store.ReadString(PlaceKey(lPreferenceKey).c_str(), szFolder, "");
    const QString folder = QString::fromLocal8Bit(szFolder);
    dialog.setDirectory(!folder.isEmpty() && QFileInfo(folder).isDir() ? folder
                                                                       : QDir::homePath());
    dialog.setIconProvider(&icons);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    for (const char* pszName : kTypeWidgets)
        if (auto* pWidget = dialog.findChild<QWidget*>(pszName))
            pWidget->hide();
    dialog.setWindowModality(Qt::ApplicationModal);
}

void RememberFileDialogPlace(const QFileDialog& dialog, long lPreferenceKey)
{
    const QStringList chosen = dialog.selectedFiles();
    const QString folder =
        chosen.isEmpty() ? dialog.directory().absolutePath() : QFileInfo(chosen.first()).absolutePath();
    cPreference store;
    store.SetAppName(PreferenceKeys::kPreferenceApp);
    if (QFileInfo(folder).isDir())
        store.WriteString(PlaceKey(lPreferenceKey).c_str(), folder.toLocal8Bit().constData());
}

void ShowFileDialogTypes(QFileDialog& dialog)
{
    for (const char* pszName : kTypeWidgets)
        if (auto* pWidget = dialog.findChild<QWidget*>(pszName))
            pWidget->show();
}
