#include "StagingQueries.h"

namespace {
// The job lines of the date range with the figures the production counts window shows beside
// them: transfers, holds and rework received, and the net finished goods and rejects that follow.
QString linesWithFigures(const QString &where)
{
    QStringList reasons;
    for (int i = 1; i <= 10; ++i)
        reasons << QStringLiteral("[RejectReason%1]").arg(i);
    return QStringLiteral(
               "WITH lines AS (SELECT p.*,"
               " COALESCE((SELECT SUM(t.[Transfer Quantity]) FROM [Transfer Table] t"
               " WHERE t.[Job ID] = p.[Job ID]), 0) AS xfers,"
               " COALESCE((SELECT SUM(h.[Hold Quantity]) FROM [Hold Table] h WHERE h.[Job ID] = p.[Job ID]), "
               "0) AS holds,"
               " COALESCE((SELECT SUM(d.[Reworked Quantity]) FROM [Hold Distribution] d"
               " WHERE d.[To Job ID] = p.[Job ID]), 0) AS rework"
               " FROM [Production Table] p WHERE %1)"
               " SELECT [Job ID], [Date], [Shift], [Machine Number], [Job Number], [Job Description],"
               " [Beginning Count], [Ending Count], [Matec Count],"
               " xfers AS [Transfers], holds AS [To Hold], rework AS [From Rework],"
               " [Ending Count] + xfers - [Beginning Count] AS [Net Finished Goods],"
               " ([Matec Count] + rework - holds) - ([Ending Count] + xfers - [Beginning Count]) AS "
               "[Rejects],"
               " %2, [Protected Record] FROM lines")
        .arg(where, reasons.join(QStringLiteral(", ")));
}
} // namespace

QList<QPair<QString, QString>> StagingQueries::all()
{
    const QString inRange = QStringLiteral("p.[Date] BETWEEN :StartDate AND :EndDate");
    return {
        {QStringLiteral("zz Stage Production Counts Query"),
         QStringLiteral("CREATE TABLE [Reports].[Production Counts Report Table] AS ") +
             linesWithFigures(inRange)},
        {QStringLiteral("zz Stage Transfer List Query"),
         QStringLiteral(
             "CREATE TABLE [Reports].[Transfer List Report Table] AS"
             " SELECT p.[Job ID], p.[Date], p.[Shift], p.[Machine Number], p.[Job Number],"
             " p.[Job Description], t.[Transfer Number],"
             " COALESCE(t.[Transfer Quantity], 0) AS [Transfer Quantity]"
             " FROM [Transfer Table] t JOIN [Production Table] p ON p.[Job ID] = t.[Job ID] WHERE ") +
             inRange},
        {QStringLiteral("zz Stage On Hold Report Query"),
         QStringLiteral("CREATE TABLE [Reports].[On Hold Report Table] AS"
                        " SELECT p.[Job ID], p.[Date], p.[Shift], p.[Machine Number], p.[Job Number],"
                        " p.[Job Description], h.[Hold Ticket ID], h.[Hold Ticket Number], h.[Hold Quantity],"
                        " h.[Hold Remaining], h.[Disposed of],"
                        " COALESCE((SELECT SUM(d.[Reworked Quantity]) FROM [Hold Distribution] d"
                        " WHERE d.[Hold Ticket ID] = h.[Hold Ticket ID]), 0) AS [Reworked],"
                        " COALESCE((SELECT SUM(d.[Rejects]) FROM [Hold Distribution] d"
                        " WHERE d.[Hold Ticket ID] = h.[Hold Ticket ID]), 0) AS [Rejected]"
                        " FROM [Hold Table] h JOIN [Production Table] p ON p.[Job ID] = h.[Job ID] WHERE ") +
             inRange},
        {QStringLiteral("zz Stage Production Summary Report Query"),
         QStringLiteral("CREATE TABLE [Reports].[Production Summary Report Table] AS ") +
             linesWithFigures(
                 inRange + QStringLiteral(" AND (COALESCE(:StartJob, '') = '' OR p.[Job Number] >= :StartJob)"
                                          " AND (COALESCE(:EndJob, '') = '' OR p.[Job Number] <= :EndJob)"))},
        {QStringLiteral("zz Stage Security Profile Query"),
         QStringLiteral("CREATE TABLE [Reports].[Security Profile Report Table] AS"
                        " SELECT [UserName], [User Name], [User ID], [Security Level],"
                        " CASE [Security Level] WHEN 'A' THEN 'A - Production Supervisor'"
                        " WHEN 'B' THEN 'B - Quality Assurance Inspector'"
                        " WHEN 'C' THEN 'C - Quality Assurance Manager'"
                        " WHEN 'D' THEN 'D - Reports-Only User' ELSE [Security Level] END AS [Level Name]"
                        " FROM [Security Table]")},
    };
}
