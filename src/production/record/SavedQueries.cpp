#include "SavedQueries.h"

#include "foundation/Database.h"
#include "foundation/RejectReasons.h"

namespace {
using Query = QPair<QString, QString>;

// The summaries of one date-shift: its first line (FirstJID) names the date-shift, whose lines
// are then found through the [Date], [Shift] index. The id range FirstJID..LastJID only confirms
// them: a line added late to an older date-shift has a high id, and selecting by the range alone
// read every line in between. The unary plus keeps the range from being taken as the way in.
Query summaryQuery(int which)
{
    const SavedQueries::SummaryParts parts = SavedQueries::summaryParts().at(which);
    return {
        parts.name,
        QStringLiteral("SELECT p.\"Job ID\", ") + parts.select +
            QStringLiteral(
                " FROM \"Production Table\" f"
                " JOIN \"Production Table\" p ON p.\"Date\" = f.\"Date\" AND p.\"Shift\" = f.\"Shift\" ") +
            parts.join +
            QStringLiteral(" WHERE f.\"Job ID\" = :FirstJID AND +p.\"Job ID\" BETWEEN :FirstJID AND :LastJID"
                           " GROUP BY p.\"Job ID\" ORDER BY p.\"Job ID\"")};
}

// The last line of each machine of this date-shift that has no line at all on the next
// date-shift is copied there with its ending count as both counts, so that it reads 0
// until it is counted. A line never counted (ending 0) carries nothing, a machine that
// runs another job there is left alone, and a protected (closed) next date-shift
// receives nothing.
Query bringForward()
{
    const QString lineInsertColumns = QStringLiteral(
        "\"Date\", \"Shift\", \"Machine Number\", \"Job Number\", \"Job Description\", \"Beginning Count\","
        " \"Ending Count\", \"Matec Count\", \"From Rework\", \"Transfer Quantity\"");
    return {QStringLiteral("Bring Forward Unmatched Line Items"),
            QStringLiteral("INSERT INTO \"Production Table\" (") + lineInsertColumns +
                QStringLiteral(
                    ") SELECT :NextDate, :NextShift, p.\"Machine Number\", p.\"Job Number\", p.\"Job "
                    "Description\","
                    " p.\"Ending Count\", p.\"Ending Count\", 0, 0, 0 FROM \"Production Table\" p"
                    " WHERE p.\"Date\" = :ThisDate AND p.\"Shift\" = :ThisShift AND p.\"Ending Count\" <> 0"
                    " AND p.\"Job ID\" = (SELECT MAX(l.\"Job ID\") FROM \"Production Table\" l"
                    " WHERE l.\"Date\" = :ThisDate AND l.\"Shift\" = :ThisShift"
                    " AND l.\"Machine Number\" = p.\"Machine Number\")"
                    " AND NOT EXISTS (SELECT 1 FROM \"Production Table\" q WHERE q.\"Date\" = :NextDate"
                    " AND q.\"Shift\" = :NextShift AND q.\"Machine Number\" = p.\"Machine Number\")"
                    " AND NOT EXISTS (SELECT 1 FROM \"Production Table\" r WHERE r.\"Date\" = :NextDate"
                    " AND r.\"Shift\" = :NextShift AND r.\"Protected Record\" <> 0)"
                    " ORDER BY p.\"Machine Number\", p.\"Job ID\"")};
}

// The lines of a date-shift: their ids, figures, carrying forward and protection.
QList<Query> dateShiftQueries(const SqlDialect &dialect)
{
    return {
        {QStringLiteral("JobIDs"),
         QStringLiteral("SELECT MIN(\"Job ID\") AS \"MinJobID\", MAX(\"Job ID\") AS \"MaxJobID\" "
                        "FROM \"Production Table\" WHERE \"Date\" = :dt AND \"Shift\" = :sh")},
        summaryQuery(0),
        summaryQuery(1),
        summaryQuery(2),
        bringForward(),
        {QStringLiteral("Set Protection"),
         QStringLiteral("UPDATE \"Production Table\" SET \"Protected Record\" = "
                        "CASE WHEN :Valu <> 0 THEN 1 ELSE 0 END "
                        "WHERE \"Date\" = :dt AND \"Shift\" = :sh")},
        // Wkday: 1 = Sunday .. 7 = Saturday.
        {QStringLiteral("Protected Query"),
         QStringLiteral(
             "SELECT \"Date\" AS dt, \"Shift\", MAX(\"Protected Record\") AS \"Protected Record\", "
             "%1 + 1 AS \"Wkday\" "
             "FROM \"Production Table\" WHERE \"Date\" BETWEEN :LoD8 AND :HiD8 "
             "GROUP BY \"Date\", \"Shift\" ORDER BY \"Date\", \"Shift\"")
             .arg(dialect.weekday(QStringLiteral("\"Date\"")))},
    };
}

QList<Query> holdQueries()
{
    return {
        {QStringLiteral("Unresolved Hold Date Shift"),
         QStringLiteral("SELECT DISTINCT p.\"Date\", p.\"Shift\" FROM \"Hold Table\" h "
                        "JOIN \"Production Table\" p ON p.\"Job ID\" = h.\"Job ID\" "
                        "WHERE h.\"Disposed of\" = 0 ORDER BY p.\"Date\", p.\"Shift\"")},
        {QStringLiteral("Unresolved Hold"),
         QStringLiteral(
             "SELECT p.\"Date\", p.\"Shift\", p.\"Machine Number\", p.\"Job ID\", h.\"Hold Ticket ID\", "
             "p.\"Job Number\", p.\"Job Description\", h.\"Hold Ticket Number\", h.\"Hold Quantity\", "
             "h.\"Hold Remaining\", p.\"Protected Record\", ") +
             RejectReasons::columns(QStringLiteral("p")).join(QStringLiteral(", ")) +
             QStringLiteral(
                 " FROM \"Hold Table\" h JOIN \"Production Table\" p ON p.\"Job ID\" = h.\"Job ID\" "
                 "WHERE h.\"Disposed of\" = 0 "
                 "ORDER BY p.\"Date\", p.\"Shift\", p.\"Machine Number\", h.\"Hold Ticket Number\"")},
        // The rows of the ticket itself (HTID): two tickets of one line may share a number, or
        // both have none. JID and HTN are still passed for sites that match by them.
        {QStringLiteral("Hold Distribution Summary"),
         QStringLiteral(
             "SELECT SUM(d.\"Reworked Quantity\") AS \"TotRework\", SUM(d.\"Rejects\") AS \"TotRejects\" "
             "FROM \"Hold Distribution\" d WHERE d.\"Hold Ticket ID\" = :HTID")},
        // The tickets of protected lines keep their status: the database refuses changes to them.
        {QStringLiteral("Update Disposal Status"),
         QStringLiteral("UPDATE \"Hold Table\" SET \"Disposed of\" = 1 WHERE \"Hold Remaining\" = 0 "
                        "AND \"Disposed of\" = 0 AND NOT EXISTS (SELECT 1 FROM \"Production Table\" p "
                        "WHERE p.\"Job ID\" = \"Hold Table\".\"Job ID\" AND p.\"Protected Record\" <> 0)")},
    };
}

QList<Query> listQueries()
{
    return {
        {QStringLiteral("Unprotected Query"),
         QStringLiteral("SELECT \"Job ID\", \"Date\", \"Shift\", \"Machine Number\", \"Job Number\", \"Job "
                        "Description\" "
                        "FROM \"Production Table\" WHERE \"Protected Record\" = 0 "
                        "ORDER BY \"Date\", \"Shift\", \"Machine Number\"")},
        {QStringLiteral("Color Selection"),
         QStringLiteral("SELECT * FROM \"Color Table\" ORDER BY \"Job Number\", \"Color Feeder Code\"")},
        {QStringLiteral("Get Highest Date"),
         QStringLiteral("SELECT MAX(\"Date\") AS \"Expr1\" FROM \"Production Table\"")},
    };
}
} // namespace

