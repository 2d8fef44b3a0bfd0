#include "windows/SysExMessageModel.h"

#include "file/MidiManufacturer.h"
#include "file/SysExChecksum.h"
#include "file/SysExDumpIndex.h"
#include "toolkit/Utility.h"

#include <QBrush>
#include <QColor>

#include <algorithm>
#include <climits>

namespace
{
constexpr unsigned char kSysExEnd = 0xF7;

QString ResourceText(const char* pszKey)
{
    return QString::fromLocal8Bit(GetResourceString(pszKey));
}
} // namespace

CSysExMessageModel::CSysExMessageModel(const CSysExDumpIndex& index, QObject* pParent)
    : QAbstractTableModel(pParent), m_index(index)
{
    static const char* const kHeaderKeys[kColumnCount] = {
        "MessageColumnNumber", "MessageColumnManufacturer", "MessageColumnDevice",
        "MessageColumnLength", "MessageColumnData",         "MessageColumnChecksum",
    };
    for (int i = 0; i < kColumnCount; ++i)
        m_asHeaders[i] = ResourceText(kHeaderKeys[i]);
    m_sGood = ResourceText("ChecksumOK");
    m_sBad = ResourceText("ChecksumBad");
    m_sNone = ResourceText("ChecksumNone");
    m_sUnterminated = ResourceText("ChecksumUnterminated");
}

int CSysExMessageModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(std::min<size_t>(m_index.GetMessageCount(), INT_MAX));
}

int CSysExMessageModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CSysExMessageModel::headerData(int iSection, Qt::Orientation orientation, int iRole) const
{
    if (orientation != Qt::Horizontal || iRole != Qt::DisplayRole || iSection < 0 ||
        iSection >= kColumnCount)
        return QVariant();
    return m_asHeaders[iSection];
}

QVariant CSysExMessageModel::data(const QModelIndex& index, int iRole) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    switch (iRole)
    {
    case Qt::DisplayRole:
        return Text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        if (index.column() == kNumber || index.column() == kLength)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    case Qt::ForegroundRole:
    {
        const size_t nRow = size_t(index.row());
        if (index.column() == kChecksum &&
            CSysExChecksum::Check(m_index.GetMessageBytes(nRow),
                                  m_index.GetMessage(nRow).nLength) == CSysExChecksum::kBad)
            return QBrush(QColor(Qt::red));
        return QVariant();
    }
    default:
        return QVariant();
    }
}

QString CSysExMessageModel::Text(int iRow, int iColumn) const
{
    const size_t nRow = size_t(iRow);
    const unsigned char* pBytes = m_index.GetMessageBytes(nRow);
    const size_t nLength = m_index.GetMessage(nRow).nLength;
    switch (iColumn)
    {
    case kNumber:
        return QString::number(qulonglong(nRow) + 1);
    case kManufacturer:
    {
        char szText[128];
        CMidiManufacturer::Format(CMidiManufacturer::Identify(pBytes, nLength), szText,
                                  sizeof(szText));
        return QString::fromLatin1(szText);
    }
    case kDevice:
    {
        const int iDevice = CMidiManufacturer::Identify(pBytes, nLength).iDeviceID;
        return iDevice < 0 ? QString() : QString::asprintf("%02X", unsigned(iDevice));
    }
    case kLength:
        return QString::number(qulonglong(nLength));
    case kData:
    {
        const size_t nStart = CMidiManufacturer::Identify(pBytes, nLength).nDataStart;
        size_t nEnd = nLength;
        if (nEnd > nStart && pBytes[nEnd - 1] == kSysExEnd)
            --nEnd;
        nEnd = std::min(nEnd, nStart + sm_nDataBytesShown);
        QString sText;
        for (size_t i = nStart; i < nEnd; ++i)
            sText += QString::asprintf(i == nStart ? "%02X" : " %02X", unsigned(pBytes[i]));
        return sText;
    }
    case kChecksum:
        if (m_index.IsUnterminated(nRow))
            return m_sUnterminated;
        switch (CSysExChecksum::Check(pBytes, nLength))
        {
        case CSysExChecksum::kGood:
            return m_sGood;
        case CSysExChecksum::kBad:
            return m_sBad;
        case CSysExChecksum::kNone:
            return m_sNone;
        }
        return m_sNone;
    default:
        return QString();
    }
}
