#pragma once

#include <QAbstractTableModel>

class TicketSheet;

// The line grid of the ticket windows: the date-shift's job lines, read-only.
class ShiftLinesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { JobIdColumn, MachineColumn, JobNumberColumn, DescriptionColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // The sheet whose lines are shown; null shows none.
    void reset(const TicketSheet *sheet);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const TicketSheet *m_sheet = nullptr;
};
