#pragma once

#include "foundation/DateShift.h"

#include <QString>

class Database;

namespace MachineBench {
// Milliseconds from Read Counters to a filled grid for every machine of the date-shift's lines,
// each a simulated machine on a session folder under folder (local disk): the best of five
// rounds, the Ending Counts set back to 0 between rounds.
double readCounters(Database &db, const DateShift &dateShift, const QString &folder);
} // namespace MachineBench
