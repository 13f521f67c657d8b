#include "DistributionModel.h"

#include "foundation/RejectReasons.h"

namespace {
ColumnTable<Distribution> distributionColumns(const DispositionSheet *const *sheet)
{
    using C = ColumnTable<Distribution>::Column;
    const Qt::Alignment right = Qt::AlignRight;
    const Qt::Alignment left = Qt::AlignLeft;
    const auto plain = ColumnFormat::Plain;
    return ColumnTable<Distribution>({
        {QStringLiteral("Job ID"), QStringLiteral("Job ID"), right, false, plain,
         [](const Distribution &d) { return d.jobId; }},
        {QStringLiteral("To Job ID"), QStringLiteral("To Job ID"), right, false, plain,
         [](const Distribution &d) { return d.toJobId; }},
        {QStringLiteral("Hold Ticket Number"), QStringLiteral("Hold Ticket Number"), right, false, plain,
         [](const Distribution &d) { return d.ticketNumber; }},
        {QStringLiteral("Date/Shift Reworked"), QStringLiteral("To Job ID"), left, true, plain,
         [](const Distribution &d) { return QVariant(d.reworkedInto); }},
        {QStringLiteral("Reworked Quantity"), QStringLiteral("Reworked Quantity"), right, true,
         ColumnFormat::GroupedOrEmpty, [](const Distribution &d) { return QVariant(d.reworked); }},
        {QStringLiteral("Reject Quantity"), QStringLiteral("Rejects"), right, true,
         ColumnFormat::GroupedOrEmpty, [](const Distribution &d) { return QVariant(d.rejects); }},
        {QStringLiteral("Reject Reason"), QStringLiteral("Reject Reason"), left, true, plain,
         [](const Distribution &d) { return QVariant(RejectReasons::names().value(d.reason)); }},
        // the selected ticket's, on every row
        {QStringLiteral("Hold Ticket ID"), QStringLiteral("Hold Ticket ID"), right, false, plain,
         [sheet](const Distribution &) {
             const UnresolvedTicket *ticket = *sheet ? (*sheet)->selected() : nullptr;
             return ticket ? QVariant(ticket->ticketId) : QVariant();
         }},
    });
}
} // namespace

DistributionModel::DistributionModel(Prompter &prompter, QObject *parent)
    : SheetEntryModel(prompter, distributionColumns(&m_sheet).captions(), parent),
      m_columns(distributionColumns(&m_sheet))
{
}

void DistributionModel::reset(DispositionSheet *sheet)
{
    showSheet([&] { m_sheet = sheet; },
              rowsOf(sheet, &DispositionSheet::distributionIds, &DispositionSheet::rowOfDistribution));
}

QVariant DistributionModel::data(const QModelIndex &index, int role) const
{
    const int row = index.isValid() ? sheetRow(index.row()) : -1;
    if (row < 0)
        return {};
    const Distribution &d = m_sheet->distribution(row);
    if (role == ValueRole)
        return index.column() == ReasonColumn ? QVariant(d.reason)
                                              : QVariant(d.toJobId.isNull() ? 0 : d.toJobId.toLongLong());
    return m_columns.data(d, index.column(), role);
}

Qt::ItemFlags DistributionModel::flags(const QModelIndex &index) const
{
    return m_columns.flags(index, m_sheet && m_sheet->editable());
}

bool DistributionModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const int row = entryRow(index, role);
    if (row < 0)
        return false;
    const qint64 id = keyAt(index.row());
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
    follow();
    const int shown = rowOfKey(id);
    const bool typed = index.column() == ReworkedColumn || index.column() == RejectsColumn;
    const bool stored = settle(shown >= 0 && typed ? this->index(shown, index.column()) : QModelIndex(),
                               value.toString(), result);
    if (!stored && index.column() == ReasonColumn && shown >= 0)
        emit reasonRefused(this->index(shown, ReasonColumn));
    return stored;
}
