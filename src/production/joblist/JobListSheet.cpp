#include "JobListSheet.h"

#include "foundation/Clock.h"
#include "foundation/Database.h"
#include "foundation/Prompter.h"
#include "production/record/HeldRow.h"

#include <QCoreApplication>
#include <algorithm>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("JobListSheet", text);
}

QString machineText(const JobLine &line)
{
    return line.machineNumber ? QString::number(*line.machineNumber) : QString();
}

const QString kChangedMeanwhile =
    QStringLiteral("This line has been protected or removed meanwhile; the change was not saved.");
} // namespace

JobListSheet::JobListSheet(Prompter &prompter, Clock &clock) : m_prompter(prompter), m_clock(clock) {}

JobLines &JobListSheet::store() const
{
    if (!m_store)
        throw DatabaseError(DbErrors::Other, tr("The job list has no open database."));
    return *m_store;
}

void JobListSheet::setLines(const DateShift &dateShift, QList<JobLine> lines)
{
    m_dateShift = dateShift;
    m_lines = std::move(lines);
    // No line may be added beside a protected one.
    m_allowNewLine = !anyProtected();
    clearNewLine();
}

bool JobListSheet::follow(QList<JobLine> lines, qint64 heldJobId)
{
    const bool heldBack = holdBackRow(lines, m_lines, &JobLine::jobId, heldJobId);
    m_lines = std::move(lines);
    m_allowNewLine = !anyProtected();
    return heldBack;
}

int JobListSheet::rowOf(qint64 jobId) const
{
    return rowWithKey(m_lines, &JobLine::jobId, jobId);
}

bool JobListSheet::anyProtected() const
{
    return std::any_of(m_lines.cbegin(), m_lines.cend(),
                       [](const JobLine &line) { return line.protectedRecord; });
}

bool JobListSheet::hasUnsavedEntry() const
{
    return m_allowNewLine &&
           (m_newLine.machineNumber || !m_newLine.jobNumber.isEmpty() || !m_newLine.jobDescription.isEmpty());
}

const JobChoice *JobListSheet::findJob(const QString &number) const
{
    for (const JobChoice &job : m_jobs) {
        if (job.number.compare(number, Qt::CaseInsensitive) == 0)
            return &job;
    }
    return nullptr;
}

void JobListSheet::clearNewLine()
{
    m_newLine = JobLine{};
    m_newLine.dateShift = m_dateShift;
}

JobListSheet::Edit JobListSheet::edit(int row, Field field, const QString &typed)
{
    if (row < 0 || row > count() || (row == count() && !m_allowNewLine) || line(row).protectedRecord)
        return {Edit::Refused, {}};
    JobLine edited = line(row);
    QString refusal;
    if (!applyEdit(edited, field, typed, refusal))
        return {Edit::Refused, refusal};
    return isNewLine(row) ? saveNewLine(edited) : saveLine(row, edited);
}

bool JobListSheet::applyEdit(JobLine &line, Field field, const QString &typed, QString &refusal) const
{
    const QString trimmed = typed.trimmed();
    switch (field) {
    case Machine: {
        if (trimmed.isEmpty()) {
            line.machineNumber.reset();
            return true;
        }
        bool ok = false;
        const int machine = trimmed.toInt(&ok);
        if (!ok || machine < 0 || machine > kLargestMachineNumber) {
            refusal =
                tr("The machine number must be a whole number from 0 to %1.").arg(kLargestMachineNumber);
            return false;
        }
        line.machineNumber = machine;
        return true;
    }
    case JobNumber: {
        if (trimmed.isEmpty()) {
            // A line without a job has no description either.
            line.jobNumber.clear();
            line.jobDescription.clear();
            return true;
        }
        const JobChoice *job = findJob(trimmed);
        if (!job) {
            refusal =
                tr("\"%1\" is not an active job number. Please choose a job from the list.").arg(trimmed);
            return false;
        }
        line.jobNumber = job->number;
        line.jobDescription = job->description;
        return true;
    }
    case Description:
        line.jobDescription = typed;
        return true;
    }
    return false;
}

JobListSheet::Edit JobListSheet::saveNewLine(const JobLine &line)
{
    m_newLine = line;
    if (!line.machineNumber || line.jobNumber.isEmpty())
        return {Edit::Held, {}};
    JobLine saved = line;
    saved.jobId = store().add(saved);
    m_lines.append(saved);
    clearNewLine();
    return {Edit::Saved, {}};
}

