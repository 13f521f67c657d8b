#include "DataWindowFixture.h"
#include "TestSupport.h"

#include "production/joblist/JobListModel.h"
#include "production/joblist/frmJobList2.h"
#include "production/record/JobLines.h"
#include "sharing/DatabaseRepair.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

Q_DECLARE_METATYPE(DateShift)

// The job list window: its load steps reported by name, stepping between shifts, and the grid's
// drop-down and Delete key. The rules behind them are tested on the sheet (test_joblistsheet).
class TestJobList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void noEarlierLinesReportsAndOffersABlankLine();
    void stepsBetweenShifts_data();
    void stepsBetweenShifts();
    void linesThatCannotBeReadAreNotShownAsEmpty();
    void damageFoundAtLoadIsRepairedAndReadAgain();
    void protectionElsewhereRefusesTheNewLine();
    void gridKeys_data();
    void gridKeys();
    void shortcutStoresTheTypedValue_data();
    void shortcutStoresTheTypedValue();
    void anotherWorkstationsLinesShowWithTheEditorKept();

private:
    bool open(const DateShift &dateShift)
    {
        m_window = DataWindowFixture::open<frmJobList2>(*m_world->session, dateShift);
        return !m_window.isNull();
    }
    void closeWindow() { DataWindowFixture::close(m_window); }
    qint64 line(const DateShift &dateShift, int machine, qint64 ending = 0);
    QTableView *table() const { return m_window->findChild<QTableView *>(QStringLiteral("Table1")); }

    std::unique_ptr<DatabaseWorld> m_world;
    QPointer<frmJobList2> m_window;
};

namespace {
const QDate kFriday(2026, 12, 4);
const QDate kMonday(2026, 12, 7);
} // namespace

void TestJobList::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("A"),
                                              QStringList{QStringLiteral("A-100"), QStringLiteral("B-200")});
    Fixture::job(m_world->db, QStringLiteral("Z-900"), {}, false);
}

void TestJobList::cleanup()
{
    closeWindow();
    m_world.reset();
}

qint64 TestJobList::line(const DateShift &dateShift, int machine, qint64 ending)
{
    return Fixture::line(m_world->db, dateShift.date, dateShift.shift, machine, QStringLiteral("A-100"), 0,
                         ending);
}

void TestJobList::noEarlierLinesReportsAndOffersABlankLine()
{
    QVERIFY(open({kMonday, 1}));
    const QList<PromptMessage> &messages = m_world->prompter.messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(m_world->prompter.titles(), QStringList({"Serious Error", "Serious Error"}));
    QVERIFY(messages[0].text.contains("frmJobList2, Form_Load Event build sSQL for previous shift 3021-"));
    QVERIFY(messages[1].text.contains("frmJobList2, Form_Load Event open previous shift 3021-"));
    QVERIFY(m_world->endRequests.isEmpty());
    QCOMPARE(readFile(m_world->paths->inProgramFolder(QStringLiteral("error.log"))).count("Form_Load Event"),
             2);

    JobListModel *model = m_window->model();
    QCOMPARE(model->rowCount(), 1);
    QVERIFY(model->isNewLine(0));
    const JobLine blank = model->lineAt(0);
    QCOMPARE(blank.beginningCount + blank.endingCount + blank.matecCount + blank.fromRework, 0);
    QVERIFY(JobLines(m_world->db).of({kMonday, 1}).isEmpty());
    QCOMPARE(m_world->session->openDataForms(), 1);
    closeWindow();
    QCOMPARE(m_world->session->openDataForms(), 0);
}

void TestJobList::stepsBetweenShifts_data()
{
    QTest::addColumn<DateShift>("from");
    QTest::addColumn<QString>("button");
    QTest::addColumn<DateShift>("to");
    QTest::newRow("next over the new year")
        << DateShift{QDate(2026, 12, 31), 3} << "cmdNxtShiftButton" << DateShift{QDate(2027, 1, 1), 1};
    QTest::newRow("previous into a leap day")
        << DateShift{QDate(2028, 3, 1), 1} << "cmdPrevShiftButton" << DateShift{QDate(2028, 2, 29), 3};
    QTest::newRow("new date chosen") << DateShift{kMonday, 1} << "cmdNewDate" << DateShift{kFriday, 2};
}

void TestJobList::stepsBetweenShifts()
{
    QFETCH(DateShift, from);
    QFETCH(QString, button);
    QFETCH(DateShift, to);
    line(from, 1);
    line(to, 4);
    QVERIFY(open(from));
    m_world->session->setDateShiftChooser([&] { m_world->session->setCurrentDateShift(to); });
    QSignalSpy counts(m_world->session.get(), &Session::openDataFormsChanged);
    m_window->findChild<QPushButton *>(button)->click();
    QVERIFY(m_window->dateShift() == to);
    QVERIFY(m_world->session->currentDateShift() == to);
    QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("lblDate"))->text(), to.caption());
    QCOMPARE(m_window->model()->lineAt(0).machineNumber.value_or(-1), 4);
    // The window stays counted while it reloads: the Database menu never comes back meanwhile.
    QCOMPARE(m_world->session->openDataForms(), 1);
    for (const QList<QVariant> &signal : counts)
        QVERIFY(signal.at(0).toInt() > 0);
}

