#include "TestSupport.h"

#include "maintenance/DatabaseMaintenance.h"
#include "maintenance/MaintenanceRecord.h"
#include "production/record/ChangeHistory.h"
#include "shell/MenuLayout.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>

#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>

// The Database menu commands on real database files: the frame (lock file, DFUNC.DAT, messages),
// and that no failure at any step loses the plant's data.
class TestMaintenance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        FILE_DATABASE_ONLY("backup, restore and compaction of the file (the server: test_servermaintenance)");
    }
    void recordBytesForAKnownDate();
    void commandsOnARealDatabase_data();
    void commandsOnARealDatabase();
    void cancelLeavesEverythingUntouched();
    void levelDHasNoBackupOrRestore();
    void restoreWithoutBackupLeavesTheDatabase();
    void noFailureLosesData_data();
    void noFailureLosesData();
    void trashThatCannotTakeAFileLosesNothing_data();
    void trashThatCannotTakeAFileLosesNothing();
    void keptCopiesAreTheNewestFive();
    void commandsFitASmallDisk_data();
    void commandsFitASmallDisk();
    void backupReplacesOnlyWithAsMuch_data();
    void backupReplacesOnlyWithAsMuch();
    void repairTellsWhatWasLost();
    void damagedBackupReportGoesToTheLog();
};

namespace {
// Fails the n-th of all file and engine operations of a run, counted together.
struct Injector
{
    int calls = 0;
    int failAt = -1;
    bool fails() { return calls++ == failAt; }
};

class InjectingFileOps : public FileOps
{
public:
    InjectingFileOps(Injector &injector, QString trash) : m_injector(injector), m_trash(std::move(trash)) {}
    bool copy(const QString &from, const QString &to) override
    {
        return !injected() && FileOps::copy(from, to);
    }
    bool rename(const QString &from, const QString &to) override
    {
        return !injected() && FileOps::rename(from, to);
    }
    bool replace(const QString &from, const QString &to) override
    {
        return !injected() && FileOps::replace(from, to);
    }
    bool remove(const QString &path) override { return !injected() && FileOps::remove(path); }
    bool link(const QString &from, const QString &to) override
    {
        return !injected() && FileOps::link(from, to);
    }
    bool writeAt(const QString &path, qint64 offset, const QByteArray &bytes) override
    {
        return !injected() && FileOps::writeAt(path, offset, bytes);
    }
    // The trash is a folder of the test, so that what went there can be looked at. One that cannot
    // take the file (another device, no trash at all) leaves it where it was, as the real one does.
    bool moveToTrash(const QString &path) override
    {
        if (injected())
            return false;
        if (trashRefuses)
            return fail(QStringLiteral("no trash on this device"));
        QDir().mkpath(m_trash);
        const QString name = QStringLiteral("%1-%2").arg(++m_trashed).arg(QFileInfo(path).fileName());
        return QFile::rename(path, QDir(m_trash).filePath(name));
    }
    bool trashRefuses = false;

private:
    bool injected() { return m_injector.fails() && !fail(QStringLiteral("injected failure")); }

    Injector &m_injector;
    QString m_trash;
    int m_trashed = 0;
};

class InjectingEngine : public MaintenanceEngine
{
public:
    explicit InjectingEngine(Injector &injector) : m_injector(injector) {}
    QString backup(const QString &from, const QString &to) override
    {
        return m_injector.fails() ? injected() : MaintenanceEngine::backup(from, to);
    }
    QString compact(const QString &from, const QString &to) override
    {
        return m_injector.fails() ? injected() : MaintenanceEngine::compact(from, to);
    }
    QString rebuild(const QString &from, const QString &to, const QString &scratch) override
    {
        return m_injector.fails() ? injected() : MaintenanceEngine::rebuild(from, to, scratch);
    }
    QString check(const QString &path) override
    {
        return m_injector.fails() ? injected() : MaintenanceEngine::check(path);
    }

private:
    static QString injected() { return QStringLiteral("injected failure"); }
    Injector &m_injector;
};

// A production database with jobs, a backup copy with other jobs, and a report database.
class MaintenanceWorld : public TestWorld
{
public:
    MaintenanceWorld() : fileOps(injector, file(QStringLiteral("trash"))), engine(injector)
    {
        database = createDatabase();
        session = std::make_unique<Session>(Seams{clock, prompter, identity, *paths, fileOps}, newOptions());
        session->securityLevel = QStringLiteral("C");
        session->userFullName = QStringLiteral("Pat Setter");
        {
            Database db = openDatabase();
            for (const char *job : {"10-1042", "10-1187", "12-3001"})
                Fixture::job(db, QString::fromLatin1(job));
        }
    }

