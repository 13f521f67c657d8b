#include "DateShift.h"

#include "Database.h"

#include <QLocale>

DateShift DateShift::next() const
{
    return shift >= 3 ? DateShift{date.addDays(1), 1} : DateShift{date, shift + 1};
}

DateShift DateShift::previous() const
{
    return shift <= 1 ? DateShift{date.addDays(-1), 3} : DateShift{date, shift - 1};
}

QString DateShift::caption() const
{
    return longDate(date) + QStringLiteral(" - Shift ") + QString::number(shift);
}

QString DateShift::sqlDate() const
{
    return ::sqlDate(date);
}

QString longDate(const QDate &date)
{
    return QLocale().toString(date, QLocale::LongFormat);
}

QString shortDateText(const QDate &date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

QDate dateFromShortText(const QString &text)
{
    const QString trimmed = text.trimmed();
    QDate date = QDate::fromString(trimmed, QStringLiteral("MM/dd/yyyy"));
    if (!date.isValid())
        date = QDate::fromString(trimmed, QStringLiteral("M/d/yyyy"));
    return date;
}
