#pragma once

#include "KelvaraError.h"

#include <QString>

// Engine error numbers the callers test.
namespace DbErrors {
constexpr qint32 FileNotFound = 3024; // no database file at the path
constexpr qint32 Damaged = 3049;      // not a database, or a damaged one
constexpr qint32 ReadOnly = 3051;     // the file or its folder cannot be written
constexpr qint32 TableExists = 3010;
constexpr qint32 NoCurrentRecord = 3021;
constexpr qint32 Locked = 3261; // another user holds the file past the busy timeout
constexpr qint32 Other = 3000;
// A row that other rows still point to (a hold ticket with distribution rows, say) cannot be
// deleted, nor a row pointed to that does not exist.
constexpr qint32 HasRelated = 3200;
// A write that touches a protected date-shift, refused by the database itself.
constexpr qint32 Protected = 3027;
// The database's protection triggers begin their refusals with this text; the rest of the
// refusal is the message the user is shown.
inline QString protectedMarker()
{
    return QStringLiteral("Protected date-shift: ");
}
} // namespace DbErrors

class DatabaseError : public KelvaraError
{
public:
    using KelvaraError::KelvaraError;
};