JobListSheet::Edit JobListSheet::saveLine(int row, const JobLine &edited)
{
    if (store().updateIdentity(m_lines[row], edited)) {
        m_lines[row] = edited;
        return {Edit::Saved, {}};
    }
    // Another workstation got there first: show the row as it is now rather than overwrite it.
    JobLine &line = m_lines[row];
    if (!store().reread(line))
        return {Edit::Reread, kChangedMeanwhile, true};
    return {Edit::Reread,
            tr("This line was changed on another workstation since you opened the list: it now reads "
               "machine %1, job %2. Your change was not saved; enter it again if it still applies.")
                .arg(machineText(line), line.jobNumber)};
}

JobLines::Removal JobListSheet::remove(int row)
{
    if (isNewLine(row)) {
        clearNewLine();
        return JobLines::Removal::Deleted;
    }
    if (row < 0 || row >= count())
        return JobLines::Removal::Missing;
    if (m_lines.at(row).protectedRecord)
        return JobLines::Removal::Protected;
    const JobLines::Removal result = store().remove(m_lines.at(row).jobId);
    if (result == JobLines::Removal::Deleted || result == JobLines::Removal::Missing)
        m_lines.removeAt(row);
    return result;
}

QString JobListSheet::deleteQuestion(const JobLine &line)
{
    return tr("Are you sure you want to delete the line of machine %1, job %2?")
        .arg(machineText(line), line.jobNumber);
}

QString JobListSheet::removalMessage(JobLines::Removal removal)
{
    switch (removal) {
    case JobLines::Removal::HasTickets:
        return tr(
            "This line cannot be deleted: transfer tickets, hold tickets or hold distribution rows refer "
            "to it. Remove those first.");
    case JobLines::Removal::Protected:
        return tr("This line is protected and cannot be deleted.");
    case JobLines::Removal::Deleted:
    case JobLines::Removal::Missing:
        break;
    }
    return {};
}

std::optional<DateShift> JobListSheet::findPreviousShift()
{
    m_previous.reset();
    m_previousLines.clear();
    const std::optional<QDate> date = store().latestDateBefore(m_dateShift);
    if (!date)
        throw DatabaseError(DbErrors::NoCurrentRecord,
                            tr("No earlier date has job lines, so there is no previous shift to bring lines "
                               "forward from."));
    // The date's lines may be deleted meanwhile: the next step then finds no shift.
    if (const std::optional<int> shift = store().highestShiftOn(*date))
        m_previous = DateShift{*date, *shift};
    return m_previous;
}

QList<JobLine> JobListSheet::readPreviousLines()
{
    if (!m_previous)
        throw DatabaseError(DbErrors::NoCurrentRecord,
                            tr("The lines of the previous shift cannot be opened: no previous shift has job "
                               "lines."));
    m_previousLines = store().of(*m_previous);
    return m_previousLines;
}

bool JobListSheet::copyPreviousLines()
{
    if (!m_previous || m_previousLines.isEmpty() || !mayCopy())
        return false;
    return store().bringForward(m_previousLines, m_dateShift) > 0;
}

bool JobListSheet::mayCopy()
{
    QString question;
    if (store().anyAfter(m_dateShift)) {
        // An empty date-shift between others with lines was most likely emptied (by a repair that
        // lost its lines, or by hand): lines copied from before it would be invented production.
        question = tr("There are no job lines for %1, but later shifts have lines. Copy the lines of %2 "
                      "into it?");
    } else if (m_dateShift.date > m_clock.today()) {
        // Lines copied into a date-shift ahead of time would make it the latest production date.
        question = tr("There are no job lines for %1 yet. Copy the lines of %2 into it?");
    } else {
        return true;
    }
    const MsgAnswer answer = m_prompter.ask({question.arg(m_dateShift.caption(), m_previous->caption()),
                                             tr("Job List"), MsgIcon::Question, MsgButtons::YesNo});
    return answer == MsgAnswer::Yes;
}

QList<JobLine> JobListSheet::readLines() const
{
    return store().of(m_dateShift);
}

QList<JobLine> JobListSheet::bringForward()
{
    findPreviousShift();
    readPreviousLines();
    copyPreviousLines();
    return readLines();
}
