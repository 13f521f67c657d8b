#include "ServerPlant.h"
#include "TestSupport.h"

#include "Program.h"
#include "production/ProductionWindows.h"
#include "reports/ReportsMenu.h"
#include "sharing/CurrentUsersFile.h"
#include "sharing/ServerPresence.h"
#include "sharing/frmCurrentUsers.h"
#include "shell/KelvaraApp.h"
#include "shell/MenuLayout.h"
#include "shell/frmMain.h"
#include "widgets/MessageBoxPrompter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

// The main window: menu rights by level, the opening of data windows with the date-shift flow,
// the Window, Reports and Tools menus, and the shutdown.
class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void rightsByLevel_data();
    void rightsByLevel();
    void everyItemHasItsCommandAndEveryCommandItsItem();
    void perShiftCommandsAskForTheDateShift();
    void repairClosesTheOtherWindowsFirst_data();
    void repairClosesTheOtherWindowsFirst();
    void otherDataWindows_data();
    void otherDataWindows();
    void productionSchedule_data();
    void productionSchedule();
    void reportsMakeTheReportDatabase();
    void colorFeederOnceAtATime();
    void windowMenuListsTheWindows();
    void keysCloseEveryWindow_data();
    void keysCloseEveryWindow();
    void focusComesBackAfterAMessage();
    void windowsCarryTheProgramsIcon();
    void shutdownUnloadsChildrenAndStampsTheExit();
    void loadRunsTheStartup_data();
    void loadRunsTheStartup();
    void currentUsersWindow_data();
    void currentUsersWindow();
    void currentUsersWindowOnAServer();
};

namespace {
// How a fake data window behaves in its load.
struct Behaviour
{
    int failures = 0; // loads that throw before one succeeds
    bool closeInLoad = false;
    bool refuseClose = false;
    bool dataForm = true; // counts itself in the open data forms
    int loads = 0;
    int unloads = 0;
};

class FakeDataWindow : public QWidget
{
public:
    FakeDataWindow(Session &session, Behaviour &behaviour) : m_session(session), m_behaviour(behaviour)
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("Fake %1").arg(++m_behaviour.loads));
        entry = new QLineEdit(this);
    }
    QLineEdit *entry;
    bool load()
    {
        if (m_behaviour.failures > 0) {
            --m_behaviour.failures;
            throw DatabaseError(DbErrors::Locked, QStringLiteral("locked"));
        }
        if (m_behaviour.dataForm)
            m_session.dataFormOpened();
        if (m_behaviour.closeInLoad) {
            close();
            return false;
        }
        return true;
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (m_behaviour.refuseClose) {
            event->ignore();
            return;
        }
        ++m_behaviour.unloads;
        if (m_behaviour.dataForm)
            m_session.dataFormClosed();
        event->accept();
    }

private:
    Session &m_session;
    Behaviour &m_behaviour;
};

// The fake registered as the program's folders register their windows.
WindowDescriptor fake(const QString &command, Behaviour &behaviour)
{
    const bool perShift =
        QStringList{"&JOB LIST...", "&PRODUCTION COUNTS...", "&TRANSFERS...", "PRODUCTION ON &HOLD..."}
            .contains(command);
    const bool dataWindow =
        perShift ||
        QStringList{"&DISPOSITION OF HOLD...", "P&ROTECT DATA...", "&SECURITY SETTINGS..."}.contains(command);
    const auto create = [&behaviour](Session &session) {
        auto *window = new FakeDataWindow(session, behaviour);
        return LoadableWindow{window, [window] { return window->load(); }};
    };
    return {command, create, perShift, dataWindow, command == "&COLOR FEEDER CALIBRATION..."};
}

bool enabled(const frmMain &main, const QString &item)
{
    return main.menuItem(item)->isEnabled();
}

bool databaseMenuEnabled(const frmMain &main)
{
    return main.menu(QStringLiteral("mnuDatabase"))->menuAction()->isEnabled();
}

void trigger(const frmMain &main, const QString &item)
{
    main.menuItem(item)->trigger();
}

const QStringList kRightsItems = {"mnuFileSub1",    "mnuFileSub2",     "mnuFileSub3",     "mnuFileSub4",
                                  "mnuFileSub5",    "mnuFileSub6",     "mnuFileSub7",     "mnuFileSub9",
                                  "mnuFileSub11",   "mnuDatabaseSub1", "mnuDatabaseSub2", "mnuDatabaseSub3",
                                  "mnuDatabaseSub4"};
} // namespace

