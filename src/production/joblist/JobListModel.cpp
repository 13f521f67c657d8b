#include "JobListModel.h"

#include "foundation/Prompter.h"

#include <QBrush>
#include <QFont>

namespace {
QString captionOf(int column)
{
    switch (column) {
    case JobListModel::MachineColumn:
        return QStringLiteral("Machine No.");
    case JobListModel::JobNumberColumn:
        return QStringLiteral("Job Number");
    case JobListModel::DescriptionColumn:
        return QStringLiteral("Job Description");
    default:
        return {};
    }
}

QVariant valueOf(const JobLine &line, int column)
{
    switch (column) {
    case JobListModel::MachineColumn:
        return line.machineNumber ? QVariant(QString::number(*line.machineNumber)) : QVariant(QString());
    case JobListModel::JobNumberColumn:
        return line.jobNumber;
    case JobListModel::DescriptionColumn:
        return line.jobDescription;
    default:
        return {};
    }
}
} // namespace

JobListModel::JobListModel(JobListSheet &sheet, Prompter &prompter, QObject *parent)
    : EntryModel(prompter,
                 {captionOf(MachineColumn), captionOf(JobNumberColumn), captionOf(DescriptionColumn)},
                 parent),
      m_sheet(sheet)
{
}

QList<qint64> JobListModel::sheetKeys() const
{
    QList<qint64> keys;
    for (int row = 0; row < m_sheet.count(); ++row)
        keys << m_sheet.line(row).jobId;
    if (m_sheet.allowsNewLine())
        keys << 0;
    return keys;
}

void JobListModel::reset()
{
    beginResetModel();
    setKeys(sheetKeys());
    endResetModel();
}

void JobListModel::follow()
{
    followKeys(sheetKeys());
    // The "*" goes with the new line.
    if (rowCount() > 0)
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
}

int JobListModel::sheetRow(int row) const
{
    if (row < 0 || row >= keyCount())
        return -1;
    const qint64 key = keyAt(row);
    if (key == 0)
        return m_sheet.allowsNewLine() ? m_sheet.count() : -1;
    return m_sheet.rowOf(key);
}

QVariant JobListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || sheetRow(index.row()) < 0)
        return {};
    const JobLine &line = lineAt(index.row());
    const bool hint = isNewLine(index.row()) && !hasUnsavedEntry() && index.column() == DescriptionColumn;
    switch (role) {
    case Qt::DisplayRole:
        if (hint)
            return tr("New line: type a machine number and choose a job");
        return valueOf(line, index.column());
    case Qt::EditRole:
        return valueOf(line, index.column());
    case Qt::ForegroundRole:
        if (hint || line.protectedRecord)
            return QBrush(Qt::gray);
        return {};
    case Qt::FontRole:
        if (hint) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == MachineColumn)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant JobListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal)
        return captionOf(section);
    return isNewLine(section) ? QStringLiteral("*") : QString();
}

Qt::ItemFlags JobListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || sheetRow(index.row()) < 0)
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (!lineAt(index.row()).protectedRecord)
        result |= Qt::ItemIsEditable;
    return result;
}

bool JobListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    // A message box takes the focus from the cell editor, which commits once more; that second
    // commit must not ask again.
    const int row = index.isValid() ? sheetRow(index.row()) : -1;
    if (role != Qt::EditRole || row < 0 || prompting())
        return false;
    const bool wasNewLine = m_sheet.isNewLine(row);
    JobListSheet::Edit result;
    if (!guardedSave(
            [&] { result = m_sheet.edit(row, JobListSheet::Field(index.column()), value.toString()); }))
        return false;
    switch (result.outcome) {
    case JobListSheet::Edit::Refused:
        if (!result.message.isEmpty())
            refuse(result.message);
        return false;
    case JobListSheet::Edit::Reread:
        refuse(result.message);
        rowChanged(index.row());
        if (result.protectionMet)
            emit protectionMet();
        return false;
    case JobListSheet::Edit::Held:
        rowChanged(index.row());
        return true;
    case JobListSheet::Edit::Saved:
        break;
    }
    // The new line became a saved one under its Job ID; a fresh new line goes below it.
    if (wasNewLine)
        renameKey(0, m_sheet.line(row).jobId);
    follow();
    return true;
}

void JobListModel::rowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

JobLines::Removal JobListModel::removeLine(int row)
{
    if (isNewLine(row)) {
        m_sheet.remove(sheetRow(row));
        rowChanged(row);
        return JobLines::Removal::Deleted;
    }
    const JobLines::Removal result = m_sheet.remove(sheetRow(row));
    follow();
    return result;
}