void TestJobList::linesThatCannotBeReadAreNotShownAsEmpty()
{
    line({kMonday, 1}, 1);
    line({kMonday, 2}, 2);
    QVERIFY(open({kMonday, 1}));
    // The next shift has lines, but reading them fails (here: the table is gone).
    m_world->db.exec(QStringLiteral("ALTER TABLE \"Production Table\" RENAME TO \"Elsewhere\""));
    m_window->findChild<QPushButton *>(QStringLiteral("cmdNxtShiftButton"))->click();
    QTRY_VERIFY(m_window.isNull());
    QCOMPARE(m_world->prompter.titles(), QStringList{"Serious Error"});
    QVERIFY(m_world->prompter.messages()[0].text.contains("frmJobList2, Form_Load Event sSQL Initialize"));
    QCOMPARE(m_world->session->openDataForms(), 0);
}

void TestJobList::damageFoundAtLoadIsRepairedAndReadAgain()
{
    FILE_DATABASE_ONLY("a smashed page of the file");
    line({kMonday, 1}, 7);
    // The file opens; the smashed date-shift index shows only when the load reads the lines.
    const int page =
        m_world->db
            .scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE type = 'index' AND "
                                   "tbl_name = 'Production Table' AND sql LIKE '%\"Date\"%\"Shift\"%'"))
            .toInt();
    const int pageSize = m_world->db.scalar(QStringLiteral("PRAGMA page_size")).toInt();
    QVERIFY(page > 1);
    QVERIFY(overwrite(m_world->file(QStringLiteral("QUORVEL.MDB")), qint64(page - 1) * pageSize,
                      QByteArray(pageSize, '\xff')));
    int repairs = 0;
    m_world->session->setRepairHandler([&] {
        ++repairs;
        DatabaseRepair(*m_world->session).run();
    });
    QVERIFY(open({kMonday, 1}));
    QCOMPARE(repairs, 1);
    QCOMPARE(m_window->model()->lineAt(0).machineNumber.value_or(-1), 7);
    QVERIFY(!m_world->prompter.titles().contains(QStringLiteral("Serious Error")));
}

void TestJobList::protectionElsewhereRefusesTheNewLine()
{
    line({kMonday, 1}, 1);
    QVERIFY(open({kMonday, 1}));
    // Another workstation protects the date-shift while the window is open.
    Fixture::protect(m_world->db, kMonday, 1);
    JobListModel *model = m_window->model();
    QVERIFY(model->setData(model->index(1, JobListModel::MachineColumn), "2"));
    QVERIFY(!model->setData(model->index(1, JobListModel::JobNumberColumn), "A-100"));
    // The database's refusal is told as a plain message, not as a failure of the program.
    QCOMPARE(m_world->prompter.titles(), QStringList{programTitle()});
    QCOMPARE(m_world->prompter.messages().first().text,
             QStringLiteral("No line can be added to a protected date-shift."));
    QCOMPARE(JobLines(m_world->db).of({kMonday, 1}).size(), 1);
}

void TestJobList::gridKeys_data()
{
    QTest::addColumn<bool>("ticket");
    QTest::addColumn<bool>("protect");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("confirmed") << false << false << true << true << QStringList{"Confirm Delete"};
    QTest::newRow("declined") << false << false << false << false << QStringList{"Confirm Delete"};
    QTest::newRow("has a transfer ticket")
        << true << false << true << false << QStringList{"Confirm Delete", "Kelvara"};
    QTest::newRow("protected: nothing asked") << false << true << true << false << QStringList{};
}

