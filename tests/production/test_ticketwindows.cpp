#include "DataWindowFixture.h"
#include "TestSupport.h"

#include "foundation/RejectReasons.h"
#include "production/ProductionWindows.h"
#include "production/counts/ProductionCountsModel.h"
#include "production/counts/frmProductionCounts2.h"
#include "production/disposition/DispositionSheet.h"
#include "production/disposition/DistributionModel.h"
#include "production/disposition/frmHoldDisposition2.h"
#include "production/rejects/RejectsModel.h"
#include "production/rejects/frmRejects.h"
#include "production/tickets/TicketModel.h"
#include "production/tickets/TicketSheet.h"
#include "production/tickets/frmTickets.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

// What only the windows show: buttons and totals following the sheet, protection, the hold
// window's timer, the disposal status on close, the rejects window opened from the counts window
// inside the main frame, and the counts window reading what these windows stored.
class TestTicketWindows : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void transfersFollowTheLine();
    void protectedLineDisablesTheButtons_data();
    void protectedLineDisablesTheButtons();
    void holdTimerSavesWhatIsTyped();
    void refusedDeleteIsToldInWordsAndLogged();
    void dispositionClosesWithDisposalStatus();
    void reasonCellTakesTheKeysOfAList();
    void rejectsOpenFromTheCountsWindow();
    void countsShowWhatTheseWindowsStored();
    void shortcutStoresTheTypedValue_data();
    void shortcutStoresTheTypedValue();
    void typingRightAfterAClickKeepsEveryKey();
    void typingGoesOnWhileAnotherWorkstationAdds_data();
    void typingGoesOnWhileAnotherWorkstationAdds();
    void anotherWorkstationsTicketShowsWithTheEditorKept_data();
    void anotherWorkstationsTicketShowsWithTheEditorKept();
    void anotherWorkstationsDistributionShowsWithTheEditorKept();
    void rejectsFollowAnotherWorkstation();

private:
    template <class W> W *child(QWidget *window, const QString &name) const
    {
        W *found = window->findChild<W *>(name);
        if (!found)
            qWarning("no child %s", qPrintable(name));
        return found;
    }
    frmTickets *openTickets(const TicketKind &kind)
    {
        m_world->session->setCurrentDateShift({kMonday, 1});
        auto *window = new frmTickets(*m_world->session, kind);
        m_windows << window;
        if (!window->load())
            return nullptr;
        return window;
    }
    qint64 value(const QString &sql) const { return m_world->db.scalar(sql).toLongLong(); }
    // The window with a cell to type into, its grid and the query of the cell's stored value.
    struct Entry
    {
        QWidget *window = nullptr;
        QTableView *grid = nullptr;
        QModelIndex cell;
        QString stored;
    };
    Entry openForEntry(const QString &which);
    // Shows the window active, so that its shortcuts and clicks reach it as a user's do.
    static bool activate(QWidget *window)
    {
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    }

    std::unique_ptr<DatabaseWorld> m_world;
    QList<QPointer<QWidget>> m_windows;
    qint64 m_first = 0;
    qint64 m_second = 0;

    static inline const QDate kMonday{2026, 12, 7};
};

void TestTicketWindows::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{QStringLiteral("A-100")});
    m_world->clock.set(kMonday, QTime(10, 0));
    m_first = Fixture::line(m_world->db, kMonday, 1, 1, QStringLiteral("A-100"), 1000, 1500, 700);
    m_second = Fixture::line(m_world->db, kMonday, 1, 2, QStringLiteral("A-100"));
}

void TestTicketWindows::cleanup()
{
    for (const QPointer<QWidget> &window : m_windows)
        DataWindowFixture::close(window);
    m_windows.clear();
    m_world.reset();
}

