#pragma once

#include <QByteArray>
#include <vector>

class QRawFont;

// A TrueType font cut down to the glyphs a document uses, for embedding in a PDF. Glyph ids stay
// as they are in the font (the PDF maps them one to one); the outlines of unused glyphs are left
// out, and a composite glyph keeps the glyphs it is built of.
namespace TrueTypeSubset {
// The number of glyphs of the font; 0 when it has no TrueType outlines (it cannot be embedded).
int glyphCount(const QRawFont &font);
// The font file holding the glyphs marked in `used` (indexed by glyph id); empty when the font
// has no TrueType outlines.
QByteArray build(const QRawFont &font, std::vector<bool> used);
} // namespace TrueTypeSubset
