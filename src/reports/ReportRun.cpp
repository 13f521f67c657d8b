#include "ReportRun.h"

#include "MissingHoldTickets.h"
#include "ReportCatalog.h"
#include "ReportStaging.h"
#include "foundation/Clock.h"
#include "foundation/Database.h"
#include "foundation/Prompter.h"
#include "foundation/SharedRow.h"
#include "reports/engine/ReportError.h"

namespace {
// Drops the report tables of a run when it ends, however it ends.
struct CleanUp
{
    ReportStaging &staging;
    QStringList tables;
    ~CleanUp()
    {
        for (const QString &table : tables)
            staging.cleanUp(table);
    }
};

const QString kNoUpdates = QStringLiteral("No Updates Necessary");

// The newest row of the change history, whose hash vouches for every row before it; none on an
// empty history.
ReportParmsSheet::ChainEnd latestChange(const Database &production)
{
    QSqlQuery newest = production.exec(QStringLiteral(
        R"(SELECT "Change ID", "Row Hash" FROM "Change History" ORDER BY "Change ID" DESC LIMIT 1)"));
    if (!newest.next())
        return {};
    return {newest.value(QStringLiteral("Change ID")).toLongLong(),
            newest.value(QStringLiteral("Row Hash")).toString()};
}
} // namespace

QString ReportRun::markPrintedQuestion(bool preview)
{
    QString text = QStringLiteral("Did the update report print OK?\nNote: Choosing YES will keep these same "
                                  "records from printing when you run this report again.");
    if (preview)
        text += QStringLiteral("  Choose NO until you print the update report on paper and verify that it "
                               "printed OK.");
    return text;
}

QString ReportRun::corvixPartsText()
{
    return QStringLiteral(
        "During the time period you selected, all the Corvix parts were not being made.  This "
        "report currently requires that all Corvix parts were being produced in order to run.  "
        "Please run this report again and select a longer time period.");
}

QString ReportRun::cancelledText()
{
    return QStringLiteral("The report was cancelled. Nothing was shown, printed or exported.");
}

ReportRun::Outcome ReportRun::run(ReportParmsSheet &sheet, const Output &output)
{
    m_reportFailed = false;
    m_damage.reset();
    Outcome outcome = Outcome::Done;
    try {
        switch (sheet.type()) {
        case ReportTypes::Rejects:
            outcome = runRejects(sheet, output);
            break;
        case ReportTypes::MissingHolds:
            outcome = runMissingHolds(sheet, output);
            break;
        case ReportTypes::ChangeHistory:
            sheet.chainEnd = latestChange(m_setup.production);
            outcome = runStaged(sheet, output);
            break;
        default:
            outcome = runStaged(sheet, output);
        }
    } catch (const ReportCancelled &) {
        // the reports after a cancelled one are not run, so the update report is never marked
        m_setup.prompter.tell(cancelledText(), programTitle(), MsgIcon::Information);
        return Outcome::Cancelled;
    } catch (const DatabaseError &error) {
        if (error.number() == DbErrors::Damaged) {
            // the caller offers the repair, as a window that reads a damaged file does
            m_damage = error;
            return Outcome::Damaged;
        }
        const bool corvix = sheet.type() == ReportTypes::DailyCorvix && error.number() == kPartsNotMade;
        m_setup.prompter.tell(corvix ? corvixPartsText() : error.description(), programTitle());
        return Outcome::StagingFailed;
    }
    return outcome == Outcome::Done && m_reportFailed ? Outcome::ReportFailed : outcome;
}

ReportRequest ReportRun::request(const ReportParmsSheet &sheet) const
{
    return {sheet.selection(), sheet.formulas(), m_setup.company, m_setup.clock.now()};
}

bool ReportRun::produce(ReportStaging &staging, const QString &layoutFile, const ReportRequest &request,
                        const QString &title, int part, const Output &output)
{
    try {
        output(buildReport(layoutFile, staging.reportConnection(), request), title, part);
        return true;
    } catch (const ReportCancelled &) {
        throw; // ends the whole run
    } catch (const ReportError &error) {
        m_setup.prompter.tell(error.message(), QStringLiteral("Reporting Error"), MsgIcon::Critical);
        m_reportFailed = true;
        return false;
    }
}

ReportRun::Outcome ReportRun::runStaged(ReportParmsSheet &sheet, const Output &output)
{
    const ReportDescriptor &report = ReportCatalog::of(sheet.type());
    ReportStaging staging(m_setup.production, m_setup.reportDatabasePath);
    const CleanUp cleanUp{staging, {report.table}};
    staging.stage(report.staging.name, report.table, sheet.stagingParameters());
    checkCustomerParts(sheet.type(), staging);
    produce(staging, m_setup.layoutFile(sheet.fileSelector()), request(sheet), report.previewTitle, 0,
            output);
    return Outcome::Done;
}

// The Corvix report needs every Corvix part made in the period: its table has a column per part.
// The parts are the production database's, the rows the report database's (on a server the two
// are not one connection).
void ReportRun::checkCustomerParts(int type, ReportStaging &staging) const
{
    if (type != ReportTypes::DailyCorvix)
        return;
    QSqlQuery parts = m_setup.production.exec(
        QStringLiteral("SELECT \"Job Number\" FROM \"Customer Report Parts\" WHERE \"Customer\" = :customer"),
        {{QStringLiteral("customer"), ReportCatalog::of(type).customer}});
    QStringList notMade;
    while (parts.next())
        notMade << parts.value(0).toString();
    QSqlQuery made = staging.reports().exec(QStringLiteral("SELECT DISTINCT \"Job Number\" FROM ") + '"' +
                                            ReportCatalog::of(type).table + '"');
    while (made.next())
        notMade.removeAll(made.value(0).toString());
    notMade.sort();
    notMade.removeDuplicates();
    if (!notMade.isEmpty())
        throw DatabaseError(
            kPartsNotMade,
            QStringLiteral("Parts not made in the period: %1").arg(notMade.join(QStringLiteral(", "))));
}

