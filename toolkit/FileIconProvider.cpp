#include "toolkit/FileIconProvider.h"

#include <QMimeDatabase>

QIcon CFileIconProvider::icon(const QFileInfo& info) const
{
    if (!info.isFile())
        return QFileIconProvider::icon(info);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    return QIcon::fromTheme(type.iconName(), QFileIconProvider::icon(QFileIconProvider::File));
}

QString CFileIconProvider::type(const QFileInfo& info) const
{
    if (!info.isFile())
        return QFileIconProvider::type(info);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    return type.comment().isEmpty() ? type.name() : type.comment();
}
