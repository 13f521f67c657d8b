#include "DataWindowFixture.h"
#include "TestSupport.h"

#include "foundation/ChangeWatch.h"
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
    void feederSheetsFollowAnotherWorkstation();
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

void addSheet(const Database &db, int code = 1, const QString &color = QStringLiteral("Amber"))
{
    db.exec(
        QStringLiteral("INSERT INTO \"Color Table\" (\"Job Number\", \"Color Feeder Code\", \"Color Name\", "
                       "\"Shot Weight\", \"Usage Rate\", \"Cal1\", \"Cal2\", \"Cal3\", \"Cal4\", \"Cal5\") "
                       "VALUES ('10-1042', :code, :color, 50, 2, 10, 10, 10, 10, 10)"),
        {{QStringLiteral("code"), code}, {QStringLiteral("color"), color}});
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

// Another workstation's changes to the sheets show without any action, and never take away what
// is being typed: a sheet changed elsewhere under the typing is told on save.
void TestToolWindows::feederSheetsFollowAnotherWorkstation()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("10-1042")});
    addSheet(world.db, 1, QStringLiteral("Amber"));
    addSheet(world.db, 1, QStringLiteral("Blue"));
    addSheet(world.db, 1, QStringLiteral("Cyan"));
    QPointer<frmColorFeeder> window = new frmColorFeeder(*world.session);
    QVERIFY(window->load());
    window->show();
    const auto box = [&](const char *name) { return window->findChild<QLineEdit *>(QLatin1String(name)); };
    auto *position = window->findChild<QLabel *>(QStringLiteral("lblPosition"));
    auto *codes = window->findChild<QTableView *>(QStringLiteral("lstColorFeederList"));
    const auto stored = [&](const QString &sql) {
        world.db.exec(sql);
        window->changeWatch()->poll(); // a file is asked now; a server tells by itself
    };
    window->findChild<QPushButton *>(QStringLiteral("cmdNext"))->click();
    QCOMPARE(box("txtColor")->text(), QStringLiteral("Blue"));

    addSheet(world.db, 2, QStringLiteral("Green"));
    stored(
        QStringLiteral("UPDATE \"Color Table\" SET \"Color Vendor\" = 'Acme' WHERE \"Color Name\" = 'Blue'"));
    QTRY_COMPARE(box("txtVendor")->text(), QStringLiteral("Acme"));
    QTRY_COMPARE(codes->model()->rowCount(), 2);
    QCOMPARE(codes->currentIndex().row(), 0);
    QCOMPARE(position->text(), QStringLiteral("Sheet 2 of 3"));

    // The sheet shown is deleted elsewhere: its neighbour takes its place.
    stored(QStringLiteral("DELETE FROM \"Color Table\" WHERE \"Color Name\" = 'Blue'"));
    QTRY_COMPARE(box("txtColor")->text(), QStringLiteral("Cyan"));
    QCOMPARE(position->text(), QStringLiteral("Sheet 2 of 2"));

    // Half-typed: the boxes keep the text and the cursor while the other sheets follow.
    box("txtColor")->setFocus();
    QCoreApplication::processEvents(); // entering the box selects its text (where focus is given)
    box("txtColor")->selectAll();
    QTest::keyClicks(box("txtColor"), QStringLiteral("Red"));
    box("txtColor")->setCursorPosition(1);
    stored(QStringLiteral("UPDATE \"Color Table\" SET \"Color Name\" = 'Teal', \"Shot Weight\" = 60 "
                          "WHERE \"Color Name\" = 'Cyan'"));
    stored(QStringLiteral("DELETE FROM \"Color Table\" WHERE \"Color Name\" = 'Amber'"));
    QTRY_COMPARE(position->text(), QStringLiteral("Sheet 1 of 1"));
    QCOMPARE(box("txtColor")->text(), QStringLiteral("Red"));
    QCOMPARE(box("txtColor")->cursorPosition(), 1);
    QCOMPARE(box("txtShotWt")->text(), QStringLiteral("50"));
    window->findChild<QPushButton *>(QStringLiteral("cmdSave"))->click();
    QCOMPARE(world.prompter.messages().size(), 1);
    QVERIFY(world.prompter.messages()[0].text.contains(
        QStringLiteral("changed or deleted at another workstation")));
    QCOMPARE(
        world.db.scalar(QStringLiteral("SELECT COUNT(*) FROM \"Color Table\" WHERE \"Color Name\" = 'Red'"))
            .toInt(),
        0);
    QCOMPARE(box("txtColor")->text(), QStringLiteral("Teal"));
    QCOMPARE(box("txtShotWt")->text(), QStringLiteral("60"));

    // Hidden, the window reads again when it is shown, not at the change.
    window->hide();
    stored(QStringLiteral("DELETE FROM \"Color Table\" WHERE \"Color Feeder Code\" = 2"));
    QTest::qWait(200);
    QCOMPARE(codes->model()->rowCount(), 2);
    window->show();
    QTRY_COMPARE(codes->model()->rowCount(), 1);
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
