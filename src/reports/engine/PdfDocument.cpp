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
    const QRectF area = m_layout.paintRect(QPageLayout::Point);
    switch (metric) {
    case PdmWidth:
        return qRound(area.width() * m_resolution / 72);
    case PdmHeight:
        return qRound(area.height() * m_resolution / 72);
    case PdmWidthMM:
        return qRound(area.width() * 25.4 / 72);
    case PdmHeightMM:
        return qRound(area.height() * 25.4 / 72);
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return m_resolution;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
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
