#include "ReportPainter.h"

#include "PdfDocument.h"
#include "ReportPainterParts.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRawFont>

#include <array>
#include <cmath>

using namespace ReportPainterParts;

namespace {
// The text in lines no wider than `room`, broken between words; a word wider than the room by
// itself is broken between characters.
QStringList wrapped(const CellFont &font, const QString &text, double room)
{
    if (font.width(text) <= room)
        return {text};
    QStringList lines;
    QString line;
    for (const QString &word : text.split(' ', Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + ' ' + word;
        if (font.width(longer) <= room) {
            line = longer;
            continue;
        }
        if (!line.isEmpty())
            lines.append(line);
        line = word;
        while (line.size() > 1 && font.width(line) > room) {
            int fits = 1;
            while (fits + 1 < line.size() && font.width(line.left(fits + 1)) <= room)
                ++fits;
            if (line[fits - 1].isHighSurrogate())
                ++fits; // a surrogate pair stays one character
            lines.append(line.left(fits));
            line = line.mid(fits);
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}
} // namespace

namespace {
constexpr double kLargest = 8.5;  // points of the detail font when the columns leave room for it
constexpr double kSmallest = 6.0; // and when they do not

bool isFigure(const ReportColumn &column)
{
    if (column.total)
        return true;
    if (column.format.isEmpty())
        return false;
    for (const QChar c : column.format) {
        if (c != '#' && c != '0' && c != ',' && c != '.')
            return false;
    }
    return true;
}
} // namespace

ReportPainter::ReportPainter(const ReportDocument &document) : m_doc(document) {}

QFont ReportPainter::typeface()
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    return f;
}

void ReportPainter::setUpPage(QPagedPaintDevice &device) const
{
    const QPageLayout layout = pageLayout(device.pageLayout().pageSize());
    device.setPageOrientation(layout.orientation());
    device.setPageMargins(layout.margins(), QPageLayout::Point);
}

QPageLayout ReportPainter::pageLayout(const QPageSize &paper) const
{
    return QPageLayout(paper, m_doc.layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(36, 36, 36, 30), QPageLayout::Point);
}

ReportPainter::Metrics ReportPainter::measure(const QPaintDevice &device) const
{
    Metrics m;
    m.width = device.width();
    m.height = device.height();
    m.pt = device.logicalDpiY() / 72.0;
    m.pad = 3.5 * m.pt;
    QVector<double> layoutWidths;
    const QVector<double> widths = textWidths(device, m.pad, layoutWidths);
    double text = 0;
    for (double w : widths)
        text += w;
    // the detail font: as large as 8.5 points while the columns, each as wide as its widest text
    // at that size, still fit the page width
    const double room = m.width - 2 * m.pad * widths.size();
    double points = std::clamp(kLargest * room / text, kSmallest, kLargest);
    // the least the columns take, the texts squeezed to their layout's width: when even that does
    // not fit at the smallest font (eleven-digit figures in every column), a smaller font still,
    // rather than columns off the page
    double least = 0;
    for (int i = 0; i < widths.size(); ++i)
        least += isFigure(m_doc.layout.columns[i]) ? widths[i] : std::min(widths[i], layoutWidths[i]);
    if (least * points / kLargest > room)
        points = kLargest * room / least;
    m.detail = font(points);
    m.bold = font(points, true);
    m.caption = font(points, true);
    m.group0 = font(points + 1.5, true);
    m.group1 = font(points + 0.5, true);
    const auto atDeviceSize = [&](const QFont &f) {
        QRawFont raw = QRawFont::fromFont(f);
        raw.setPixelSize(points * m.pt);
        return CellFont(raw);
    };
    m.detailCells = atDeviceSize(m.detail);
    m.boldCells = atDeviceSize(m.bold);
    m.row = QFontMetricsF(m.detail, &device).height() * 1.3;
    double x = 0;
    for (double w : fitted(widths, layoutWidths, points / kLargest, m.pad, m.width)) {
        m.left.append(x);
        x += w;
        m.right.append(x);
    }
    const double titleBlock = QFontMetricsF(font(14, true), &device).height() +
                              QFontMetricsF(font(11.5, true), &device).height() +
                              m_doc.heading.size() * QFontMetricsF(font(9), &device).height() * 1.2;
    bool twoLineCaptions = false;
    for (const ReportColumn &column : m_doc.layout.columns)
        twoLineCaptions = twoLineCaptions || column.caption.contains('\n');
    m.headingHeight = titleBlock + 10 * m.pt + m.row * (twoLineCaptions ? 2.1 : 1.3) + 4 * m.pt;
    m.footerHeight = QFontMetricsF(font(7.5), &device).height() + 8 * m.pt;
    return m;
}

// Each column's room for text at the largest detail font, in device pixels: the layout's width, or
// the widest text of the column when wider (captions and totals in bold, as they are printed).
// layoutWidths gets the least each column may be squeezed to: its layout's width or its heading.
QVector<double> ReportPainter::textWidths(const QPaintDevice &device, double pad,
                                          QVector<double> &layoutWidths) const
{
    const QList<ReportColumn> &columns = m_doc.layout.columns;
    const double pt = device.logicalDpiY() / 72.0;
    const double perChar = QFontMetricsF(font(10), &device).averageCharWidth() / 10.0 * kLargest;
    const QFontMetricsF captionFont(font(kLargest, true), &device);
    QVector<double> widths(columns.size());
    layoutWidths.resize(columns.size());
    for (int i = 0; i < columns.size(); ++i) {
        layoutWidths[i] = std::max(0.0, (columns[i].width + 1) * perChar - 2 * pad);
        widths[i] = layoutWidths[i];
        // with a little to spare, as for the cells: a heading is never cut
        for (const QString &part : columns[i].caption.split('\n'))
            widths[i] = std::max(widths[i], captionFont.horizontalAdvance(part) * 1.02 + pt);
        layoutWidths[i] = widths[i]; // a column squeezed to its layout's width still shows its heading
    }
    const auto atSize = [&](bool bold) {
        QRawFont raw = QRawFont::fromFont(font(kLargest, bold));
        raw.setPixelSize(kLargest * pt);
        return CellFont(raw);
    };
    const CellFont detail = atSize(false), bold = atSize(true);
    double caption = 0; // the widest totals caption with its indent, which does not shrink with the font
    m_doc.forEachLine(
        [&](const ReportLine &line) {
            if (line.kind == ReportLine::GroupFooter || line.kind == ReportLine::GrandTotal) {
                const double indent = line.kind == ReportLine::GroupFooter ? line.level * 12 * pt : 0;
                caption =
                    std::max(caption, bold.width(line.text) * 1.02 + pt + indent * kLargest / kSmallest);
            }
            const CellFont &cells = line.kind == ReportLine::Detail ? detail : bold;
            for (int i = 0; i < line.cells.size() && i < widths.size(); ++i) {
                if (!line.cells[i].isEmpty()) // with a little to spare for the rounding of a smaller size
                    widths[i] = std::max(widths[i], cells.width(line.cells[i]) * 1.02 + pt);
            }
            return true;
        },
        false);
    // a text (a job's description) grows its column up to a third of the page only, and wraps
    // inside it; a figure always gets its whole width
    for (int i = 0; i < columns.size(); ++i) {
        if (!isFigure(columns[i]))
            widths[i] = std::min(widths[i], std::max(layoutWidths[i], device.width() / 3.0));
    }
    // the columns before the first total hold the totals captions, squeezed too
    const int span = m_doc.layout.totalsCaptionSpan();
    widenForTotalsCaption(widths, span, caption, 2 * pad);
    widenForTotalsCaption(layoutWidths, span, caption, 2 * pad);
    return widths;
}

// The columns' widths at `scale` times the measured text widths: stretched to fill the page when
// they leave room; when they do not fit even at the smallest font, the text columns (never a
// figure) give up room down to their layout's width, and their longest texts wrap.
QVector<double> ReportPainter::fitted(const QVector<double> &text, const QVector<double> &layout,
                                      double scale, double pad, double pageWidth) const
{
    QVector<double> widths;
    double sum = 0;
    for (double w : text) {
        widths.append(w * scale + 2 * pad);
        sum += widths.back();
    }
    if (sum <= pageWidth) {
        for (double &w : widths)
            w *= pageWidth / sum;
        return widths;
    }
    const QList<ReportColumn> &columns = m_doc.layout.columns;
    double spare = 0; // what the text columns could give up
    QVector<double> minimum(widths.size());
    for (int i = 0; i < widths.size(); ++i) {
        minimum[i] = isFigure(columns[i]) ? widths[i] : std::min(widths[i], layout[i] * scale + 2 * pad);
        spare += widths[i] - minimum[i];
    }
    const double share = spare > 0 ? std::min(1.0, (sum - pageWidth) / spare) : 0;
    for (int i = 0; i < widths.size(); ++i)
        widths[i] -= (widths[i] - minimum[i]) * share;
    return widths;
}

double ReportPainter::lineHeight(const Metrics &m, const ReportLine &line) const
{
    switch (line.kind) {
    case ReportLine::GroupHeader:
        return line.level == 0 ? m.row * 1.75 : m.row * 1.35;
    case ReportLine::GroupFooter:
        return m.row * (line.level == 0 ? 1.6 : 1.35);
    case ReportLine::GrandTotal:
        return m.row * 1.9;
    case ReportLine::Message:
        return m.row * 3;
    case ReportLine::Detail:
        break;
    }
    int lines = 1;
    for (int i = 0; i < line.cells.size(); ++i) {
        if (!isFigure(m_doc.layout.columns[i])) // a year has millions of figures: none ever wraps
            lines = std::max<int>(lines, cellLines(m, line.cells[i], i).size());
    }
    return m.row * lines;
}

// A detail cell's text in the lines it prints in: a text wider than its column wraps, a figure
// (whose column is always wide enough) stays whole.
QStringList ReportPainter::cellLines(const Metrics &m, const QString &text, int column) const
{
    if (text.isEmpty() || isFigure(m_doc.layout.columns[column]))
        return {text};
    return wrapped(m.detailCells, text, m.right[column] - m.left[column] - 2 * m.pad);
}

void ReportPainter::paintHeading(QPainter &painter, const Metrics &m, bool captions) const
{
    double y = 0;
    const auto centredLine = [&](const QString &text, const QFont &f, const QColor &color, double spacing) {
        painter.setFont(f);
        painter.setPen(color);
        const double h = QFontMetricsF(f, painter.device()).height();
        painter.drawText(QRectF(0, y, m.width, h), Qt::AlignHCenter | Qt::AlignVCenter, text);
        y += h * spacing;
    };
    centredLine(m_doc.company, font(14, true), Qt::black, 1.0);
    centredLine(m_doc.layout.title, font(11.5, true), Qt::black, 1.0);
    for (const QString &line : m_doc.heading)
        centredLine(line, font(9), kMuted, 1.2);
    y += 10 * m.pt;
    if (!captions)
        return;
    // column captions, bottom-aligned, over a rule
    painter.setFont(m.caption);
    painter.setPen(Qt::black);
    const double captionHeight = m.headingHeight - y - 4 * m.pt;
    for (int i = 0; i < m_doc.layout.columns.size(); ++i) {
        const ReportColumn &column = m_doc.layout.columns[i];
        const Qt::Alignment h = column.align == ReportColumn::Right    ? Qt::AlignRight
                                : column.align == ReportColumn::Center ? Qt::AlignHCenter
                                                                       : Qt::AlignLeft;
        painter.drawText(QRectF(m.left[i] + m.pad, y, m.right[i] - m.left[i] - 2 * m.pad, captionHeight),
                         h | Qt::AlignBottom | Qt::TextDontClip, column.caption);
    }
    y += captionHeight + 2 * m.pt;
    painter.setPen(QPen(Qt::black, 1.0 * m.pt));
    painter.drawLine(QPointF(0, y), QPointF(m.width, y));
}

void ReportPainter::paintFooter(QPainter &painter, const Metrics &m, int page, int pages) const
{
    const double top = m.height - m.footerHeight + 4 * m.pt;
    painter.setPen(QPen(kRule, 0.5 * m.pt));
    painter.drawLine(QPointF(0, top), QPointF(m.width, top));
    painter.setFont(font(7.5));
    painter.setPen(kMuted);
    const QRectF box(0, top + 2 * m.pt, m.width, m.height - top - 2 * m.pt);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Printed ") +
                         QLocale().toString(m_doc.printed, QStringLiteral("MM/dd/yyyy h:mm AP")));
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignVCenter, m_doc.layout.title);
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Page %1 of %2").arg(page).arg(pages));
}

