#include "ReportPainterParts.h"

#include "PdfDocument.h"

#include <QPainter>

namespace {
// The printable area of a page at a resolution, for measuring the report as a PDF of that page
// would: nothing is painted on it.
class PageArea : public QPaintDevice
{
public:
    PageArea(const QPageLayout &layout, int resolution) : m_layout(layout), m_resolution(resolution) {}
    QPaintEngine *paintEngine() const override { return nullptr; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        return pageAreaMetric(metric, m_layout, m_resolution);
    }

private:
    QPageLayout m_layout;
    int m_resolution;
};
} // namespace

ReportPages::ReportPages(const ReportDocument &document, const QPageLayout &layout, int resolution)
    : m_painter(document), m_layout(layout), m_resolution(resolution)
{
    const PageArea area(layout, resolution);
    m_metrics = std::make_unique<ReportPainter::Metrics>(m_painter.measure(area));
    m_pages = m_painter.layOut(*m_metrics);
    m_total = int(m_pages.size()) + (document.layout.chart.bars.isEmpty() ? 0 : 1);
}

ReportPages::~ReportPages() = default;

QImage ReportPages::image(int page, double scale) const
{
    const QSizeF paper = pageSize() * scale;
    QImage image(qMax(1, qRound(paper.width())), qMax(1, qRound(paper.height())), QImage::Format_RGB32);
    // the image's resolution is the measured one, so that the fonts in points come out at the size
    // they were measured at; the painter's scale brings them to the image's pixels
    const int dotsPerMeter = qRound(m_resolution / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    if (page < 0 || page >= m_total)
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(scale * 72 / m_resolution, scale * 72 / m_resolution);
    const QRectF area = m_layout.paintRect(QPageLayout::Point);
    painter.translate(area.left() * m_resolution / 72, area.top() * m_resolution / 72);
    painter.setFont(m_metrics->detail);
    ReportLineReader reader = m_painter.m_doc.reader(false); // one of its own: a page is painted alone
    m_painter.paintPage(painter, *m_metrics, m_pages, page + 1, m_total, reader);
    return image;
}
