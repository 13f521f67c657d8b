#pragma once

#include <QString>

// What the report window sets up for each report type, numbered as the Reports menu items.
struct ReportType
{
    int type = 0;
    int fileSelector = -1; // ReportFilename selector; for types 3 and 4 the first option's
    QString previewTitle;  // title of the print preview window
    QString stagingQuery;  // saved query of the production database; empty: none
    QString table;         // report table of the local report database
};

namespace ReportTypes {
enum {
    ProductionCounts = 1,
    TransferList,
    OnHold,
    ProductionSummary,
    Rejects,
    CheckSheets,
    MissingHolds,
    DailyCorvix,
    DailyVelmar
};
// The type's description; type 0 when the number is not a report type.
ReportType of(int type);
// The reject update report printed after the rejects report: the reject distribution rows not
// marked printed yet (ReportFilename selector 7).
ReportType rejectUpdate();
// The parts of the daily customer reports are kept per customer under these names.
QString customerOf(int type);
// The security profile printed from the security window ("secure.rpt").
ReportType securityProfile();
QString securityProfileFile();
} // namespace ReportTypes
