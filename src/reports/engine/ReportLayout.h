#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A Pareto chart over fields of the report table: one bar per field with the field's total over
// the selected rows, biggest first, and the cumulative percentage as a line. Printed on a page of
// its own before the detail lines.
struct ReportChart
{
    struct Bar
    {
        QString field;
        QString caption;
    };
    QString title;
    QList<Bar> bars; // empty: the report has no chart
};

// One printed column of a report's detail lines.
struct ReportColumn
{
    enum Align { Left, Center, Right };

    QString field;   // field of the report table
    QString caption; // column heading; "\n" splits it over two lines
    int width = 10;  // in characters of the detail font
    Align align = Left;
    QString format;     // "###,###,##0", "###,###,###", "0", a date format such as "MM/dd/yyyy", "Yes/No"
    bool total = false; // summed in the group and grand totals
};

// A grouping of the rows by one field, outermost first.
struct ReportGroup
{
    QString field;
    QString header;       // text template of the group heading, e.g. "{Date:dddd, MMMM d, yyyy}"
    QString footer;       // text template of the totals line; empty: no totals line
    bool newPage = false; // each group starts on a new page
};

// A report file (".rpt"): a JSON layout of one report over one table of the local report
// database. Text templates name formula values or fields in braces, "{Name}" or "{Name:format}";
// a formula value (DateShift, BegDate, ...) is taken before a field of the same name.
struct ReportLayout
{
    QString title;
    QString table;
    bool landscape = false;
    QStringList heading; // page heading lines under the title, as templates
    QStringList sort;    // order of the rows inside the innermost group
    QList<ReportGroup> groups;
    QList<ReportColumn> columns;
    bool details = true; // false: only the group totals print (a summary report)
    QString grandTotal;  // caption of the grand totals line; empty: none
    ReportChart chart;
    QString noData = QStringLiteral("No records were found for the chosen parameters.");

    // How many columns come before the first totalled one: a totals line's caption is printed
    // across them, and the columns grow until it fits (see widenForTotalsCaption).
    int totalsCaptionSpan() const;

    // Throws ReportError when the file is missing or not a valid layout.
    static ReportLayout load(const QString &path);
    static ReportLayout fromJson(const QByteArray &json, const QString &source);
};

// Widens the last of the first `span` columns so that they, with `gap` between each two, hold
// `need`: the caption of a totals line is never cut.
template <typename Width> void widenForTotalsCaption(QVector<Width> &widths, int span, Width need, Width gap)
{
    if (span <= 0 || span > widths.size())
        return;
    Width room = gap * (span - 1);
    for (int i = 0; i < span; ++i)
        room += widths[i];
    if (room < need)
        widths[span - 1] += need - room;
}