    void makeBackup()
    {
        QFile::copy(database, database + QStringLiteral("-Backup.mdb"));
        Database backup = Database::open(database + QStringLiteral("-Backup.mdb"));
        backup.exec(QStringLiteral("DELETE FROM \"Job Lookup Table\" WHERE \"Job Number\" <> '10-1042'"));
    }

    void makeReportDatabase()
    {
        QDir().mkpath(paths->reportDatabaseFolder());
        Database reports = Database::createFile(paths->reportDatabasePath());
        reports.exec(QStringLiteral("CREATE TABLE \"Holes Report\" (\"Number\" INTEGER)"));
        reports.exec(QStringLiteral("INSERT INTO \"Holes Report\" VALUES (7)"));
    }

    DatabaseMaintenance::Outcome run(MaintenanceOperation operation)
    {
        DatabaseMaintenance maintenance(*session, engine, {[this](int) { ++pauses; }});
        return maintenance.run(operation);
    }

    Injector injector;
    InjectingFileOps fileOps;
    InjectingEngine engine;
    QString database;
    int pauses = 0;
};

// The jobs of a database file, or why it cannot be read.
QString jobsIn(const QString &path)
{
    try {
        Database db = Database::open(path, Database::ReadOnly);
        if (db.scalar(QStringLiteral("PRAGMA integrity_check")).toString() != QLatin1String("ok"))
            return QStringLiteral("integrity check fails");
        return db
            .scalar(QStringLiteral("SELECT group_concat(\"Job Number\") FROM (SELECT \"Job Number\" FROM "
                                   "\"Job Lookup Table\" ORDER BY 1)"))
            .toString();
    } catch (const DatabaseError &error) {
        return error.description();
    }
}

// Overwrites the first page of a table or index with the bytes given, repeated to the page's end.
void smashPage(const QString &path, const QString &name, const QByteArray &start)
{
    int page = 0;
    {
        Database db = Database::open(path);
        page = db.scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = :name"),
                         {{QStringLiteral("name"), name}})
                   .toInt();
    }
    QVERIFY(page > 1);
    QVERIFY(overwrite(path, qint64(page - 1) * 4096, start + QByteArray(4096 - start.size(), '\0')));
}

QString errorLog(const TestWorld &world)
{
    return QString::fromLocal8Bit(readFile(world.paths->inProgramFolder(QStringLiteral("error.log"))));
}

const QString kAllJobs = QStringLiteral("10-1042,10-1187,12-3001");
const QString kBackupJobs = QStringLiteral("10-1042");

// The file a command puts a new file in place of.
QString replacedFile(const MaintenanceWorld &world, MaintenanceOperation op)
{
    return world.database + (op == MaintenanceOperation::Backup ? QStringLiteral("-Backup.mdb") : QString());
}

int modeOf(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Leaves beside path the journal of a write to it that was cut off: played into any other file,
// it would put path's old pages into it.
void leaveJournalOf(const QString &path)
{
    const QString scratch = path + QStringLiteral(".scratch");
    QVERIFY(QFile::copy(path, scratch));
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(scratch).constData(), &db), SQLITE_OK);
    // A tiny cache makes the write spill into the file, so the journal is written out before commit.
    const char *write = "PRAGMA journal_mode=DELETE; PRAGMA cache_size=2; BEGIN; "
                        "DELETE FROM \"Job Lookup Table\"; CREATE TABLE \"Scratch\" (x); "
                        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 400) "
                        "INSERT INTO \"Scratch\" SELECT randomblob(900) FROM c;";
    QCOMPARE(sqlite3_exec(db, write, nullptr, nullptr, nullptr), SQLITE_OK);
    QVERIFY(QFile::copy(scratch + QStringLiteral("-journal"), path + QStringLiteral("-journal")));
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QFile::remove(scratch);
    QVERIFY(QFileInfo(path + QStringLiteral("-journal")).size() > 4096);
}
} // namespace

