#include "QuantityEntry.h"

#include <QRegularExpression>
#include <limits>

QuantityEntry::Quantity QuantityEntry::quantity(const QString &typed)
{
    const CountEntry::Result count = CountEntry::EvaluateCountEntry(typed);
    if (!count.isNumber())
        return {std::nullopt, count.message};
    if (count.value < 0) {
        return {std::nullopt,
                QStringLiteral("The entry \"%1\" gives %2: a quantity cannot be negative. Please "
                               "check what you typed.")
                    .arg(typed.trimmed())
                    .arg(count.value)};
    }
    return {qint32(count.value), {}};
}

QuantityEntry::Number QuantityEntry::ticketNumber(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {true, QVariant(QMetaType::fromType<qint64>()), {}};
    static const QRegularExpression digits(QStringLiteral("^\\d{1,10}$"));
    bool ok = digits.match(text).hasMatch();
    const qint64 value = ok ? text.toLongLong(&ok) : 0;
    if (!ok || value > std::numeric_limits<qint32>::max()) {
        return {false,
                {},
                QStringLiteral("\"%1\" is not a ticket number: type the whole number printed on the "
                               "ticket, digits only.")
                    .arg(text)};
    }
    return {true, value, {}};
}
