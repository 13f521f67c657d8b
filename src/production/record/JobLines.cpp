#include "JobLines.h"

#include "ProtectedLine.h"
#include "foundation/Database.h"
#include "foundation/SharedRow.h"

#include <QSet>
#include <QSqlQuery>
#include <algorithm>

namespace {
const QString kLineColumns =
    QStringLiteral("\"Job ID\", \"Date\", \"Shift\", \"Machine Number\", \"Job Number\", \"Job "
                   "Description\", \"Beginning Count\", "
                   "\"Ending Count\", \"Matec Count\", \"From Rework\", \"Protected Record\"");

QVariantMap dateShiftParams(const DateShift &dateShift)
{
    return {{QStringLiteral("dt"), dateShift.sqlDate()}, {QStringLiteral("sh"), dateShift.shift}};
}

QVariant orNull(const std::optional<int> &value)
{
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Int));
}

QVariant textOrNull(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

// A line from a row of kLineColumns; known is the date-shift when every row is of it.
JobLine lineFrom(const QSqlQuery &query, const DateShift *known = nullptr)
{
    JobLine line;
    line.jobId = query.value(0).toLongLong();
    line.dateShift = known ? *known : DateShift{dateFromSql(query.value(1)), query.value(2).toInt()};
    if (!query.value(3).isNull())
        line.machineNumber = query.value(3).toInt();
    line.jobNumber = query.value(4).toString();
    line.jobDescription = query.value(5).toString();
    line.beginningCount = query.value(6).toLongLong();
    line.endingCount = query.value(7).toLongLong();
    line.matecCount = query.value(8).toLongLong();
    line.fromRework = query.value(9).toLongLong();
    line.protectedRecord = query.value(10).toLongLong() != 0;
    return line;
}

QString countColumn(CountField field)
{
    switch (field) {
    case CountField::Beginning:
        return QStringLiteral("\"Beginning Count\"");
    case CountField::Ending:
        return QStringLiteral("\"Ending Count\"");
    case CountField::Mattec:
        return QStringLiteral("\"Matec Count\"");
    }
    return {};
}

qint64 insertLine(const Database &db, const JobLine &line, qint64 beginningCount)
{
    return db.insert(
        QStringLiteral(
            "INSERT INTO \"Production Table\" (\"Date\", \"Shift\", \"Machine Number\", \"Job Number\", "
            "\"Job Description\", \"Beginning Count\", \"Ending Count\", \"Matec Count\", \"From Rework\", "
            "\"Transfer Quantity\") VALUES (:dt, :sh, :machine, :job, :description, :beginning, "
            "0, 0, 0, 0)"),
        {{QStringLiteral("dt"), line.dateShift.sqlDate()},
         {QStringLiteral("sh"), line.dateShift.shift},
         {QStringLiteral("machine"), orNull(line.machineNumber)},
         {QStringLiteral("job"), textOrNull(line.jobNumber)},
         {QStringLiteral("description"), line.jobDescription},
         {QStringLiteral("beginning"), beginningCount}});
}
} // namespace

QList<JobLine> JobLines::of(const DateShift &dateShift) const
{
    // The [Date], [Shift], [Machine Number] index holds the Job ID as its last part, so this
    // order needs no sort.
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT ") + kLineColumns +
                      QStringLiteral(" FROM \"Production Table\" WHERE \"Date\" = :dt AND \"Shift\" = :sh "
                                     "ORDER BY \"Machine Number\", \"Job ID\""),
                  dateShiftParams(dateShift));
    QList<JobLine> lines;
    while (query.next())
        lines.append(lineFrom(query, &dateShift));
    return lines;
}

bool JobLines::any(const DateShift &dateShift) const
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT 1 FROM \"Production Table\" WHERE \"Date\" = :dt "
                                               "AND \"Shift\" = :sh LIMIT 1"),
                                dateShiftParams(dateShift));
    return query.next();
}

bool JobLines::anyAfter(const DateShift &dateShift) const
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT 1 FROM \"Production Table\" WHERE \"Date\" > :dt "
                                               "OR (\"Date\" = :dt AND \"Shift\" > :sh) LIMIT 1"),
                                dateShiftParams(dateShift));
    return query.next();
}

std::optional<QDate> JobLines::latestDateBefore(const DateShift &dateShift) const
{
    const QString comparison = dateShift.shift <= 1 ? QStringLiteral("<") : QStringLiteral("<=");
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT \"Date\" FROM \"Production Table\" WHERE \"Date\" ") +
                                    comparison + QStringLiteral(" :dt ORDER BY \"Date\" DESC LIMIT 1"),
                                {{QStringLiteral("dt"), dateShift.sqlDate()}});
    if (!query.next())
        return std::nullopt;
    return dateFromSql(query.value(0));
}

