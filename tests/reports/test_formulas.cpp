// Selection formulas and shift formulas of the report engine.

#include "reports/engine/ReportError.h"
#include "reports/engine/ReportFormat.h"
#include "reports/engine/SelectionFormula.h"
#include "reports/engine/ShiftFormula.h"

#include <QDate>
#include <QTest>

namespace {
const QString kTable = QStringLiteral("Production Counts Report Table");
const QStringList kColumns{QStringLiteral("Date"), QStringLiteral("Shift"), QStringLiteral("Job Number"),
                           QStringLiteral("Disposed of")};

// A row of the columns above.
QVector<QVariant> row(const QDate &date, int shift, const QString &job = QStringLiteral("A-100"),
                      bool disposed = false)
{
    return {date, qlonglong(shift), job, qlonglong(disposed ? 1 : 0)};
}

bool selects(const QString &text, const QVector<QVariant> &values)
{
    SelectionFormula formula = SelectionFormula::parse(text);
    formula.bind(kTable, kColumns);
    return formula.matches(values);
}
} // namespace

class TestFormulas : public QObject
{
    Q_OBJECT

private slots:
    void shiftFormula_data()
    {
        QTest::addColumn<QString>("shifts");
        QTest::addColumn<QString>("expected");
        const QString x = QStringLiteral("{T.Shift}");
        QTest::newRow("single") << "2" << x + "=2";
        QTest::newRow("list") << "1,3" << x + "=1 Or " + x + "=3";
        QTest::newRow("range") << "1-3" << x + ">=1 And " + x + "<=3";
        QTest::newRow("range and list") << "1-2,3" << x + ">=1 And " + x + "<=2 Or " + x + "=3";
        QTest::newRow("outer blanks") << "  2 " << x + "=2";
        QTest::newRow("blank after comma") << "1, 3" << x + "=1 Or " + x + "=3";
        QTest::newRow("blanks around dash") << "1 - 3" << x + ">=1 And " + x + "<=3";
        QTest::newRow("blank between digits") << "1 3" << x + "=1 Or " + x + "=3";
        QTest::newRow("other characters ignored") << "#2" << x + "=2";
    }

    void shiftFormula()
    {
        QFETCH(QString, shifts);
        QFETCH(QString, expected);
        QCOMPARE(ShiftFormula::build(shifts, QStringLiteral("T")), expected);
    }