// The job drop-down offers the active jobs and copies the description; Delete asks, then deletes.
void TestJobList::gridKeys()
{
    QFETCH(bool, ticket);
    QFETCH(bool, protect);
    QFETCH(bool, confirm);
    QFETCH(bool, deleted);
    QFETCH(QStringList, titles);
    const qint64 id = line({kMonday, 1}, 1);
    line({kMonday, 1}, 2);
    if (ticket)
        Fixture::transfer(m_world->db, id, 12, 40);
    if (protect)
        Fixture::protect(m_world->db, kMonday, 1);
    QVERIFY(open({kMonday, 1}));
    QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("lblProtected"))->isHidden(), !protect);
    JobListModel *model = m_window->model();
    QCOMPARE(model->rowCount(), protect ? 2 : 3); // no new line beside protected ones

    if (!protect) {
        const QModelIndex cell = model->index(0, JobListModel::JobNumberColumn);
        table()->setCurrentIndex(cell);
        table()->edit(cell);
        auto *dropDown = m_window->findChild<QComboBox *>(QStringLiteral("tdbJobListDropDown"));
        QVERIFY(dropDown);
        QCOMPARE(dropDown->count(), 2); // active jobs only
        QCOMPARE(dropDown->itemText(1), QStringLiteral("B-200"));
        dropDown->setCurrentIndex(1);
        emit dropDown->activated(1);
        const JobLine saved = JobLines(m_world->db).of({kMonday, 1}).first();
        QCOMPARE(saved.jobId, id);
        QCOMPARE(saved.jobNumber, QStringLiteral("B-200"));
        QCOMPARE(saved.jobDescription, QStringLiteral("Part B-200"));
        QCOMPARE(model->data(model->index(0, JobListModel::DescriptionColumn)).toString(),
                 QStringLiteral("Part B-200"));
    }

    m_world->prompter.script({confirm ? MsgAnswer::Yes : MsgAnswer::No});
    table()->setCurrentIndex(model->index(0, 0));
    QTest::keyClick(table(), Qt::Key_Delete);
    QCOMPARE(m_world->prompter.titles(), titles);
    if (ticket)
        QVERIFY(m_world->prompter.messages().last().text.contains("cannot be deleted"));
    QCOMPARE(JobLines(m_world->db).of({kMonday, 1}).size(), deleted ? 1 : 2);
    QCOMPARE(model->savedCount(), deleted ? 1 : 2);
}

void TestJobList::shortcutStoresTheTypedValue_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("next shift") << int(Qt::Key_X);
    QTest::newRow("previous shift") << int(Qt::Key_P);
    QTest::newRow("ok") << int(Qt::Key_O);
}

void TestJobList::shortcutStoresTheTypedValue()
{
    QFETCH(int, key);
    const qint64 id = line({kMonday, 1}, 1);
    QVERIFY(open({kMonday, 1}));
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    const QModelIndex cell = m_window->model()->index(0, JobListModel::MachineColumn);
    table()->setCurrentIndex(cell);
    table()->edit(cell);
    auto *editor = qobject_cast<QLineEdit *>(table()->indexWidget(cell));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("7"));
    QTest::keyClick(editor, Qt::Key(key), Qt::AltModifier);
    QTRY_COMPARE(m_world->db
                     .scalar(QStringLiteral(
                                 "SELECT \"Machine Number\" FROM \"Production Table\" WHERE \"Job ID\" = %1")
                                 .arg(id))
                     .toInt(),
                 7);
}

void TestJobList::anotherWorkstationsLinesShowWithTheEditorKept()
{
    const qint64 first = line({kMonday, 1}, 1);
    const qint64 second = line({kMonday, 1}, 2);
    line({kMonday, 1}, 3);
    QVERIFY(open({kMonday, 1}));
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTableView *grid = table();
    JobListModel *model = m_window->model();
    // The user types a machine number on the new line, not stored yet.
    const QModelIndex newLine = model->index(3, JobListModel::MachineColumn);
    grid->setCurrentIndex(newLine);
    grid->edit(newLine);
    auto *editor = qobject_cast<QLineEdit *>(grid->indexWidget(newLine));
    QVERIFY(editor);
    QTest::keyClicks(editor, QStringLiteral("9"));

    // Another workstation deletes the first line, renames the job of the second and adds one.
    const Database other = m_world->openDatabase();
    other.exec(QStringLiteral("DELETE FROM \"Production Table\" WHERE \"Job ID\" = :id"),
               {{QStringLiteral("id"), first}});
    other.exec(
        QStringLiteral("UPDATE \"Production Table\" SET \"Job Description\" = 'Lid' WHERE \"Job ID\" = :id"),
        {{QStringLiteral("id"), second}});
    Fixture::line(other, kMonday, 1, 5, QStringLiteral("A-100"), 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(model->index(0, JobListModel::DescriptionColumn).data().toString(),
                              QStringLiteral("Lid"), 10000);
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(model->index(2, JobListModel::MachineColumn).data().toString(), QStringLiteral("5"));
    QVERIFY(model->isNewLine(3));
    QCOMPARE(grid->currentIndex().row(), 3);
    QCOMPARE(grid->indexWidget(grid->currentIndex()), editor);
    QCOMPARE(editor->text(), QStringLiteral("9"));

    // The line under the cursor deleted elsewhere: the cursor goes to its neighbour.
    QTest::keyClick(editor, Qt::Key_Escape);
    grid->setCurrentIndex(model->index(1, JobListModel::MachineColumn));
    other.exec(QStringLiteral("DELETE FROM \"Production Table\" WHERE \"Machine Number\" = 3"));
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 3, 10000);
    QCOMPARE(grid->currentIndex().row(), 1);
    QCOMPARE(model->lineAt(1).machineNumber.value_or(-1), 5);
    QVERIFY(m_world->prompter.messages().isEmpty());
}

QTEST_MAIN(TestJobList)
#include "test_joblist.moc"
