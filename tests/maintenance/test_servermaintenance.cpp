#include "ServerPlant.h"
#include "TestSupport.h"

#include "maintenance/DatabaseMaintenance.h"
#include "production/record/Schema.h"
#include "production/record/SchemaTables.h"
#include "production/record/ServerRoles.h"
#include "reports/ReportCatalog.h"
#include "sharing/Presence.h"
#include "sharing/ServerPresence.h"

#include <QtTest>

// The Database menu on a plant database on a PostgreSQL server: the server's own backup archive,
// a restore that renames the restored copy in only once it is complete, compaction and checks.
class TestServerMaintenance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void backupThenRestoreKeepsTheRows();
    void restoreOfAFileThatIsNoBackupChangesNothing();
    void restoreWaitsForTheOtherCopies();
    void compactAndRepairReport();
    void levelCRunsWhatTheServerLetsIt();
};

namespace {
// A logged-in copy of the program on a plant on the server, present through the real presence.
class ServerWorld : public TestWorld
{
public:
    explicit ServerWorld(const QString &tag) : plant(tag)
    {
        {
            Database db = Database::createFile(plant.uri());
            Schema::create(db, ReportCatalog::savedQueries());
            Schema::authorize(db, identity.userName(), QStringLiteral("Jane Doe"), QStringLiteral("C"));
            for (const char *job : {"10-1042", "10-1187", "12-3001"})
                Fixture::job(db, QString::fromLatin1(job));
        }
        session->options().setDatabaseName(plant.uri());
        session->securityLevel = QStringLiteral("C");
        session->userFullName = QStringLiteral("Jane Doe");
        presence = std::make_unique<Presence>(*session);
        presence->enter();
        session->setExclusiveAccessCheck([this](bool offerCancel) {
            return presence->checkExclusiveAccess(offerCancel, [this](bool) {
                ++windowsShown;
                return windowAnswer();
            });
        });
        session->setExclusiveAccessEnd(
            [this](const std::function<void()> &meanwhile) { presence->endExclusiveAccess(meanwhile); });
    }

    DatabaseMaintenance::Outcome run(MaintenanceOperation operation, const QString &file = {})
    {
        MaintenanceEngine engine;
        DatabaseMaintenance::Hooks hooks{[](int) {}};
        hooks.chooseFile = [file](MaintenanceOperation, const QString &) { return file; };
        return DatabaseMaintenance(*session, engine, hooks).run(operation);
    }

    QString jobs() const
    {
        const Database db = Database::open(plant.uri());
        return db
            .scalar(QStringLiteral("SELECT string_agg(\"Job Number\", ',' ORDER BY \"Job Number\") FROM "
                                   "\"Job Lookup Table\""))
            .toString();
    }

    ServerPlant plant;
    std::unique_ptr<Presence> presence;
    int windowsShown = 0;
    std::function<bool()> windowAnswer = [] { return false; };
};

const QString kAllJobs = QStringLiteral("10-1042,10-1187,12-3001");
} // namespace

