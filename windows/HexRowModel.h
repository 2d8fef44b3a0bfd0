#pragma once

#include <QAbstractListModel>

#include <cstddef>

// The bytes of one message as hex rows (CHexRow: offset in the dump, 16 bytes, ASCII),
// each made when the view shows it, so a long message costs nothing until scrolled to.
class CHexRowModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit CHexRowModel(QObject* pParent = nullptr);

    // The bytes must stay until the next SetBytes; null or 0 shows nothing.
    void SetBytes(const unsigned char* pBytes, size_t nLength, size_t nOffset);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int iRole = Qt::DisplayRole) const override;

private:
    const unsigned char* m_pBytes;
    size_t m_nLength;
    size_t m_nOffset;
};
