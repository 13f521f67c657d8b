#pragma once

#include "DispositionSheet.h"
#include "production/record/ColumnTable.h"
#include "production/record/SheetEntryModel.h"

// The distribution grid of the disposition window. The receiving line is picked in the
// "Date/Shift Reworked" column (its "To Job ID" follows), the quantities are typed, the reason
// is picked from the reason list. Rows are the sheet's distribution rows followed by id.
class DistributionModel : public SheetEntryModel
{
    Q_OBJECT

public:
    enum Column {
        JobIdColumn,
        ToJobIdColumn,
        TicketNumberColumn,
        ReworkedIntoColumn,
        ReworkedColumn,
        RejectsColumn,
        ReasonColumn,
        TicketIdColumn,
        ColumnCount
    };
    // The receiving line's Job ID (0 for none) and the reason number, for the editors.
    static constexpr int ValueRole = Qt::UserRole + 1;

    DistributionModel(Prompter &prompter, QObject *parent = nullptr);

    int columnOf(const QString &caption) const { return m_columns.indexOf(caption); }
    void reset(DispositionSheet *sheet);
    DispositionSheet *sheet() const { return m_sheet; }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // A reason was refused: the reason cell is to be picked again.
    void reasonRefused(const QModelIndex &index);

private:
    ColumnTable<Distribution> m_columns;
    DispositionSheet *m_sheet = nullptr;
};
