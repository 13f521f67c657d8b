#pragma once

#include <QString>
#include <functional>

struct ReportDocument;

// A report as an OpenDocument text: the heading as paragraphs, the chart (when the report has one)
// as a picture, and the body as one table with a caption row repeated on every page, group
// headings spanning the row, and bold totals. The page takes the orientation and margins of the
// printed report, and each column is as wide as its widest text. The document is written as a
// stream, row by row into the archive, so that a year's report needs no more memory than a day's.
namespace OdtReport {
// `progress` is called with (line, lines) as the body's lines are written; false stops the writing
// and no file is left (ReportError "cancelled"). Throws ReportError when the file cannot be written.
void write(const ReportDocument &document, const QString &path,
           const std::function<bool(int, int)> &progress = {});
} // namespace OdtReport
