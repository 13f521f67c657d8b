#include "ServerPlant.h"
#include "TestSupport.h"

#include "foundation/Database.h"
#include "foundation/ServerAddress.h"
#include "production/tickets/TicketSheet.h"
#include "sharing/ServerPresence.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QtTest>
#include <unistd.h>

// The connection to a PostgreSQL server: statements kept and used again on it, and a server that
// goes away under an open connection (restarted here, so this test runs alone).
class TestServerConnection : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void statementsAreKeptPerText();
    void aWriterThatWaitsOutTheLockGoesOn();
    void restartOutsideTransaction();
    void restartInsideTransaction();
    void readOnlyConnectionStaysReadOnlyAfterRestart();
    void ticketEntryAcrossARestart();
    void presenceIsTakenAgainAfterARestart();

private:
    static QString server() { return qEnvironmentVariable("KELVARA_TEST_SERVER"); }
    QString uri() const { return m_plant->uri(); }
    // Restarts the test server (fast: every session ends, its open transaction lost).
    void restartServer();
    static QStringList jobs(QSqlQuery &&query);
    static int count(const Database &db, const QString &where = QStringLiteral("TRUE"))
    {
        return db.scalar(QStringLiteral("SELECT count(*) FROM \"Job Lookup Table\" WHERE ") + where).toInt();
    }
    static void expectLost(const std::function<void()> &action);

    std::unique_ptr<ServerPlant> m_plant;
};

void TestServerConnection::init()
{
    if (server().isEmpty())
        QSKIP("KELVARA_TEST_SERVER is not set: no PostgreSQL server to test on (scripts/test-server.sh "
              "starts one).");
    m_plant = std::make_unique<ServerPlant>(QStringLiteral("connection"));
    Database db = Database::createFile(uri());
    db.exec(QStringLiteral("CREATE TABLE \"Job Lookup Table\" (\"Job Number\" TEXT PRIMARY KEY, "
                           "\"Active\" INTEGER)"));
    for (const char *job : {"A-1", "B-2", "C-3"})
        db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES (:job, :on)"),
                {{QStringLiteral("job"), QString::fromLatin1(job)},
                 {QStringLiteral("on"), job[0] == 'A' ? 0 : 1}});
}

void TestServerConnection::cleanup()
{
    if (!m_plant)
        return;
    m_plant.reset();
    QCOMPARE(QSqlDatabase::connectionNames().size(), 0);
}

void TestServerConnection::restartServer()
{
    QString dataDir;
    {
        const Database db = Database::open(server());
        dataDir = db.scalar(QStringLiteral("SHOW data_directory")).toString();
    }
    QStringList command{
        QDir(qEnvironmentVariable("KELVARA_TEST_SERVER_BIN")).filePath(QStringLiteral("pg_ctl")),
        QStringLiteral("restart"),
        QStringLiteral("-m"),
        QStringLiteral("fast"),
        QStringLiteral("-w"),
        QStringLiteral("-D"),
        dataDir,
        QStringLiteral("-l"),
        QFileInfo(dataDir).absolutePath() + QStringLiteral("/restart.log")};
    // The server refuses to run as root: it belongs to the postgres account then.
    if (geteuid() == 0)
        command =
            QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} + command;
    QProcess pgCtl;
    pgCtl.setStandardOutputFile(QProcess::nullDevice());
    pgCtl.setStandardErrorFile(QProcess::nullDevice());
    pgCtl.start(geteuid() == 0 ? QStringLiteral("runuser") : command.takeFirst(), command);
    QVERIFY(pgCtl.waitForFinished(60000));
    QCOMPARE(pgCtl.exitCode(), 0);
}

QStringList TestServerConnection::jobs(QSqlQuery &&query)
{
    QStringList seen;
    while (query.next())
        seen << query.value(0).toString();
    return seen;
}

void TestServerConnection::expectLost(const std::function<void()> &action)
{
    try {
        action();
        QFAIL("the statement worked on a connection the server dropped");
    } catch (const DatabaseError &error) {
        QCOMPARE(error.number(), DbErrors::FileNotFound);
        QCOMPARE(error.description(),
                 QStringLiteral("The connection to the database server was lost. Try again: the next step "
                                "connects anew."));
    }
}