std::optional<int> JobLines::highestShiftOn(const QDate &date) const
{
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT \"Shift\" FROM \"Production Table\" WHERE \"Date\" = :dt "
                                 "ORDER BY \"Shift\" DESC LIMIT 1"),
                  {{QStringLiteral("dt"), sqlDate(date)}});
    if (!query.next())
        return std::nullopt;
    return query.value(0).toInt();
}

int JobLines::bringForward(const QList<JobLine> &previous, const DateShift &to)
{
    Transaction transaction(m_db);
    // Two workstations may open the same empty date-shift at once; the write lock taken by the
    // transaction makes the second one find the lines of the first.
    if (any(to))
        return 0;
    for (const JobLine &line : previous) {
        JobLine copy = line;
        copy.dateShift = to;
        insertLine(m_db, copy, line.endingCount);
    }
    transaction.commit();
    return int(previous.size());
}

qint64 JobLines::add(const JobLine &line)
{
    return insertLine(m_db, line, 0);
}

bool JobLines::updateIdentity(const JobLine &read, const JobLine &edited)
{
    // An empty job number or description reads as "", whether stored empty or NULL.
    const QString empty = QStringLiteral("");
    SharedRow row(QStringLiteral("\"Production Table\""), QStringLiteral("\"Job ID\""), read.jobId);
    row.expect(QStringLiteral("\"Machine Number\""), orNull(read.machineNumber))
        .expect(QStringLiteral("\"Job Number\""), read.jobNumber, empty)
        .expect(QStringLiteral("\"Job Description\""), read.jobDescription, empty)
        .where(ProtectedLine::unprotected());
    if (edited.machineNumber != read.machineNumber)
        row.set(QStringLiteral("\"Machine Number\""), orNull(edited.machineNumber));
    if (edited.jobNumber != read.jobNumber)
        row.set(QStringLiteral("\"Job Number\""), textOrNull(edited.jobNumber));
    if (edited.jobDescription != read.jobDescription)
        row.set(QStringLiteral("\"Job Description\""), edited.jobDescription);
    return row.write(m_db);
}

std::optional<JobLine> JobLines::line(qint64 jobId) const
{
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT ") + kLineColumns +
                                    QStringLiteral(" FROM \"Production Table\" WHERE \"Job ID\" = :id"),
                                {{QStringLiteral("id"), jobId}});
    if (!query.next())
        return std::nullopt;
    return lineFrom(query);
}

bool JobLines::setCount(qint64 jobId, CountField field, qint64 value, qint64 read)
{
    return SharedRow(QStringLiteral("\"Production Table\""), QStringLiteral("\"Job ID\""), jobId)
        .change(countColumn(field), value, read)
        .where(ProtectedLine::unprotected())
        .write(m_db);
}

bool JobLines::reread(JobLine &line) const
{
    const std::optional<JobLine> stored = this->line(line.jobId);
    if (!stored || stored->protectedRecord) {
        line.protectedRecord = true;
        return false;
    }
    line = *stored;
    return true;
}

bool JobLines::hasTickets(qint64 jobId) const
{
    QSqlQuery query = m_db.exec(
        QStringLiteral("SELECT EXISTS (SELECT 1 FROM \"Transfer Table\" WHERE \"Job ID\" = :id)"
                       " OR EXISTS (SELECT 1 FROM \"Hold Table\" WHERE \"Job ID\" = :id)"
                       " OR EXISTS (SELECT 1 FROM \"Hold Distribution\" WHERE \"Job ID\" = :id)"
                       " OR EXISTS (SELECT 1 FROM \"Hold Distribution\" WHERE \"To Job ID\" = :id)"),
        {{QStringLiteral("id"), jobId}});
    return query.next() && query.value(0).toInt() != 0;
}

JobLines::Removal JobLines::remove(qint64 jobId)
{
    Transaction transaction(m_db);
    const std::optional<bool> protectedLine = ProtectedLine::read(m_db, jobId);
    if (!protectedLine)
        return Removal::Missing;
    if (*protectedLine)
        return Removal::Protected;
    if (hasTickets(jobId))
        return Removal::HasTickets;
    m_db.exec(QStringLiteral("DELETE FROM \"Production Table\" WHERE \"Job ID\" = :id"),
              {{QStringLiteral("id"), jobId}});
    transaction.commit();
    return Removal::Deleted;
}

