#pragma once

#include <QString>

struct ReportDocument;

// A report as an .xlsx workbook (through libxlsxwriter): the title and heading on top, a bold
// header row frozen in place, then one row per detail line (per totals line of a summary report)
// with the group values in the first columns; numbers are numbers and dates are dates, and the
// column widths follow the layout.
namespace XlsxReport {
// Throws ReportError when the workbook cannot be written.
void write(const ReportDocument &document, const QString &path);
} // namespace XlsxReport
