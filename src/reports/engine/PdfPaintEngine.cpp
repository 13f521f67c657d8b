#include "PdfPaintEngine.h"

#include "PdfWriter.h"

#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <utility>

namespace {
// A number with at most two decimals, as PDF operands are written, followed by a blank.
void appendNumber(QByteArray &out, double value)
{
    qint64 scaled = qRound64(value * 100);
    if (scaled < 0) {
        out += '-';
        scaled = -scaled;
    }
    char digits[24];
    int n = 0;
    qint64 whole = scaled / 100;
    do {
        digits[n++] = char('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    while (n > 0)
        out += digits[--n];
    const int cents = int(scaled % 100);
    if (cents != 0) {
        out += '.';
        out += char('0' + cents / 10);
        if (cents % 10 != 0)
            out += char('0' + cents % 10);
    }
    out += ' ';
}

void appendColor(QByteArray &out, const QColor &color)
{
    appendNumber(out, color.redF());
    appendNumber(out, color.greenF());
    appendNumber(out, color.blueF());
}

// A byte of a literal string: the delimiters and the escape are escaped, and so are the line ends,
// which a reader would otherwise turn into a plain line feed.
void appendByte(QByteArray &out, char byte)
{
    switch (byte) {
    case '(':
    case ')':
    case '\\':
        out += '\\';
        out += byte;
        break;
    case '\r':
        out += "\\r";
        break;
    case '\n':
        out += "\\n";
        break;
    default:
        out += byte;
    }
}
// True when the text has right-to-left characters (Hebrew, Arabic): those are drawn in the order
// they are read in, shaped, not one glyph per character from left to right.
bool rightToLeft(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x0590 && (c.direction() == QChar::DirR || c.direction() == QChar::DirAL))
            return true;
    }
    return false;
}
} // namespace

PdfPaintEngine::PdfPaintEngine(PdfWriter &writer, int resolution)
    : QPaintEngine(AllFeatures), m_writer(writer), m_resolution(resolution)
{
}

void PdfPaintEngine::beginPage(const QPageLayout &layout)
{
    m_page.clear();
    forgetState();
    m_clipped = false;
    const QRectF full = layout.fullRect(QPageLayout::Point);
    const QRectF area = layout.paintRect(QPageLayout::Point);
    const double scale = 72.0 / m_resolution;
    m_page += QByteArray::number(scale, 'f', 6) + " 0 0 " + QByteArray::number(-scale, 'f', 6) + ' ';
    appendNumber(m_page, area.left());
    appendNumber(m_page, full.height() - area.top());
    m_page += "cm\n";
}

QByteArray PdfPaintEngine::endPage()
{
    endText();
    if (m_clipped)
        m_page += "Q\n";
    return std::exchange(m_page, QByteArray());
}

bool PdfPaintEngine::begin(QPaintDevice *)
{
    return m_writer.isOpen();
}

void PdfPaintEngine::updateState(const QPaintEngineState &state)
{
    if (state.state() & DirtyPen)
        m_pen = state.pen();
    if (state.state() & DirtyBrush)
        m_brush = state.brush();
    if (state.state() & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled))
        clipTo(painter()->hasClipping() ? painter()->clipBoundingRect() : QRectF());
}

void PdfPaintEngine::drawRects(const QRectF *rects, int count)
{
    setColors();
    for (int i = 0; i < count; ++i) {
        for (double v : {rects[i].x(), rects[i].y(), rects[i].width(), rects[i].height()})
            appendNumber(m_page, v);
        m_page += "re ";
        paint(Qt::WindingFill);
    }
}

void PdfPaintEngine::drawLines(const QLineF *lines, int count)
{
    if (m_pen.style() == Qt::NoPen)
        return;
    endText();
    setStroke(m_pen.color(), penWidth());
    for (int i = 0; i < count; ++i) {
        moveTo(lines[i].p1());
        lineTo(lines[i].p2());
    }
    m_page += "S\n";
}

void PdfPaintEngine::drawPolygon(const QPointF *points, int count, PolygonDrawMode mode)
{
    if (count < 2)
        return;
    setColors();
    moveTo(points[0]);
    for (int i = 1; i < count; ++i)
        lineTo(points[i]);
    if (mode == PolylineMode) {
        m_page += m_pen.style() == Qt::NoPen ? "n\n" : "S\n";
        return;
    }
    m_page += "h ";
    paint(mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
}

void PdfPaintEngine::drawPath(const QPainterPath &path)
{
    setColors();
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            moveTo(e);
        } else if (e.isLineTo()) {
            lineTo(e);
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            for (const QPointF &p :
                 {QPointF(e), QPointF(path.elementAt(i + 1)), QPointF(path.elementAt(i + 2))}) {
                appendNumber(m_page, p.x());
                appendNumber(m_page, p.y());
            }
            m_page += "c ";
            i += 2;
        }
    }
    paint(path.fillRule());
}