namespace {
// The next date-shift with lines, one row of "Date" and "Shift". A shift 1 or 2 looks at the same
// date only: when no later shift of it has lines, nothing is posted, even if the next day has lines.
QString nextWithLinesSql(const DateShift &dateShift)
{
    return dateShift.shift < 3 ? QStringLiteral("SELECT \"Date\", \"Shift\" FROM \"Production Table\" WHERE "
                                                "\"Date\" = :dt AND \"Shift\" > :sh "
                                                "ORDER BY \"Shift\" LIMIT 1")
                               : QStringLiteral("SELECT \"Date\", \"Shift\" FROM \"Production Table\" WHERE "
                                                "\"Date\" > :dt AND \"Shift\" = 1 "
                                                "ORDER BY \"Date\" LIMIT 1");
}
} // namespace

std::optional<DateShift> JobLines::nextWithLines(const DateShift &dateShift) const
{
    QSqlQuery query = m_db.exec(nextWithLinesSql(dateShift), dateShiftParams(dateShift));
    if (!query.next())
        return std::nullopt;
    return DateShift{dateFromSql(query.value(0)), query.value(1).toInt()};
}

// A closed (protected) date-shift must not change, so its lines keep their beginning counts.
// An ending count of 0 was never typed: it is no reading to carry. A line that a posting
// brought over and that nobody has counted since (its ending still its beginning, no Mattec
// count, no tickets) moves with the carried count, so that it reads 0 as it did.
QString JobLines::carrySql()
{
    return QStringLiteral(
        "UPDATE \"Production Table\" AS n SET \"Beginning Count\" = p.\"Ending Count\", "
        "\"Ending Count\" = CASE WHEN n.\"Ending Count\" = n.\"Beginning Count\" "
        "AND n.\"Ending Count\" <> 0 AND n.\"Matec Count\" = 0 "
        "AND NOT EXISTS (SELECT 1 FROM \"Transfer Table\" t WHERE t.\"Job ID\" = n.\"Job ID\") "
        "AND NOT EXISTS (SELECT 1 FROM \"Hold Table\" h WHERE h.\"Job ID\" = n.\"Job ID\") "
        "AND NOT EXISTS (SELECT 1 FROM \"Hold Distribution\" d "
        "WHERE d.\"Job ID\" = n.\"Job ID\" OR d.\"To Job ID\" = n.\"Job ID\") "
        "THEN p.\"Ending Count\" ELSE n.\"Ending Count\" END "
        "FROM \"Production Table\" AS p "
        "WHERE p.\"Date\" = :dt AND p.\"Shift\" = :sh AND n.\"Date\" = :nextDt AND n.\"Shift\" = :nextSh "
        "AND p.\"Machine Number\" = n.\"Machine Number\" AND p.\"Job Number\" = n.\"Job Number\" "
        "AND p.\"Ending Count\" <> 0 AND p.\"Job ID\" = (SELECT MAX(l.\"Job ID\") "
        "FROM \"Production Table\" AS l WHERE l.\"Date\" = :dt AND l.\"Shift\" = :sh "
        "AND l.\"Machine Number\" = p.\"Machine Number\" AND l.\"Job Number\" = p.\"Job Number\" "
        "AND l.\"Ending Count\" <> 0) "
        "AND p.\"Ending Count\" <> n.\"Beginning Count\" AND n.\"Protected Record\" = 0");
}

std::optional<Posting> JobLines::postToNextShift(const DateShift &dateShift)
{
    Transaction transaction(m_db);
    std::optional<Posting> found = postingTarget(dateShift);
    if (!found)
        return std::nullopt;
    Posting posting = *found;
    const DateShift next = posting.next;
    m_db.exec(carrySql(), {{QStringLiteral("dt"), dateShift.sqlDate()},
                           {QStringLiteral("sh"), dateShift.shift},
                           {QStringLiteral("nextDt"), next.sqlDate()},
                           {QStringLiteral("nextSh"), next.shift}});
    // The lines brought over come back from the insert itself.
    QSqlQuery added = m_db.exec(m_db.savedQuerySql(QStringLiteral("Bring Forward Unmatched Line Items")) +
                                    QStringLiteral(" RETURNING ") + kLineColumns,
                                {{QStringLiteral("This Date"), dateShift.sqlDate()},
                                 {QStringLiteral("This Shift"), dateShift.shift},
                                 {QStringLiteral("Next Date"), next.sqlDate()},
                                 {QStringLiteral("Next Shift"), next.shift}});
    while (added.next())
        posting.added.append(lineFrom(added, &next));
    added.finish();
    // returned in no particular order: by machine, then as made
    std::sort(posting.added.begin(), posting.added.end(), [](const JobLine &a, const JobLine &b) {
        return std::pair(a.machineNumber.value_or(-1), a.jobId) <
               std::pair(b.machineNumber.value_or(-1), b.jobId);
    });
    transaction.commit();
    return posting;
}

