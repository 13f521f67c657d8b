#include "PdfDocument.h"

#include "TrueTypeSubset.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QtEndian>
#include <array>
#include <climits>

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

void appendHex4(QByteArray &out, quint32 value)
{
    static const char hex[] = "0123456789ABCDEF";
    out += hex[(value >> 12) & 0xF];
    out += hex[(value >> 8) & 0xF];
    out += hex[(value >> 4) & 0xF];
    out += hex[value & 0xF];
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

// A text string of the document's information: UTF-16 with its byte order mark, in hex.
QByteArray textString(const QString &text)
{
    QByteArray out = "<FEFF";
    for (const QChar c : text)
        appendHex4(out, c.unicode());
    return out + '>';
}

QByteArray compressed(const QByteArray &data)
{
    QByteArray z = qCompress(data, 1);
    z.remove(0, 4); // Qt's length prefix; what follows is the zlib stream PDF expects
    return z;
}
} // namespace

struct PdfDocument::Font
{
    QRawFont design; // at the size of its design units: advances read in font units
    QByteArray name;
    int glyphCount = 0;
    int object = 0;
    std::vector<char32_t> unicode;   // by glyph id; 0 for a glyph not used
    std::array<qint32, 256> latin;   // glyph ids of the first 256 characters, -1 not looked up
    QHash<char32_t, quint32> others; // glyph ids of the other characters looked up
};

// Draws the painter's text, lines and shapes into the document's page.
class PdfPaintEngine : public QPaintEngine
{
public:
    explicit PdfPaintEngine(PdfDocument &document) : QPaintEngine(AllFeatures), m_doc(document) {}

    bool begin(QPaintDevice *) override { return m_doc.m_file.isOpen(); }
    bool end() override { return true; }
    Type type() const override { return User; }
    void updateState(const QPaintEngineState &state) override
    {
        if (state.state() & DirtyPen)
            m_pen = state.pen();
        if (state.state() & DirtyBrush)
            m_brush = state.brush();
        if (state.state() & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled))
            m_doc.clipTo(painter()->hasClipping() ? painter()->clipBoundingRect() : QRectF());
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {} // reports have none

    void drawRects(const QRectF *rects, int count) override
    {
        setColors();
        for (int i = 0; i < count; ++i) {
            for (double v : {rects[i].x(), rects[i].y(), rects[i].width(), rects[i].height()})
                appendNumber(m_doc.page(), v);
            m_doc.page() += "re ";
            paint(Qt::WindingFill);
        }
    }

    void drawLines(const QLineF *lines, int count) override
    {
        if (m_pen.style() == Qt::NoPen)
            return;
        m_doc.endText();
        m_doc.setStroke(m_pen.color(), penWidth());
        for (int i = 0; i < count; ++i) {
            moveTo(lines[i].p1());
            lineTo(lines[i].p2());
        }
        m_doc.page() += "S\n";
    }

    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override
    {
        if (count < 2)
            return;
        setColors();
        moveTo(points[0]);
        for (int i = 1; i < count; ++i)
            lineTo(points[i]);
        if (mode == PolylineMode) {
            m_doc.page() += m_pen.style() == Qt::NoPen ? "n\n" : "S\n";
            return;
        }
        m_doc.page() += "h ";
        paint(mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
    }

    void drawPath(const QPainterPath &path) override
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
                    appendNumber(m_doc.page(), p.x());
                    appendNumber(m_doc.page(), p.y());
                }
                m_doc.page() += "c ";
                i += 2;
            }
        }
        paint(path.fillRule());
    }

    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        const QFont font = item.font();
        const QString key = font.key();
        auto it = m_rawFonts.find(key);
        if (it == m_rawFonts.end()) {
            QRawFont raw = QRawFont::fromFont(font);
            // a size in points becomes the device's pixels; a size in pixels is the device's already
            raw.setPixelSize(font.pointSizeF() > 0 ? font.pointSizeF() * m_doc.m_resolution / 72
                                                   : font.pixelSize());
            it = m_rawFonts.insert(key, raw);
        }
        m_doc.drawText(*it, p, item.text(), m_pen.color());
    }