void TestTicketWindows::transfersFollowTheLine()
{
    Fixture::transfer(m_world->db, m_second, 1, 1200);
    frmTickets *window = openTickets(TicketKind::transfers());
    QVERIFY(window);
    QCOMPARE(window->objectName(), QStringLiteral("frmTransfer2"));
    QCOMPARE(m_world->session->openDataForms(), 1);
    auto *total = child<QLabel>(window, QStringLiteral("lblTotalTransfers"));
    auto *add = child<QPushButton>(window, QStringLiteral("cmdAddTransfer"));
    auto *del = child<QPushButton>(window, QStringLiteral("cmdDeleteTransfer"));
    auto *update = child<QPushButton>(window, QStringLiteral("cmdUpdateTransfer"));
    auto *lines = child<QTableView>(window, QStringLiteral("tblShiftData"));
    auto *grid = child<QTableView>(window, QStringLiteral("tblXfers"));
    QVERIFY(total && add && del && update && lines && grid);
    QCOMPARE(total->text(), QString());
    QVERIFY(add->isEnabled() && !del->isEnabled() && !update->isEnabled());

    add->click();
    QVERIFY(del->isEnabled() && update->isEnabled());
    QCOMPARE(grid->currentIndex().column(), TicketModel::NumberColumn);
    TicketModel *model = window->ticketModel();
    QVERIFY(model->setData(model->index(0, TicketModel::QuantityColumn), QStringLiteral("100+50")));
    QCOMPARE(total->text(), QStringLiteral("150"));
    add->click(); // left empty

    lines->setCurrentIndex(lines->model()->index(1, 0));
    QCOMPARE(child<QWidget>(window, QStringLiteral("fraXfers"))->property("title").toString(),
             QStringLiteral("Transfers for A-100 - Part A-100"));
    QCOMPARE(total->text(), QStringLiteral("1,200"));
    grid->setCurrentIndex(model->index(0, 1));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Delete); // the grid's own delete, as the button
    QCOMPARE(total->text(), QString());
    QVERIFY(!del->isEnabled());

    window->close();
    QCOMPARE(m_world->session->openDataForms(), 0);
    QCOMPARE(value(QStringLiteral("SELECT COUNT(*) FROM \"Transfer Table\"")), 1);
    QCOMPARE(value(QStringLiteral("SELECT \"Transfer Quantity\" FROM \"Transfer Table\"")), 150);
}

void TestTicketWindows::protectedLineDisablesTheButtons_data()
{
    QTest::addColumn<bool>("holds");
    QTest::addColumn<bool>("meanwhile"); // protected on another workstation after the window opened
    QTest::newRow("transfers") << false << false;
    QTest::newRow("holds") << true << false;
    QTest::newRow("transfers protected meanwhile") << false << true;
    QTest::newRow("holds protected meanwhile") << true << true;
}

void TestTicketWindows::protectedLineDisablesTheButtons()
{
    QFETCH(bool, holds);
    QFETCH(bool, meanwhile);
    Fixture::hold(m_world->db, m_first, 5, 10);
    Fixture::transfer(m_world->db, m_first, 5, 10);
    if (!meanwhile)
        Fixture::protect(m_world->db, kMonday, 1);
    const TicketKind kind = holds ? TicketKind::holds() : TicketKind::transfers();
    frmTickets *window = openTickets(kind);
    QVERIFY(window);
    if (meanwhile) {
        Fixture::protect(m_world->db, kMonday, 1);
        TicketModel *model = window->ticketModel();
        QVERIFY(!model->setData(model->index(0, TicketModel::QuantityColumn), QStringLiteral("99")));
        QCOMPARE(m_world->prompter.messages().size(), 1);
        QCoreApplication::processEvents(); // the date-shift is read again once the entry is done
    }
    QVERIFY(child<QLabel>(window, QStringLiteral("lblProtected"))->isVisibleTo(window));
    for (const QString &verb : {QStringLiteral("Add"), QStringLiteral("Delete"), QStringLiteral("Update")})
        QVERIFY(
            !child<QPushButton>(window, QStringLiteral("cmd%1%2").arg(verb, kind.buttonNoun))->isEnabled());
    auto *grid = child<QTableView>(window, kind.gridName);
    for (int column = 0; column < grid->model()->columnCount(); ++column)
        QVERIFY(!(grid->model()->flags(grid->model()->index(0, column)) & Qt::ItemIsEditable));
}

void TestTicketWindows::refusedDeleteIsToldInWordsAndLogged()
{
    const qint64 hold = Fixture::hold(m_world->db, m_first, 5, 10);
    Fixture::distribution(m_world->db, hold, QVariant(), 4);
    frmTickets *window = openTickets(TicketKind::holds());
    QVERIFY(window);
    child<QTableView>(window, QStringLiteral("tblHolds"))
        ->setCurrentIndex(window->ticketModel()->index(0, 0));
    child<QPushButton>(window, QStringLiteral("cmdDeleteHold"))->click();
    QCOMPARE(m_world->prompter.messages().size(), 1);
    const QString shown = m_world->prompter.messages()[0].text;
    QVERIFY2(shown.contains(QStringLiteral("This hold ticket has distribution rows. Delete those first")) &&
                 !shown.contains(QStringLiteral("DELETE")),
             qPrintable(shown));
    QFile log(m_world->paths->inProgramFolder(QStringLiteral("error.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(log.readAll()).contains(QStringLiteral("DELETE FROM \"Hold Table\"")));
}

