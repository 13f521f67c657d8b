#include "TicketModel.h"

#include "TicketSheet.h"
#include "production/record/QuantityFormat.h"

TicketModel::TicketModel(const TicketKind &kind, Prompter &prompter, QObject *parent)
    : SheetEntryModel(prompter, parent), m_kind(kind)
{
}

void TicketModel::reset(TicketSheet *sheet)
{
    beginResetModel();
    m_sheet = sheet;
    endResetModel();
}

int TicketModel::columnOf(const QString &caption) const
{
    for (int column = 0; column < columnCount(); ++column) {
        if (headerData(column, Qt::Horizontal).toString() == caption)
            return column;
    }
    return -1;
}

int TicketModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_sheet ? 0 : m_sheet->ticketCount();
}

int TicketModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_kind.hasRemaining ? 4 : 3;
}

QString TicketModel::text(const QVariant &value) const
{
    return value.isNull() ? QString() : QuantityFormat::grouped(value.toLongLong(), false);
}

QVariant TicketModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Ticket &ticket = m_sheet->ticket(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
        case JobIdColumn:
            return QString::number(ticket.jobId);
        case NumberColumn:
            return ticket.number.isNull() ? QString() : ticket.number.toString();
        case QuantityColumn:
            if (role == Qt::EditRole)
                return ticket.quantity.isNull() ? QString() : ticket.quantity.toString();
            return text(ticket.quantity);
        case RemainingColumn:
            return text(ticket.remaining);
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TicketModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        const TicketKind &kind = m_kind;
        const QStringList captions{QStringLiteral("Job ID"), kind.numberField, kind.quantityField,
                                   QStringLiteral("Hold Remaining")};
        return captions.value(section);
    }
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return QString();
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TicketModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (m_sheet && m_sheet->editable() &&
        (index.column() == NumberColumn || index.column() == QuantityColumn))
        result |= Qt::ItemIsEditable;
    return result;
}

bool TicketModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || prompting() || !m_sheet)
        return false;
    const QString typed = value.toString();
    const qint64 id = m_sheet->ticket(index.row()).id;
    const int before = rowCount();
    const EntryResult result = index.column() == NumberColumn ? m_sheet->setNumber(index.row(), typed)
                                                              : m_sheet->setQuantity(index.row(), typed);
    // The sheet read its tickets again: the rows are redrawn, the ticket keeps its place.
    if (rowCount() == before && before > 0) {
        emit dataChanged(this->index(0, 0), this->index(before - 1, columnCount() - 1));
    } else {
        beginResetModel();
        endResetModel();
    }
    const int row = m_sheet->rowOfTicket(id);
    return settle(row < 0 ? QModelIndex() : this->index(row, index.column()), typed, result);
}
