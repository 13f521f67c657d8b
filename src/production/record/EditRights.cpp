#include "EditRights.h"

#include <QTime>

namespace {
// The shifts a user other than level "C" may update at a time of day; the first window that
// holds the time decides. "today" and "yesterday" say which date the shift must be on.
bool windowAllows(const QTime &time, int shift, bool today, bool yesterday)
{
    const int hour = time.hour();
    if (hour >= 7 && hour < 11)
        return (shift == 3 && yesterday) || (shift == 1 && today);
    if (hour >= 11 && hour < 15)
        return shift == 1 && today;
    if (hour >= 15 && hour < 20)
        return (shift == 1 || shift == 2) && today;
    if (hour >= 20 && hour < 23)
        return shift == 2 && today;
    if (hour == 23)
        return (shift == 2 || shift == 3) && today;
    if (hour < 3)
        return shift == 2 || shift == 3;
    return shift == 3; // 03:00 to 06:59
}
} // namespace

EditRights EditRights::evaluate(const QString &securityLevel, const DateShift &dateShift,
                                const QDateTime &now)
{
    if (securityLevel == QStringLiteral("C"))
        return {true, true};
    const QDate todayDate = now.date();
    const bool today = dateShift.date == todayDate;
    const bool yesterday = dateShift.date == todayDate.addDays(-1);
    // Only today's shifts, and the evening and night shifts of yesterday, are ever open.
    if (!today && !((dateShift.shift == 2 || dateShift.shift == 3) && yesterday))
        return {false, false};
    return {false, windowAllows(now.time(), dateShift.shift, today, yesterday)};
}
