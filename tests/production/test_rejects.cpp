#include "TestSupport.h"

#include "production/record/GridStyles.h"
#include "production/record/QuantityFormat.h"
#include "production/rejects/RejectsSheet.h"

#include <QBrush>
#include <QtTest>

// Rejects by reason: which lines, what is left to assign and its style, reason entry,
// protection and a reason changed on another workstation.
class TestRejects : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listsProductionMachinesOnly();
    void totalLeftAndItsStyle_data();
    void totalLeftAndItsStyle();
    void reasonEntry_data();
    void reasonEntry();
    void protectedLineIsReadOnly();
    void reasonChangedElsewhereIsReadAgain();

private:
    RejectsSheet &load()
    {
        m_sheet = std::make_unique<RejectsSheet>(m_world->db);
        m_sheet->load({kMonday, 1}, {{QString::number(m_line), 20}});
        return *m_sheet;
    }
    qint64 stored(int reason) const
    {
        return m_world->db
            .scalar(
                QStringLiteral("SELECT \"RejectReason%1\" FROM \"Production Table\" WHERE \"Job ID\" = %2")
                    .arg(reason)
                    .arg(m_line))
            .toLongLong();
    }

    std::unique_ptr<DatabaseWorld> m_world;
    std::unique_ptr<RejectsSheet> m_sheet;
    qint64 m_line = 0;
    qint64 m_unlisted = 0;

    static inline const QDate kMonday{2026, 12, 7};
};

void TestRejects::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{QStringLiteral("A-100")});
    Fixture::line(m_world->db, kMonday, 1, 100, QStringLiteral("A-100")); // not a production machine
    m_unlisted = Fixture::line(m_world->db, kMonday, 1, 12, QStringLiteral("A-100"));
    m_line = Fixture::line(m_world->db, kMonday, 1, 3, QStringLiteral("A-100"));
    Fixture::line(m_world->db, kMonday, 2, 3, QStringLiteral("A-100"));
}

void TestRejects::cleanup()
{
    m_sheet.reset();
    m_world.reset();
}

void TestRejects::listsProductionMachinesOnly()
{
    RejectsSheet &sheet = load();
    QCOMPARE(sheet.count(), 2);
    QCOMPARE(sheet.line(0).jobId, m_line);
    QCOMPARE(sheet.line(1).jobId, m_unlisted);
    QCOMPARE(sheet.rejects(0), 20);
    // A line the counts window gave no figure (added elsewhere meanwhile) has none.
    QCOMPARE(sheet.rejects(1), 0);
    QCOMPARE(sheet.totalLeft(1), 0);
}

void TestRejects::totalLeftAndItsStyle_data()
{
    QTest::addColumn<QStringList>("entries"); // "reason=value"
    QTest::addColumn<QString>("left");
    QTest::addColumn<int>("style");
    using S = GridStyles::Style;
    QTest::newRow("all assigned") << QStringList{"1=5", "4=15"} << "0" << int(S::Zero);
    QTest::newRow("some left") << QStringList{"1=5"} << "15" << int(S::Negative);
    QTest::newRow("too many") << QStringList{"1=5", "4=15", "10=5"} << "-5" << int(S::Negative);
    QTest::newRow("thousands") << QStringList{"2=1020"} << "-1,000" << int(S::Negative);
}

void TestRejects::totalLeftAndItsStyle()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, left);
    QFETCH(int, style);
    RejectsSheet &sheet = load();
    for (const QString &entry : entries)
        QVERIFY(sheet.setReason(0, entry.section('=', 0, 0).toInt(), entry.section('=', 1)).stored);
    const QString text = QuantityFormat::grouped(sheet.totalLeft(0), false);
    QCOMPARE(text, left);
    QCOMPARE(int(GridStyles::of(text, true)), style);
    // the grid colours the styled cell by its text, whether or not its line may be changed
    const GridStyles::LineCell cell{false, true, true, true};
    QCOMPARE(GridStyles::look(Qt::BackgroundRole, cell, text),
             GridStyles::background(GridStyles::Style(style)));
    QCOMPARE(GridStyles::look(Qt::ForegroundRole, cell, text),
             GridStyles::foreground(GridStyles::Style(style)));
    load();
    QCOMPARE(QuantityFormat::grouped(m_sheet->totalLeft(0), false), left);
}

void TestRejects::reasonEntry_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<qint64>("value");
    QTest::newRow("sum") << 6 << "3+4" << true << qint64(7);
    QTest::newRow("empty is 0") << 6 << "" << true << qint64(0);
    QTest::newRow("negative") << 6 << "3-4" << false << qint64(2);
    QTest::newRow("beyond a count") << 6 << "2147483648" << false << qint64(2);
    QTest::newRow("first reason") << 1 << "5" << true << qint64(5);
    QTest::newRow("Other (10) chosen directly") << 10 << "5" << true << qint64(5);
}

void TestRejects::reasonEntry()
{
    QFETCH(int, reason);
    QFETCH(QString, typed);
    QFETCH(bool, stored);
    QFETCH(qint64, value);
    RejectsSheet &sheet = load();
    QVERIFY(sheet.setReason(0, reason, QStringLiteral("2")).stored);
    const EntryResult result = sheet.setReason(0, reason, typed);
    QCOMPARE(result.stored, stored);
    QCOMPARE(result.message.isEmpty(), stored);
    QCOMPARE(this->stored(reason), value);
    QCOMPARE(sheet.line(0).reasons[size_t(reason - 1)], value);
    // no other reason of the line moved
    qint64 others = 0;
    for (int other = 1; other <= 10; ++other)
        others += other == reason ? 0 : this->stored(other);
    QCOMPARE(others, 0);
}

void TestRejects::protectedLineIsReadOnly()
{
    Fixture::protect(m_world->db, kMonday, 1);
    RejectsSheet &sheet = load();
    QVERIFY(!sheet.mayEdit(0));
    QVERIFY(!sheet.setReason(0, 1, QStringLiteral("5")).stored);
    QCOMPARE(stored(1), 0);
    // its figures are gray in the grid, and stand right of the job and description
    const GridStyles::LineCell figure{false, false, true, true};
    QCOMPARE(GridStyles::look(Qt::ForegroundRole, figure, {}).value<QBrush>().color(), QColor(Qt::darkGray));
    QCOMPARE(GridStyles::look(Qt::TextAlignmentRole, figure, {}),
             QVariant(Qt::AlignRight | Qt::AlignVCenter));
    QVERIFY(!GridStyles::look(Qt::ForegroundRole, {false, false, true, false}, {}).isValid());
}

void TestRejects::reasonChangedElsewhereIsReadAgain()
{
    RejectsSheet &sheet = load();
    // The disposition window books 5 "Other" onto the line meanwhile.
    m_world->db.exec(
        QStringLiteral("UPDATE \"Production Table\" SET \"RejectReason10\" = 5 WHERE \"Job ID\" = %1")
            .arg(m_line));
    const EntryResult result = sheet.setReason(0, 10, QStringLiteral("3"));
    QVERIFY(!result.stored);
    QCOMPARE(stored(10), 5);
    QCOMPARE(sheet.line(0).reasons[9], 5);
    QCOMPARE(sheet.totalLeft(0), 15);
    // Other reasons of the line are still written.
    QVERIFY(sheet.setReason(0, 2, QStringLiteral("4")).stored);
    QCOMPARE(stored(2), 4);
}

QTEST_GUILESS_MAIN(TestRejects)
#include "test_rejects.moc"
