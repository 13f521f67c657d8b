#include "TestSupport.h"

#include "production/protection/ProtectionCalendar.h"

#include <QtTest>

// The protection calendar without its window: the six weeks of a month, the days' statuses,
// dates and colours, and what the check boxes and the double-click write.
class TestProtectionCalendar : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layout_data();
    void layout();
    void stepping_data();
    void stepping();
    void statusesAndDates();
    void statesAndColours();
    void doubleClickToggles_data();
    void doubleClickToggles();
    void checkBoxIgnoresUnresolvedHolds();

private:
    QString states(const QDate &date) const;

    std::unique_ptr<DatabaseWorld> m_world;
    std::unique_ptr<ProtectionCalendar> m_calendar;
};

namespace {
const QString kJob = QStringLiteral("A-100");
// Tuesday; December 2026 starts on a Tuesday.
const QDate kToday(2026, 12, 8);
} // namespace

void TestProtectionCalendar::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{kJob});
    m_calendar = std::make_unique<ProtectionCalendar>(m_world->db);
}

void TestProtectionCalendar::cleanup()
{
    m_calendar.reset();
    m_world.reset();
}

QString TestProtectionCalendar::states(const QDate &date) const
{
    QString result;
    for (int shift = 1; shift <= 3; ++shift) {
        const QVariant value = m_world->db.scalar(
            QStringLiteral("SELECT MAX(\"Protected Record\") FROM \"Production Table\" WHERE \"Date\" = :d "
                           "AND \"Shift\" = :s"),
            {{QStringLiteral("d"), sqlDate(date)}, {QStringLiteral("s"), shift}});
        result += value.isNull() ? QLatin1Char('-') : value.toInt() ? QLatin1Char('P') : QLatin1Char('O');
    }
    return result;
}

void TestProtectionCalendar::layout_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<QDate>("firstCell");
    QTest::addColumn<int>("columnOfFirst");
    QTest::addColumn<QString>("lastCellAfterProtecting");

    // The first and the last (42nd) cell each hold a line on shift 1; a line one day past the grid
    // is not shown. A last cell after today cannot be protected.
    QTest::newRow("starts on Sunday") << 2026 << 2 << QDate(2026, 2, 1) << 0 << "P--";
    QTest::newRow("starts on Saturday") << 2026 << 8 << QDate(2026, 7, 26) << 6 << "P--";
    QTest::newRow("starts on Tuesday") << 2026 << 12 << QDate(2026, 11, 29) << 2 << "O--";
}

void TestProtectionCalendar::layout()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(QDate, firstCell);
    QFETCH(int, columnOfFirst);

    m_calendar->show(year, month, kToday);

    QCOMPARE(m_calendar->day(0, 0).date, firstCell);
    QCOMPARE(m_calendar->day(0, columnOfFirst).date, QDate(year, month, 1));
    // 42 days one after another, whatever the month's length.
    QCOMPARE(m_calendar->day(5, 6).date, firstCell.addDays(41));
    QCOMPARE(m_calendar->day(0, 0).date.dayOfWeek(), 7);

    QFETCH(QString, lastCellAfterProtecting);
    const QDate lastCell = firstCell.addDays(41);
    for (const QDate &date : {firstCell, lastCell, lastCell.addDays(1)})
        Fixture::line(m_world->db, date, 1, 1, kJob);
    m_calendar->readStates();
    QCOMPARE(m_calendar->day(0, 0).shift(1), ShiftState::Open);
    QCOMPARE(m_calendar->day(5, 6).shift(1), ShiftState::Open);
    QCOMPARE(m_calendar->day(5, 6).shift(2), ShiftState::NoLines);
    m_calendar->setProtection(5, 6, 1, true);
    QCOMPARE(states(lastCell), lastCellAfterProtecting);
    QCOMPARE(states(lastCell.addDays(1)), QStringLiteral("O--"));
}