void PdfPaintEngine::drawTextItem(const QPointF &p, const QTextItem &item)
{
    const QFont font = item.font();
    const QString key = font.key();
    auto it = m_rawFonts.find(key);
    if (it == m_rawFonts.end()) {
        QRawFont raw = QRawFont::fromFont(font);
        // a size in points becomes the device's pixels; a size in pixels is the device's already
        raw.setPixelSize(font.pointSizeF() > 0 ? font.pointSizeF() * m_resolution / 72 : font.pixelSize());
        it = m_rawFonts.insert(key, raw);
    }
    drawText(*it, p, item.text(), m_pen.color());
}

void PdfPaintEngine::moveTo(const QPointF &p)
{
    appendNumber(m_page, p.x());
    appendNumber(m_page, p.y());
    m_page += "m ";
}

void PdfPaintEngine::lineTo(const QPointF &p)
{
    appendNumber(m_page, p.x());
    appendNumber(m_page, p.y());
    m_page += "l ";
}

// The colours go before a path: a reader takes none inside one.
void PdfPaintEngine::setColors()
{
    endText();
    if (m_brush.style() != Qt::NoBrush)
        setFill(m_brush.color());
    if (m_pen.style() != Qt::NoPen)
        setStroke(m_pen.color(), penWidth());
}

// Fills the path just drawn with the brush and strokes it with the pen, as they are set.
void PdfPaintEngine::paint(Qt::FillRule rule)
{
    const bool fill = m_brush.style() != Qt::NoBrush;
    const bool stroke = m_pen.style() != Qt::NoPen;
    const bool evenOdd = rule == Qt::OddEvenFill;
    m_page += fill && stroke ? (evenOdd ? "B*\n" : "B\n")
              : fill         ? (evenOdd ? "f*\n" : "f\n")
              : stroke       ? "S\n"
                             : "n\n";
}

// A text too long for its box is cut at the box, as on the printer: the clip is the bounding
// rectangle of the painter's, inside a saved graphics state that ends when it changes.
void PdfPaintEngine::clipTo(const QRectF &rect)
{
    endText();
    if (m_clipped) {
        m_page += "Q\n";
        forgetState();
    }
    m_clipped = !rect.isNull();
    if (!m_clipped)
        return;
    m_page += "q ";
    for (double v : {rect.x(), rect.y(), rect.width(), rect.height()})
        appendNumber(m_page, v);
    m_page += "re W n\n";
}

// Closes the text object the last texts went into: nothing but text and colours may go inside one.
void PdfPaintEngine::endText()
{
    if (!m_inText)
        return;
    m_page += "ET\n";
    m_inText = false;
}

void PdfPaintEngine::forgetState()
{
    m_fill = m_stroke = QColor();
    m_strokeWidth = -1;
    m_textFont = -1;
}

void PdfPaintEngine::setFill(const QColor &color)
{
    if (color == m_fill)
        return;
    m_fill = color;
    appendColor(m_page, color);
    m_page += "rg ";
}

void PdfPaintEngine::setStroke(const QColor &color, double width)
{
    if (color != m_stroke) {
        m_stroke = color;
        appendColor(m_page, color);
        m_page += "RG ";
    }
    if (width != m_strokeWidth) {
        m_strokeWidth = width;
        appendNumber(m_page, width);
        m_page += "w ";
    }
}

void PdfPaintEngine::drawText(const QRawFont &font, const QPointF &origin, const QString &text,
                              const QColor &color)
{
    if (text.isEmpty())
        return;
    if (rightToLeft(text))
        return drawShaped(font, origin, text, color);
    const int index = m_writer.fontIndex(font);
    m_writer.glyphsOf(index, text, m_glyphs);
    if (m_glyphs.contains(0u))
        drawWithFallback(font, origin, text, color);
    else
        drawGlyphs(index, font.pixelSize(), origin, m_glyphs, color);
}

