#include "ReportDocument.h"

#include "ReportData.h"
#include "ReportError.h"
#include "ReportFormat.h"
#include "SelectionFormula.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {
int fieldIndex(const ReportData &data, const QString &field, const QString &table)
{
    const int index = data.indexOf(field);
    if (index < 0)
        throw ReportError(ReportError::Data,
                          QStringLiteral("The report table \"%1\" has no field \"%2\".").arg(table, field));
    return index;
}

int compareForSort(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    const QPartialOrdering order = QVariant::compare(a, b);
    return order == QPartialOrdering::Less ? -1 : (order == QPartialOrdering::Greater ? 1 : 0);
}

class Builder
{
public:
    Builder(const ReportLayout &layout, const ReportData &data, const ReportRequest &request)
        : m_layout(layout), m_data(data), m_formulas(ReportFormat::formulaValues(request.formulas))
    {
        for (const ReportColumn &column : layout.columns)
            m_columns.append(fieldIndex(data, column.field, layout.table));
        for (const ReportGroup &group : layout.groups)
            m_groups.append(fieldIndex(data, group.field, layout.table));
        for (const QString &field : layout.sort)
            m_sort.append(fieldIndex(data, field, layout.table));
        for (const ReportChart::Bar &bar : layout.chart.bars)
            fieldIndex(data, bar.field, layout.table); // a field the table lacks fails at once
    }

    QVector<ReportLine> run(const QString &selection, int &selected)
    {
        SelectionFormula formula = SelectionFormula::parse(selection);
        formula.bind(m_layout.table, m_data.columns());
        QVector<const QVector<QVariant> *> rows;
        for (const QVector<QVariant> &row : m_data.rows()) {
            if (formula.matches(row))
                rows.append(&row);
        }
        selected = rows.size();
        m_selected = rows;
        sortRows(rows);
        m_totals.assign(m_groups.size() + 1, QVector<double>(m_columns.size(), 0.0));
        const QVector<QVariant> *previous = nullptr;
        for (const QVector<QVariant> *row : rows) {
            const int changed = previous ? firstChangedGroup(*previous, *row) : 0;
            if (previous && changed < m_groups.size())
                closeGroups(*previous, changed);
            if (!previous || changed < m_groups.size())
                openGroups(*row, changed);
            addDetail(*row);
            previous = row;
        }
        if (previous) {
            closeGroups(*previous, 0);
            if (!m_layout.grandTotal.isEmpty())
                m_lines.append(
                    totalsLine(ReportLine::GrandTotal, 0, m_layout.grandTotal, m_totals.back(), {}));
        } else {
            ReportLine message;
            message.kind = ReportLine::Message;
            message.text = m_layout.noData;
            m_lines.append(message);
        }
        return m_lines;
    }

    QString fill(const QString &text, const QVector<QVariant> *row) const
    {
        return ReportFormat::fill(text, [&](const QString &name) -> QVariant {
            if (m_formulas.contains(name))
                return m_formulas.value(name);
            const int index = row ? m_data.indexOf(name) : -1;
            return index < 0 ? QVariant() : row->at(index);
        });
    }

