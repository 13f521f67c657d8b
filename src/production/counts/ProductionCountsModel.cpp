#include "ProductionCountsModel.h"

#include "production/record/GridStyles.h"

#include "foundation/Database.h"
#include "foundation/Prompter.h"
#include "production/record/QuantityFormat.h"

#include <QBrush>
#include <QColor>

namespace {
// The "Negative" style of the two computed columns.
const QColor kNegativeText(0x9c, 0x00, 0x06);
const QColor kNegativeBack(0xff, 0xc7, 0xce);
// Computed cells are told apart from typed readings.
const QColor kComputedBack(0xef, 0xf1, 0xf4);

bool isComputed(int column)
{
    using M = ProductionCountsModel;
    return column == M::TransfersColumn || column == M::NetFinishedGoodsColumn || column == M::ToHoldColumn ||
           column == M::FromReworkColumn || column == M::RejectsColumn;
}

bool isText(int column)
{
    using M = ProductionCountsModel;
    return column == M::JobNumberColumn || column == M::DescriptionColumn;
}
const QStringList &countsCaptions()
{
    static const QStringList captions =
        JobLineColumns::captions() +
        QStringList{QStringLiteral("Beginning Count"), QStringLiteral("Transfers"),
                    QStringLiteral("Ending Count"),    QStringLiteral("Net Finished Goods"),
                    QStringLiteral("To Hold"),         QStringLiteral("From Rework"),
                    QStringLiteral("Mattec Count"),    QStringLiteral("Rejects")};
    return captions;
}
} // namespace

ProductionCountsModel::ProductionCountsModel(CountsSheet &sheet, Prompter &prompter, QObject *parent)
    : EntryModel(prompter, countsCaptions(), parent), m_sheet(sheet)
{
}

QString ProductionCountsModel::caption(int column)
{
    return countsCaptions().value(column);
}

int ProductionCountsModel::columnOf(const QString &text) const
{
    for (int column = 0; column < ColumnCount; ++column) {
        if (headerData(column, Qt::Horizontal).toString() == text)
            return column;
    }
    return -1;
}

std::optional<CountField> ProductionCountsModel::fieldOf(int column)
{
    switch (column) {
    case BeginningColumn:
        return CountField::Beginning;
    case EndingColumn:
        return CountField::Ending;
    case MattecColumn:
        return CountField::Mattec;
    default:
        return std::nullopt;
    }
}

void ProductionCountsModel::reset(JobLines *store)
{
    beginResetModel();
    m_store = store;
    setKeys(store ? m_sheet.jobIds() : QList<qint64>());
    endResetModel();
}

void ProductionCountsModel::follow()
{
    if (m_store)
        followKeys(m_sheet.jobIds());
}

int ProductionCountsModel::sheetRow(int row) const
{
    return m_store && row >= 0 && row < keyCount() ? m_sheet.rowOf(keyAt(row)) : -1;
}

QString ProductionCountsModel::displayText(int row, int column) const
{
    const JobLine &line = m_sheet.line(row);
    const LineFigures &figures = m_sheet.figures(row);
    switch (column) {
    case JobIdColumn:
        return QString::number(line.jobId);
    case DateColumn:
        return shortDateText(line.dateShift.date);
    case ShiftColumn:
        return QString::number(line.dateShift.shift);
    case MachineColumn:
        return line.machineNumber ? QString::number(*line.machineNumber) : QString();
    case JobNumberColumn:
        return line.jobNumber;
    case DescriptionColumn:
        return line.jobDescription;
    case BeginningColumn:
        return QuantityFormat::grouped(line.beginningCount, false);
    case TransfersColumn:
        return QuantityFormat::grouped(figures.transfers, true);
    case EndingColumn:
        return QuantityFormat::grouped(line.endingCount, false);
    case NetFinishedGoodsColumn:
        return QuantityFormat::grouped(figures.netFinishedGoods, false);
    case ToHoldColumn:
        return QuantityFormat::grouped(figures.toHold, false);
    case FromReworkColumn:
        return QuantityFormat::grouped(figures.fromRework, false);
    case MattecColumn:
        return QuantityFormat::grouped(line.matecCount, false);
    case RejectsColumn:
        return QuantityFormat::grouped(figures.rejects, false);
    default:
        return {};
    }
}

bool ProductionCountsModel::isNegativeStyled(int row, int column) const
{
    return (column == NetFinishedGoodsColumn || column == RejectsColumn) &&
           displayText(row, column).startsWith(QLatin1Char('-'));
}

const MachineCount *ProductionCountsModel::machineReadingAt(int row, int column) const
{
    return column == EndingColumn ? m_sheet.machineReading(row) : nullptr;
}

QVariant ProductionCountsModel::data(const QModelIndex &index, int role) const
{
    const int row = index.isValid() ? sheetRow(index.row()) : -1;
    if (row < 0)
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return displayText(row, column);
    case Qt::EditRole:
        if (const auto field = fieldOf(column)) {
            const JobLine &line = m_sheet.line(row);
            const qint64 value = *field == CountField::Beginning ? line.beginningCount
                                 : *field == CountField::Ending  ? line.endingCount
                                                                 : line.matecCount;
            return QString::number(value);
        }
        return displayText(row, column);
    case Qt::TextAlignmentRole:
        if (isText(column))
            return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (const MachineCount *reading = machineReadingAt(row, column))
            return tr("Read from machine %1, counter %2, at %3")
                .arg(reading->machine)
                .arg(reading->counter, reading->machineTime.toString(QStringLiteral("MM/dd/yyyy hh:mm:ss")));
        return {};
    case Qt::ForegroundRole:
        if (machineReadingAt(row, column))
            return GridStyles::foreground(GridStyles::Style::FromMachine);
        if (isNegativeStyled(row, column))
            return QBrush(kNegativeText);
        if (m_sheet.line(row).protectedRecord)
            return QBrush(Qt::darkGray);
        return {};
    case Qt::BackgroundRole:
        if (machineReadingAt(row, column))
            return GridStyles::background(GridStyles::Style::FromMachine);
        if (isNegativeStyled(row, column))
            return QBrush(kNegativeBack);
        if (isComputed(column))
            return QBrush(kComputedBack);
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags ProductionCountsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const auto field = fieldOf(index.column());
    if (field && m_sheet.mayEdit(sheetRow(index.row()), *field))
        result |= Qt::ItemIsEditable;
    return result;
}

bool ProductionCountsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    // The message box below takes the focus from the cell editor, which then commits again;
    // that second commit is not a new entry.
    if (role != Qt::EditRole || !index.isValid() || prompting() || !m_store)
        return false;
    const auto field = fieldOf(index.column());
    const int row = sheetRow(index.row());
    if (!field || row < 0)
        return false;
    CountsSheet::Entry entry;
    bool failedForAWhile = false;
    if (!guardedSave([&] {
            try {
                entry = m_sheet.enter(*m_store, row, *field, value.toString());
            } catch (const KelvaraError &error) {
                // A protected date-shift refuses for good; anything else may work on the next try.
                failedForAWhile = error.number() != DbErrors::Protected;
                throw;
            }
        })) {
        emit entryRefused();
        if (failedForAWhile)
            emit keepTyped(index, value.toString());
        return false;
    }
    if (!entry.stored) {
        refuse(entry.message);
        if (entry.protectionMet)
            emit protectionMet();
        // The line may have been read again (changed on another workstation).
        emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
        emit entryRefused();
        return false;
    }
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    if (*field == CountField::Ending)
        emit endCountEntered();
    return true;
}
