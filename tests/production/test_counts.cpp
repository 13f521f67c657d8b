#include "DataWindowFixture.h"
#include "TestSupport.h"

#include "production/CountEntryDelegate.h"
#include "production/CountsGrid.h"
#include "production/JobLines.h"
#include "production/ProductionCountsModel.h"
#include "production/frmProductionCounts2.h"
#include "sharing/DatabaseRepair.h"

#include <QCheckBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

// The production counts window: refusing an empty date-shift, computed figures, count entry,
// edit rights, protection, the cursor, the refresh timer and posting to the next shift.
class TestCounts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void refusesDateShiftWithoutLines();
    void showsComputedFigures();
    void countEntry_data();
    void countEntry();
    void enterWalksTheEntryColumns();
    void editRights_data();
    void editRights();
    void postsToNextShiftOnClose_data();
    void postsToNextShiftOnClose();
    void damageFoundAtLoadIsRepaired_data();
    void damageFoundAtLoadIsRepaired();
    void rejectsButtonRefillsRejectsByLine();
    void refreshKeepsTheTypedValue();
    void columnWidthsAreRestored();
    void opensMaximizedInTheMdiArea_data();
    void opensMaximizedInTheMdiArea();

private:
    bool open(const DateShift &dateShift)
    {
        m_window = DataWindowFixture::open<frmProductionCounts2>(*m_world->session, dateShift);
        return !m_window.isNull();
    }
    void closeWindow() { DataWindowFixture::close(m_window); }
    qint64 line(const DateShift &dateShift, int machine, qint64 beginning, qint64 ending, qint64 matec = 0);
    QString cell(int row, int column) const;
    qint64 stored(qint64 jobId, const char *field = "Ending Count") const;
    CountsGrid *grid() const { return m_window->findChild<CountsGrid *>(QStringLiteral("Table1")); }
    QCheckBox *postBox() const
    {
        return m_window->findChild<QCheckBox *>(QStringLiteral("chkEndCountsDirty"));
    }

    std::unique_ptr<DatabaseWorld> m_world;
    QPointer<frmProductionCounts2> m_window;
};

namespace {
using M = ProductionCountsModel;
const QDate kFriday(2026, 12, 4);
const QDate kMonday(2026, 12, 7);
const QDate kTuesday(2026, 12, 8);
} // namespace

void TestCounts::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{QStringLiteral("A-100")});
    m_world->clock.set(kTuesday, QTime(12, 0));
}

void TestCounts::cleanup()
{
    closeWindow();
    m_world.reset();
}

qint64 TestCounts::line(const DateShift &dateShift, int machine, qint64 beginning, qint64 ending,
                        qint64 matec)
{
    return Fixture::line(m_world->db, dateShift.date, dateShift.shift, machine, QStringLiteral("A-100"),
                         beginning, ending, matec);
}

QString TestCounts::cell(int row, int column) const
{
    return m_window->model()->index(row, column).data().toString();
}

qint64 TestCounts::stored(qint64 jobId, const char *field) const
{
    return m_world->db
        .scalar(QStringLiteral("SELECT [%1] FROM [Production Table] WHERE [Job ID] = :id").arg(field),
                {{QStringLiteral("id"), jobId}})
        .toLongLong();
}

void TestCounts::refusesDateShiftWithoutLines()
{
    line({kMonday, 1}, 1, 0, 0);
    QSignalSpy counts(m_world->session.get(), &Session::openDataFormsChanged);
    QVERIFY(!open({kMonday, 2}));
    QCOMPARE(m_world->prompter.messages().size(), 1);
    const PromptMessage message = m_world->prompter.messages().first();
    QCOMPARE(message.text,
             QStringLiteral("It seems that you have not yet set up the job list for this shift.  "
                            "You first need to access the Job List for this Date and Shift to "
                            "cause it to be set up."));
    QCOMPARE(message.title, programTitle());
    QCOMPARE(message.icon, MsgIcon::None);
    QCOMPARE(message.buttons, MsgButtons::Ok);
    QCOMPARE(m_world->session->openDataForms(), 0);
    QCOMPARE(counts.count(), 0);
}

