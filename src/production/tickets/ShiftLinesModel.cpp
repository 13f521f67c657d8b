#include "ShiftLinesModel.h"

#include "TicketSheet.h"

#include <QBrush>

void ShiftLinesModel::reset(const TicketSheet *sheet)
{
    beginResetModel();
    m_sheet = sheet;
    endResetModel();
}

int ShiftLinesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_sheet ? 0 : m_sheet->lineCount();
}

int ShiftLinesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ShiftLinesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ShiftLine &line = m_sheet->line(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case JobIdColumn:
            return QString::number(line.jobId);
        case MachineColumn:
            return line.machineNumber.isNull() ? QString() : line.machineNumber.toString();
        case JobNumberColumn:
            return line.jobNumber;
        case DescriptionColumn:
            return line.jobDescription;
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() <= MachineColumn)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && line.protectedRecord)
        return QBrush(Qt::darkGray);
    return {};
}

QVariant ShiftLinesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList captions{QStringLiteral("Job ID"), QStringLiteral("Machine Number"),
                                      QStringLiteral("Job Number"), QStringLiteral("Job Description")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return captions.value(section);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return QString();
    return QAbstractTableModel::headerData(section, orientation, role);
}