void TestTicketWindows::holdTimerSavesWhatIsTyped()
{
    const qint64 hold = Fixture::hold(m_world->db, m_second, 5, 10);
    frmTickets *window = openTickets(TicketKind::holds());
    QVERIFY(window);
    QVERIFY(child<QTimer>(window, QStringLiteral("Timer1"))->isActive());
    auto *lines = child<QTableView>(window, QStringLiteral("tblShiftData"));
    auto *grid = child<QTableView>(window, QStringLiteral("tblHolds"));
    window->show();
    lines->setCurrentIndex(lines->model()->index(1, 0));
    const QModelIndex cell = grid->model()->index(0, TicketModel::QuantityColumn);
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto *editor = grid->findChild<QLineEdit *>(QStringLiteral("countEntry"));
    QVERIFY(editor);
    editor->setText(QStringLiteral("40+20"));
    editor->setModified(true);

    window->refreshPending();
    QCOMPARE(
        value(QStringLiteral("SELECT '' || \"Hold Quantity\" || \"Hold Remaining\" FROM \"Hold Table\" WHERE "
                             "\"Hold Ticket ID\" = %1")
                  .arg(hold)),
        6060);
    QCOMPARE(lines->currentIndex().row(), 0); // back on the first line of the date-shift
    QCOMPARE(window->sheet()->selected()->jobId, m_first);
}

void TestTicketWindows::dispositionClosesWithDisposalStatus()
{
    const qint64 ticket = Fixture::hold(m_world->db, m_first, 77, 100);
    const qint64 locked = Fixture::hold(
        m_world->db, Fixture::line(m_world->db, QDate(2026, 12, 1), 1, 1, QStringLiteral("A-100")), 78, 10);
    Fixture::protect(m_world->db, QDate(2026, 12, 1), 1);
    auto *window = new frmHoldDisposition2(*m_world->session);
    m_windows << window;
    QVERIFY(window->load());
    QCOMPARE(m_world->session->openDataForms(), 1);
    auto *tickets = child<QTableView>(window, QStringLiteral("tblShiftData"));
    auto *add = child<QPushButton>(window, QStringLiteral("cmdAddHold"));
    QCOMPARE(window->sheet()->selected()->ticketId, locked); // oldest first
    QVERIFY(!add->isEnabled());
    QVERIFY(!child<QPushButton>(window, QStringLiteral("cmdDeleteHold"))->isEnabled());

    tickets->setCurrentIndex(tickets->model()->index(1, 0));
    QVERIFY(add->isEnabled());
    QCOMPARE(child<QWidget>(window, QStringLiteral("fraHolds"))->property("title").toString(),
             QStringLiteral("Distributions for A-100 - Part A-100"));
    add->click();
    DistributionModel *model = window->distributionModel();
    const int reworked = model->columnOf(QStringLiteral("Reworked Quantity"));
    const int reason = model->columnOf(QStringLiteral("Reject Reason"));
    const int rejects = model->columnOf(QStringLiteral("Reject Quantity"));
    QVERIFY(model->setData(model->index(0, reworked), QStringLiteral("95")));
    QVERIFY(model->setData(model->index(0, rejects), QStringLiteral("5")));
    QCOMPARE(model->index(0, reason).data().toString(), QStringLiteral("Other"));
    QVERIFY(!model->setData(model->index(0, reason), 0));
    QCOMPARE(m_world->prompter.messages().last().title, QStringLiteral("Invalid Reason"));
    const int remainingColumn = 9;
    QCOMPARE(tickets->model()->index(1, remainingColumn).data().toString(), QStringLiteral("0"));
    QVERIFY(tickets->model()->index(1, remainingColumn).data(Qt::BackgroundRole).isValid());

    window->close();
    QCOMPARE(m_world->session->openDataForms(), 0);
    QCOMPARE(value(QStringLiteral("SELECT \"Disposed of\" FROM \"Hold Table\" WHERE \"Hold Ticket ID\" = %1")
                       .arg(ticket)),
             1);
}

