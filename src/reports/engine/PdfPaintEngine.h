#pragma once

#include <QBrush>
#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QPaintEngine>
#include <QPen>
#include <QRawFont>
#include <QVector>

class PdfWriter;
class QPageLayout;

// Draws the painter's text, lines and shapes into the page's drawing operators, in device pixels
// with y downwards; the writer gives the fonts and takes each page when it is done.
class PdfPaintEngine : public QPaintEngine
{
public:
    PdfPaintEngine(PdfWriter &writer, int resolution);

    // Starts a page's operators: device pixels from the top left of the printable area.
    void beginPage(const QPageLayout &layout);
    // The page's operators, with the text object and the clip closed.
    QByteArray endPage();
    // A run of text in `font` (its pixel size is the device's) with its baseline starting at `origin`.
    void drawText(const QRawFont &font, const QPointF &origin, const QString &text, const QColor &color);

    bool begin(QPaintDevice *) override;
    bool end() override { return true; }
    Type type() const override { return User; }
    void updateState(const QPaintEngineState &state) override;
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {} // reports have none
    void drawRects(const QRectF *rects, int count) override;
    void drawLines(const QLineF *lines, int count) override;
    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override;
    void drawPath(const QPainterPath &path) override;
    void drawTextItem(const QPointF &p, const QTextItem &item) override;

private:
    void clipTo(const QRectF &rect); // a null rectangle: no clip
    void endText();
    void forgetState();
    void setFill(const QColor &color);
    void setStroke(const QColor &color, double width);
    void drawWithFallback(const QRawFont &font, const QPointF &origin, const QString &text,
                          const QColor &color);
    void drawShaped(const QRawFont &font, const QPointF &origin, const QString &text, const QColor &color);
    void drawGlyphs(int index, double size, const QPointF &origin, const QVector<quint32> &glyphs,
                    const QColor &color);
    double penWidth() const { return m_pen.widthF() > 0 ? m_pen.widthF() : 1.0; }
    void moveTo(const QPointF &p);
    void lineTo(const QPointF &p);
    void setColors();
    void paint(Qt::FillRule rule);

    PdfWriter &m_writer;
    int m_resolution;
    QPen m_pen;
    QBrush m_brush;
    QHash<QString, QRawFont> m_rawFonts;
    QByteArray m_page;
    QVector<quint32> m_glyphs;
    bool m_clipped = false;
    bool m_inText = false, m_lineStarted = false;
    QPointF m_lineOrigin; // where the last text of the open text object started
    QColor m_fill, m_stroke;
    double m_strokeWidth = -1;
    int m_textFont = -1;
    double m_textSize = 0;
};