void TestMaintenance::recordBytesForAKnownDate()
{
    MaintenanceRecord record;
    record.lastRepair = TaggedValue::date(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
    const QByteArray bytes = record.toBytes();
    QCOMPARE(bytes.size(), 128);
    // Empty backup date, the repair date 46364.375 as a little-endian double, empty compaction date.
    QCOMPARE(bytes.left(14).toHex(), QByteArray("0000070000000000"
                                                "8ca3e6400000"));
    QCOMPARE(bytes.mid(14), QByteArray(114, '\0'));
    const MaintenanceRecord back = MaintenanceRecord::fromBytes(bytes);
    QCOMPARE(back.lastRepair.dateTime(), QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
    QVERIFY(!back.lastBackup.isDate());
}

void TestMaintenance::commandsOnARealDatabase_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("jobsAfter");
    QTest::addColumn<int>("dateSlot");      // which of the three dates is recorded; -1 none
    QTest::addColumn<bool>("staleJournal"); // a journal of a cut-off write beside the replaced file
    for (const bool journal : {false, true}) {
        const char *beside = journal ? ", a stale journal beside" : "";
        QTest::addRow("backup%s", beside) << 1 << "Backup Complete." << kAllJobs << 0 << journal;
        QTest::addRow("restore%s", beside) << 2 << "Restore Complete." << kBackupJobs << -1 << journal;
        QTest::addRow("repair%s", beside) << 3 << "Database Repair Complete." << kAllJobs << 1 << journal;
        QTest::addRow("compact%s", beside) << 4 << "Database Compacted." << kAllJobs << 2 << journal;
    }
}

void TestMaintenance::commandsOnARealDatabase()
{
    QFETCH(int, operation);
    QFETCH(QString, status);
    QFETCH(QString, jobsAfter);
    QFETCH(int, dateSlot);
    QFETCH(bool, staleJournal);
    MaintenanceWorld world;
    world.makeBackup();
    world.makeReportDatabase();
    const auto op = MaintenanceOperation(operation);
    // Shared by every account of the plant: the replaced files must stay so, whatever our umask.
    const mode_t umaskBefore = ::umask(022);
    for (const QString &shared :
         {world.database, world.database + QStringLiteral("-Backup.mdb"), world.paths->reportDatabasePath()})
        QCOMPARE(
            ::chmod(QFile::encodeName(shared).constData(), shared == replacedFile(world, op) ? 0666 : 0640),
            0);
    if (staleJournal)
        leaveJournalOf(replacedFile(world, op));
    const QString folder = QFileInfo(world.database).absolutePath();
    QStringList lockLines;
    world.prompter.onAsk = [&](const PromptMessage &) {
        lockLines = QString::fromUtf8(readFile(QDir(folder).filePath(QStringLiteral("db.lok"))))
                        .split(QStringLiteral("\r\n"));
    };

    // The change history the database should hold afterwards: its own, or the backup's.
    const auto historyOf = [](const QString &path) { return ChangeHistory::verify(Database::open(path)); };
    const ChangeHistory::Verification expected =
        historyOf(op == MaintenanceOperation::Restore ? world.database + QStringLiteral("-Backup.mdb")
                                                      : world.database);
    QVERIFY(expected.rows > 0);

    const DatabaseMaintenance::Outcome outcome = world.run(op);
    ::umask(umaskBefore);
    QCOMPARE(outcome, DatabaseMaintenance::Outcome::Done);
    const ChangeHistory::Verification history = historyOf(world.database);
    QCOMPARE(history.firstMismatch, 0);
    QCOMPARE(history.rows, expected.rows);
    QCOMPARE(history.latestHash, expected.latestHash);

    QCOMPARE(world.prompter.messages().size(), 1);
    QVERIFY2(world.prompter.messages()[0].text.startsWith(status),
             qPrintable(world.prompter.messages()[0].text));
    QCOMPARE(modeOf(replacedFile(world, op)), 0666);
    QCOMPARE(modeOf(world.paths->reportDatabasePath()), 0640);
    QCOMPARE(world.prompter.messages()[0].title, QStringLiteral("Database Status"));
    QCOMPARE(lockLines.value(1), QStringLiteral("Pat Setter"));
    QCOMPARE(lockLines.value(2), DatabaseMaintenance::operationWord(op));
    QVERIFY(!QFile::exists(QDir(folder).filePath(QStringLiteral("db.lok"))));
    QCOMPARE(jobsIn(world.database), jobsAfter);
    QCOMPARE(jobsIn(world.database + QStringLiteral("-Backup.mdb")),
             op == MaintenanceOperation::Backup ? kAllJobs : kBackupJobs);
    // The report database is back at its place, and no work file is left anywhere.
    QCOMPARE(Database::open(world.paths->reportDatabasePath())
                 .scalar(QStringLiteral("SELECT \"Number\" FROM \"Holes Report\""))
                 .toInt(),
             7);
    QStringList left = QDir(folder).entryList({QStringLiteral("QUORVEL*")}, QDir::Files);
    left.removeAll(QStringLiteral("QUORVEL.MDB.presence"));
    QCOMPARE(left, QStringList({QStringLiteral("QUORVEL.MDB"), QStringLiteral("QUORVEL.MDB-Backup.mdb")}));
    QCOMPARE(QDir(world.paths->reportDatabaseFolder()).entryList(QDir::Files),
             QStringList{QStringLiteral("REPORTS.MDB")});

    const QByteArray record = readFile(QDir(folder).filePath(QStringLiteral("DFUNC.DAT")));
    QCOMPARE(record.size(), 128);
    const MaintenanceRecord dates = MaintenanceRecord::fromBytes(record);
    const QList<TaggedValue> slotValues{dates.lastBackup, dates.lastRepair, dates.lastCompaction};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(slotValues[i].dateTime(), i == dateSlot ? world.clock.now() : QDateTime());
    // What was replaced went to the trash, whole.
    if (op == MaintenanceOperation::Restore) {
        const QStringList trashed =
            QDir(world.file(QStringLiteral("trash"))).entryList({"*QUORVEL.MDB.before-restore"});
        QCOMPARE(trashed.size(), 1);
        QCOMPARE(jobsIn(QDir(world.file(QStringLiteral("trash"))).filePath(trashed[0])), kAllJobs);
    }
}

void TestMaintenance::cancelLeavesEverythingUntouched()
{
    MaintenanceWorld world;
    const QByteArray before = readFile(world.database);
    world.session->setExclusiveAccessCheck([](bool offerCancel) { return !offerCancel; });
    for (int op = 1; op <= 4; ++op)
        QCOMPARE(world.run(MaintenanceOperation(op)), DatabaseMaintenance::Outcome::Abandoned);
    QCOMPARE(readFile(world.database), before);
    QVERIFY(world.prompter.messages().isEmpty());
    const QString folder = QFileInfo(world.database).absolutePath();
    QVERIFY(!QFile::exists(QDir(folder).filePath(QStringLiteral("db.lok"))));
    QVERIFY(!QFile::exists(QDir(folder).filePath(QStringLiteral("DFUNC.DAT"))));
    QVERIFY(!QFile::exists(world.database + QStringLiteral("-Backup.mdb")));
}

void TestMaintenance::levelDHasNoBackupOrRestore()
{
    const auto rights = MenuLayout::rightsFor(QStringLiteral("D"));
    QVERIFY(rights);
    QVERIFY(!rights->value(QStringLiteral("mnuDatabaseSub1")));
    QVERIFY(!rights->value(QStringLiteral("mnuDatabaseSub2")));
    for (const char *level : {"A", "B", "D"})
        QVERIFY(!DatabaseMaintenance::allowedFor(MaintenanceOperation::Restore, QString::fromLatin1(level)));
    QVERIFY(DatabaseMaintenance::allowedFor(MaintenanceOperation::Restore, QStringLiteral("C")));

    MaintenanceWorld world;
    world.session->securityLevel = QStringLiteral("D");
    QCOMPARE(world.run(MaintenanceOperation::Backup), DatabaseMaintenance::Outcome::Abandoned);
    QVERIFY(!QFile::exists(world.database + QStringLiteral("-Backup.mdb")));
    QCOMPARE(world.run(MaintenanceOperation::Repair), DatabaseMaintenance::Outcome::Done);
    QCOMPARE(world.run(MaintenanceOperation::Compact), DatabaseMaintenance::Outcome::Done);
    QCOMPARE(jobsIn(world.database), kAllJobs);
}

void TestMaintenance::restoreWithoutBackupLeavesTheDatabase()
{
    MaintenanceWorld world;
    const QByteArray before = readFile(world.database);
    QCOMPARE(world.run(MaintenanceOperation::Restore), DatabaseMaintenance::Outcome::Failed);
    QCOMPARE(readFile(world.database), before);
    QCOMPARE(world.prompter.messages().size(), 1);
    QCOMPARE(world.prompter.messages()[0].icon, MsgIcon::Critical);
    QVERIFY(world.prompter.messages()[0].text.contains(QStringLiteral("no backup copy")));
}

void TestMaintenance::noFailureLosesData_data()
{
    QTest::addColumn<int>("operation");
    QTest::newRow("backup") << 1;
    QTest::newRow("restore") << 2;
    QTest::newRow("repair") << 3;
    QTest::newRow("compact") << 4;
}

void TestMaintenance::noFailureLosesData()
{
    QFETCH(int, operation);
    const auto op = MaintenanceOperation(operation);
    int steps = 0;
    {
        MaintenanceWorld clean;
        clean.makeBackup();
        clean.makeReportDatabase();
        QCOMPARE(clean.run(op), DatabaseMaintenance::Outcome::Done);
        steps = clean.injector.calls;
    }
    QVERIFY(steps >= 4);
    for (int failAt = 0; failAt < steps; ++failAt) {
        const QByteArray step = QByteArray::number(failAt);
        MaintenanceWorld world;
        world.makeBackup();
        world.makeReportDatabase();
        const QByteArray databaseBefore = readFile(world.database);
        world.injector.failAt = failAt;
        const DatabaseMaintenance::Outcome outcome = world.run(op);

        const QString jobs = jobsIn(world.database);
        const bool whole = jobs == kAllJobs || (op == MaintenanceOperation::Restore && jobs == kBackupJobs);
        QVERIFY2(whole, qPrintable(step + ": " + jobs));
        QVERIFY2(jobsIn(world.database + QStringLiteral("-Backup.mdb")) == kBackupJobs ||
                     (op == MaintenanceOperation::Backup && outcome == DatabaseMaintenance::Outcome::Done),
                 step.constData());
        QCOMPARE(Database::open(world.paths->reportDatabasePath())
                     .scalar(QStringLiteral("SELECT \"Number\" FROM \"Holes Report\""))
                     .toInt(),
                 7);
        const MaintenanceRecord dates = MaintenanceRecord::fromBytes(
            readFile(QFileInfo(world.database).dir().filePath(QStringLiteral("DFUNC.DAT"))));
        const bool dated =
            dates.lastBackup.isDate() || dates.lastRepair.isDate() || dates.lastCompaction.isDate();

        // Every message says what is true of the files at that moment.
        const QList<PromptMessage> told = world.prompter.messages();
        QVERIFY2(!told.isEmpty(), step.constData());
        const QString status = told.first().text;
        const QString context = QString::fromLatin1(step) + QStringLiteral(": ") + status;
        if (outcome == DatabaseMaintenance::Outcome::Failed) {
            QVERIFY2(!dated, qPrintable(context));
            QCOMPARE(told.first().icon, MsgIcon::Critical);
            // The command says nothing was replaced, or that only the report database was.
            QVERIFY2(status.contains(QStringLiteral("No file was replaced")) ||
                         status.contains(QStringLiteral("the database file is as it was")),
                     qPrintable(context));
            QVERIFY2(readFile(world.database) == databaseBefore, qPrintable(context));
        } else if (status.contains(QStringLiteral("could not be recorded"))) {
            QCOMPARE(outcome, DatabaseMaintenance::Outcome::Done);
            QCOMPARE(told.first().icon, MsgIcon::Exclamation);
            QVERIFY2(status.startsWith(DatabaseMaintenance::doneText(op) + QStringLiteral(", but")),
                     qPrintable(context));
            QVERIFY2(!dated, qPrintable(context));
            const QString result = op == MaintenanceOperation::Backup
                                       ? jobsIn(world.database + QStringLiteral("-Backup.mdb"))
                                       : jobs;
            QCOMPARE(result, op == MaintenanceOperation::Restore ? kBackupJobs : kAllJobs);
        } else {
            QCOMPARE(outcome, DatabaseMaintenance::Outcome::Done);
            QCOMPARE(told.first().icon, MsgIcon::Information);
            QVERIFY2(dated == (op != MaintenanceOperation::Restore), qPrintable(context));
            QVERIFY2(op != MaintenanceOperation::Restore || jobs == kBackupJobs, qPrintable(context));
        }
        // A lock that stays is never passed over in silence.
        const QString lock = QFileInfo(world.database).dir().filePath(QStringLiteral("db.lok"));
        const bool lockToldOf = told.last().text.contains(lock) &&
                                told.last().text.contains(QStringLiteral("could not be removed"));
        QVERIFY2(QFile::exists(lock) == lockToldOf, qPrintable(context));
    }
}

void TestMaintenance::trashThatCannotTakeAFileLosesNothing_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("keptJobs"); // what the copy kept beside the database holds
    QTest::newRow("backup: the old backup") << 1 << kBackupJobs;
    QTest::newRow("restore: the database before the restore") << 2 << kAllJobs;
    QTest::newRow("repair: the damaged original") << 3 << kAllJobs;
    QTest::newRow("compact: the old file") << 4 << kAllJobs;
}

