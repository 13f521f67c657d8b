#include "production/counts/CountsCursor.h"
#include "production/record/EditRights.h"

#include <QtTest>

Q_DECLARE_METATYPE(CountsCursor::Cell)

// Who may change counts when, and where the counts grid's cursor goes.
class TestEditRights : public QObject
{
    Q_OBJECT

private slots:
    void rights_data();
    void rights();
    void cursor_data();
    void cursor();
};

namespace {
const QDate kToday(2026, 12, 8);
using Cell = CountsCursor::Cell;
using Dir = CountsCursor::Direction;
// The counts grid: Beginning Count 6, Ending Count 8, Mattec Count 12, fourteen columns.
constexpr int kB = 6, kE = 8, kM = 12, kColumns = 14, kRows = 5;
} // namespace

void TestEditRights::rights_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<int>("dayOffset"); // the shift's date relative to today
    QTest::addColumn<int>("shift");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("update");
    QTest::addColumn<bool>("beginning");

    const QTime morning(8, 30), noon(12, 0);
    QTest::newRow("08:30 yesterday s3") << "A" << -1 << 3 << morning << true << false;
    QTest::newRow("08:30 today s1") << "A" << 0 << 1 << morning << true << false;
    QTest::newRow("08:30 today s2") << "A" << 0 << 2 << morning << false << false;
    QTest::newRow("08:30 today s3") << "A" << 0 << 3 << morning << false << false;
    QTest::newRow("08:30 yesterday s2") << "B" << -1 << 2 << morning << false << false;
    QTest::newRow("08:30 yesterday s1") << "A" << -1 << 1 << morning << false << false;
    QTest::newRow("08:30 tomorrow s1") << "A" << 1 << 1 << morning << false << false;
    QTest::newRow("12:00 today s1") << "A" << 0 << 1 << noon << true << false;
    QTest::newRow("12:00 yesterday s3") << "A" << -1 << 3 << noon << false << false;
    QTest::newRow("12:00 today s2") << "A" << 0 << 2 << noon << false << false;
    QTest::newRow("10:59:59 yesterday s3") << "A" << -1 << 3 << QTime(10, 59, 59) << true << false;
    QTest::newRow("19:59:59 today s2") << "A" << 0 << 2 << QTime(19, 59, 59) << true << false;
    QTest::newRow("20:00 today s1") << "A" << 0 << 1 << QTime(20, 0) << false << false;
    QTest::newRow("20:00 today s2") << "A" << 0 << 2 << QTime(20, 0) << true << false;
    QTest::newRow("23:30 today s3") << "A" << 0 << 3 << QTime(23, 30) << true << false;
    QTest::newRow("23:30 today s1") << "A" << 0 << 1 << QTime(23, 30) << false << false;
    QTest::newRow("01:00 yesterday s2") << "A" << -1 << 2 << QTime(1, 0) << true << false;
    QTest::newRow("01:00 today s1") << "A" << 0 << 1 << QTime(1, 0) << false << false;
    QTest::newRow("04:00 yesterday s3") << "A" << -1 << 3 << QTime(4, 0) << true << false;
    QTest::newRow("04:00 yesterday s2") << "A" << -1 << 2 << QTime(4, 0) << false << false;
    QTest::newRow("06:59:59 today s3") << "D" << 0 << 3 << QTime(6, 59, 59) << true << false;
    // Each window's edges: the first second in and the last second before the next window.
    QTest::newRow("06:59:59 today s1") << "A" << 0 << 1 << QTime(6, 59, 59) << false << false;
    QTest::newRow("07:00 today s1") << "A" << 0 << 1 << QTime(7, 0) << true << false;
    QTest::newRow("07:00 yesterday s3") << "A" << -1 << 3 << QTime(7, 0) << true << false;
    QTest::newRow("11:00 yesterday s3") << "A" << -1 << 3 << QTime(11, 0) << false << false;
    QTest::newRow("11:00 today s1") << "A" << 0 << 1 << QTime(11, 0) << true << false;
    QTest::newRow("14:59:59 today s2") << "A" << 0 << 2 << QTime(14, 59, 59) << false << false;
    QTest::newRow("15:00 today s2") << "A" << 0 << 2 << QTime(15, 0) << true << false;
    QTest::newRow("15:00 today s1") << "A" << 0 << 1 << QTime(15, 0) << true << false;
    QTest::newRow("19:59:59 today s1") << "A" << 0 << 1 << QTime(19, 59, 59) << true << false;
    QTest::newRow("22:59:59 today s3") << "A" << 0 << 3 << QTime(22, 59, 59) << false << false;
    QTest::newRow("23:00 today s3") << "A" << 0 << 3 << QTime(23, 0) << true << false;
    QTest::newRow("23:00 today s2") << "A" << 0 << 2 << QTime(23, 0) << true << false;
    QTest::newRow("23:59:59 yesterday s3") << "A" << -1 << 3 << QTime(23, 59, 59) << false << false;
    QTest::newRow("00:00 yesterday s3") << "A" << -1 << 3 << QTime(0, 0) << true << false;
    QTest::newRow("02:59:59 yesterday s2") << "A" << -1 << 2 << QTime(2, 59, 59) << true << false;
    QTest::newRow("03:00 yesterday s2") << "A" << -1 << 2 << QTime(3, 0) << false << false;
    QTest::newRow("03:00 yesterday s3") << "A" << -1 << 3 << QTime(3, 0) << true << false;
    QTest::newRow("C a week ago") << "C" << -7 << 2 << noon << true << true;
    QTest::newRow("C at night") << "C" << 0 << 1 << QTime(2, 0) << true << true;
}

