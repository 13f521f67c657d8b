#include "OtherProcess.h"
#include "TestSupport.h"

#include "production/record/Schema.h"
#include "reports/ReportCatalog.h"
#include "sharing/DatabaseRepair.h"
#include "sharing/LockFile.h"
#include "shell/StartupSequence.h"

#include <QDir>
#include <QFile>
#include <QtTest>

// The start-up sequence on its own, without windows: lock file, opening, repair, login, greeting
// and the latest production date.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void lockFile_data();
    void lockFile();
    void lockOfAnotherWorkstationIsSeen();
    void staleLockThatStaysIsToldOnce();
    void partOfDay_data();
    void partOfDay();
    void greetsTheUser();
    void login_data();
    void login();
    void unknownLevelIsRefused_data();
    void unknownLevelIsRefused();
    void latestProductionDate_data();
    void latestProductionDate();
    void missingDatabaseEnds();
    void lockedDatabaseIsRetried();
    void damagedDatabaseRepaired();
    void damagedDatabaseAnsweredNo();
    void damageFoundAtLoginIsRepaired();
    void failedRepairAsksAgain();
    void lostAuthorizedUsersAreExplained();
};

namespace {
struct Run
{
    StartupSequence::Outcome outcome;
    QString greeting;
    QStringList levels;
    int loggedIn = 0;
    int exitCode = 0;
};

Run runStartup(TestWorld &world)
{
    Run run;
    StartupHooks hooks;
    hooks.applyMenuRights = [&](const QString &level) { run.levels << level; };
    hooks.loggedIn = [&] { ++run.loggedIn; };
    hooks.showGreeting = [&](const QString &text) { run.greeting = text; };
    hooks.pause = [](int) {};
    StartupSequence startup(*world.session, hooks);
    run.outcome = startup.run();
    run.exitCode = startup.exitCode();
    return run;
}

QStringList damagedCopies(const TestWorld &world)
{
    return QDir(world.root()).entryList({QStringLiteral("QUORVEL.MDB.damaged-*")}, QDir::Files);
}
} // namespace

void TestStartup::lockFile_data()
{
    QTest::addColumn<QByteArray>("lock");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<bool>("lockRemains");

    const QByteArray threeMinutes("2026-12-08 08:57:00\r\nJane Doe\r\nBackup\r\n");
    QTest::newRow("3 minutes old, Yes") << threeMinutes << MsgAnswer::Yes << true << true << true;
    QTest::newRow("3 minutes old, No") << threeMinutes << MsgAnswer::No << true << false << true;
    QTest::newRow("3 minutes ahead counts the same")
        << QByteArray("2026-12-08 09:03:00\r\nJane Doe\r\nBackup\r\n") << MsgAnswer::No << true << false
        << true;
    QTest::newRow("6 minutes old: stale, removed")
        << QByteArray("2026-12-08 08:54:00\r\nJane Doe\r\nBackup\r\n") << MsgAnswer::No << false << true
        << false;
    QTest::newRow("garbage counts as absent")
        << QByteArray("no date here\r\n\r\n") << MsgAnswer::No << false << true << true;
}

void TestStartup::lockFile()
{
    FILE_DATABASE_ONLY("db.lok beside the file");
    QFETCH(QByteArray, lock);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, asked);
    TestWorld world;
    world.createDatabase();
    world.clock.set(QDate(2026, 12, 8), QTime(9, 0));
    const QString lockPath = world.paths->inProgramFolder(QStringLiteral("db.lok"));
    QVERIFY(writeFile(lockPath, lock));
    world.prompter.script({answer});

    const Run run = runStartup(world);

    QTEST(run.outcome == StartupSequence::Outcome::Ready, "ready");
    QTEST(QFile::exists(lockPath), "lockRemains");
    QCOMPARE(world.prompter.titles().contains(QStringLiteral("Database in Use")), asked);
    if (asked) {
        QCOMPARE(world.prompter.messages().first().buttons, MsgButtons::YesNo);
        QCOMPARE(world.prompter.messages().first().icon, MsgIcon::Question);
    }
    if (run.outcome == StartupSequence::Outcome::Ended) {
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.loggedIn, 0);
    }
}