void TestCounts::showsComputedFigures()
{
    const qint64 full = line({kTuesday, 1}, 1, 1000, 1500, 560);
    line({kTuesday, 1}, 2, 1000, 0);
    const qint64 earlier = line({kMonday, 3}, 1, 0, 0);
    Fixture::transfer(m_world->db, full, 1, 20);
    Fixture::hold(m_world->db, full, 7, 30);
    Fixture::distribution(m_world->db, Fixture::hold(m_world->db, earlier, 8, 10), full, 10);
    QVERIFY(open({kTuesday, 1}));
    QCOMPARE(m_world->session->openDataForms(), 1);
    QCOMPARE(cell(0, M::TransfersColumn), QStringLiteral("20"));
    QCOMPARE(cell(0, M::ToHoldColumn), QStringLiteral("30"));
    QCOMPARE(cell(0, M::FromReworkColumn), QStringLiteral("10"));
    QCOMPARE(cell(0, M::NetFinishedGoodsColumn), QStringLiteral("520"));
    QCOMPARE(cell(0, M::RejectsColumn), QStringLiteral("20"));
    QCOMPARE(cell(0, M::EndingColumn), QStringLiteral("1,500"));
    QVERIFY(!m_window->model()->index(0, M::NetFinishedGoodsColumn).data(Qt::ForegroundRole).isValid());
    // No ending count typed yet: net finished goods is negative and drawn in the "Negative" style.
    QCOMPARE(cell(1, M::TransfersColumn), QString());
    QCOMPARE(cell(1, M::NetFinishedGoodsColumn), QStringLiteral("-1,000"));
    const QModelIndex negative = m_window->model()->index(1, M::NetFinishedGoodsColumn);
    QVERIFY(negative.data(Qt::ForegroundRole).isValid());
    QVERIFY(negative.data(Qt::BackgroundRole).value<QBrush>().color() !=
            m_window->model()
                ->index(0, M::NetFinishedGoodsColumn)
                .data(Qt::BackgroundRole)
                .value<QBrush>()
                .color());
    QCOMPARE(negative.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));
    closeWindow();
    QCOMPARE(m_world->session->openDataForms(), 0);
}

void TestCounts::countEntry_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("expected");
    QTest::addColumn<bool>("post");
    QTest::addColumn<QString>("message");
    const int ending = M::EndingColumn, mattec = M::MattecColumn;
    QTest::newRow("sum") << ending << "1200+350" << qint64(1550) << true << "";
    QTest::newRow("negative") << ending << "100-200" << qint64(40) << false
                              << "There is no possible way you could have a negative Ending Count!";
    QTest::newRow("beyond a count") << ending << "4000000000" << qint64(40) << false << "too large";
    QTest::newRow("idle machine") << ending << "0" << qint64(0) << true << "";
    QTest::newRow("not a count")
        << ending << "5 x 3" << qint64(40) << false
        << "\u201C5 x 3\u201D is not a count. Type digits, with + - * between numbers "
           "(for example 1200+350).";
    QTest::newRow("mattec not a count") << mattec << "abc" << qint64(40) << false << "is not a count";
    QTest::newRow("mattec evaluated") << mattec << "500+60" << qint64(560) << false << "";
    QTest::newRow("mattec negative") << mattec << "-5" << qint64(40) << false
                                     << "There is no possible way you could have a negative Mattec Count!";
}