// A text with characters the font lacks: they are drawn in fallback fonts, each run of characters
// of one font after the one before it. A character no font has stays the font's missing-glyph box.
void PdfPaintEngine::drawWithFallback(const QRawFont &font, const QPointF &origin, const QString &text,
                                      const QColor &color)
{
    QPointF at = origin;
    QRawFont runFont;
    QString run;
    const auto flush = [&]() {
        if (run.isEmpty())
            return;
        const int index = m_writer.fontIndex(runFont);
        QVector<quint32> glyphs;
        m_writer.glyphsOf(index, run, glyphs);
        drawGlyphs(index, runFont.pixelSize(), at, glyphs, color);
        for (const QPointF &advance : runFont.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics))
            at.rx() += advance.x();
        run.clear();
    };
    for (const char32_t code : text.toUcs4()) {
        QRawFont chosen = font;
        if (!font.supportsCharacter(code)) {
            const QRawFont fallback = m_writer.fallbackFor(font, code);
            if (fallback.isValid()) {
                chosen = fallback;
                chosen.setPixelSize(font.pixelSize());
            }
        }
        if (!(chosen == runFont)) {
            flush();
            runFont = chosen;
        }
        run += QString::fromUcs4(&code, 1);
    }
    flush();
}

// A text with right-to-left characters, laid out as a reader sees it: the words of each direction
// in their visual order, Arabic letters joined. The glyphs go into the page in the order the text
// is read, each at its place, and each is noted with the characters it stands for: a reader that
// copies the text takes it in that order, as typed.
void PdfPaintEngine::drawShaped(const QRawFont &font, const QPointF &origin, const QString &text,
                                const QColor &color)
{
    QFont wanted(font.familyName());
    wanted.setWeight(QFont::Weight(font.weight()));
    wanted.setStyle(font.style());
    const int pixels = std::max(1, qRound(font.pixelSize()));
    wanted.setPixelSize(pixels);
    QTextLayout layout(text, wanted);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    struct Placed
    {
        double x;
        int font;
        quint32 glyph;
        QString characters; // more than one for a ligature
    };
    QVector<Placed> placed;
    QHash<QPair<int, qint64>, int> at; // a glyph drawn already, by font and place: a ligature's
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        for (const QGlyphRun &run : layout.glyphRuns(int(i), length)) {
            QRawFont raw = run.rawFont();
            raw.setPixelSize(font.pixelSize());
            const int index = m_writer.fontIndex(raw);
            const QVector<quint32> glyphs = run.glyphIndexes();
            const QVector<QPointF> positions = run.positions();
            for (int g = 0; g < glyphs.size() && g < positions.size(); ++g) {
                const double x = positions[g].x() * font.pixelSize() / pixels;
                const auto key = qMakePair(index, qRound64(x * 100));
                if (at.contains(key)) {
                    placed[at[key]].characters += text.mid(i, length);
                    continue;
                }
                at.insert(key, int(placed.size()));
                placed.append({x, index, glyphs[g], text.mid(i, length)});
            }
        }
        i += length - 1;
    }
    // a right-to-left line is laid out against the right of its box: the text starts at the origin
    double left = placed.isEmpty() ? 0 : placed.front().x;
    for (const Placed &glyph : placed)
        left = std::min(left, glyph.x);
    for (const Placed &glyph : placed) {
        m_writer.noteGlyph(glyph.font, glyph.glyph, glyph.characters);
        drawGlyphs(glyph.font, font.pixelSize(), QPointF(origin.x() + glyph.x - left, origin.y()),
                   {glyph.glyph}, color);
    }
}

void PdfPaintEngine::drawGlyphs(int index, double size, const QPointF &origin, const QVector<quint32> &glyphs,
                                const QColor &color)
{
    setFill(color);
    if (!m_inText) {
        m_page += "BT ";
        m_inText = true;
        m_lineStarted = false;
    }
    if (index != m_textFont || size != m_textSize) {
        m_textFont = index;
        m_textSize = size;
        m_page += "/F" + QByteArray::number(index + 1) + ' ';
        appendNumber(m_page, m_textSize);
        m_page += "Tf ";
    }
    // The cells of a report line share a baseline: each goes on from the one before it.
    const QPointF at(qRound64(origin.x() * 100) / 100.0, qRound64(origin.y() * 100) / 100.0);
    if (m_lineStarted && at.y() == m_lineOrigin.y()) {
        appendNumber(m_page, at.x() - m_lineOrigin.x());
        m_page += "0 Td (";
    } else {
        m_page += "1 0 0 -1 ";
        appendNumber(m_page, at.x());
        appendNumber(m_page, at.y());
        m_page += "Tm (";
    }
    m_lineOrigin = at;
    m_lineStarted = true;
    for (quint32 glyph : glyphs) {
        appendByte(m_page, char(glyph >> 8));
        appendByte(m_page, char(glyph & 0xFF));
    }
    m_page += ") Tj\n";
}
