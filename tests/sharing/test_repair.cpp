#include "TestSupport.h"

#include "sharing/DatabaseRepair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QtTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// The rebuild of a damaged production database, and that no step loses the only good copy. The
// repair's questions, its two exclusive access checks and a file of which nothing can be read are
// tested with the start-up that runs it.
class TestRepair : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        FILE_DATABASE_ONLY("the repair rebuilds a damaged file (the server: test_servermaintenance)");
    }
    void rebuildKeepsWhatCanBeRead();
    void failedReplaceLeavesTheOriginal_data();
    void failedReplaceLeavesTheOriginal();
    void truncatedFileGivesWhatItHolds();
    void repairWorksBesideTheDatabase_data();
    void repairWorksBesideTheDatabase();
    void reportsWhatWasLost();
    void countersKeepTheirPlace_data();
    void countersKeepTheirPlace();
    void unreadableFileSaysWhy();
    void leftoverWorkFileWithoutTrashIsKept();
};

namespace {
constexpr int kRows = 3000;

// A database with one small table and one big one, whose pages are overwritten somewhere in the
// middle of the big table.
QString damagedDatabase(const QString &folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("damaged.mdb"));
    {
        Database db = Database::createFile(path);
        db.exec(QStringLiteral("CREATE TABLE \"Small\" (\"Id\" INTEGER PRIMARY KEY, \"Name\" TEXT)"));
        db.exec(QStringLiteral("INSERT INTO \"Small\" VALUES (1, 'one'), (2, 'two')"));
        db.exec(QStringLiteral(
            "CREATE TABLE \"Big\" (\"Id\" INTEGER PRIMARY KEY, \"Text\" TEXT, \"Note\" TEXT)"));
        Transaction transaction(db);
        for (int i = 1; i <= kRows; ++i)
            db.exec(QStringLiteral("INSERT INTO \"Big\" VALUES (:id, :text, 'n')"),
                    {{QStringLiteral("id"), i}, {QStringLiteral("text"), QString(60, QChar('a' + i % 26))}});
        transaction.commit();
        db.exec(QStringLiteral("CREATE INDEX \"Big Text\" ON \"Big\" (\"Text\")"));
    }
    // The leaf pages of [Big] come first, its index after them: two pages far apart are lost.
    const qint64 pages = QFileInfo(path).size() / 4096;
    overwrite(path, (pages / 6) * 4096, QByteArray(4096, '\xff'));
    overwrite(path, (pages / 3) * 4096, QByteArray(4096, '\xff'));
    return path;
}

// Takes from this thread, while it lives, root's power to read and write any file, so that a
// file's permissions count as they do for everyone else.
class DropFileOverride
{
public:
    DropFileOverride()
    {
        syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct dropped[2] = {m_saved[0], m_saved[1]};
        dropped[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &m_header, dropped);
    }
    ~DropFileOverride() { syscall(SYS_capset, &m_header, m_saved); }
    DropFileOverride(const DropFileOverride &) = delete;
    DropFileOverride &operator=(const DropFileOverride &) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
};

// The numbers of the rows of [Big] that can still be read one by one, each found through the
// table's pages from its root: what a repair can keep.
QList<qint64> readableRows(const QString &path)
{
    Database db = Database::open(path, Database::Salvage);
    QSqlQuery query(db.connection());
    query.prepare(QStringLiteral("SELECT \"Id\" FROM \"Big\" WHERE rowid = ?"));
    QList<qint64> rows;
    for (int id = 1; id <= kRows; ++id) {
        query.bindValue(0, id);
        if (query.exec() && query.next())
            rows << id;
        query.finish();
    }
    return rows;
}

QList<qint64> keptRows(const QString &path)
{
    Database db = Database::open(path);
    QSqlQuery query = db.exec(QStringLiteral("SELECT \"Id\" FROM \"Big\" ORDER BY \"Id\""));
    QList<qint64> rows;
    while (query.next())
        rows << query.value(0).toLongLong();
    return rows;
}

