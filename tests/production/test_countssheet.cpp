#include "TestSupport.h"

#include "production/counts/CountsSheet.h"
#include "production/record/ProductionSummaries.h"

#include <QtTest>

// The counts of a date-shift without their window: computed figures, count entry, edit rights,
// the rejects handed to the rejects window, and refreshing the lines.
class TestCountsSheet : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void computesFigures();
    void countEntry_data();
    void countEntry();
    void editRights_data();
    void editRights();
    void fillsRejectsByLine();
    void followHoldsBackTheLineTypedInto();
    void countChangedOnAnotherWorkstation_data();
    void countChangedOnAnotherWorkstation();

private:
    qint64 line(const DateShift &dateShift, int machine, qint64 beginning, qint64 ending, qint64 matec = 0);
    // The sheet on the date-shift's lines with the rights of the session's level now.
    void open(const DateShift &dateShift);
    qint64 stored(qint64 jobId, const char *field = "Ending Count") const;

    std::unique_ptr<DatabaseWorld> m_world;
    std::unique_ptr<JobLines> m_store;
    std::unique_ptr<ProductionSummaries> m_summaries;
    std::unique_ptr<CountsSheet> m_sheet;
};

namespace {
const QDate kMonday(2026, 12, 7);
const QDate kTuesday(2026, 12, 8);
} // namespace

void TestCountsSheet::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{QStringLiteral("A-100")});
    m_world->clock.set(kTuesday, QTime(12, 0));
    m_store = std::make_unique<JobLines>(m_world->db);
    m_summaries = std::make_unique<ProductionSummaries>(m_world->session->classIds());
    m_sheet = std::make_unique<CountsSheet>(*m_summaries);
}

void TestCountsSheet::cleanup()
{
    m_sheet.reset();
    m_summaries.reset();
    m_store.reset();
    m_world.reset();
}

qint64 TestCountsSheet::line(const DateShift &dateShift, int machine, qint64 beginning, qint64 ending,
                             qint64 matec)
{
    return Fixture::line(m_world->db, dateShift.date, dateShift.shift, machine, QStringLiteral("A-100"),
                         beginning, ending, matec);
}

void TestCountsSheet::open(const DateShift &dateShift)
{
    m_summaries->fill(m_world->db, dateShift);
    m_sheet->setRights(
        EditRights::evaluate(m_world->session->securityLevel, dateShift, m_world->clock.now()));
    m_sheet->setLines(m_store->of(dateShift));
}

qint64 TestCountsSheet::stored(qint64 jobId, const char *field) const
{
    return m_world->db
        .scalar(QStringLiteral("SELECT \"%1\" FROM \"Production Table\" WHERE \"Job ID\" = :id").arg(field),
                {{QStringLiteral("id"), jobId}})
        .toLongLong();
}

void TestCountsSheet::computesFigures()
{
    const qint64 full = line({kTuesday, 1}, 1, 1000, 1500, 560);
    line({kTuesday, 1}, 2, 1000, 0);
    const qint64 earlier = line({kMonday, 3}, 1, 0, 0);
    Fixture::transfer(m_world->db, full, 1, 20);
    Fixture::hold(m_world->db, full, 7, 30);
    Fixture::distribution(m_world->db, Fixture::hold(m_world->db, earlier, 8, 10), full, 10);
    open({kTuesday, 1});
    const LineFigures &figures = m_sheet->figures(0);
    QCOMPARE(figures.transfers, 20);
    QCOMPARE(figures.toHold, 30);
    QCOMPARE(figures.fromRework, 10);
    QCOMPARE(figures.netFinishedGoods, 520);
    QCOMPARE(figures.rejects, 20);
    // No ending count typed yet: net finished goods is minus the beginning count.
    QCOMPARE(m_sheet->figures(1).transfers, 0);
    QCOMPARE(m_sheet->figures(1).netFinishedGoods, -1000);
    QCOMPARE(m_sheet->rowOf(full), 0);
    QCOMPARE(m_sheet->rowOf(earlier), -1);
}

