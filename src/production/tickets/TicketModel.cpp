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
    : SheetEntryModel(prompter, kind.hasRemaining ? RemainingColumn + 1 : RemainingColumn, parent),
      m_columns(ticketColumns(kind))
{
}

void TicketModel::reset(TicketSheet *sheet)
{
    beginResetModel();
    m_sheet = sheet;
    setKeys(sheet ? sheet->ticketIds() : QList<qint64>());
    endResetModel();
}

void TicketModel::follow()
{
    if (m_sheet)
        followKeys(m_sheet->ticketIds());
}

int TicketModel::sheetRow(int row) const
{
    return m_sheet && row >= 0 && row < keyCount() ? m_sheet->rowOfTicket(keyAt(row)) : -1;
}

QVariant TicketModel::data(const QModelIndex &index, int role) const
{
    const int row = index.isValid() ? sheetRow(index.row()) : -1;
    return row < 0 ? QVariant() : m_columns.data(m_sheet->ticket(row), index.column(), role);
}

QVariant TicketModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const QVariant header = m_columns.header(section, orientation, role);
    return header.isValid() ? header : QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TicketModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return m_columns.flags(index.column(), m_sheet && m_sheet->editable());
}

bool TicketModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || prompting() || !m_sheet)
        return false;
    const int row = sheetRow(index.row());
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
