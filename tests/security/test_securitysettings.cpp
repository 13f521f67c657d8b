#include "TestSupport.h"

#include "production/record/Schema.h"
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
    void accountsSortWithoutCase();

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

namespace {
void writeText(const QString &path, const QString &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toLocal8Bit());
}
} // namespace

// The accounts offered, read through the directory from a password file and a shells file.
void TestSecuritySettings::accountsThatCanLogIn_data()
{
    QTest::addColumn<QString>("account"); // name:password:uid:gid:gecos:home:shell
    QTest::addColumn<bool>("offered");

    QTest::newRow("first personal id") << "ann:x:1000:1000:Ann Smith,Room 4,,:/home/ann:/bin/bash" << true;
    QTest::newRow("system id") << "svc:x:999:999::/:/bin/bash" << false;
    QTest::newRow("below the overflow id") << "bob:x:65533:100::/home/bob:/bin/bash" << true;
    QTest::newRow("overflow id nobody") << "nobody:x:65534:65534:nobody:/nonexistent:/bin/bash" << false;
    QTest::newRow("above the overflow id") << "cy:x:65535:100::/home/cy:/bin/bash" << true;
    QTest::newRow("nologin") << "dan:x:1001:100::/home/dan:/usr/sbin/nologin" << false;
    QTest::newRow("false") << "eve:x:1002:100::/home/eve:/bin/false" << false;
    QTest::newRow("shell not listed") << "fay:x:1003:100::/home/fay:/usr/bin/tclsh" << false;
    QTest::newRow("empty shell is /bin/sh") << "gus:x:1004:100::/home/gus:" << true;
    QTest::newRow("the user running the program") << "jdoe:x:500:100::/home/jdoe:/bin/false" << true;
}

void TestSecuritySettings::accountsThatCanLogIn()
{
    QFETCH(QString, account);
    QFETCH(bool, offered);
    const QString passwd = m_world->file(QStringLiteral("passwd"));
    const QString shells = m_world->file(QStringLiteral("shells"));
    writeText(passwd, account + QStringLiteral("\n"));
    writeText(shells, QStringLiteral("# /etc/shells: valid login shells\n/bin/sh\n/bin/bash\n"));

    const QList<NetworkUser> users = SystemUserDirectory(QStringLiteral("jdoe"), passwd, shells).users();

    QCOMPARE(users.size(), offered ? 1 : 0);
    if (offered && account.startsWith(QStringLiteral("ann:")))
        QCOMPARE(users.first().entryText(), QStringLiteral("ann\t(Ann Smith)"));
}

void TestSecuritySettings::accountsSortWithoutCase()
{
    const QString passwd = m_world->file(QStringLiteral("passwd"));
    const QString shells = m_world->file(QStringLiteral("shells"));
    writeText(passwd, QStringLiteral("Zed:x:1000:1::/:/bin/sh\nadam:x:1001:1::/:/bin/sh\n"
                                     "Bob:x:1002:1::/:/bin/sh\nadam:x:1001:1::/:/bin/sh\n"));
    writeText(shells, QStringLiteral("/bin/sh\n"));
    QStringList logins;
    for (const NetworkUser &user : SystemUserDirectory(QStringLiteral("jdoe"), passwd, shells).users())
        logins << user.login;
    QCOMPARE(logins, (QStringList{QStringLiteral("adam"), QStringLiteral("Bob"), QStringLiteral("Zed")}));
}

QTEST_GUILESS_MAIN(TestSecuritySettings)
#include "test_securitysettings.moc"
