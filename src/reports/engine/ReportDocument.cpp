#include "ReportDocument.h"

#include "ReportBuilder.h"
#include "ReportData.h"
#include "ReportError.h"
#include "ReportFormat.h"
#include "SelectionFormula.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>

namespace {
// Where the lines of a report being laid out go: into the document's lines, and once there are
// more than the request keeps in memory, all of them into a spool.
class LineCollector
{
public:
    LineCollector(ReportDocument &document, int linesInMemory) : m_doc(document), m_inMemory(linesInMemory) {}

    void operator()(const ReportLine &line)
    {
        if (m_spool) {
            m_spool->append(line);
            return;
        }
        m_doc.lines.append(line);
        if (m_inMemory >= 0 && m_doc.lines.size() > m_inMemory) {
            m_spool = std::make_shared<ReportLineSpool>();
            for (const ReportLine &kept : std::as_const(m_doc.lines))
                m_spool->append(kept);
            m_doc.lines = {};
        }
    }

    void finish()
    {
        if (!m_spool)
            return;
        m_spool->finish();
        m_doc.spool = m_spool;
    }

private:
    ReportDocument &m_doc;
    int m_inMemory;
    std::shared_ptr<ReportLineSpool> m_spool;
};

ReportDocument startDocument(const ReportLayout &layout, const ReportRequest &request,
                             const ReportBuilder &builder)
{
    ReportDocument document;
    document.layout = layout;
    document.company = request.company;
    document.printed = request.printed;
    for (const QString &line : layout.heading) {
        const QString filled = builder.fill(line, nullptr).trimmed();
        if (!filled.isEmpty())
            document.heading.append(filled);
    }
    return document;
}

// A report laid out from rows in memory: the selected rows sorted into the report's order.
ReportDocument buildFrom(const ReportLayout &layout, const ReportData &data, const ReportRequest &request,
                         int linesInMemory)
{
    std::optional<LineCollector> collect;
    ReportBuilder builder(layout, data.columns(), request, [&](const ReportLine &line) { (*collect)(line); });
    ReportDocument document = startDocument(layout, request, builder);
    collect.emplace(document, linesInMemory);
    SelectionFormula formula = SelectionFormula::parse(request.selection);
    formula.bind(layout.table, data.columns());
    QVector<const QVector<QVariant> *> rows;
    for (const QVector<QVariant> &row : data.rows()) {
        if (formula.matches(row)) {
            rows.append(&row);
            builder.count(row);
        }
    }
    const auto before = [&](const auto *a, const auto *b) { return builder.before(*a, *b); };
    if (!std::is_sorted(rows.begin(), rows.end(), before)) // read in order already, as a rule
        std::stable_sort(rows.begin(), rows.end(), before);
    for (const QVector<QVariant> *row : std::as_const(rows))
        builder.add(*row);
    builder.finish();
    collect->finish();
    document.detailRows = builder.selected();
    document.chart = builder.chart();
    return document;
}

// A report laid out from its rows as the report table gives them, one at a time, in the order
// asked of the database. Empty when that order is not the report's (a text the database orders
// otherwise than the report does): the rows must then be sorted in memory.
std::optional<ReportDocument> buildStreamed(const ReportLayout &layout, ReportRows &rows,
                                            const ReportRequest &request)
{
    std::optional<LineCollector> collect;
    ReportBuilder builder(layout, rows.columns(), request, [&](const ReportLine &line) { (*collect)(line); });
    ReportDocument document = startDocument(layout, request, builder);
    collect.emplace(document,
                    request.linesInMemory >= 0 ? request.linesInMemory : ReportRequest::kLinesInMemory);
    SelectionFormula formula = SelectionFormula::parse(request.selection);
    formula.bind(layout.table, rows.columns());
    QVector<QVariant> row, previous;
    bool any = false;
    while (rows.next(row)) {
        if (!formula.matches(row))
            continue;
        if (any && builder.before(row, previous))
            return std::nullopt;
        builder.count(row);
        builder.add(row);
        std::swap(row, previous);
        any = true;
    }
    builder.finish();
    collect->finish();
    document.detailRows = builder.selected();
    document.chart = builder.chart();
    return document;
}
} // namespace

ReportDocument ReportDocument::build(const ReportLayout &layout, const ReportData &data,
                                     const ReportRequest &request)
{
    return buildFrom(layout, data, request, request.linesInMemory);
}

