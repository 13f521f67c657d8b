#include "ReportBuilder.h"

#include "ReportError.h"
#include "ReportFormat.h"

#include <algorithm>

namespace {
int compareForSort(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    const QPartialOrdering order = QVariant::compare(a, b);
    return order == QPartialOrdering::Less ? -1 : (order == QPartialOrdering::Greater ? 1 : 0);
}
} // namespace

ReportBuilder::ReportBuilder(const ReportLayout &layout, const QStringList &columns,
                             const ReportRequest &request, Emit sink)
    : m_layout(layout), m_names(columns), m_formulas(ReportFormat::formulaValues(request.formulas)),
      m_emit(std::move(sink))
{
    for (const ReportColumn &column : layout.columns)
        m_columns.append(fieldIndex(column.field));
    for (const ReportGroup &group : layout.groups)
        m_groups.append(fieldIndex(group.field));
    for (const QString &field : layout.sort)
        m_sort.append(fieldIndex(field));
    for (const ReportChart::Bar &bar : layout.chart.bars)
        m_chartFields.append(fieldIndex(bar.field)); // a field the table lacks fails at once
    m_chartSums.fill(0.0, m_chartFields.size());
    m_totals.assign(m_groups.size() + 1, QVector<double>(m_columns.size(), 0.0));
}

