#pragma once

#include "CountsSheet.h"
#include "production/record/JobLineColumns.h"

#include "widgets/EntryModel.h"

#include <functional>
#include <optional>

// The counts grid: the fourteen columns of a date-shift's lines, the figures computed in memory
// from the sheet (nothing is read from the database while the grid paints), and the entry of
// the three counter readings. Rows are the sheet's lines followed by Job ID: a re-read keeps
// every row where the view has it.
class ProductionCountsModel : public EntryModel, public JobLineColumns
{
    Q_OBJECT

public:
    enum Column {
        BeginningColumn = FirstOwnColumn,
        TransfersColumn,
        EndingColumn,
        NetFinishedGoodsColumn,
        ToHoldColumn,
        FromReworkColumn,
        MattecColumn,
        RejectsColumn,
        ColumnCount
    };

    ProductionCountsModel(CountsSheet &sheet, Prompter &prompter, QObject *parent = nullptr);

    static QString caption(int column);
    // The column with this caption, or -1.
    int columnOf(const QString &caption) const;
    static std::optional<CountField> fieldOf(int column);

    // The sheet's lines were replaced; store writes the entries.
    void reset(JobLines *store);
    // The sheet's lines were read again: rows come, go and change in place.
    void follow();
    // The sheet's line shown in the row; -1 while it is gone.
    int sheetRow(int row) const;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // A non-negative ending count was stored: the counts are to be posted to the next shift.
    void endCountEntered();
    // An entry was refused with a message; the cell keeps its stored value.
    void entryRefused();

private:
    // row: the sheet's.
    QString displayText(int row, int column) const;
    bool isNegativeStyled(int row, int column) const;
    // The reading a cell was filled from: an Ending Count read from a machine.
    const MachineCount *machineReadingAt(int row, int column) const;

    CountsSheet &m_sheet;
    JobLines *m_store = nullptr;
};
