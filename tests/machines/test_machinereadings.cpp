#include "TestSupport.h"

#include "machines/MachineReader.h"
#include "machines/MachineSimulator.h"
#include "machines/MachineStore.h"
#include "production/counts/CountsSheet.h"
#include "production/record/DatabaseCopy.h"
#include "production/record/ProductionSummaries.h"
#include "production/record/Schema.h"

#include <QSqlQuery>
#include <QtTest>

#include <thread>

using Fault = SimulatedMachine::Fault;
Q_DECLARE_METATYPE(SimulatedMachine::Fault)

namespace {
const QDate kTuesday(2026, 12, 8);
const DateShift kShift{kTuesday, 1};
const WaitSettings kWait{600, 5, 150};
} // namespace

// Counters read from simulated machines into a date-shift's Ending Counts, through the store of
// readings and the counts sheet, as the Read Counters button does it.
class TestMachineReadings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fillsOnlyWhatNoPersonTyped();
    void differingCountChangedOnlyWhenAsked();
    void misbehaviourStoresNoCount_data();
    void misbehaviourStoresNoCount();
    void twoWorkstationsReadOneMachineAtOnce();
    void connectionsAreKept();
    void olderDatabaseGetsTheTables();

private:
    // A connected machine on a folder of its own, played by the simulator.
    void connect(int machine, Fault fault = Fault::None, qint64 cycles = 1000);
    // Reads the shift's machines once as a workstation does, on db.
    CountsSheet::MachineResult readOnce(Database &db, bool changeDiffering = false);
    qint64 ending(qint64 jobId) const;
    qint64 readingRows(int machine) const;

    std::unique_ptr<DatabaseWorld> m_world;
    std::unique_ptr<QTemporaryDir> m_folders;
    QList<SimulatedMachine> m_machines;
    std::unique_ptr<SimulatedPlant> m_plant;
};

void TestMachineReadings::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{QStringLiteral("A-100")});
    m_world->clock.set(kTuesday, QTime(12, 0));
    m_folders = std::make_unique<QTemporaryDir>();
    m_machines.clear();
}

void TestMachineReadings::cleanup()
{
    m_plant.reset();
    m_world.reset();
    m_folders.reset();
}

void TestMachineReadings::connect(int machine, Fault fault, qint64 cycles)
{
    const QString folder = m_folders->filePath(QStringLiteral("M%1").arg(machine));
    QDir().mkpath(folder);
    SimulatedMachine played;
    played.folder = folder;
    played.machine = machine;
    played.fault = fault;
    played.cycles = cycles;
    m_machines << played;
    MachineLink link;
    link.machine = machine;
    link.folder = folder;
    MachineStore(m_world->db).save(link);
}

CountsSheet::MachineResult TestMachineReadings::readOnce(Database &db, bool changeDiffering)
{
    if (!m_plant)
        m_plant = std::make_unique<SimulatedPlant>(m_machines, 5);
    JobLines lines(db);
    ProductionSummaries summaries(m_world->session->classIds());
    CountsSheet sheet(summaries);
    sheet.setRights(EditRights::evaluate(QStringLiteral("C"), kShift, m_world->clock.now()));
    sheet.setLines(lines.of(kShift));
    QList<JobLine> shown;
    for (int row = 0; row < sheet.count(); ++row)
        shown << sheet.line(row);
    const QList<int> machines = MachineFill::machinesOf(shown);
    MachineStore store(db);
    const QList<CounterReading> readings =
        MachineReader(kWait).readAll(store.enabledOf(machines), store.latestMachineTimes(machines));
    store.keep(readings, kShift,
               {QStringLiteral("jdoe"), QStringLiteral("press-office"), m_world->clock.now()});
    return sheet.applyMachineFills(lines, MachineFill::plan(shown, MachineStore::countsOf(readings)),
                                   changeDiffering);
}

qint64 TestMachineReadings::ending(qint64 jobId) const
{
    return m_world->db
        .scalar(QStringLiteral("SELECT \"Ending Count\" FROM \"Production Table\" WHERE \"Job ID\" = :id"),
                {{QStringLiteral("id"), jobId}})
        .toLongLong();
}