void TestStartup::lockOfAnotherWorkstationIsSeen()
{
    FILE_DATABASE_ONLY("db.lok beside the file");
    // The other workstation runs from another program folder, in another working folder.
    TestWorld world;
    const QString database = world.createDatabase();
    QTemporaryDir otherRoot;
    OtherProcess other(QStringLiteral(WORKSTATION), {database, QStringLiteral("Sam Shiftlead")},
                       otherRoot.path());
    QCOMPARE(other.readLine(), QStringLiteral("in"));
    QCOMPARE(other.ask("lock"), QStringLiteral("locked"));
    // Written at 09:00 by the other's clock: half an hour old, but its command still runs.
    world.clock.set(QDate(2026, 12, 8), QTime(9, 30));
    world.prompter.script({MsgAnswer::No});

    const Run run = runStartup(world);

    QCOMPARE(run.outcome, StartupSequence::Outcome::Ended);
    QCOMPARE(world.prompter.titles(), QStringList{LockFile::questionTitle()});
    QVERIFY(world.prompter.messages().first().text.contains(QStringLiteral("Sam Shiftlead")));
    QVERIFY(QFile::exists(QFileInfo(database).dir().filePath(QStringLiteral("db.lok"))));
    QCOMPARE(other.finish(), 0);
}

void TestStartup::staleLockThatStaysIsToldOnce()
{
    FILE_DATABASE_ONLY("db.lok beside the file");
    TestWorld world;
    world.createDatabase();
    world.clock.set(QDate(2026, 12, 8), QTime(9, 0));
    const QString lockPath = world.paths->inProgramFolder(QStringLiteral("db.lok"));
    QVERIFY(writeFile(lockPath, "2026-12-08 08:30:00\r\nJane Doe\r\nRepair\r\n"));
    world.fileOps.failRemove = true;

    QCOMPARE(runStartup(world).outcome, StartupSequence::Outcome::Ready);

    QVERIFY(QFile::exists(lockPath));
    QCOMPARE(world.prompter.titles(), QStringList{StartupSequence::staleLockTitle()});
    const PromptMessage &told = world.prompter.messages().first();
    QCOMPARE(told.icon, MsgIcon::Exclamation);
    QCOMPARE(told.buttons, MsgButtons::Ok);
    for (const QString &part : {lockPath, QStringLiteral("Permission denied"), QStringLiteral("Jane Doe"),
                                world.session->errorLogPath()})
        QVERIFY2(told.text.contains(part), qPrintable(told.text));
    QVERIFY(readFile(world.session->errorLogPath()).contains(lockPath.toLocal8Bit()));
}

void TestStartup::partOfDay_data()
{
    QTest::addColumn<int>("hour");
    QTest::addColumn<QString>("part");
    QTest::newRow("0") << 0 << "Morning";
    QTest::newRow("11") << 11 << "Morning";
    QTest::newRow("12") << 12 << "Afternoon";
    QTest::newRow("17") << 17 << "Afternoon";
    QTest::newRow("18") << 18 << "Evening";
    QTest::newRow("23") << 23 << "Evening";
}

void TestStartup::partOfDay()
{
    QFETCH(int, hour);
    QTEST(StartupSequence::partOfDay(hour), "part");
}

void TestStartup::greetsTheUser()
{
    TestWorld world;
    world.createDatabase(QStringLiteral("B"));
    world.openDatabase().exec(
        QStringLiteral("UPDATE \"CompanyInfo\" SET \"CompanyName\" = 'Quorvel Plastics'"));
    world.clock.set(QDate(2026, 12, 8), QTime(17, 59, 30));
    const Run run = runStartup(world);
    QCOMPARE(run.outcome, StartupSequence::Outcome::Ready);
    QVERIFY2(run.greeting.startsWith(QStringLiteral("Quorvel Plastics\nKelvara\nGood Afternoon, Jane Doe.\n"
                                                    "Login Date and Time:  ")),
             qPrintable(run.greeting));
    QVERIFY(run.greeting.endsWith(QStringLiteral("\nYour Security Level: B")));
    QCOMPARE(run.levels, QStringList{QStringLiteral("B")});
    QCOMPARE(run.loggedIn, 1);
    QCOMPARE(world.session->userFullName, QStringLiteral("Jane Doe"));
    QCOMPARE(world.session->openDataForms(), 0);
}

void TestStartup::login_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("stored"); // authorized at level "A"
    QTest::addColumn<bool>("known");
    QTest::newRow("apostrophe") << "o'brien"
                                << "o'brien" << true;
    QTest::newRow("other case") << "O'BRIEN"
                                << "o'brien" << true;
    QTest::newRow("quote and semicolon") << "x'; DROP TABLE [Security Table]; --"
                                         << "x'; DROP TABLE [Security Table]; --" << true;
    QTest::newRow("not in the Security Table") << "stranger"
                                               << "o'brien" << false;
}

