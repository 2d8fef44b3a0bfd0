#pragma once

#include <QFileIconProvider>

// Icons and type names for the file dialogs, taken from a file's name only. Qt's own
// provider reads a file's first bytes to guess its type, which blocks on files that
// never end (/proc/kmsg and the like) and makes the dialog hang.
class CFileIconProvider : public QFileIconProvider
{
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;
};
