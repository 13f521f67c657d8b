#include "RejectsModel.h"

#include "RejectsSheet.h"
#include "foundation/RejectReasons.h"
#include "production/record/GridStyles.h"
#include "production/record/QuantityFormat.h"

#include <QBrush>

namespace {
const QStringList &rejectsCaptions()
{
    static const QStringList captions = JobLineColumns::captions() +
                                        QStringList{QStringLiteral("Rejects"), QStringLiteral("Total Left")} +
                                        RejectReasons::columnCaptions();
    return captions;
}
} // namespace

RejectsModel::RejectsModel(Prompter &prompter, QObject *parent)
    : SheetEntryModel(prompter, rejectsCaptions(), parent)
{
}

QString RejectsModel::caption(int column)
{
    return rejectsCaptions().value(column);
}

void RejectsModel::reset(RejectsSheet *sheet)
{
    showSheet([&] { m_sheet = sheet; }, rowsOf(sheet, &RejectsSheet::jobIds, &RejectsSheet::rowOf));
}

QString RejectsModel::text(int row, int column) const
{
    const RejectsLine &line = m_sheet->line(row);
    switch (column) {
    case JobIdColumn:
        return QString::number(line.jobId);
    case DateColumn:
        return shortDateText(line.date);
    case ShiftColumn:
        return QString::number(line.shift);
    case MachineColumn:
        return line.machineNumber.toString();
    case JobNumberColumn:
        return line.jobNumber;
    case DescriptionColumn:
        return line.jobDescription;
    case RejectsColumn:
        return QuantityFormat::grouped(m_sheet->rejects(row), false);
    case TotalLeftColumn:
        return QuantityFormat::grouped(m_sheet->totalLeft(row), false);
    default:
        return QString::number(line.reasons[size_t(column - FirstReasonColumn)]);
    }
}

QVariant RejectsModel::data(const QModelIndex &index, int role) const
{
    const int row = index.isValid() ? sheetRow(index.row()) : -1;
    if (row < 0)
        return {};
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return text(row, column);
    if (role == Qt::BackgroundRole && column == RejectsColumn)
        return QBrush(QColor(0xef, 0xf1, 0xf4));
    const bool left = column == TotalLeftColumn;
    return GridStyles::look(
        role, {column == JobNumberColumn || column == DescriptionColumn, left, true, !m_sheet->mayEdit(row)},
        left ? text(row, column) : QString());
}

Qt::ItemFlags RejectsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (index.column() >= FirstReasonColumn && m_sheet && m_sheet->mayEdit(sheetRow(index.row())))
        result |= Qt::ItemIsEditable;
    return result;
}

bool RejectsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    // Only the reasons are typed.
    const int row = index.column() < FirstReasonColumn ? -1 : entryRow(index, role);
    if (row < 0)
        return false;
    const QString typed = value.toString();
    const EntryResult result = m_sheet->setReason(row, index.column() - FirstReasonColumn + 1, typed);
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    return settle(index, typed, result);
}
