#include "JobListModel.h"

#include "foundation/Database.h"
#include "foundation/Prompter.h"

#include <QBrush>
#include <QFont>
#include <algorithm>

namespace {
constexpr int kLargestMachineNumber = 32767;

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

JobListModel::JobListModel(Prompter &prompter, QObject *parent) : EntryModel(prompter, parent) {}

void JobListModel::reset(JobLines *store, const DateShift &dateShift, const QList<JobLine> &lines,
                         const QList<JobChoice> &jobs)
{
    beginResetModel();
    m_store = store;
    m_dateShift = dateShift;
    m_lines = lines;
    m_jobs = jobs;
    m_newLine = JobLine{};
    m_newLine.dateShift = dateShift;
    // No line may be added beside a protected one.
    m_allowNewLine = std::none_of(m_lines.cbegin(), m_lines.cend(),
                                  [](const JobLine &line) { return line.protectedRecord; });
    endResetModel();
}

int JobListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : savedCount() + (m_allowNewLine ? 1 : 0);
}

int JobListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const JobLine &JobListModel::lineAt(int row) const
{
    return isNewLine(row) ? m_newLine : m_lines.at(row);
}

bool JobListModel::hasUnsavedEntry() const
{
    return m_allowNewLine &&
           (m_newLine.machineNumber || !m_newLine.jobNumber.isEmpty() || !m_newLine.jobDescription.isEmpty());
}

bool JobListModel::isProtected(int row) const
{
    return row >= 0 && row < savedCount() && m_lines.at(row).protectedRecord;
}

QVariant JobListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
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
    if (!index.isValid())
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
    if (role != Qt::EditRole || !index.isValid() || prompting() || !m_store)
        return false;
    const int row = index.row();
    if (row >= rowCount() || lineAt(row).protectedRecord)
        return false;
    JobLine edited = lineAt(row);
    if (!applyEdit(edited, index.column(), value.toString()))
        return false;
    return save(row, edited);
}

bool JobListModel::applyEdit(JobLine &line, int column, const QString &text)
{
    const QString trimmed = text.trimmed();
    switch (column) {
    case MachineColumn: {
        if (trimmed.isEmpty()) {
            line.machineNumber.reset();
            return true;
        }
        bool ok = false;
        const int machine = trimmed.toInt(&ok);
        if (!ok || machine < 0 || machine > kLargestMachineNumber) {
            refuse(tr("The machine number must be a whole number from 0 to %1.").arg(kLargestMachineNumber));
            return false;
        }
        line.machineNumber = machine;
        return true;
    }
    case JobNumberColumn: {
        if (trimmed.isEmpty()) {
            // A line without a job has no description either.
            line.jobNumber.clear();
            line.jobDescription.clear();
            return true;
        }
        const JobChoice *job = findJob(trimmed);
        if (!job) {
            refuse(tr("\"%1\" is not an active job number. Please choose a job from the list.").arg(trimmed));
            return false;
        }
        line.jobNumber = job->number;
        line.jobDescription = job->description;
        return true;
    }
    case DescriptionColumn:
        line.jobDescription = text;
        return true;
    default:
        return false;
    }
}

bool JobListModel::save(int row, JobLine &line)
{
    bool saved = true;
    const bool ran = guardedSave([&] {
        if (isNewLine(row)) {
            m_newLine = line;
            if (line.machineNumber && !line.jobNumber.isEmpty()) {
                m_newLine.jobId = m_store->add(m_newLine);
                m_lines.append(m_newLine);
                m_newLine = JobLine{};
                m_newLine.dateShift = m_dateShift;
                beginInsertRows({}, savedCount(), savedCount());
                endInsertRows();
            }
        } else if (m_store->updateIdentity(line)) {
            m_lines[row] = line;
        } else {
            saved = false;
        }
    });
    if (!ran)
        return false;
    if (!saved) {
        m_lines[row].protectedRecord = true;
        refuse(tr("This line has been protected or removed meanwhile; the change was not saved."));
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
        return false;
    }
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    emit headerDataChanged(Qt::Vertical, row, rowCount() - 1);
    return true;
}

JobLines::Removal JobListModel::removeLine(int row)
{
    if (isNewLine(row)) {
        m_newLine = JobLine{};
        m_newLine.dateShift = m_dateShift;
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
        return JobLines::Removal::Deleted;
    }
    if (row < 0 || row >= savedCount() || !m_store)
        return JobLines::Removal::Missing;
    if (m_lines.at(row).protectedRecord)
        return JobLines::Removal::Protected;
    const JobLines::Removal result = m_store->remove(m_lines.at(row).jobId);
    if (result == JobLines::Removal::Deleted || result == JobLines::Removal::Missing) {
        beginRemoveRows({}, row, row);
        m_lines.removeAt(row);
        endRemoveRows();
    }
    return result;
}

const JobChoice *JobListModel::findJob(const QString &number) const
{
    for (const JobChoice &job : m_jobs) {
        if (job.number.compare(number, Qt::CaseInsensitive) == 0)
            return &job;
    }
    return nullptr;
}
