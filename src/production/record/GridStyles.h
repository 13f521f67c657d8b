#pragma once

#include <QVariant>

// The grid styles "Negative" and "Zero" of the disposition and rejects grids, and "From Machine"
// of a count read from a machine, as brushes for the model's colour roles.
namespace GridStyles {
enum class Style { None, Negative, Zero, FromMachine };
QVariant foreground(Style style);
QVariant background(Style style);
// "Negative" for a text that begins with "-" (or, where digits count, "1" to "9"); "Zero" for
// one that begins with "0".
Style of(const QString &text, bool positiveIsNegative);

// A cell of a grid of job lines with a styled column: the job number and description stand left
// and the figures right; the styled column is coloured by its text; the other cells of a line that
// cannot be changed are gray.
struct LineCell
{
    bool textColumn = false; // job number or description
    bool styled = false;     // the column the styles colour
    bool positiveIsNegative = false;
    bool readOnly = false; // the line cannot be changed
};
// The alignment and colour roles of such a cell; `text` is what the cell shows.
QVariant look(int role, const LineCell &cell, const QString &text);
} // namespace GridStyles
