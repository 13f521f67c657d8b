#pragma once

#include "production/record/SheetEntryModel.h"

#include "foundation/RejectReasons.h"

class RejectsSheet;

// The rejects grid: the production lines of the date-shift, their computed rejects, what is left
// to assign, and the ten reason cells that are typed.
class RejectsModel : public SheetEntryModel
{
    Q_OBJECT

public:
    enum Column {
        JobIdColumn,
        DateColumn,
        ShiftColumn,
        MachineColumn,
        JobNumberColumn,
        DescriptionColumn,
        RejectsColumn,
        TotalLeftColumn,
        FirstReasonColumn,
        ColumnCount = FirstReasonColumn + RejectReasons::kCount
    };

    using SheetEntryModel::SheetEntryModel;

    static QString caption(int column);
    void reset(RejectsSheet *sheet);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    QString text(int row, int column) const;

    RejectsSheet *m_sheet = nullptr;
};
