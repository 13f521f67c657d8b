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
    void anotherWorkstationsChangesShow();

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

// What another workstation stores shows without any action: the cursor and the selection stay
// on their logins, and a current user removed there leaves the cursor on the next one.
void TestFrmSecurity::anotherWorkstationsChangesShow()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    const auto row = [this](const QString &name) {
        return authorized()->row(authorized()->findItems(name, Qt::MatchExactly).value(0));
    };
    QCOMPARE(authorized()->count(), 2);
    const int mine = row(QStringLiteral("binspect"));
    authorized()->setCurrentRow(mine);
    QListWidgetItem *otherUser = authorized()->item(1 - mine);
    const QString selected = otherUser->text();
    otherUser->setSelected(true);

    // Another workstation authorizes a user who sorts first and one who sorts next to binspect.
    Database other = m_world->openDatabase();
    Schema::authorize(other, QStringLiteral("aaron"), QStringLiteral("Aaron A"), QStringLiteral("B"));
    Schema::authorize(other, QStringLiteral("binspectb"), QStringLiteral("Bea's aide"), QStringLiteral("A"));
    QTRY_COMPARE_WITH_TIMEOUT(authorized()->count(), 4, 10000);
    QCOMPARE(authorized()->currentItem()->text(), QStringLiteral("binspect"));
    QCOMPARE(authorized()->selectedItems().size(), 2);
    QVERIFY(authorized()->item(row(selected))->isSelected());
    QVERIFY(child<QRadioButton>(QStringLiteral("optSecure2"))->isChecked());

    // The current user is removed there: the cursor goes to the next one, showing its level.
    other.exec(QStringLiteral("DELETE FROM \"Security Table\" WHERE \"UserName\" = 'binspect'"));
    QTRY_COMPARE_WITH_TIMEOUT(authorized()->count(), 3, 10000);
    QCOMPARE(authorized()->currentItem()->text(), QStringLiteral("binspectb"));
    QVERIFY(child<QRadioButton>(QStringLiteral("optSecure1"))->isChecked());
}

QTEST_MAIN(TestFrmSecurity)
#include "test_frmsecurity.moc"