void TestFrmMain::rightsByLevel_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<bool>("allWindows");  // every window and operation there, or only the built ones
    QTest::addColumn<QString>("expected"); // kRightsItems in order
    QTest::newRow("A") << "A" << true << "1100000010011";
    QTest::newRow("B") << "B" << true << "1011101010011";
    QTest::newRow("C") << "C" << true << "1111111111111";
    QTest::newRow("D") << "D" << true << "0000000010011";
    QTest::newRow("unknown level keeps the design state") << "Z" << true << "1111110111111";
    // A command whose window is not part of the program stays disabled whatever the level.
    QTest::newRow("C, only the built windows") << "C" << false << "1111110010000";
}

void TestFrmMain::rightsByLevel()
{
    QFETCH(QString, level);
    QFETCH(bool, allWindows);
    QFETCH(QString, expected);
    TestWorld world;
    WindowRegistry builtIn;
    registerProductionWindows(builtIn);
    frmMain main(*world.session, builtIn);
    Behaviour behaviour;
    for (QString command : {"&JOB LIST...", "&PRODUCTION COUNTS...", "&TRANSFERS...",
                            "PRODUCTION ON &HOLD...", "&DISPOSITION OF HOLD...", "P&ROTECT DATA...",
                            "&VIEW/EDIT QA CHECK SHEETS...", "&SECURITY SETTINGS..."}) {
        if (allWindows)
            main.registerWindow(fake(command, behaviour));
    }
    for (QString command : {"&BACKUP", "&RESTORE", "RE&PAIR", "&COMPACT"}) {
        if (allWindows)
            main.registerAction(command, [](const CommandContext &) {});
    }
    main.applyMenuRights(level);
    QString actual;
    for (const QString &item : kRightsItems)
        actual += enabled(main, item) ? '1' : '0';
    QCOMPARE(actual, expected);
    // The level touches neither the Reports, Tools nor Window menus; without their windows the
    // reports, the color feeder and the (design-disabled) Mattec sheets stay off.
    for (int i = 1; i <= 9; ++i)
        QVERIFY(!enabled(main, QStringLiteral("mnuReportsSub%1").arg(i)));
    QVERIFY(!enabled(main, QStringLiteral("mnuToolsSub1")));
    QVERIFY(enabled(main, QStringLiteral("mnuToolsSub2")));
    QVERIFY(!enabled(main, QStringLiteral("mnuToolsSub3")));
    QVERIFY(enabled(main, QStringLiteral("mnuWindowSub1")));
}

// The program's own registrations against its menus: an item whose caption matches no window or
// action would be dead, a window no item opens would be out of reach.
void TestFrmMain::everyItemHasItsCommandAndEveryCommandItsItem()
{
    TestWorld world;
    WindowRegistry registry;
    registerEveryWindow(registry);
    frmMain main(*world.session, registry);
    QStringList items;
    for (const Menu &menu : MenuLayout::menus()) {
        for (const MenuItem &item : menu.items) {
            if (item.caption.isEmpty())
                continue;
            items << item.caption.toUpper();
            // an item disabled by design (the Mattec setup sheets) may have nothing behind it
            QVERIFY2(!item.designEnabled || main.commandAvailable(item.caption.toUpper()),
                     qPrintable(item.caption));
        }
    }
    for (const QString &command : registry.commands()) {
        const WindowDescriptor *window = registry.window(command);
        QVERIFY2((window && !window->fromMenu) || items.contains(command), qPrintable(command));
    }
}

