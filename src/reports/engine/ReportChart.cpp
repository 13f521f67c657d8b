#include "ReportPainterParts.h"

#include <QPainter>

// The Pareto chart of a report that has one, on a page of its own or alone on a picture.

using namespace ReportPainterParts;

namespace {
// The box moved up until it overlaps none of the taken boxes: a percentage over a bar's value
// would make both unreadable.
QRectF clearOf(QRectF box, const QVector<QRectF> &taken)
{
    for (bool moved = true; moved;) {
        moved = false;
        for (const QRectF &other : taken) {
            if (box.intersects(other)) {
                box.moveBottom(other.top() - 1);
                moved = true;
            }
        }
    }
    return box;
}
} // namespace

// The Pareto chart: bars biggest first against the counts on the left axis, the cumulative
// percentage as a line against the percent axis on the right.
void ReportPainter::paintChart(QPainter &painter, const Metrics &m) const
{
    const QVector<ChartBar> &bars = m_doc.chart;
    const QFont label = font(8), small = font(7.5);
    const double top = m.headingHeight - m.row * 1.3;
    const double bottom = m.height - m.footerHeight - 6 * m.pt;
    painter.setFont(font(11, true));
    painter.setPen(Qt::black);
    const double titleHeight = QFontMetricsF(painter.font(), painter.device()).height();
    painter.drawText(QRectF(0, top, m.width, titleHeight), Qt::AlignCenter, m_doc.layout.chart.title);
    if (bars.isEmpty()) {
        painter.setFont(font(10, false, true));
        painter.setPen(kMuted);
        painter.drawText(QRectF(0, top + titleHeight, m.width, bottom - top - titleHeight), Qt::AlignCenter,
                         QStringLiteral("Nothing to chart for the chosen parameters."));
        return;
    }
    const QRectF plot(56 * m.pt, top + titleHeight + 24 * m.pt, m.width - 112 * m.pt,
                      bottom - top - titleHeight - 24 * m.pt - 44 * m.pt);
    const double maxValue = chartAxisTop(bars.front().value);
    const QLocale locale;
    // grid and both axes' labels
    painter.setFont(small);
    for (int step = 0; step <= 5; ++step) {
        const double y = plot.bottom() - plot.height() * step / 5;
        painter.setPen(QPen(step == 0 ? kRule : QColor(215, 215, 215), (step == 0 ? 0.8 : 0.4) * m.pt));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(kMuted);
        painter.drawText(QRectF(0, y - 6 * m.pt, plot.left() - 5 * m.pt, 12 * m.pt),
                         Qt::AlignRight | Qt::AlignVCenter, locale.toString(qint64(maxValue * step / 5)));
        painter.drawText(QRectF(plot.right() + 5 * m.pt, y - 6 * m.pt, 50 * m.pt, 12 * m.pt),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("%1%").arg(step * 20));
    }
    const double slot = plot.width() / bars.size();
    QPolygonF line;
    QVector<QRectF> valueLabels; // where the bars' values are written, kept clear of the percentages
    for (int i = 0; i < bars.size(); ++i) {
        const double x = plot.left() + slot * i;
        const double h = plot.height() * bars[i].value / maxValue;
        const QRectF bar(x + slot * 0.18, plot.bottom() - h, slot * 0.64, h);
        painter.fillRect(bar, QColor(70, 110, 165));
        painter.setPen(Qt::black);
        painter.setFont(label);
        const QString value = locale.toString(qint64(bars[i].value));
        const double vw = QFontMetricsF(label, painter.device()).horizontalAdvance(value);
        valueLabels.append(QRectF(x + (slot - vw) / 2, bar.top() - 13 * m.pt, vw, 12 * m.pt));
        painter.drawText(valueLabels.back(), Qt::AlignHCenter | Qt::AlignBottom, value);
        painter.drawText(QRectF(x + 2 * m.pt, plot.bottom() + 4 * m.pt, slot - 4 * m.pt, 40 * m.pt),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, bars[i].caption);
        line.append(QPointF(x + slot / 2, plot.bottom() - plot.height() * bars[i].cumulativePercent / 100));
    }
    const QColor lineColor(205, 95, 30);
    painter.setPen(QPen(lineColor, 1.4 * m.pt));
    painter.drawPolyline(line);
    painter.setBrush(lineColor);
    painter.setFont(small);
    for (int i = 0; i < line.size(); ++i) {
        painter.setPen(QPen(lineColor, 1.0 * m.pt));
        painter.drawEllipse(line[i], 2.4 * m.pt, 2.4 * m.pt);
        // the percentage left of its point, on a white ground so that a bar under it does not hide it
        const QString percent = QStringLiteral("%1%").arg(bars[i].cumulativePercent, 0, 'f', 0);
        const double w = QFontMetricsF(small, painter.device()).horizontalAdvance(percent) + 4 * m.pt;
        const QRectF box =
            clearOf(QRectF(line[i].x() - w - 4 * m.pt, line[i].y() - 12 * m.pt, w, 10 * m.pt), valueLabels);
        painter.fillRect(box, Qt::white);
        painter.setPen(lineColor.darker(130));
        painter.drawText(box, Qt::AlignCenter, percent);
    }
    painter.setBrush(Qt::NoBrush);
    // the legend, top left of the plot
    painter.setFont(small);
    const double ly = plot.top() - 18 * m.pt;
    painter.fillRect(QRectF(plot.left(), ly + 2 * m.pt, 10 * m.pt, 8 * m.pt), QColor(70, 110, 165));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(plot.left() + 14 * m.pt, ly, 120 * m.pt, 12 * m.pt),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Rejects"));
    painter.setPen(QPen(lineColor, 1.4 * m.pt));
    painter.drawLine(QPointF(plot.left() + 90 * m.pt, ly + 6 * m.pt),
                     QPointF(plot.left() + 104 * m.pt, ly + 6 * m.pt));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(plot.left() + 108 * m.pt, ly, 140 * m.pt, 12 * m.pt),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Cumulative percentage"));
}

QImage ReportPainter::chartImage(int dpi) const
{
    if (m_doc.layout.chart.bars.isEmpty())
        return {};
    QImage image(10 * dpi, 6 * dpi, QImage::Format_RGB32);
    const int dotsPerMeter = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    Metrics m = measure(image);
    // the chart fills the picture: no page heading above it, no footer below
    m.headingHeight = m.row * 1.3 + 8 * m.pt;
    m.footerHeight = 0;
    paintChart(painter, m);
    return image;
}