int ReportBuilder::indexOf(const QString &field) const
{
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_names[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int ReportBuilder::fieldIndex(const QString &field) const
{
    const int index = indexOf(field);
    if (index < 0)
        throw ReportError(
            ReportError::Data,
            QStringLiteral("The report table \"%1\" has no field \"%2\".").arg(m_layout.table, field));
    return index;
}

QString ReportBuilder::fill(const QString &text, const QVector<QVariant> *row) const
{
    return ReportFormat::fill(text, [&](const QString &name) -> QVariant {
        if (m_formulas.contains(name))
            return m_formulas.value(name);
        const int index = row ? indexOf(name) : -1;
        return index < 0 ? QVariant() : row->at(index);
    });
}

bool ReportBuilder::before(const QVector<QVariant> &a, const QVector<QVariant> &b) const
{
    for (const QVector<int> *keys : {&m_groups, &m_sort}) {
        for (int key : *keys) {
            const int c = compareForSort(a.at(key), b.at(key));
            if (c != 0)
                return c < 0;
        }
    }
    return false;
}

void ReportBuilder::count(const QVector<QVariant> &row)
{
    ++m_selected;
    for (int i = 0; i < m_chartFields.size(); ++i)
        m_chartSums[i] += row.at(m_chartFields[i]).toDouble();
}

void ReportBuilder::add(const QVector<QVariant> &row)
{
    const int changed = m_any ? firstChangedGroup(m_previous, row) : 0;
    if (m_any && changed < m_groups.size())
        closeGroups(m_previous, changed);
    if (!m_any || changed < m_groups.size())
        openGroups(row, changed);
    addDetail(row);
    m_previous = row;
    m_any = true;
}

void ReportBuilder::finish()
{
    if (m_any) {
        closeGroups(m_previous, 0);
        if (!m_layout.grandTotal.isEmpty())
            m_emit(totalsLine(ReportLine::GrandTotal, 0, m_layout.grandTotal, m_totals.back(), {}));
        return;
    }
    ReportLine message;
    message.kind = ReportLine::Message;
    message.text = m_layout.noData;
    m_emit(message);
}

QVector<ChartBar> ReportBuilder::chart() const
{
    QVector<ChartBar> bars;
    double total = 0;
    for (int i = 0; i < m_chartSums.size(); ++i) {
        if (m_chartSums[i] != 0)
            bars.append({m_layout.chart.bars[i].caption, m_chartSums[i], 0});
        total += m_chartSums[i];
    }
    std::stable_sort(bars.begin(), bars.end(),
                     [](const ChartBar &a, const ChartBar &b) { return a.value > b.value; });
    double running = 0;
    for (ChartBar &bar : bars) {
        running += bar.value;
        bar.cumulativePercent = total != 0 ? running * 100 / total : 0;
    }
    return bars;
}

int ReportBuilder::firstChangedGroup(const QVector<QVariant> &a, const QVector<QVariant> &b) const
{
    for (int level = 0; level < m_groups.size(); ++level) {
        if (compareForSort(a[m_groups[level]], b[m_groups[level]]) != 0)
            return level;
    }
    return m_groups.size();
}

QVector<QVariant> ReportBuilder::keysOf(const QVector<QVariant> &row, int levels) const
{
    QVector<QVariant> keys;
    keys.reserve(levels);
    for (int level = 0; level < levels; ++level)
        keys.append(row[m_groups[level]]);
    return keys;
}

void ReportBuilder::openGroups(const QVector<QVariant> &row, int from)
{
    for (int level = from; level < m_groups.size(); ++level) {
        std::fill(m_totals[level].begin(), m_totals[level].end(), 0.0);
        if (isSummaryLevel(level))
            continue;
        ReportLine line;
        line.kind = ReportLine::GroupHeader;
        line.level = level;
        line.text = fill(m_layout.groups[level].header, &row);
        line.keys = keysOf(row, level + 1);
        m_emit(line);
    }
}

void ReportBuilder::closeGroups(const QVector<QVariant> &row, int downTo)
{
    for (int level = m_groups.size() - 1; level >= downTo; --level) {
        if (isSummaryLevel(level)) {
            m_emit(summaryLine(row, m_totals[level]));
            continue;
        }
        const QString &footer = m_layout.groups[level].footer;
        if (!footer.isEmpty())
            m_emit(totalsLine(ReportLine::GroupFooter, level, fill(footer, &row), m_totals[level],
                              keysOf(row, level + 1)));
    }
}

ReportLine ReportBuilder::totalsLine(ReportLine::Kind kind, int level, const QString &text,
                                     const QVector<double> &totals, const QVector<QVariant> &keys) const
{
    ReportLine line;
    line.kind = kind;
    line.level = level;
    line.text = text;
    line.keys = keys;
    line.cells.reserve(m_columns.size());
    line.values.reserve(m_columns.size());
    for (int i = 0; i < m_columns.size(); ++i) {
        const ReportColumn &column = m_layout.columns[i];
        line.cells.append(column.total ? ReportFormat::number(totals[i], column.format) : QString());
        line.values.append(column.total ? QVariant(totals[i]) : QVariant());
    }
    return line;
}

// A summary report prints one line per innermost group: its totals, and the other columns from
// the group's rows (fields such as a job's description that are the same on all of them).
ReportLine ReportBuilder::summaryLine(const QVector<QVariant> &row, const QVector<double> &totals) const
{
    ReportLine line =
        totalsLine(ReportLine::Detail, m_groups.size() - 1, QString(), totals, keysOf(row, m_groups.size()));
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_layout.columns[i].total)
            continue;
        line.values[i] = row[m_columns[i]];
        line.cells[i] = ReportFormat::value(row[m_columns[i]], m_layout.columns[i].format);
    }
    return line;
}

void ReportBuilder::addDetail(const QVector<QVariant> &row)
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_layout.columns[i].total)
            continue;
        const double value = row[m_columns[i]].toDouble();
        for (QVector<double> &level : m_totals)
            level[i] += value;
    }
    if (!m_layout.details)
        return;
    ReportLine &line = m_detail;
    line.kind = ReportLine::Detail;
    line.level = m_groups.size();
    line.keys = keysOf(row, m_groups.size());
    line.cells.resize(m_columns.size());
    line.values.resize(m_columns.size());
    for (int i = 0; i < m_columns.size(); ++i) {
        const QVariant &value = row[m_columns[i]];
        line.cells[i] = ReportFormat::value(value, m_layout.columns[i].format);
        line.values[i] = value;
    }
    m_emit(line);
}
