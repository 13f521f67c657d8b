#include "DistributionModel.h"

#include "DispositionSheet.h"
#include "foundation/RejectReasons.h"
#include "production/record/QuantityFormat.h"

namespace {
QString idText(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString();
}
} // namespace

QString DistributionModel::caption(int column)
{
    static const QStringList captions{QStringLiteral("Job ID"),
                                      QStringLiteral("To Job ID"),
                                      QStringLiteral("Hold Ticket Number"),
                                      QStringLiteral("Date/Shift Reworked"),
                                      QStringLiteral("Reworked Quantity"),
                                      QStringLiteral("Reject Quantity"),
                                      QStringLiteral("Reject Reason"),
                                      QStringLiteral("Hold Ticket ID")};
    return captions.value(column);
}

int DistributionModel::columnOf(const QString &text) const
{
    for (int column = 0; column < ColumnCount; ++column) {
        if (caption(column) == text)
            return column;
    }
    return -1;
}

void DistributionModel::reset(DispositionSheet *sheet)
{
    beginResetModel();
    m_sheet = sheet;
    endResetModel();
}

int DistributionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_sheet ? 0 : m_sheet->distributionCount();
}

int DistributionModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DistributionModel::display(int row, int column) const
{
    const Distribution &d = m_sheet->distribution(row);
    switch (column) {
    case JobIdColumn:
        return idText(d.jobId);
    case ToJobIdColumn:
        return idText(d.toJobId);
    case TicketNumberColumn:
        return idText(d.ticketNumber);
    case ReworkedIntoColumn:
        return d.reworkedInto;
    case ReworkedColumn:
        return QuantityFormat::grouped(d.reworked, true);
    case RejectsColumn:
        return QuantityFormat::grouped(d.rejects, true);
    case ReasonColumn:
        return RejectReasons::names().value(d.reason);
    case TicketIdColumn:
        return m_sheet->selected() ? QString::number(m_sheet->selected()->ticketId) : QString();
    default:
        return {};
    }
}

QVariant DistributionModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Distribution &d = m_sheet->distribution(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return display(index.row(), index.column());
    case Qt::EditRole:
        if (index.column() == ReworkedColumn)
            return QString::number(d.reworked);
        if (index.column() == RejectsColumn)
            return QString::number(d.rejects);
        return display(index.row(), index.column());
    case ValueRole:
        if (index.column() == ReasonColumn)
            return d.reason;
        return d.toJobId.isNull() ? 0 : d.toJobId.toLongLong();
    case Qt::TextAlignmentRole:
        if (index.column() == ReworkedIntoColumn || index.column() == ReasonColumn)
            return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant DistributionModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return caption(section);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return QString();
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags DistributionModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const int column = index.column();
    const bool entry = column == ReworkedIntoColumn || column == ReworkedColumn || column == RejectsColumn ||
                       column == ReasonColumn;
    if (entry && m_sheet && m_sheet->editable())
        result |= Qt::ItemIsEditable;
    return result;
}

bool DistributionModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || prompting() || !m_sheet)
        return false;
    const int row = index.row();
    const int before = rowCount();
    EntryResult result;
    switch (index.column()) {
    case ReworkedIntoColumn:
        result = m_sheet->setReceivingLine(row, value.toLongLong() == 0 ? QVariant() : value);
        break;
    case ReworkedColumn:
        result = m_sheet->setReworked(row, value.toString());
        break;
    case RejectsColumn:
        result = m_sheet->setRejects(row, value.toString());
        break;
    case ReasonColumn:
        result = m_sheet->setReason(row, value.toInt());
        break;
    default:
        return false;
    }
    if (rowCount() == before && before > 0) {
        emit dataChanged(this->index(0, 0), this->index(before - 1, ColumnCount - 1));
    } else {
        beginResetModel();
        endResetModel();
    }
    const bool typed = index.column() == ReworkedColumn || index.column() == RejectsColumn;
    const bool stored = settle(row < rowCount() && typed ? this->index(row, index.column()) : QModelIndex(),
                               value.toString(), result);
    if (!stored && index.column() == ReasonColumn && row < rowCount())
        emit reasonRefused(this->index(row, ReasonColumn));
    return stored;
}
