#pragma once

#include <QDate>
#include <QString>

// A production date and a shift number 1, 2 or 3.
struct DateShift
{
    QDate date;
    int shift = 0;

    bool isValid() const { return date.isValid() && shift >= 1 && shift <= 3; }
    // (d, s<3) -> (d, s+1); (d, 3) -> (d+1, 1)
    DateShift next() const;
    // (d, s>1) -> (d, s-1); (d, 1) -> (d-1, 3)
    DateShift previous() const;
    // The long date, " - Shift ", the shift number: the caption of every per-shift window.
    QString caption() const;
    // The date as the database stores it (ISO text), for binding.
    QString sqlDate() const;

    bool operator==(const DateShift &) const = default;
};

// The long date form of the system's locale ("Tuesday, December 8, 2026").
QString longDate(const QDate &date);
// The date box's form "mm/dd/yyyy", and back.
QString shortDateText(const QDate &date);
QDate dateFromShortText(const QString &text);