void ReportDocument::forEachLine(const std::function<bool(const ReportLine &)> &visit, bool withValues) const
{
    ReportLineReader read = reader(withValues);
    ReportLine line;
    while (read.next(line)) {
        if (!visit(line))
            return;
    }
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
    order += layout.sort;
    const QStringList fields = fieldsUsed(layout, request.selection);
    const int inMemory = request.linesInMemory >= 0 ? request.linesInMemory : ReportRequest::kLinesInMemory;
    std::optional<ReportRows> rows;
    try {
        rows.emplace(reportDb, layout.table, fields, order);
    } catch (const ReportError &error) {
        if (error.number() == ReportError::Formula)
            throw;
        // a field the table lacks (or a formula value named in a group text): build says which
        return buildFrom(layout, ReportData::read(reportDb, layout.table), request, inMemory);
    }
    if (std::optional<ReportDocument> streamed = buildStreamed(layout, *rows, request))
        return std::move(*streamed);
    rows.reset();
    return buildFrom(layout, ReportData::read(reportDb, layout.table, fields, order), request, inMemory);
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
    int caption = 0;
    if (document.spool) { // measured as the lines were spooled
        const QVector<int> &widest = document.spool->widestCells();
        for (int i = 0; i < widest.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], widest[i]);
        caption = document.spool->widestCaption();
    } else {
        for (const ReportLine &line : document.lines) {
            for (int i = 0; i < line.cells.size() && i < widths.size(); ++i)
                widths[i] = std::max<int>(widths[i], line.cells[i].size());
            caption = std::max(caption, line.captionLength());
        }
    }
    widenForTotalsCaption(widths, document.layout.totalsCaptionSpan(), caption, 1);
    return widths;
}

namespace {
// The lines of a report read a few ahead of the one being placed, with their heights.
class LookAhead
{
public:
    struct Line
    {
        ReportLine line;
        qint64 position = 0;
        double height = 0;
    };

    LookAhead(const ReportDocument &document, const std::function<double(const ReportLine &)> &height)
        : m_reader(document.reader(false)), m_height(height)
    {
    }

    // At least `count` lines ahead; false when fewer are left.
    bool fetch(size_t count)
    {
        while (m_ahead.size() < count) {
            Line next;
            next.position = m_reader.position();
            if (!m_reader.next(next.line))
                return false;
            next.height = m_height(next.line);
            m_ahead.push_back(std::move(next));
        }
        return true;
    }
    const Line &at(size_t index) const { return m_ahead[index]; }
    Line take()
    {
        Line first = std::move(m_ahead.front());
        m_ahead.pop_front();
        return first;
    }

private:
    ReportLineReader m_reader;
    const std::function<double(const ReportLine &)> &m_height;
    std::deque<Line> m_ahead;
};
} // namespace

QVector<ReportPage> paginate(const ReportDocument &document, double capacity,
                             const std::function<double(const ReportLine &)> &height)
{
    QVector<ReportPage> pages(1);
    QVector<ReportLine> open; // the headings of the groups the current line is in
    double used = 0;
    int onPage = 0; // lines on the last page, its continued headings included
    const auto startPage = [&](bool continued, qint64 position) {
        pages.append({position, 0, {}});
        used = 0;
        onPage = 0;
        if (!continued)
            return;
        for (ReportLine heading : std::as_const(open)) {
            heading.text += QStringLiteral(" (continued)");
            used += height(heading);
            pages.back().continued.append(std::move(heading));
            ++onPage;
        }
    };
    LookAhead lines(document, height);
    while (lines.fetch(1)) {
        const LookAhead::Line current = lines.take();
        const ReportLine &line = current.line;
        double needed = current.height;
        if (line.kind == ReportLine::GroupHeader) {
            open.resize(std::min<int>(open.size(), line.level));
            // keep the heading with the headings under it and the first line that follows them
            for (size_t j = 0; lines.fetch(j + 1); ++j) {
                needed += lines.at(j).height;
                if (lines.at(j).line.kind != ReportLine::GroupHeader)
                    break;
            }
            const bool newPage = document.layout.groups.value(line.level).newPage;
            if (onPage > 0 && (used + needed > capacity || newPage))
                startPage(true, current.position); // the headings of the groups around it continue
            ReportLine heading = line;
            heading.keys.clear(); // what a page repeats is its text
            open.append(std::move(heading));
        } else if (onPage > 0 && used + needed > capacity) {
            startPage(line.kind != ReportLine::GrandTotal, current.position);
        }
        if (line.kind == ReportLine::GroupFooter)
            open.resize(std::min<int>(open.size(), line.level));
        ++pages.back().count;
        ++onPage;
        used += current.height;
    }
    return pages;
}

void forEachLineOf(ReportLineReader &reader, const ReportPage &page,
                   const std::function<void(const ReportLine &)> &visit)
{
    for (const ReportLine &heading : page.continued)
        visit(heading);
    reader.seek(page.position);
    ReportLine line;
    for (int i = 0; i < page.count && reader.next(line); ++i)
        visit(line);
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
