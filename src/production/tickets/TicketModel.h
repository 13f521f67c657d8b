#pragma once

#include "TicketKind.h"
#include "TicketSheet.h"
#include "production/record/ColumnTable.h"
#include "production/record/SheetEntryModel.h"

// The ticket grid of the transfer and hold windows: "Job ID", the ticket number, the quantity
// and, for holds, "Hold Remaining". Number and quantity are typed; the rest is shown. Rows are
// the sheet's tickets followed by id: a re-read keeps every row where the view has it.
class TicketModel : public SheetEntryModel
{
    Q_OBJECT

public:
    enum Column { JobIdColumn, NumberColumn, QuantityColumn, RemainingColumn };

    TicketModel(const TicketKind &kind, Prompter &prompter, QObject *parent = nullptr);

    // The sheet whose tickets are shown; null shows none.
    void reset(TicketSheet *sheet);
    // The column with this caption, or -1.
    int columnOf(const QString &caption) const { return m_columns.indexOf(caption); }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    ColumnTable<Ticket> m_columns;
    TicketSheet *m_sheet = nullptr;
};