// The rejects report; with "Include Update Report" the update report of the reject distribution
// rows not printed yet follows, and then the question whether to mark them printed.
ReportRun::Outcome ReportRun::runRejects(ReportParmsSheet &sheet, const Output &output)
{
    const ReportDescriptor &report = ReportCatalog::of(ReportTypes::Rejects);
    const ReportDescriptor &update = ReportCatalog::of(ReportTypes::RejectUpdate);
    ReportStaging staging(m_setup.production, m_setup.reportDatabasePath);
    const CleanUp cleanUp{staging, {report.table, update.table}};
    if (staging.stage(report.staging.name, report.table, sheet.stagingParameters()) == 0)
        m_setup.prompter.tell(QStringLiteral("No records found for the Reject Report."), kNoUpdates,
                              MsgIcon::Information);
    produce(staging, m_setup.layoutFile(sheet.fileSelector()), request(sheet), report.previewTitle, 0,
            output);
    if (sheet.option != 0)
        return Outcome::Done;
    if (staging.stage(update.staging.name, update.table, {}) == 0)
        m_setup.prompter.tell(QStringLiteral("No records found for the Update Report."), kNoUpdates,
                              MsgIcon::Information);
    const QDateTime markTime = m_setup.clock.now();
    const bool printed = produce(staging, m_setup.layoutFile(update.firstFileSelector),
                                 {{}, {}, m_setup.company, markTime}, update.previewTitle, 1, output);
    staging.cleanUp(report.table);
    // an update report that could not be made was not printed: nothing to mark
    if (printed && sheet.markPrinted && sheet.markPrintedEnabled && !m_setup.unattended)
        askMarkPrinted(sheet, markTime, staging);
    return Outcome::Done;
}

void ReportRun::askMarkPrinted(const ReportParmsSheet &sheet, const QDateTime &markTime,
                               ReportStaging &staging)
{
    const PromptMessage question{markPrintedQuestion(sheet.output == ReportParmsSheet::Preview),
                                 QStringLiteral("Mark as Printed?"), MsgIcon::Question, MsgButtons::YesNo};
    if (m_setup.prompter.ask(question) != MsgAnswer::Yes)
        return;
    // the staged rows of the update report are still there: only those are marked
    const QVariantMap limit{
        {QStringLiteral("Limit"), markTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}};
    if (m_setup.production.dialect().attachesFiles()) {
        m_setup.production.execSaved(QStringLiteral("Set Printed"), limit);
        return;
    }
    // A server cannot attach the report database whose table "Set Printed" compares with: each
    // staged row is marked by itself, on the same terms, in one transaction.
    const ReportDescriptor &update = ReportCatalog::of(ReportTypes::RejectUpdate);
    QSqlQuery staged = staging.reports().exec(
        QStringLiteral("SELECT \"Distribution ID\", \"Hold Ticket ID\", \"Reworked Quantity\", \"Rejects\","
                       " \"Reject Reason\", \"When Added\" FROM \"") +
        update.table + '"');
    const QStringList columns = {QStringLiteral("\"Hold Ticket ID\""),
                                 QStringLiteral("\"Reworked Quantity\""), QStringLiteral("\"Rejects\""),
                                 QStringLiteral("\"Reject Reason\""), QStringLiteral("\"When Added\"")};
    Transaction transaction(m_setup.production);
    while (staged.next()) {
        SharedRow row(QStringLiteral("\"Hold Distribution\""), QStringLiteral("\"Distribution ID\""),
                      staged.value(0));
        row.change(QStringLiteral("\"Printed\""), 1, 0)
            .where(QStringLiteral("\"When Added\" <= :limit"),
                   {{QStringLiteral("limit"), limit.value(QStringLiteral("Limit"))}});
        for (int i = 0; i < columns.size(); ++i)
            row.expect(columns.at(i), staged.value(i + 1));
        row.write(m_setup.production);
    }
    transaction.commit();
}

ReportRun::Outcome ReportRun::runMissingHolds(ReportParmsSheet &sheet, const Output &output)
{
    const QDate end = sheet.endDate;
    if (m_setup.latestProductionDate.isValid() && sheet.endDate > m_setup.latestProductionDate)
        sheet.endDate = m_setup.latestProductionDate;
    MissingHoldTickets holes(m_setup.production, m_setup.reportDatabasePath, m_setup.prompter);
    holes.setUnattended(m_setup.unattended);
    if (!holes.run(sheet.startDate, end))
        return Outcome::Stopped;
    const ReportDescriptor &report = ReportCatalog::of(ReportTypes::MissingHolds);
    ReportStaging staging(m_setup.production, m_setup.reportDatabasePath);
    const CleanUp cleanUp{staging, {report.table}};
    produce(staging, m_setup.layoutFile(sheet.fileSelector()), request(sheet), report.previewTitle, 0,
            output);
    return Outcome::Done;
}
