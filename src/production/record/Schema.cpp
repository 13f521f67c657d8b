#include "Schema.h"

#include "foundation/Database.h"

#include <QSqlQuery>
#include <algorithm>
#include <functional>

namespace {
QString rejectReasonColumns()
{
    QStringList cols;
    for (int i = 1; i <= 10; ++i)
        cols << QStringLiteral("[RejectReason%1] INTEGER NOT NULL DEFAULT 0").arg(i);
    return cols.join(QStringLiteral(",\n  "));
}

QString rejectReasonSelect(const QString &alias)
{
    QStringList cols;
    for (int i = 1; i <= 10; ++i)
        cols << QStringLiteral("%1.[RejectReason%2]").arg(alias).arg(i);
    return cols.join(QStringLiteral(", "));
}

// The parts (job numbers) printed on each customer's daily report ("Corvix", "Velmar"). Made also
// in a database from before the daily reports, at start-up.
QString customerReportParts()
{
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS [Customer Report Parts] (\n"
        "  [Customer] TEXT NOT NULL,\n"
        "  [Job Number] TEXT NOT NULL REFERENCES [Job Lookup Table]([Job Number]) ON UPDATE CASCADE,\n"
        "  PRIMARY KEY ([Customer], [Job Number]))");
}

QStringList tableStatements()
{
    return {
        QStringLiteral("CREATE TABLE [Job Lookup Table] (\n"
                       "  [Job Number] TEXT PRIMARY KEY NOT NULL,\n"
                       "  [Job Description] TEXT,\n"
                       "  [Active] INTEGER NOT NULL DEFAULT 1,\n"
                       "  [Check Sheet] BLOB)"),
        QStringLiteral("CREATE TABLE [Production Table] (\n"
                       "  [Job ID] INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                       "  [Date] TEXT NOT NULL,\n"
                       "  [Shift] INTEGER NOT NULL CHECK ([Shift] BETWEEN 1 AND 3),\n"
                       "  [Machine Number] INTEGER,\n"
                       "  [Job Number] TEXT REFERENCES [Job Lookup Table]([Job Number]) ON UPDATE CASCADE,\n"
                       "  [Job Description] TEXT,\n"
                       "  [Beginning Count] INTEGER NOT NULL DEFAULT 0,\n"
                       "  [Ending Count] INTEGER NOT NULL DEFAULT 0,\n"
                       "  [Matec Count] INTEGER NOT NULL DEFAULT 0,\n"
                       "  [From Rework] INTEGER NOT NULL DEFAULT 0,\n"
                       "  [Transfer Quantity] INTEGER NOT NULL DEFAULT 0,\n"
                       "  [Rejects] INTEGER NOT NULL DEFAULT 0,\n  ") +
            rejectReasonColumns() + QStringLiteral(",\n  [Protected Record] INTEGER NOT NULL DEFAULT 0)"),
        // The ticket and distribution tables carry a counter key of their own so that a grid can
        // address one row; the program's fields are as the plant knows them.
        QStringLiteral("CREATE TABLE [Transfer Table] (\n"
                       "  [Transfer ID] INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                       "  [Job ID] INTEGER NOT NULL REFERENCES [Production Table]([Job ID]),\n"
                       "  [Transfer Number] INTEGER,\n"
                       "  [Transfer Quantity] INTEGER)"),
        QStringLiteral("CREATE TABLE [Hold Table] (\n"
                       "  [Hold Ticket ID] INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                       "  [Job ID] INTEGER NOT NULL REFERENCES [Production Table]([Job ID]),\n"
                       "  [Hold Ticket Number] INTEGER,\n"
                       "  [Hold Quantity] INTEGER NOT NULL DEFAULT 0,\n"
                       "  [Hold Remaining] INTEGER NOT NULL DEFAULT 0,\n"
                       "  [Disposed of] INTEGER NOT NULL DEFAULT 0)"),
        // [To Job ID] is NULL when the row reworks nothing.
        QStringLiteral(
            "CREATE TABLE [Hold Distribution] (\n"
            "  [Distribution ID] INTEGER PRIMARY KEY AUTOINCREMENT,\n"
            "  [Hold Ticket ID] INTEGER NOT NULL REFERENCES [Hold Table]([Hold Ticket ID]),\n"
            "  [Job ID] INTEGER REFERENCES [Production Table]([Job ID]),\n"
            "  [To Job ID] INTEGER REFERENCES [Production Table]([Job ID]),\n"
            "  [Hold Ticket Number] INTEGER,\n"
            "  [Reworked Quantity] INTEGER NOT NULL DEFAULT 0,\n"
            "  [Rejects] INTEGER NOT NULL DEFAULT 0,\n"
            "  [Reject Reason] INTEGER NOT NULL DEFAULT 0 CHECK ([Reject Reason] BETWEEN 0 AND 10),\n"
            "  [Printed] INTEGER NOT NULL DEFAULT 0,\n"
            "  [When Added] TEXT)"),
        QStringLiteral(
            "CREATE TABLE [Color Table] (\n"
            "  [Color ID] INTEGER PRIMARY KEY AUTOINCREMENT,\n"
            "  [Job Number] TEXT NOT NULL REFERENCES [Job Lookup Table]([Job Number]) ON UPDATE CASCADE,\n"
            "  [Color Feeder Code] INTEGER NOT NULL,\n"
            "  [Color Name] TEXT,\n"
            "  [Color Vendor] TEXT,\n"
            "  [Color Number] TEXT,\n"
            "  [Shot Weight] REAL,\n"
            "  [Usage Rate] REAL,\n"
            "  [Cal1] REAL, [Cal2] REAL, [Cal3] REAL, [Cal4] REAL, [Cal5] REAL)"),
        // Login names compare without regard to case, as the plant's network does.
        QStringLiteral("CREATE TABLE [Security Table] (\n"
                       "  [UserName] TEXT PRIMARY KEY NOT NULL COLLATE NOCASE,\n"
                       "  [User Name] TEXT,\n"
                       "  [User ID] INTEGER,\n"
                       "  [Security Level] TEXT NOT NULL DEFAULT 'D'\n"
                       "    CHECK ([Security Level] IN ('A', 'B', 'C', 'D')))"),
        QStringLiteral("CREATE TABLE [CompanyInfo] ([CompanyName] TEXT)"),
        customerReportParts(),
        QStringLiteral("CREATE TABLE [Saved Queries] (\n"
                       "  [Query Name] TEXT PRIMARY KEY NOT NULL,\n"
                       "  [SQL Text] TEXT NOT NULL)"),
    };
}

QStringList indexStatements()
{
    return {
        QStringLiteral(
            "CREATE INDEX [Production Date Shift] ON [Production Table]([Date], [Shift], [Machine Number])"),
        QStringLiteral("CREATE INDEX [Production Job Number] ON [Production Table]([Job Number])"),
        QStringLiteral("CREATE INDEX [Transfer Job ID] ON [Transfer Table]([Job ID])"),
        QStringLiteral("CREATE INDEX [Hold Job ID] ON [Hold Table]([Job ID])"),
        QStringLiteral("CREATE INDEX [Hold Ticket Number] ON [Hold Table]([Hold Ticket Number])"),
        QStringLiteral("CREATE INDEX [Hold Undisposed] ON [Hold Table]([Disposed of], [Job ID])"),
        QStringLiteral("CREATE INDEX [Distribution Ticket] ON [Hold Distribution]([Hold Ticket ID])"),
        QStringLiteral("CREATE INDEX [Distribution Job ID] ON [Hold Distribution]([Job ID])"),
        QStringLiteral("CREATE INDEX [Distribution To Job ID] ON [Hold Distribution]([To Job ID])"),
        QStringLiteral("CREATE INDEX [Color Job Feeder] ON [Color Table]([Job Number], [Color Feeder Code])"),
    };
}

struct SummaryParts
{
    QString name, select, join;
};

QList<SummaryParts> summaryParts()
{
    return {{QStringLiteral("Transfer Summary"), QStringLiteral("SUM(t.[Transfer Quantity]) AS xfers"),
             QStringLiteral("JOIN [Transfer Table] t ON t.[Job ID] = p.[Job ID]")},
            {QStringLiteral("Hold Summary"), QStringLiteral("SUM(h.[Hold Quantity]) AS Holds"),
             QStringLiteral("JOIN [Hold Table] h ON h.[Job ID] = p.[Job ID]")},
            {QStringLiteral("From Rework Summary"), QStringLiteral("SUM(d.[Reworked Quantity]) AS Rework"),
             QStringLiteral("JOIN [Hold Distribution] d ON d.[To Job ID] = p.[Job ID]")}};
}

// The summaries of one date-shift: its first line (FirstJID) names the date-shift, whose lines
// are then found through the [Date], [Shift] index. The id range FirstJID..LastJID only confirms
// them: a line added late to an older date-shift has a high id, and selecting by the range alone
// read every line in between. The unary plus keeps the range from being taken as the way in.
QPair<QString, QString> summaryQuery(int which)
{
    const SummaryParts parts = summaryParts().at(which);
    return {
        parts.name,
        QStringLiteral("SELECT p.[Job ID], ") + parts.select +
            QStringLiteral(" FROM [Production Table] f"
                           " JOIN [Production Table] p ON p.[Date] = f.[Date] AND p.[Shift] = f.[Shift] ") +
            parts.join +
            QStringLiteral(" WHERE f.[Job ID] = :FirstJID AND +p.[Job ID] BETWEEN :FirstJID AND :LastJID"
                           " GROUP BY p.[Job ID] ORDER BY p.[Job ID]")};
}

// The text the summary queries were seeded with before, which a database made then still holds.
QPair<QString, QString> formerSummaryQuery(int which)
{
    const SummaryParts parts = summaryParts().at(which);
    return {parts.name,
            QStringLiteral("SELECT p.[Job ID], ") + parts.select +
                QStringLiteral(" FROM [Production Table] p ") + parts.join +
                QStringLiteral(" WHERE p.[Job ID] BETWEEN :FirstJID AND :LastJID AND EXISTS (SELECT 1 FROM"
                               " [Production Table] f WHERE f.[Job ID] = :FirstJID AND f.[Date] = p.[Date]"
                               " AND f.[Shift] = p.[Shift]) GROUP BY p.[Job ID] ORDER BY p.[Job ID]")};
}

QList<QPair<QString, QString>> savedQueries()
{
    const QString lineInsertColumns = QStringLiteral(
        "[Date], [Shift], [Machine Number], [Job Number], [Job Description], [Beginning Count],"
        " [Ending Count], [Matec Count], [From Rework], [Transfer Quantity]");
    return {
        {QStringLiteral("JobIDs"),
         QStringLiteral("SELECT MIN([Job ID]) AS MinJobID, MAX([Job ID]) AS MaxJobID "
                        "FROM [Production Table] WHERE [Date] = :dt AND [Shift] = :sh")},
        summaryQuery(0),
        summaryQuery(1),
        summaryQuery(2),
        // The last line of each machine of this date-shift that has no line at all on the next
        // date-shift is copied there with its ending count as both counts, so that it reads 0
        // until it is counted. A line never counted (ending 0) carries nothing, a machine that
        // runs another job there is left alone, and a protected (closed) next date-shift
        // receives nothing.
        {QStringLiteral("Bring Forward Unmatched Line Items"),
         QStringLiteral("INSERT INTO [Production Table] (") + lineInsertColumns +
             QStringLiteral(
                 ") SELECT :NextDate, :NextShift, p.[Machine Number], p.[Job Number], p.[Job Description],"
                 " p.[Ending Count], p.[Ending Count], 0, 0, 0 FROM [Production Table] p"
                 " WHERE p.[Date] = :ThisDate AND p.[Shift] = :ThisShift AND p.[Ending Count] <> 0"
                 " AND p.[Job ID] = (SELECT MAX(l.[Job ID]) FROM [Production Table] l"
                 " WHERE l.[Date] = :ThisDate AND l.[Shift] = :ThisShift"
                 " AND l.[Machine Number] = p.[Machine Number])"
                 " AND NOT EXISTS (SELECT 1 FROM [Production Table] q WHERE q.[Date] = :NextDate"
                 " AND q.[Shift] = :NextShift AND q.[Machine Number] = p.[Machine Number])"
                 " AND NOT EXISTS (SELECT 1 FROM [Production Table] r WHERE r.[Date] = :NextDate"
                 " AND r.[Shift] = :NextShift AND r.[Protected Record] <> 0)"
                 " ORDER BY p.[Machine Number], p.[Job ID]")},
        {QStringLiteral("Set Protection"),
         QStringLiteral("UPDATE [Production Table] SET [Protected Record] = "
                        "CASE WHEN :Valu <> 0 THEN 1 ELSE 0 END "
                        "WHERE [Date] = :dt AND [Shift] = :sh")},
        // Wkday: 1 = Sunday .. 7 = Saturday.
        {QStringLiteral("Protected Query"),
         QStringLiteral("SELECT [Date] AS dt, [Shift], MAX([Protected Record]) AS [Protected Record], "
                        "CAST(strftime('%w', [Date]) AS INTEGER) + 1 AS Wkday "
                        "FROM [Production Table] WHERE [Date] BETWEEN :LoD8 AND :HiD8 "
                        "GROUP BY [Date], [Shift] ORDER BY [Date], [Shift]")},
        {QStringLiteral("Unresolved Hold Date Shift"),
         QStringLiteral("SELECT DISTINCT p.[Date], p.[Shift] FROM [Hold Table] h "
                        "JOIN [Production Table] p ON p.[Job ID] = h.[Job ID] "
                        "WHERE h.[Disposed of] = 0 ORDER BY p.[Date], p.[Shift]")},
        {QStringLiteral("Unresolved Hold"),
         QStringLiteral("SELECT p.[Date], p.[Shift], p.[Machine Number], p.[Job ID], h.[Hold Ticket ID], "
                        "p.[Job Number], p.[Job Description], h.[Hold Ticket Number], h.[Hold Quantity], "
                        "h.[Hold Remaining], p.[Protected Record], ") +
             rejectReasonSelect(QStringLiteral("p")) +
             QStringLiteral(" FROM [Hold Table] h JOIN [Production Table] p ON p.[Job ID] = h.[Job ID] "
                            "WHERE h.[Disposed of] = 0 "
                            "ORDER BY p.[Date], p.[Shift], p.[Machine Number], h.[Hold Ticket Number]")},
        // The rows of the ticket itself (HTID): two tickets of one line may share a number, or
        // both have none. JID and HTN are still passed for sites that match by them.
        {QStringLiteral("Hold Distribution Summary"),
         QStringLiteral("SELECT SUM(d.[Reworked Quantity]) AS TotRework, SUM(d.[Rejects]) AS TotRejects "
                        "FROM [Hold Distribution] d WHERE d.[Hold Ticket ID] = :HTID")},
        // The tickets of protected lines keep their status: the database refuses changes to them.
        {QStringLiteral("Update Disposal Status"),
         QStringLiteral("UPDATE [Hold Table] SET [Disposed of] = 1 WHERE [Hold Remaining] = 0 "
                        "AND [Disposed of] = 0 AND NOT EXISTS (SELECT 1 FROM [Production Table] p "
                        "WHERE p.[Job ID] = [Hold Table].[Job ID] AND p.[Protected Record] <> 0)")},
        {QStringLiteral("Unprotected Query"),
         QStringLiteral("SELECT [Job ID], [Date], [Shift], [Machine Number], [Job Number], [Job Description] "
                        "FROM [Production Table] WHERE [Protected Record] = 0 "
                        "ORDER BY [Date], [Shift], [Machine Number]")},
        {QStringLiteral("Color Selection"),
         QStringLiteral("SELECT * FROM [Color Table] ORDER BY [Job Number], [Color Feeder Code]")},
        {QStringLiteral("Get Highest Date"),
         QStringLiteral("SELECT MAX([Date]) AS Expr1 FROM [Production Table]")},
    };
}

// The refusal a protection trigger raises; the data layer recognizes it by its marker.
QString refusal(const QString &message)
{
    return QStringLiteral("SELECT RAISE(ABORT, '%1%2')").arg(DbErrors::protectedMarker(), message);
}

// True when the row's values differ in any of the columns: a statement that writes a protected
// row's values back unchanged is let through.
QString anyChanged(const QStringList &columns)
{
    QStringList changes;
    for (const QString &column : columns)
        changes << QStringLiteral("OLD.[%1] IS NOT NEW.[%1]").arg(column);
    return QStringLiteral("(") + changes.join(QStringLiteral(" OR ")) + QStringLiteral(")");
}

QString lineProtected(const QString &jobId)
{
    return QStringLiteral("EXISTS (SELECT 1 FROM [Production Table] WHERE [Job ID] = %1 "
                          "AND [Protected Record] <> 0)")
        .arg(jobId);
}

QString dateShiftProtected(const QString &row)
{
    return QStringLiteral("EXISTS (SELECT 1 FROM [Production Table] WHERE [Date] = %1.[Date] "
                          "AND [Shift] = %1.[Shift] AND [Protected Record] <> 0)")
        .arg(row);
}

// A distribution row belongs to the line of its hold ticket and books rework on [To Job ID].
QString distributionProtected(const QString &row)
{
    return QStringLiteral("(") + lineProtected(row + QStringLiteral(".[Job ID]")) + QStringLiteral(" OR ") +
           lineProtected(row + QStringLiteral(".[To Job ID]")) + QStringLiteral(" OR ") +
           lineProtected(QStringLiteral("(SELECT [Job ID] FROM [Hold Table] WHERE [Hold Ticket ID] = %1."
                                        "[Hold Ticket ID])")
                             .arg(row)) +
           QStringLiteral(")");
}

QString trigger(const QString &name, const QString &event, const QString &when, const QString &message)
{
    return QStringLiteral("CREATE TRIGGER [%1] BEFORE %2 FOR EACH ROW WHEN %3 BEGIN %4; END")
        .arg(name, event, when, refusal(message));
}

// The columns of a table as its definition holds them, so that a column added to a table is
// protected without anyone having to list it again.
QStringList tableColumns(const Database &db, const QString &table)
{
    QSqlQuery query = db.exec(QStringLiteral("SELECT name FROM pragma_table_info(:table) ORDER BY cid"),
                              {{QStringLiteral("table"), table}});
    QStringList columns;
    while (query.next())
        columns << query.value(0).toString();
    return columns;
}

// A protected table, its counter key, and the columns that are bookkeeping rather than record:
// the protection flag itself (written by "Set Protection") and the reject report's [Printed]
// mark, which the update report sets on rows of protected date-shifts as well.
struct ProtectedTable
{
    QString prefix, table, key, message;
    QStringList bookkeeping;
    std::function<QString(const QString &)> isProtected; // of a row alias: OLD, NEW or a table alias
};

// A row that holds the key: a REPLACE that took it would delete that row without any delete
// trigger, so a new row may not take the key of a protected row, nor a key move onto one.
QString keyTaken(const ProtectedTable &table, const QString &key)
{
    return QStringLiteral("EXISTS (SELECT 1 FROM [%1] AS taken WHERE taken.[%2] = %3 AND %4)")
        .arg(table.table, table.key, key, table.isProtected(QStringLiteral("taken")));
}

QString recordColumnsChanged(const Database &db, const ProtectedTable &table)
{
    QStringList columns = tableColumns(db, table.table);
    for (const QString &column : table.bookkeeping)
        columns.removeAll(column);
    return anyChanged(columns);
}

QString keyMoved(const ProtectedTable &table)
{
    return QStringLiteral("(OLD.[%1] IS NOT NEW.[%1] AND %2)")
        .arg(table.key, keyTaken(table, QStringLiteral("NEW.[%1]").arg(table.key)));
}

QList<ProtectedTable> protectedTables()
{
    const auto ticketLine = [](const QString &row) {
        return lineProtected(row + QStringLiteral(".[Job ID]"));
    };
    const QString ticketMessage =
        QStringLiteral("The tickets of a protected date-shift cannot be added, changed or deleted.");
    return {
        {QStringLiteral("Protect Line"),
         QStringLiteral("Production Table"),
         QStringLiteral("Job ID"),
         QStringLiteral("The lines of a protected date-shift cannot be changed or deleted."),
         {QStringLiteral("Protected Record")},
         [](const QString &row) { return row + QStringLiteral(".[Protected Record] <> 0"); }},
        {QStringLiteral("Protect Transfer"),
         QStringLiteral("Transfer Table"),
         QStringLiteral("Transfer ID"),
         ticketMessage,
         {},
         ticketLine},
        {QStringLiteral("Protect Hold"),
         QStringLiteral("Hold Table"),
         QStringLiteral("Hold Ticket ID"),
         ticketMessage,
         {},
         ticketLine},
        {QStringLiteral("Protect Distribution"),
         QStringLiteral("Hold Distribution"),
         QStringLiteral("Distribution ID"),
         QStringLiteral(
             "The hold distribution of a protected date-shift cannot be added, changed or deleted."),
         {QStringLiteral("Printed")},
         distributionProtected},
    };
}

QList<QPair<QString, QString>> namedTrigger(const QString &name, const QString &event, const QString &when,
                                            const QString &message)
{
    return {{name, trigger(name, event, when, message)}};
}

// A line: no line is added to a protected date-shift or moved into one, and a protected line
// changes only its flag.
QList<QPair<QString, QString>> lineTriggers(const Database &db, const ProtectedTable &line)
{
    const QString on = QStringLiteral(" ON [%1]").arg(line.table);
    return namedTrigger(line.prefix + QStringLiteral(" Insert"), QStringLiteral("INSERT") + on,
                        dateShiftProtected(QStringLiteral("NEW")),
                        QStringLiteral("No line can be added to a protected date-shift.")) +
           namedTrigger(line.prefix + QStringLiteral(" Replace"), QStringLiteral("INSERT") + on,
                        keyTaken(line, QStringLiteral("NEW.[%1]").arg(line.key)), line.message) +
           namedTrigger(line.prefix + QStringLiteral(" Update"), QStringLiteral("UPDATE") + on,
                        QStringLiteral("(OLD.[Protected Record] <> 0 AND ") + recordColumnsChanged(db, line) +
                            QStringLiteral(") OR ((OLD.[Date] IS NOT NEW.[Date] OR OLD.[Shift] IS NOT "
                                           "NEW.[Shift]) AND ") +
                            dateShiftProtected(QStringLiteral("NEW")) + QStringLiteral(") OR ") +
                            keyMoved(line),
                        line.message) +
           namedTrigger(line.prefix + QStringLiteral(" Delete"), QStringLiteral("DELETE") + on,
                        line.isProtected(QStringLiteral("OLD")), line.message);
}

// A ticket or distribution row: nothing is added to, changed on or deleted from a protected line.
QList<QPair<QString, QString>> ticketTriggers(const Database &db, const ProtectedTable &ticket)
{
    const QString on = QStringLiteral(" ON [%1]").arg(ticket.table);
    return namedTrigger(ticket.prefix + QStringLiteral(" Insert"), QStringLiteral("INSERT") + on,
                        ticket.isProtected(QStringLiteral("NEW")) + QStringLiteral(" OR ") +
                            keyTaken(ticket, QStringLiteral("NEW.[%1]").arg(ticket.key)),
                        ticket.message) +
           namedTrigger(ticket.prefix + QStringLiteral(" Update"), QStringLiteral("UPDATE") + on,
                        QStringLiteral("(") + recordColumnsChanged(db, ticket) + QStringLiteral(" AND (") +
                            ticket.isProtected(QStringLiteral("OLD")) + QStringLiteral(" OR ") +
                            ticket.isProtected(QStringLiteral("NEW")) + QStringLiteral(")) OR ") +
                            keyMoved(ticket),
                        ticket.message) +
           namedTrigger(ticket.prefix + QStringLiteral(" Delete"), QStringLiteral("DELETE") + on,
                        ticket.isProtected(QStringLiteral("OLD")), ticket.message);
}

// What the database itself refuses on a protected date-shift, so that no workstation and no
// statement (REPLACE included) can get round the protection. The column lists come from the
// tables as they are, so the triggers are made after the tables.
QList<QPair<QString, QString>> protectionTriggers(const Database &db)
{
    const QList<ProtectedTable> tables = protectedTables();
    QList<QPair<QString, QString>> triggers = lineTriggers(db, tables.first());
    for (qsizetype i = 1; i < tables.size(); ++i)
        triggers << ticketTriggers(db, tables.at(i));
    return triggers;
}

// Saved query texts that earlier versions wrote and that now must leave protected rows alone. A
// database still holding one of them gets the new text; a text a site changed is kept.
QList<QPair<QString, QString>> replacedQueryTexts()
{
    return {
        {QStringLiteral("Update Disposal Status"),
         QStringLiteral("UPDATE [Hold Table] SET [Disposed of] = 1 WHERE [Hold Remaining] = 0")},
        formerSummaryQuery(0),
        formerSummaryQuery(1),
        formerSummaryQuery(2),
        // It copied every unmatched line, uncounted ones and changed jobs included.
        {QStringLiteral("Bring Forward Unmatched Line Items"),
         QStringLiteral("INSERT INTO [Production Table] ([Date], [Shift], [Machine Number], [Job Number], "
                        "[Job Description], [Beginning Count], [Ending Count], [Matec Count], [From Rework], "
                        "[Transfer Quantity]) SELECT :NextDate, :NextShift, p.[Machine Number], "
                        "p.[Job Number], p.[Job Description], p.[Ending Count], 0, 0, 0, 0 FROM [Production "
                        "Table] p WHERE p.[Date] = :ThisDate AND p.[Shift] = :ThisShift AND NOT EXISTS "
                        "(SELECT 1 FROM [Production Table] q WHERE q.[Date] = :NextDate AND q.[Shift] = "
                        ":NextShift AND q.[Machine Number] IS p.[Machine Number] AND q.[Job Number] IS "
                        "p.[Job Number]) AND NOT EXISTS (SELECT 1 FROM [Production Table] r WHERE r.[Date] "
                        "= :NextDate AND r.[Shift] = :NextShift AND r.[Protected Record] <> 0) ORDER BY "
                        "p.[Machine Number], p.[Job ID]")}};
}

QList<QPair<QString, QString>> allSavedQueries(const QList<QPair<QString, QString>> &moreQueries)
{
    return savedQueries() + moreQueries;
}
} // namespace

