#include "DataWindowFixture.h"
#include "TestSupport.h"

#include "production/counts/CountsGrid.h"
#include "production/counts/ProductionCountsModel.h"
#include "production/counts/frmProductionCounts2.h"
#include "production/record/CountEntryDelegate.h"
#include "production/record/JobLines.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

// The production counts window: refusing an empty date-shift, the "Negative" style, the cursor
// and posting on close, the refresh timer, the place in the main frame. The rules behind them are
// tested on the sheet (test_countssheet).
class TestCounts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensOnlyASetUpDateShift();
    void enterWalksTheEntryColumnsAndPostsOnClose();
    void refreshKeepsTheTypedValue();
    void failedSaveKeepsTheTypedValue();
    void anotherWorkstationsChangesShowWithTheEditorKept();
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
        .scalar(QStringLiteral("SELECT \"%1\" FROM \"Production Table\" WHERE \"Job ID\" = :id").arg(field),
                {{QStringLiteral("id"), jobId}})
        .toLongLong();
}

void TestCounts::opensOnlyASetUpDateShift()
{
    const qint64 full = line({kTuesday, 1}, 1, 1000, 1500, 560);
    line({kTuesday, 1}, 2, 1000, 0);
    Fixture::transfer(m_world->db, full, 1, 20);
    QSignalSpy counts(m_world->session.get(), &Session::openDataFormsChanged);
    QVERIFY(!open({kTuesday, 2}));
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

    QVERIFY(open({kTuesday, 1}));
    QCOMPARE(m_world->session->openDataForms(), 1);
    QVERIFY(m_window->findChild<QLabel *>(QStringLiteral("lblReadOnly"))->isHidden());
    QCOMPARE(cell(0, M::TransfersColumn), QStringLiteral("20"));
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
    // A refused entry is told with the program's title.
    QVERIFY(!m_window->model()->setData(m_window->model()->index(0, M::EndingColumn), "100-2000"));
    QCOMPARE(m_world->prompter.messages().last().text,
             QStringLiteral("There is no possible way you could have a negative Ending Count!"));
    QCOMPARE(m_world->prompter.messages().last().title, programTitle());
    QVERIFY(!postBox()->isChecked());
    closeWindow();
    QCOMPARE(m_world->session->openDataForms(), 0);
}

void TestCounts::enterWalksTheEntryColumnsAndPostsOnClose()
{
    m_world->session->securityLevel = QStringLiteral("A");
    const qint64 first = line({kTuesday, 1}, 1, 0, 0);
    line({kTuesday, 1}, 2, 0, 0);
    const qint64 next = line({kTuesday, 2}, 1, 1000, 0);
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

    // The ticked box posts the ending count to the next shift as the window closes.
    closeWindow();
    QCOMPARE(stored(next, "Beginning Count"), 1550);
    QCOMPARE(m_world->session->openDataForms(), 0);
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
        QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = 999 WHERE \"Job ID\" = :id"),
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

void TestCounts::anotherWorkstationsChangesShowWithTheEditorKept()
{
    const qint64 first = line({kTuesday, 1}, 1, 0, 10);
    const qint64 second = line({kTuesday, 1}, 2, 0, 20);
    const qint64 third = line({kTuesday, 1}, 3, 0, 30);
    const qint64 monday = line({kMonday, 3}, 3, 0, 0);
    const qint64 mondayHold = Fixture::hold(m_world->db, monday, 1, 10);
    QVERIFY(open({kTuesday, 1}));
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    CountsGrid *table = grid();
    // The user types into the second line's Ending Count, not stored yet.
    table->setCurrentIndex(m_window->model()->index(1, M::EndingColumn));
    table->edit(table->currentIndex());
    QLineEdit *editor = m_window->findChild<CountEntryDelegate *>()->currentEditor();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("25"));

    // Another workstation adds a transfer to the third line, a count to the second, a line
    // before them all, and deletes the first line.
    const Database other = m_world->openDatabase();
    Fixture::transfer(other, third, 7, 5);
    other.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = 21 WHERE \"Job ID\" = :id"),
               {{QStringLiteral("id"), second}});
    other.exec(QStringLiteral("DELETE FROM \"Production Table\" WHERE \"Job ID\" = :id"),
               {{QStringLiteral("id"), first}});
    const qint64 added = Fixture::line(other, kTuesday, 1, 0, QStringLiteral("A-100"), 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(cell(2, M::TransfersColumn), QStringLiteral("5"), 10000);
    QCOMPARE(m_window->model()->rowCount(), 3);
    QCOMPARE(cell(0, M::JobIdColumn), QString::number(added));
    QCOMPARE(cell(2, M::NetFinishedGoodsColumn), QStringLiteral("35"));
    // The cursor and the editor stay on the second line with the typed text; the cell shows
    // what the user started from.
    QCOMPARE(cell(table->currentIndex().row(), M::JobIdColumn), QString::number(second));
    QVERIFY(table->isEditing());
    QCOMPARE(m_window->findChild<CountEntryDelegate *>()->currentEditor(), editor);
    QCOMPARE(editor->text(), QStringLiteral("25"));
    QCOMPARE(cell(1, M::EndingColumn), QStringLiteral("20"));
    QVERIFY(m_world->prompter.messages().isEmpty());

    // Its save finds the count changed meanwhile: the user is told, theirs is kept and shown.
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(m_world->prompter.messages().size(), 1);
    QCOMPARE(stored(second), 21);
    QVERIFY(
        m_world->prompter.messages().first().text.contains(QStringLiteral("changed on another workstation")));
    QCOMPARE(cell(1, M::EndingColumn), QStringLiteral("21"));

    // Another day's hold reworked into this date-shift's line (once the re-read that follows
    // the refused save has run).
    QTest::qWait(100);
    other.exec(
        QStringLiteral("INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"Job ID\", \"To Job ID\", "
                       "\"Reworked Quantity\") VALUES (:hold, :from, :to, 3)"),
        {{QStringLiteral("hold"), mondayHold},
         {QStringLiteral("from"), monday},
         {QStringLiteral("to"), third}});
    QTRY_COMPARE_WITH_TIMEOUT(cell(2, M::FromReworkColumn), QStringLiteral("3"), 10000);
}

void TestCounts::failedSaveKeepsTheTypedValue()
{
    FILE_DATABASE_ONLY("the refusing trigger is written in SQLite's language");
    const qint64 first = line({kTuesday, 1}, 1, 0, 10);
    QVERIFY(open({kTuesday, 1}));
    // The write fails (as when the server's connection was lost): the user is told, the text stays.
    m_world->db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON \"Production Table\" "
                                    "BEGIN SELECT RAISE(ABORT, 'the write failed'); END"));
    CountsGrid *table = grid();
    table->edit(table->currentIndex());
    auto *editor = m_window->findChild<CountEntryDelegate *>()->currentEditor();
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("1200+350"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(m_world->prompter.messages().size(), 1);
    QVERIFY(m_world->prompter.messages().first().text.contains(QStringLiteral("the write failed")));
    QTRY_VERIFY(m_window->findChild<CountEntryDelegate *>()->currentEditor());
    editor = m_window->findChild<CountEntryDelegate *>()->currentEditor();
    QCOMPARE(editor->text(), QStringLiteral("1200+350"));
    QCOMPARE(table->currentIndex().column(), int(M::EndingColumn));
    QCOMPARE(stored(first), 10);
    // The next try goes through.
    m_world->db.exec(QStringLiteral("DROP TRIGGER refuse"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(stored(first), 1550);
    QCOMPARE(m_world->prompter.messages().size(), 1);
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
