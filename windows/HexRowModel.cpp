#include "windows/HexRowModel.h"

#include "file/HexRow.h"

#include <algorithm>
#include <climits>

CHexRowModel::CHexRowModel(QObject* pParent)
    : QAbstractListModel(pParent), m_pBytes(nullptr), m_nLength(0), m_nOffset(0)
{
}

void CHexRowModel::SetBytes(const unsigned char* pBytes, size_t nLength, size_t nOffset)
{
    beginResetModel();
    m_pBytes = pBytes;
    m_nLength = pBytes ? nLength : 0;
    m_nOffset = nOffset;
    endResetModel();
}

int CHexRowModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(std::min<size_t>(CHexRow::RowCount(m_nLength), INT_MAX));
}

QVariant CHexRowModel::data(const QModelIndex& index, int iRole) const
{
    if (iRole != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return QVariant();
    char szRow[CHexRow::sm_nRowSize];
    CHexRow::Format(m_pBytes, m_nLength, m_nOffset, size_t(index.row()), szRow, sizeof(szRow));
    return QString::fromLatin1(szRow);
}