void TestMaintenance::trashThatCannotTakeAFileLosesNothing()
{
    QFETCH(int, operation);
    QFETCH(QString, keptJobs);
    const auto op = MaintenanceOperation(operation);
    MaintenanceWorld world;
    world.makeBackup();
    world.fileOps.trashRefuses = true;

    QCOMPARE(world.run(op), DatabaseMaintenance::Outcome::Done);

    const QDir folder(world.database + QStringLiteral("-kept"));
    const QString word = DatabaseMaintenance::operationWord(op).toLower();
    const QStringList kept = folder.entryList({QStringLiteral("*.before-%1-20261208-090000").arg(word)});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(jobsIn(folder.filePath(kept[0])), keptJobs);
    const QString told = world.prompter.messages().first().text;
    QVERIFY2(told.contains(QStringLiteral("it is kept as '%1'").arg(folder.filePath(kept[0]))),
             qPrintable(told));
    QVERIFY(!QDir(world.file(QStringLiteral("trash"))).exists());
}

void TestMaintenance::keptCopiesAreTheNewestFive()
{
    MaintenanceWorld world;
    world.fileOps.trashRefuses = true;
    const QDir folder(world.database + QStringLiteral("-kept"));
    QStringList made;
    for (int run = 0; run < 7; ++run) {
        if (run != 3) // two runs within one second
            world.clock.set(world.clock.now().addSecs(1));
        QCOMPARE(world.run(MaintenanceOperation::Compact), DatabaseMaintenance::Outcome::Done);
        QStringList now = folder.entryList({QStringLiteral("QUORVEL.MDB.before-compaction-*")});
        for (const QString &name : std::as_const(made))
            now.removeAll(name);
        QCOMPARE(now.size(), 1); // the one this run kept
        made << now.first();
        QVERIFY2(world.prompter.messages().last().text.contains(
                     QStringLiteral("it is kept as '%1'. That folder keeps the newest 5 copies")
                         .arg(folder.filePath(now.first()))),
                 qPrintable(world.prompter.messages().last().text));
    }
    QCOMPARE(folder.entryList({QStringLiteral("QUORVEL.MDB.before-compaction-*")}), made.mid(2));
    QCOMPARE(jobsIn(folder.filePath(made.last())), kAllJobs);
}

