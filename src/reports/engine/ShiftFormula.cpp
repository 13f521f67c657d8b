#include "ShiftFormula.h"

namespace {
// The shift text with every blank resolved: dropped, or turned into "," when it stands between
// two digits ("1 3" means shifts 1 and 3).
QString withoutBlanks(const QString &text)
{
    QString result;
    bool pendingBlank = false;
    for (const QChar c : text) {
        if (c.isSpace()) {
            pendingBlank = true;
            continue;
        }
        if (pendingBlank && c.isDigit() && !result.isEmpty() && result.back().isDigit())
            result += ',';
        pendingBlank = false;
        result += c;
    }
    return result;
}
} // namespace

QString ShiftFormula::build(const QString &shiftText, const QString &table)
{
    const QString field = '{' + table + QStringLiteral(".Shift}");
    QString result = field;
    QString digits;
    for (const QChar c : withoutBlanks(shiftText.trimmed())) {
        if (c.isDigit()) {
            digits += c;
        } else if (c == '-') {
            result += QStringLiteral(">=") + digits + QStringLiteral(" And ") + field + '<';
            digits.clear();
        } else if (c == ',') {
            result += '=' + digits + QStringLiteral(" Or ") + field;
            digits.clear();
        }
    }
    return result + '=' + digits;
}
