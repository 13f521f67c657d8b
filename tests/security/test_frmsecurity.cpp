#include "DataWindowFixture.h"
#include "TestSupport.h"

#include "production/record/Schema.h"
#include "security/frmSecurity.h"

#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {
// The directory the test hands the window.
class FixedDirectory : public UserDirectory
{
public:
    QList<NetworkUser> users() const override
    {
        return {{QStringLiteral("asmith"), QStringLiteral("Ann Smith"), 1001},
                {QStringLiteral("o'neil"), QStringLiteral("Kim O'Neil"), 1002}};
    }
};
} // namespace

// The security window: what it shows on opening, authorizing from the directory, and a level
// change answered No and Yes.
class TestFrmSecurity : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensWithNoLevelChosen();
    void authorizesAtTheNewUserLevel();
    void levelChangeAsksFirst();

private:
    template <class T> T *child(const QString &name) const { return m_window->findChild<T *>(name); }
    QListWidget *authorized() const { return child<QListWidget>(QStringLiteral("lstAuthorizedUsers")); }
    QString level(const QString &user) const
    {
        return m_world->db
            .scalar(
                QStringLiteral("SELECT \"Security Level\" FROM \"Security Table\" WHERE \"UserName\" = :u"),
                {{QStringLiteral("u"), user}})
            .toString();
    }

    std::unique_ptr<DatabaseWorld> m_world;
    QPointer<frmSecurity> m_window;
};

void TestFrmSecurity::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"));
    Schema::authorize(m_world->db, QStringLiteral("binspect"), QStringLiteral("Bea Inspector"),
                      QStringLiteral("B"));
    m_window = new frmSecurity(*m_world->session, std::make_unique<FixedDirectory>());
    QVERIFY(m_window->load());
}

void TestFrmSecurity::cleanup()
{
    DataWindowFixture::close(m_window);
    m_world.reset();
}

void TestFrmSecurity::opensWithNoLevelChosen()
{
    QCOMPARE(m_world->session->openDataForms(), 1);
    auto *users = child<QListWidget>(QStringLiteral("lstUserList"));
    QCOMPARE(users->count(), 2);
    QCOMPARE(users->item(1)->text(), QStringLiteral("o'neil\t(Kim O'Neil)"));
    QCOMPARE(authorized()->count(), 2);
    for (int i = 1; i <= 4; ++i)
        QVERIFY(!child<QRadioButton>(QStringLiteral("optSecure%1").arg(i))->isChecked());
    QVERIFY(child<QRadioButton>(QStringLiteral("optNewSecure3"))->isChecked());
    QVERIFY(!child<QPushButton>(QStringLiteral("cmdReportButton"))->isEnabled());

    // Clicking a user shows its level without asking.
    const QRect first = authorized()->visualItemRect(authorized()->item(0));
    QTest::mouseClick(authorized()->viewport(), Qt::LeftButton, {}, first.center());
    QVERIFY(child<QRadioButton>(QStringLiteral("optSecure2"))->isChecked());
    QVERIFY(m_world->prompter.messages().isEmpty());
}

void TestFrmSecurity::authorizesAtTheNewUserLevel()
{
    child<QRadioButton>(QStringLiteral("optNewSecure0"))->click();
    auto *users = child<QListWidget>(QStringLiteral("lstUserList"));
    users->item(1)->setSelected(true);
    child<QPushButton>(QStringLiteral("cmdAuthorizeButton"))->click();

    QCOMPARE(level(QStringLiteral("o'neil")), QStringLiteral("A"));
    QCOMPARE(m_world->db
                 .scalar(QStringLiteral("SELECT \"User Name\" || ':' || \"User ID\" FROM \"Security Table\" "
                                        "WHERE \"UserName\" = 'o''neil'"))
                 .toString(),
             QStringLiteral("Kim O'Neil:1002"));
    QCOMPARE(authorized()->count(), 3);
    QCOMPARE(authorized()->item(2)->text(), QStringLiteral("o'neil"));
}

void TestFrmSecurity::levelChangeAsksFirst()
{
    authorized()->item(0)->setSelected(true); // binspect
    m_world->prompter.script({MsgAnswer::No});
    child<QRadioButton>(QStringLiteral("optSecure4"))->click();
    QCOMPARE(m_world->prompter.titles(), QStringList{QStringLiteral("Confirm Security Settings")});
    QCOMPARE(
        m_world->prompter.messages().first().text,
        QStringLiteral("Are you sure you want to set the security of all selected, authorized users to D?"));
    QCOMPARE(level(QStringLiteral("binspect")), QStringLiteral("B"));
    QVERIFY(!child<QRadioButton>(QStringLiteral("optSecure4"))->isChecked());

    m_world->prompter.script({MsgAnswer::Yes});
    child<QRadioButton>(QStringLiteral("optSecure4"))->click();
    QCOMPARE(level(QStringLiteral("binspect")), QStringLiteral("D"));
    QCOMPARE(m_world->prompter.messages().size(), 2);
}

QTEST_MAIN(TestFrmSecurity)
#include "test_frmsecurity.moc"
