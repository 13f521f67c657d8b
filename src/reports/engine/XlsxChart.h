#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

struct ChartBar;

// A workbook's Pareto chart as its chart part (xl/charts/chartN.xml): the bars against the counts
// on the left axis and the cumulative percentage as a line against a second axis on the right,
// 0 to 100%, both in five steps with their figures, the value over each bar and each point, and a
// legend. The bars' reasons, counts and shares are read from columns A, B and C of `sheet`, from
// its second row on (the part also holds them, for a reader that does not calculate).
namespace XlsxChart {
QByteArray pareto(const QVector<ChartBar> &bars, const QString &title, const QString &sheet);
} // namespace XlsxChart