void TestFrmMain::perShiftCommandsAskForTheDateShift()
{
    TestWorld world;
    frmMain main(*world.session);
    Behaviour jobList, transfers;
    main.registerWindow(fake(QStringLiteral("&JOB LIST..."), jobList));
    main.registerWindow(fake(QStringLiteral("&TRANSFERS..."), transfers));
    main.applyMenuRights(QStringLiteral("C"));
    int asked = 0;
    DateShift answer;
    world.session->setDateShiftChooser([&] {
        ++asked;
        if (answer.isValid())
            world.session->setCurrentDateShift(answer);
    });
    world.session->setCurrentDateShift({QDate(2026, 1, 1), 1});

    // Cancelled: the old date-shift was cleared first, so nothing opens.
    trigger(main, QStringLiteral("mnuFileSub1"));
    QCOMPARE(asked, 1);
    QVERIFY(!world.session->currentDate.isValid());
    QVERIFY(main.mdiArea()->subWindowList().isEmpty());
    QVERIFY(databaseMenuEnabled(main));

    answer = {QDate(2026, 12, 7), 2};
    trigger(main, QStringLiteral("mnuFileSub1"));
    QCOMPARE(asked, 2);
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    QVERIFY(!databaseMenuEnabled(main));

    // With a data window open the date-shift is fixed: no question.
    trigger(main, QStringLiteral("mnuFileSub3"));
    QCOMPARE(asked, 2);
    QCOMPARE(main.mdiArea()->subWindowList().size(), 2);
    QCOMPARE(world.session->currentDateShift(), answer);

    main.mdiArea()->closeAllSubWindows();
    QCOMPARE(world.session->openDataForms(), 0);
    QVERIFY(databaseMenuEnabled(main));
    QCOMPARE(jobList.unloads + transfers.unloads, 2);
    QTRY_VERIFY(main.mdiArea()->subWindowList().isEmpty());
}

void TestFrmMain::repairClosesTheOtherWindowsFirst_data()
{
    QTest::addColumn<bool>("kept"); // the user keeps a window open (a half-typed entry)
    QTest::newRow("every window closes") << false;
    QTest::newRow("one is kept open") << true;
}

void TestFrmMain::repairClosesTheOtherWindowsFirst()
{
    QFETCH(bool, kept);
    TestWorld world;
    frmMain main(*world.session);
    Behaviour jobList, transfers;
    jobList.refuseClose = kept;
    main.registerWindow(fake(QStringLiteral("&JOB LIST..."), jobList));
    main.registerWindow(fake(QStringLiteral("&TRANSFERS..."), transfers));
    main.applyMenuRights(QStringLiteral("C"));
    world.session->setDateShiftChooser([&] { world.session->setCurrentDateShift({QDate(2026, 12, 7), 2}); });
    trigger(main, QStringLiteral("mnuFileSub1"));
    trigger(main, QStringLiteral("mnuFileSub3"));
    QCOMPARE(main.mdiArea()->subWindowList().size(), 2);
    int repairs = 0;
    world.session->setRepairHandler([&] { ++repairs; });

    // No connection of this program may be open on the file while the repair replaces it.
    QCOMPARE(world.session->repairDatabase(), !kept);
    QCOMPARE(repairs, kept ? 0 : 1);
    QCOMPARE(jobList.unloads, kept ? 0 : 1);
    if (!kept)
        QCOMPARE(transfers.unloads, 1);
    jobList.refuseClose = false;
}

void TestFrmMain::otherDataWindows_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("failures");
    QTest::addColumn<bool>("closeInLoad");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<int>("windows");
    QTest::newRow("disposition opens") << "mnuFileSub5"
                                       << "&DISPOSITION OF HOLD..." << 0 << false << MsgAnswer::Ok << 1;
    QTest::newRow("failed load, OK tries again") << "mnuFileSub6"
                                                 << "P&ROTECT DATA..." << 1 << false << MsgAnswer::Ok << 1;
    QTest::newRow("failed load, Cancel gives up")
        << "mnuFileSub6"
        << "P&ROTECT DATA..." << 1 << false << MsgAnswer::Cancel << 0;
    QTest::newRow("window closing itself opens nothing")
        << "mnuFileSub9"
        << "&SECURITY SETTINGS..." << 0 << true << MsgAnswer::Ok << 0;
}

