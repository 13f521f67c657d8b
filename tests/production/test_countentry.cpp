#include "production/record/CountEntry.h"

#include <QRandomGenerator>
#include <QtTest>

// What a supervisor types into a count cell and what the cell must take from it.
class TestCountEntry : public QObject
{
    Q_OBJECT

private slots:
    void evaluatesTypedEntries_data();
    void evaluatesTypedEntries();
    void refusesWhatIsNotACount_data();
    void refusesWhatIsNotACount();
    void refusesResultsBeyondACount_data();
    void refusesResultsBeyondACount();
    void evaluationAlwaysEnds();
};

void TestCountEntry::evaluatesTypedEntries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<qint64>("expected");

    // Left to right, no precedence.
    QTest::newRow("no precedence") << "5+3*2" << qint64(16);
    QTest::newRow("sum of two counts") << "1200+350" << qint64(1550);
    QTest::newRow("negative difference") << "100-200" << qint64(-100);
    QTest::newRow("at sign multiplies") << "5@2" << qint64(10);
    QTest::newRow("chain of four") << "10-2*3+4" << qint64(28);
    // Separators and blanks between numbers are dropped, not read as decimals.
    QTest::newRow("thousands comma") << "1,250" << qint64(1250);
    QTest::newRow("decimal point dropped") << "12.5" << qint64(125);
    QTest::newRow("blanks around operators") << " 1200 + 3 " << qint64(1203);
    QTest::newRow("blank after a comma") << "1, 250" << qint64(1250);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("blanks only") << "   " << qint64(0);
    QTest::newRow("idle machine") << "0" << qint64(0);
    QTest::newRow("leading minus") << "-5" << qint64(-5);
    QTest::newRow("leading plus") << "+7" << qint64(7);
    QTest::newRow("leading multiply") << "*7" << qint64(0);
    // Two operators in a row: a minus makes the next number negative, any other repeat is ignored.
    QTest::newRow("plus then minus") << "5+-3" << qint64(2);
    QTest::newRow("double plus") << "5++3" << qint64(8);
    QTest::newRow("times minus") << "4*-2" << qint64(-8);
    QTest::newRow("minus minus") << "10--3" << qint64(13);
    QTest::newRow("three operators") << "6*+-2" << qint64(-12);
    // An operator with nothing after it leaves the total as it was.
    QTest::newRow("trailing plus") << "5+" << qint64(5);
    QTest::newRow("trailing minus") << "42-" << qint64(42);
    QTest::newRow("only operators") << "+-*" << qint64(0);
    QTest::newRow("zeros before digits") << "007+3" << qint64(10);
    // Exact integers: a double would lose the 404.
    QTest::newRow("exact") << "2792676153706958308+404-2792676153706958308" << qint64(404);
    QTest::newRow("largest count") << "2147483647" << qint64(2147483647);
    QTest::newRow("large product back in range") << "99999*99999-9999800000" << qint64(1);
    // A negative result is kept as it is: the caller says that a count cannot be negative.
    QTest::newRow("far below zero") << "0-99999*99999" << qint64(-9999800001LL);
}

void TestCountEntry::evaluatesTypedEntries()
{
    QFETCH(QString, entry);
    QFETCH(qint64, expected);
    const CountEntry::Result result = CountEntry::EvaluateCountEntry(entry);
    QVERIFY2(result.isNumber(), qPrintable(result.message));
    QCOMPARE(result.value, expected);
    QVERIFY(result.message.isEmpty());
}

void TestCountEntry::refusesWhatIsNotACount_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("letters") << "abc";
    QTest::newRow("slash alone") << "/";
    QTest::newRow("a times written as x") << "5 x 3";
    QTest::newRow("division") << "100/2";
    QTest::newRow("letters among digits") << "1a2b3";
    QTest::newRow("blank between digits") << "5 3";
    QTest::newRow("blank inside a number") << " 1 200 + 3 ";
    QTest::newRow("letter O for zero") << "10O";
    QTest::newRow("non-ASCII digit") << QStringLiteral("1\u0663");
    QTest::newRow("tab") << "5\t3";
}

void TestCountEntry::refusesWhatIsNotACount()
{
    QFETCH(QString, entry);
    const CountEntry::Result result = CountEntry::EvaluateCountEntry(entry);
    QCOMPARE(result.status, CountEntry::Result::Status::NotACount);
    QCOMPARE(result.message, QStringLiteral("\u201C%1\u201D is not a count. Type digits, with + - * between "
                                            "numbers (for example 1200+350).")
                                 .arg(entry.trimmed()));
}

void TestCountEntry::refusesResultsBeyondACount_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("one past the largest") << "2147483648";
    QTest::newRow("product too large") << "99999*99999";
    QTest::newRow("thirty digits") << QString(30, '9');
    QTest::newRow("two hundred digits") << QString(200, '9');
    QTest::newRow("huge product") << QString(25, '9') + "*" + QString(25, '9') + "*" + QString(25, '9');
    QTest::newRow("huge negative product") << "0-" + QString(40, '9') + "*" + QString(40, '9');
}

void TestCountEntry::refusesResultsBeyondACount()
{
    QFETCH(QString, entry);
    const CountEntry::Result result = CountEntry::EvaluateCountEntry(entry);
    QCOMPARE(result.status, CountEntry::Result::Status::TooLarge);
    QVERIFY(result.message.contains(QStringLiteral("too large")));
}

void TestCountEntry::evaluationAlwaysEnds()
{
    // Whatever is typed, the evaluation returns, with a number or a message.
    const QString alphabet = QStringLiteral("0123456789+-*@.,x ");
    QRandomGenerator random(20261208);
    for (int i = 0; i < 400; ++i) {
        QString entry;
        const int length = random.bounded(1, 60);
        for (int c = 0; c < length; ++c)
            entry += alphabet.at(random.bounded(int(alphabet.size())));
        const CountEntry::Result result = CountEntry::EvaluateCountEntry(entry);
        QVERIFY2(result.isNumber() == result.message.isEmpty(), qPrintable(entry));
        QVERIFY2(!result.isNumber() || result.value <= 2147483647, qPrintable(entry));
    }
}

QTEST_GUILESS_MAIN(TestCountEntry)
#include "test_countentry.moc"