qint64 TestMachineReadings::readingRows(int machine) const
{
    return m_world->db
        .scalar(
            QStringLiteral("SELECT count(*) FROM \"Machine Readings\" WHERE \"Machine Number\" = :machine"),
            {{QStringLiteral("machine"), machine}})
        .toLongLong();
}

void TestMachineReadings::fillsOnlyWhatNoPersonTyped()
{
    const auto line = [&](int machine, qint64 beginning, qint64 endingCount) {
        return Fixture::line(m_world->db, kTuesday, 1, machine, QStringLiteral("A-100"), beginning,
                             endingCount);
    };
    const qint64 empty = line(1, 1000, 0);
    const qint64 asBeginning = line(2, 2000, 2000);
    const qint64 typed = line(3, 1000, 2100);
    const qint64 reset = line(4, 1000, 0);
    const qint64 unconnected = line(5, 10, 0);
    // A machine that changed jobs in the shift: the earlier line ended at the change.
    const qint64 before = line(6, 100, 500);
    const qint64 after = line(6, 500, 0);
    for (int machine : {1, 2, 3, 6})
        connect(machine);
    connect(4, Fault::CounterDown);

    const CountsSheet::MachineResult result = readOnce(m_world->db);
    QCOMPARE(result.stored, 3);
    QCOMPARE(ending(empty), 2050);
    QCOMPARE(ending(asBeginning), 2050);
    QCOMPARE(ending(typed), 2100);
    QCOMPARE(ending(reset), 0);
    QCOMPARE(ending(unconnected), 0);
    QCOMPARE(ending(before), 500);
    QCOMPARE(ending(after), 2050);
    QCOMPARE(
        result.notStored,
        (QStringList{"Machine 3: the counter reads 2050, the Ending Count typed is 2100.",
                     "Machine 4: the counter reads 56, below the Beginning Count 1000 (was the machine's "
                     "counter reset?): the Ending Count was left as it is."}));
    // Every value read is kept, the reset machine's too: DATE, TIME and its four counters.
    QCOMPARE(readingRows(1), 6);
    QCOMPARE(readingRows(4), 6);
    QCOMPARE(readingRows(5), 0);
    QSqlQuery row = m_world->db.exec(
        QStringLiteral("SELECT \"Date\", \"Shift\", \"Value\", \"Read By\", \"Workstation\", \"Session "
                       "File\", \"Machine Time\" FROM "
                       "\"Machine Readings\" WHERE \"Machine Number\" = 1 AND \"Parameter\" = 'ActCntPrt'"));
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toString(), QString("2026-12-08"));
    QCOMPARE(row.value(1).toInt(), 1);
    QCOMPARE(row.value(2).toString(), QString("2050"));
    QCOMPARE(row.value(3).toString(), QString("jdoe"));
    QCOMPARE(row.value(4).toString(), QString("press-office"));
    QCOMPARE(row.value(5).toString(), QString("SESS0000.REQ"));
    QCOMPARE(row.value(6).toString().size(), 17);
}

void TestMachineReadings::differingCountChangedOnlyWhenAsked()
{
    const qint64 typed = Fixture::line(m_world->db, kTuesday, 1, 3, QStringLiteral("A-100"), 1000, 2100);
    connect(3);
    QCOMPARE(readOnce(m_world->db, true).stored, 1);
    QCOMPARE(ending(typed), 2050);
}

