#include "TestSupport.h"

#include "sharing/DatabaseRepair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

// The rebuild of a damaged production database, and that no step loses the only good copy. The
// repair's questions, its two exclusive access checks and a file of which nothing can be read are
// tested with the start-up that runs it.
class TestRepair : public QObject
{
    Q_OBJECT

private slots:
    void rebuildKeepsWhatCanBeRead();
    void failedReplaceLeavesTheOriginal_data();
    void failedReplaceLeavesTheOriginal();
    void truncatedFileGivesWhatItHolds();
    void repairWorksBesideTheDatabase_data();
    void repairWorksBesideTheDatabase();
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
        db.exec(QStringLiteral("CREATE TABLE [Small] ([Id] INTEGER PRIMARY KEY, [Name] TEXT)"));
        db.exec(QStringLiteral("INSERT INTO [Small] VALUES (1, 'one'), (2, 'two')"));
        db.exec(QStringLiteral("CREATE TABLE [Big] ([Id] INTEGER PRIMARY KEY, [Text] TEXT, [Note] TEXT)"));
        Transaction transaction(db);
        for (int i = 1; i <= kRows; ++i)
            db.exec(QStringLiteral("INSERT INTO [Big] VALUES (:id, :text, 'n')"),
                    {{QStringLiteral("id"), i}, {QStringLiteral("text"), QString(60, QChar('a' + i % 26))}});
        transaction.commit();
        db.exec(QStringLiteral("CREATE INDEX [Big Text] ON [Big] ([Text])"));
    }
    // The leaf pages of [Big] come first, its index after them.
    const qint64 pages = QFileInfo(path).size() / 4096;
    overwrite(path, (pages / 3) * 4096, QByteArray(4096, '\xff'));
    return path;
}
} // namespace

void TestRepair::rebuildKeepsWhatCanBeRead()
{
    QTemporaryDir dir;
    const QString damaged = damagedDatabase(dir.path());
    const QString target = dir.filePath(QStringLiteral("rebuilt.mdb"));

    const RebuildResult result = DatabaseRepair::rebuild(damaged, target, dir.path());

    QVERIFY2(result.ok, qPrintable(result.failure));
    QCOMPARE(result.tablesCopied, 2);
    QCOMPARE(result.damagedTables, QStringList{QStringLiteral("Big")});
    Database rebuilt = Database::open(target);
    QCOMPARE(rebuilt.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    QCOMPARE(rebuilt.scalar(QStringLiteral("SELECT count(*) FROM [Small]")).toInt(), 2);
    const int big = rebuilt.scalar(QStringLiteral("SELECT count(*) FROM [Big]")).toInt();
    QVERIFY2(big > kRows / 2 && big < kRows, qPrintable(QString::number(big)));
    // Rows on both sides of the damaged page came across, with their keys.
    QCOMPARE(rebuilt.scalar(QStringLiteral("SELECT min([Id]) FROM [Big]")).toInt(), 1);
    QCOMPARE(rebuilt.scalar(QStringLiteral("SELECT max([Id]) FROM [Big]")).toInt(), kRows);
    QCOMPARE(
        rebuilt.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'Big Text'")).toInt(),
        1);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("db2.scratch"))));
}

void TestRepair::failedReplaceLeavesTheOriginal_data()
{
    QTest::addColumn<bool>("failCopy");
    QTest::addColumn<bool>("failRename");
    QTest::newRow("copy beside the database fails") << true << false;
    QTest::newRow("renaming the damaged file fails") << false << true;
}

void TestRepair::failedReplaceLeavesTheOriginal()
{
    QFETCH(bool, failCopy);
    QFETCH(bool, failRename);
    TestWorld world;
    const QString path = world.createDatabase();
    QVERIFY(overwrite(path, 0, QByteArray(16, 'X')));
    const QByteArray before = readFile(path);
    world.fileOps.failCopy = failCopy;
    world.fileOps.failRename = failRename;

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
            db.exec(QStringLiteral("CREATE TABLE [%1] ([Id] INTEGER PRIMARY KEY, [Text] TEXT)").arg(table));
            for (int i = 1; i <= 300; ++i)
                db.exec(QStringLiteral("INSERT INTO [%1] VALUES (:id, :text)").arg(table),
                        {{QStringLiteral("id"), i}, {QStringLiteral("text"), QString(100, 'x')}});
        }
        transaction.commit();
    }
    QFile file(path);
    QVERIFY(file.resize(file.size() * 6 / 10 + 1000));
    const QString target = dir.filePath(QStringLiteral("rebuilt.mdb"));

    const RebuildResult result = DatabaseRepair::rebuild(path, target, dir.path());

    QVERIFY2(result.ok, qPrintable(result.failure));
    Database rebuilt = Database::open(target);
    QCOMPARE(rebuilt.scalar(QStringLiteral("SELECT count(*) FROM [First]")).toInt(), 300);
    const int second = rebuilt.scalar(QStringLiteral("SELECT count(*) FROM [Second]")).toInt();
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
    QCOMPARE(last.text, DatabaseRepair::statusText());
    QCOMPARE(world.openDatabase().scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
             QStringLiteral("ok"));
    const QStringList left = QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("db2.*")});
    QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
}

QTEST_GUILESS_MAIN(TestRepair)
#include "test_repair.moc"