void TestServerConnection::statementsAreKeptPerText()
{
    Database db = Database::open(uri());
    const QString select =
        QStringLiteral("SELECT \"Job Number\" FROM \"Job Lookup Table\" WHERE \"Active\" = :on ORDER BY 1");
    const QString kept = QStringLiteral("SELECT count(*) FROM pg_prepared_statements WHERE statement LIKE "
                                        "'%Job Lookup Table%'");
    for (int i = 0; i < 3; ++i)
        QCOMPARE(jobs(db.exec(select, {{QStringLiteral("on"), 1}})), QStringList({"B-2", "C-3"}));
    QCOMPARE(db.scalar(kept).toInt(), 1);
    // Rows still held when the same text runs again keep their own values.
    QSqlQuery active = db.exec(select, {{QStringLiteral("on"), 1}});
    QVERIFY(active.next());
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QSqlQuery copy = active; // a copy shares the rows
    QT_WARNING_POP
    QCOMPARE(jobs(db.exec(select, {{QStringLiteral("on"), 0}})), QStringList({"A-1"}));
    QCOMPARE(db.scalar(kept).toInt(), 2);
    QCOMPARE(active.value(QStringLiteral("Job Number")).toString(), QStringLiteral("B-2"));
    QVERIFY(copy.last());
    QCOMPARE(copy.value(0).toString(), QStringLiteral("C-3"));
    QVERIFY(active.first());
    QCOMPARE(active.value(0).toString(), QStringLiteral("B-2"));
    QCOMPARE(active.size(), 2);
    // Only once the last copy goes is its statement used again.
    active = QSqlQuery();
    QCOMPARE(jobs(db.exec(select, {{QStringLiteral("on"), 0}})), QStringList({"A-1"}));
    QCOMPARE(db.scalar(kept).toInt(), 2);
    copy = QSqlQuery();
    QCOMPARE(jobs(db.exec(select, {{QStringLiteral("on"), 1}})), QStringList({"B-2", "C-3"}));
    QCOMPARE(db.scalar(kept).toInt(), 2);
    // A change to the tables lets the kept statements go: they may no longer fit. One busy
    // meanwhile goes when its rows are let go.
    QSqlQuery busy = db.exec(select, {{QStringLiteral("on"), 1}});
    db.exec(QStringLiteral("ALTER TABLE \"Job Lookup Table\" ADD COLUMN \"Note\" TEXT"));
    QCOMPARE(db.scalar(kept).toInt(), 1);
    busy = QSqlQuery();
    QCOMPARE(db.scalar(kept).toInt(), 0);
    QCOMPARE(db.exec(QStringLiteral("UPDATE \"Job Lookup Table\" SET \"Active\" = :on WHERE \"Active\" = 0"),
                     {{QStringLiteral("on"), 1}})
                 .numRowsAffected(),
             1);
}

// A write transaction begins and takes the write lock in one round trip. One that waits out the lock
// another workstation holds is told so, and its connection is left with no transaction, failed or
// open: its next read and its next write go through.
void TestServerConnection::aWriterThatWaitsOutTheLockGoesOn()
{
    Database holder = Database::open(uri());
    Database waiter = Database::open(uri());
    auto held = std::make_unique<Transaction>(holder);
    const auto error = errorOf<DatabaseError>([&] { Transaction waiting(waiter); });
    QVERIFY2(error, "two writers held the write lock at once");
    QCOMPARE(error->number(), DbErrors::Locked);
    held.reset();
    QCOMPARE(count(waiter), 3);
    {
        Transaction transaction(waiter);
        waiter.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('D-4', 1)"));
        transaction.commit();
    }
    QCOMPARE(count(holder), 4);
}

void TestServerConnection::restartOutsideTransaction()
{
    Database db = Database::open(uri());
    const QString select =
        QStringLiteral("SELECT \"Job Number\" FROM \"Job Lookup Table\" WHERE \"Active\" = :on");
    QSqlQuery held = db.exec(select, {{QStringLiteral("on"), 0}});
    restartServer();
    // The first statement finds the connection gone and says so; the rows held stay readable.
    expectLost([&] { db.exec(select, {{QStringLiteral("on"), 1}}); });
    QCOMPARE(jobs(std::move(held)), QStringList({"A-1"}));
    // The next one opens the connection again, and kept statements are prepared there anew.
    QCOMPARE(jobs(db.exec(select, {{QStringLiteral("on"), 0}})), QStringList({"A-1"}));
    held = QSqlQuery();
    db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES (:job, 1)"),
            {{QStringLiteral("job"), QStringLiteral("D-4")}});
    QCOMPARE(count(db), 4);
}

