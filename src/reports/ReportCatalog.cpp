#include "ReportCatalog.h"

#include "foundation/RejectReasons.h"

namespace {
// The job lines of the date range with the figures the production counts window shows beside
// them: transfers, holds and rework received, and the net finished goods and rejects that follow.
QString linesWithFigures(const QString &where)
{
    return QStringLiteral(
               "WITH lines AS (SELECT p.*,"
               " COALESCE((SELECT SUM(t.\"Transfer Quantity\") FROM \"Transfer Table\" t"
               " WHERE t.\"Job ID\" = p.\"Job ID\"), 0) AS xfers,"
               " COALESCE((SELECT SUM(h.\"Hold Quantity\") FROM \"Hold Table\" h WHERE h.\"Job ID\" = "
               "p.\"Job ID\"), "
               "0) AS holds,"
               " COALESCE((SELECT SUM(d.\"Reworked Quantity\") FROM \"Hold Distribution\" d"
               " WHERE d.\"To Job ID\" = p.\"Job ID\"), 0) AS rework"
               " FROM \"Production Table\" p WHERE %1)"
               " SELECT \"Job ID\", \"Date\", \"Shift\", \"Machine Number\", \"Job Number\", \"Job "
               "Description\","
               " \"Beginning Count\", \"Ending Count\", \"Matec Count\","
               " xfers AS \"Transfers\", holds AS \"To Hold\", rework AS \"From Rework\","
               " \"Ending Count\" + xfers - \"Beginning Count\" AS \"Net Finished Goods\","
               " (\"Matec Count\" + rework - holds) - (\"Ending Count\" + xfers - \"Beginning Count\") AS "
               "\"Rejects\","
               " %2, \"Protected Record\" FROM lines")
        .arg(where, RejectReasons::columns().join(QStringLiteral(", ")));
}

// One row per day and part of a customer's daily report: the part's production of that day over
// all shifts and machines. The parts are the customer's rows of [Customer Report Parts].
QString dailyCustomerReport(const QString &table, const QString &customer)
{
    return QStringLiteral(
               "CREATE TABLE \"Reports\".\"%1\" AS SELECT \"Date\", \"Job Number\","
               " MAX(\"Job Description\") AS \"Job Description\", COUNT(*) AS \"Lines\","
               " SUM(\"Matec Count\") AS \"Matec Count\", SUM(\"Transfers\") AS \"Transfers\","
               " SUM(\"Net Finished Goods\") AS \"Net Finished Goods\", SUM(\"To Hold\") AS \"To Hold\","
               " SUM(\"Rejects\") AS \"Rejects\" FROM (")
               .arg(table) +
           linesWithFigures(QStringLiteral("p.\"Date\" BETWEEN :LoDate AND :HiDate AND p.\"Job Number\" IN"
                                           " (SELECT c.\"Job Number\" FROM \"Customer Report Parts\" c"
                                           " WHERE c.\"Customer\" = '%1')")
                                .arg(customer)) +
           QStringLiteral(") AS \"Part Lines\" GROUP BY \"Date\", \"Job Number\"");
}

const QStringList kDateRange = {QStringLiteral("Start Date"), QStringLiteral("End Date")};

SavedQuery productionCountsQuery()
{
    return {QStringLiteral("zz Stage Production Counts Query"),
            QStringLiteral("CREATE TABLE \"Reports\".\"Production Counts Report Table\" AS ") +
                linesWithFigures(QStringLiteral("p.\"Date\" BETWEEN :StartDate AND :EndDate")),
            kDateRange};
}

ReportDescriptor productionCounts()
{
    ReportDescriptor report;
    report.type = ReportTypes::ProductionCounts;
    report.menuCaption = QStringLiteral("Production &Count...");
    report.commandLineHelp = QStringLiteral("production counts");
    report.layouts = {{QStringLiteral("Production Counts"), QStringLiteral("prodct.rpt")}};
    report.previewTitle = QStringLiteral("Print Preview - Production Counts Report");
    report.staging = productionCountsQuery();
    report.table = QStringLiteral("Production Counts Report Table");
    report.controls.dates = ReportDates::CurrentDateShift;
    report.controls.shift = true;
    report.formulas = ReportFormulas::DateShift;
    return report;
}

ReportDescriptor transferList()
{
    ReportDescriptor report;
    report.type = ReportTypes::TransferList;
    report.menuCaption = QStringLiteral("&Transfer List...");
    report.commandLineHelp = QStringLiteral("transfer list");
    report.layouts = {{QStringLiteral("Transfer List"), QStringLiteral("xfers.rpt")}};
    report.previewTitle = QStringLiteral("Print Preview - Transfers List");
    report.staging = {
        QStringLiteral("zz Stage Transfer List Query"),
        QStringLiteral(
            "CREATE TABLE \"Reports\".\"Transfer List Report Table\" AS"
            " SELECT p.\"Job ID\", p.\"Date\", p.\"Shift\", p.\"Machine Number\", p.\"Job Number\","
            " p.\"Job Description\", t.\"Transfer Number\","
            " COALESCE(t.\"Transfer Quantity\", 0) AS \"Transfer Quantity\""
            " FROM \"Transfer Table\" t JOIN \"Production Table\" p ON p.\"Job ID\" = t.\"Job ID\" WHERE "
            "p.\"Date\" BETWEEN :StartDate AND :EndDate"),
        kDateRange};
    report.table = QStringLiteral("Transfer List Report Table");
    report.controls.dates = ReportDates::CurrentDateShift;
    report.controls.shift = true;
    report.formulas = ReportFormulas::DateShift;
    return report;
}

ReportDescriptor onHold()
{
    ReportDescriptor report;
    report.type = ReportTypes::OnHold;
    report.menuCaption = QStringLiteral("On &Hold Report...");
    report.commandLineHelp = QStringLiteral("on hold");
    report.layouts = {{QStringLiteral("On Hold Report"), QStringLiteral("onhold.rpt")},
                      {QStringLiteral("Unresolved Hold Report"), QStringLiteral("onhold.rpt")}};
    report.previewTitle = QStringLiteral("Print Preview - On Hold Report");
    report.staging = {
        QStringLiteral("zz Stage On Hold Report Query"),
        QStringLiteral(
            "CREATE TABLE \"Reports\".\"On Hold Report Table\" AS"
            " SELECT p.\"Job ID\", p.\"Date\", p.\"Shift\", p.\"Machine Number\", p.\"Job Number\","
            " p.\"Job Description\", h.\"Hold Ticket ID\", h.\"Hold Ticket Number\", h.\"Hold Quantity\","
            " h.\"Hold Remaining\", h.\"Disposed of\","
            " COALESCE((SELECT SUM(d.\"Reworked Quantity\") FROM \"Hold Distribution\" d"
            " WHERE d.\"Hold Ticket ID\" = h.\"Hold Ticket ID\"), 0) AS \"Reworked\","
            " COALESCE((SELECT SUM(d.\"Rejects\") FROM \"Hold Distribution\" d"
            " WHERE d.\"Hold Ticket ID\" = h.\"Hold Ticket ID\"), 0) AS \"Rejected\""
            " FROM \"Hold Table\" h JOIN \"Production Table\" p ON p.\"Job ID\" = h.\"Job ID\" WHERE "
            "p.\"Date\" BETWEEN :StartDate AND :EndDate"),
        kDateRange};
    report.table = QStringLiteral("On Hold Report Table");
    report.controls.dates = ReportDates::RangeOnly;
    report.controls.shift = true;
    report.controls.options = {QStringLiteral("All"), QStringLiteral("Unresolved Only")};
    report.formulas = ReportFormulas::HoldStatus;
    return report;
}

ReportDescriptor productionSummary()
{
    ReportDescriptor report;
    report.type = ReportTypes::ProductionSummary;
    report.menuCaption = QStringLiteral("&Production Summary...");
    report.commandLineHelp = QStringLiteral("production summary");
    report.layouts = {{QStringLiteral("Production Summary Detail"), QStringLiteral("productn.rpt")},
                      {QStringLiteral("Production Summary"), QStringLiteral("prodsumm.rpt")}};
    report.previewTitle = QStringLiteral("Print Preview - Production Summary Report");
    report.staging = {
        QStringLiteral("zz Stage Production Summary Report Query"),
        QStringLiteral("CREATE TABLE \"Reports\".\"Production Summary Report Table\" AS ") +
            linesWithFigures(
                QStringLiteral("p.\"Date\" BETWEEN :StartDate AND :EndDate") +
                QStringLiteral(" AND (COALESCE(:StartJob, '') = '' OR p.\"Job Number\" >= :StartJob)"
                               " AND (COALESCE(:EndJob, '') = '' OR p.\"Job Number\" <= :EndJob)")),
        kDateRange + QStringList{QStringLiteral("Start Job"), QStringLiteral("End Job")}};
    report.table = QStringLiteral("Production Summary Report Table");
    report.controls.dates = ReportDates::RangeOnly;
    report.controls.shift = true;
    report.controls.options = {QStringLiteral("Detail Report"), QStringLiteral("Summary Report")};
    report.controls.jobNumbers = true;
    report.formulas = ReportFormulas::DatesAndJobs;
    return report;
}

ReportDescriptor rejects()
{
    ReportDescriptor report;
    report.type = ReportTypes::Rejects;
    report.menuCaption = QStringLiteral("&Reject Report...");
    report.commandLineHelp = QStringLiteral("rejects by reason");
    report.layouts = {{QStringLiteral("Reject Report"), QStringLiteral("rejects.rpt")}};
    report.previewTitle = QStringLiteral("Print Preview - Rejects by Reason Report");
    report.staging = productionCountsQuery();
    report.table = QStringLiteral("Production Counts Report Table");
    report.controls.dates = ReportDates::CurrentDateShift;
    report.controls.shift = true;
    report.controls.options = {QStringLiteral("Include Update Report"),
                               QStringLiteral("Rejects by Reason Only")};
    report.controls.defaultOption = 0;
    report.controls.markPrinted = true;
    report.formulas = ReportFormulas::DateShift;
    return report;
}

// The reject distribution rows not printed yet, printed after the rejects report with "Include
// Update Report".
ReportDescriptor rejectUpdate()
{
    ReportDescriptor report;
    report.type = ReportTypes::RejectUpdate;
    report.layouts = {{QStringLiteral("Reject Report Update"), QStringLiteral("reject2.rpt")}};
    report.previewTitle = QStringLiteral("Print Preview - Rejects by Reason Update");
    // The reject distribution rows not printed yet, with the line of their hold ticket.
    report.staging = {
        QStringLiteral("zz Stage Reject Update Report Query"),
        QStringLiteral(
            "CREATE TABLE \"Reports\".\"Reject Update Report Table\" AS"
            " SELECT d.\"Distribution ID\", d.\"Hold Ticket ID\", h.\"Hold Ticket Number\", p.\"Date\","
            " p.\"Shift\", p.\"Machine Number\", p.\"Job Number\", p.\"Job Description\","
            " d.\"Reworked Quantity\", d.\"Rejects\", d.\"Reject Reason\", ") +
            RejectReasons::nameSql(QStringLiteral("d.\"Reject Reason\"")) +
            QStringLiteral(" AS \"Reason\", d.\"When Added\""
                           " FROM \"Hold Distribution\" d JOIN \"Hold Table\" h ON h.\"Hold Ticket ID\" = "
                           "d.\"Hold Ticket ID\""
                           " JOIN \"Production Table\" p ON p.\"Job ID\" = h.\"Job ID\""
                           " WHERE d.\"Printed\" = 0 AND d.\"Rejects\" <> 0"),
        {}};
    // Marks printed the rows the update report printed: added up to the mark time and still
    // as they were staged. A row added or changed on another workstation while the report was
    // on screen stays unprinted, so the next update report lists it.
    report.moreQueries = {
        {QStringLiteral("Set Printed"),
         QStringLiteral(
             "UPDATE \"Hold Distribution\" SET \"Printed\" = 1 WHERE \"Printed\" = 0"
             " AND \"When Added\" <= :Limit AND EXISTS (SELECT 1 FROM \"Reports\".\"Reject Update "
             "Report Table\" s"
             " WHERE s.\"Distribution ID\" = \"Hold Distribution\".\"Distribution ID\""
             " AND s.\"Hold Ticket ID\" IS NOT DISTINCT FROM \"Hold Distribution\".\"Hold Ticket ID\""
             " AND s.\"Reworked Quantity\" IS NOT DISTINCT FROM \"Hold Distribution\".\"Reworked Quantity\""
             " AND s.\"Rejects\" IS NOT DISTINCT FROM \"Hold Distribution\".\"Rejects\""
             " AND s.\"Reject Reason\" IS NOT DISTINCT FROM \"Hold Distribution\".\"Reject Reason\""
             " AND s.\"When Added\" IS NOT DISTINCT FROM \"Hold Distribution\".\"When Added\")"),
         {QStringLiteral("Limit")}}};
    report.table = QStringLiteral("Reject Update Report Table");
    return report;
}

// A menu item without a report: the check sheets are viewed from the File menu.
ReportDescriptor checkSheets()
{
    ReportDescriptor report;
    report.type = ReportTypes::CheckSheets;
    report.menuCaption = QStringLiteral("&QA Check Sheets...");
    report.opensWindow = false;
    return report;
}

ReportDescriptor missingHolds()
{
    ReportDescriptor report;
    report.type = ReportTypes::MissingHolds;
    report.menuCaption = QStringLiteral("&Missing Holds Report...");
    report.commandLineHelp = QStringLiteral("missing hold tickets");
    report.layouts = {{QStringLiteral("Missing Holds Report"), QStringLiteral("misshold.rpt")}};
    report.previewTitle = QStringLiteral("Print Preview - Missing Hold Tickets Report");
    // The gaps are written into the table by MissingHoldTickets from this select query: the hold
    // tickets dated HighDt (the start of the range) to LowDt (its end), in ascending ticket number.
    report.moreQueries = {
        {QStringLiteral("zz Stage Holes In Holds Report Query"),
         QStringLiteral("SELECT h.\"Hold Ticket Number\", p.\"Date\", p.\"Shift\" FROM \"Hold Table\" h"
                        " JOIN \"Production Table\" p ON p.\"Job ID\" = h.\"Job ID\""
                        " WHERE p.\"Date\" BETWEEN :HighDt AND :LowDt"
                        " ORDER BY h.\"Hold Ticket Number\", p.\"Date\", p.\"Shift\""),
         {QStringLiteral("HighDt"), QStringLiteral("LowDt")}}};
    report.table = QStringLiteral("Holes Report");
    report.controls.dates = ReportDates::RangeOnly;
    report.formulas = ReportFormulas::DateRange;
    return report;
}

ReportDescriptor dailyCustomer(int type, const QString &customer, const QString &menuCaption,
                               const ReportFile &layout, const QString &stagingQuery, const QString &table)
{
    ReportDescriptor report;
    report.type = type;
    report.menuCaption = menuCaption;
    report.commandLineHelp = QStringLiteral("daily ") + customer;
    report.layouts = {layout};
    report.previewTitle = QStringLiteral("Print Preview - Daily %1 Report").arg(customer);
    report.staging = {stagingQuery,
                      dailyCustomerReport(table, customer),
                      {QStringLiteral("LoDate"), QStringLiteral("HiDate")}};
    report.table = table;
    report.controls.dates = ReportDates::PreviousDays;
    report.customer = customer;
    return report;
}

ReportDescriptor securityProfile()
{
    ReportDescriptor report;
    report.type = ReportTypes::SecurityProfile;
    report.layouts = {{QString(), QStringLiteral("secure.rpt")}};
    report.previewTitle = QStringLiteral("Print Preview - Security Profile");
    report.staging = {QStringLiteral("zz Stage Security Profile Query"),
                      QStringLiteral("CREATE TABLE \"Reports\".\"Security Profile Report Table\" AS"
                                     " SELECT \"UserName\", \"User Name\", \"User ID\", \"Security Level\","
                                     " CASE \"Security Level\" WHEN 'A' THEN 'A - Production Supervisor'"
                                     " WHEN 'B' THEN 'B - Quality Assurance Inspector'"
                                     " WHEN 'C' THEN 'C - Quality Assurance Manager'"
                                     " WHEN 'D' THEN 'D - Reports-Only User' ELSE \"Security Level\" END AS "
                                     "\"Level Name\""
                                     " FROM \"Security Table\""),
                      {}};
    report.table = QStringLiteral("Security Profile Report Table");
    return report;
}

// Who changed which field of the production record, from what to what, in a date range of
// "Changed At" (the day as the recording clock read it), for one machine or one login when they
// are given. The run first reads the newest history row (Through): rows recorded while it stages
// are left to the next report, so the hash printed is that of the last row the report can list.
ReportDescriptor changeHistory()
{
    ReportDescriptor report;
    report.type = ReportTypes::ChangeHistory;
    report.menuCaption = QStringLiteral("Chan&ge History...");
    report.commandLineHelp = QStringLiteral("change history");
    report.layouts = {{QStringLiteral("Change History"), QStringLiteral("changes.rpt")}};
    report.previewTitle = QStringLiteral("Print Preview - Change History");
    report.staging = {
        QStringLiteral("zz Stage Change History Query"),
        QStringLiteral(R"(CREATE TABLE "Reports"."Change History Report Table" AS SELECT "Change ID",
 SUBSTR("Changed At", 1, 10) AS "Day", SUBSTR("Changed At", 12, 12) AS "Time", "Changed At", "Login",
 "Workstation", "Program", "Login" || CASE WHEN "Workstation" <> '' THEN ' on ' || "Workstation" ELSE '' END
 || CASE WHEN "Program" = 'other client' THEN ' (other client)' ELSE '' END AS "Who",
 "Table Name", "Row Key", "Table Name" || ' ' || "Row Key" AS "Record", "Action", "Job ID", "Date", "Shift",
 "Machine Number", "Job Number", "Field", "Old Value", "New Value" FROM "Change History"
 WHERE "Changed At" >= :StartDate AND "Changed At" < :DayAfterEndDate AND "Change ID" <= :Through
 AND (COALESCE(:Machine, '') = '' OR CAST("Machine Number" AS TEXT) = :Machine)
 AND (COALESCE(:Login, '') = '' OR "Login" = :Login))"),
        {QStringLiteral("Start Date"), QStringLiteral("Day After End Date"), QStringLiteral("Through"),
         QStringLiteral("Machine"), QStringLiteral("Login")}};
    report.table = QStringLiteral("Change History Report Table");
    report.controls.dates = ReportDates::RangeOnly;
    report.controls.machineAndLogin = true;
    report.formulas = ReportFormulas::ChangeHistory;
    return report;
}

// The options' report-file table numbers the titled layouts in the order of the list.
void number(QList<ReportDescriptor> &reports)
{
    int selector = 0;
    for (ReportDescriptor &report : reports) {
        report.firstFileSelector = -1;
        for (const ReportFile &layout : report.layouts) {
            if (layout.title.isEmpty())
                continue;
            if (report.firstFileSelector < 0)
                report.firstFileSelector = selector;
            ++selector;
        }
    }
}

QList<ReportDescriptor> &catalog()
{
    static QList<ReportDescriptor> reports = [] {
        QList<ReportDescriptor> list{
            productionCounts(),
            transferList(),
            onHold(),
            productionSummary(),
            rejects(),
            rejectUpdate(),
            checkSheets(),
            missingHolds(),
            dailyCustomer(
                ReportTypes::DailyCorvix, QStringLiteral("Corvix"), QStringLiteral("&Daily Corvix Report..."),
                {QStringLiteral("Daily Corvix Report"), QStringLiteral("dalycorv.rpt")},
                QStringLiteral("zz Stage Daily Corvix Report Query"), QStringLiteral("Daily Corvix Report")),
            dailyCustomer(
                ReportTypes::DailyVelmar, QStringLiteral("Velmar"), QStringLiteral("Daily &Velmar Report..."),
                {QStringLiteral("Daily Velmar Report"), QStringLiteral("dalyvelm.rpt")},
                QStringLiteral("zz Stage Velmar Daily Report Query"), QStringLiteral("Velmar Daily Report")),
            changeHistory(),
            securityProfile(),
        };
        number(list);
        return list;
    }();
    return reports;
}
} // namespace

