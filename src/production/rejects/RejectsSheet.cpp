#include "RejectsSheet.h"

#include "production/record/HeldRow.h"
#include "production/record/LineFigures.h"
#include "production/record/ProductionSummaries.h"
#include "production/record/ProtectedLine.h"
#include "production/record/QuantityEntry.h"

#include "foundation/Database.h"
#include "foundation/RejectReasons.h"
#include "foundation/SharedRow.h"

#include <QSqlQuery>

namespace {
RejectsLine lineFrom(const QSqlQuery &query)
{
    RejectsLine line;
    line.jobId = query.value(QStringLiteral("Job ID")).toLongLong();
    line.date = dateFromSql(query.value(QStringLiteral("Date")));
    line.shift = query.value(QStringLiteral("Shift")).toInt();
    line.machineNumber = query.value(QStringLiteral("Machine Number"));
    line.jobNumber = query.value(QStringLiteral("Job Number")).toString();
    line.jobDescription = query.value(QStringLiteral("Job Description")).toString();
    line.protectedRecord = query.value(QStringLiteral("Protected Record")).toInt() != 0;
    line.reasons = RejectReasons::read(query);
    line.beginningCount = query.value(QStringLiteral("Beginning Count")).toLongLong();
    line.endingCount = query.value(QStringLiteral("Ending Count")).toLongLong();
    line.matecCount = query.value(QStringLiteral("Matec Count")).toLongLong();
    return line;
}
} // namespace

QList<RejectsLine> RejectsSheet::readLines() const
{
    QSqlQuery query = m_db.exec(
        QStringLiteral("SELECT * FROM \"Production Table\" WHERE \"Date\" = :dt AND \"Shift\" = :sh AND "
                       "\"Machine Number\" < 100 ORDER BY \"Machine Number\", \"Job ID\""),
        {{QStringLiteral("dt"), m_dateShift.sqlDate()}, {QStringLiteral("sh"), m_dateShift.shift}});
    QList<RejectsLine> lines;
    while (query.next())
        lines.append(lineFrom(query));
    return lines;
}

void RejectsSheet::load(const DateShift &dateShift, const QMap<QString, qint32> &computed)
{
    m_dateShift = dateShift;
    m_computed.clear();
    m_lines = readLines();
    for (const RejectsLine &line : std::as_const(m_lines))
        m_computed.insert(line.jobId, computed.value(QString::number(line.jobId), 0));
}

bool RejectsSheet::refresh(ProductionSummaries &summaries, qint64 heldJobId)
{
    QList<RejectsLine> lines = readLines();
    summaries.fill(m_db, m_dateShift);
    const bool heldBack = holdBackRow(lines, m_lines, &RejectsLine::jobId, heldJobId);
    m_lines = std::move(lines);
    m_computed.clear();
    for (const RejectsLine &line : std::as_const(m_lines)) {
        m_computed.insert(line.jobId, LineFigures::of(line.beginningCount, line.endingCount, line.matecCount,
                                                      summaries.Search(QString::number(line.jobId)))
                                          .rejects);
    }
    return heldBack;
}

QList<qint64> RejectsSheet::jobIds() const
{
    return keysOf(m_lines, &RejectsLine::jobId);
}

int RejectsSheet::rowOf(qint64 jobId) const
{
    return rowWithKey(m_lines, &RejectsLine::jobId, jobId);
}

qint64 RejectsSheet::rejects(int row) const
{
    return m_computed.value(m_lines.at(row).jobId, 0);
}

qint64 RejectsSheet::totalLeft(int row) const
{
    qint64 assigned = 0;
    for (qint64 value : m_lines.at(row).reasons)
        assigned += value;
    return rejects(row) - assigned;
}

bool RejectsSheet::mayEdit(int row) const
{
    return row >= 0 && row < count() && !m_lines[row].protectedRecord;
}

void RejectsSheet::reread(int row)
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT * FROM \"Production Table\" WHERE \"Job ID\" = :j"),
                                {{QStringLiteral("j"), m_lines[row].jobId}});
    if (query.next())
        m_lines[row] = lineFrom(query);
}

EntryResult RejectsSheet::setReason(int row, int reason, const QString &typed)
{
    if (!mayEdit(row) || reason < 1 || reason > RejectReasons::kCount)
        return EntryResult::protectedLine();
    const QuantityEntry::Quantity count = QuantityEntry::quantity(typed);
    if (!count.value)
        return EntryResult::refused(count.message);
    const qint64 old = m_lines[row].reasons[size_t(reason - 1)];
    if (old == *count.value)
        return EntryResult::ok();
    try {
        // Only this reason is written, and only while it still holds what was read: a booking
        // from the disposition window or another workstation is never overwritten unseen.
        const bool written = SharedRow(QStringLiteral("\"Production Table\""), QStringLiteral("\"Job ID\""),
                                       m_lines[row].jobId)
                                 .change(RejectReasons::column(reason), qint64(*count.value), old, qint64(0))
                                 .where(ProtectedLine::unprotected())
                                 .write(m_db);
        if (!written) {
            reread(row);
            return m_lines[row].protectedRecord ? EntryResult::protectedLine() : EntryResult::stale();
        }
    } catch (const KelvaraError &error) {
        return EntryResult::failed(error);
    }
    m_lines[row].reasons[size_t(reason - 1)] = *count.value;
    return EntryResult::ok();
}
