#include "CountEntry.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {
enum class Op { None, Multiply, Add, Subtract };

Op operatorOf(QChar c)
{
    switch (c.unicode()) {
    case '*':
    case '@':
        return Op::Multiply;
    case '+':
        return Op::Add;
    case '-':
        return Op::Subtract;
    default:
        return Op::None;
    }
}

double apply(Op op, double total, double number)
{
    switch (op) {
    case Op::Multiply:
        return total * number;
    case Op::Add:
        return total + number;
    case Op::Subtract:
        return total - number;
    case Op::None:
        break;
    }
    return number;
}
} // namespace

double CountEntry::evaluate(const QString &entry)
{
    double total = 0;
    bool started = false;
    Op pending = Op::None;
    QString number;
    bool negateNumber = false; // a "-" typed right after another operator
    bool operatorJustSeen = false;

    auto closeNumber = [&] {
        const double value =
            number.isEmpty() ? 0.0
                             : std::strtod(number.toLatin1().constData(), nullptr) * (negateNumber ? -1 : 1);
        if (!started) {
            total = value;
            started = true;
        } else if (!number.isEmpty()) {
            total = apply(pending, total, value);
            pending = Op::None;
        }
        number.clear();
        negateNumber = false;
    };

    for (QChar c : entry) {
        if (c.isDigit() && c.unicode() < 128) {
            number += c;
            operatorJustSeen = false;
            continue;
        }
        const Op op = operatorOf(c);
        if (op == Op::None)
            continue; // commas, points and every other character are dropped
        if (operatorJustSeen && number.isEmpty() && started) {
            if (op == Op::Subtract)
                negateNumber = !negateNumber;
            continue;
        }
        if (pending != Op::None)
            closeNumber();
        // A number closed above leaves no operator pending; take this one.
        if (pending == Op::None) {
            pending = op;
            closeNumber();
        }
        operatorJustSeen = true;
    }
    closeNumber();
    return total;
}

QString CountEntry::EvaluateCountEntry(const QString &entry)
{
    const double value = evaluate(entry);
    const QString text = QString::number(value, 'f', 0);
    return value < 0 ? text : QStringLiteral(" ") + text;
}

CountEntry::Count CountEntry::toCount(const QString &entry)
{
    const double value = evaluate(entry);
    if (!std::isfinite(value) || value > std::numeric_limits<qint32>::max() ||
        value < std::numeric_limits<qint32>::min()) {
        return {std::nullopt,
                QStringLiteral("The entry \"%1\" gives a number too large for a count (the largest "
                               "is 2,147,483,647). Please check what you typed.")
                    .arg(entry.trimmed())};
    }
    return {qint32(value), {}};
}