void TestStartup::login()
{
    QFETCH(QString, login);
    QFETCH(QString, stored);
    QFETCH(bool, known);
    TestWorld world;
    world.createDatabase();
    {
        Database db = world.openDatabase();
        Schema::authorize(db, stored, QStringLiteral("Pat O'Brien"), QStringLiteral("A"));
    }
    world.identity.set(login);
    const Run run = runStartup(world);
    QCOMPARE(world.session->networkUserName, login);
    if (known) {
        QCOMPARE(run.outcome, StartupSequence::Outcome::Ready);
        QCOMPARE(world.session->userFullName, QStringLiteral("Pat O'Brien"));
        QCOMPARE(world.session->securityLevel, QStringLiteral("A"));
        return;
    }
    // Unknown: the program ends cleanly, with exit code 1 and nobody logged in.
    QCOMPARE(run.outcome, StartupSequence::Outcome::Ended);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.loggedIn, 0);
    QVERIFY(run.levels.isEmpty());
    QCOMPARE(world.prompter.messages().size(), 1);
    const PromptMessage &message = world.prompter.messages().first();
    QCOMPARE(message.title, QStringLiteral("Security Access Problem"));
    QCOMPARE(message.text, QStringLiteral("You do not have sufficient rights to use this program.  "
                                          "See your security administrator."));
    QCOMPARE(message.icon, MsgIcon::Critical);
    QVERIFY(world.endRequests.isEmpty());
}

void TestStartup::unknownLevelIsRefused_data()
{
    QTest::addColumn<QString>("level");
    QTest::newRow("E") << "E";
    QTest::newRow("lower case") << "c";
    QTest::newRow("empty") << "";
    QTest::newRow("blank first") << " A";
    QTest::newRow("C and more") << "Cx";
    QTest::newRow("blank last") << "C ";
    QTest::newRow("two levels") << "AB";
}

void TestStartup::unknownLevelIsRefused()
{
    QFETCH(QString, level);
    TestWorld world;
    world.createDatabase();
    {
        Database db = world.openDatabase();
        // A new database refuses such a level; one made before the rule may still hold it.
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Schema::authorize(db, QStringLiteral("jdoe"), {}, level));
        Fixture::allowAnyLevel(db);
        Schema::authorize(db, QStringLiteral("jdoe"), QStringLiteral("Jane Doe"), level);
    }
    world.identity.set(QStringLiteral("jdoe"));
    const Run run = runStartup(world);
    QCOMPARE(run.outcome, StartupSequence::Outcome::Ended);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.levels.isEmpty());
    QCOMPARE(run.loggedIn, 0);
    QCOMPARE(world.prompter.messages().size(), 1);
    const PromptMessage &message = world.prompter.messages().first();
    QCOMPARE(message.text,
             QStringLiteral("Your security level \u201C%1\u201D is not one of A, B, C or D. Ask a "
                            "Quality Assurance Manager to correct it in Security Settings.")
                 .arg(level));
    QCOMPARE(message.title, QStringLiteral("Security Access Problem"));
    QCOMPARE(message.icon, MsgIcon::Critical);
    QCOMPARE(message.buttons, MsgButtons::Ok);
}

void TestStartup::latestProductionDate_data()
{
    QTest::addColumn<bool>("withLines");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("no rows: today") << false << QDate(2026, 12, 8);
    QTest::newRow("highest date of the lines") << true << QDate(2026, 12, 6);
}

void TestStartup::latestProductionDate()
{
    QFETCH(bool, withLines);
    TestWorld world;
    world.createDatabase();
    world.clock.set(QDate(2026, 12, 8), QTime(10, 0));
    if (withLines) {
        Database db = world.openDatabase();
        Fixture::job(db, QStringLiteral("J1"));
        Fixture::line(db, QDate(2026, 12, 6), 3, 1, QStringLiteral("J1"));
        Fixture::line(db, QDate(2026, 11, 30), 1, 1, QStringLiteral("J1"));
    }
    QCOMPARE(runStartup(world).outcome, StartupSequence::Outcome::Ready);
    QTEST(world.session->latestProductionDate, "expected");
}

void TestStartup::missingDatabaseEnds()
{
    TestWorld world;
    world.session->options().setDatabaseName(world.file(QStringLiteral("nowhere.mdb")));
    const Run run = runStartup(world);
    QCOMPARE(run.outcome, StartupSequence::Outcome::Ended);
    QCOMPARE(world.prompter.titles(), QStringList{QStringLiteral("Database Access Error")});
    QCOMPARE(world.prompter.messages().first().icon, MsgIcon::Information);
}