    void numberFormats_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        for (const char *format : {"###,###,##0", "###,###,###"}) {
            const QString f = QString::fromLatin1(format);
            QTest::addRow("%s -1,234,567", format) << -1234567.0 << f << "-1,234,567";
            QTest::addRow("%s -999", format) << -999.0 << f << "-999";
            QTest::addRow("%s -1,000", format) << -1000.0 << f << "-1,000";
            QTest::addRow("%s -1", format) << -1.0 << f << "-1";
        }
        QTest::newRow("0 with ##0") << 0.0 << "###,###,##0"
                                    << "0";
        QTest::newRow("0 with ###") << 0.0 << "###,###,###"
                                    << "";
        QTest::newRow("plain -1234") << -1234.0 << "0"
                                     << "-1234";
        QTest::newRow("decimals -1,234.5") << -1234.5 << "###,##0.0"
                                           << "-1,234.5";
        QTest::newRow("decimals -0.5") << -0.5 << "0.0"
                                       << "-0.5";
    }

    void numberFormats()
    {
        QFETCH(double, value);
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(ReportFormat::number(value, format), expected);
        QCOMPARE(ReportFormat::value(QVariant(qlonglong(value)), format),
                 ReportFormat::number(double(qlonglong(value)), format));
    }

    void operators_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<bool>("selected");
        const QString d = QStringLiteral("{Production Counts Report Table.Date}");
        const QString s = QStringLiteral("{Production Counts Report Table.Shift}");
        const QString j = QStringLiteral("{Production Counts Report Table.Job Number}");
        // the row: 1999-08-11, shift 2, job "A-100", not disposed of
        QTest::newRow("= true") << s + "=2" << true;
        QTest::newRow("= false") << s + "=1" << false;
        QTest::newRow("<>") << s + "<>1" << true;
        QTest::newRow("<") << s + "<2" << false;
        QTest::newRow("<=") << s + "<=2" << true;
        QTest::newRow(">") << s + ">1" << true;
        QTest::newRow(">=") << s + ">=3" << false;
        QTest::newRow("date >=") << d + ">=Date(1999,8,11)" << true;
        QTest::newRow("date <") << d + "<Date(1999,8,11)" << false;
        QTest::newRow("text single quotes") << j + ">='A-100'" << true;
        QTest::newRow("text double quotes") << j + "=\"A-100\"" << true;
        QTest::newRow("text order") << j + "<='A-099'" << false;
        QTest::newRow("yes/no = False") << "{Production Counts Report Table.Disposed of} = False" << true;
        QTest::newRow("yes/no = True") << "{Production Counts Report Table.Disposed of} = True" << false;
        QTest::newRow("And") << s + "=2 And " + s + "=1" << false;
        QTest::newRow("Or") << s + "=1 Or " + s + "=2" << true;
        // And binds closer than Or: true Or (false And false)
        QTest::newRow("And over Or") << s + "=2 Or " + s + "=1 And " + s + "=3" << true;
        // (true Or false) And false
        QTest::newRow("parentheses") << "(" + s + "=2 Or " + s + "=1) And " + s + "=3" << false;
        QTest::newRow("keywords any case") << s + "=2 and " + s + "<>3 OR false" << true;
        QTest::newRow("True alone") << "True" << true;
        QTest::newRow("empty selects all") << "" << true;
    }

    void operators()
    {
        QFETCH(QString, formula);
        QFETCH(bool, selected);
        QCOMPARE(selects(formula, row(QDate(1999, 8, 11), 2)), selected);
    }

    void nullSatisfiesNoComparison()
    {
        const QString s = QStringLiteral("{Production Counts Report Table.Shift}");
        QVector<QVariant> values = row(QDate(1999, 8, 11), 2);
        values[1] = QVariant();
        QVERIFY(!selects(s + "=2", values));
        QVERIFY(!selects(s + "<>2", values));
    }

    // The selection of a production count report for one day and shifts "1,2".
    void productionCountSelection()
    {
        const QString table = QStringLiteral("Production Counts Report Table");
        const QString formula = "{" + table + ".Date}>=Date(1999,8,11) And {" + table +
                                ".Date}<=Date(1999,8,11) And (" +
                                ShiftFormula::build(QStringLiteral("1,2"), table) + ")";
        QCOMPARE(formula, QStringLiteral("{Production Counts Report Table.Date}>=Date(1999,8,11) And "
                                         "{Production Counts Report Table.Date}<=Date(1999,8,11) And "
                                         "({Production Counts Report Table.Shift}=1 Or "
                                         "{Production Counts Report Table.Shift}=2)"));
        QVERIFY(selects(formula, row(QDate(1999, 8, 11), 2)));
        QVERIFY(!selects(formula, row(QDate(1999, 8, 11), 3)));
        QVERIFY(!selects(formula, row(QDate(1999, 8, 12), 1)));
    }

    void malformed_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<int>("position");
        const QString s = QStringLiteral("{Production Counts Report Table.Shift}"); // 38 characters
        QTest::newRow("missing value at end") << s + "=" << 40;
        QTest::newRow("open parenthesis") << "(" + s + "=1" << 42;
        QTest::newRow("extra closing parenthesis") << s + "=1)" << 41;
        QTest::newRow("unclosed field") << "{Production Counts Report Table.Shift=1" << 1;
        QTest::newRow("unclosed text") << "{Production Counts Report Table.Job Number}='A" << 45;
        QTest::newRow("bad date") << "{Production Counts Report Table.Date}>=Date(1999,13,1)" << 40;
        QTest::newRow("date without day") << "{Production Counts Report Table.Date}>=Date(1999,8)" << 51;
        QTest::newRow("unknown word") << s + "=1 Nor " + s + "=2" << 42;
        QTest::newRow("unknown character") << s + "#1" << 39;
        QTest::newRow("number alone") << "2" << 1;
        QTest::newRow("field alone") << s << 1;
        QTest::newRow("dangling And") << s + "=1 And" << 45;
        // what a shift text that ends in "-" or "," gives
        QTest::newRow("shift ending in dash")
            << ShiftFormula::build(QStringLiteral("1-"), QStringLiteral("Production Counts Report Table"))
            << 87;
        QTest::newRow("other table") << "{Production Table.Shift}=1" << 1;
        QTest::newRow("unknown field") << "{Production Counts Report Table.Shft}=1" << 1;
    }

    void malformed()
    {
        QFETCH(QString, formula);
        QFETCH(int, position);
        try {
            selects(formula, row(QDate(1999, 8, 11), 2));
            QFAIL("a malformed formula was accepted");
        } catch (const ReportError &error) {
            QCOMPARE(error.number(), int(ReportError::Formula));
            QVERIFY2(error.text().contains(QStringLiteral("at position %1:").arg(position)),
                     qPrintable(error.text()));
        }
    }

    void mixedKindsAreAnError()
    {
        QVERIFY_THROWS_EXCEPTION(ReportError,
                                 selects(QStringLiteral("{Production Counts Report Table.Date}>='1999'"),
                                         row(QDate(1999, 8, 11), 2)));
    }
};

QTEST_GUILESS_MAIN(TestFormulas)
#include "test_formulas.moc"
