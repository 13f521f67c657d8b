#include "TestSupport.h"

#include "production/Schema.h"
#include "security/SecuritySettings.h"
#include "security/SystemUserDirectory.h"

#include <QtTest>

// The Security Table as the security window changes it, and which operating system accounts
// are offered.
class TestSecuritySettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void authorizeKeepsExistingLevels();
    void unauthorize_data();
    void unauthorize();
    void setLevel();
    void lastManagerIsKept_data();
    void lastManagerIsKept();
    void accountsThatCanLogIn_data();
    void accountsThatCanLogIn();

private:
    QString table() const;

    std::unique_ptr<DatabaseWorld> m_world;
    std::unique_ptr<SecuritySettings> m_settings;
};

void TestSecuritySettings::init()
{
    // The world's own user "jdoe" is at level C.
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"));
    Database &db = m_world->db;
    Schema::authorize(db, QStringLiteral("SUPERVISOR"), QStringLiteral("Plant Supervisor"),
                      QStringLiteral("C"));
    Schema::authorize(db, QStringLiteral("asmith"), QStringLiteral("Ann Smith"), QStringLiteral("A"));
    Schema::authorize(db, QStringLiteral("o'brien"), QStringLiteral("Pat O'Brien"), QStringLiteral("B"));
    m_settings = std::make_unique<SecuritySettings>(db);
}

void TestSecuritySettings::cleanup()
{
    m_settings.reset();
    m_world.reset();
}

QString TestSecuritySettings::table() const
{
    QStringList rows;
    for (const AuthorizedUser &user : m_settings->authorizedUsers())
        rows << user.userName + ':' + user.level;
    return rows.join(' ');
}

void TestSecuritySettings::authorizeKeepsExistingLevels()
{
    const QStringList added =
        m_settings->authorize({{QStringLiteral("O'BRIEN"), QStringLiteral("Patrick O'Brien"), 1003},
                               {QStringLiteral("d'arcy"), QStringLiteral("Dee D'Arcy"), 1004}},
                              QStringLiteral("D"));

    QCOMPARE(added, QStringList{QStringLiteral("d'arcy")});
    QCOMPARE(table(), QStringLiteral("asmith:A d'arcy:D jdoe:C O'BRIEN:B SUPERVISOR:C"));
    const AuthorizedUser known = m_settings->authorizedUsers().at(3);
    QCOMPARE(known.fullName, QStringLiteral("Patrick O'Brien"));
    QCOMPARE(known.userId, 1003);
}

void TestSecuritySettings::unauthorize_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QStringList>("missing");

    QTest::newRow("supervisor in mixed case stays") << QStringList{"asmith", "SuperVisor ", "supervisor"}
                                                    << "jdoe:C o'brien:B SUPERVISOR:C" << QStringList{};
    QTest::newRow("a name with an apostrophe")
        << QStringList{"o'brien"} << "asmith:A jdoe:C SUPERVISOR:C" << QStringList{};
    QTest::newRow("a name no longer there touches no row")
        << QStringList{"o'brien' OR '1'='1", "gone"} << "asmith:A jdoe:C o'brien:B SUPERVISOR:C"
        << QStringList{"o'brien' OR '1'='1", "gone"};
}

void TestSecuritySettings::unauthorize()
{
    QFETCH(QStringList, names);
    QFETCH(QString, left);
    QFETCH(QStringList, missing);

    const SecuritySettings::Outcome outcome = m_settings->unauthorize(names);

    QCOMPARE(table(), left);
    QCOMPARE(outcome.missing, missing);
    QVERIFY(!outcome.lastManager);
}

void TestSecuritySettings::setLevel()
{
    QList<AuthorizedUser> selected = m_settings->authorizedUsers();
    selected.removeAt(1);  // jdoe
    selected.removeLast(); // SUPERVISOR
    // asmith's level changed on another workstation since the list was read.
    Schema::authorize(m_world->db, QStringLiteral("asmith"), QStringLiteral("Ann Smith"),
                      QStringLiteral("B"));

    const SecuritySettings::Outcome outcome = m_settings->setLevel(selected, QStringLiteral("D"));

    QCOMPARE(outcome.changed, QStringList{QStringLiteral("o'brien")});
    QCOMPARE(outcome.missing, QStringList{QStringLiteral("asmith")});
    QCOMPARE(table(), QStringLiteral("asmith:B jdoe:C o'brien:D SUPERVISOR:C"));
}

void TestSecuritySettings::lastManagerIsKept_data()
{
    QTest::addColumn<bool>("remove");
    QTest::newRow("level change") << false;
    QTest::newRow("unauthorize") << true;
}

void TestSecuritySettings::lastManagerIsKept()
{
    QFETCH(bool, remove);
    m_settings->setLevel({m_settings->authorizedUsers().last()}, QStringLiteral("A")); // SUPERVISOR
    const QString before = table();
    const QList<AuthorizedUser> jdoeAndAsmith{m_settings->authorizedUsers().at(0),
                                              m_settings->authorizedUsers().at(1)};

    const SecuritySettings::Outcome outcome =
        remove ? m_settings->unauthorize({QStringLiteral("asmith"), QStringLiteral("jdoe")})
               : m_settings->setLevel(jdoeAndAsmith, QStringLiteral("B"));

    QVERIFY(outcome.lastManager);
    QVERIFY(outcome.changed.isEmpty());
    QCOMPARE(table(), before);
}

void TestSecuritySettings::accountsThatCanLogIn_data()
{
    QTest::addColumn<QString>("shell");
    QTest::addColumn<int>("userId");
    QTest::addColumn<bool>("offered");

    QTest::newRow("person with bash") << "/bin/bash" << 1000 << true;
    QTest::newRow("nologin") << "/usr/sbin/nologin" << 1001 << false;
    QTest::newRow("false") << "/bin/false" << 1002 << false;
    QTest::newRow("system account") << "/bin/sh" << 998 << false;
}

void TestSecuritySettings::accountsThatCanLogIn()
{
    QFETCH(QString, shell);
    QFETCH(int, userId);
    QFETCH(bool, offered);
    QCOMPARE(SystemUserDirectory::canLogIn(shell, userId), offered);
    QCOMPARE(SystemUserDirectory::fullNameOf(QStringLiteral("Ann Smith,Room 4,,"), QStringLiteral("asmith")),
             QStringLiteral("Ann Smith"));
    QCOMPARE((NetworkUser{QStringLiteral("asmith"), QStringLiteral("Ann Smith"), 1000}.entryText()),
             QStringLiteral("asmith\t(Ann Smith)"));
}

QTEST_GUILESS_MAIN(TestSecuritySettings)
#include "test_securitysettings.moc"