// The cells of a line are drawn as one run of glyphs (or, into a PDF document, as a run of text
// each): a report of a year has a million cells, and laying each out as text of its own would
// take many seconds. `h` is the height of one line of text; a wrapped text takes a line of the
// detail height for each of its lines.
void ReportPainter::paintCells(QPainter &painter, const Metrics &m, const QStringList &cells, double y,
                               double h, bool totalsOnly) const
{
    const CellFont &font = painter.font().bold() ? m.boldCells : m.detailCells;
    const QRawFont &raw = font.raw();
    const double ascent = raw.ascent(), height = raw.ascent() + raw.descent();
    const double baseline = y + (h - height) / 2 + ascent;
    auto *pdf = dynamic_cast<PdfDocument *>(painter.device());
    QVector<quint32> glyphs, indexes;
    QVector<QPointF> positions;
    QVector<double> advances;
    for (int i = 0; i < cells.size(); ++i) {
        const ReportColumn &column = m_doc.layout.columns[i];
        if (cells[i].isEmpty() || (totalsOnly && !column.total))
            continue;
        const QStringList lines = totalsOnly ? QStringList{cells[i]} : cellLines(m, cells[i], i);
        for (int l = 0; l < lines.size(); ++l) {
            const double w = font.shape(lines[l], indexes, advances);
            double x = m.left[i] + m.pad;
            if (column.align == ReportColumn::Right)
                x = m.right[i] - m.pad - w;
            else if (column.align == ReportColumn::Center)
                x = (m.left[i] + m.right[i] - w) / 2;
            if (pdf) {
                pdf->drawText(raw, QPointF(x, baseline + l * m.row), lines[l], painter.pen().color());
                continue;
            }
            for (int g = 0; g < indexes.size(); ++g) {
                glyphs.append(indexes[g]);
                positions.append(QPointF(x, l * m.row));
                x += advances[g];
            }
        }
    }
    if (glyphs.isEmpty())
        return;
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter.drawGlyphRun(QPointF(0, baseline), run);
}