void TestFrmMain::otherDataWindows()
{
    QFETCH(QString, item);
    QFETCH(QString, command);
    QFETCH(int, failures);
    QFETCH(bool, closeInLoad);
    QFETCH(MsgAnswer, answer);
    QFETCH(int, windows);
    TestWorld world;
    frmMain main(*world.session);
    Behaviour behaviour;
    behaviour.failures = failures;
    behaviour.closeInLoad = closeInLoad;
    main.registerWindow(fake(command, behaviour));
    int asked = 0;
    world.session->setDateShiftChooser([&] { ++asked; });
    world.prompter.script({answer});
    trigger(main, item);
    // Not per shift: no date-shift is asked for.
    QCOMPARE(asked, 0);
    QCOMPARE(world.prompter.messages().size(), failures);
    if (failures > 0) {
        const PromptMessage &warning = world.prompter.messages().first();
        QCOMPARE(warning.title, QStringLiteral("Multi-User Warning"));
        QCOMPARE(warning.text,
                 QStringLiteral("Please ask every current user of the Kelvara to exit at this time.  "
                                "When they have done so, click OK."));
        QCOMPARE(warning.icon, MsgIcon::Exclamation);
    }
    QCOMPARE(main.mdiArea()->subWindowList().size(), windows);
    QCOMPARE(world.session->openDataForms(), windows);
    QCOMPARE(databaseMenuEnabled(main), windows == 0);
}

void TestFrmMain::productionSchedule_data()
{
    QTest::addColumn<QString>("file");       // the SchedulePath option
    QTest::addColumn<bool>("openerWorks");   // the word processor starts
    QTest::addColumn<MsgAnswer>("choose");   // the answer to "Choose the document now?"
    QTest::addColumn<QString>("message");    // the start of the one message shown, if any
    QTest::addColumn<QString>("openedFile"); // the document opened, if any
    const QString none = QStringLiteral("No production schedule document is set.  Choose the document now?");
    const QString word = QStringLiteral("Unable to load Microsoft Word.  This function cannot be performed.");
    QTest::newRow("no schedule path, not chosen") << "" << true << MsgAnswer::No << none << "";
    QTest::newRow("no schedule path, chosen") << "" << true << MsgAnswer::Yes << none << "schedule.doc";
    QTest::newRow("missing file, chosen")
        << "missing.doc" << true << MsgAnswer::Yes << "The production schedule document '"
        << "schedule.doc";
    QTest::newRow("no application for it") << "schedule.doc" << false << MsgAnswer::Ok << word << "";
    QTest::newRow("opened") << "schedule.doc" << true << MsgAnswer::Ok << ""
                            << "schedule.doc";
}

void TestFrmMain::productionSchedule()
{
    QFETCH(QString, file);
    QFETCH(bool, openerWorks);
    QFETCH(MsgAnswer, choose);
    QFETCH(QString, message);
    QFETCH(QString, openedFile);
    TestWorld world;
    QFile(world.file(QStringLiteral("schedule.doc"))).open(QIODevice::WriteOnly);
    world.session->options().setSchedulePath(file.isEmpty() ? QString() : world.file(file));
    frmMain main(*world.session);
    QList<QUrl> urls;
    main.setDocumentOpener([&](const QUrl &url) {
        urls << url;
        return openerWorks;
    });
    main.setDocumentChooser([&](const QString &) { return world.file(QStringLiteral("schedule.doc")); });
    world.prompter.script({choose});

    trigger(main, QStringLiteral("mnuToolsSub2"));

    const QList<PromptMessage> told = world.prompter.messages();
    QCOMPARE(told.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(told.first().text.startsWith(message), qPrintable(told.first().text));
    const bool wordMissing = !openerWorks;
    if (wordMissing) {
        QCOMPARE(told.first().title, QStringLiteral("OLE Automation Error"));
        QCOMPARE(told.first().buttons, MsgButtons::OkCancel);
    } else if (!message.isEmpty()) {
        QCOMPARE(told.first().buttons, MsgButtons::YesNo);
    }
    // Only a word processor that cannot be started disables the item for this run.
    QCOMPARE(enabled(main, QStringLiteral("mnuToolsSub2")), !wordMissing);
    const QList<QUrl> expected =
        openedFile.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl::fromLocalFile(world.file(openedFile))};
    QCOMPARE(urls, wordMissing ? QList<QUrl>{QUrl::fromLocalFile(world.file(file))} : expected);
    // The document chosen is the one the next run opens.
    if (choose == MsgAnswer::Yes)
        QCOMPARE(world.newOptions()->SchedulePath(), world.file(QStringLiteral("schedule.doc")));
}