// Tabbed into, the Reject Reason cell changes its reason with the keys a list box takes.
void TestTicketWindows::reasonCellTakesTheKeysOfAList()
{
    Fixture::distribution(m_world->db, Fixture::hold(m_world->db, m_first, 7, 100, 70), m_second, 30, 0, 2);
    auto *window = new frmHoldDisposition2(*m_world->session);
    m_windows << window;
    QVERIFY(window->load());
    auto *grid = child<QTableView>(window, QStringLiteral("tblHolds"));
    const QModelIndex cell = grid->model()->index(0, DistributionModel::ReasonColumn);
    grid->setCurrentIndex(cell);
    const auto reason = [&] { return cell.data(DistributionModel::ValueRole).toInt(); };
    const QList<std::pair<Qt::Key, int>> steps = {{Qt::Key_Down, 3},
                                                  {Qt::Key_End, RejectReasons::kCount},
                                                  {Qt::Key_Down, RejectReasons::kCount},
                                                  {Qt::Key_Up, RejectReasons::kCount - 1},
                                                  {Qt::Key_Home, 0},
                                                  {Qt::Key_Up, 0}};
    for (const auto &[key, expected] : steps) {
        QTest::keyClick(grid, key);
        QCOMPARE(reason(), expected);
        QCOMPARE(grid->currentIndex(), cell);
    }
    QCOMPARE(value(QStringLiteral("SELECT \"Reject Reason\" FROM \"Hold Distribution\"")), 0);
}