namespace {
// A disk of its own, small, for the database's folder; unmounted when the test ends.
class SmallDisk
{
public:
    SmallDisk(const QString &path, int megabytes) : m_path(path)
    {
        QDir().mkpath(path);
        const QByteArray options = "size=" + QByteArray::number(megabytes) + "m";
        m_mounted =
            ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool mounted() const { return m_mounted; }

private:
    QString m_path;
    bool m_mounted = false;
};
} // namespace

void TestMaintenance::commandsFitASmallDisk_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("filler"); // kilobytes of the disk taken by other files
    QTest::newRow("backup beside a backup") << 1 << 0;
    QTest::newRow("restore") << 2 << 0;
    QTest::newRow("repair") << 3 << 0;
    QTest::newRow("compact") << 4 << 0;
    QTest::newRow("backup on a fuller disk") << 1 << 700;
    QTest::newRow("restore on a fuller disk") << 2 << 700;
}

// A database of 1.6 MB (its change history included) and its backup on a disk of 5 MB: each command needs one
// copy's room, and with less room it says so before it writes anything.
void TestMaintenance::commandsFitASmallDisk()
{
    QFETCH(int, operation);
    QFETCH(int, filler);
    const auto op = MaintenanceOperation(operation);
    MaintenanceWorld world;
    {
        Database db = world.openDatabase();
        db.exec(QStringLiteral("CREATE TABLE \"Ballast\" (\"Bytes\" BLOB)"));
        db.exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1400) "
                           "INSERT INTO \"Ballast\" SELECT randomblob(1000) FROM n"));
    }
    world.makeBackup();
    const QString plant = world.file(QStringLiteral("plant"));
    SmallDisk disk(plant, 5);
    if (!disk.mounted())
        QSKIP("a small disk (tmpfs) cannot be mounted here: that needs root's right to mount");
    const QString database = QDir(plant).filePath(QStringLiteral("QUORVEL.MDB"));
    for (const QString &suffix : {QString(), QStringLiteral("-Backup.mdb")})
        QVERIFY(QFile::rename(world.database + suffix, database + suffix));
    world.database = database;
    world.session->options().setDatabaseName(database);
    world.fileOps.trashRefuses = true; // a plant's shared folder has no trash
    if (filler > 0)
        QVERIFY(overwrite(QDir(plant).filePath(QStringLiteral("other files")), 0,
                          QByteArray(filler * 1024, 'x')));
    const QByteArray before = readFile(database);

    const DatabaseMaintenance::Outcome outcome = world.run(op);

    const QString told = world.prompter.messages().last().text;
    if (filler == 0) {
        QVERIFY2(outcome == DatabaseMaintenance::Outcome::Done, qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("Files written in full: 1 (")), qPrintable(told));
        return;
    }
    QCOMPARE(outcome, DatabaseMaintenance::Outcome::Failed);
    const qint64 needed =
        QFileInfo(op == MaintenanceOperation::Restore ? database + "-Backup.mdb" : database).size();
    const QRegularExpression room(
        QStringLiteral("The disk holding %1 has ([0-9.]+) MB free; %2 needs ([0-9.]+) MB\\.")
            .arg(QRegularExpression::escape(plant), DatabaseMaintenance::operationWord(op)));
    const QRegularExpressionMatch match = room.match(told);
    QVERIFY2(match.hasMatch(), qPrintable(told));
    QCOMPARE(match.captured(2).toDouble(), std::round(needed / 1e5) / 10);
    QVERIFY(match.captured(1).toDouble() < match.captured(2).toDouble());
    QCOMPARE(readFile(database), before);
    // Nothing was written: no work file, no copy.
    QStringList left =
        QDir(plant).entryList({QStringLiteral("QUORVEL.MDB*")}, QDir::AllEntries | QDir::NoDotAndDotDot);
    left.removeAll(QStringLiteral("QUORVEL.MDB.presence"));
    QCOMPARE(left, QStringList({QStringLiteral("QUORVEL.MDB"), QStringLiteral("QUORVEL.MDB-Backup.mdb")}));
}

