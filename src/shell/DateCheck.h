#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// The plausibility rules of the date and shift chooser: which date an entry is expected to carry
// at this time of day, and which date the check dialog offers first. The two clock limits differ
// on purpose: 08:00 for the check, 07:00 for the preselection.
namespace DateCheck {
enum Option { LatestProductionDate = 0, Today = 1, EnteredDate = 2, TryAgain = 3 };

// Shifts 1 and 2: today. Shift 3: the latest production date before 08:00, today from then on.
QDate expectedDate(int shift, const QDateTime &now, const QDate &latestProductionDate);
bool needsCheck(const QDate &entered, int shift, const QDateTime &now, const QDate &latestProductionDate);
// Option 0 for shift 3 before 07:00, else option 1.
Option preselectedOption(int shift, const QDateTime &now);
// Only "1", "2" and "3" are shifts.
bool isShiftText(const QString &text);
QString shiftMessage();
} // namespace DateCheck
