#pragma once

#include "CountEntry.h"

#include <QString>
#include <QVariant>
#include <optional>

// The typed quantities and ticket numbers of the ticket, disposition and rejects windows. A
// quantity is worked out by the count entry rules and must be a count: not negative, within the
// 32-bit range of the count fields. A ticket number is a whole number or nothing.
namespace QuantityEntry {
struct Quantity
{
    std::optional<qint32> value; // empty when the entry is refused
    QString message;             // why it was refused
};
Quantity quantity(const QString &typed);
// The ticket number as it is stored (empty text gives null); nothing and a message when the
// text is not a whole number.
struct Number
{
    bool valid = false;
    QVariant value;
    QString message;
};
Number ticketNumber(const QString &typed);
} // namespace QuantityEntry
