#pragma once

// What the report painter's files share: its colours and fonts, the cell font and the measures of
// a page (ReportPainter::Metrics). Only the painter's own files include it.

#include "ReportPainter.h"

#include <QColor>
#include <QFont>
#include <QRawFont>

#include <array>

namespace ReportPainterParts {
inline const QColor kGroupShade(226, 231, 238);
inline const QColor kBand(245, 246, 248);
inline const QColor kRule(90, 90, 90);
inline const QColor kMuted(80, 80, 80);

inline QFont font(double points, bool bold = false, bool italic = false)
{
    QFont f = ReportPainter::typeface();
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// A detail font at the device's size, with the glyphs and advances of the first 256 characters
// looked up once: the cells of a report are mostly digits, and a year's report has millions.
class CellFont
{
public:
    CellFont() = default;
    explicit CellFont(const QRawFont &raw) : m_raw(raw)
    {
        QString latin(256, QChar());
        for (int c = 0; c < 256; ++c)
            latin[c] = QChar(c);
        const QVector<quint32> glyphs = raw.glyphIndexesForString(latin);
        const QVector<QPointF> advances = raw.advancesForGlyphIndexes(glyphs);
        for (int c = 0; c < 256 && c < glyphs.size(); ++c) {
            m_glyphs[c] = glyphs[c];
            m_advances[c] = advances[c].x();
        }
    }
    const QRawFont &raw() const { return m_raw; }
    // The glyphs and advances of the text, and its width.
    double shape(const QString &text, QVector<quint32> &glyphs, QVector<double> &advances) const
    {
        glyphs.clear();
        advances.clear();
        double width = 0;
        for (const QChar c : text) {
            if (c.unicode() >= 256)
                return shapeAny(text, glyphs, advances);
            glyphs.append(m_glyphs[c.unicode()]);
            advances.append(m_advances[c.unicode()]);
            width += advances.back();
        }
        return width;
    }
    // The width of the text, without its glyphs.
    double width(const QString &text) const
    {
        double width = 0;
        for (const QChar c : text) {
            if (c.unicode() >= 256) {
                QVector<quint32> glyphs;
                QVector<double> advances;
                return shapeAny(text, glyphs, advances);
            }
            width += m_advances[c.unicode()];
        }
        return width;
    }

private:
    double shapeAny(const QString &text, QVector<quint32> &glyphs, QVector<double> &advances) const
    {
        glyphs = m_raw.glyphIndexesForString(text);
        advances.clear();
        double width = 0;
        for (const QPointF &advance : m_raw.advancesForGlyphIndexes(glyphs)) {
            advances.append(advance.x());
            width += advance.x();
        }
        return width;
    }

    QRawFont m_raw;
    std::array<quint32, 256> m_glyphs{};
    std::array<double, 256> m_advances{};
};
} // namespace ReportPainterParts

struct ReportPainter::Metrics
{
    double width = 0, height = 0; // printable area in device pixels
    double pt = 1;                // device pixels per point
    QFont detail, bold, group0, group1, caption;
    ReportPainterParts::CellFont detailCells,
        boldCells;               // the detail fonts at the device's size, for the cells
    double row = 0;              // height of a detail line
    QVector<double> left, right; // column edges
    double pad = 0;              // space between a cell's text and the column edge
    double headingHeight = 0, footerHeight = 0;
};