void TestCountsSheet::countEntry_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("expected");
    QTest::addColumn<QString>("message");
    const int ending = int(CountField::Ending), mattec = int(CountField::Mattec);
    QTest::newRow("sum") << ending << "1200+350" << qint64(1550) << "";
    QTest::newRow("negative") << ending << "100-200" << qint64(40)
                              << "There is no possible way you could have a negative Ending Count!";
    QTest::newRow("beyond a count") << ending << "4000000000" << qint64(40) << "too large";
    QTest::newRow("idle machine") << ending << "0" << qint64(0) << "";
    QTest::newRow("not a count")
        << ending << "5 x 3" << qint64(40)
        << "\u201C5 x 3\u201D is not a count. Type digits, with + - * between numbers "
           "(for example 1200+350).";
    QTest::newRow("mattec not a count") << mattec << "abc" << qint64(40) << "is not a count";
    QTest::newRow("mattec evaluated") << mattec << "500+60" << qint64(560) << "";
    QTest::newRow("mattec negative") << mattec << "-5" << qint64(40)
                                     << "There is no possible way you could have a negative Mattec Count!";
}

void TestCountsSheet::countEntry()
{
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(qint64, expected);
    QFETCH(QString, message);
    const qint64 id = line({kTuesday, 1}, 1, 0, 40, 40);
    open({kTuesday, 1});
    const CountsSheet::Entry entry = m_sheet->enter(*m_store, 0, CountField(field), typed);
    QCOMPARE(entry.stored, message.isEmpty());
    QVERIFY(entry.message.contains(message));
    const bool ending = CountField(field) == CountField::Ending;
    QCOMPARE(stored(id, ending ? "Ending Count" : "Matec Count"), expected);
    QCOMPARE(ending ? m_sheet->line(0).endingCount : m_sheet->line(0).matecCount, expected);
    // The figures follow the stored count at once.
    QCOMPARE(m_sheet->figures(0).netFinishedGoods, m_sheet->line(0).endingCount);
}

void TestCountsSheet::editRights_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("protect");
    QTest::addColumn<bool>("ending");
    QTest::addColumn<bool>("beginning");
    // The date-shift is shift 3 of yesterday.
    QTest::newRow("A at 08:30") << "A" << QTime(8, 30) << false << true << false;
    QTest::newRow("A at 12:00") << "A" << QTime(12, 0) << false << false << false;
    QTest::newRow("C at 12:00") << "C" << QTime(12, 0) << false << true << true;
    QTest::newRow("protected: read-only even for C") << "C" << QTime(12, 0) << true << false << false;
}

void TestCountsSheet::editRights()
{
    QFETCH(QString, level);
    QFETCH(QTime, time);
    QFETCH(bool, protect);
    QFETCH(bool, ending);
    QFETCH(bool, beginning);
    m_world->session->securityLevel = level;
    m_world->clock.set(kTuesday, time);
    const qint64 id = line({kMonday, 3}, 1, 0, 40);
    if (protect)
        Fixture::protect(m_world->db, kMonday, 3);
    open({kMonday, 3});
    QCOMPARE(m_sheet->mayEdit(0, CountField::Beginning), beginning);
    QCOMPARE(m_sheet->mayEdit(0, CountField::Ending), ending);
    QCOMPARE(m_sheet->mayEdit(0, CountField::Mattec), ending);
    // A window that may not change the counts posts nothing to the next shift either.
    QCOMPARE(m_sheet->mayPost(), ending);
    QCOMPARE(m_sheet->enter(*m_store, 0, CountField::Ending, "500").stored, ending);
    QCOMPARE(stored(id), ending ? 500 : 40);
}

void TestCountsSheet::fillsRejectsByLine()
{
    const qint64 a = line({kTuesday, 1}, 1, 1000, 1500, 560);
    const qint64 b = line({kTuesday, 1}, 2, 0, 100, 130);
    QMap<QString, qint32> rejectsByLine{{QStringLiteral("4711"), 3}};
    open({kTuesday, 1});
    m_sheet->fillRejectsByLine(rejectsByLine);
    const QMap<QString, qint32> expected{{QString::number(a), 60}, {QString::number(b), 30}};
    QCOMPARE(rejectsByLine, expected);
}

