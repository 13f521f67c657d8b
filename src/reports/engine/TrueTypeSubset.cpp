#include "TrueTypeSubset.h"

#include "ByteOrder.h"

#include <QMap>
#include <QRawFont>
#include <QtEndian>

namespace {
quint16 u16(const QByteArray &data, qsizetype at)
{
    return at + 2 <= data.size() ? qFromBigEndian<quint16>(data.constData() + at) : 0;
}

quint32 u32(const QByteArray &data, qsizetype at)
{
    return at + 4 <= data.size() ? qFromBigEndian<quint32>(data.constData() + at) : 0;
}

void put16(QByteArray &data, quint16 value)
{
    ByteOrder::appendBigEndian(data, value);
}

void put32(QByteArray &data, quint32 value)
{
    ByteOrder::appendBigEndian(data, value);
}

quint32 checksum(const QByteArray &table)
{
    quint32 sum = 0;
    for (qsizetype at = 0; at < table.size(); at += 4) {
        quint32 word = 0;
        for (int b = 0; b < 4; ++b)
            word = (word << 8) | quint8(at + b < table.size() ? table[at + b] : 0);
        sum += word;
    }
    return sum;
}

// Where each glyph's outline lies in the glyf table, from loca (short or long offsets).
std::vector<quint32> glyphOffsets(const QByteArray &head, const QByteArray &loca, int glyphs)
{
    const bool longOffsets = u16(head, 50) == 1;
    std::vector<quint32> offsets(glyphs + 1);
    for (int g = 0; g <= glyphs; ++g)
        offsets[g] = longOffsets ? u32(loca, g * 4) : quint32(u16(loca, g * 2)) * 2;
    return offsets;
}

// Marks the glyphs the composite glyphs among the used ones are built of, to any depth.
void addComponents(const QByteArray &glyf, const std::vector<quint32> &offsets, std::vector<bool> &used)
{
    enum : quint16 { Words = 0x1, Scale = 0x8, More = 0x20, XYScale = 0x40, TwoByTwo = 0x80 };
    std::vector<int> pending;
    for (int g = 0; g < int(used.size()); ++g) {
        if (used[g])
            pending.push_back(g);
    }
    while (!pending.empty()) {
        const int g = pending.back();
        pending.pop_back();
        if (offsets[g] == offsets[g + 1] || qint16(u16(glyf, offsets[g])) >= 0)
            continue; // empty or a simple outline
        qsizetype at = offsets[g] + 10;
        quint16 flags = More;
        while ((flags & More) && at < offsets[g + 1]) {
            flags = u16(glyf, at);
            const quint16 component = u16(glyf, at + 2);
            if (component < used.size() && !used[component]) {
                used[component] = true;
                pending.push_back(component);
            }
            at += 4 + ((flags & Words) ? 4 : 2);
            at += (flags & Scale) ? 2 : (flags & XYScale) ? 4 : (flags & TwoByTwo) ? 8 : 0;
        }
    }
}

QByteArray fontFile(const QMap<QByteArray, QByteArray> &tables)
{
    const quint16 count = quint16(tables.size());
    quint16 power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    QByteArray file;
    put32(file, 0x00010000);
    put16(file, count);
    put16(file, power * 16);
    put16(file, log2);
    put16(file, count * 16 - power * 16);
    quint32 offset = 12 + 16 * count;
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        file.append(it.key());
        put32(file, checksum(it.value()));
        put32(file, offset);
        put32(file, quint32(it.value().size()));
        offset += (quint32(it.value().size()) + 3) & ~3u;
    }
    for (const QByteArray &table : tables) {
        file.append(table);
        file.append((4 - table.size() % 4) % 4, '\0');
    }
    return file;
}
} // namespace

int TrueTypeSubset::glyphCount(const QRawFont &font)
{
    if (font.fontTable("glyf").isEmpty() || font.fontTable("loca").isEmpty())
        return 0;
    return u16(font.fontTable("maxp"), 4);
}

QByteArray TrueTypeSubset::build(const QRawFont &font, std::vector<bool> used)
{
    const int glyphs = glyphCount(font);
    if (glyphs == 0)
        return {};
    QByteArray head = font.fontTable("head");
    const QByteArray glyf = font.fontTable("glyf");
    const std::vector<quint32> offsets = glyphOffsets(head, font.fontTable("loca"), glyphs);
    used.resize(glyphs, false);
    used[0] = true; // the glyph shown for a missing character
    addComponents(glyf, offsets, used);

    QByteArray outlines, loca;
    for (int g = 0; g < glyphs; ++g) {
        put32(loca, quint32(outlines.size()));
        if (used[g] && offsets[g] < offsets[g + 1]) {
            outlines.append(glyf.mid(offsets[g], offsets[g + 1] - offsets[g]));
            outlines.append((4 - outlines.size() % 4) % 4, '\0');
        }
    }
    put32(loca, quint32(outlines.size()));
    qToBigEndian<quint16>(1, head.data() + 50); // long loca offsets
    qToBigEndian<quint32>(0, head.data() + 8);  // the whole-file checksum is not kept

    QMap<QByteArray, QByteArray> tables{{"head", head}, {"loca", loca}, {"glyf", outlines}};
    for (const char *tag : {"hhea", "hmtx", "maxp", "cvt ", "fpgm", "prep"}) {
        const QByteArray table = font.fontTable(tag);
        if (!table.isEmpty())
            tables.insert(tag, table);
    }
    return fontFile(tables);
}
