#pragma once

#include "foundation/DateShift.h"

#include <QDate>
#include <QList>
#include <array>
#include <optional>

class Database;

// Where a calendar day stands against today. OtherMonth covers the days of the neighbouring
// months that are more than two days before today.
enum class DayStatus { OtherMonth, Past, Recent, Today, Future };

enum class ShiftState { NoLines, Protected, Open };

// The background a day is shown with: plain when no shift has lines, protected when every shift
// with lines is, otherwise open (red for a day gone by, yellow for today and later).
enum class DayColour { Plain, Protected, OpenPast, OpenToday };

struct CalendarDay
{
    QDate date;
    DayStatus status = DayStatus::OtherMonth;
    std::array<ShiftState, 3> shifts{ShiftState::NoLines, ShiftState::NoLines, ShiftState::NoLines};

    ShiftState shift(int shift) const { return shifts.at(size_t(shift - 1)); }
    bool hasLines() const;
};

// The protection calendar: six weeks from the Sunday on or before the 1st of the shown month,
// each day's shifts protected, open or without lines, and the date-shifts with unresolved holds.
// Protection is the flag [Protected Record] on every line of a date-shift; this is its one writer.
class ProtectionCalendar
{
public:
    static constexpr int Rows = 6;
    static constexpr int Columns = 7;

    ProtectionCalendar() = default;
    explicit ProtectionCalendar(Database &db) : m_db(&db) {}
    // The connection to use from now on (after the file was repaired and opened again).
    void useDatabase(Database &db) { m_db = &db; }

    // Lays out the month's 42 days with their statuses; every shift without lines until read.
    void show(int year, int month, const QDate &today);
    // One month or year back (negative) or forward; January steps back to December of the year
    // before, December forward to January of the year after.
    void stepMonth(int delta);
    void stepYear(int delta);
    // Reads the shift states of the shown days ("Protected Query").
    void readStates();
    // Reads the date-shifts that still have hold tickets not disposed of.
    void readUnresolved();

    int year() const { return m_year; }
    int month() const { return m_month; }
    const QDate &today() const { return m_today; }
    // "December, 2026"
    QString caption() const;
    static QDate firstCellDate(int year, int month);

    const CalendarDay &day(int row, int column) const;
    DayColour colourOf(int row, int column) const;
    // The date a day's protection can be changed for: none for a day after today or a day
    // without lines.
    std::optional<QDate> dateOf(int row, int column) const;
    const QList<DateShift> &unresolved() const { return m_unresolved; }
    bool hasUnresolvedHold(const DateShift &dateShift) const;

    // Sets or clears the protection of one shift of a day ("Set Protection").
    void setProtection(int row, int column, int shift, bool on);
    // Toggles each shift of the day that has lines, skipping those with unresolved holds; all of
    // them or none. Returns the shifts toggled.
    QList<int> toggle(int row, int column);

private:
    CalendarDay &cell(int row, int column);
    void runSetProtection(const QDate &date, int shift, bool on);

    Database *m_db = nullptr;
    int m_year = 0;
    int m_month = 0;
    QDate m_today;
    std::array<CalendarDay, Rows * Columns> m_days;
    QList<DateShift> m_unresolved;
};
