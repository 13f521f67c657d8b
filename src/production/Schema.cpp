#include "Schema.h"

#include "foundation/Database.h"

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

// The lines of one date-shift are taken as the id range FirstJID..LastJID. A line added to an
// older date-shift later gets a higher id, so each summary also keeps to the date-shift of its
// first line; otherwise another shift's tickets would be counted in.
QString sameDateShiftAs(const QString &alias)
{
    return QStringLiteral("%1.[Job ID] BETWEEN :FirstJID AND :LastJID"
                          " AND EXISTS (SELECT 1 FROM [Production Table] f WHERE f.[Job ID] = :FirstJID"
                          " AND f.[Date] = %1.[Date] AND f.[Shift] = %1.[Shift])")
        .arg(alias);
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
        {QStringLiteral("Transfer Summary"),
         QStringLiteral("SELECT p.[Job ID], SUM(t.[Transfer Quantity]) AS xfers "
                        "FROM [Production Table] p JOIN [Transfer Table] t ON t.[Job ID] = p.[Job ID] "
                        "WHERE ") +
             sameDateShiftAs(QStringLiteral("p")) +
             QStringLiteral(" GROUP BY p.[Job ID] ORDER BY p.[Job ID]")},
        {QStringLiteral("Hold Summary"),
         QStringLiteral("SELECT p.[Job ID], SUM(h.[Hold Quantity]) AS Holds "
                        "FROM [Production Table] p JOIN [Hold Table] h ON h.[Job ID] = p.[Job ID] "
                        "WHERE ") +
             sameDateShiftAs(QStringLiteral("p")) +
             QStringLiteral(" GROUP BY p.[Job ID] ORDER BY p.[Job ID]")},
        {QStringLiteral("From Rework Summary"),
         QStringLiteral("SELECT p.[Job ID], SUM(d.[Reworked Quantity]) AS Rework "
                        "FROM [Production Table] p JOIN [Hold Distribution] d ON d.[To Job ID] = p.[Job ID] "
                        "WHERE ") +
             sameDateShiftAs(QStringLiteral("p")) +
             QStringLiteral(" GROUP BY p.[Job ID] ORDER BY p.[Job ID]")},
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
        {QStringLiteral("Hold Distribution Summary"),
         QStringLiteral(
             "SELECT SUM(d.[Reworked Quantity]) AS TotRework, SUM(d.[Rejects]) AS TotRejects "
             "FROM [Hold Distribution] d JOIN [Hold Table] h ON h.[Hold Ticket ID] = d.[Hold Ticket ID] "
             "WHERE h.[Job ID] = :JID AND h.[Hold Ticket Number] IS :HTN")},
        {QStringLiteral("Update Disposal Status"),
         QStringLiteral("UPDATE [Hold Table] SET [Disposed of] = 1 WHERE [Hold Remaining] = 0")},
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
} // namespace

QStringList Schema::savedQueryNames()
{
    QStringList names;
    for (const auto &query : savedQueries())
        names << query.first;
    return names;
}

void Schema::seedSavedQueries(Database &db)
{
    for (const auto &[name, sql] : savedQueries()) {
        db.exec(QStringLiteral("INSERT OR REPLACE INTO [Saved Queries] ([Query Name], [SQL Text]) "
                               "VALUES (:name, :sql)"),
                {{QStringLiteral("name"), name}, {QStringLiteral("sql"), sql}});
    }
}

void Schema::create(Database &db)
{
    Transaction transaction(db);
    for (const QString &sql : tableStatements())
        db.exec(sql);
    for (const QString &sql : indexStatements())
        db.exec(sql);
    seedSavedQueries(db);
    db.exec(QStringLiteral("INSERT INTO [CompanyInfo] ([CompanyName]) VALUES (NULL)"));
    transaction.commit();
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