void TestMachineReadings::misbehaviourStoresNoCount_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<qint64>("rowsKept");
    QTest::newRow("no answer") << Fault::NoAnswer
                               << "Machine 8 did not answer within 1 s: is it switched on and is its session "
                                  "folder reachable?"
                               << qint64(0);
    QTest::newRow("offline")
        << Fault::Offline
        << "Machine 8 is offline (it says \"Machine offline\"): switch its interface on, "
           "then read it again."
        << qint64(0);
    QTest::newRow("unknown parameter")
        << Fault::UnknownParameter
        << "Machine 8 does not know a counter it was asked for (it says \"Unknown parameter ActCntCycRej\"): "
           "check the counter in Machine Connections."
        << qint64(0);
    const QString incomplete =
        "Machine 8 answered, but the file it wrote into its session folder is empty or "
        "incomplete: read it again; if this stays, check the machine's interface.";
    QTest::newRow("empty data file") << Fault::EmptyDataFile << incomplete << qint64(0);
    QTest::newRow("half data file") << Fault::HalfDataFile << incomplete << qint64(0);
    QTest::newRow("session refused")
        << Fault::SessionRefused
        << "Machine 8 refused the session request (it says \"Session number out of range\"): it may allow "
           "fewer "
           "sessions than are in use; remove old SESS files from its session folder."
        << qint64(0);
}

void TestMachineReadings::misbehaviourStoresNoCount()
{
    QFETCH(Fault, fault);
    QFETCH(QString, message);
    QFETCH(qint64, rowsKept);
    const qint64 jobId = Fixture::line(m_world->db, kTuesday, 1, 8, QStringLiteral("A-100"), 1000, 0);
    connect(8, fault);
    const CountsSheet::MachineResult result = readOnce(m_world->db);
    QCOMPARE(result.stored, 0);
    QCOMPARE(result.notStored, QStringList{message});
    QCOMPARE(ending(jobId), 0);
    QCOMPARE(readingRows(8), rowsKept);
}

void TestMachineReadings::twoWorkstationsReadOneMachineAtOnce()
{
    const qint64 jobId = Fixture::line(m_world->db, kTuesday, 1, 9, QStringLiteral("A-100"), 1000, 0);
    connect(9);
    m_plant = std::make_unique<SimulatedPlant>(m_machines, 5);
    CountsSheet::MachineResult here, there;
    // The other workstation: a connection of its own, made and used on its own thread.
    std::thread second([&] {
        Database other = m_world->openDatabase();
        there = readOnce(other);
    });
    here = readOnce(m_world->db);
    second.join();
    // Both readings are kept; one of them is the Ending Count, the other workstation is told.
    QCOMPARE(here.stored + there.stored, 1);
    QCOMPARE(readingRows(9), 12);
    const QStringList told = here.notStored + there.notStored;
    QCOMPARE(told.size(), 1);
    QVERIFY2(
        told.first().startsWith("Machine 9: the Ending Count was changed on another workstation meanwhile"),
        qPrintable(told.first()));
    QVERIFY(ending(jobId) == 2050 || ending(jobId) == 2100);
}

void TestMachineReadings::connectionsAreKept()
{
    MachineStore store(m_world->db);
    MachineLink link;
    link.machine = 12;
    link.folder = "/srv/machines/12";
    store.save(link);
    link.counter = "ActCntCyc";
    link.cavities = 4;
    link.enabled = false;
    store.save(link);
    const auto kept = store.link(12);
    QVERIFY(kept);
    QCOMPARE(kept->counter, QString("ActCntCyc"));
    QCOMPARE(kept->cavities, 4);
    QVERIFY(!kept->enabled);
    QVERIFY(store.enabledOf({12}).isEmpty());
    QVERIFY(store.remove(12));
    QVERIFY(!store.link(12));
}

void TestMachineReadings::olderDatabaseGetsTheTables()
{
    m_world->db.exec("DROP TABLE \"Machine Readings\"");
    m_world->db.exec("DROP TABLE \"Machine Connections\"");
    Schema::addMissingSavedQueries(m_world->db, {});
    QVERIFY(DatabaseCopy::hasTable(m_world->db, "Machine Readings"));
    connect(3);
    Fixture::line(m_world->db, kTuesday, 1, 3, "A-100", 0, 0);
    QCOMPARE(readOnce(m_world->db).stored, 1);
    QCOMPARE(readingRows(3), 6);
    // A database that has them is left as it is.
    Schema::addMissingSavedQueries(m_world->db, {});
    QCOMPARE(readingRows(3), 6);
}

QTEST_GUILESS_MAIN(TestMachineReadings)
#include "test_machinereadings.moc"