void TestStartup::lockedDatabaseIsRetried()
{
    FILE_DATABASE_ONLY("a writer holding the whole file keeps readers out; on the server readers never wait");
    TestWorld world;
    Database other = Database::open(world.createDatabase());
    other.exec(QStringLiteral("BEGIN EXCLUSIVE"));
    // The other user lets the file go when the "Locked Table" message is acknowledged.
    bool released = false;
    world.prompter.onAsk = [&](const PromptMessage &message) {
        if (message.title == QLatin1String("Locked Table") && !std::exchange(released, true))
            other.exec(QStringLiteral("ROLLBACK"));
    };
    QCOMPARE(runStartup(world).outcome, StartupSequence::Outcome::Ready);
    QCOMPARE(world.prompter.titles(), QStringList{QStringLiteral("Locked Table")});
}

void TestStartup::damagedDatabaseRepaired()
{
    FILE_DATABASE_ONLY("a damaged file and its repair");
    TestWorld world;
    const QString path = world.createDatabase();
    {
        Database db = world.openDatabase();
        Fixture::job(db, QStringLiteral("J100"));
        Fixture::line(db, QDate(2026, 12, 7), 2, 4, QStringLiteral("J100"), 10, 250);
    }
    QVERIFY(overwrite(path, 0, QByteArray(16, 'X')));
    world.session->setRepairHandler([&] { DatabaseRepair(*world.session).run(); });
    QList<bool> checks;
    world.session->setExclusiveAccessCheck([&](bool offerCancel) {
        checks << offerCancel;
        return true;
    });
    world.prompter.script({MsgAnswer::Yes});

    const Run run = runStartup(world);

    QCOMPARE(run.outcome, StartupSequence::Outcome::Ready);
    // Every other copy must be out before the rebuild and before the compaction; no cancel offered.
    QCOMPARE(checks, (QList<bool>{false, false}));
    QCOMPARE(world.prompter.titles(),
             (QStringList{QStringLiteral("Database Initialization Error"), QStringLiteral("Repair Status")}));
    QCOMPARE(world.prompter.messages().first().text,
             QStringLiteral("Error:  The database has been marked corrupt. Attempt repair?"));
    QVERIFY(world.prompter.messages().at(1).text.startsWith(DatabaseRepair::statusText()));
    Database repaired = world.openDatabase();
    QCOMPARE(repaired.scalar(QStringLiteral("SELECT \"Ending Count\" FROM \"Production Table\"")).toInt(),
             250);
    QCOMPARE(repaired.scalar(QStringLiteral("SELECT count(*) FROM \"Saved Queries\"")).toInt(),
             int(Schema::savedQueryNames(ReportCatalog::savedQueries()).size()));
    QCOMPARE(damagedCopies(world).size(), 1);
    QVERIFY(!QFile::exists(world.paths->inProgramFolder(QStringLiteral("db2.mdb"))));
    QCOMPARE(world.session->latestProductionDate, QDate(2026, 12, 7));
}

void TestStartup::damageFoundAtLoginIsRepaired()
{
    FILE_DATABASE_ONLY("a damaged file and its repair");
    // The file opens; the broken page shows only when the login reads the Security Table.
    TestWorld world;
    const QString path = world.createDatabase(QStringLiteral("B"));
    int page = 0, pageSize = 0;
    {
        Database db = world.openDatabase();
        page = db.scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE type = 'index' AND "
                                        "tbl_name = 'Security Table'"))
                   .toInt();
        pageSize = db.scalar(QStringLiteral("PRAGMA page_size")).toInt();
    }
    QVERIFY(page > 1);
    QVERIFY(overwrite(path, qint64(page - 1) * pageSize, QByteArray(pageSize, '\xff')));
    world.session->setRepairHandler([&] { DatabaseRepair(*world.session).run(); });
    world.prompter.script({MsgAnswer::Yes});

    const Run run = runStartup(world);

    QCOMPARE(run.outcome, StartupSequence::Outcome::Ready);
    QCOMPARE(world.prompter.titles(),
             (QStringList{QStringLiteral("Database Initialization Error"), QStringLiteral("Repair Status")}));
    QCOMPARE(run.levels, QStringList{QStringLiteral("B")});
    QCOMPARE(world.openDatabase().scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
             QStringLiteral("ok"));
}