void TestProtectionCalendar::stepping_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("monthStep");
    QTest::addColumn<int>("yearStep");
    QTest::addColumn<QString>("caption");

    QTest::newRow("January back to December") << 1 << -1 << 0 << "December, 2002";
    QTest::newRow("December on to January") << 12 << 1 << 0 << "January, 2004";
    QTest::newRow("a year back") << 3 << 0 << -1 << "March, 2002";
    QTest::newRow("a year on") << 3 << 0 << 1 << "March, 2004";
}

void TestProtectionCalendar::stepping()
{
    QFETCH(int, month);
    QFETCH(int, monthStep);
    QFETCH(int, yearStep);
    QFETCH(QString, caption);

    m_calendar->show(2003, month, kToday);
    m_calendar->stepMonth(monthStep);
    m_calendar->stepYear(yearStep);

    QCOMPARE(m_calendar->caption(), caption);
    QCOMPARE(m_calendar->day(0, 0).date,
             ProtectionCalendar::firstCellDate(m_calendar->year(), m_calendar->month()));
}

void TestProtectionCalendar::statusesAndDates()
{
    // October 2026 with "today" on Wednesday, November 4th: the grid runs from Sunday,
    // September 27th to Saturday, November 7th.
    const QDate today(2026, 11, 4);
    Fixture::line(m_world->db, QDate(2026, 9, 30), 1, 1, kJob);
    Fixture::line(m_world->db, QDate(2026, 10, 13), 2, 1, kJob); // no line on shift 1
    Fixture::line(m_world->db, QDate(2026, 11, 3), 1, 1, kJob);
    Fixture::line(m_world->db, QDate(2026, 11, 5), 1, 1, kJob);
    m_calendar->show(2026, 10, today);
    m_calendar->readStates();

    QCOMPARE(m_calendar->day(0, 0).date, QDate(2026, 9, 27));
    QCOMPARE(m_calendar->day(0, 0).status, DayStatus::OtherMonth);
    QCOMPARE(m_calendar->day(0, 4).status, DayStatus::Past);       // October 1st
    QCOMPARE(m_calendar->day(4, 6).status, DayStatus::Past);       // October 31st
    QCOMPARE(m_calendar->day(5, 0).status, DayStatus::OtherMonth); // November 1st
    QCOMPARE(m_calendar->day(5, 1).status, DayStatus::Recent);     // the day before yesterday
    QCOMPARE(m_calendar->day(5, 2).status, DayStatus::Recent);
    QCOMPARE(m_calendar->day(5, 3).status, DayStatus::Today);
    QCOMPARE(m_calendar->day(5, 4).status, DayStatus::Future);

    // The previous month's 30th, the next month's 3rd and a day with lines only on shift 2
    // resolve to their own dates; a day after today and a day without lines have none.
    QCOMPARE(m_calendar->dateOf(0, 3).value_or(QDate()), QDate(2026, 9, 30));
    QCOMPARE(m_calendar->dateOf(5, 2).value_or(QDate()), QDate(2026, 11, 3));
    QCOMPARE(m_calendar->dateOf(2, 2).value_or(QDate()), QDate(2026, 10, 13));
    QVERIFY(!m_calendar->dateOf(5, 4));
    QVERIFY(!m_calendar->dateOf(1, 0));
}