void TestCounts::countEntry()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(qint64, expected);
    QFETCH(bool, post);
    QFETCH(QString, message);
    const qint64 id = line({kTuesday, 1}, 1, 0, 40, 40);
    QVERIFY(open({kTuesday, 1}));
    M *model = m_window->model();
    QCOMPARE(model->setData(model->index(0, column), typed), message.isEmpty());
    QCOMPARE(stored(id, column == M::EndingColumn ? "Ending Count" : "Matec Count"), expected);
    QCOMPARE(postBox()->isChecked(), post);
    QCOMPARE(m_world->prompter.messages().size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QVERIFY(m_world->prompter.messages().first().text.contains(message));
        QCOMPARE(m_world->prompter.messages().first().title, programTitle());
    }
}

void TestCounts::enterWalksTheEntryColumns()
{
    m_world->session->securityLevel = QStringLiteral("A");
    const qint64 first = line({kTuesday, 1}, 1, 0, 0);
    line({kTuesday, 1}, 2, 0, 0);
    QVERIFY(open({kTuesday, 1}));
    CountsGrid *table = grid();
    QCOMPARE(table->currentIndex().column(), int(M::EndingColumn));

    // Enter in a cell left as it was moves on without an entry.
    table->edit(table->currentIndex());
    auto *editor = m_window->findChild<QLineEdit *>(QStringLiteral("countEntry"));
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(table->currentIndex().column(), int(M::MattecColumn));
    QVERIFY(!postBox()->isChecked());

    QTest::keyClick(table, Qt::Key_Left);
    QCOMPARE(table->currentIndex().column(), int(M::EndingColumn));
    table->edit(table->currentIndex());
    editor = m_window->findChild<CountEntryDelegate *>()->currentEditor();
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("1200+350"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(stored(first), 1550);
    QVERIFY(postBox()->isChecked());
    QCOMPARE(table->currentIndex().column(), int(M::MattecColumn));

    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(table->currentIndex().row(), 1);
    QCOMPARE(table->currentIndex().column(), int(M::EndingColumn)); // Beginning Count is locked
    QTest::keyClick(table, Qt::Key_Left);
    QCOMPARE(table->currentIndex().row(), 0);
    QCOMPARE(table->currentIndex().column(), int(M::MattecColumn));
}

void TestCounts::editRights_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("protect");
    QTest::addColumn<bool>("ending");
    QTest::addColumn<bool>("beginning");
    // The date-shift is shift 3 of yesterday.
    QTest::newRow("A at 08:30") << "A" << QTime(8, 30) << false << true << false;
    QTest::newRow("A at 12:00") << "A" << QTime(12, 0) << false << false << false;
    QTest::newRow("C at 12:00") << "C" << QTime(12, 0) << false << true << true;
    QTest::newRow("protected: read-only even for C") << "C" << QTime(12, 0) << true << false << false;
}

void TestCounts::editRights()
{
    QFETCH(QString, level);
    QFETCH(QTime, time);
    QFETCH(bool, protect);
    QFETCH(bool, ending);
    QFETCH(bool, beginning);
    m_world->session->securityLevel = level;
    m_world->clock.set(kTuesday, time);
    const qint64 id = line({kMonday, 3}, 1, 0, 40);
    const qint64 next = line({kTuesday, 1}, 1, 7, 0);
    if (protect)
        Fixture::protect(m_world->db, kMonday, 3);
    QVERIFY(open({kMonday, 3}));
    M *model = m_window->model();
    for (int column = 0; column < model->columnCount(); ++column) {
        const bool editable = column == M::BeginningColumn                             ? beginning
                              : column == M::EndingColumn || column == M::MattecColumn ? ending
                                                                                       : false;
        QCOMPARE(bool(model->flags(model->index(0, column)) & Qt::ItemIsEditable), editable);
    }
    QCOMPARE(model->setData(model->index(0, M::EndingColumn), "500"), ending);
    QCOMPARE(stored(id), ending ? 500 : 40);
    QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("lblReadOnly"))->isHidden(), ending);
    // A window that may not update posts nothing into the next shift, even with the box ticked.
    QCOMPARE(postBox()->isEnabled(), ending);
    postBox()->setChecked(true);
    closeWindow();
    QCOMPARE(stored(next, "Beginning Count"), ending ? 500 : 7);
}

