#include "TestSupport.h"

#include "production/record/MonitorCounts.h"

#include <QSettings>
#include <QtTest>

namespace {
const QDate kTuesday(2026, 12, 8);
const DateShift kShift{kTuesday, 2};
} // namespace

// A monitoring system's export taken into the Mattec Counts: the file's forms, the columns found
// by name, the never-overwrite rule and the one transaction.
class TestMonitorCounts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readsTheCommonForms_data();
    void readsTheCommonForms();
    void storedMappingWins();
    void fileWithoutCountColumn();
    void fillsOnlyEmptyCountsOfItsDateShift();
    void allOrNothing();

private:
    qint64 matec(qint64 jobId) const;
    std::unique_ptr<DatabaseWorld> m_world;
    std::unique_ptr<QSettings> m_options;
};

void TestMonitorCounts::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{"A-100", "B-200"});
    m_options = std::make_unique<QSettings>(m_world->file("options.ini"), QSettings::IniFormat);
}

void TestMonitorCounts::cleanup()
{
    m_options.reset();
    m_world.reset();
}

qint64 TestMonitorCounts::matec(qint64 jobId) const
{
    return m_world->db
        .scalar("SELECT \"Matec Count\" FROM \"Production Table\" WHERE \"Job ID\" = :id", {{"id", jobId}})
        .toLongLong();
}

void TestMonitorCounts::readsTheCommonForms_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("comma") << QByteArray(
        "Machine,Job Number,Date,Shift,Count\r\n7,A-100,12/08/2026,2,1500\r\n");
    QTest::newRow("semicolon, quoted thousands")
        << QByteArray("press;part;shift date;shift no;Good Parts\n7;\"A-100\";2026-12-08;2;\"1,500\"\n\n");
    QTest::newRow("tab") << QByteArray("Work Center\tItem\tDay\tShift\tQty\n7\tA-100\t20261208\t2\t1500\n");
}

void TestMonitorCounts::readsTheCommonForms()
{
    QFETCH(QByteArray, text);
    const MonitorCounts::File file = MonitorCounts::read(text, *m_options);
    QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
    QCOMPARE(file.rows.size(), 1);
    const MonitorCounts::Row &row = file.rows.first();
    QCOMPARE(row.machine, std::optional<int>(7));
    QCOMPARE(row.job, QString("A-100"));
    QVERIFY(row.dateShift && row.dateShift->date == kTuesday && row.dateShift->shift == 2);
    QCOMPARE(row.count, std::optional<qint64>(1500));
    QCOMPARE(row.number, 2);
}

void TestMonitorCounts::storedMappingWins()
{
    m_options->setValue("MonitorImport/CountColumn", "Net");
    const MonitorCounts::File file = MonitorCounts::read("Machine,Count,Net\n7,900,850\n", *m_options);
    QCOMPARE(file.rows.first().count, std::optional<qint64>(850));
}

void TestMonitorCounts::fileWithoutCountColumn()
{
    QCOMPARE(MonitorCounts::read("Machine,Weight\n7,12.5\n", *m_options).error,
             QString("The file has no column for the count (a header such as \"Count\" or \"Parts\")."));
    QCOMPARE(MonitorCounts::read("", *m_options).error, QString("The file is empty."));
}

void TestMonitorCounts::fillsOnlyEmptyCountsOfItsDateShift()
{
    const qint64 empty = Fixture::line(m_world->db, kTuesday, 2, 7, "A-100", 0, 0, 0);
    const qint64 typed = Fixture::line(m_world->db, kTuesday, 2, 8, "A-100", 0, 0, 1200);
    const qint64 same = Fixture::line(m_world->db, kTuesday, 2, 9, "B-200", 0, 0, 300);
    const qint64 otherShift = Fixture::line(m_world->db, kTuesday, 1, 7, "A-100", 0, 0, 0);
    const MonitorCounts::File file = MonitorCounts::read("Machine,Job,Date,Shift,Count\n"
                                                         "7,A-100,12/08/2026,2,1500\n"
                                                         "8,A-100,12/08/2026,2,1250\n"
                                                         "9,b-200,12/08/2026,2,300\n"
                                                         "7,A-100,12/08/2026,1,999\n"
                                                         "10,A-100,12/08/2026,2,40\n"
                                                         "7,C-300,12/08/2026,2,40\n",
                                                         *m_options);
    const MonitorCounts::Plan plan = MonitorCounts::plan(JobLines(m_world->db).of(kShift), kShift, file.rows);
    QCOMPARE(plan.describe(),
             (QStringList{"Machine 7, job A-100: Mattec Count 1500.",
                          "Machine 8, job A-100: the file says 1250, the Mattec Count typed is 1200.",
                          "Machine 9, job B-200: Mattec Count 300 as stored already.",
                          "Row 6 matches no line: 10,A-100,12/08/2026,2,40",
                          "Row 7 matches no line: 7,C-300,12/08/2026,2,40"}));
    QVERIFY(MonitorCounts::store(m_world->db, plan, false));
    QCOMPARE(matec(empty), 1500);
    QCOMPARE(matec(typed), 1200);
    QCOMPARE(matec(same), 300);
    QCOMPARE(matec(otherShift), 0);
    QVERIFY(MonitorCounts::store(m_world->db, plan, true) == false); // machine 7 holds 1500 now
    QCOMPARE(matec(typed), 1200);
}

void TestMonitorCounts::allOrNothing()
{
    const qint64 first = Fixture::line(m_world->db, kTuesday, 2, 7, "A-100");
    const qint64 second = Fixture::line(m_world->db, kTuesday, 2, 8, "A-100");
    const MonitorCounts::File file = MonitorCounts::read("Machine,Count\n7,100\n8,200\n", *m_options);
    const MonitorCounts::Plan plan = MonitorCounts::plan(JobLines(m_world->db).of(kShift), kShift, file.rows);
    // Another workstation types machine 8's count after the preview.
    m_world->db.exec("UPDATE \"Production Table\" SET \"Matec Count\" = 5 WHERE \"Job ID\" = :id",
                     {{"id", second}});
    QVERIFY(!MonitorCounts::store(m_world->db, plan, false));
    QCOMPARE(matec(first), 0);
    QCOMPARE(matec(second), 5);
}

QTEST_GUILESS_MAIN(TestMonitorCounts)
#include "test_monitorcounts.moc"
