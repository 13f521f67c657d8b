#pragma once

#include "TestSupport.h"
#include "reports/engine/ReportData.h"
#include "reports/engine/ReportDocument.h"
#include "reports/engine/ReportLayout.h"

// A small fixed plant for the report tests: three jobs on two days, two shifts a day, with
// transfers, holds and their disposition.
namespace ReportFixture {
void fill(const Database &db);
QString layoutPath(const QString &fileName);
// The production counts report of the plant (fill runs first) for 08/11/1999 - 08/12/1999, all
// shifts, as the report window runs it.
ReportDocument countsReport(DatabaseWorld &world);
// Overwrites the first page of the job lines ([Production Table]) in the database file at path, as
// a failing disk would; db, a connection to it, is closed first.
bool damageJobLines(Database &db, const QString &path);
// Rows for any layout, without a database: every field its columns, groups and sort name, a date
// where the column shows a date, a number where it shows a figure, else a text. Row r of `rows`
// takes in its field f the figure figures[(r + f) % figures.size()] and the text
// texts[r % texts.size()].
ReportData sampleData(const ReportLayout &layout, int rows, const QList<double> &figures,
                      const QStringList &texts);

} // namespace ReportFixture
