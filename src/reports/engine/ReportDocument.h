#pragma once

#include "ReportLayout.h"
#include "ReportLines.h"

#include <QDateTime>
#include <QMap>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>

class ReportData;

// A bar of a report's Pareto chart, in the order printed (biggest first).
struct ChartBar
{
    QString caption;
    double value = 0;
    double cumulativePercent = 0; // share of the bars up to this one in the total of all
};

// The top of a chart's value axis for its biggest bar: 1, 2, 2.5 or 5 times a power of ten, at
// least the value; the axis is drawn in five steps up to it.
double chartAxisTop(double value);

// What a run of a report is given besides its layout and table.
struct ReportRequest
{
    QString selection;    // selection formula; empty: every row
    QStringList formulas; // formula values "Name='value'" printed in the heading
    QString company;      // company name at the top of each page
    QDateTime printed;    // print date and time in the page footer
    // Lines held in memory before the report's lines go to a temporary file instead; -1: the
    // default, every line of a report laid out from rows in memory, kLinesInMemory of one read
    // from the report database.
    int linesInMemory = -1;

    static constexpr int kLinesInMemory = 4000;
};

// A report laid out into lines, ready for any output. Build selects and sorts the rows, groups
// them and adds the totals. A short report keeps its lines in `lines`; a long one keeps them in a
// spool (a temporary file, shared by the copies of the document), which the outputs read line by
// line, so that a report's memory does not grow with its length.
struct ReportDocument
{
    ReportLayout layout;
    QString company;
    QStringList heading; // filled heading lines
    QDateTime printed;
    QVector<ReportLine> lines; // empty when spooled
    std::shared_ptr<const ReportLineSpool> spool;
    int detailRows = 0;      // rows selected
    QVector<ChartBar> chart; // the layout's chart; bars of no value are left out

    // Throws ReportError for a malformed selection formula or a field the table lacks.
    static ReportDocument build(const ReportLayout &layout, const ReportData &data,
                                const ReportRequest &request);

    qint64 lineCount() const { return spool ? spool->count() : lines.size(); }
    // Reads the lines from the first, wherever they are kept; without values, a spooled line
    // comes without its values and keys.
    ReportLineReader reader(bool withValues = true) const { return {&lines, spool.get(), withValues}; }
    // Calls `visit` with each line in order until it returns false.
    void forEachLine(const std::function<bool(const ReportLine &)> &visit, bool withValues = true) const;
};

// Reads the layout file and the layout's table from the report database and builds the report.
// Throws ReportError.
ReportDocument buildReport(const QString &layoutPath, const QSqlDatabase &reportDb,
                           const ReportRequest &request);

// The width of each column in characters: the layout's width, or the widest text of the column
// when wider (its caption lines, its cells, totals included), so that no value is ever cut; the
// columns before the first total hold the totals lines' captions.
QVector<int> columnWidths(const ReportDocument &document);

// A page of the report's lines: where its first line is (a reader's position), how many of the
// report's lines it holds, and the headings of the groups it starts inside, repeated at its top
// marked "(continued)".
struct ReportPage
{
    qint64 position = 0;
    int count = 0;
    QVector<ReportLine> continued;
};

// Splits the lines into pages of the given body height: a group heading is never the last line
// of a page, and a group marked newPage starts on a page of its own.
QVector<ReportPage> paginate(const ReportDocument &document, double capacity,
                             const std::function<double(const ReportLine &)> &height);

// Calls `visit` with each line of the page, its continued headings first, reading the report's
// lines with `reader` (which may be used for the page before: it moves on from there).
void forEachLineOf(ReportLineReader &reader, const ReportPage &page,
                   const std::function<void(const ReportLine &)> &visit);
