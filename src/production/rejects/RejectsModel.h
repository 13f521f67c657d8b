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

    explicit RejectsModel(Prompter &prompter, QObject *parent = nullptr);

    static QString caption(int column);
    void reset(RejectsSheet *sheet);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    // row: the sheet's.
    QString text(int row, int column) const;

    RejectsSheet *m_sheet = nullptr;
};