void TestMaintenance::backupReplacesOnlyWithAsMuch_data()
{
    QTest::addColumn<int>("databaseLines"); // -1: the database file is empty (0 bytes)
    QTest::addColumn<int>("backupLines");
    QTest::addColumn<QList<MsgAnswer>>("answers");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("replaced");

    const QString fewer = QStringLiteral("The database holds 1 job lines, the backup 2. Replace the backup?");
    QTest::newRow("an empty file is no backup") << -1 << 2 << QList<MsgAnswer>{} << QString() << false;
    QTest::newRow("fewer lines: No is the default") << 1 << 2 << QList<MsgAnswer>{} << fewer << false;
    QTest::newRow("fewer lines: Yes replaces") << 1 << 2 << QList<MsgAnswer>{MsgAnswer::Yes} << fewer << true;
    QTest::newRow("as many lines: no question") << 2 << 2 << QList<MsgAnswer>{} << QString() << true;
}

void TestMaintenance::backupReplacesOnlyWithAsMuch()
{
    QFETCH(int, databaseLines);
    QFETCH(int, backupLines);
    QFETCH(QList<MsgAnswer>, answers);
    QFETCH(QString, question);
    QFETCH(bool, replaced);
    MaintenanceWorld world;
    world.makeBackup();
    const QString backup = world.database + QStringLiteral("-Backup.mdb");
    const auto addLines = [](const QString &path, int lines) {
        Database db = Database::open(path);
        for (int machine = 1; machine <= lines; ++machine)
            Fixture::line(db, QDate(2026, 12, 7), 1, machine, QStringLiteral("10-1042"));
    };
    addLines(backup, backupLines);
    if (databaseLines < 0)
        QVERIFY(writeFile(world.database, QByteArray()));
    else
        addLines(world.database, databaseLines);
    const QByteArray backupBefore = readFile(backup);
    for (const MsgAnswer answer : answers)
        world.prompter.script({answer});

    world.run(MaintenanceOperation::Backup);

    QStringList questions;
    for (const PromptMessage &message : world.prompter.messages()) {
        if (message.buttons == MsgButtons::YesNo) {
            questions << message.text;
            QCOMPARE(message.defaultAnswer, std::optional<MsgAnswer>(MsgAnswer::No));
        }
    }
    QCOMPARE(questions, question.isEmpty() ? QStringList() : QStringList{question});
    QCOMPARE(readFile(backup) != backupBefore, replaced);
    const MaintenanceRecord dates = MaintenanceRecord::fromBytes(
        readFile(QFileInfo(world.database).dir().filePath(QStringLiteral("DFUNC.DAT"))));
    QCOMPARE(dates.lastBackup.isDate(), replaced);
    QCOMPARE(world.prompter.messages().last().text.startsWith(QStringLiteral("Backup Complete.")), replaced);
}