void TestFrmMain::reportsMakeTheReportDatabase()
{
    TestWorld world;
    frmMain main(*world.session);
    QList<int> shown;
    bool menuEnabledMeanwhile = true;
    main.registerAction(QStringLiteral("ON &HOLD REPORT..."), [&](const CommandContext &context) {
        runReportCommand(context, [&] {
            shown << world.session->selectedReportType;
            menuEnabledMeanwhile = main.menu(QStringLiteral("mnuReports"))->menuAction()->isEnabled();
        });
    });
    QVERIFY(enabled(main, QStringLiteral("mnuReportsSub3")));
    QVERIFY(!enabled(main, QStringLiteral("mnuReportsSub6")));
    QVERIFY(!QFile::exists(world.paths->reportDatabasePath()));
    trigger(main, QStringLiteral("mnuReportsSub3"));
    QCOMPARE(shown, QList<int>{3});
    QCOMPARE(world.session->selectedReportType, 0);
    QVERIFY(!menuEnabledMeanwhile);
    QVERIFY(main.menu(QStringLiteral("mnuReports"))->menuAction()->isEnabled());
    QVERIFY(QFile::exists(world.paths->reportDatabasePath()));
    QCOMPARE(Database::open(world.paths->reportDatabasePath())
                 .scalar(QStringLiteral("PRAGMA integrity_check"))
                 .toString(),
             QStringLiteral("ok"));
}

void TestFrmMain::colorFeederOnceAtATime()
{
    TestWorld world;
    frmMain main(*world.session);
    Behaviour behaviour;
    behaviour.dataForm = false;
    main.registerWindow(fake(QStringLiteral("&COLOR FEEDER CALIBRATION..."), behaviour));
    QVERIFY(enabled(main, QStringLiteral("mnuToolsSub1")));
    trigger(main, QStringLiteral("mnuToolsSub1"));
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    QVERIFY(!enabled(main, QStringLiteral("mnuToolsSub1")));
    // Not a data window: the Database menu stays as it was.
    QVERIFY(databaseMenuEnabled(main));
    main.mdiArea()->subWindowList().first()->close();
    QTRY_VERIFY(enabled(main, QStringLiteral("mnuToolsSub1")));
}

void TestFrmMain::keysCloseEveryWindow_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QKeySequence>("keys");
    const std::pair<const char *, const char *> windows[] = {
        {"&DISPOSITION OF HOLD...", "mnuFileSub5"}, {"&COLOR FEEDER CALIBRATION...", "mnuToolsSub1"}};
    for (const auto &[command, item] : windows) {
        for (const QKeySequence &keys :
             {QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)})
            QTest::addRow("%s %s", command, qPrintable(keys.toString()))
                << QString::fromLatin1(command) << QString::fromLatin1(item) << keys;
    }
}

// Whichever control has the focus, a data window or not.
void TestFrmMain::keysCloseEveryWindow()
{
    QFETCH(QString, command);
    QFETCH(QString, item);
    QFETCH(QKeySequence, keys);
    TestWorld world;
    frmMain main(*world.session);
    Behaviour behaviour;
    behaviour.dataForm = item == QLatin1String("mnuFileSub5");
    main.registerWindow(fake(command, behaviour));
    main.show();
    QApplication::setActiveWindow(&main);
    QVERIFY(QTest::qWaitForWindowActive(&main));
    trigger(main, item);
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    auto *window = static_cast<FakeDataWindow *>(main.mdiArea()->subWindowList().first()->widget());
    window->entry->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), window->entry);

    QTest::keySequence(window->entry, keys);

    QTRY_COMPARE(main.mdiArea()->subWindowList().size(), 0);
    QCOMPARE(behaviour.unloads, 1);
}

// A message box gives the focus back to the control, and the window, it came from.
void TestFrmMain::focusComesBackAfterAMessage()
{
    TestWorld world;
    frmMain main(*world.session);
    Behaviour behaviour;
    main.registerWindow(fake(QStringLiteral("&DISPOSITION OF HOLD..."), behaviour));
    main.show();
    QApplication::setActiveWindow(&main);
    QVERIFY(QTest::qWaitForWindowActive(&main));
    trigger(main, QStringLiteral("mnuFileSub5"));
    trigger(main, QStringLiteral("mnuFileSub5"));
    QMdiSubWindow *first = main.mdiArea()->subWindowList().first();
    main.mdiArea()->setActiveSubWindow(first);
    auto *entry = static_cast<FakeDataWindow *>(first->widget())->entry;
    entry->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), entry);
    // The box is answered as soon as it shows; meanwhile the other window comes to the front, as
    // the desktop may do when a box closes.
    QTimer::singleShot(0, [&main] {
        main.mdiArea()->setActiveSubWindow(main.mdiArea()->subWindowList().last());
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->accept();
    });

    MessageBoxPrompter().tell(QStringLiteral("Negative count"), QStringLiteral("Production Counts"),
                              MsgIcon::Exclamation);

    QCOMPARE(main.mdiArea()->activeSubWindow(), first);
    QTRY_COMPARE(QApplication::focusWidget(), entry);
}

