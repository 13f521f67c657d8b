#include "ServerPlant.h"
#include "TestSupport.h"

#include "sharing/Presence.h"
#include "sharing/ServerPresence.h"

#include <QtTest>

// Presence, exclusive access and Current Users for a plant database on a PostgreSQL server, where
// the server's advisory locks and its list of sessions take the place of the files.
class TestServerPresence : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void otherCopyBlocksUntilItLeaves();
    void presenceThroughTheSession();
    void currentUsersListsEachCopyOnce();
};

void TestServerPresence::init()
{
    if (const QString missing = ServerPlant::missing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void TestServerPresence::otherCopyBlocksUntilItLeaves()
{
    ServerPlant plant(QStringLiteral("presence"));
    Database::createFile(plant.uri());
    ServerPresence mine, other, third;
    QVERIFY(mine.holdShared(plant.uri()));
    QVERIFY(other.holdShared(plant.uri()));
    // This copy's own lock does not count; the other's does, and this copy stays present.
    QVERIFY(!mine.tryExclusive(plant.uri()));
    QVERIFY(mine.isHeld());
    QVERIFY(!mine.holdsExclusive());
    QVERIFY(!third.tryExclusive(plant.uri()));
    other.release();
    QVERIFY(!third.tryExclusive(plant.uri())); // mine is still in
    QVERIFY(mine.tryExclusive(plant.uri()));
    QVERIFY(mine.holdsExclusive());
    // Held until released: nobody else has it meanwhile.
    QVERIFY(!third.tryExclusive(plant.uri()));
    mine.releaseExclusive();
    QVERIFY(mine.isHeld());
    QVERIFY(!third.tryExclusive(plant.uri()));
    mine.release();
    QVERIFY(third.tryExclusive(plant.uri()));
}

void TestServerPresence::presenceThroughTheSession()
{
    ServerPlant plant(QStringLiteral("session"));
    Database::createFile(plant.uri());
    TestWorld world;
    world.session->options().setDatabaseName(plant.uri());
    world.session->userFullName = QStringLiteral("Jane Doe");
    Presence presence(*world.session);
    presence.enter();
    QVERIFY(world.prompter.messages().isEmpty());
    // No file stands for the server's presence.
    QVERIFY(!QFile::exists(world.paths->inWorkingFolder(QStringLiteral("CURUSERS.DAT"))));

    ServerPresence other;
    QVERIFY(other.holdShared(plant.uri()));
    QList<bool> shown;
    QVERIFY(presence.checkExclusiveAccess(true, [&](bool offerCancel) {
        shown << offerCancel;
        other.release();
        return true;
    }));
    QCOMPARE(shown, QList<bool>{true});
    ServerPresence later;
    QVERIFY(!later.tryExclusive(plant.uri()));
    // Between the end of the exclusive access and this copy's return, the database has no
    // connection of this copy: a rename from the server's own database goes through.
    bool free = false;
    presence.endExclusiveAccess([&] {
        free = later.tryExclusive(plant.uri());
        later.releaseExclusive();
    });
    QVERIFY(free);
    QVERIFY(!later.tryExclusive(plant.uri()));
    presence.leave();
    QVERIFY(later.tryExclusive(plant.uri()));
    QVERIFY(world.prompter.messages().isEmpty());

    // A server that cannot be reached is told, as a file that cannot be written is.
    world.session->options().setDatabaseName(
        ServerAddress::parse(plant.uri()).on(plant.name() + "_none").uri());
    Presence absent(*world.session);
    absent.enter();
    QCOMPARE(world.prompter.titles(), QStringList{QStringLiteral("Current Users")});
    QVERIFY(world.prompter.messages().first().text.startsWith(
        QStringLiteral("The database server could not note you as present: ")));
    // Nobody to wait for in the current users window: the check says why it cannot be made.
    QVERIFY(!absent.checkExclusiveAccess(false, [](bool) {
        QTest::qFail("the current users window was shown", __FILE__, __LINE__);
        return false;
    }));
    QCOMPARE(world.prompter.messages().size(), 2);
    QVERIFY(world.prompter.messages().last().text.startsWith(
        QStringLiteral("The database server cannot tell whether anyone else is in the database: ")));
}

void TestServerPresence::currentUsersListsEachCopyOnce()
{
    ServerPlant plant(QStringLiteral("users"));
    Database::createFile(plant.uri());
    const Database reader = Database::open(plant.uri());
    ServerPresence mine, other;
    QVERIFY(mine.holdShared(plant.uri()));
    QVERIFY(other.holdShared(plant.uri()));
    // A copy's other connections (its windows') do not make it a second user.
    const Database window = Database::open(plant.uri());
    QList<ServerSession> sessions = ServerPresence::currentSessions(reader);
    QCOMPARE(sessions.size(), 2);
    for (const ServerSession &session : sessions) {
        QCOMPARE(session.login, ServerAddress::parse(plant.uri()).user);
        QCOMPARE(session.machine, QStringLiteral("local")); // the test server listens on a socket only
        QVERIFY(session.since.isValid());
    }
    QVERIFY(sessions[0].pid != sessions[1].pid);
    other.release();
    sessions = ServerPresence::currentSessions(reader);
    QCOMPARE(sessions.size(), 1);
    // A copy in a Database command is listed by its exclusive lock, still once.
    QVERIFY(mine.tryExclusive(plant.uri()));
    QCOMPARE(ServerPresence::currentSessions(reader).size(), 1);
    mine.release();
    QCOMPARE(ServerPresence::currentSessions(reader).size(), 0);
}

QTEST_GUILESS_MAIN(TestServerPresence)
#include "test_serverpresence.moc"