private:
    double penWidth() const { return m_pen.widthF() > 0 ? m_pen.widthF() : 1.0; }
    void moveTo(const QPointF &p)
    {
        appendNumber(m_doc.page(), p.x());
        appendNumber(m_doc.page(), p.y());
        m_doc.page() += "m ";
    }
    void lineTo(const QPointF &p)
    {
        appendNumber(m_doc.page(), p.x());
        appendNumber(m_doc.page(), p.y());
        m_doc.page() += "l ";
    }
    // The colours go before a path: a reader takes none inside one.
    void setColors()
    {
        m_doc.endText();
        if (m_brush.style() != Qt::NoBrush)
            m_doc.setFill(m_brush.color());
        if (m_pen.style() != Qt::NoPen)
            m_doc.setStroke(m_pen.color(), penWidth());
    }
    // Fills the path just drawn with the brush and strokes it with the pen, as they are set.
    void paint(Qt::FillRule rule)
    {
        const bool fill = m_brush.style() != Qt::NoBrush;
        const bool stroke = m_pen.style() != Qt::NoPen;
        const bool evenOdd = rule == Qt::OddEvenFill;
        m_doc.page() += fill && stroke ? (evenOdd ? "B*\n" : "B\n")
                        : fill         ? (evenOdd ? "f*\n" : "f\n")
                        : stroke       ? "S\n"
                                       : "n\n";
    }

    PdfDocument &m_doc;
    QPen m_pen;
    QBrush m_brush;
    QHash<QString, QRawFont> m_rawFonts;
};

PdfDocument::PdfDocument(const QString &path, const QPageLayout &layout, int resolution)
    : m_file(path), m_layout(layout), m_resolution(resolution),
      m_engine(std::make_unique<PdfPaintEngine>(*this))
{
    m_offsets.resize(1);
    reserve(); // the catalog, object 1
    m_pagesObject = reserve();
    m_resourcesObject = reserve();
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = m_file.errorString();
        return;
    }
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
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
    if (!m_file.isOpen())
        return;
    if (m_pageOpen)
        writePage();
    m_page.clear();
    forgetState();
    m_clipped = false;
    // Device pixels from the top left of the printable area, y downwards.
    const QRectF full = m_layout.fullRect(QPageLayout::Point);
    const QRectF area = m_layout.paintRect(QPageLayout::Point);
    const double scale = 72.0 / m_resolution;
    m_page += QByteArray::number(scale, 'f', 6) + " 0 0 " + QByteArray::number(-scale, 'f', 6) + ' ';
    appendNumber(m_page, area.left());
    appendNumber(m_page, full.height() - area.top());
    m_page += "cm\n";
    m_pageOpen = true;
}

// A text too long for its box is cut at the box, as on the printer: the clip is the bounding
// rectangle of the painter's, inside a saved graphics state that ends when it changes.
void PdfDocument::clipTo(const QRectF &rect)
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
void PdfDocument::endText()
{
    if (!m_inText)
        return;
    m_page += "ET\n";
    m_inText = false;
}

void PdfDocument::forgetState()
{
    m_fill = m_stroke = QColor();
    m_strokeWidth = -1;
    m_textFont = -1;
}

void PdfDocument::setFill(const QColor &color)
{
    if (color == m_fill)
        return;
    m_fill = color;
    appendColor(m_page, color);
    m_page += "rg ";
}

void PdfDocument::setStroke(const QColor &color, double width)
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

int PdfDocument::fontIndex(const QRawFont &font)
{
    for (const auto &[raw, index] : m_recentFonts) {
        if (raw == font)
            return index;
    }
    const int index = addFont(font);
    m_recentFonts.append({font, index});
    return index;
}

