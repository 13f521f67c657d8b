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

// One row per day and part of a customer's daily report: the part's production of that day over
// all shifts and machines. The parts are the customer's rows of [Customer Report Parts].
QString dailyCustomerReport(const QString &table, const QString &customer)
{
    return QStringLiteral("CREATE TABLE [Reports].[%1] AS SELECT [Date], [Job Number],"
                          " MAX([Job Description]) AS [Job Description], COUNT(*) AS [Lines],"
                          " SUM([Matec Count]) AS [Matec Count], SUM([Transfers]) AS [Transfers],"
                          " SUM([Net Finished Goods]) AS [Net Finished Goods], SUM([To Hold]) AS [To Hold],"
                          " SUM([Rejects]) AS [Rejects] FROM (")
               .arg(table) +
           linesWithFigures(QStringLiteral("p.[Date] BETWEEN :LoDate AND :HiDate AND p.[Job Number] IN"
                                           " (SELECT c.[Job Number] FROM [Customer Report Parts] c"
                                           " WHERE c.[Customer] = '%1')")
                                .arg(customer)) +
           QStringLiteral(") GROUP BY [Date], [Job Number]");
}

QString reasonCaption(const QString &field)
{
    return QStringLiteral(
               "CASE %1 WHEN 1 THEN 'Startup' WHEN 2 THEN 'Short/Flash' WHEN 3 THEN 'Contamination'"
               " WHEN 4 THEN 'Cosmetic' WHEN 5 THEN 'Molding/Other' WHEN 6 THEN 'Personnel'"
               " WHEN 7 THEN 'Dimensional' WHEN 8 THEN 'Function' WHEN 9 THEN 'Weight'"
               " WHEN 10 THEN 'Other' ELSE 'None' END")
        .arg(field);
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
        // The reject distribution rows not printed yet, with the line of their hold ticket.
        {QStringLiteral("zz Stage Reject Update Report Query"),
         QStringLiteral("CREATE TABLE [Reports].[Reject Update Report Table] AS"
                        " SELECT d.[Distribution ID], d.[Hold Ticket ID], h.[Hold Ticket Number], p.[Date],"
                        " p.[Shift], p.[Machine Number], p.[Job Number], p.[Job Description],"
                        " d.[Reworked Quantity], d.[Rejects], d.[Reject Reason], ") +
             reasonCaption(QStringLiteral("d.[Reject Reason]")) +
             QStringLiteral(
                 " AS [Reason], d.[When Added]"
                 " FROM [Hold Distribution] d JOIN [Hold Table] h ON h.[Hold Ticket ID] = d.[Hold Ticket ID]"
                 " JOIN [Production Table] p ON p.[Job ID] = h.[Job ID]"
                 " WHERE d.[Printed] = 0 AND d.[Rejects] <> 0")},
        // Marks printed the rows the update report printed: added up to the mark time and still
        // as they were staged. A row added or changed on another workstation while the report was
        // on screen stays unprinted, so the next update report lists it.
        {QStringLiteral("Set Printed"),
         QStringLiteral(
             "UPDATE [Hold Distribution] SET [Printed] = 1 WHERE [Printed] = 0"
             " AND [When Added] <= :Limit AND EXISTS (SELECT 1 FROM [Reports].[Reject Update Report Table] s"
             " WHERE s.[Distribution ID] = [Hold Distribution].[Distribution ID]"
             " AND s.[Hold Ticket ID] IS [Hold Distribution].[Hold Ticket ID]"
             " AND s.[Reworked Quantity] IS [Hold Distribution].[Reworked Quantity]"
             " AND s.[Rejects] IS [Hold Distribution].[Rejects]"
             " AND s.[Reject Reason] IS [Hold Distribution].[Reject Reason]"
             " AND s.[When Added] IS [Hold Distribution].[When Added])")},
        // A select query: the hold tickets dated HighDt (the start of the range) to LowDt (its end),
        // in ascending ticket number.
        {QStringLiteral("zz Stage Holes In Holds Report Query"),
         QStringLiteral("SELECT h.[Hold Ticket Number], p.[Date], p.[Shift] FROM [Hold Table] h"
                        " JOIN [Production Table] p ON p.[Job ID] = h.[Job ID]"
                        " WHERE p.[Date] BETWEEN :HighDt AND :LowDt"
                        " ORDER BY h.[Hold Ticket Number], p.[Date], p.[Shift]")},
        {QStringLiteral("zz Stage Daily Corvix Report Query"),
         dailyCustomerReport(QStringLiteral("Daily Corvix Report"), QStringLiteral("Corvix"))},
        {QStringLiteral("zz Stage Velmar Daily Report Query"),
         dailyCustomerReport(QStringLiteral("Velmar Daily Report"), QStringLiteral("Velmar"))},
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
