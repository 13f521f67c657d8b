#include "PdfWriter.h"

#include "TrueTypeSubset.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QTextLayout>
#include <QThreadPool>
#include <QtEndian>
#include <array>

namespace {
void appendHex4(QByteArray &out, quint32 value)
{
    static const char hex[] = "0123456789ABCDEF";
    out += hex[(value >> 12) & 0xF];
    out += hex[(value >> 8) & 0xF];
    out += hex[(value >> 4) & 0xF];
    out += hex[value & 0xF];
}

// A text string of the document's information: UTF-16 with its byte order mark, in hex.
QByteArray textString(const QString &text)
{
    QByteArray out = "<FEFF";
    for (const QChar c : text)
        appendHex4(out, c.unicode());
    return out + '>';
}

// Empty when it fails (out of memory): a zlib stream is never empty.
QByteArray compressed(const QByteArray &data)
{
    QByteArray z = qCompress(data, 1);
    if (z.size() <= 4)
        return {};
    z.remove(0, 4); // Qt's length prefix; what follows is the zlib stream PDF expects
    return z;
}
} // namespace

struct PdfWriter::Font
{
    QRawFont design; // at the size of its design units: advances read in font units
    QByteArray name;
    int glyphCount = 0;
    int object = 0;
    std::vector<char32_t> unicode;     // by glyph id; 0 for a glyph not used
    std::array<qint32, 256> latin;     // glyph ids of the first 256 characters, -1 not looked up
    QHash<char32_t, quint32> others;   // glyph ids of the other characters looked up
    QHash<quint32, QString> ligatures; // glyphs that stand for more than one character
};

PdfWriter::PdfWriter(const QString &path, const QSizeF &pageSize) : m_file(path), m_pageSize(pageSize)
{
    m_offsets.resize(1);
    reserve(); // the catalog, object 1
    m_pagesObject = reserve();
    m_resourcesObject = reserve();
    if (!m_file.open()) {
        m_error = m_file.failure();
        return;
    }
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

PdfWriter::~PdfWriter() = default;

int PdfWriter::fontIndex(const QRawFont &font)
{
    for (const auto &[raw, index] : m_recentFonts) {
        if (raw == font)
            return index;
    }
    const int index = addFont(font);
    m_recentFonts.append({font, index});
    return index;
}

int PdfWriter::addFont(const QRawFont &font)
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
quint32 PdfWriter::glyphOf(Font &font, char32_t code)
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
void PdfWriter::glyphsOf(int font, const QString &text, QVector<quint32> &glyphs)
{
    glyphs.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        glyphs.append(glyphOf(*m_fonts[font], code));
    }
}

void PdfWriter::noteGlyph(int font, quint32 glyph, const QString &characters)
{
    Font &f = *m_fonts[font];
    if (glyph >= f.unicode.size() || characters.isEmpty())
        return;
    if (f.unicode[glyph] != 0)
        return; // a glyph copies as what it was first drawn for
    f.unicode[glyph] = glyph == 0 ? char32_t(0xFFFD) : char32_t(characters.toUcs4().first());
    if (glyph != 0 && characters.toUcs4().size() > 1)
        f.ligatures.insert(glyph, characters);
}

// A font that has the character and can be embedded: fontconfig's choice for the text's font when
// it has TrueType outlines, else the first installed font that has both. An invalid font when none.
QRawFont PdfWriter::fallbackFor(const QRawFont &font, char32_t code)
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

int PdfWriter::reserve()
{
    m_offsets.append(-1);
    return int(m_offsets.size()) - 1;
}

void PdfWriter::beginObject(int number)
{
    m_offsets[number] = m_written;
    write(QByteArray::number(number) + " 0 obj\n");
}

void PdfWriter::write(const QByteArray &bytes)
{
    if (m_file.write(bytes) != bytes.size() && m_error.isEmpty())
        m_error = m_file.failure();
    m_written += bytes.size();
}

void PdfWriter::writeStream(int number, const QByteArray &dictionary, const QByteArray &data)
{
    writePacked(number, dictionary, compressed(data));
}

void PdfWriter::writePacked(int number, const QByteArray &dictionary, const QByteArray &packed)
{
    if (packed.isEmpty() && m_error.isEmpty())
        m_error = QStringLiteral("There is not enough memory to write the PDF file.");
    beginObject(number);
    write("<< " + dictionary + " /Filter /FlateDecode /Length " + QByteArray::number(packed.size()) +
          " >>\nstream\n");
    write(packed);
    write("\nendstream\nendobj\n");
}

// The page's content is compressed on another thread while the next page is painted, and written
// when the next page comes (or the document ends): the file holds the same objects in the same
// order as when each page is compressed and written at once.
void PdfWriter::writePage(const QByteArray &content)
{
    writePendingPage();
    m_pending.contents = reserve();
    m_pending.page = reserve();
    m_pages.append(m_pending.page);
    auto packing = std::make_shared<std::promise<QByteArray>>();
    m_pending.packed = packing->get_future();
    // An exception left on the pool's thread would end the program: a failure comes back empty.
    QThreadPool::globalInstance()->start([packing, content] {
        try {
            packing->set_value(compressed(content));
        } catch (...) {
            packing->set_value(QByteArray());
        }
    });
}

void PdfWriter::writePendingPage()
{
    if (!m_pending.packed.valid())
        return;
    writePacked(m_pending.contents, QByteArray(), m_pending.packed.get());
    beginObject(m_pending.page);
    write("<< /Type /Page /Parent " + QByteArray::number(m_pagesObject) + " 0 R /MediaBox [0 0 " +
          QByteArray::number(qRound(m_pageSize.width())) + ' ' +
          QByteArray::number(qRound(m_pageSize.height())) + "] /Resources " +
          QByteArray::number(m_resourcesObject) + " 0 R /Contents " + QByteArray::number(m_pending.contents) +
          " 0 R >>\nendobj\n");
}

void PdfWriter::writeFont(Font &font, int index)
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
            const QString characters =
                font.ligatures.value(glyphs[i], QString::fromUcs4(&font.unicode[glyphs[i]], 1));
            cmap += "> <" + textString(characters).mid(5) + "\n";
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

bool PdfWriter::finish(const QString &title, const QString &creator)
{
    if (!m_file.isOpen())
        return false;
    writePendingPage();
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
    write("<< /Title " + textString(title) + " /Creator " + textString(creator) + " /Producer " +
          textString(creator) + " >>\nendobj\n");
    const qint64 xref = m_written;
    QByteArray table = "xref\n0 " + QByteArray::number(m_offsets.size()) + "\n0000000000 65535 f \n";
    for (int i = 1; i < m_offsets.size(); ++i)
        table += QByteArray::number(m_offsets[i]).rightJustified(10, '0') + " 00000 n \n";
    write(table + "trailer\n<< /Size " + QByteArray::number(m_offsets.size()) + " /Root 1 0 R /Info " +
          QByteArray::number(info) + " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n");
    if (m_error.isEmpty() && !m_file.commit())
        m_error = m_file.failure();
    return m_error.isEmpty();
}
