#pragma once

#include "ReportLayout.h"

#include <QDateTime>
#include <QMap>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

class ReportData;

// One line of a report's body, with its cells already written in the columns' formats.
struct ReportLine
{
    enum Kind { GroupHeader, Detail, GroupFooter, GrandTotal, Message };

    Kind kind = Detail;
    int level = 0;            // group level of a heading or totals line, outermost 0
    QString text;             // heading, totals caption or message
    QStringList cells;        // detail and totals lines: one text per column
    QVector<QVariant> values; // the same values unformatted, for spreadsheets
    QVector<QVariant> keys;   // the group values of the line (outermost first), for spreadsheets
};

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
};

// A report laid out into lines, ready for any output. Build selects and sorts the rows, groups
// them and adds the totals.
struct ReportDocument
{
    ReportLayout layout;
    QString company;
    QStringList heading; // filled heading lines
    QDateTime printed;
    QVector<ReportLine> lines;
    int detailRows = 0;      // rows selected
    QVector<ChartBar> chart; // the layout's chart; bars of no value are left out

    // Throws ReportError for a malformed selection formula or a field the table lacks.
    static ReportDocument build(const ReportLayout &layout, const ReportData &data,
                                const ReportRequest &request);
};

// Reads the layout file and the layout's table from the report database and builds the report.
// Throws ReportError.
ReportDocument buildReport(const QString &layoutPath, const QSqlDatabase &reportDb,
                           const ReportRequest &request);

// The width of each column in characters: the layout's width, or the widest text of the column
// when wider (its caption lines, its cells, totals included), so that no value is ever cut.
QVector<int> columnWidths(const ReportDocument &document);

// A page of lines; a page that starts inside a group repeats its headings marked "(continued)".
struct ReportPage
{
    QVector<ReportLine> lines;
};

// Splits the lines into pages of the given body height: a group heading is never the last line
// of a page, and a group marked newPage starts on a page of its own.
QVector<ReportPage> paginate(const ReportDocument &document, double capacity,
                             const std::function<double(const ReportLine &)> &height);
