#pragma once

#include "reports/engine/ReportDocument.h"

class Database;

// The security profile ("secure.rpt"): the authorized users by security level, printed from the
// security window.
namespace SecurityProfileReport {
QString title(); // "Print Preview - Security Profile"
// Stages the Security Table into the local report database and lays out the report; the table is
// dropped again. Throws DatabaseError or ReportError.
ReportDocument build(Database &production, const QString &reportDatabasePath, const QString &layoutPath,
                     const ReportRequest &request);
} // namespace SecurityProfileReport
