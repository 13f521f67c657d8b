#pragma once

#include "ReportDocument.h"

#include <QMap>
#include <functional>
#include <vector>

// Lays out a report's selected rows, given in the report's order (its groups, then its sort
// fields), into lines: group headings and totals, details or a summary line per innermost group,
// the grand total, or the layout's message when no row was selected. It keeps only the open
// groups' totals and the chart's sums, so that rows read one at a time go through in little
// memory. Each line goes to the sink as it is complete.
class ReportBuilder
{
public:
    using Emit = std::function<void(const ReportLine &)>;

    // `columns` are the table's fields as the rows hold them. Throws ReportError for a field the
    // table lacks.
    ReportBuilder(const ReportLayout &layout, const QStringList &columns, const ReportRequest &request,
                  Emit sink);

    // A heading or group text filled with the formula values and the row's fields (none: null).
    QString fill(const QString &text, const QVector<QVariant> *row) const;
    // True when row `a` comes before row `b` in the report's order: nulls first, then by value.
    bool before(const QVector<QVariant> &a, const QVector<QVariant> &b) const;

    // Counts a selected row and adds its chart fields to the chart's sums.
    void count(const QVector<QVariant> &row);
    // The next selected row in the report's order.
    void add(const QVector<QVariant> &row);
    // Closes the last groups and adds the grand total (or the message for no rows).
    void finish();

    int selected() const { return m_selected; }
    // The chart's bars, biggest first (ties in the layout's order), with the running share of
    // the grand total.
    QVector<ChartBar> chart() const;

private:
    int indexOf(const QString &field) const;
    int fieldIndex(const QString &field) const;
    int firstChangedGroup(const QVector<QVariant> &a, const QVector<QVariant> &b) const;
    bool isSummaryLevel(int level) const { return !m_layout.details && level == m_groups.size() - 1; }
    QVector<QVariant> keysOf(const QVector<QVariant> &row, int levels) const;
    void openGroups(const QVector<QVariant> &row, int from);
    void closeGroups(const QVector<QVariant> &row, int downTo);
    ReportLine totalsLine(ReportLine::Kind kind, int level, const QString &text,
                          const QVector<double> &totals, const QVector<QVariant> &keys) const;
    ReportLine summaryLine(const QVector<QVariant> &row, const QVector<double> &totals) const;
    void addDetail(const QVector<QVariant> &row);

    const ReportLayout &m_layout;
    QStringList m_names;
    QMap<QString, QString> m_formulas;
    Emit m_emit;
    QVector<int> m_columns, m_groups, m_sort, m_chartFields;
    QVector<double> m_chartSums;
    int m_selected = 0;
    std::vector<QVector<double>> m_totals; // per group level, and the grand totals last
    QVector<QVariant> m_previous;          // the last row added
    bool m_any = false;
    ReportLine m_detail; // the detail line, its strings reused from row to row
};
