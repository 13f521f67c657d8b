#pragma once

#include "foundation/CKelvaraOptions.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Every report of the program, each described once: the Reports menu, the options' report-file
// table, the staging saved queries of the production database, the report window's controls and
// the command line's --type are all made from this list. A new report is a descriptor in
// ReportCatalog.cpp and its layout file in report-layouts/; only a new way of selecting rows
// (ReportFormulas, in ReportParmsSheet) or of running (ReportRun) needs code besides.

// A saved query of the production database that a report runs. The parameters are the names under
// which the report window hands its values to the staging query (see
// ReportParmsSheet::stagingParameters).
struct SavedQuery
{
    QString name;
    QString sql;
    QStringList parameters;
};

// Which dates the report window starts with and which it requires.
enum class ReportDates {
    None,             // nothing set, nothing required
    CurrentDateShift, // the current date-shift's date and shift; a start date, and an end date for a range
    RangeOnly,        // a date range, the single date disabled; start and end date required
    PreviousDays,     // yesterday, on a Monday Friday to Sunday; nothing required
};

// The controls of the report parameters window for one report.
struct ReportControls
{
    ReportDates dates = ReportDates::None;
    bool shift = false;           // the "Additional Information" frame with the (required) Shift(s) box
    QStringList options;          // captions of the additional options; none: the options are hidden
    int defaultOption = -1;       // the option chosen as the window opens; -1 none
    bool jobNumbers = false;      // the first and last job number
    bool markPrinted = false;     // "Mark Printed", enabled while the first option is chosen
    bool machineAndLogin = false; // one machine and one login to keep to, both optional
};

// What the report window hands the layout besides its rows: the selection formula over the report
// table and the values of the layout's formula fields.
enum class ReportFormulas {
    None,          // neither: staging chose the rows
    DateShift,     // the date or range and the shifts; "DateShift", the date and shift of the heading
    HoldStatus,    // held rows, the unresolved only with the second option, and the shifts; BegDate,
                   // EndDate, Shft and HoldStatus
    DatesAndJobs,  // the range, the job numbers and the shifts; BegDate, BegJob, EndDate, EndJob, Shft
    DateRange,     // no selection; BegDate and EndDate
    ChangeHistory, // no selection (staging keeps to the range, machine and login); BegDate, EndDate,
                   // Keeping (the machine and login asked for) and the newest history row the run
                   // printed up to: LatestChange and its hash LatestHash
};

struct ReportDescriptor
{
    // Reports of the Reports menu: their position there, which is also their --type number.
    // Reports printed from elsewhere have numbers below 0.
    int type = 0;
    QString menuCaption;     // "Production &Count..."; in upper case it names the menu command
    bool opensWindow = true; // false: the menu item is shown disabled and opens nothing
    QString commandLineHelp; // "production counts" in the --type help; empty: not run from the command line
    // The layout files: the report's, or one per additional option when the option chooses the
    // file. A file with a title has that key in the options' report-file table; one without is
    // always the file beside the program.
    QList<ReportFile> layouts;
    int firstFileSelector = -1;    // the ReportFilename selector of the first layout; set by the catalog
    QString previewTitle;          // title of the print preview window
    SavedQuery staging;            // copies the rows into `table`; no name: the report stages them itself
    QList<SavedQuery> moreQueries; // other saved queries the report runs
    QString table;                 // report table of the local report database
    ReportControls controls;
    ReportFormulas formulas = ReportFormulas::None;
    QString customer; // the daily customer reports: whose parts of [Customer Report Parts] they list
};

namespace ReportTypes {
enum {
    SecurityProfile = -2, // printed from the security window
    RejectUpdate = -1,    // printed after the rejects report
    ProductionCounts = 1,
    TransferList,
    OnHold,
    ProductionSummary,
    Rejects,
    CheckSheets,
    MissingHolds,
    DailyCorvix,
    DailyVelmar,
    ChangeHistory
};
} // namespace ReportTypes

namespace ReportCatalog {
// Every report: the menu's in menu order, the others after them.
const QList<ReportDescriptor> &all();
// The report of that number; an empty descriptor (type 0) when there is none.
const ReportDescriptor &of(int type);
// Reports the command line runs: their --type help and whether a number is one of them.
bool runsFromCommandLine(int type);
QStringList commandLineTypes(); // "1 production counts", ...
QString commandLineRange();     // "1 to 5 or 7 to 9"
// The options' report-file table, in ReportFilename selector order.
QList<ReportFile> reportFiles();
// The saved queries of the reports, each once, as the production database keeps them.
QList<QPair<QString, QString>> savedQueries();

// A report added to the catalog while the object lives, after the menu's reports: proves that a
// descriptor and its layout are all a new report needs. References from all() and of() taken
// before it is made or ended are not to be kept.
class TemporaryReport
{
public:
    explicit TemporaryReport(const ReportDescriptor &report);
    ~TemporaryReport();
    TemporaryReport(const TemporaryReport &) = delete;
    TemporaryReport &operator=(const TemporaryReport &) = delete;

private:
    int m_type;
};
} // namespace ReportCatalog
