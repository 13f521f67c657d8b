#include "TestSupport.h"

#include "sharing/LockFile.h"

#include <QFile>
#include <QtTest>

// The lock file "db.lok": what counts as a lock, and the lock wait of the maintenance commands.
Q_DECLARE_METATYPE(LockWaitResult)
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
    LockFile lockFile = LockFile::inFolder(dir.path());
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
    QTest::addColumn<QString>("lock"); // "none", "running" (its command holds it), "left" (nobody does)
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<QString>("during"); // what happens at the third pause of the wait
    QTest::addColumn<bool>("removeRefused");
    QTest::addColumn<LockWaitResult>("result");
    QTest::addColumn<int>("pauses");
    QTest::addColumn<QList<MsgIcon>>("icons");
    QTest::addColumn<bool>("lockRemains");

    const auto q = MsgIcon::Question, info = MsgIcon::Information, warn = MsgIcon::Exclamation;
    using R = LockWaitResult;
    QTest::newRow("no lock: at once, no question")
        << "none" << MsgAnswer::Yes << "" << false << R::Free << 0 << QList<MsgIcon>{} << false;
    QTest::newRow("No abandons the command")
        << "running" << MsgAnswer::No << "" << false << R::Abandoned << 0 << QList<MsgIcon>{q} << true;
    QTest::newRow("Yes waits until the lock is gone")
        << "running" << MsgAnswer::Yes << "removed" << false << R::Free << 3 << QList<MsgIcon>{q} << false;
    QTest::newRow("Cancel in the progress ends the wait")
        << "running" << MsgAnswer::Yes << "cancel" << false << R::Abandoned << 2 << QList<MsgIcon>{q} << true;
    QTest::newRow("its command dies while waited for: removed")
        << "running" << MsgAnswer::Yes << "dies" << false << R::Free << 3 << QList<MsgIcon>{q, info} << false;
    QTest::newRow("left by a command no longer running: removed, no wait")
        << "left" << MsgAnswer::No << "" << false << R::Free << 0 << QList<MsgIcon>{info} << false;
    QTest::newRow("left and cannot be removed: the command stops, saying why")
        << "left" << MsgAnswer::Yes << "" << true << R::Blocked << 0 << QList<MsgIcon>{warn} << true;
}

void TestLockFile::lockWait()
{
    QFETCH(QString, lock);
    QFETCH(MsgAnswer, answer);
    QFETCH(QString, during);
    QFETCH(bool, removeRefused);
    QTemporaryDir dir;
    std::optional<LockFile> holder;
    if (lock != QLatin1String("none")) {
        holder.emplace(LockFile::inFolder(dir.path()));
        QVERIFY(holder->write(QDateTime(QDate(2026, 12, 8), QTime(9, 0)), QStringLiteral("Jane Doe"),
                              QStringLiteral("Backup")));
    }
    FailingFileOps files;
    if (lock == QLatin1String("left")) {
        holder.reset(); // a killed command: the file stays, nobody holds it
        files.failRemove = removeRefused;
    }
    ScriptedPrompter prompter;
    prompter.script({answer});
    int pauses = 0, shown = 0;
    const auto pause = [&](int seconds) {
        QCOMPARE(seconds, 1);
        if (++pauses == 3 && during == QLatin1String("removed"))
            holder->remove(files, [](int) {});
        if (pauses == 3 && during == QLatin1String("dies"))
            holder.reset();
        if (pauses == 10) // a wait that would never end: end it, and let the count fail the test
            QFile::remove(LockFile::inFolder(dir.path()).path());
    };
    bool progressRight = true; // each call names the holder and counts the seconds up from 0
    const auto progress = [&](const LockInfo &info, int waited) -> bool {
        progressRight = progressRight && info.who == QLatin1String("Jane Doe") && waited == shown++;
        return !(during == QLatin1String("cancel") && waited == 2);
    };
    LockFile waiter = LockFile::inFolder(dir.path());
    QTEST(waiter.waitWhileLocked(prompter, files, {pause, progress}), "result");
    QTEST(pauses, "pauses");
    QVERIFY(progressRight);
    QList<MsgIcon> icons;
    for (const PromptMessage &message : prompter.messages())
        icons << message.icon;
    QTEST(icons, "icons");
    QTEST(waiter.exists(), "lockRemains");
    // A lock of a command that no longer runs is named with who left it and when, and why it stays.
    if (lock == QLatin1String("left") || during == QLatin1String("dies")) {
        const QString text = prompter.messages().last().text;
        QVERIFY2(text.contains(QStringLiteral("Jane Doe")) &&
                     text.contains(QStringLiteral("2026-12-08 09:00:00")) && text.contains(waiter.path()),
                 qPrintable(text));
        QCOMPARE(text.contains(QStringLiteral("Permission denied")), removeRefused);
    }
}

void TestLockFile::removeGivesUpOnAFileThatStays()
{
    // A path whose "file" is a non-empty folder cannot be deleted as a file: the refusal ends the
    // attempt at once, with the reason, instead of half a minute of pauses.
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("db.lok/inside"));
    int pauses = 0;
    QString reason;
    FileOps files;
    QVERIFY(!LockFile::inFolder(dir.path())
                 .remove(
                     files, [&](int) { ++pauses; }, 30, &reason));
    QCOMPARE(pauses, 0);
    QVERIFY(!reason.isEmpty());
    // A file that can go goes without a pause.
    LockFile plain = LockFile::inFolder(QDir(dir.path()).filePath(QStringLiteral("other")));
    QDir(dir.path()).mkpath(QStringLiteral("other"));
    QVERIFY(plain.write(QDateTime(QDate(2026, 12, 8), QTime(9, 0)), QStringLiteral("jdoe"),
                        QStringLiteral("Backup")));
    QVERIFY(plain.remove(files, [&](int) { ++pauses; }));
    QVERIFY(!plain.exists());
    QCOMPARE(pauses, 0);
}

QTEST_GUILESS_MAIN(TestLockFile)
#include "test_lockfile.moc"