QList<SavedQueries::SummaryParts> SavedQueries::summaryParts()
{
    return {{QStringLiteral("Transfer Summary"), QStringLiteral("SUM(t.\"Transfer Quantity\") AS xfers"),
             QStringLiteral("JOIN \"Transfer Table\" t ON t.\"Job ID\" = p.\"Job ID\"")},
            {QStringLiteral("Hold Summary"), QStringLiteral("SUM(h.\"Hold Quantity\") AS \"Holds\""),
             QStringLiteral("JOIN \"Hold Table\" h ON h.\"Job ID\" = p.\"Job ID\"")},
            {QStringLiteral("From Rework Summary"),
             QStringLiteral("SUM(d.\"Reworked Quantity\") AS \"Rework\""),
             QStringLiteral("JOIN \"Hold Distribution\" d ON d.\"To Job ID\" = p.\"Job ID\"")}};
}

QList<QPair<QString, QString>> SavedQueries::production(const SqlDialect &dialect)
{
    return dateShiftQueries(dialect) + holdQueries() + listQueries();
}

QList<QPair<QString, QString>> SavedQueries::all(const SqlDialect &dialect,
                                                 const QList<QPair<QString, QString>> &moreQueries)
{
    return production(dialect) + moreQueries;
}

QStringList SavedQueries::names(const QList<QPair<QString, QString>> &moreQueries)
{
    QStringList names;
    for (const auto &query : all(SqlDialect(), moreQueries))
        names << query.first;
    return names;
}

void SavedQueries::seed(Database &db, const QList<QPair<QString, QString>> &moreQueries)
{
    for (const auto &[name, sql] : all(db.dialect(), moreQueries)) {
        db.exec(QStringLiteral(
                    "INSERT INTO \"Saved Queries\" (\"Query Name\", \"SQL Text\") VALUES (:name, :sql) "
                    "ON CONFLICT (\"Query Name\") DO UPDATE SET \"SQL Text\" = excluded.\"SQL Text\""),
                {{QStringLiteral("name"), name}, {QStringLiteral("sql"), sql}});
    }
}