QStringList Schema::savedQueryNames(const QList<QPair<QString, QString>> &moreQueries)
{
    QStringList names;
    for (const auto &query : allSavedQueries(moreQueries))
        names << query.first;
    return names;
}

void Schema::seedSavedQueries(Database &db, const QList<QPair<QString, QString>> &moreQueries)
{
    for (const auto &[name, sql] : allSavedQueries(moreQueries)) {
        db.exec(QStringLiteral("INSERT OR REPLACE INTO [Saved Queries] ([Query Name], [SQL Text]) "
                               "VALUES (:name, :sql)"),
                {{QStringLiteral("name"), name}, {QStringLiteral("sql"), sql}});
    }
}

void Schema::addMissingSavedQueries(Database &db, const QList<QPair<QString, QString>> &moreQueries)
{
    db.exec(customerReportParts());
    for (const auto &[name, sql] : allSavedQueries(moreQueries)) {
        db.exec(QStringLiteral(
                    "INSERT OR IGNORE INTO [Saved Queries] ([Query Name], [SQL Text]) VALUES (:name, :sql)"),
                {{QStringLiteral("name"), name}, {QStringLiteral("sql"), sql}});
    }
}

void Schema::create(Database &db, const QList<QPair<QString, QString>> &moreQueries)
{
    Transaction transaction(db);
    for (const QString &sql : tableStatements())
        db.exec(sql);
    for (const QString &sql : indexStatements())
        db.exec(sql);
    for (const auto &[name, sql] : protectionTriggers(db))
        db.exec(sql);
    seedSavedQueries(db, moreQueries);
    db.exec(QStringLiteral("INSERT INTO [CompanyInfo] ([CompanyName]) VALUES (NULL)"));
    transaction.commit();
}

