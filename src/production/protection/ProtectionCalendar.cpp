#include "ProtectionCalendar.h"

#include "foundation/Database.h"

#include <QLocale>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

namespace {
DayStatus statusOf(const QDate &date, int month, const QDate &today)
{
    if (date > today)
        return DayStatus::Future;
    if (date == today)
        return DayStatus::Today;
    if (date >= today.addDays(-2))
        return DayStatus::Recent;
    return date.month() == month ? DayStatus::Past : DayStatus::OtherMonth;
}
} // namespace

bool CalendarDay::hasLines() const
{
    return std::any_of(shifts.cbegin(), shifts.cend(), [](ShiftState s) { return s != ShiftState::NoLines; });
}

QDate ProtectionCalendar::firstCellDate(int year, int month)
{
    const QDate first(year, month, 1);
    // dayOfWeek: Monday 1 .. Sunday 7.
    return first.addDays(-(first.dayOfWeek() % 7));
}

void ProtectionCalendar::show(int year, int month, const QDate &today)
{
    m_year = year;
    m_month = month;
    m_today = today;
    QDate date = firstCellDate(year, month);
    for (CalendarDay &day : m_days) {
        day = CalendarDay{};
        day.date = date;
        day.status = statusOf(date, month, today);
        date = date.addDays(1);
    }
}

void ProtectionCalendar::stepMonth(int delta)
{
    const QDate moved = QDate(m_year, m_month, 1).addMonths(delta);
    show(moved.year(), moved.month(), m_today);
}

void ProtectionCalendar::stepYear(int delta)
{
    show(m_year + delta, m_month, m_today);
}

QString ProtectionCalendar::caption() const
{
    return QLocale::c().standaloneMonthName(m_month) + QStringLiteral(", ") + QString::number(m_year);
}

void ProtectionCalendar::readStates()
{
    const QDate first = m_days.front().date;
    QSqlQuery query = m_db->execSaved(QStringLiteral("Protected Query"),
                                      {{QStringLiteral("LoD8"), sqlDate(first)},
                                       {QStringLiteral("HiD8"), sqlDate(first.addDays(Rows * Columns))}});
    // Read whole before anything shown is replaced: a read that fails leaves the states as they were.
    auto days = m_days;
    for (CalendarDay &day : days)
        day.shifts.fill(ShiftState::NoLines);
    while (query.next()) {
        const QSqlRecord row = query.record();
        // Days are matched by their date: the query's range reaches one day past the grid.
        const qint64 index = first.daysTo(dateFromSql(row.value(QStringLiteral("dt"))));
        const int shift = row.value(QStringLiteral("Shift")).toInt();
        if (index < 0 || index >= qint64(days.size()) || shift < 1 || shift > 3)
            continue;
        days[size_t(index)].shifts[size_t(shift - 1)] =
            row.value(QStringLiteral("Protected Record")).toInt() != 0 ? ShiftState::Protected
                                                                       : ShiftState::Open;
    }
    m_days = days;
}

void ProtectionCalendar::readUnresolved()
{
    QSqlQuery query = m_db->execSaved(QStringLiteral("Unresolved Hold Date Shift"));
    QList<DateShift> unresolved;
    while (query.next()) {
        const QSqlRecord row = query.record();
        unresolved.append(
            {dateFromSql(row.value(QStringLiteral("Date"))), row.value(QStringLiteral("Shift")).toInt()});
    }
    m_unresolved = unresolved;
}

const CalendarDay &ProtectionCalendar::day(int row, int column) const
{
    return m_days.at(size_t(row * Columns + column));
}

CalendarDay &ProtectionCalendar::cell(int row, int column)
{
    return m_days.at(size_t(row * Columns + column));
}

DayColour ProtectionCalendar::colourOf(int row, int column) const
{
    const CalendarDay &d = day(row, column);
    if (!d.hasLines())
        return DayColour::Plain;
    const bool open =
        std::any_of(d.shifts.cbegin(), d.shifts.cend(), [](ShiftState s) { return s == ShiftState::Open; });
    if (!open)
        return DayColour::Protected;
    // A past shift still open is what a supervisor must see at a glance.
    return d.date < m_today ? DayColour::OpenPast : DayColour::OpenToday;
}

std::optional<QDate> ProtectionCalendar::dateOf(int row, int column) const
{
    const CalendarDay &d = day(row, column);
    if (d.status == DayStatus::Future || !d.hasLines())
        return std::nullopt;
    return d.date;
}

bool ProtectionCalendar::hasUnresolvedHold(const DateShift &dateShift) const
{
    return m_unresolved.contains(dateShift);
}

void ProtectionCalendar::runSetProtection(const QDate &date, int shift, bool on)
{
    m_db->execSaved(QStringLiteral("Set Protection"), {{QStringLiteral("dt"), sqlDate(date)},
                                                       {QStringLiteral("sh"), shift},
                                                       {QStringLiteral("Valu"), on ? -1 : 0}});
}

void ProtectionCalendar::setProtection(int row, int column, int shift, bool on)
{
    const std::optional<QDate> date = dateOf(row, column);
    if (!date || shift < 1 || shift > 3)
        return;
    runSetProtection(*date, shift, on);
    cell(row, column).shifts[size_t(shift - 1)] = on ? ShiftState::Protected : ShiftState::Open;
}

QList<int> ProtectionCalendar::toggle(int row, int column)
{
    const std::optional<QDate> date = dateOf(row, column);
    if (!date)
        return {};
    // Holds resolved or added on another workstation since the window opened count too.
    readUnresolved();
    CalendarDay &d = cell(row, column);
    QList<int> toggled;
    Transaction transaction(*m_db);
    for (int shift = 1; shift <= 3; ++shift) {
        const ShiftState state = d.shift(shift);
        if (state == ShiftState::NoLines || hasUnresolvedHold({*date, shift}))
            continue;
        runSetProtection(*date, shift, state == ShiftState::Open);
        toggled.append(shift);
    }
    transaction.commit();
    for (int shift : toggled) {
        ShiftState &state = d.shifts[size_t(shift - 1)];
        state = state == ShiftState::Open ? ShiftState::Protected : ShiftState::Open;
    }
    return toggled;
}