int rootPage(const Database &db, const QString &table)
{
    return db
        .scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = :name"),
                {{QStringLiteral("name"), table}})
        .toInt();
}
} // namespace

void TestRepair::rebuildKeepsWhatCanBeRead()
{
    QTemporaryDir dir;
    const QString damaged = damagedDatabase(dir.path());
    const QString target = dir.filePath(QStringLiteral("rebuilt.mdb"));

    const RebuildResult result = FileSalvage::rebuild(damaged, target, dir.path());

    QVERIFY2(result.ok, qPrintable(result.failure));
    QCOMPARE(result.tablesCopied, 2);
    QCOMPARE(result.damagedTables, QStringList{QStringLiteral("Big")});
    Database rebuilt = Database::open(target);
    QCOMPARE(rebuilt.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    QCOMPARE(rebuilt.scalar(QStringLiteral("SELECT count(*) FROM \"Small\"")).toInt(), 2);
    // Exactly the rows of the two damaged pages are missing: not those between them, nor the
    // first row after each damaged page.
    const QList<qint64> readable = readableRows(damaged);
    QVERIFY2(readable.size() > kRows - 200 && readable.size() < kRows,
             qPrintable(QString::number(readable.size())));
    QCOMPARE(keptRows(target), readable);
    // Rows on both sides of the damaged page came across, with their keys.
    QCOMPARE(rebuilt.scalar(QStringLiteral("SELECT min(\"Id\") FROM \"Big\"")).toInt(), 1);
    QCOMPARE(rebuilt.scalar(QStringLiteral("SELECT max(\"Id\") FROM \"Big\"")).toInt(), kRows);
    QCOMPARE(
        rebuilt.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'Big Text'")).toInt(),
        1);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("db2.scratch"))));
}

void TestRepair::failedReplaceLeavesTheOriginal_data()
{
    QTest::addColumn<bool>("failCopy");
    QTest::addColumn<bool>("failReplace");
    QTest::newRow("keeping the damaged file fails") << true << false;
    QTest::newRow("replacing the damaged file fails") << false << true;
}

void TestRepair::failedReplaceLeavesTheOriginal()
{
    QFETCH(bool, failCopy);
    QFETCH(bool, failReplace);
    TestWorld world;
    const QString path = world.createDatabase();
    QVERIFY(overwrite(path, 0, QByteArray(16, 'X')));
    const QByteArray before = readFile(path);
    world.fileOps.failCopy = failCopy;
    world.fileOps.failLink = failCopy;
    world.fileOps.failReplace = failReplace;

    DatabaseRepair(*world.session).run();

    QCOMPARE(world.prompter.titles(),
             (QStringList{QStringLiteral("Database Initialization Error"), QStringLiteral("Repair Status"),
                          QStringLiteral("Repair Status")}));
    QCOMPARE(world.prompter.messages().last().icon, MsgIcon::Critical);
    QCOMPARE(readFile(path), before);
    const QStringList left = QDir(world.root()).entryList(QDir::Files);
    QVERIFY2(!left.join(' ').contains(QStringLiteral("damaged-")), qPrintable(left.join(' ')));
    QVERIFY(!left.contains(QStringLiteral("QUORVEL.MDB.repaired")));
}

void TestRepair::truncatedFileGivesWhatItHolds()
{
    // Three tables one after the other; the file loses its last 40%, so the first table is whole,
    // the second partly there and the third gone.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.mdb"));
    {
        Database db = Database::createFile(path);
        Transaction transaction(db);
        for (const QString &table :
             {QStringLiteral("First"), QStringLiteral("Second"), QStringLiteral("Third")}) {
            db.exec(
                QStringLiteral("CREATE TABLE \"%1\" (\"Id\" INTEGER PRIMARY KEY, \"Text\" TEXT)").arg(table));
            for (int i = 1; i <= 300; ++i)
                db.exec(QStringLiteral("INSERT INTO \"%1\" VALUES (:id, :text)").arg(table),
                        {{QStringLiteral("id"), i}, {QStringLiteral("text"), QString(100, 'x')}});
        }
        transaction.commit();
    }
    QFile file(path);
    QVERIFY(file.resize(file.size() * 6 / 10 + 1000));
    const QString target = dir.filePath(QStringLiteral("rebuilt.mdb"));

    const RebuildResult result = FileSalvage::rebuild(path, target, dir.path());

    QVERIFY2(result.ok, qPrintable(result.failure));
    Database rebuilt = Database::open(target);
    QCOMPARE(rebuilt.scalar(QStringLiteral("SELECT count(*) FROM \"First\"")).toInt(), 300);
    const int second = rebuilt.scalar(QStringLiteral("SELECT count(*) FROM \"Second\"")).toInt();
    QVERIFY2(second > 0 && second < 300, qPrintable(QString::number(second)));
    QCOMPARE(rebuilt.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("db2.scratch"))));
}

