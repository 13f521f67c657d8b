#include "DataWindowFixture.h"
#include "TestSupport.h"

#include "maintenance/MaintenanceCommands.h"
#include "production/record/SamplePlant.h"
#include "tools/frmCheckSheet.h"
#include "tools/frmColorFeeder.h"
#include "widgets/WindowRegistry.h"

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

// What only the tool windows show: the feeder setting as typed, the refusal of a reading that is
// not a number, the check sheet documents, and a Restore while the color feeder window is open.
class TestToolWindows : public QObject
{
    Q_OBJECT

private slots:
    void feederSettingFollowsTyping();
    void restoreClosesTheColorFeederWindow_data();
    void restoreClosesTheColorFeederWindow();
    void checkSheetsShowTheirDocuments();
};

namespace {
QString jobsIn(const QString &path)
{
    Database db = Database::open(path, Database::ReadOnly);
    return db.scalar(QStringLiteral("SELECT group_concat(\"Job Number\") FROM \"Job Lookup Table\""))
        .toString();
}

void addSheet(const Database &db)
{
    db.exec(
        QStringLiteral("INSERT INTO \"Color Table\" (\"Job Number\", \"Color Feeder Code\", \"Color Name\", "
                       "\"Shot Weight\", \"Usage Rate\", \"Cal1\", \"Cal2\", \"Cal3\", \"Cal4\", \"Cal5\") "
                       "VALUES ('10-1042', 1, 'Amber', 50, 2, 10, 10, 10, 10, 10)"));
}
} // namespace

void TestToolWindows::feederSettingFollowsTyping()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("10-1042")});
    addSheet(world.db);
    QPointer<frmColorFeeder> window = new frmColorFeeder(*world.session);
    QVERIFY(window->load());
    window->show();
    QCOMPARE(window->feederSettingText(), QStringLiteral("10"));

    auto *reading = window->findChild<QLineEdit *>(QStringLiteral("txtCalibrate1"));
    reading->selectAll();
    QTest::keyClicks(reading, QStringLiteral("35abc"));
    // (35 + 40) / 5 = 15: 50 x 2 / 15, before anything is saved.
    QCOMPARE(window->feederSettingText(), QStringLiteral("6.66666666666667"));
    auto *save = window->findChild<QPushButton *>(QStringLiteral("cmdSave"));
    QVERIFY(save->isEnabled());
    save->click();
    QCOMPARE(world.prompter.messages().size(), 1);
    QVERIFY(world.prompter.messages()[0].text.startsWith(
        QStringLiteral("Material Dispensed 1 must be a number")));
    QCOMPARE(world.db.scalar(QStringLiteral("SELECT \"Cal1\" FROM \"Color Table\"")).toDouble(), 10.0);

    reading->selectAll();
    QTest::keyClicks(reading, QStringLiteral("35"));
    save->click();
    QCOMPARE(world.db.scalar(QStringLiteral("SELECT \"Cal1\" FROM \"Color Table\"")).toDouble(), 35.0);
    QVERIFY(!save->isEnabled());
    DataWindowFixture::close(window);
}

void TestToolWindows::restoreClosesTheColorFeederWindow_data()
{
    QTest::addColumn<bool>("keepTyping"); // a half-typed sheet the user does not let go
    QTest::newRow("closed first") << false;
    QTest::newRow("refused, naming the window") << true;
}

void TestToolWindows::restoreClosesTheColorFeederWindow()
{
    FILE_DATABASE_ONLY("restores a copy of the file");
    QFETCH(bool, keepTyping);
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("10-1042"), QStringLiteral("10-1187")});
    addSheet(world.db);
    const QString database = world.session->options().DatabaseName();
    world.db.close();
    QVERIFY(QFile::copy(database, database + QStringLiteral("-Backup.mdb")));
    Database::open(database + QStringLiteral("-Backup.mdb"))
        .exec(QStringLiteral("DELETE FROM \"Job Lookup Table\" WHERE \"Job Number\" = '10-1187'"));

    QMainWindow main;
    auto *area = new QMdiArea(&main);
    main.setCentralWidget(area);
    QPointer<frmColorFeeder> window = new frmColorFeeder(*world.session);
    QVERIFY(window->load());
    area->addSubWindow(window)->show();
    if (keepTyping) {
        QTest::keyClicks(window->findChild<QLineEdit *>(QStringLiteral("txtVendor")),
                         QStringLiteral("Clariant"));
        world.prompter.script({MsgAnswer::Cancel});
    }

    runMaintenanceCommand({*world.session, &main, 2});

    if (keepTyping) {
        QVERIFY(window);
        QCOMPARE(
            world.prompter.messages().last().text,
            QStringLiteral(
                "Please close the window \"Color Feeder Calibration\" first: it has the database open."));
        QCOMPARE(jobsIn(database), QStringLiteral("10-1042,10-1187"));
        DataWindowFixture::close(window);
    } else {
        QVERIFY(!window);
        QVERIFY(world.prompter.messages().last().text.startsWith(QStringLiteral("Restore Complete.")));
        QCOMPARE(jobsIn(database), QStringLiteral("10-1042"));
    }
}

void TestToolWindows::checkSheetsShowTheirDocuments()
{
    DatabaseWorld world;
    SamplePlant::fill(world.db, QDate(2026, 12, 7));
    qputenv("Temp", world.file(QStringLiteral("tmp")).toLocal8Bit());
    QPointer<frmCheckSheet> window = new frmCheckSheet(*world.session);
    QVERIFY(window->load());
    auto *grid = window->findChild<QTableView *>(QStringLiteral("DBGrid1"));
    const auto select = [&](const QString &job) {
        const auto found = grid->model()->match(grid->model()->index(0, 0), Qt::DisplayRole, job);
        QVERIFY(!found.isEmpty());
        grid->setCurrentIndex(found[0]);
    };
    select(QStringLiteral("10-1042"));
    QCOMPARE(window->shownAs(), QStringLiteral("pdf"));
    select(QStringLiteral("10-1187"));
    QCOMPARE(window->shownAs(), QStringLiteral("text"));
    select(QStringLiteral("10-1220"));
    QCOMPARE(window->shownAs(), QStringLiteral("info"));
    QVERIFY(!window->findChild<QPushButton *>(QStringLiteral("cmdOpen"))->isEnabled());
    // Every temporary file went again.
    QCOMPARE(QDir(world.file(QStringLiteral("tmp"))).entryList(QDir::Files | QDir::Hidden), QStringList());
    // The window closes from its own button.
    window->findChild<QPushButton *>(QStringLiteral("cmdClose"))->click();
    QTRY_VERIFY(!window);
}

QTEST_MAIN(TestToolWindows)
#include "test_toolwindows.moc"
