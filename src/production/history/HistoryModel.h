#pragma once

#include "production/record/ColumnTable.h"
#include "production/record/LineHistory.h"

#include <QAbstractTableModel>

// The grid of the History window: one row per changed field, newest first. Nothing is typed.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { WhenColumn, WhoColumn, RecordColumn, ActionColumn, FieldColumn, ChangeColumn };

    explicit HistoryModel(QObject *parent = nullptr);

    // The history shown; null shows none.
    void reset(const LineHistory *history);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    ColumnTable<HistoryEntry> m_columns;
    const LineHistory *m_history = nullptr;
};