void TestEditRights::rights()
{
    QFETCH(QString, level);
    QFETCH(int, dayOffset);
    QFETCH(int, shift);
    QFETCH(QTime, time);
    QFETCH(bool, update);
    QFETCH(bool, beginning);
    const EditRights rights =
        EditRights::evaluate(level, {kToday.addDays(dayOffset), shift}, QDateTime(kToday, time));
    QCOMPARE(rights.updateAllowed, update);
    QCOMPARE(rights.beginningCountEditable, beginning);
}

void TestEditRights::cursor_data()
{
    QTest::addColumn<bool>("locked");
    QTest::addColumn<int>("direction");
    QTest::addColumn<Cell>("from");
    QTest::addColumn<Cell>("to");

    const int right = int(Dir::Right), left = int(Dir::Left);
    QTest::newRow("right: ending to mattec") << true << right << Cell{1, kE} << Cell{1, kM};
    QTest::newRow("right: mattec wraps, locked") << true << right << Cell{1, kM} << Cell{2, kE};
    QTest::newRow("right: mattec wraps, unlocked") << false << right << Cell{1, kM} << Cell{2, kB};
    QTest::newRow("right: beginning to ending") << false << right << Cell{1, kB} << Cell{1, kE};
    QTest::newRow("right: from job number, locked") << true << right << Cell{1, 4} << Cell{1, kE};
    QTest::newRow("right: from description, unlocked") << false << right << Cell{1, 5} << Cell{1, kB};
    QTest::newRow("right: last column wraps") << true << right << Cell{1, kColumns - 1} << Cell{2, kE};
    QTest::newRow("right: last line stays") << true << right << Cell{kRows - 1, kM} << Cell{kRows - 1, kE};
    QTest::newRow("left: mattec to ending") << true << left << Cell{1, kM} << Cell{1, kE};
    QTest::newRow("left: ending to beginning") << false << left << Cell{1, kE} << Cell{1, kB};
    QTest::newRow("left: ending wraps up, locked") << true << left << Cell{1, kE} << Cell{0, kM};
    QTest::newRow("left: beginning wraps up") << false << left << Cell{2, kB} << Cell{1, kM};
    QTest::newRow("left: first line stays") << false << left << Cell{0, kB} << Cell{0, kM};
    QTest::newRow("left: from rejects") << true << left << Cell{3, kColumns - 1} << Cell{3, kM};
    QTest::newRow("none: no rule") << true << int(Dir::None) << Cell{1, 3} << Cell{1, 3};
}

void TestEditRights::cursor()
{
    QFETCH(bool, locked);
    QFETCH(int, direction);
    QFETCH(Cell, from);
    QFETCH(Cell, to);
    CountsCursor rules(kB, kE, kM);
    rules.setBeginningLocked(locked);
    const Cell reached = rules.step(from, Dir(direction), kRows, kColumns);
    QCOMPARE(reached.row, to.row);
    QCOMPARE(reached.column, to.column);
}

QTEST_APPLESS_MAIN(TestEditRights)
#include "test_editrights.moc"