void TestCounts::postsToNextShiftOnClose_data()
{
    QTest::addColumn<bool>("typed");
    QTest::newRow("ending count typed") << true;
    QTest::newRow("nothing typed") << false;
}

void TestCounts::postsToNextShiftOnClose()
{
    QFETCH(bool, typed);
    const qint64 first = line({kFriday, 3}, 1, 0, 0);
    line({kFriday, 3}, 3, 0, 4200);
    const qint64 monday = line({kMonday, 1}, 1, 1000, 0);
    QVERIFY(open({kFriday, 3}));
    if (typed)
        QVERIFY(m_window->model()->setData(m_window->model()->index(0, M::EndingColumn), "1500"));
    QCOMPARE(stored(first), typed ? 1500 : 0);
    closeWindow();
    QCOMPARE(stored(monday, "Beginning Count"), typed ? 1500 : 1000);
    // The line of machine 3 has no match on Monday: the saved query brings it forward, and the
    // user is told once.
    QCOMPARE(JobLines(m_world->db).of({kMonday, 1}).size(), typed ? 2 : 1);
    QCOMPARE(m_world->prompter.messages().size(), typed ? 1 : 0);
    if (typed) {
        QCOMPARE(m_world->prompter.messages().first().title, QStringLiteral("Post to Next Shift"));
        QVERIFY(m_world->prompter.messages().first().text.contains(QStringLiteral("Machine 3, job A-100")));
    }
    QCOMPARE(m_world->session->openDataForms(), 0);
}

void TestCounts::damageFoundAtLoadIsRepaired_data()
{
    QTest::addColumn<bool>("otherWindowKept"); // another window with a half-typed entry stays open
    QTest::newRow("repaired, then loaded") << false;
    QTest::newRow("no repair while another window is open") << true;
}

void TestCounts::damageFoundAtLoadIsRepaired()
{
    QFETCH(bool, otherWindowKept);
    for (int machine = 1; machine <= 3; ++machine)
        line({kTuesday, 1}, machine, 100, 200);
    // The file opens; the index the lines are read through is broken.
    const QString path = m_world->session->options().DatabaseName();
    const int page = m_world->db
                         .scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = "
                                                "'Production Date Shift'"))
                         .toInt();
    const int pageSize = m_world->db.scalar(QStringLiteral("PRAGMA page_size")).toInt();
    m_world->db.close();
    QVERIFY(overwrite(path, qint64(page - 1) * pageSize, QByteArray(pageSize, '\xff')));
    const QByteArray damaged = readFile(path);
    m_world->session->setRepairHandler([this] { DatabaseRepair(*m_world->session).run(); });
    QList<QObject *> kept;
    m_world->session->setWindowCloser([&](QObject *except) {
        kept << except;
        return !otherWindowKept;
    });
    m_world->prompter.script({MsgAnswer::Yes});

    const bool opened = open({kTuesday, 1});

    // Never an empty date-shift because reading it failed: either every line, or no window.
    QCOMPARE(opened, !otherWindowKept);
    QCOMPARE(kept.size(), 1);
    if (otherWindowKept) {
        QCOMPARE(m_world->prompter.titles(), QStringList{QStringLiteral("Serious Error")});
        QVERIFY(m_world->prompter.messages().first().text.contains(QStringLiteral("3049")));
        QCOMPARE(readFile(path), damaged);
        QCOMPARE(m_world->session->openDataForms(), 0);
        return;
    }
    QCOMPARE(m_world->prompter.titles(),
             (QStringList{QStringLiteral("Database Initialization Error"), QStringLiteral("Repair Status")}));
    QCOMPARE(m_window->model()->rowCount(), 3);
    QCOMPARE(cell(2, M::NetFinishedGoodsColumn), QStringLiteral("100"));
}