void TestFrmMain::windowsCarryTheProgramsIcon()
{
    KelvaraApp::setProgramIcon();
    TestWorld world;
    frmMain main(*world.session);
    const QList<QSize> sizes = main.windowIcon().availableSizes();
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    // Drawn, not empty: the 16 px icon has the colours of the program's icon.
    const QImage small = main.windowIcon().pixmap(QSize(16, 16)).toImage();
    QCOMPARE(small.size(), QSize(16, 16));
    QCOMPARE(small.pixelColor(8, 13).alpha(), 255);
}

void TestFrmMain::windowMenuListsTheWindows()
{
    TestWorld world;
    frmMain main(*world.session);
    main.show();
    Behaviour behaviour;
    main.registerWindow(fake(QStringLiteral("&DISPOSITION OF HOLD..."), behaviour));
    trigger(main, QStringLiteral("mnuFileSub5"));
    trigger(main, QStringLiteral("mnuFileSub5"));
    QMenu *windowMenu = main.menu(QStringLiteral("mnuWindow"));
    emit windowMenu->aboutToShow();
    QAction *first = windowMenu->findChild<QAction *>(QStringLiteral("mnuWindowList1"));
    QAction *second = windowMenu->findChild<QAction *>(QStringLiteral("mnuWindowList2"));
    QVERIFY(first && second);
    QCOMPARE(first->text(), QStringLiteral("&1 Fake 1"));
    QVERIFY(!first->isChecked());
    QVERIFY(second->isChecked());
    first->trigger();
    QCOMPARE(main.mdiArea()->activeSubWindow()->windowTitle(), QStringLiteral("Fake 1"));

    trigger(main, QStringLiteral("mnuWindowSub2"));
    const QRect area = main.mdiArea()->viewport()->rect();
    const QList<QMdiSubWindow *> windows = main.mdiArea()->subWindowList();
    for (QMdiSubWindow *window : windows) {
        QCOMPARE(window->width(), area.width());
        QCOMPARE(window->height(), area.height() / 2);
    }
    QVERIFY(windows[0]->y() != windows[1]->y());
    windows[0]->showMinimized();
    trigger(main, QStringLiteral("mnuWindowSub3"));
    QCOMPARE(windows[0]->geometry().bottom(), area.bottom());
}

void TestFrmMain::shutdownUnloadsChildrenAndStampsTheExit()
{
    TestWorld world;
    world.createDatabase();
    world.session->userFullName = QStringLiteral("Jane Doe");
    frmMain main(*world.session);
    main.show();
    main.presence().enter();
    Behaviour behaviour;
    main.registerWindow(fake(QStringLiteral("&DISPOSITION OF HOLD..."), behaviour));
    trigger(main, QStringLiteral("mnuFileSub5"));
    const CurrentUsersFile users = CurrentUsersFile::inFolder(world.root());
    if (!onServer()) // a server plant has no CURUSERS.DAT (see test_serverpresence)
        QCOMPARE(users.currentUsers(), QStringList{QStringLiteral("Jane Doe")});

    // A child window that refuses to close keeps the program, and the user, there.
    behaviour.refuseClose = true;
    QVERIFY(!main.close());
    QVERIFY(main.isVisible());
    QVERIFY(main.presence().entered());
    if (!onServer()) // a server plant has no CURUSERS.DAT (see test_serverpresence)
        QCOMPARE(users.currentUsers(), QStringList{QStringLiteral("Jane Doe")});

    behaviour.refuseClose = false;
    world.clock.set(QDate(2026, 12, 8), QTime(15, 0));
    trigger(main, QStringLiteral("mnuFileSub11"));
    QVERIFY(!main.isVisible());
    QCOMPARE(behaviour.unloads, 1);
    QCOMPARE(world.session->openDataForms(), 0);
    if (onServer())
        return; // a server plant has no CURUSERS.DAT (see test_serverpresence)
    QVERIFY(users.currentUsers().isEmpty());
    QCOMPARE(users.records().first().time->dateTime(), QDateTime(QDate(2026, 12, 8), QTime(15, 0)));
}

