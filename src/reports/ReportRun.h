#pragma once

#include "ReportParmsSheet.h"
#include "reports/engine/ReportDocument.h"

#include "foundation/DatabaseError.h"

#include <QDate>
#include <functional>
#include <optional>

class Clock;
class Database;
class Prompter;
class ReportStaging;

// What OK of the report parameters window does once the required fields are filled, without the
// window: stage the report's rows, lay them out, hand each finished report to the output, and the
// messages and questions in between (the reject update report and "Mark as Printed?", the
// missing hold tickets' "Ticket Range"). Scheduled runs from the command line use it unattended.
class ReportRun
{
public:
    enum class Outcome {
        Done,          // every report was handed to the output
        Stopped,       // nothing to print, or the user declined; nothing was printed
        StagingFailed, // a staging query failed: told; the report window closes
        ReportFailed,  // a report could not be laid out or sent: told under "Reporting Error"
        Cancelled,     // the user cancelled an output: told; no report after it, nothing marked
        Damaged,       // a database was found damaged: nothing told; damage() says what was read
    };
    // Sends one finished report: the report itself (part 0) or the reject update report (part 1).
    // Throws ReportError when it cannot, ReportCancelled when the user cancelled it: then nothing of
    // that report may have been shown, printed or written.
    using Output = std::function<void(const ReportDocument &, const QString &title, int part)>;

    struct Setup
    {
        Database &production;
        QString reportDatabasePath;
        Prompter &prompter;
        const Clock &clock;
        std::function<QString(int selector)> layoutFile; // the ReportFilename option
        QString company;
        QDate latestProductionDate;
        bool unattended = false; // asks nothing: no "Ticket Range", no "Mark as Printed?"
    };

    explicit ReportRun(Setup setup) : m_setup(std::move(setup)) {}

    // Runs the sheet's report. The missing hold tickets report may move the sheet's end date back to
    // the latest production date, as the report window shows it.
    Outcome run(ReportParmsSheet &sheet, const Output &output);

    // The damage that ended the last run as Damaged.
    const std::optional<DatabaseError> &damage() const { return m_damage; }

    // The question after the reject update report; the preview adds a warning.
    static QString markPrintedQuestion(bool preview);
    // The message when a Corvix part was not made in the period.
    static QString corvixPartsText();
    // The message after a cancelled output.
    static QString cancelledText();
    static constexpr qint32 kPartsNotMade = 3070;

private:
    Outcome runStaged(ReportParmsSheet &sheet, const Output &output);
    Outcome runRejects(ReportParmsSheet &sheet, const Output &output);
    Outcome runMissingHolds(ReportParmsSheet &sheet, const Output &output);
    void checkCustomerParts(int type, ReportStaging &staging) const;
    // Lays out the report from the staged tables and hands it to the output.
    bool produce(ReportStaging &staging, const QString &layoutFile, const ReportRequest &request,
                 const QString &title, int part, const Output &output);
    ReportRequest request(const ReportParmsSheet &sheet) const;
    void askMarkPrinted(const ReportParmsSheet &sheet, const QDateTime &markTime, ReportStaging &staging);

    Setup m_setup;
    bool m_reportFailed = false;
    std::optional<DatabaseError> m_damage;
};