void TestCountsSheet::followHoldsBackTheLineTypedInto()
{
    const qint64 first = line({kTuesday, 1}, 1, 0, 10);
    const qint64 second = line({kTuesday, 1}, 2, 0, 20);
    open({kTuesday, 1});
    // Another workstation types a count on each line and adds a line, while this one types into
    // the first line's Ending Count.
    m_world->db.exec(
        QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = \"Ending Count\" + 900"));
    const qint64 third = line({kTuesday, 1}, 3, 0, 0);
    QVERIFY(m_sheet->follow(m_store->of({kTuesday, 1}), first));
    QCOMPARE(m_sheet->jobIds(), (QList<qint64>{first, second, third}));
    QCOMPARE(m_sheet->line(1).endingCount, 920);
    QCOMPARE(m_sheet->figures(1).netFinishedGoods, 920);
    QCOMPARE(m_sheet->line(0).endingCount, 10);
    // ... so that its save still finds the change made meanwhile, and says so.
    const CountsSheet::Entry entry = m_sheet->enter(*m_store, 0, CountField::Ending, QStringLiteral("15"));
    QVERIFY(!entry.stored);
    QVERIFY(entry.message.contains(QStringLiteral("changed on another workstation")));
    QCOMPARE(m_sheet->line(0).endingCount, 910);
    // Nothing held back: the next re-read has nothing to catch up on; a line deleted elsewhere goes.
    m_world->db.exec(QStringLiteral("DELETE FROM \"Production Table\" WHERE \"Job ID\" = :id"),
                     {{QStringLiteral("id"), second}});
    QVERIFY(!m_sheet->follow(m_store->of({kTuesday, 1}), first));
    QCOMPARE(m_sheet->jobIds(), (QList<qint64>{first, third}));
}

void TestCountsSheet::countChangedOnAnotherWorkstation_data()
{
    QTest::addColumn<QString>("elsewhere"); // what the other workstation does after both read
    QTest::addColumn<qint64>("ending");     // the stored ending count afterwards
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing") << "" << qint64(500) << "";
    QTest::newRow("typed the ending count") << "ending" << qint64(777) << "it now reads 777";
    QTest::newRow("typed the Mattec count") << "mattec" << qint64(500) << "";
    QTest::newRow("protected the shift") << "protect" << qint64(40) << "protected or removed meanwhile";
}

void TestCountsSheet::countChangedOnAnotherWorkstation()
{
    QFETCH(QString, elsewhere);
    QFETCH(qint64, ending);
    QFETCH(QString, message);
    const qint64 id = line({kTuesday, 1}, 1, 0, 40, 40);
    open({kTuesday, 1});
    Database other = m_world->openDatabase();
    JobLines otherStore(other);
    if (elsewhere == QLatin1String("ending"))
        QVERIFY(otherStore.setCount(id, CountField::Ending, 777, 40));
    else if (elsewhere == QLatin1String("mattec"))
        QVERIFY(otherStore.setCount(id, CountField::Mattec, 90, 40));
    else if (elsewhere == QLatin1String("protect"))
        Fixture::protect(other, kTuesday, 1);

    const CountsSheet::Entry entry = m_sheet->enter(*m_store, 0, CountField::Ending, "500");
    QCOMPARE(entry.stored, message.isEmpty());
    QVERIFY(entry.message.contains(message));
    QCOMPARE(stored(id), ending);
    QCOMPARE(stored(id, "Matec Count"), elsewhere == QLatin1String("mattec") ? 90 : 40);
    // The sheet shows what is stored now.
    QCOMPARE(m_sheet->line(0).endingCount, ending);
    QCOMPARE(m_sheet->mayEdit(0, CountField::Ending), elsewhere != QLatin1String("protect"));
    QCOMPARE(entry.protectionMet, elsewhere == QLatin1String("protect")); // the window reads it again
}

QTEST_MAIN(TestCountsSheet)
#include "test_countssheet.moc"
