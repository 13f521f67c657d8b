#pragma once

#include <QString>
#include <optional>

// How a typed count or quantity entry becomes a number. Only digits and the operators
// "*" (or "@"), "+" and "-" count; everything else (commas, points, letters) is dropped. The
// operators apply from left to right with no precedence: "5+3*2" is 16, "1,250" is 1250,
// "12.5" is 125, an empty entry is 0.
//
// Two operators in a row: a "-" right after another operator makes the next number negative
// ("5+-3" is 2, "4*-2" is -8); any other repeated operator is ignored ("5++3" is 8).
namespace CountEntry {
double evaluate(const QString &entry);

// The result as text: the plain decimal form with one leading blank when it is not negative.
QString EvaluateCountEntry(const QString &entry);

struct Count
{
    std::optional<qint32> value; // empty when the result does not fit a count field
    QString message;             // why it was refused
};

// The entry as a value for a 32-bit count field; a result beyond that range is refused with a
// message rather than wrapped.
Count toCount(const QString &entry);
} // namespace CountEntry
