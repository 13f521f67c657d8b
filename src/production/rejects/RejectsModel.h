#pragma once

#include "production/record/JobLineColumns.h"
#include "production/record/SheetEntryModel.h"

#include "foundation/RejectReasons.h"

class RejectsSheet;

// The rejects grid: the production lines of the date-shift, their computed rejects, what is left
// to assign, and the ten reason cells that are typed. Rows are the sheet's lines followed by Job
// ID: a re-read keeps every row where the view has it.
class RejectsModel : public SheetEntryModel, public JobLineColumns
{
    Q_OBJECT

public:
    enum Column {
        RejectsColumn = FirstOwnColumn,
        TotalLeftColumn,
        FirstReasonColumn,
        ColumnCount = FirstReasonColumn + RejectReasons::kCount
    };

    explicit RejectsModel(Prompter &prompter, QObject *parent = nullptr)
        : SheetEntryModel(prompter, ColumnCount, parent)
    {
    }

    static QString caption(int column);
    void reset(RejectsSheet *sheet);
    // The sheet read its lines again: rows come, go and change in place.
    void follow();

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    // row: the sheet's.
    QString text(int row, int column) const;
    // The sheet's row of the model's row; -1 while it is gone.
    int sheetRow(int row) const;

    RejectsSheet *m_sheet = nullptr;
};