void TestServerMaintenance::init()
{
    if (const QString missing = ServerPlant::missing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void TestServerMaintenance::backupThenRestoreKeepsTheRows()
{
    ServerWorld world(QStringLiteral("roundtrip"));
    const QString backup = world.file(QStringLiteral("plant.backup"));
    QCOMPARE(world.run(MaintenanceOperation::Backup, backup), DatabaseMaintenance::Outcome::Done);
    QCOMPARE(world.prompter.messages().last().text,
             QStringLiteral("The database %1 on the server was backed up to '%2'.")
                 .arg(world.plant.name(), backup));
    QVERIFY(QFileInfo(backup).size() > 0);
    QVERIFY(!QFile::exists(backup + QStringLiteral(".work")));
    {
        const Database db = Database::open(world.plant.uri());
        db.exec(QStringLiteral("DELETE FROM \"Job Lookup Table\" WHERE \"Job Number\" <> '10-1042'"));
        Fixture::job(db, QStringLiteral("99-0001"));
        // Who may connect belongs to the database, not to the archive: it stays as it was.
        db.exec(QStringLiteral("REVOKE ALL ON DATABASE \"%1\" FROM PUBLIC").arg(world.plant.name()));
        db.exec(QStringLiteral("GRANT CONNECT ON DATABASE \"%1\" TO PUBLIC").arg(world.plant.name()));
    }
    const auto access = [&] {
        const Database db = Database::open(world.plant.uri());
        return db
            .scalar(QStringLiteral("SELECT datacl::text FROM pg_database WHERE datname = current_database()"))
            .toString();
    };
    const QString accessBefore = access();
    QVERIFY(accessBefore.contains(QStringLiteral("=c/")));

    world.clock.set(QDate(2026, 12, 9), QTime(1, 30));
    QCOMPARE(world.run(MaintenanceOperation::Restore, backup), DatabaseMaintenance::Outcome::Done);
    QCOMPARE(world.windowsShown, 0);
    const QString kept = world.plant.name() + QStringLiteral("_before_restore_20261209_013000");
    QCOMPARE(
        world.prompter.messages().last().text,
        QStringLiteral("The database %1 on the server was restored from '%2'. The database as it was before "
                       "is kept on the server as %3.")
            .arg(world.plant.name(), backup, kept));
    QCOMPARE(world.jobs(), kAllJobs);
    QCOMPARE(access(), accessBefore);
    // The database as it was stays, and no work database is left.
    QCOMPARE(world.plant.databases(), (QStringList{world.plant.name(), kept}));
    {
        const Database before = Database::open(ServerAddress::parse(world.plant.uri()).on(kept).uri());
        QCOMPARE(before.scalar(QStringLiteral("SELECT count(*) FROM \"Job Lookup Table\"")).toInt(), 2);
    }
    // This copy is present again, in the restored database.
    ServerPresence other;
    QVERIFY(!other.tryExclusive(world.plant.uri()));
    QCOMPARE(world.prompter.messages().size(), 2);
}

void TestServerMaintenance::restoreOfAFileThatIsNoBackupChangesNothing()
{
    ServerWorld world(QStringLiteral("nobackup"));
    const QString file = world.file(QStringLiteral("notes.backup"));
    QVERIFY(writeFile(file, "not an archive"));
    QCOMPARE(world.run(MaintenanceOperation::Restore, file), DatabaseMaintenance::Outcome::Failed);
    const PromptMessage message = world.prompter.messages().last();
    QVERIFY(message.text.startsWith(
        QStringLiteral("Restore stopped: The file '%1' is not a complete backup").arg(file)));
    QVERIFY(message.text.endsWith(
        QStringLiteral("The database %1 on the server is as it was before this command.")
            .arg(world.plant.name())));
    QCOMPARE(message.icon, MsgIcon::Critical);
    QCOMPARE(world.jobs(), kAllJobs);
    QCOMPARE(world.plant.databases(), QStringList{world.plant.name()});
    // A backup file the user did not choose: nothing happens.
    const int shown = int(world.prompter.messages().size());
    QCOMPARE(world.run(MaintenanceOperation::Restore), DatabaseMaintenance::Outcome::Abandoned);
    QCOMPARE(world.prompter.messages().size(), shown);
}

void TestServerMaintenance::restoreWaitsForTheOtherCopies()
{
    ServerWorld world(QStringLiteral("waits"));
    const QString backup = world.file(QStringLiteral("plant.backup"));
    QCOMPARE(world.run(MaintenanceOperation::Backup, backup), DatabaseMaintenance::Outcome::Done);
    ServerPresence other;
    QVERIFY(other.holdShared(world.plant.uri()));
    // Cancelled in the current users window: nothing is restored.
    QCOMPARE(world.run(MaintenanceOperation::Restore, backup), DatabaseMaintenance::Outcome::Abandoned);
    QCOMPARE(world.windowsShown, 1);
    QCOMPARE(world.plant.databases(), QStringList{world.plant.name()});
    // The other copy leaves while the window is up.
    world.windowAnswer = [&] {
        other.release();
        return true;
    };
    QCOMPARE(world.run(MaintenanceOperation::Restore, backup), DatabaseMaintenance::Outcome::Done);
    QCOMPARE(world.windowsShown, 2);
    QCOMPARE(world.plant.databases().size(), 2);
}

void TestServerMaintenance::compactAndRepairReport()
{
    ServerWorld world(QStringLiteral("compact"));
    // The server's shared catalogs are not the plant's to rewrite: while a VACUUM FULL holds them,
    // no login reaches any database on the server.
    const auto files = [&] {
        return Database::open(world.plant.uri())
            .scalar(QStringLiteral("SELECT concat_ws(' ', pg_relation_filenode('pg_authid'), "
                                   "pg_relation_filenode('pg_database'), pg_relation_filenode("
                                   "'\"Production Table\"'))"))
            .toString()
            .split(' ');
    };
    const QStringList before = files();
    QCOMPARE(world.run(MaintenanceOperation::Compact), DatabaseMaintenance::Outcome::Done);
    const QStringList after = files();
    QCOMPARE(after.mid(0, 2), before.mid(0, 2));
    QVERIFY(after[2] != before[2]);
    const QString compact = world.prompter.messages().last().text;
    QVERIFY2(compact.startsWith(
                 QStringLiteral("The database %1 on the server was compacted: %2 tables were "
                                "rewritten without their deleted rows and analyzed (Change History, "
                                "Color Table, ")
                     .arg(world.plant.name())
                     .arg(SchemaTables::tables().size())),
             qPrintable(compact));
    QCOMPARE(world.run(MaintenanceOperation::Repair), DatabaseMaintenance::Outcome::Done);
    const PromptMessage repair = world.prompter.messages().last();
    QVERIFY2(
        repair.text.endsWith(QStringLiteral(" found nothing wrong. The server keeps its own files whole; "
                                            "there was nothing to repair.")),
        qPrintable(repair.text));
    QCOMPARE(repair.icon, MsgIcon::Information);
    // Every index of the program's tables was checked.
    const Database db = Database::open(world.plant.uri());
    const int indexes = db.scalar(QStringLiteral("SELECT count(*) FROM pg_indexes WHERE schemaname = "
                                                 "current_schema()"))
                            .toInt();
    QVERIFY(indexes > 5);
    QVERIFY2(repair.text.contains(QStringLiteral("the server's check of %1 indexes").arg(indexes)),
             qPrintable(repair.text));
    QCOMPARE(world.jobs(), kAllJobs);
    // No lock file and no dates file: they belong to file databases.
    QVERIFY(QDir(world.root()).entryList({QStringLiteral("db.lok"), QStringLiteral("DFUNC.DAT")}).isEmpty());
}

// On a database --setup-server made, a level C login that does not own the tables: what the
// server lets it do works, what only the administrator may do is refused with the command to run,
// never reported done.
void TestServerMaintenance::levelCRunsWhatTheServerLetsIt()
{
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QString manager = QStringLiteral("manager_") + pid, foreman = QStringLiteral("foreman_") + pid;
    const QString postgres = ServerAddress::parse(qEnvironmentVariable("KELVARA_TEST_SERVER")).uri();
    struct DropRoles
    {
        QString server;
        QStringList roles;
        ~DropRoles()
        {
            for (const QString &role : roles)
                Database::open(server).exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(role));
        }
    } dropRoles{postgres, {manager, foreman}};
    std::optional<ServerWorld> world(std::in_place, QStringLiteral("levelc"));
    const auto as = [&](const QString &login) {
        ServerAddress address = ServerAddress::parse(world->plant.uri());
        address.user = login;
        return address.uri();
    };
    {
        Database admin = Database::open(world->plant.uri());
        ServerRoles::setUp(admin);
        admin.exec(QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE kelvara_level_c").arg(manager));
        admin.exec(QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE kelvara_level_b").arg(foreman));
        Schema::authorize(admin, manager, QStringLiteral("Manny"), QStringLiteral("C"));
        Schema::authorize(admin, foreman, QStringLiteral("Fran"), QStringLiteral("B"));
        // Rows deleted leave dead rows behind, which only a rewrite gives back.
        for (int i = 0; i < 200; ++i)
            Fixture::line(admin, QDate(2026, 12, 1), 1, i, QStringLiteral("10-1042"));
        admin.exec(QStringLiteral("DELETE FROM \"Production Table\""));
    }
    world->session->options().setDatabaseName(as(manager));
    // A level B copy is in: its presence, and a window's connection that books a ticket.
    ServerPresence foremanCopy;
    QVERIFY(foremanCopy.holdShared(as(foreman)));
    std::optional<Database> foremanWindow = Database::open(as(foreman));
    world->windowAnswer = [&] {
        foremanCopy.release();
        return true;
    };

    // Of the level's commands, only Restore is the administrator's: the menu shows it disabled.
    const QMap<MaintenanceOperation, QString> refusals =
        DatabaseMaintenance::serverRefusals(as(manager), QStringLiteral("C"));
    QCOMPARE(refusals.keys(), QList<MaintenanceOperation>{MaintenanceOperation::Restore});
    QVERIFY2(refusals.first().contains(QStringLiteral("Nothing was restored")), qPrintable(refusals.first()));
    // Level B has Repair and Compact in the menu; Compact, which keeps everyone out, is level C's.
    QCOMPARE(DatabaseMaintenance::serverRefusals(as(foreman), QStringLiteral("B")).keys(),
             QList<MaintenanceOperation>{MaintenanceOperation::Compact});
    // The owner's compaction refuses, from psql too, while another copy is in.
    const auto compactError = errorOf<DatabaseError>(
        [&] { Database::open(as(manager)).exec(QStringLiteral("SELECT * FROM kelvara_compact()")); });
    QVERIFY(compactError &&
            compactError->description().contains(QStringLiteral("Another workstation is in")));

    const QString backup = world->file(QStringLiteral("plant.backup"));
    QCOMPARE(world->run(MaintenanceOperation::Backup, backup), DatabaseMaintenance::Outcome::Done);
    QCOMPARE(world->run(MaintenanceOperation::Repair), DatabaseMaintenance::Outcome::Done);
    // The administrator's look at the plant, on a connection of its own each time.
    const auto admin = [&] { return Database::open(world->plant.uri()); };
    const int indexes =
        admin()
            .scalar(QStringLiteral("SELECT count(*) FROM pg_indexes WHERE schemaname = current_schema()"))
            .toInt();
    QVERIFY2(world->prompter.messages().last().text.contains(
                 QStringLiteral("the server's check of %1 indexes of %2 tables found nothing wrong")
                     .arg(indexes)
                     .arg(SchemaTables::tables().size() - 1)), // CompanyInfo has no index
             qPrintable(world->prompter.messages().last().text));
    QCOMPARE(world->windowsShown, 0);

    // Compact waits for the level B copy to leave, then the server rewrites every table.
    const auto production = [&] {
        return admin()
            .scalar(QStringLiteral("SELECT pg_total_relation_size('\"Production Table\"')"))
            .toLongLong();
    };
    const qint64 before = production();
    QCOMPARE(world->run(MaintenanceOperation::Compact), DatabaseMaintenance::Outcome::Done);
    QCOMPARE(world->windowsShown, 1);
    const QString compact = world->prompter.messages().last().text;
    QVERIFY2(
        compact.contains(QStringLiteral("%1 tables were rewritten").arg(SchemaTables::tables().size() - 1)) &&
            compact.contains(QStringLiteral("CompanyInfo analyzed only")),
        qPrintable(compact));
    QVERIFY2(production() < before, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(production())));

    // Run anyway, Restore is refused before it asks for anything.
    QCOMPARE(world->run(MaintenanceOperation::Restore, backup), DatabaseMaintenance::Outcome::Failed);
    QVERIFY2(world->prompter.messages().last().text.contains(QStringLiteral("Nothing was restored")),
             qPrintable(world->prompter.messages().last().text));
    QCOMPARE(world->plant.databases(), QStringList{world->plant.name()});
    QCOMPARE(world->jobs(), kAllJobs);

    // The administrator's Restore cannot put the restored copy in while the level B window is
    // still connected: it stops, and the window's later writes go to the plant's database, not
    // to one renamed aside.
    world->session->options().setDatabaseName(world->plant.uri());
    QVERIFY(foremanCopy.holdShared(as(foreman)));
    QCOMPARE(world->run(MaintenanceOperation::Restore, backup), DatabaseMaintenance::Outcome::Failed);
    QVERIFY2(world->prompter.messages().last().text.contains(QStringLiteral("close every other connection")),
             qPrintable(world->prompter.messages().last().text));
    QCOMPARE(world->plant.databases(), QStringList{world->plant.name()});
    const qint64 line = Fixture::line(admin(), QDate(2026, 12, 2), 1, 7, QStringLiteral("10-1042"));
    {
        Transaction transaction(*foremanWindow);
        foremanWindow->exec(
            QStringLiteral(
                "INSERT INTO \"Transfer Table\" (\"Job ID\", \"Transfer Number\") VALUES (:l, 77001)"),
            {{QStringLiteral("l"), line}});
        transaction.commit();
    }
    QCOMPARE(admin()
                 .scalar(QStringLiteral(
                     "SELECT count(*) FROM \"Transfer Table\" WHERE \"Transfer Number\" = 77001"))
                 .toInt(),
             1);
}

QTEST_GUILESS_MAIN(TestServerMaintenance)
#include "test_servermaintenance.moc"