    // Totals of the chart's fields over the selected rows, biggest first (ties in the layout's
    // order), with the running share of the grand total.
    QVector<ChartBar> chart() const
    {
        QVector<ChartBar> bars;
        double total = 0;
        for (const ReportChart::Bar &bar : m_layout.chart.bars) {
            const int index = fieldIndex(m_data, bar.field, m_layout.table);
            double sum = 0;
            for (const QVector<QVariant> *row : m_selected)
                sum += row->at(index).toDouble();
            if (sum != 0)
                bars.append({bar.caption, sum, 0});
            total += sum;
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

private:
    void sortRows(QVector<const QVector<QVariant> *> &rows) const
    {
        const QVector<int> keys = m_groups + m_sort;
        const auto before = [&](const auto *a, const auto *b) {
            for (int key : keys) {
                const int c = compareForSort(a->at(key), b->at(key));
                if (c != 0)
                    return c < 0;
            }
            return false;
        };
        if (!std::is_sorted(rows.begin(), rows.end(), before)) // read in order already, as a rule
            std::stable_sort(rows.begin(), rows.end(), before);
    }

    int firstChangedGroup(const QVector<QVariant> &a, const QVector<QVariant> &b) const
    {
        for (int level = 0; level < m_groups.size(); ++level) {
            if (compareForSort(a[m_groups[level]], b[m_groups[level]]) != 0)
                return level;
        }
        return m_groups.size();
    }

    bool isSummaryLevel(int level) const { return !m_layout.details && level == m_groups.size() - 1; }

    QVector<QVariant> keysOf(const QVector<QVariant> &row, int levels) const
    {
        QVector<QVariant> keys;
        keys.reserve(levels);
        for (int level = 0; level < levels; ++level)
            keys.append(row[m_groups[level]]);
        return keys;
    }

    void openGroups(const QVector<QVariant> &row, int from)
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
            m_lines.append(line);
        }
    }

    void closeGroups(const QVector<QVariant> &row, int downTo)
    {
        for (int level = m_groups.size() - 1; level >= downTo; --level) {
            if (isSummaryLevel(level)) {
                m_lines.append(summaryLine(row, m_totals[level]));
                continue;
            }
            const QString &footer = m_layout.groups[level].footer;
            if (!footer.isEmpty())
                m_lines.append(totalsLine(ReportLine::GroupFooter, level, fill(footer, &row), m_totals[level],
                                          keysOf(row, level + 1)));
        }
    }

    ReportLine totalsLine(ReportLine::Kind kind, int level, const QString &text,
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

    // A summary report prints one line per innermost group: its totals, and the other columns
    // from the group's rows (fields such as a job's description that are the same on all of them).
    ReportLine summaryLine(const QVector<QVariant> &row, const QVector<double> &totals) const
    {
        ReportLine line = totalsLine(ReportLine::Detail, m_groups.size() - 1, QString(), totals,
                                     keysOf(row, m_groups.size()));
        for (int i = 0; i < m_columns.size(); ++i) {
            if (m_layout.columns[i].total)
                continue;
            line.values[i] = row[m_columns[i]];
            line.cells[i] = ReportFormat::value(row[m_columns[i]], m_layout.columns[i].format);
        }
        return line;
    }

    void addDetail(const QVector<QVariant> &row)
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
        ReportLine line;
        line.kind = ReportLine::Detail;
        line.level = m_groups.size();
        line.keys = keysOf(row, m_groups.size());
        line.cells.reserve(m_columns.size());
        line.values.reserve(m_columns.size());
        for (int i = 0; i < m_columns.size(); ++i) {
            const QVariant &value = row[m_columns[i]];
            line.cells.append(ReportFormat::value(value, m_layout.columns[i].format));
            line.values.append(value);
        }
        m_lines.append(line);
    }

    const ReportLayout &m_layout;
    const ReportData &m_data;
    QMap<QString, QString> m_formulas;
    QVector<int> m_columns, m_groups, m_sort;
    QVector<const QVector<QVariant> *> m_selected;
    std::vector<QVector<double>> m_totals; // per group level, and the grand totals last
    QVector<ReportLine> m_lines;
};
} // namespace

ReportDocument ReportDocument::build(const ReportLayout &layout, const ReportData &data,
                                     const ReportRequest &request)
{
    ReportDocument document;
    document.layout = layout;
    document.company = request.company;
    document.printed = request.printed;
    Builder builder(layout, data, request);
    for (const QString &line : layout.heading) {
        const QString filled = builder.fill(line, nullptr).trimmed();
        if (!filled.isEmpty())
            document.heading.append(filled);
    }
    document.lines = builder.run(request.selection, document.detailRows);
    document.chart = builder.chart();
    return document;
}

