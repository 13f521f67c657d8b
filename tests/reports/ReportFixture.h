#pragma once

#include "TestSupport.h"
#include "reports/engine/ReportData.h"
#include "reports/engine/ReportDocument.h"
#include "reports/engine/ReportLayout.h"

#include <functional>

class ReportParmsSheet;

// A small fixed plant for the report tests: three jobs on two days, two shifts a day, with
// transfers, holds and their disposition.
namespace ReportFixture {
void fill(const Database &db);
QString layoutPath(const QString &fileName);
// The report window of `sheet` loaded and set to the fixture's two days, 1999-08-11 to 08-12, and
// shifts 1-3, with `option` chosen (-1: the report's default).
void chooseTheFixturesDays(ReportParmsSheet &sheet, const TestWorld &world, int option);
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

// The reports of the catalog rendered to text, for their golden files.
namespace GoldenReports {
// The fixture's plant with what every report of the catalog reads besides: the daily customers'
// parts, rejects split by reason and a change history over the fixture's two days.
void fillEveryReport(Database &db);

// One document a report sends, rendered to text, with the name of its golden file: its layout
// file's name without ".rpt", and the option's caption where the report's options share a layout
// ("onhold-all").
struct Part
{
    QString name;
    QString text;
};
// Runs report `type` (with `option`, -1: the report's default) from 1999-08-11 to 08-12, shifts
// 1-3, as the report window would, its layout files found by `locate`.
QList<Part> render(DatabaseWorld &world, int type, int option,
                   const std::function<QString(const QString &fileName)> &locate = ReportFixture::layoutPath);

// Compares `actual` with the golden file `name` in `folder`, line by line. A golden file that is
// missing is made from `actual`, and `made` says so: a new report's golden file is looked at and
// committed on purpose. Set KELVARA_UPDATE_GOLDEN=1 to rewrite the files after a deliberate change.
// Returns what differs, empty when nothing does.
QString compare(const QString &folder, const QString &name, const QString &actual, bool *made);
} // namespace GoldenReports
