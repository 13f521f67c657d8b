#include "PdfDocument.h"

#include "PdfPaintEngine.h"
#include "TrueTypeSubset.h"

#include <climits>

PdfDocument::PdfDocument(const QString &path, const QPageLayout &layout, int resolution)
    : m_writer(path, layout.fullRect(QPageLayout::Point).size()), m_layout(layout), m_resolution(resolution),
      m_engine(std::make_unique<PdfPaintEngine>(m_writer, resolution))
{
    newPage();
}

PdfDocument::~PdfDocument() = default;

bool PdfDocument::canEmbed(const QFont &font)
{
    return TrueTypeSubset::glyphCount(QRawFont::fromFont(font)) > 0;
}

QPaintEngine *PdfDocument::paintEngine() const
{
    return m_engine.get();
}

int PdfDocument::metric(PaintDeviceMetric metric) const
{
    return pageAreaMetric(metric, m_layout, m_resolution);
}

int pageAreaMetric(QPaintDevice::PaintDeviceMetric metric, const QPageLayout &layout, int resolution)
{
    const QRectF area = layout.paintRect(QPageLayout::Point);
    switch (metric) {
    case QPaintDevice::PdmWidth:
        return qRound(area.width() * resolution / 72);
    case QPaintDevice::PdmHeight:
        return qRound(area.height() * resolution / 72);
    case QPaintDevice::PdmWidthMM:
        return qRound(area.width() * 25.4 / 72);
    case QPaintDevice::PdmHeightMM:
        return qRound(area.height() * 25.4 / 72);
    case QPaintDevice::PdmNumColors:
        return INT_MAX;
    case QPaintDevice::PdmDepth:
        return 32;
    case QPaintDevice::PdmDpiX:
    case QPaintDevice::PdmDpiY:
    case QPaintDevice::PdmPhysicalDpiX:
    case QPaintDevice::PdmPhysicalDpiY:
        return resolution;
    case QPaintDevice::PdmDevicePixelRatio:
        return 1;
    case QPaintDevice::PdmDevicePixelRatioScaled:
        return int(QPaintDevice::devicePixelRatioFScale());
    default:
        return 0;
    }
}

void PdfDocument::newPage()
{
    if (!m_writer.isOpen())
        return;
    if (m_pageOpen)
        m_writer.writePage(m_engine->endPage());
    m_engine->beginPage(m_layout);
    m_pageOpen = true;
}

void PdfDocument::drawText(const QRawFont &font, const QPointF &origin, const QString &text,
                           const QColor &color)
{
    m_engine->drawText(font, origin, text, color);
}

bool PdfDocument::finish()
{
    if (!m_writer.isOpen())
        return false;
    if (m_pageOpen)
        m_writer.writePage(m_engine->endPage());
    return m_writer.finish(m_title, m_creator);
}