void TestMaintenance::repairTellsWhatWasLost()
{
    MaintenanceWorld world;
    smashPage(world.database, QStringLiteral("Job Lookup Table"), QByteArray(16, '\xff'));

    QCOMPARE(world.run(MaintenanceOperation::Repair), DatabaseMaintenance::Outcome::Done);

    const PromptMessage status = world.prompter.messages().last();
    QVERIFY2(!status.text.contains(QStringLiteral("Complete")), qPrintable(status.text));
    QVERIFY2(
        status.text.contains(QStringLiteral("Job Lookup Table: 0 rows kept; its rows could not be read.")),
        qPrintable(status.text));
    QVERIFY2(status.text.contains(QStringLiteral("Security Table: 1 rows kept.")), qPrintable(status.text));
    QCOMPARE(status.icon, MsgIcon::Exclamation);
    QVERIFY(errorLog(world).contains(QStringLiteral("Job Lookup Table: 0 rows kept")));
    // The damaged file, which still holds the lost rows, stays beside the database.
    const QStringList kept =
        QDir(world.root()).entryList({QStringLiteral("QUORVEL.MDB.damaged-*")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    QVERIFY(status.text.contains(world.file(kept.first())));
}

void TestMaintenance::damagedBackupReportGoesToTheLog()
{
    // The backup's index of job lines reads as empty: the check reports each of its 80 lines.
    MaintenanceWorld world;
    {
        Database db = world.openDatabase();
        for (int machine = 1; machine <= 80; ++machine)
            Fixture::line(db, QDate(2026, 12, 3), 1, machine, QStringLiteral("10-1042"));
    }
    world.makeBackup();
    const QString backup = world.database + QStringLiteral("-Backup.mdb");
    smashPage(backup, QStringLiteral("Production Date Shift"), QByteArray::fromHex("0a00000000100000"));

    QCOMPARE(world.run(MaintenanceOperation::Restore), DatabaseMaintenance::Outcome::Failed);

    const QString message = world.prompter.messages().last().text;
    QVERIFY2(message.split('\n').size() < 15, qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("more lines, all written to the error log '%1'")
                                  .arg(world.paths->inProgramFolder(QStringLiteral("error.log")))),
             qPrintable(message));
    const QString log = errorLog(world);
    QVERIFY2(log.count(QStringLiteral("missing from index")) >= 50, qPrintable(log));
    QCOMPARE(jobsIn(world.database), kAllJobs);
}

QTEST_GUILESS_MAIN(TestMaintenance)
#include "test_maintenance.moc"
