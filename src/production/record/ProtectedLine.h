#pragma once

#include <QString>
#include <optional>

class Database;

// A job line of a closed date-shift is protected ([Protected Record] not 0): nothing on it may
// change, nor be booked into it. The database refuses such writes as well; the windows ask first
// so that the user is told plainly.
namespace ProtectedLine {
// The condition of a write to [Production Table] that leaves a protected line as it is.
QString unprotected();
// The line's protection as stored now; nothing when the line is gone.
std::optional<bool> read(const Database &db, qint64 jobId);
// Protected, or gone: nothing can be written to the line or booked into it any more.
bool closed(const Database &db, qint64 jobId);
} // namespace ProtectedLine
