#include "toolkit/FileDialogPlace.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QThread>

#include <map>

namespace
{
std::map<long, QString> sg_places;
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
    auto place = sg_places.find(lPreferenceKey);
    dialog.setDirectory(place != sg_places.end() ? place->second : QDir::homePath());
    dialog.setIconProvider(&icons);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    for (const char* pszName : {"fileTypeCombo", "fileTypeLabel"})
        if (auto* pWidget = dialog.findChild<QWidget*>(pszName))
            pWidget->hide();
    dialog.setWindowModality(Qt::ApplicationModal);
}

void RememberFileDialogPlace(const QFileDialog& dialog, long lPreferenceKey)
{
    sg_places[lPreferenceKey] = dialog.directory().absolutePath();
}
