#include "DateCheck.h"

QDate DateCheck::expectedDate(int shift, const QDateTime &now, const QDate &latestProductionDate)
{
    // The night shift runs past midnight: until 08:00 it still belongs to the last production date.
    if (shift == 3 && now.time() < QTime(8, 0))
        return latestProductionDate;
    return now.date();
}

bool DateCheck::needsCheck(const QDate &entered, int shift, const QDateTime &now,
                           const QDate &latestProductionDate)
{
    return entered != expectedDate(shift, now, latestProductionDate);
}

DateCheck::Option DateCheck::preselectedOption(int shift, const QDateTime &now)
{
    return shift == 3 && now.time() < QTime(7, 0) ? LatestProductionDate : Today;
}

bool DateCheck::isShiftText(const QString &text)
{
    return text == QLatin1String("1") || text == QLatin1String("2") || text == QLatin1String("3");
}

QString DateCheck::shiftMessage()
{
    return QStringLiteral("You must enter a single digit, either 1, 2, or 3 in the Shift field.");
}