bool Schema::protectionCurrent(const Database &db)
{
    for (const auto &[name, sql] : protectionTriggers(db)) {
        QSqlQuery query = db.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'trigger' "
                                                 "AND name = :name"),
                                  {{QStringLiteral("name"), name}});
        if (!query.next() || query.value(0).toString() != sql)
            return false;
    }
    for (const auto &[name, oldSql] : replacedQueryTexts()) {
        if (db.savedQuerySql(name) == oldSql)
            return false;
    }
    return true;
}

void Schema::ensureProtection(Database &db)
{
    // Read first: a database that is up to date is not written, so opening it takes no write lock.
    if (protectionCurrent(db))
        return;
    Transaction transaction(db);
    for (const auto &[name, sql] : protectionTriggers(db)) {
        db.exec(QStringLiteral("DROP TRIGGER IF EXISTS [%1]").arg(name));
        db.exec(sql);
    }
    const auto current = savedQueries();
    for (const auto &[name, oldSql] : replacedQueryTexts()) {
        const auto latest = std::find_if(current.cbegin(), current.cend(),
                                         [&](const auto &query) { return query.first == name; });
        db.exec(QStringLiteral("UPDATE [Saved Queries] SET [SQL Text] = :sql WHERE [Query Name] = :name "
                               "AND [SQL Text] = :old"),
                {{QStringLiteral("sql"), latest->second},
                 {QStringLiteral("name"), name},
                 {QStringLiteral("old"), oldSql}});
    }
    transaction.commit();
    // This connection read the former texts above.
    db.forgetSavedQueries();
}

void Schema::authorize(Database &db, const QString &loginName, const QString &fullName, const QString &level)
{
    db.exec(QStringLiteral("INSERT INTO [Security Table] ([UserName], [User Name], [Security Level]) "
                           "VALUES (:login, :name, :level) "
                           "ON CONFLICT([UserName]) DO UPDATE SET [User Name] = excluded.[User Name], "
                           "[Security Level] = excluded.[Security Level]"),
            {{QStringLiteral("login"), loginName},
             {QStringLiteral("name"), fullName},
             {QStringLiteral("level"), level}});
}
