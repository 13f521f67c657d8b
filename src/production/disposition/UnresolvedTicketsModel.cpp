#include "UnresolvedTicketsModel.h"

#include "DispositionSheet.h"
#include "production/record/GridStyles.h"
#include "production/record/QuantityFormat.h"

#include "foundation/DateShift.h"
#include "foundation/RejectReasons.h"

#include <QBrush>

namespace {
enum Column {
    DateColumn,
    ShiftColumn,
    MachineColumn,
    JobIdColumn,
    TicketIdColumn,
    JobNumberColumn,
    DescriptionColumn,
    TicketNumberColumn,
    QuantityColumn,
    RemainingColumn,
    ProtectedColumn,
    FirstReasonColumn
};
} // namespace

QStringList UnresolvedTicketsModel::captions()
{
    QStringList result{QStringLiteral("Date"),
                       QStringLiteral("Shift"),
                       QStringLiteral("Machine No."),
                       QStringLiteral("Job ID"),
                       QStringLiteral("Hold Ticket ID"),
                       QStringLiteral("Job Number"),
                       QStringLiteral("Job Description"),
                       QStringLiteral("Hold Ticket Number"),
                       QStringLiteral("Hold Quantity"),
                       QStringLiteral("Hold Remaining"),
                       QStringLiteral("Protected Record")};
    for (int reason = 1; reason <= RejectReasons::kCount; ++reason)
        result << RejectReasons::field(reason);
    return result;
}

void UnresolvedTicketsModel::reset(DispositionSheet *sheet)
{
    beginResetModel();
    m_sheet = sheet;
    m_stopped = false;
    endResetModel();
}

void UnresolvedTicketsModel::ticketChanged(int row)
{
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int UnresolvedTicketsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_sheet ? 0 : m_sheet->ticketCount();
}

bool UnresolvedTicketsModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_sheet && !m_stopped && m_sheet->canFetchMore();
}

void UnresolvedTicketsModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    QList<UnresolvedTicket> page;
    if (!m_run([&] { page = m_sheet->readNextPage(); })) {
        m_stopped = true;
        return;
    }
    if (page.isEmpty())
        return;
    beginInsertRows({}, rowCount(), rowCount() + int(page.size()) - 1);
    m_sheet->addTickets(std::move(page));
    endInsertRows();
}

int UnresolvedTicketsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(captions().size());
}

QString UnresolvedTicketsModel::text(int row, int column) const
{
    const UnresolvedTicket &ticket = m_sheet->ticket(row);
    switch (column) {
    case DateColumn:
        return shortDateText(ticket.date);
    case ShiftColumn:
        return QString::number(ticket.shift);
    case MachineColumn:
        return ticket.machineNumber.isNull() ? QString() : ticket.machineNumber.toString();
    case JobIdColumn:
        return QString::number(ticket.jobId);
    case TicketIdColumn:
        return QString::number(ticket.ticketId);
    case JobNumberColumn:
        return ticket.jobNumber;
    case DescriptionColumn:
        return ticket.jobDescription;
    case TicketNumberColumn:
        return ticket.ticketNumber.isNull() ? QString() : ticket.ticketNumber.toString();
    case QuantityColumn:
        return QuantityFormat::grouped(ticket.quantity, false);
    case RemainingColumn:
        return QuantityFormat::grouped(ticket.remaining, false);
    case ProtectedColumn:
        return ticket.protectedRecord ? QStringLiteral("Yes") : QStringLiteral("No");
    default:
        return QString::number(ticket.reasons[size_t(column - FirstReasonColumn)]);
    }
}

QVariant UnresolvedTicketsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row(), column = index.column();
    if (role == Qt::DisplayRole)
        return text(row, column);
    const bool remaining = column == RemainingColumn;
    return GridStyles::look(role,
                            {column == JobNumberColumn || column == DescriptionColumn, remaining, false,
                             m_sheet->ticket(row).protectedRecord},
                            remaining ? text(row, column) : QString());
}

QVariant UnresolvedTicketsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return captions().value(section);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return QString();
    return QAbstractTableModel::headerData(section, orientation, role);
}