void TestTicketWindows::rejectsOpenFromTheCountsWindow()
{
    Fixture::line(m_world->db, kMonday, 1, 150, QStringLiteral("A-100"));
    WindowRegistry registry;
    registerProductionWindows(registry);
    frmMain main(*m_world->session, registry);
    main.applyMenuRights(QStringLiteral("C"));
    m_world->session->setDateShiftChooser([&] { m_world->session->setCurrentDateShift({kMonday, 1}); });
    main.menuItem(QStringLiteral("mnuFileSub2"))->trigger();
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    auto *counts = qobject_cast<frmProductionCounts2 *>(main.mdiArea()->subWindowList().first()->widget());
    QVERIFY(counts);
    QPointer<frmProductionCounts2> countsGuard(counts);

    child<QPushButton>(counts, QStringLiteral("cmdRejects"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(countsGuard.isNull());
    QTRY_COMPARE(main.mdiArea()->subWindowList().size(), 1);
    auto *rejects = qobject_cast<frmRejects *>(main.mdiArea()->subWindowList().first()->widget());
    QVERIFY(rejects);
    QCOMPARE(m_world->session->openDataForms(), 1);
    RejectsModel *model = rejects->model();
    QCOMPARE(model->rowCount(), 2); // machine 150 is not a production machine
    // Line 1: matec 700 - net 500 = 200 rejects, none assigned yet.
    QCOMPARE(model->index(0, RejectsModel::RejectsColumn).data().toString(), QStringLiteral("200"));
    QCOMPARE(model->index(0, RejectsModel::TotalLeftColumn).data().toString(), QStringLiteral("200"));
    QVERIFY(model->setData(model->index(0, RejectsModel::FirstReasonColumn + 3), QStringLiteral("150+50")));
    QCOMPARE(model->index(0, RejectsModel::TotalLeftColumn).data().toString(), QStringLiteral("0"));
    QCOMPARE(model->index(0, RejectsModel::TotalLeftColumn).data(Qt::BackgroundRole),
             model->index(1, RejectsModel::TotalLeftColumn).data(Qt::BackgroundRole)); // both "0"
    QVERIFY(model->setData(model->index(0, RejectsModel::FirstReasonColumn), QStringLiteral("10")));
    QCOMPARE(model->index(0, RejectsModel::TotalLeftColumn).data().toString(), QStringLiteral("-10"));
    QVERIFY(model->index(0, RejectsModel::TotalLeftColumn).data(Qt::BackgroundRole) !=
            model->index(1, RejectsModel::TotalLeftColumn).data(Qt::BackgroundRole));
    main.mdiArea()->closeAllSubWindows();
    QCOMPARE(m_world->session->openDataForms(), 0);
}

void TestTicketWindows::countsShowWhatTheseWindowsStored()
{
    const qint64 later = Fixture::line(m_world->db, QDate(2026, 12, 8), 1, 1, QStringLiteral("A-100"));
    Q_UNUSED(later);
    frmTickets *transfers = openTickets(TicketKind::transfers());
    int row = -1;
    QVERIFY(transfers->sheet()->addTicket(&row).stored);
    QVERIFY(transfers->sheet()->setQuantity(row, QStringLiteral("300")).stored);
    transfers->close();
    frmTickets *holds = openTickets(TicketKind::holds());
    QVERIFY(holds->sheet()->addTicket(&row).stored);
    QVERIFY(holds->sheet()->setQuantity(row, QStringLiteral("40")).stored);
    holds->close();
    // Rework from an earlier ticket into this date-shift's first line.
    const qint64 old = Fixture::hold(
        m_world->db, Fixture::line(m_world->db, QDate(2026, 12, 6), 3, 1, QStringLiteral("A-100")), 1, 25);
    DispositionSheet disposition(m_world->db);
    disposition.load();
    for (int t = 0; t < disposition.ticketCount(); ++t) {
        if (disposition.ticket(t).ticketId == old)
            disposition.selectTicket(t);
    }
    QVERIFY(disposition.addDistribution(QDateTime(kMonday, QTime(11, 0)), &row).stored);
    QVERIFY(disposition.setReceivingLine(row, m_first).stored);
    QVERIFY(disposition.setReworked(row, QStringLiteral("25")).stored);

    auto counts = DataWindowFixture::open<frmProductionCounts2>(*m_world->session, {kMonday, 1});
    m_windows << counts.data();
    QVERIFY(counts);
    ProductionCountsModel *model = counts->model();
    QCOMPARE(model->index(0, ProductionCountsModel::TransfersColumn).data().toString(),
             QStringLiteral("300"));
    QCOMPARE(model->index(0, ProductionCountsModel::ToHoldColumn).data().toString(), QStringLiteral("40"));
    QCOMPARE(model->index(0, ProductionCountsModel::FromReworkColumn).data().toString(),
             QStringLiteral("25"));
    // Net finished goods = 1500 + 300 - 1000.
    QCOMPARE(model->index(0, ProductionCountsModel::NetFinishedGoodsColumn).data().toString(),
             QStringLiteral("800"));
}

TestTicketWindows::Entry TestTicketWindows::openForEntry(const QString &which)
{
    Entry entry;
    if (which == QLatin1String("transfers") || which == QLatin1String("holds")) {
        const bool holds = which == QLatin1String("holds");
        holds ? Fixture::hold(m_world->db, m_first, 5, 300) : Fixture::transfer(m_world->db, m_first, 5, 150);
        const TicketKind kind = holds ? TicketKind::holds() : TicketKind::transfers();
        entry.window = openTickets(kind);
        entry.stored = QStringLiteral("SELECT \"%1\" FROM \"%2\"").arg(kind.quantityField, kind.table);
        entry.grid = child<QTableView>(entry.window, kind.gridName);
        entry.cell = entry.grid->model()->index(0, TicketModel::QuantityColumn);
    } else if (which == QLatin1String("disposition")) {
        Fixture::distribution(m_world->db, Fixture::hold(m_world->db, m_first, 7, 100, 70), m_second, 30);
        auto *window = new frmHoldDisposition2(*m_world->session);
        m_windows << window;
        entry.window = window->load() ? window : nullptr;
        entry.stored = QStringLiteral("SELECT \"Reworked Quantity\" FROM \"Hold Distribution\"");
        entry.grid = child<QTableView>(window, QStringLiteral("tblHolds"));
        entry.cell = entry.grid->model()->index(0, DistributionModel::ReworkedColumn);
    } else {
        const bool counts = which == QLatin1String("counts");
        QWidget *window = counts ? static_cast<QWidget *>(DataWindowFixture::open<frmProductionCounts2>(
                                       *m_world->session, {kMonday, 1}))
                                 : DataWindowFixture::open<frmRejects>(*m_world->session, {kMonday, 1});
        m_windows << window;
        entry.window = window;
        entry.stored = QStringLiteral("SELECT \"%1\" FROM \"Production Table\" WHERE \"Job ID\" = %2")
                           .arg(counts ? QStringLiteral("Ending Count") : QStringLiteral("RejectReason1"))
                           .arg(m_first);
        entry.grid = child<QTableView>(window, QStringLiteral("Table1"));
        entry.cell = entry.grid->model()->index(0, counts ? int(ProductionCountsModel::EndingColumn)
                                                          : int(RejectsModel::FirstReasonColumn));
    }
    return entry;
}

void TestTicketWindows::shortcutStoresTheTypedValue_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("typed");
    // Typed over 150, 300 and 30.
    const QList<QPair<QString, QString>> tickets{
        {"transfers", "175"}, {"holds", "250"}, {"disposition", "40"}};
    for (const auto &[window, typed] : tickets) {
        QTest::addRow("%s update", qPrintable(window)) << window << int(Qt::Key_U) << typed;
        QTest::addRow("%s add", qPrintable(window)) << window << int(Qt::Key_A) << typed;
        QTest::addRow("%s ok", qPrintable(window)) << window << int(Qt::Key_O) << typed;
    }
    QTest::newRow("counts rejects") << "counts" << int(Qt::Key_R) << "1600";
    QTest::newRow("counts ok") << "counts" << int(Qt::Key_O) << "1700";
    QTest::newRow("rejects ok") << "rejects" << int(Qt::Key_O) << "12";
}

void TestTicketWindows::shortcutStoresTheTypedValue()
{
    QFETCH(QString, window);
    QFETCH(int, key);
    QFETCH(QString, typed);
    const Entry entry = openForEntry(window);
    QVERIFY(entry.window && entry.grid && entry.cell.isValid());
    QVERIFY(activate(entry.window));
    entry.grid->setCurrentIndex(entry.cell);
    entry.grid->edit(entry.cell);
    auto *editor = qobject_cast<QLineEdit *>(entry.grid->indexWidget(entry.cell));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, typed);
    // The shortcut moves no focus: the editor is still open as the command runs.
    QTest::keyClick(editor, Qt::Key(key), Qt::AltModifier);
    QTRY_COMPARE(value(entry.stored), typed.toLongLong());
    QVERIFY(m_world->prompter.messages().isEmpty());
}

