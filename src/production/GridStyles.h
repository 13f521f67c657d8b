#pragma once

#include <QVariant>

// The grid styles "Negative" and "Zero" of the disposition and rejects grids, as brushes for the
// model's colour roles.
namespace GridStyles {
enum class Style { None, Negative, Zero };
QVariant foreground(Style style);
QVariant background(Style style);
// "Negative" for a text that begins with "-" (or, where digits count, "1" to "9"); "Zero" for
// one that begins with "0".
Style of(const QString &text, bool positiveIsNegative);
} // namespace GridStyles