void TestCounts::rejectsButtonRefillsRejectsByLine()
{
    const qint64 a = line({kTuesday, 1}, 1, 1000, 1500, 560);
    const qint64 b = line({kTuesday, 1}, 2, 0, 100, 130);
    m_world->session->rejectsByLine.insert(QStringLiteral("4711"), 3);
    QVERIFY(open({kTuesday, 1}));
    QSignalSpy requested(m_window.data(), &frmProductionCounts2::rejectsRequested);
    m_window->findChild<QPushButton *>(QStringLiteral("cmdRejects"))->click();
    QCOMPARE(requested.count(), 1);
    const QMap<QString, qint32> expected{{QString::number(a), 60}, {QString::number(b), 30}};
    QCOMPARE(m_world->session->rejectsByLine, expected);
}

void TestCounts::refreshKeepsTheTypedValue()
{
    const qint64 first = line({kTuesday, 1}, 1, 0, 10);
    const qint64 second = line({kTuesday, 1}, 2, 0, 20);
    QVERIFY(open({kTuesday, 1}));
    CountsGrid *table = grid();
    table->edit(table->currentIndex());
    auto *editor = m_window->findChild<QLineEdit *>(QStringLiteral("countEntry"));
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("123"));

    // Another workstation types a count on the second line.
    m_world->db.exec(
        QStringLiteral("UPDATE [Production Table] SET [Ending Count] = 999 WHERE [Job ID] = :id"),
        {{QStringLiteral("id"), second}});
    m_window->refreshWhileEditing();
    QCOMPARE(cell(1, M::EndingColumn), QStringLiteral("999"));
    QVERIFY(table->isEditing());
    QCOMPARE(editor->text(), QStringLiteral("123"));

    // ... and adds a line: the grid is rebuilt, the typed text goes back into its cell.
    line({kTuesday, 1}, 0, 0, 0);
    m_window->refreshWhileEditing();
    QCOMPARE(m_window->model()->rowCount(), 3);
    QVERIFY(table->isEditing());
    QCOMPARE(table->currentIndex().row(), 1);
    auto *reopened = m_window->findChild<CountEntryDelegate *>()->currentEditor();
    QVERIFY(reopened);
    QCOMPARE(reopened->text(), QStringLiteral("123"));
    QCOMPARE(stored(first), 10); // nothing is stored before the user leaves the cell
    QVERIFY(m_world->prompter.messages().isEmpty());
}

void TestCounts::columnWidthsAreRestored()
{
    line({kTuesday, 1}, 1, 0, 0);
    QVERIFY(open({kTuesday, 1}));
    const int designWidth = grid()->columnWidth(M::RejectsColumn);
    grid()->setColumnWidth(M::RejectsColumn, designWidth + 55);
    closeWindow();
    QVERIFY(open({kTuesday, 1}));
    QCOMPARE(grid()->columnWidth(M::RejectsColumn), designWidth + 55);
}

void TestCounts::opensMaximizedInTheMdiArea_data()
{
    QTest::addColumn<bool>("addedFirst");
    QTest::newRow("added to the area before the load") << true;
    QTest::newRow("added to the area after the load") << false;
}

void TestCounts::opensMaximizedInTheMdiArea()
{
    QFETCH(bool, addedFirst);
    line({kTuesday, 1}, 1, 0, 0);
    QMdiArea area;
    area.resize(1000, 700);
    area.show();
    m_world->session->setCurrentDateShift({kTuesday, 1});
    m_window = new frmProductionCounts2(*m_world->session);
    QMdiSubWindow *sub = addedFirst ? area.addSubWindow(m_window) : nullptr;
    QVERIFY(m_window->load());
    if (!addedFirst)
        sub = area.addSubWindow(m_window);
    sub->show();
    QTRY_VERIFY(sub->isMaximized());
}

QTEST_MAIN(TestCounts)
#include "test_counts.moc"
