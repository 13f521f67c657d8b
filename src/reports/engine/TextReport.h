#pragma once

#include <QString>
#include <functional>

struct ReportDocument;

// A report as fixed-width text pages: the page heading (company, title, heading lines, column
// captions), the body, and a footer with the print date and "Page n of m". Pages are separated by
// a form feed. Used for the "Text (*.txt)" export and for the reference files of the tests.
namespace TextReport {
constexpr int DefaultPageLines = 66;
// Hands the text to `page` a page at a time (a form feed in front of every page but the first);
// false from `page` or `progress` stops, and write returns false.
bool write(const ReportDocument &document, const std::function<bool(const QString &)> &page,
           int pageLines = DefaultPageLines, const std::function<bool(int, int)> &progress = {});
// The whole text; `progress` is called after each page with (page, pages); false stops, and the
// text is empty.
QString render(const ReportDocument &document, int pageLines = DefaultPageLines,
               const std::function<bool(int, int)> &progress = {});
} // namespace TextReport
