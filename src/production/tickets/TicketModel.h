#pragma once

#include "TicketKind.h"
#include "production/record/SheetEntryModel.h"

class TicketSheet;

// The ticket grid of the transfer and hold windows: "Job ID", the ticket number, the quantity
// and, for holds, "Hold Remaining". Number and quantity are typed; the rest is shown.
class TicketModel : public SheetEntryModel
{
    Q_OBJECT

public:
    enum Column { JobIdColumn, NumberColumn, QuantityColumn, RemainingColumn };

    TicketModel(const TicketKind &kind, Prompter &prompter, QObject *parent = nullptr);

    // The sheet whose tickets are shown; null shows none.
    void reset(TicketSheet *sheet);
    // The column with this caption, or -1.
    int columnOf(const QString &caption) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    QString text(const QVariant &value) const;

    TicketKind m_kind;
    TicketSheet *m_sheet = nullptr;
};