void TestRepair::repairWorksBesideTheDatabase_data()
{
    QTest::addColumn<bool>("workFileBlocked");
    QTest::newRow("program folder not writable") << false;
    QTest::newRow("work file cannot be made") << true;
}

void TestRepair::repairWorksBesideTheDatabase()
{
    QFETCH(bool, workFileBlocked);
    TestWorld world;
    const QString path = world.createDatabase();
    QVERIFY(overwrite(path, 0, QByteArray(16, 'X')));
    // Nothing can be made in the program folder: it is a file here.
    QVERIFY(QDir(world.paths->programFolder()).removeRecursively());
    QVERIFY(writeFile(world.paths->programFolder(), "not a folder"));
    const QString rebuild = QDir(QFileInfo(path).absolutePath()).filePath(QStringLiteral("db2.rebuild"));
    if (workFileBlocked)
        QVERIFY(QDir().mkpath(rebuild + QStringLiteral("/inside")));
    world.prompter.script({MsgAnswer::Yes});

    DatabaseRepair(*world.session).run();

    const PromptMessage last = world.prompter.messages().last();
    if (workFileBlocked) {
        // The real reason, not that the file is unreadable.
        QCOMPARE(last.icon, MsgIcon::Critical);
        QVERIFY2(last.text.contains(QStringLiteral("The work file '%1' cannot be made").arg(rebuild)),
                 qPrintable(last.text));
        return;
    }
    QVERIFY2(last.text.startsWith(DatabaseRepair::statusText()), qPrintable(last.text));
    QCOMPARE(world.openDatabase().scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
             QStringLiteral("ok"));
    const QStringList left = QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("db2.*")});
    QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
}

void TestRepair::reportsWhatWasLost()
{
    QTemporaryDir dir;
    const QString damaged = damagedDatabase(dir.path());
    const RebuildResult result =
        FileSalvage::rebuild(damaged, dir.filePath(QStringLiteral("rebuilt.mdb")), dir.path());

    QVERIFY2(result.ok, qPrintable(result.failure));
    QVERIFY(result.lostRows());
    QVERIFY(!result.lostRows(QStringLiteral("Small")));
    const TableOutcome big = result.tables.at(1);
    // Each stretch is named by the readable rows on either side of it.
    QList<QPair<qint64, qint64>> gaps;
    const QList<qint64> readable = readableRows(damaged);
    for (qsizetype i = 1; i < readable.size(); ++i) {
        if (readable[i] > readable[i - 1] + 1)
            gaps.append({readable[i - 1], readable[i]});
    }
    QCOMPARE(big.unreadable, gaps);
    const QStringList lines = result.report().split('\n');
    QCOMPARE(lines.first(), QStringLiteral("Small: 2 rows kept."));
    QVERIFY2(lines.at(1).startsWith(QStringLiteral("Big: %1 rows kept; the rows between numbers %2 and %3 "
                                                   "could not be read; the rows between numbers ")
                                        .arg(QLocale().toString(big.kept),
                                             QLocale().toString(big.unreadable[0].first),
                                             QLocale().toString(big.unreadable[0].second))),
             qPrintable(lines.at(1)));
    const QString text = DatabaseRepair::outcomeText(result, QStringLiteral("kept.mdb"));
    QVERIFY(!text.contains(QStringLiteral("Repairs complete")));
    QVERIFY(text.contains(QStringLiteral("'kept.mdb'")));
}