const QList<ReportDescriptor> &ReportCatalog::all()
{
    return catalog();
}

ReportCatalog::TemporaryReport::TemporaryReport(const ReportDescriptor &report) : m_type(report.type)
{
    QList<ReportDescriptor> &reports = catalog();
    // after the last report of the menu, so that the menu's positions stay in order
    qsizetype at = 0;
    for (qsizetype i = 0; i < reports.size(); ++i) {
        if (reports[i].type > 0)
            at = i + 1;
    }
    reports.insert(at, report);
    number(reports);
}

ReportCatalog::TemporaryReport::~TemporaryReport()
{
    QList<ReportDescriptor> &reports = catalog();
    reports.removeIf([this](const ReportDescriptor &report) { return report.type == m_type; });
    number(reports);
}

const ReportDescriptor &ReportCatalog::of(int type)
{
    static const ReportDescriptor none;
    for (const ReportDescriptor &report : all()) {
        if (report.type == type && type != 0)
            return report;
    }
    return none;
}

bool ReportCatalog::runsFromCommandLine(int type)
{
    return type > 0 && !of(type).commandLineHelp.isEmpty();
}

QStringList ReportCatalog::commandLineTypes()
{
    QStringList texts;
    for (const ReportDescriptor &report : all()) {
        if (runsFromCommandLine(report.type))
            texts << QString::number(report.type) + ' ' + report.commandLineHelp;
    }
    return texts;
}

