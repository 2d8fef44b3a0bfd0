#pragma once

#include <QAbstractTableModel>
#include <QString>

class CSysExDumpIndex;

// The messages of a dump as rows of a table: number, manufacturer, device ID, length,
// the first data bytes and the checksum (OK / BAD / –). A row's texts are worked out
// when the view asks for them, so a dump of 132,000 messages opens at once and only the
// rows on screen cost anything.
class CSysExMessageModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        kNumber,
        kManufacturer,
        kDevice,
        kLength,
        kData,
        kChecksum,
        kColumnCount,
    };
    // How many data bytes the data column shows.
    static constexpr size_t sm_nDataBytesShown = 8;

    // The index and its bytes must outlive the model.
    explicit CSysExMessageModel(const CSysExDumpIndex& index, QObject* pParent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int iRole = Qt::DisplayRole) const override;
    QVariant headerData(int iSection, Qt::Orientation orientation,
                        int iRole = Qt::DisplayRole) const override;

private:
    QString Text(int iRow, int iColumn) const;

    const CSysExDumpIndex& m_index;
    QString m_asHeaders[kColumnCount];
    QString m_sGood;
    QString m_sBad;
    QString m_sNone;
    QString m_sUnterminated;
};