// The next date-shift with lines, whether it is protected, and the counted machines here (an
// ending count not 0) that have lines there, none of them for a job the machine ran here: posting
// carries nothing to them and brings nothing. One statement, since on a server each is a round
// trip: its first row tells the date-shift, the rows after it the machines left alone.
std::optional<Posting> JobLines::postingTarget(const DateShift &dateShift) const
{
    QSqlQuery query = m_db.exec(
        QStringLiteral("WITH upcoming AS (") + nextWithLinesSql(dateShift) +
            QStringLiteral(
                ") SELECT 0 AS \"Part\", u.\"Date\" AS \"Date\", u.\"Shift\" AS \"Shift\", "
                "EXISTS (SELECT 1 FROM \"Production Table\" x WHERE x.\"Date\" = u.\"Date\" "
                "AND x.\"Shift\" = u.\"Shift\" AND x.\"Protected Record\" <> 0) AS \"Protected\", "
                "NULL AS \"Machine Number\" FROM upcoming u "
                "UNION ALL SELECT 1, NULL, NULL, NULL, m.\"Machine Number\" FROM (SELECT DISTINCT "
                "p.\"Machine Number\" AS \"Machine Number\" FROM upcoming u, \"Production Table\" p "
                "WHERE p.\"Date\" = :dt AND p.\"Shift\" = :sh AND p.\"Ending Count\" <> 0 "
                "AND p.\"Machine Number\" IS NOT NULL AND EXISTS (SELECT 1 FROM \"Production Table\" n "
                "WHERE n.\"Date\" = u.\"Date\" AND n.\"Shift\" = u.\"Shift\" AND n.\"Machine Number\" = "
                "p.\"Machine Number\") "
                "AND NOT EXISTS (SELECT 1 FROM \"Production Table\" h JOIN \"Production Table\" n "
                "ON n.\"Machine Number\" = h.\"Machine Number\" "
                "AND COALESCE(n.\"Job Number\", '') = COALESCE(h.\"Job Number\", '') "
                "WHERE h.\"Date\" = :dt AND h.\"Shift\" = :sh AND h.\"Ending Count\" <> 0 "
                "AND h.\"Machine Number\" = p.\"Machine Number\" AND n.\"Date\" = u.\"Date\" AND "
                "n.\"Shift\" = u.\"Shift\")) m "
                "ORDER BY \"Part\", \"Machine Number\""),
        dateShiftParams(dateShift));
    if (!query.next())
        return std::nullopt;
    Posting posting;
    posting.next = DateShift{dateFromSql(query.value(1)), query.value(2).toInt()};
    posting.nextProtected = query.value(3).toBool();
    while (query.next())
        posting.leftAlone.append(query.value(4).toInt());
    return posting;
}

QString Posting::summary() const
{
    if (nextProtected)
        return QStringLiteral("%1 is protected: no counts were carried into it.").arg(next.caption());
    if (added.isEmpty() && leftAlone.isEmpty())
        return {};
    QString text = QStringLiteral("The ending counts were carried to %1.").arg(next.caption());
    if (!added.isEmpty()) {
        QStringList lines;
        for (const JobLine &line : added)
            lines << QStringLiteral("Machine %1, job %2")
                         .arg(line.machineNumber.value_or(0))
                         .arg(line.jobNumber);
        text += QStringLiteral("\n\nLines added there (no line of their machine was there):\n") +
                lines.join(QLatin1Char('\n'));
    }
    if (!leftAlone.isEmpty()) {
        QStringList machines;
        for (int machine : leftAlone)
            machines << QString::number(machine);
        text += QStringLiteral("\n\nMachines left alone (they run another job there): ") +
                machines.join(QStringLiteral(", "));
    }
    return text + QStringLiteral("\n\nThe supervisor of that shift should check these lines.");
}

QList<JobChoice> JobLines::activeJobs() const
{
    QSqlQuery query =
        m_db.exec(QStringLiteral("SELECT \"Job Number\", \"Job Description\" FROM \"Job Lookup Table\" "
                                 "WHERE \"Active\" <> 0 ORDER BY \"Job Number\""));
    QList<JobChoice> jobs;
    while (query.next())
        jobs.append({query.value(0).toString(), query.value(1).toString()});
    return jobs;
}
