#include "TestSupport.h"

#include "sharing/LockFile.h"

#include <QFile>
#include <QtTest>

// The lock file "db.lok": what counts as a lock, and the lock wait of the maintenance commands.
class TestLockFile : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void writesWhatItReads();
    void lockWait_data();
    void lockWait();
    void removeGivesUpOnAFileThatStays();
};

void TestLockFile::reads_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("isLock");
    QTest::addColumn<QDateTime>("started");
    QTest::addColumn<QString>("who");

    const QDateTime when(QDate(2026, 12, 8), QTime(8, 57, 0));
    QTest::newRow("our own form") << QByteArray("2026-12-08 08:57:00\r\nJane Doe\r\nBackup\r\n") << true
                                  << when << "Jane Doe";
    QTest::newRow("general date form of an older writer")
        << QByteArray("12/8/2026 8:57:00 AM\r\nJane Doe\r\nCompaction\r\n") << true << when << "Jane Doe";
    QTest::newRow("bare line feeds") << QByteArray("2026-12-08 08:57:00\nJane Doe\nRestore") << true << when
                                     << "Jane Doe";
    QTest::newRow("garbage lines") << QByteArray("\x01\xff garbage\r\n???\r\n\r\n") << false << QDateTime()
                                   << "";
    QTest::newRow("two lines only") << QByteArray("2026-12-08 08:57:00\r\nJane Doe\r\n") << false
                                    << QDateTime() << "";
    QTest::newRow("empty file") << QByteArray() << false << QDateTime() << "";
}

void TestLockFile::reads()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, isLock);
    QTemporaryDir dir;
    const LockFile lockFile = LockFile::inFolder(dir.path());
    QVERIFY(writeFile(lockFile.path(), content));
    const std::optional<LockInfo> lock = lockFile.read();
    QCOMPARE(lock.has_value(), isLock);
    if (lock) {
        QTEST(lock->started, "started");
        QTEST(lock->who, "who");
    }
}

void TestLockFile::writesWhatItReads()
{
    QTemporaryDir dir;
    const LockFile lockFile = LockFile::inFolder(dir.path());
    QVERIFY(!lockFile.read());
    const QDateTime when(QDate(2026, 3, 1), QTime(23, 5, 9));
    QVERIFY(lockFile.write(when, QStringLiteral("Jane Doe"), QStringLiteral("Repair")));
    QCOMPARE(readFile(lockFile.path()), QByteArray("2026-03-01 23:05:09\r\nJane Doe\r\nRepair\r\n"));
    const std::optional<LockInfo> lock = lockFile.read();
    QVERIFY(lock);
    QCOMPARE(lock->started, when);
    QCOMPARE(lock->operation, QStringLiteral("Repair"));
    QCOMPARE(LockFile::questionText(*lock),
             QStringLiteral("The database has been in use since 2026-03-01 23:05:09 by Jane Doe performing a "
                            "Repair and is currently unavailable.  Wait?"));
}

void TestLockFile::lockWait_data()
{
    QTest::addColumn<bool>("locked");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<int>("pauses");

    QTest::newRow("no lock: at once, no question") << false << MsgAnswer::Yes << true << 0;
    QTest::newRow("No abandons the command") << true << MsgAnswer::No << false << 0;
    QTest::newRow("Yes waits until the lock is gone") << true << MsgAnswer::Yes << true << 3;
}

void TestLockFile::lockWait()
{
    QFETCH(bool, locked);
    QFETCH(MsgAnswer, answer);
    QTemporaryDir dir;
    const LockFile lockFile = LockFile::inFolder(dir.path());
    if (locked)
        lockFile.write(QDateTime(QDate(2026, 12, 8), QTime(9, 0)), QStringLiteral("Jane Doe"),
                       QStringLiteral("Backup"));
    ScriptedPrompter prompter;
    prompter.script({answer});
    int pauses = 0;
    // The other workstation finishes during the third pause.
    const auto pause = [&](int seconds) {
        QCOMPARE(seconds, 1);
        if (++pauses == 3)
            QFile::remove(lockFile.path());
    };
    QTEST(lockFile.waitWhileLocked(prompter, pause), "goesOn");
    QTEST(pauses, "pauses");
    QCOMPARE(prompter.titles(), locked ? QStringList{QStringLiteral("Database in Use")} : QStringList());
}

void TestLockFile::removeGivesUpOnAFileThatStays()
{
    // A path whose "file" is a non-empty folder cannot be deleted as a file: the refusal ends the
    // attempt at once, with the reason, instead of half a minute of pauses.
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("db.lok/inside"));
    int pauses = 0;
    QString reason;
    QVERIFY(!LockFile::inFolder(dir.path()).remove([&](int) { ++pauses; }, 30, &reason));
    QCOMPARE(pauses, 0);
    QVERIFY(!reason.isEmpty());
    // A file that can go goes without a pause.
    const LockFile plain = LockFile::inFolder(QDir(dir.path()).filePath(QStringLiteral("other")));
    QDir(dir.path()).mkpath(QStringLiteral("other"));
    QVERIFY(plain.write(QDateTime(QDate(2026, 12, 8), QTime(9, 0)), QStringLiteral("jdoe"),
                        QStringLiteral("Backup")));
    QVERIFY(plain.remove([&](int) { ++pauses; }));
    QVERIFY(!plain.exists());
    QCOMPARE(pauses, 0);
}

QTEST_GUILESS_MAIN(TestLockFile)
#include "test_lockfile.moc"