void TestStartup::damagedDatabaseAnsweredNo()
{
    FILE_DATABASE_ONLY("a damaged file and its repair");
    TestWorld world;
    const QString path = world.createDatabase();
    QVERIFY(overwrite(path, 0, QByteArray(16, 'X')));
    const QByteArray before = readFile(path);
    world.session->setRepairHandler([&] { DatabaseRepair(*world.session).run(); });
    world.prompter.script({MsgAnswer::No});

    const Run run = runStartup(world);

    QCOMPARE(run.outcome, StartupSequence::Outcome::Ended);
    QCOMPARE(world.endRequests.size(), 1);
    QCOMPARE(world.prompter.titles(), QStringList{QStringLiteral("Database Initialization Error")});
    QCOMPARE(readFile(path), before);
}

void TestStartup::failedRepairAsksAgain()
{
    // Nothing in this file is readable: the repair fails and leaves it, and the open asks again.
    TestWorld world;
    const QString path = world.file(QStringLiteral("QUORVEL.MDB"));
    QVERIFY(writeFile(path, QByteArray(8192, '\x5a')));
    world.session->options().setDatabaseName(path);
    world.session->setRepairHandler([&] { DatabaseRepair(*world.session).run(); });
    world.prompter.script({MsgAnswer::Yes, MsgAnswer::Ok, MsgAnswer::No});

    const Run run = runStartup(world);

    QCOMPARE(run.outcome, StartupSequence::Outcome::Ended);
    QCOMPARE(world.prompter.titles(),
             (QStringList{QStringLiteral("Database Initialization Error"), QStringLiteral("Repair Status"),
                          QStringLiteral("Database Initialization Error")}));
    QCOMPARE(world.prompter.messages().at(1).icon, MsgIcon::Critical);
    QCOMPARE(world.endRequests.size(), 1);
    QVERIFY(damagedCopies(world).isEmpty());
    QCOMPARE(QFileInfo(path).size(), 8192);
    QVERIFY(!QFile::exists(world.paths->inProgramFolder(QStringLiteral("db2.rebuild"))));
}

void TestStartup::lostAuthorizedUsersAreExplained()
{
    FILE_DATABASE_ONLY("a damaged file and its repair");
    // The Security Table's only page is overwritten: the repair keeps every other table, the
    // authorized users are gone, and nobody can log in any more. Everyone is told why.
    TestWorld world;
    const QString path = world.createDatabase();
    int page = 0, pageSize = 0;
    {
        Database db = world.openDatabase();
        page = db.scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'Security Table'"))
                   .toInt();
        pageSize = db.scalar(QStringLiteral("PRAGMA page_size")).toInt();
    }
    QVERIFY(overwrite(path, qint64(page - 1) * pageSize, QByteArray(pageSize, '\xff')));
    world.session->setRepairHandler([&] { DatabaseRepair(*world.session).run(); });
    world.prompter.script({MsgAnswer::Yes});

    const Run run = runStartup(world);

    QCOMPARE(run.outcome, StartupSequence::Outcome::Ended);
    QCOMPARE(world.prompter.titles(),
             (QStringList{QStringLiteral("Database Initialization Error"), QStringLiteral("Repair Status"),
                          QStringLiteral("Security Access Problem")}));
    const QStringList copies = damagedCopies(world);
    QCOMPARE(copies.size(), 1);
    const QString kept = world.file(copies.first());
    const PromptMessage status = world.prompter.messages().at(1);
    QVERIFY2(!status.text.contains(QStringLiteral("Repairs complete")), qPrintable(status.text));
    QVERIFY2(status.text.contains(QStringLiteral("Security Table: 0 rows kept; its rows could not be read.")),
             qPrintable(status.text));
    QVERIFY2(status.text.contains(kept), qPrintable(status.text));
    QCOMPARE(status.icon, MsgIcon::Exclamation);
    const QString log =
        QString::fromLocal8Bit(readFile(world.paths->inProgramFolder(QStringLiteral("error.log"))));
    QVERIFY2(log.contains(QStringLiteral("Security Table: 0 rows kept; its rows could not be read.")),
             qPrintable(log));
    const QString refusal = world.prompter.messages().at(2).text;
    QVERIFY(refusal.startsWith(QStringLiteral("You do not have sufficient rights to use this program.")));
    QVERIFY2(refusal.contains(QStringLiteral("could not keep the authorized users")), qPrintable(refusal));
    QVERIFY2(refusal.contains(kept), qPrintable(refusal));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
