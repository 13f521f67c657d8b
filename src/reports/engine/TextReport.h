#pragma once

#include <QString>

struct ReportDocument;

// A report as fixed-width text pages: the page heading (company, title, heading lines, column
// captions), the body, and a footer with the print date and "Page n of m". Pages are separated by
// a form feed. Used for the "Text (*.txt)" export and for the reference files of the tests.
namespace TextReport {
constexpr int DefaultPageLines = 66;
QString render(const ReportDocument &document, int pageLines = DefaultPageLines);
} // namespace TextReport
