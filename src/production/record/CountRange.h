#pragma once

#include "foundation/KelvaraError.h"

#include <QString>

// A booking that would take a running total (a line's reject reason, a ticket's Hold Remaining)
// out of the range of the count fields.
class CountRangeError : public KelvaraError
{
public:
    using KelvaraError::KelvaraError;
};

// The count fields hold 32-bit whole numbers, as the plant's counters and earlier files do. A
// single typed quantity is kept in range by the entry rules; totals that bookings add up are
// checked here before they are written, so that no report or later sum reads a value that the
// fields cannot hold.
namespace CountRange {
constexpr qint64 kLimit = 2147483647;
// Error number of a total out of range (the platform's "Overflow").
constexpr qint32 kErrorNumber = 6;
bool holds(qint64 total);
// Throws CountRangeError, with the message for the user, when total is out of range; what names
// the total ("the line's Cosmetic rejects").
void check(qint64 total, const QString &what);
} // namespace CountRange