void TestTicketWindows::typingRightAfterAClickKeepsEveryKey()
{
    const Entry entry = openForEntry(QStringLiteral("transfers"));
    QVERIFY(entry.window && activate(entry.window));
    entry.grid->setFocus();
    entry.grid->setCurrentIndex(entry.cell);
    // A click on the selected cell, and the keys at once, faster than a double click.
    QTest::mouseClick(entry.grid->viewport(), Qt::LeftButton, {},
                      entry.grid->visualRect(entry.cell).center());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("310"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(value(entry.stored), 310);
}

void TestTicketWindows::typingGoesOnWhileAnotherWorkstationAdds_data()
{
    QTest::addColumn<bool>("holds");
    QTest::newRow("transfers") << false;
    QTest::newRow("holds") << true;
}

void TestTicketWindows::typingGoesOnWhileAnotherWorkstationAdds()
{
    QFETCH(bool, holds);
    const TicketKind kind = holds ? TicketKind::holds() : TicketKind::transfers();
    frmTickets *window = openTickets(kind);
    QVERIFY(window && activate(window));
    auto *grid = child<QTableView>(window, kind.gridName);
    QVERIFY(grid);
    // Another workstation adds a ticket to the line and types its number, no quantity yet.
    TicketSheet other(m_world->db, kind);
    other.load({kMonday, 1});
    int row = -1;
    QVERIFY(other.addTicket(&row).stored && other.setNumber(row, QStringLiteral("88101")).stored);
    const qint64 theirs = other.ticket(row).id;
    child<QPushButton>(window, QStringLiteral("cmdAdd") + kind.buttonNoun)->click();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("88201"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    // Their row came in with the re-read; the cursor stays on this row, in the quantity.
    QCOMPARE(grid->model()->rowCount(), 2);
    QCOMPARE(grid->currentIndex().column(), int(TicketModel::QuantityColumn));
    QCOMPARE(grid->currentIndex().siblingAtColumn(TicketModel::NumberColumn).data().toString(),
             QStringLiteral("88201"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("40"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(value(QStringLiteral("SELECT \"%1\" FROM \"%2\" WHERE \"%3\" = 88201")
                           .arg(kind.quantityField, kind.table, kind.numberField)),
                 40);
    QVERIFY(m_world->prompter.messages().isEmpty());

    // Their half-typed row keeps what it holds through this window's close.
    DataWindowFixture::close(window);
    const QVariant quantity =
        m_world->db.scalar(QStringLiteral("SELECT \"%1\" FROM \"%2\" WHERE \"%3\" = :id")
                               .arg(kind.quantityField, kind.table, kind.idField),
                           {{QStringLiteral("id"), theirs}});
    QCOMPARE(quantity.isNull(), !holds);
}

void TestTicketWindows::anotherWorkstationsTicketShowsWithTheEditorKept_data()
{
    QTest::addColumn<bool>("holds");
    QTest::newRow("transfers") << false;
    QTest::newRow("holds") << true;
}

void TestTicketWindows::anotherWorkstationsTicketShowsWithTheEditorKept()
{
    QFETCH(bool, holds);
    const TicketKind kind = holds ? TicketKind::holds() : TicketKind::transfers();
    const auto ticket = [this, holds](const Database &db, qint64 number, qint64 quantity) {
        return holds ? Fixture::hold(db, m_first, number, quantity)
                     : Fixture::transfer(db, m_first, number, quantity);
    };
    const qint64 mine = ticket(m_world->db, 5001, 10);
    frmTickets *window = openTickets(kind);
    QVERIFY(window && activate(window));
    auto *grid = child<QTableView>(window, kind.gridName);
    auto *total = child<QLabel>(window, kind.totalLabelName);
    QVERIFY(grid && total);
    // The user is typing a quantity into their ticket, not stored yet.
    const QModelIndex cell = grid->model()->index(0, TicketModel::QuantityColumn);
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto *editor = qobject_cast<QLineEdit *>(grid->indexWidget(cell));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("12"));

    // Another workstation adds a ticket to the line and changes the quantity of this one.
    const Database other = m_world->openDatabase();
    ticket(other, 5002, 20);
    other.exec(QStringLiteral("UPDATE \"%1\" SET \"%2\" = 11 WHERE \"%3\" = :id")
                   .arg(kind.table, kind.quantityField, kind.idField),
               {{QStringLiteral("id"), mine}});
    QTRY_COMPARE_WITH_TIMEOUT(grid->model()->rowCount(), 2, 10000);
    QCOMPARE(total->text(), QStringLiteral("31"));
    // The editor stays with its text; its row shows what the user started from.
    QCOMPARE(grid->currentIndex().siblingAtColumn(TicketModel::NumberColumn).data().toString(),
             QStringLiteral("5001"));
    QCOMPARE(grid->indexWidget(grid->currentIndex()), editor);
    QCOMPARE(editor->text(), QStringLiteral("12"));
    QCOMPARE(grid->currentIndex().data().toString(), QStringLiteral("10"));
    QVERIFY(m_world->prompter.messages().isEmpty());

    // Its save finds the quantity changed meanwhile: the user is told, nothing is overwritten,
    // and the row shows what is stored.
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(m_world->prompter.messages().size(), 1);
    QVERIFY(m_world->prompter.messages().first().text.contains(QStringLiteral("another workstation")));
    const QString stored = QStringLiteral("SELECT \"%1\" FROM \"%2\" WHERE \"%3\" = %4")
                               .arg(kind.quantityField, kind.table, kind.idField)
                               .arg(mine);
    QCOMPARE(value(stored), 11);
    QTRY_COMPARE(grid->model()->index(0, TicketModel::QuantityColumn).data().toString(),
                 QStringLiteral("11"));

    // Typed again, it is stored.
    const QModelIndex again = grid->model()->index(0, TicketModel::QuantityColumn);
    grid->setCurrentIndex(again);
    grid->edit(again);
    editor = qobject_cast<QLineEdit *>(grid->indexWidget(again));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("12"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(value(stored), 12);
    QCOMPARE(m_world->prompter.messages().size(), 1);
}

void TestTicketWindows::anotherWorkstationsDistributionShowsWithTheEditorKept()
{
    const qint64 ticket = Fixture::hold(m_world->db, m_first, 7, 100, 70);
    const qint64 mine = Fixture::distribution(m_world->db, ticket, m_second, 30);
    auto *window = new frmHoldDisposition2(*m_world->session);
    m_windows << window;
    QVERIFY(window->load() && activate(window));
    auto *grid = child<QTableView>(window, QStringLiteral("tblHolds"));
    QVERIFY(grid);
    const QModelIndex cell = grid->model()->index(0, DistributionModel::ReworkedColumn);
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto *editor = qobject_cast<QLineEdit *>(grid->indexWidget(cell));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("35"));

    // Another workstation books rejects onto the ticket and changes this row's rework.
    const Database other = m_world->openDatabase();
    Fixture::distribution(other, ticket, QVariant(), 0, 4, 2);
    other.exec(QStringLiteral("UPDATE \"Hold Distribution\" SET \"Reworked Quantity\" = 31 "
                              "WHERE \"Distribution ID\" = :id"),
               {{QStringLiteral("id"), mine}});
    QTRY_COMPARE_WITH_TIMEOUT(grid->model()->rowCount(), 2, 10000);
    QCOMPARE(grid->indexWidget(grid->currentIndex()), editor);
    QCOMPARE(editor->text(), QStringLiteral("35"));
    QCOMPARE(grid->currentIndex().data().toString(), QStringLiteral("30"));

    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(m_world->prompter.messages().size(), 1);
    QVERIFY(m_world->prompter.messages().first().text.contains(QStringLiteral("another workstation")));
    QCOMPARE(value(QStringLiteral("SELECT \"Reworked Quantity\" FROM \"Hold Distribution\" "
                                  "WHERE \"Distribution ID\" = %1")
                       .arg(mine)),
             31);
    QTRY_COMPARE(grid->model()->index(0, DistributionModel::ReworkedColumn).data().toString(),
                 QStringLiteral("31"));
}

// Rejects by Reason computes its rejects again from what another workstation stored: counts,
// tickets and lines; the line typed into keeps what it was read with.
void TestTicketWindows::rejectsFollowAnotherWorkstation()
{
    m_world->session->setCurrentDateShift({kMonday, 1});
    const auto handOver = std::make_shared<RejectsHandOver>();
    handOver->rejectsByLine = {{QString::number(m_first), 200}};
    auto *window = new frmRejects(*m_world->session, handOver);
    m_windows << window;
    QVERIFY(window->load() && activate(window));
    auto *grid = child<QTableView>(window, QStringLiteral("Table1"));
    QVERIFY(grid);
    const auto cell = [&](int row, int column) {
        return window->model()->index(row, column).data().toString();
    };
    const QModelIndex reason = window->model()->index(0, RejectsModel::FirstReasonColumn);
    grid->setCurrentIndex(reason);
    grid->edit(reason);
    auto *editor = qobject_cast<QLineEdit *>(grid->indexWidget(reason));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("5"));

    // Another workstation transfers 50 parts of the first line (50 rejects fewer), books 3 under
    // its first reason, deletes the second line and adds one before them.
    const Database other = m_world->openDatabase();
    Fixture::transfer(other, m_first, 9001, 50);
    other.exec(QStringLiteral("UPDATE \"Production Table\" SET \"%1\" = 3 WHERE \"Job ID\" = :id")
                   .arg(RejectReasons::field(1)),
               {{QStringLiteral("id"), m_first}});
    other.exec(QStringLiteral("DELETE FROM \"Production Table\" WHERE \"Job ID\" = :id"),
               {{QStringLiteral("id"), m_second}});
    const qint64 added = Fixture::line(other, kMonday, 1, 0, QStringLiteral("A-100"), 0, 0, 4);
    QTRY_COMPARE_WITH_TIMEOUT(cell(1, RejectsModel::RejectsColumn), QStringLiteral("150"), 10000);
    QCOMPARE(window->model()->rowCount(), 2);
    QCOMPARE(cell(0, RejectsModel::JobIdColumn), QString::number(added));
    QCOMPARE(cell(0, RejectsModel::RejectsColumn), QStringLiteral("4"));
    QCOMPARE(cell(grid->currentIndex().row(), RejectsModel::JobIdColumn), QString::number(m_first));
    QCOMPARE(grid->indexWidget(grid->currentIndex()), editor);
    QCOMPARE(editor->text(), QStringLiteral("5"));
    QCOMPARE(grid->currentIndex().data().toString(), QStringLiteral("0"));

    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(m_world->prompter.messages().size(), 1);
    QVERIFY(m_world->prompter.messages().first().text.contains(QStringLiteral("another workstation")));
    QCOMPARE(value(QStringLiteral("SELECT \"%1\" FROM \"Production Table\" WHERE \"Job ID\" = %2")
                       .arg(RejectReasons::field(1))
                       .arg(m_first)),
             3);
}

QTEST_MAIN(TestTicketWindows)
#include "test_ticketwindows.moc"