void TestFrmMain::loadRunsTheStartup_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<bool>("ready");
    QTest::newRow("authorized user") << "jdoe" << true;
    QTest::newRow("unknown user") << "nobody" << false;
}

void TestFrmMain::loadRunsTheStartup()
{
    QFETCH(QString, login);
    QFETCH(bool, ready);
    TestWorld world;
    world.createDatabase(QStringLiteral("D"));
    world.identity.set(login);
    frmMain main(*world.session);
    QCOMPARE(main.load(), ready);
    const CurrentUsersFile users = CurrentUsersFile::inFolder(world.root());
    if (!onServer()) // a server plant has no CURUSERS.DAT (see test_serverpresence)
        QCOMPARE(users.currentUsers(), ready ? QStringList{QStringLiteral("Jane Doe")} : QStringList());
    QCOMPARE(main.presence().entered(), ready);
    QCOMPARE(main.exitCode(), ready ? 0 : 1);
    if (ready) {
        QVERIFY(!enabled(main, QStringLiteral("mnuFileSub6")));
        QVERIFY(enabled(main, QStringLiteral("mnuFileSub11")));
    }
    main.activate();
    QVERIFY(main.windowState() & Qt::WindowMaximized);
}

void TestFrmMain::currentUsersWindow_data()
{
    QTest::addColumn<bool>("offerCancel");
    QTest::newRow("at start-up: no cancel") << false;
    QTest::newRow("maintenance: cancel offered") << true;
}

void TestFrmMain::currentUsersWindow()
{
    QFETCH(bool, offerCancel);
    TestWorld world;
    world.session->options().setDatabaseName(world.file(QStringLiteral("QUORVEL.MDB")));
    CurrentUsersFile users = CurrentUsersFile::inFolder(world.root());
    users.recordPresent(QStringLiteral("Ann Lee"));
    users.recordPresent(QStringLiteral("Bob Ray"));
    frmCurrentUsers window(*world.session, offerCancel);
    auto *list = window.findChild<QTreeWidget *>(QStringLiteral("lstCurUsers"));
    QCOMPARE(list->topLevelItemCount(), 2);
    QVERIFY(world.session->currentUsersCancelled);
    users.recordExit(QStringLiteral("Ann Lee"), world.clock.now());
    window.refresh();
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Bob Ray"));

    window.show();
    auto *cancel = window.findChild<QPushButton *>(QStringLiteral("cmdCancelButton"));
    QCOMPARE(cancel->isVisible(), offerCancel);
    // Escape counts as cancel only where cancel is offered.
    window.reject();
    QCOMPARE(window.isVisible(), !offerCancel);
    QCOMPARE(world.session->currentUsersCancelled, true);
    if (!offerCancel) {
        window.findChild<QPushButton *>(QStringLiteral("cmdOKButton"))->click();
        QVERIFY(!world.session->currentUsersCancelled);
    }
}

void TestFrmMain::currentUsersWindowOnAServer()
{
    if (const QString missing = ServerPlant::missing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    ServerPlant plant(QStringLiteral("window"));
    Database::createFile(plant.uri());
    TestWorld world;
    world.session->options().setDatabaseName(plant.uri());
    ServerPresence other;
    QVERIFY(other.holdShared(plant.uri()));
    frmCurrentUsers window(*world.session, true);
    auto *list = window.findChild<QTreeWidget *>(QStringLiteral("lstCurUsers"));
    QCOMPARE(list->columnCount(), 3);
    QCOMPARE(list->topLevelItemCount(), 1);
    const QTreeWidgetItem *row = list->topLevelItem(0);
    QCOMPARE(row->text(0), ServerAddress::parse(plant.uri()).user);
    QCOMPARE(row->text(1), QStringLiteral("local"));
    QVERIFY(!row->text(2).isEmpty());
    other.release();
    window.refresh();
    QCOMPARE(list->topLevelItemCount(), 0);
}

QTEST_MAIN(TestFrmMain)
#include "test_frmmain.moc"
