#include "shell/DateCheck.h"

#include <QtTest>

// The plausibility rules of the date and shift chooser, without the windows. (Which texts are
// shifts is tested through the chooser itself.)
class TestDateCheck : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
};

void TestDateCheck::rules_data()
{
    QTest::addColumn<int>("shift");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QDate>("entered");
    QTest::addColumn<bool>("check");
    QTest::addColumn<int>("preselected");

    // Today is 8 December; the latest production date is the 7th.
    const QDate today(2026, 12, 8), yesterday(2026, 12, 7);
    QTest::newRow("shift 3 at 06:30, latest date") << 3 << QTime(6, 30) << yesterday << false << 0;
    QTest::newRow("shift 3 at 06:30, today") << 3 << QTime(6, 30) << today << true << 0;
    QTest::newRow("shift 3 at 07:30, latest date (08:00 limit)")
        << 3 << QTime(7, 30) << yesterday << false << 1;
    QTest::newRow("shift 3 at 07:30, today (07:00 limit)") << 3 << QTime(7, 30) << today << true << 1;
    QTest::newRow("shift 3 at 08:00, today") << 3 << QTime(8, 0) << today << false << 1;
    QTest::newRow("shift 3 at 08:00, latest date") << 3 << QTime(8, 0) << yesterday << true << 1;
    QTest::newRow("shift 1, today") << 1 << QTime(6, 0) << today << false << 1;
    QTest::newRow("shift 2, another date") << 2 << QTime(14, 0) << QDate(2026, 11, 2) << true << 1;
    QTest::newRow("shift 2 early, latest date") << 2 << QTime(6, 0) << yesterday << true << 1;
}

void TestDateCheck::rules()
{
    QFETCH(int, shift);
    QFETCH(QTime, time);
    QFETCH(QDate, entered);
    const QDateTime now(QDate(2026, 12, 8), time);
    QTEST(DateCheck::needsCheck(entered, shift, now, QDate(2026, 12, 7)), "check");
    QTEST(int(DateCheck::preselectedOption(shift, now)), "preselected");
}

QTEST_GUILESS_MAIN(TestDateCheck)
#include "test_datecheck.moc"
