#include "production/CountEntry.h"

#include <QRandomGenerator>
#include <QtTest>

// What a supervisor types into a count cell and what the cell must take from it.
class TestCountEntry : public QObject
{
    Q_OBJECT

private slots:
    void evaluatesTypedEntries_data();
    void evaluatesTypedEntries();
    void textFormHasSignPosition_data();
    void textFormHasSignPosition();
    void countFieldRange_data();
    void countFieldRange();
    void evaluationAlwaysEnds();
};

void TestCountEntry::evaluatesTypedEntries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<double>("expected");

    // Left to right, no precedence.
    QTest::newRow("no precedence") << "5+3*2" << 16.0;
    QTest::newRow("sum of two counts") << "1200+350" << 1550.0;
    QTest::newRow("negative difference") << "100-200" << -100.0;
    QTest::newRow("at sign multiplies") << "5@2" << 10.0;
    QTest::newRow("chain of four") << "10-2*3+4" << 28.0;
    // Separators and stray characters are dropped, not read as decimals.
    QTest::newRow("thousands comma") << "1,250" << 1250.0;
    QTest::newRow("decimal point dropped") << "12.5" << 125.0;
    QTest::newRow("letters dropped") << "1a2b3" << 123.0;
    QTest::newRow("blanks dropped") << " 1 200 + 3 " << 1203.0;
    QTest::newRow("nothing but letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("leading minus") << "-5" << -5.0;
    QTest::newRow("leading plus") << "+7" << 7.0;
    QTest::newRow("leading multiply") << "*7" << 0.0;
    // Two operators in a row: a minus makes the next number negative, any other repeat is ignored.
    QTest::newRow("plus then minus") << "5+-3" << 2.0;
    QTest::newRow("double plus") << "5++3" << 8.0;
    QTest::newRow("times minus") << "4*-2" << -8.0;
    QTest::newRow("minus minus") << "10--3" << 13.0;
    QTest::newRow("three operators") << "6*+-2" << -12.0;
    // An operator with nothing after it leaves the total as it was.
    QTest::newRow("trailing plus") << "5+" << 5.0;
    QTest::newRow("trailing minus") << "42-" << 42.0;
    QTest::newRow("only operators") << "+-*" << 0.0;
    QTest::newRow("zeros before digits") << "007+3" << 10.0;
}

void TestCountEntry::evaluatesTypedEntries()
{
    QFETCH(QString, entry);
    QFETCH(double, expected);
    QCOMPARE(CountEntry::evaluate(entry), expected);
}

void TestCountEntry::textFormHasSignPosition_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("text");

    QTest::newRow("positive has leading blank") << "1,250"
                                                << " 1250";
    QTest::newRow("zero has leading blank") << ""
                                            << " 0";
    QTest::newRow("negative has minus") << "100-200"
                                        << "-100";
    QTest::newRow("negative zero is plain zero") << "0*-5"
                                                 << " 0";
    QTest::newRow("large value stays whole") << "99999*99999"
                                             << " 9999800001";
}

void TestCountEntry::textFormHasSignPosition()
{
    QFETCH(QString, entry);
    QFETCH(QString, text);
    QCOMPARE(CountEntry::EvaluateCountEntry(entry), text);
}

void TestCountEntry::countFieldRange_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<qint64>("value");

    QTest::newRow("largest count") << "2147483647" << true << qint64(2147483647);
    QTest::newRow("smallest count") << "0-2147483648" << true << qint64(-2147483648LL);
    QTest::newRow("one past the largest") << "2147483648" << false << qint64(0);
    QTest::newRow("product too large") << "99999*99999" << false << qint64(0);
    QTest::newRow("thirty digits") << QString(30, '9') << false << qint64(0);
    QTest::newRow("far below zero") << "0-99999*99999" << false << qint64(0);
    QTest::newRow("ordinary entry") << "1,250+3" << true << qint64(1253);
}

void TestCountEntry::countFieldRange()
{
    QFETCH(QString, entry);
    QFETCH(bool, accepted);
    QFETCH(qint64, value);

    const CountEntry::Count count = CountEntry::toCount(entry);
    QCOMPARE(count.value.has_value(), accepted);
    if (accepted) {
        QCOMPARE(qint64(*count.value), value);
        QVERIFY(count.message.isEmpty());
    } else {
        // The user is told why the entry was not taken.
        QVERIFY(count.message.contains(QStringLiteral("too large")));
    }
}

void TestCountEntry::evaluationAlwaysEnds()
{
    // Whatever is typed, the evaluation returns; a stuck evaluation would hang the grid.
    const QString alphabet = QStringLiteral("0123456789+-*@.,x ");
    QRandomGenerator random(20261208);
    for (int i = 0; i < 400; ++i) {
        QString entry;
        const int length = random.bounded(1, 25);
        for (int c = 0; c < length; ++c)
            entry += alphabet.at(random.bounded(int(alphabet.size())));
        const double value = CountEntry::evaluate(entry);
        QVERIFY2(!std::isnan(value), qPrintable(entry));
        // The text form is always a number the count cell can read back.
        bool ok = false;
        CountEntry::EvaluateCountEntry(entry).trimmed().toDouble(&ok);
        QVERIFY2(ok, qPrintable(entry));
    }
}

QTEST_GUILESS_MAIN(TestCountEntry)
#include "test_countentry.moc"
