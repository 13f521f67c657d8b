#include "CountsSheet.h"

#include "foundation/KelvaraError.h"
#include "production/record/CountEntry.h"
#include "production/record/HeldRow.h"
#include "production/record/ProductionSummaries.h"

#include <algorithm>
#include <limits>

namespace {
bool fitsCount(qint64 value)
{
    return value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max();
}

qint64 countOf(const JobLine &line, CountField field)
{
    switch (field) {
    case CountField::Beginning:
        return line.beginningCount;
    case CountField::Ending:
        return line.endingCount;
    case CountField::Mattec:
        return line.matecCount;
    }
    return 0;
}

void storeInLine(JobLine &line, CountField field, qint64 value)
{
    switch (field) {
    case CountField::Beginning:
        line.beginningCount = value;
        break;
    case CountField::Ending:
        line.endingCount = value;
        break;
    case CountField::Mattec:
        line.matecCount = value;
        break;
    }
}
} // namespace

QString CountsSheet::negativeMessage(CountField field)
{
    switch (field) {
    case CountField::Beginning:
        return QStringLiteral("There is no possible way you could have a negative Beginning Count!");
    case CountField::Ending:
        return QStringLiteral("There is no possible way you could have a negative Ending Count!");
    case CountField::Mattec:
        return QStringLiteral("There is no possible way you could have a negative Mattec Count!");
    }
    return {};
}

void CountsSheet::setLines(QList<JobLine> lines)
{
    m_lines = std::move(lines);
    m_figures = QList<LineFigures>(m_lines.size());
    for (int row = 0; row < count(); ++row)
        recompute(row);
}

bool CountsSheet::follow(QList<JobLine> lines, qint64 heldJobId)
{
    const bool heldBack = holdBackRow(lines, m_lines, &JobLine::jobId, heldJobId);
    setLines(std::move(lines));
    return heldBack;
}

QList<qint64> CountsSheet::jobIds() const
{
    return keysOf(m_lines, &JobLine::jobId);
}

int CountsSheet::rowOf(qint64 jobId) const
{
    return rowWithKey(m_lines, &JobLine::jobId, jobId);
}

bool CountsSheet::mayEdit(int row, CountField field) const
{
    if (row < 0 || row >= count() || !m_rights.updateAllowed || m_lines[row].protectedRecord)
        return false;
    return field != CountField::Beginning || m_rights.beginningCountEditable;
}

bool CountsSheet::mayPost() const
{
    if (!m_rights.updateAllowed || m_lines.isEmpty())
        return false;
    return std::none_of(m_lines.cbegin(), m_lines.cend(),
                        [](const JobLine &line) { return line.protectedRecord; });
}

CountsSheet::Entry CountsSheet::enter(JobLines &store, int row, CountField field, const QString &typed)
{
    if (!mayEdit(row, field))
        return {false, QStringLiteral("This line cannot be changed now.")};
    const CountEntry::Result count = CountEntry::EvaluateCountEntry(typed);
    if (!count.isNumber())
        return {false, count.message};
    if (count.value < 0)
        return {false, negativeMessage(field)};
    JobLine &line = m_lines[row];
    if (!store.setCount(line.jobId, field, count.value, countOf(line, field))) {
        // Another workstation changed, protected or deleted the line since it was read.
        if (!store.reread(line)) {
            return {false,
                    QStringLiteral("This line has been protected or removed meanwhile; the count was "
                                   "not stored."),
                    true};
        }
        recompute(row);
        return {false, QStringLiteral("This count was changed on another workstation meanwhile: it now reads "
                                      "%1. Your entry was not stored; enter it again if it still applies.")
                           .arg(countOf(line, field))};
    }
    storeInLine(line, field, count.value);
    recompute(row);
    return {true, {}};
}

CountsSheet::MachineResult CountsSheet::applyMachineFills(JobLines &store, const QList<MachineFill> &fills,
                                                          bool changeDiffering)
{
    MachineResult result;
    QStringList &notStored = result.notStored;
    for (const MachineFill &fill : fills) {
        const bool wanted =
            fill.kind == MachineFill::Fill || (fill.kind == MachineFill::Differs && changeDiffering);
        if (!wanted) {
            if (fill.kind != MachineFill::Same)
                notStored << fill.describe();
            continue;
        }
        const int row = rowOf(fill.jobId);
        if (!mayEdit(row, CountField::Ending)) {
            notStored
                << QStringLiteral("Machine %1: its line cannot be changed now.").arg(fill.reading.machine);
            continue;
        }
        JobLine &line = m_lines[row];
        if (!store.setCount(line.jobId, CountField::Ending, fill.reading.count, line.endingCount)) {
            // Another workstation stored a count meanwhile (perhaps read from the same machine).
            store.reread(line);
            recompute(row);
            notStored << QStringLiteral("Machine %1: the Ending Count was changed on another workstation "
                                        "meanwhile; it now reads %2.")
                             .arg(fill.reading.machine)
                             .arg(line.endingCount);
            continue;
        }
        line.endingCount = fill.reading.count;
        m_fromMachine.insert(line.jobId, fill.reading);
        recompute(row);
        ++result.stored;
    }
    return result;
}

const MachineCount *CountsSheet::machineReading(int row) const
{
    const auto found = m_fromMachine.constFind(m_lines.at(row).jobId);
    if (found == m_fromMachine.cend() || found->count != m_lines.at(row).endingCount)
        return nullptr;
    return &*found;
}

void CountsSheet::fillRejectsByLine(QMap<QString, qint32> &rejectsByLine)
{
    for (int row = 0; row < count(); ++row)
        recompute(row);
    rejectsByLine.clear();
    for (const auto &summary : m_summaries)
        rejectsByLine.insert(summary->Key(), summary->Rejects());
}

void CountsSheet::recompute(int row)
{
    const JobLine &line = m_lines[row];
    m_figures[row] = LineFigures::of(line.beginningCount, line.endingCount, line.matecCount,
                                     m_summaries.Search(line.key()));
    writeBack(line.key(), m_figures[row]);
}

void CountsSheet::writeBack(const QString &key, const LineFigures &figures)
{
    // A figure beyond the 32-bit range of a summary is still shown; the summary keeps its
    // last value rather than a cut one.
    ProductionSummary *summary = m_summaries.Search(key);
    if (!summary) {
        summary = &m_summaries.Add(key, 0, 0, 0, 0, 0, key);
    }
    if (fitsCount(figures.netFinishedGoods))
        summary->setNetFinishedGoods(figures.netFinishedGoods);
    if (fitsCount(figures.rejects))
        summary->setRejects(figures.rejects);
}