double ReportPainter::paintLine(QPainter &painter, const Metrics &m, const ReportLine &line, double y,
                                bool shaded) const
{
    const double h = lineHeight(m, line);
    switch (line.kind) {
    case ReportLine::GroupHeader: {
        const double top = y + h - m.row * 1.25;
        const double indent = line.level * 12 * m.pt;
        if (line.level == 0)
            painter.fillRect(QRectF(0, top, m.width, m.row * 1.2), kGroupShade);
        painter.setFont(line.level == 0 ? m.group0 : m.group1);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(indent + m.pad, top, m.width - indent, m.row * 1.2),
                         Qt::AlignLeft | Qt::AlignVCenter, line.text);
        if (line.level > 0) {
            painter.setPen(QPen(kRule, 0.4 * m.pt));
            painter.drawLine(QPointF(indent, top + m.row * 1.2), QPointF(m.width, top + m.row * 1.2));
        }
        break;
    }
    case ReportLine::Detail:
        if (shaded)
            painter.fillRect(QRectF(0, y, m.width, h), kBand);
        painter.setFont(m.detail);
        painter.setPen(Qt::black);
        paintCells(painter, m, line.cells, y, m.row, false);
        break;
    case ReportLine::GroupFooter:
    case ReportLine::GrandTotal: {
        const bool grand = line.kind == ReportLine::GrandTotal;
        const double top = y + h - m.row * 1.15;
        painter.setPen(QPen(Qt::black, (grand ? 0.9 : 0.5) * m.pt));
        for (int i = 0; i < line.cells.size(); ++i) {
            if (!m_doc.layout.columns[i].total)
                continue;
            painter.drawLine(QPointF(m.left[i] + m.pad, top), QPointF(m.right[i] - m.pad, top));
            if (grand)
                painter.drawLine(QPointF(m.left[i] + m.pad, top + 1.6 * m.pt),
                                 QPointF(m.right[i] - m.pad, top + 1.6 * m.pt));
        }
        painter.setFont(m.bold);
        painter.setPen(Qt::black);
        double labelRight = m.width;
        for (int i = 0; i < line.cells.size(); ++i) {
            if (m_doc.layout.columns[i].total) {
                labelRight = m.left[i];
                break;
            }
        }
        const double indent = grand ? 0 : line.level * 12 * m.pt;
        painter.drawText(QRectF(indent + m.pad, top, labelRight - indent - m.pad, m.row * 1.15),
                         Qt::AlignLeft | Qt::AlignVCenter, line.text);
        paintCells(painter, m, line.cells, top + 1 * m.pt, m.row * 1.15, true);
        break;
    }
    case ReportLine::Message:
        painter.setFont(font(10, false, true));
        painter.setPen(kMuted);
        painter.drawText(QRectF(0, y, m.width, h), Qt::AlignCenter, line.text);
        break;
    }
    return h;
}

