#include "OtherProcess.h"
#include "TestSupport.h"

#include "sharing/CurrentUsersFile.h"
#include "sharing/Presence.h"
#include "sharing/PresenceLock.h"
#include "sharing/SharedFiles.h"

#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

// The exclusive access check between two processes: another running copy holds its shared
// presence lock; this copy's own lock does not count against it.
class TestPresence : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        FILE_DATABASE_ONLY(
            "the presence file and CURUSERS.DAT beside the file (the server: test_serverpresence)");
    }
    void otherCopyBlocks_data();
    void otherCopyBlocks();
    void ownLockDoesNotCountAndStays();
    void checkWaitsThroughTheCurrentUsersWindow_data();
    void checkWaitsThroughTheCurrentUsersWindow();
    void presentFromLoginToExit();
    void filesAreSharedAndFailuresReported();
    void workstationsInTwoFoldersSeeEachOther();
};

namespace {
// A second copy of the program, holding its presence lock until released.
class OtherCopy
{
public:
    explicit OtherCopy(const QString &database)
    {
        m_process.start(QStringLiteral(PRESENCE_HOLDER), {database, QStringLiteral("hold")});
        m_process.waitForReadyRead(10000);
        m_held = m_process.readLine().trimmed() == "held";
    }
    ~OtherCopy() { release(); }
    bool held() const { return m_held; }
    void release()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.write("\n");
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
    bool m_held = false;
};

// What another process sees when it tries for the exclusive lock.
QByteArray otherProcessTries(const QString &database)
{
    QProcess process;
    process.start(QStringLiteral(PRESENCE_HOLDER), {database, QStringLiteral("try")});
    process.waitForFinished(10000);
    return process.readAllStandardOutput().trimmed();
}
} // namespace

void TestPresence::otherCopyBlocks_data()
{
    QTest::addColumn<bool>("holdingOwn");
    QTest::newRow("without a lock of its own") << false;
    QTest::newRow("holding its own shared lock") << true;
}

void TestPresence::otherCopyBlocks()
{
    QFETCH(bool, holdingOwn);
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("QUORVEL.MDB"));
    PresenceLock lock;
    if (holdingOwn)
        QVERIFY(lock.holdShared(database));
    OtherCopy other(database);
    QVERIFY(other.held());
    QVERIFY(!lock.tryExclusive(database));
    QCOMPARE(lock.isHeld(), holdingOwn);
    other.release();
    QVERIFY(lock.tryExclusive(database));
}

void TestPresence::ownLockDoesNotCountAndStays()
{
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("QUORVEL.MDB"));
    PresenceLock lock;
    // Nobody in the file: free for either process.
    QVERIFY(lock.tryExclusive(database));
    QCOMPARE(otherProcessTries(database), QByteArray("free"));
    QVERIFY(lock.holdShared(database));
    QVERIFY(lock.tryExclusive(database));
    QVERIFY(lock.isHeld());
    // Still shared: the other copy cannot have the file to itself.
    QCOMPARE(otherProcessTries(database), QByteArray("busy"));
    lock.release();
    QCOMPARE(otherProcessTries(database), QByteArray("free"));
}

void TestPresence::checkWaitsThroughTheCurrentUsersWindow_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("OK after the other copy left") << false;
    QTest::newRow("cancelled") << true;
}

void TestPresence::checkWaitsThroughTheCurrentUsersWindow()
{
    QFETCH(bool, cancel);
    TestWorld world;
    world.createDatabase();
    Presence presence(*world.session);
    presence.enter();
    OtherCopy other(world.session->options().DatabaseName());
    QVERIFY(other.held());
    QList<bool> shown;
    const bool granted = presence.checkExclusiveAccess(true, [&](bool offerCancel) {
        shown << offerCancel;
        if (cancel)
            return false;
        other.release();
        return true;
    });
    QCOMPARE(granted, !cancel);
    QCOMPARE(shown, QList<bool>{true});
}

