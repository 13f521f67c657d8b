#pragma once

#include <QString>
#include <functional>

struct ReportDocument;

// A report as an .xlsx workbook (through libxlsxwriter): the title and heading on top, a bold
// header row frozen in place, then one row per detail line (per totals line of a summary report)
// with the group values in the first columns; numbers are numbers and dates are dates, shown in the
// report's own formats (a weekday as its name, an entry time with its time), and each column is as
// wide as its widest value. The sheet prints like the report: its orientation, all columns on one
// page wide, the header row on every page and the title at the top.
namespace XlsxReport {
// `progress` is called with (line, lines) as the lines are written; false stops the writing and
// the file is not written (ReportError "cancelled"). Throws ReportError when the workbook cannot
// be written.
void write(const ReportDocument &document, const QString &path,
           const std::function<bool(int, int)> &progress = {});
} // namespace XlsxReport
