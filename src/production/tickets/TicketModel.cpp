#include "TicketModel.h"

namespace {
ColumnTable<Ticket> ticketColumns(const TicketKind &kind)
{
    using C = ColumnTable<Ticket>::Column;
    const Qt::Alignment right = Qt::AlignRight;
    QList<C> columns{
        {QStringLiteral("Job ID"), QStringLiteral("Job ID"), right, false, ColumnFormat::Plain,
         [](const Ticket &t) { return QVariant(t.jobId); }},
        {kind.numberField, kind.numberField, right, true, ColumnFormat::Plain,
         [](const Ticket &t) { return t.number; }},
        {kind.quantityField, kind.quantityField, right, true, ColumnFormat::Grouped,
         [](const Ticket &t) { return t.quantity; }},
    };
    if (kind.hasRemaining) {
        columns.append({QStringLiteral("Hold Remaining"), QStringLiteral("Hold Remaining"), right, false,
                        ColumnFormat::Grouped, [](const Ticket &t) { return t.remaining; }});
    }
    return ColumnTable<Ticket>(columns);
}
} // namespace

TicketModel::TicketModel(const TicketKind &kind, Prompter &prompter, QObject *parent)
    : SheetEntryModel(prompter, ticketColumns(kind).captions(), parent), m_columns(ticketColumns(kind))
{
}

void TicketModel::reset(TicketSheet *sheet)
{
    showSheet([&] { m_sheet = sheet; }, rowsOf(sheet, &TicketSheet::ticketIds, &TicketSheet::rowOfTicket));
}

QVariant TicketModel::data(const QModelIndex &index, int role) const
{
    const int row = index.isValid() ? sheetRow(index.row()) : -1;
    return row < 0 ? QVariant() : m_columns.data(m_sheet->ticket(row), index.column(), role);
}

Qt::ItemFlags TicketModel::flags(const QModelIndex &index) const
{
    return m_columns.flags(index, m_sheet && m_sheet->editable());
}

bool TicketModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const int row = entryRow(index, role);
    if (row < 0)
        return false;
    const QString typed = value.toString();
    const qint64 id = m_sheet->ticket(row).id;
    const EntryResult result =
        index.column() == NumberColumn ? m_sheet->setNumber(row, typed) : m_sheet->setQuantity(row, typed);
    // A new row stored with this value keeps its place under the id it got.
    const bool storedNew = id == 0 && m_sheet->rowOfTicket(0) < 0;
    const qint64 key = storedNew ? m_sheet->lastStoredNewTicket() : id;
    if (storedNew)
        renameKey(0, key);
    follow();
    const int shown = rowOfKey(key);
    return settle(shown < 0 ? QModelIndex() : this->index(shown, index.column()), typed, result);
}