void TestPresence::presentFromLoginToExit()
{
    TestWorld world;
    const QString database = world.createDatabase();
    world.session->userFullName = QStringLiteral("Jane Doe");
    Presence presence(*world.session);
    presence.enter();
    const CurrentUsersFile users = CurrentUsersFile::inFolder(world.root());
    QCOMPARE(users.currentUsers(), QStringList{QStringLiteral("Jane Doe")});
    QCOMPARE(otherProcessTries(database), QByteArray("busy"));
    world.clock.set(QDate(2026, 12, 8), QTime(16, 30));
    presence.leave();
    QVERIFY(users.currentUsers().isEmpty());
    QCOMPARE(users.records().first().time->dateTime(), QDateTime(QDate(2026, 12, 8), QTime(16, 30)));
    QCOMPARE(otherProcessTries(database), QByteArray("free"));
    // A second leave stamps nothing more.
    world.clock.set(QDate(2026, 12, 9), QTime(1, 0));
    presence.leave();
    QCOMPARE(users.records().first().time->dateTime(), QDateTime(QDate(2026, 12, 8), QTime(16, 30)));
}

void TestPresence::filesAreSharedAndFailuresReported()
{
    TestWorld world;
    const QString database = world.createDatabase();
    world.session->userFullName = QStringLiteral("Jane Doe");
    const mode_t before = ::umask(022);
    {
        Presence presence(*world.session);
        presence.enter();
        presence.leave();
    }
    ::umask(before);
    // Another account must be able to write both files, whatever the first user's umask.
    const auto writableByAll = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    const QString users = SharedFiles(*world.paths, database).currentUsersPath();
    QCOMPARE(QFileInfo(users).permissions() & writableByAll, writableByAll);
    QCOMPARE(QFileInfo(PresenceLock::presencePath(database)).permissions() & writableByAll, writableByAll);
    QVERIFY(world.prompter.messages().isEmpty());

    // A record that cannot be written is reported, at login and at exit, and logged.
    QVERIFY(QFile::remove(users));
    QVERIFY(QDir().mkpath(users + QStringLiteral("/blocked")));
    Presence presence(*world.session);
    presence.enter();
    presence.leave();
    QCOMPARE(world.prompter.titles(),
             (QStringList{QStringLiteral("Current Users"), QStringLiteral("Current Users")}));
    const PromptMessage message = world.prompter.messages().first();
    QVERIFY(message.text.startsWith(
        QStringLiteral("Your entry in the current users file could not be written: ")));
    QVERIFY(message.text.endsWith(QStringLiteral(". Other workstations will not see you in Current Users.")));
    QCOMPARE(message.icon, MsgIcon::Exclamation);
    QCOMPARE(message.buttons, MsgButtons::Ok);
    const QByteArray log = readFile(world.paths->inProgramFolder(QStringLiteral("error.log")));
    QCOMPARE(log.count("Current Users: "), 2);
}

void TestPresence::workstationsInTwoFoldersSeeEachOther()
{
    // Two installed copies: each starts in its user's home folder, from its own program folder.
    TestWorld world;
    const QString database = world.createDatabase();
    world.session->userFullName = QStringLiteral("Jane Doe");
    QTemporaryDir otherRoot;
    OtherProcess other(QStringLiteral(WORKSTATION), {database, QStringLiteral("Sam Shiftlead")},
                       otherRoot.path());
    QCOMPARE(other.readLine(), QStringLiteral("in"));
    Presence presence(*world.session);
    presence.enter();

    const SharedFiles shared(*world.paths, database);
    const QStringList both{QStringLiteral("Sam Shiftlead"), QStringLiteral("Jane Doe")};
    QCOMPARE(shared.currentUsers(), both);
    QCOMPARE(other.ask("users"), both.join(QLatin1Char('|')));
    QCOMPARE(QFileInfo(shared.currentUsersPath()).absolutePath(), QFileInfo(database).absolutePath());

    // A copy still run from the plant's shared folder writes into its working folder: it is seen.
    CurrentUsersFile older(world.paths->inWorkingFolder(QStringLiteral("CURUSERS.DAT")));
    QVERIFY(older.recordPresent(QStringLiteral("Old Copy")));
    QVERIFY(older.recordPresent(QStringLiteral("Jane Doe"))); // listed once
    QCOMPARE(shared.currentUsers(), both + QStringList{QStringLiteral("Old Copy")});

    QCOMPARE(other.finish(), 0);
    QCOMPARE(shared.currentUsers(), (QStringList{QStringLiteral("Jane Doe"), QStringLiteral("Old Copy")}));
    presence.leave();
    QVERIFY(world.prompter.messages().isEmpty());
}

QTEST_GUILESS_MAIN(TestPresence)
#include "test_presence.moc"