void TestServerConnection::restartInsideTransaction()
{
    Database db = Database::open(uri());
    const QString insert = QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES (:job, 1)");
    {
        // A write found the drop: the transaction fails, and its rollback says nothing more.
        Transaction transaction(db);
        db.exec(insert, {{QStringLiteral("job"), QStringLiteral("D-4")}});
        restartServer();
        expectLost([&] { db.exec(insert, {{QStringLiteral("job"), QStringLiteral("E-5")}}); });
        // No statement of the transaction runs on a new connection, as if nothing had happened.
        expectLost([&] { db.exec(insert, {{QStringLiteral("job"), QStringLiteral("F-6")}}); });
        expectLost([&] { transaction.commit(); });
    }
    QCOMPARE(count(db), 3);
    {
        // The commit found the drop.
        Transaction transaction(db);
        db.exec(insert, {{QStringLiteral("job"), QStringLiteral("G-7")}});
        restartServer();
        expectLost([&] { transaction.commit(); });
    }
    QCOMPARE(count(db), 3);
    {
        // The rollback found the drop: nothing to undo is no failure.
        Transaction transaction(db);
        db.exec(insert, {{QStringLiteral("job"), QStringLiteral("H-8")}});
        restartServer();
        db.rollback();
    }
    QCOMPARE(count(db, QStringLiteral("\"Job Number\" >= 'D'")), 0);
    // A transaction begun by a statement of its own (a snapshot read) is no different.
    db.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    QCOMPARE(count(db), 3);
    restartServer();
    expectLost([&] { count(db); });
    expectLost([&] { count(db); });
    db.exec(QStringLiteral("ROLLBACK"));
    // And a transaction begun after the drop works as any.
    Transaction transaction(db);
    db.exec(insert, {{QStringLiteral("job"), QStringLiteral("J-9")}});
    transaction.commit();
    QCOMPARE(count(db), 4);
}

void TestServerConnection::readOnlyConnectionStaysReadOnlyAfterRestart()
{
    Database db = Database::open(uri(), Database::ReadOnly);
    restartServer();
    expectLost([&] { count(db); });
    QCOMPARE(count(db), 3);
    try {
        db.exec(QStringLiteral("DELETE FROM \"Job Lookup Table\""));
        QFAIL("a read-only connection wrote after it was opened again");
    } catch (const DatabaseError &error) {
        QCOMPARE(error.number(), DbErrors::ReadOnly);
    }
}

void TestServerConnection::ticketEntryAcrossARestart()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("A-100")});
    const QDate monday(2026, 12, 7);
    Fixture::transfer(world.db, Fixture::line(world.db, monday, 2, 3, QStringLiteral("A-100")), 1, 10);
    TicketSheet sheet(world.db, TicketKind::transfers());
    sheet.load({monday, 2});
    restartServer();
    // The entry is not stored; the user reads why, and the text stays in its cell for the next try.
    const EntryResult failed = sheet.setQuantity(0, QStringLiteral("70"));
    QVERIFY(!failed.stored);
    QVERIFY(failed.keepText);
    QVERIFY2(failed.message.contains(QStringLiteral("connection to the database server was lost")),
             qPrintable(failed.message));
    QVERIFY(sheet.setQuantity(0, QStringLiteral("70")).stored);
    QCOMPARE(world.db.scalar(QStringLiteral("SELECT \"Transfer Quantity\" FROM \"Transfer Table\"")).toInt(),
             70);
}

QTEST_GUILESS_MAIN(TestServerConnection)
// The restart lets every copy's presence lock go: until a copy takes it again, a Database command
// elsewhere would find the plant free while the copy is in.
void TestServerConnection::presenceIsTakenAgainAfterARestart()
{
    ServerPresence present, other;
    QVERIFY(present.holdShared(uri()));
    QVERIFY(present.keepHeld());
    QVERIFY(!other.tryExclusive(uri()));
    restartServer();
    QVERIFY(present.keepHeld());
    QVERIFY2(!other.tryExclusive(uri()), "another copy got the plant to itself while this one is in");
    present.release();
    QVERIFY(other.tryExclusive(uri()));
    other.releaseExclusive();
}

#include "test_serverconnection.moc"