void TestRepair::countersKeepTheirPlace_data()
{
    QTest::addColumn<bool>("damaged");
    QTest::newRow("last row deleted, sound file") << false;
    QTest::newRow("table's page emptied, damaged file") << true;
}

void TestRepair::countersKeepTheirPlace()
{
    // Twelve colors, the last deleted: number 12 was given out once and must not come again.
    QFETCH(bool, damaged);
    TestWorld world;
    const QString path = world.createDatabase();
    int page = 0;
    {
        Database db = world.openDatabase();
        Fixture::job(db, QStringLiteral("J"));
        for (int i = 1; i <= 12; ++i)
            db.exec(
                QStringLiteral(
                    "INSERT INTO \"Color Table\" (\"Job Number\", \"Color Feeder Code\") VALUES ('J', :i)"),
                {{QStringLiteral("i"), i}});
        db.exec(QStringLiteral("DELETE FROM \"Color Table\" WHERE \"Color ID\" = 12"));
        page = rootPage(db, QStringLiteral("Color Table"));
    }
    // A page that reads as an empty table: the counter is all that shows the rows were there.
    if (damaged)
        QVERIFY(overwrite(path, qint64(page - 1) * 4096, QByteArray::fromHex("0d00000000100000")));
    const QString target = world.file(QStringLiteral("rebuilt.mdb"));

    const RebuildResult result = FileSalvage::rebuild(path, target, world.root());

    QVERIFY2(result.ok, qPrintable(result.failure));
    QCOMPARE(result.lostRows(), damaged);
    const QString text = DatabaseRepair::outcomeText(result, QStringLiteral("kept.mdb"));
    QCOMPARE(text.startsWith(DatabaseRepair::statusText()), !damaged);
    if (damaged)
        QVERIFY2(
            text.contains(QStringLiteral("Color Table: 0 rows kept; its counter stood at 12, so the rows "
                                         "numbered 1 to 12 are missing.")),
            qPrintable(text));
    Database rebuilt = Database::open(target);
    const qint64 id = rebuilt.insert(QStringLiteral(
        "INSERT INTO \"Color Table\" (\"Job Number\", \"Color Feeder Code\") VALUES ('J', 13)"));
    QCOMPARE(id, 13);
}

void TestRepair::unreadableFileSaysWhy()
{
    // The file is there but this user may not read it: the message says so, not that the file is
    // beyond reading. Root reads any file, so the test gives up that power first.
    QTemporaryDir dir;
    const QString path = damagedDatabase(dir.path());
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    const DropFileOverride dropped;
    const RebuildResult result =
        FileSalvage::rebuild(path, dir.filePath(QStringLiteral("rebuilt.mdb")), dir.path());
    QVERIFY(!result.ok);
    QVERIFY2(result.failure.contains(QStringLiteral("cannot be opened")), qPrintable(result.failure));
    QVERIFY2(result.failure.contains(QStringLiteral("Permission denied")), qPrintable(result.failure));
    QVERIFY(!result.failure.contains(QStringLiteral("Nothing in the file")));
}

void TestRepair::leftoverWorkFileWithoutTrashIsKept()
{
    TestWorld world;
    const QString path = world.createDatabase();
    QVERIFY(overwrite(path, 0, QByteArray(16, 'X')));
    const QDir folder = QFileInfo(path).absoluteDir();
    QVERIFY(writeFile(folder.filePath(QStringLiteral("db2.mdb")), "an earlier run's copy"));
    world.fileOps.failRemove = true; // no trash takes it

    DatabaseRepair(*world.session).run();

    const PromptMessage last = world.prompter.messages().last();
    QVERIFY2(last.text.startsWith(DatabaseRepair::statusText()), qPrintable(last.text));
    const QStringList aside = folder.entryList({QStringLiteral("db2.mdb-*")}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QCOMPARE(readFile(folder.filePath(aside.first())), QByteArray("an earlier run's copy"));
}

QTEST_GUILESS_MAIN(TestRepair)
#include "test_repair.moc"