QString ReportCatalog::commandLineRange()
{
    // runs of consecutive numbers: "1 to 5", "7 to 9"
    QStringList runs;
    int first = 0, last = 0;
    const auto close = [&] {
        if (first > 0)
            runs << (first == last ? QString::number(first)
                                   : QStringLiteral("%1 to %2").arg(first).arg(last));
    };
    for (const ReportDescriptor &report : all()) {
        if (!runsFromCommandLine(report.type))
            continue;
        if (first > 0 && report.type == last + 1) {
            last = report.type;
            continue;
        }
        close();
        first = last = report.type;
    }
    close();
    if (runs.size() < 2)
        return runs.join(QString());
    return runs.mid(0, runs.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") + runs.last();
}

QList<ReportFile> ReportCatalog::reportFiles()
{
    QList<ReportFile> files;
    for (const ReportDescriptor &report : all()) {
        for (const ReportFile &layout : report.layouts) {
            if (!layout.title.isEmpty())
                files << layout;
        }
    }
    return files;
}

QList<QPair<QString, QString>> ReportCatalog::savedQueries()
{
    QList<QPair<QString, QString>> queries;
    QStringList names;
    for (const ReportDescriptor &report : all()) {
        for (const SavedQuery &query : QList<SavedQuery>{report.staging} + report.moreQueries) {
            // the rejects report stages with the production counts query
            if (query.name.isEmpty() || names.contains(query.name))
                continue;
            names << query.name;
            queries.append({query.name, query.sql});
        }
    }
    return queries;
}