int PdfDocument::addFont(const QRawFont &font)
{
    const QString key = font.familyName() + '|' + font.styleName() + '|' + QString::number(font.weight()) +
                        '|' + QString::number(int(font.style()));
    const auto known = m_fontKeys.constFind(key);
    if (known != m_fontKeys.constEnd())
        return *known;
    auto added = std::make_unique<Font>();
    added->design = font;
    added->design.setPixelSize(font.unitsPerEm());
    added->glyphCount = TrueTypeSubset::glyphCount(font);
    added->unicode.assign(added->glyphCount, 0);
    added->latin.fill(-1);
    added->name = QString(font.familyName() + '-' + font.styleName()).remove(' ').toLatin1();
    if (added->glyphCount == 0 && m_error.isEmpty())
        m_error = QStringLiteral("The font \"%1\" cannot be embedded in a PDF file.").arg(font.familyName());
    m_fonts.push_back(std::move(added));
    m_fontKeys.insert(key, int(m_fonts.size()) - 1);
    return int(m_fonts.size()) - 1;
}

// The glyph of one character, noting the character it stands for so that the text can be searched
// and copied. The missing-glyph box stands for no real character: it maps to U+FFFD, so a character
// no font has never copies as another one that happened to be drawn with the same box.
quint32 PdfDocument::glyphOf(Font &font, char32_t code)
{
    quint32 glyph = 0;
    if (code < 256 && font.latin[code] >= 0) {
        glyph = quint32(font.latin[code]);
    } else {
        const auto known = font.others.constFind(code);
        if (known != font.others.constEnd()) {
            glyph = *known;
        } else {
            // a surrogate pair is two units for one glyph; the lookup wants room for a glyph per unit
            const QString character = QString::fromUcs4(&code, 1);
            quint32 found[2] = {0, 0};
            int glyphs = 2;
            glyph =
                font.design.glyphIndexesForChars(character.constData(), int(character.size()), found, &glyphs)
                    ? found[0]
                    : 0;
            if (code < 256)
                font.latin[code] = qint32(glyph);
            else
                font.others.insert(code, glyph);
        }
    }
    if (glyph < font.unicode.size() && font.unicode[glyph] == 0)
        font.unicode[glyph] = glyph == 0 ? char32_t(0xFFFD) : code;
    return glyph;
}

// The glyphs of a text, one for each character (a surrogate pair is one character).
void PdfDocument::glyphsOf(Font &font, const QString &text, QVector<quint32> &glyphs)
{
    glyphs.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        glyphs.append(glyphOf(font, code));
    }
}

// A font that has the character and can be embedded: fontconfig's choice for the text's font when
// it has TrueType outlines, else the first installed font that has both. An invalid font when none.
QRawFont PdfDocument::fallbackFor(const QRawFont &font, char32_t code)
{
    const auto known = m_fallbacks.constFind(code);
    if (known != m_fallbacks.constEnd())
        return *known;
    const auto fits = [code](const QRawFont &raw) {
        return raw.isValid() && raw.supportsCharacter(code) && TrueTypeSubset::glyphCount(raw) > 0;
    };
    QFont wanted(font.familyName());
    wanted.setWeight(QFont::Weight(font.weight()));
    wanted.setStyle(font.style());
    QTextLayout layout(QString::fromUcs4(&code, 1), wanted);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QRawFont found;
    for (const QGlyphRun &run : layout.glyphRuns()) {
        if (fits(run.rawFont()))
            found = run.rawFont();
    }
    for (const QString &family : QFontDatabase::families()) {
        if (found.isValid())
            break;
        const QRawFont raw = QRawFont::fromFont(QFont(family));
        if (fits(raw))
            found = raw;
    }
    m_fallbacks.insert(code, found);
    return found;
}

void PdfDocument::drawText(const QRawFont &font, const QPointF &origin, const QString &text,
                           const QColor &color)
{
    if (text.isEmpty())
        return;
    const int index = fontIndex(font);
    glyphsOf(*m_fonts[index], text, m_glyphs);
    if (m_glyphs.contains(0u))
        drawWithFallback(font, origin, text, color);
    else
        drawGlyphs(index, font.pixelSize(), origin, m_glyphs, color);
}