namespace {
// The fields a report reads: its columns, groups and sort fields, the fields its group texts name,
// and those of the selection formula. Reading only these keeps a year's report light.
QStringList fieldsUsed(const ReportLayout &layout, const QString &selection)
{
    QStringList fields;
    const auto add = [&](const QString &field) {
        if (!fields.contains(field, Qt::CaseInsensitive))
            fields << field;
    };
    for (const ReportColumn &column : layout.columns)
        add(column.field);
    static const QRegularExpression named(QStringLiteral("\\{([^}:|]+)"));
    for (const ReportGroup &group : layout.groups) {
        add(group.field);
        for (const QString &text : {group.header, group.footer}) {
            for (auto it = named.globalMatch(text); it.hasNext();)
                add(it.next().captured(1));
        }
    }
    for (const QString &field : layout.sort)
        add(field);
    for (const QString &field : SelectionFormula::parse(selection).fields())
        add(field);
    return fields;
}
} // namespace

ReportDocument buildReport(const QString &layoutPath, const QSqlDatabase &reportDb,
                           const ReportRequest &request)
{
    const ReportLayout layout = ReportLayout::load(layoutPath);
    QStringList order;
    for (const ReportGroup &group : layout.groups)
        order << group.field;
    ReportData data;
    try {
        data = ReportData::read(reportDb, layout.table, fieldsUsed(layout, request.selection),
                                order + layout.sort);
    } catch (const ReportError &error) {
        if (error.number() == ReportError::Formula)
            throw;
        // a field the table lacks (or a formula value named in a group text): build says which
        data = ReportData::read(reportDb, layout.table);
    }
    return ReportDocument::build(layout, data, request);
}

QVector<int> columnWidths(const ReportDocument &document)
{
    const QList<ReportColumn> &columns = document.layout.columns;
    QVector<int> widths(columns.size());
    for (int i = 0; i < columns.size(); ++i) {
        widths[i] = columns[i].width;
        for (const QString &part : columns[i].caption.split('\n'))
            widths[i] = std::max<int>(widths[i], part.size());
    }
    for (const ReportLine &line : document.lines) {
        for (int i = 0; i < line.cells.size() && i < widths.size(); ++i)
            widths[i] = std::max<int>(widths[i], line.cells[i].size());
    }
    return widths;
}

QVector<ReportPage> paginate(const ReportDocument &document, double capacity,
                             const std::function<double(const ReportLine &)> &height)
{
    QVector<ReportPage> pages(1);
    QVector<ReportLine> open; // the headings of the groups the current line is in
    double used = 0;
    const QVector<ReportLine> &lines = document.lines;
    const auto startPage = [&](bool continued) {
        pages.append(ReportPage());
        used = 0;
        if (!continued)
            return;
        for (ReportLine heading : open) {
            heading.text += QStringLiteral(" (continued)");
            pages.back().lines.append(heading);
            used += height(heading);
        }
    };
    for (int i = 0; i < lines.size(); ++i) {
        const ReportLine &line = lines[i];
        double needed = height(line);
        if (line.kind == ReportLine::GroupHeader) {
            open.resize(std::min<int>(open.size(), line.level));
            // keep the heading with the headings under it and the first line that follows them
            for (int j = i + 1; j < lines.size(); ++j) {
                needed += height(lines[j]);
                if (lines[j].kind != ReportLine::GroupHeader)
                    break;
            }
            const bool newPage = document.layout.groups.value(line.level).newPage;
            if (!pages.back().lines.isEmpty() && (used + needed > capacity || newPage))
                startPage(true); // the headings of the groups around it continue
            open.append(line);
        } else if (!pages.back().lines.isEmpty() && used + needed > capacity) {
            startPage(line.kind != ReportLine::GrandTotal);
        }
        if (line.kind == ReportLine::GroupFooter)
            open.resize(std::min<int>(open.size(), line.level));
        pages.back().lines.append(line);
        used += height(line);
    }
    return pages;
}

double chartAxisTop(double value)
{
    if (value <= 0)
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (step * power >= value)
            return step * power;
    }
    return 10 * power;
}