void TestProtectionCalendar::statesAndColours()
{
    const Database &db = m_world->db;
    Fixture::line(db, QDate(2026, 12, 1), 1, 1, kJob); // all protected
    Fixture::line(db, QDate(2026, 12, 1), 3, 1, kJob);
    Fixture::line(db, QDate(2026, 12, 2), 1, 1, kJob); // one shift open
    Fixture::line(db, QDate(2026, 12, 2), 2, 1, kJob);
    Fixture::line(db, kToday, 1, 1, kJob);             // today, open
    Fixture::line(db, QDate(2027, 1, 10), 1, 1, kJob); // one day past the grid
    for (int shift : {1, 3})
        Fixture::protect(db, QDate(2026, 12, 1), shift);
    Fixture::protect(db, QDate(2026, 12, 2), 1);

    m_calendar->show(2026, 12, kToday);
    m_calendar->readStates();

    const CalendarDay &first = m_calendar->day(0, 2);
    QCOMPARE(first.shift(1), ShiftState::Protected);
    QCOMPARE(first.shift(2), ShiftState::NoLines);
    QCOMPARE(m_calendar->colourOf(0, 2), DayColour::Protected);
    QCOMPARE(m_calendar->day(0, 3).shift(2), ShiftState::Open);
    QCOMPARE(m_calendar->colourOf(0, 3), DayColour::OpenPast);
    QCOMPARE(m_calendar->colourOf(1, 2), DayColour::OpenToday);
    QCOMPARE(m_calendar->colourOf(1, 3), DayColour::Plain);
    QVERIFY(!m_calendar->day(5, 6).hasLines()); // January 9th; the 10th is not shown
}

void TestProtectionCalendar::doubleClickToggles_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("heldShift");
    QTest::addColumn<QString>("after");

    QTest::newRow("each shift on its own") << "POP" << 0 << "OPO";
    QTest::newRow("shift 2 has an unresolved hold") << "OOO" << 2 << "POP";
    QTest::newRow("a shift without lines stays so") << "P-O" << 0 << "O-P";
}

void TestProtectionCalendar::doubleClickToggles()
{
    QFETCH(QString, before);
    QFETCH(int, heldShift);
    QFETCH(QString, after);
    const QDate day(2026, 12, 2); // row 0, column 3
    for (int shift = 1; shift <= 3; ++shift) {
        const QChar state = before.at(shift - 1);
        if (state == QLatin1Char('-'))
            continue;
        const qint64 line = Fixture::line(m_world->db, day, shift, 1, kJob);
        if (shift == heldShift)
            Fixture::hold(m_world->db, line, 9000 + shift, 10);
        Fixture::protect(m_world->db, day, shift, state == QLatin1Char('P'));
    }
    // A disposed ticket is no unresolved hold.
    Fixture::hold(m_world->db, Fixture::line(m_world->db, QDate(2026, 12, 5), 1, 1, kJob), 1, 5, 0, true);
    m_calendar->show(2026, 12, kToday);
    m_calendar->readStates();

    m_calendar->toggle(0, 3);

    QCOMPARE(states(day), after);
    for (int shift = 1; shift <= 3; ++shift) {
        const QChar state = after.at(shift - 1);
        const ShiftState expected = state == QLatin1Char('P')   ? ShiftState::Protected
                                    : state == QLatin1Char('O') ? ShiftState::Open
                                                                : ShiftState::NoLines;
        QCOMPARE(m_calendar->day(0, 3).shift(shift), expected);
    }
}

void TestProtectionCalendar::checkBoxIgnoresUnresolvedHolds()
{
    const QDate day(2026, 12, 2);
    Fixture::hold(m_world->db, Fixture::line(m_world->db, day, 2, 1, kJob), 77, 10);
    Fixture::line(m_world->db, QDate(2026, 12, 9), 1, 1, kJob); // tomorrow
    m_calendar->show(2026, 12, kToday);
    m_calendar->readStates();
    m_calendar->readUnresolved();
    QCOMPARE(m_calendar->unresolved(), (QList<DateShift>{{day, 2}}));

    m_calendar->setProtection(0, 3, 2, true);
    QCOMPARE(states(day), QStringLiteral("-P-"));
    m_calendar->setProtection(0, 3, 2, false);
    QCOMPARE(states(day), QStringLiteral("-O-"));
    // A day after today cannot be protected.
    m_calendar->setProtection(1, 3, 1, true);
    m_calendar->toggle(1, 3);
    QCOMPARE(states(QDate(2026, 12, 9)), QStringLiteral("O--"));
}

QTEST_GUILESS_MAIN(TestProtectionCalendar)
#include "test_protectioncalendar.moc"