int ReportPainter::paint(QPagedPaintDevice &device, int firstPage, int lastPage,
                         const std::function<bool(int, int)> &progress) const
{
    return paint(
        device, [&device] { device.newPage(); }, firstPage, lastPage, progress);
}

int ReportPainter::paint(QPaintDevice &device, const std::function<void()> &newPage, int firstPage,
                         int lastPage, const std::function<bool(int, int)> &progress) const
{
    QPainter painter(&device);
    if (!painter.isActive())
        return 0; // the device cannot be painted on (a file that cannot be created)
    const Metrics m = measure(device);
    const QVector<ReportPage> pages = layOut(m);
    const int total = int(pages.size()) + (m_doc.layout.chart.bars.isEmpty() ? 0 : 1);
    const int last = lastPage <= 0 ? total : std::min<int>(lastPage, total);
    painter.setFont(m.detail);
    ReportLineReader reader = m_doc.reader(false);
    bool first = true;
    for (int p = std::max(1, firstPage); p <= last; ++p) {
        if (!first)
            newPage();
        first = false;
        paintPage(painter, m, pages, p, total, reader);
        if (progress && !progress(p, last))
            break;
    }
    painter.end();
    return total;
}

// The pages of lines, without the chart's page.
QVector<ReportPage> ReportPainter::layOut(const Metrics &m) const
{
    const double capacity = m.height - m.headingHeight - m.footerHeight - 4 * m.pt;
    return paginate(m_doc, capacity, [&](const ReportLine &line) { return lineHeight(m, line); });
}

// Page `page` (1-based, the chart's page first where there is one) of `total`.
void ReportPainter::paintPage(QPainter &painter, const Metrics &m, const QVector<ReportPage> &pages, int page,
                              int total, ReportLineReader &reader) const
{
    const int chartPages = m_doc.layout.chart.bars.isEmpty() ? 0 : 1;
    if (page <= chartPages) {
        paintHeading(painter, m, false);
        paintChart(painter, m);
        paintFooter(painter, m, page, total);
        return;
    }
    paintHeading(painter, m);
    double y = m.headingHeight + 2 * m.pt;
    int band = 0;
    forEachLineOf(reader, pages[page - chartPages - 1], [&](const ReportLine &line) {
        band = line.kind == ReportLine::Detail ? band + 1 : 0;
        y += paintLine(painter, m, line, y, band % 2 == 0 && band > 0);
    });
    paintFooter(painter, m, page, total);
}