// A text with characters the font lacks: they are drawn in fallback fonts, each run of characters
// of one font after the one before it. A character no font has stays the font's missing-glyph box.
void PdfDocument::drawWithFallback(const QRawFont &font, const QPointF &origin, const QString &text,
                                   const QColor &color)
{
    QPointF at = origin;
    QRawFont runFont;
    QString run;
    const auto flush = [&]() {
        if (run.isEmpty())
            return;
        const int index = fontIndex(runFont);
        QVector<quint32> glyphs;
        glyphsOf(*m_fonts[index], run, glyphs);
        drawGlyphs(index, runFont.pixelSize(), at, glyphs, color);
        for (const QPointF &advance : runFont.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics))
            at.rx() += advance.x();
        run.clear();
    };
    for (const char32_t code : text.toUcs4()) {
        QRawFont chosen = font;
        if (!font.supportsCharacter(code)) {
            const QRawFont fallback = fallbackFor(font, code);
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

void PdfDocument::drawGlyphs(int index, double size, const QPointF &origin, const QVector<quint32> &glyphs,
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

int PdfDocument::reserve()
{
    m_offsets.append(-1);
    return int(m_offsets.size()) - 1;
}

void PdfDocument::beginObject(int number)
{
    m_offsets[number] = m_written;
    write(QByteArray::number(number) + " 0 obj\n");
}

void PdfDocument::write(const QByteArray &bytes)
{
    if (m_file.write(bytes) != bytes.size() && m_error.isEmpty())
        m_error = m_file.errorString();
    m_written += bytes.size();
}

void PdfDocument::writeStream(int number, const QByteArray &dictionary, const QByteArray &data)
{
    const QByteArray packed = compressed(data);
    beginObject(number);
    write("<< " + dictionary + " /Filter /FlateDecode /Length " + QByteArray::number(packed.size()) +
          " >>\nstream\n");
    write(packed);
    write("\nendstream\nendobj\n");
}

void PdfDocument::writePage()
{
    endText();
    if (m_clipped)
        m_page += "Q\n";
    const int contents = reserve();
    writeStream(contents, QByteArray(), m_page);
    const int page = reserve();
    const QRectF full = m_layout.fullRect(QPageLayout::Point);
    beginObject(page);
    write("<< /Type /Page /Parent " + QByteArray::number(m_pagesObject) + " 0 R /MediaBox [0 0 " +
          QByteArray::number(qRound(full.width())) + ' ' + QByteArray::number(qRound(full.height())) +
          "] /Resources " + QByteArray::number(m_resourcesObject) + " 0 R /Contents " +
          QByteArray::number(contents) + " 0 R >>\nendobj\n");
    m_pages.append(page);
    m_page.clear();
    m_pageOpen = false;
}

void PdfDocument::writeFont(Font &font, int index)
{
    const int upem = font.design.unitsPerEm() > 0 ? int(font.design.unitsPerEm()) : 1000;
    const auto units = [upem](double v) { return QByteArray::number(qRound(v * 1000 / upem)); };
    std::vector<bool> used(font.glyphCount);
    QVector<quint32> glyphs;
    for (int g = 0; g < font.glyphCount; ++g) {
        used[g] = font.unicode[g] != 0;
        if (used[g])
            glyphs.append(quint32(g));
    }
    // the advances of the glyphs used, in thousandths of the size
    QByteArray widths = "[";
    const QVector<QPointF> advances = font.design.advancesForGlyphIndexes(glyphs);
    for (int i = 0; i < glyphs.size(); ++i)
        widths += QByteArray::number(glyphs[i]) + " [" + units(advances[i].x()) + "] ";
    widths += ']';
    // which characters the glyphs stand for, a hundred to a block as the format wants
    QByteArray cmap = "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def /CMapType 2 def\n"
                      "1 begincodespacerange <0000> <FFFF> endcodespacerange\n";
    for (int from = 0; from < glyphs.size(); from += 100) {
        const int count = std::min<int>(100, int(glyphs.size()) - from);
        cmap += QByteArray::number(count) + " beginbfchar\n";
        for (int i = from; i < from + count; ++i) {
            cmap += '<';
            appendHex4(cmap, glyphs[i]);
            cmap += "> <" + textString(QString::fromUcs4(&font.unicode[glyphs[i]], 1)).mid(5) + "\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap CMapName currentdict /CMap defineresource pop end end\n";

    const QByteArray head = font.design.fontTable("head");
    const auto fword = [&](int at) { return units(qint16(qFromBigEndian<quint16>(head.constData() + at))); };
    const QByteArray box = head.size() >= 44
                               ? "[" + fword(36) + ' ' + fword(38) + ' ' + fword(40) + ' ' + fword(42) + "]"
                               : QByteArray("[0 0 1000 1000]");
    const QByteArray name = "KELVA" + QByteArray(1, char('A' + index % 26)) + '+' + font.name;
    const int file = reserve(), descriptor = reserve(), cid = reserve(), toUnicode = reserve();
    writeStream(file, "", TrueTypeSubset::build(font.design, used));
    writeStream(toUnicode, "", cmap);
    beginObject(descriptor);
    write("<< /Type /FontDescriptor /FontName /" + name + " /Flags 32 /FontBBox " + box +
          " /ItalicAngle 0 /Ascent " + units(font.design.ascent()) + " /Descent " +
          units(-font.design.descent()) + " /CapHeight " + units(font.design.capHeight()) +
          " /StemV 80 /FontFile2 " + QByteArray::number(file) + " 0 R >>\nendobj\n");
    beginObject(cid);
    write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
          " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " +
          QByteArray::number(descriptor) + " 0 R /CIDToGIDMap /Identity /W " + widths + " >>\nendobj\n");
    beginObject(font.object);
    write("<< /Type /Font /Subtype /Type0 /BaseFont /" + name + " /Encoding /Identity-H /DescendantFonts [" +
          QByteArray::number(cid) + " 0 R] /ToUnicode " + QByteArray::number(toUnicode) +
          " 0 R >>\nendobj\n");
}

bool PdfDocument::finish()
{
    if (!m_file.isOpen())
        return false;
    if (m_pageOpen)
        writePage();
    QByteArray fonts;
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        m_fonts[i]->object = reserve();
        writeFont(*m_fonts[i], int(i));
        fonts += "/F" + QByteArray::number(qulonglong(i + 1)) + ' ' + QByteArray::number(m_fonts[i]->object) +
                 " 0 R ";
    }
    beginObject(m_resourcesObject);
    write("<< /ProcSet [/PDF /Text] /Font << " + fonts + ">> >>\nendobj\n");
    QByteArray kids;
    for (int page : m_pages)
        kids += QByteArray::number(page) + " 0 R ";
    beginObject(m_pagesObject);
    write("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(m_pages.size()) +
          " >>\nendobj\n");
    beginObject(1);
    write("<< /Type /Catalog /Pages " + QByteArray::number(m_pagesObject) + " 0 R >>\nendobj\n");
    const int info = reserve();
    beginObject(info);
    write("<< /Title " + textString(m_title) + " /Creator " + textString(m_creator) + " /Producer " +
          textString(m_creator) + " >>\nendobj\n");
    const qint64 xref = m_written;
    QByteArray table = "xref\n0 " + QByteArray::number(m_offsets.size()) + "\n0000000000 65535 f \n";
    for (int i = 1; i < m_offsets.size(); ++i)
        table += QByteArray::number(m_offsets[i]).rightJustified(10, '0') + " 00000 n \n";
    write(table + "trailer\n<< /Size " + QByteArray::number(m_offsets.size()) + " /Root 1 0 R /Info " +
          QByteArray::number(info) + " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n");
    m_file.close();
    return m_error.isEmpty();
}
