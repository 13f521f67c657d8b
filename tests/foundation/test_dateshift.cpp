#include "foundation/Database.h"
#include "foundation/DateShift.h"

#include <QLocale>
#include <QtTest>

char *toString(const DateShift &dateShift)
{
    return QTest::toString(sqlDate(dateShift.date) + QStringLiteral(" shift ") +
                           QString::number(dateShift.shift));
}

// Stepping from one date-shift to the next and the texts every per-shift window shows.
class TestDateShift : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void stepsForwardAndBack_data();
    void stepsForwardAndBack();
    void caption_data();
    void caption();
    void dateBoxText_data();
    void dateBoxText();
    void validity();
};

void TestDateShift::initTestCase()
{
    // The plant's workstations run with US settings; the caption follows the system's long date.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestDateShift::cleanupTestCase()
{
    QLocale::setDefault(QLocale::c());
}

void TestDateShift::stepsForwardAndBack_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("shift");
    QTest::addColumn<QDate>("nextDate");
    QTest::addColumn<int>("nextShift");

    // Each row: (date, shift).next() == (nextDate, nextShift), and previous() of that leads back.
    QTest::newRow("within a day 1->2") << QDate(2026, 12, 8) << 1 << QDate(2026, 12, 8) << 2;
    QTest::newRow("within a day 2->3") << QDate(2026, 12, 8) << 2 << QDate(2026, 12, 8) << 3;
    QTest::newRow("shift 3 to next morning") << QDate(2026, 12, 8) << 3 << QDate(2026, 12, 9) << 1;
    QTest::newRow("end of a 30-day month") << QDate(2026, 11, 30) << 3 << QDate(2026, 12, 1) << 1;
    QTest::newRow("end of the year") << QDate(2026, 12, 31) << 3 << QDate(2027, 1, 1) << 1;
    QTest::newRow("end of February") << QDate(2027, 2, 28) << 3 << QDate(2027, 3, 1) << 1;
    QTest::newRow("end of leap February") << QDate(2028, 2, 29) << 3 << QDate(2028, 3, 1) << 1;
    QTest::newRow("28 Feb of leap year") << QDate(2028, 2, 28) << 3 << QDate(2028, 2, 29) << 1;
}

void TestDateShift::stepsForwardAndBack()
{
    QFETCH(QDate, date);
    QFETCH(int, shift);
    QFETCH(QDate, nextDate);
    QFETCH(int, nextShift);

    const DateShift here{date, shift};
    const DateShift there{nextDate, nextShift};
    QCOMPARE(here.next(), there);
    QCOMPARE(there.previous(), here);
}

void TestDateShift::caption_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("shift");
    QTest::addColumn<QString>("caption");

    QTest::newRow("shift 1") << QDate(2026, 12, 8) << 1 << "Tuesday, December 8, 2026 - Shift 1";
    QTest::newRow("shift 3") << QDate(2027, 1, 1) << 3 << "Friday, January 1, 2027 - Shift 3";
}

void TestDateShift::caption()
{
    QFETCH(QDate, date);
    QFETCH(int, shift);
    QFETCH(QString, caption);
    QCOMPARE((DateShift{date, shift}.caption()), caption);
}

void TestDateShift::dateBoxText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<bool>("boxForm"); // the date box writes the date back as this text

    QTest::newRow("padded month and day") << "03/01/2027" << QDate(2027, 3, 1) << true;
    QTest::newRow("leap day") << "02/29/2028" << QDate(2028, 2, 29) << true;
    QTest::newRow("unpadded") << "3/1/2027" << QDate(2027, 3, 1) << false;
    QTest::newRow("surrounding blanks") << "  12/08/2026 " << QDate(2026, 12, 8) << false;
    // Month first: 08/12 is August, not December.
    QTest::newRow("month before day") << "08/12/2026" << QDate(2026, 8, 12) << true;
    QTest::newRow("no leap day in 2027") << "02/29/2027" << QDate() << false;
    QTest::newRow("month 13") << "13/01/2026" << QDate() << false;
    QTest::newRow("empty") << "" << QDate() << false;
    QTest::newRow("ISO is not the box's form") << "2026-12-08" << QDate() << false;
}

void TestDateShift::dateBoxText()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QFETCH(bool, boxForm);
    QCOMPARE(dateFromShortText(text), date);
    if (boxForm)
        QCOMPARE(shortDateText(date), text);
}

void TestDateShift::validity()
{
    QVERIFY((DateShift{QDate(2026, 12, 8), 1}.isValid()));
    QVERIFY((DateShift{QDate(2026, 12, 8), 3}.isValid()));
    QVERIFY(!(DateShift{QDate(2026, 12, 8), 0}.isValid()));
    QVERIFY(!(DateShift{QDate(2026, 12, 8), 4}.isValid()));
    QVERIFY(!(DateShift{QDate(), 1}.isValid())); // no date chosen
}

QTEST_GUILESS_MAIN(TestDateShift)
#include "test_dateshift.moc"
