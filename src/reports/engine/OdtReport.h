#pragma once

#include <QString>

struct ReportDocument;

// A report as an OpenDocument text: the heading as paragraphs, the body as one table with a
// caption row, bold group headings spanning the row, and bold totals.
namespace OdtReport {
// Throws ReportError when the file cannot be written.
void write(const ReportDocument &document, const QString &path);
} // namespace OdtReport
