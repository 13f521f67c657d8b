#include "TestSupport.h"

#include "production/ProductionWindows.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QTimer>

// Takes the screenshots of the ticket windows on the sample plant (not a test).
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    TestWorld world;
    world.createSamplePlant();
    world.clock.set(QDate(2026, 12, 8), QTime(9, 0));
    WindowRegistry registry;
    registerProductionWindows(registry);
    frmMain main(*world.session, registry);
    main.applyMenuRights(QStringLiteral("C"));
    main.resize(1280, 800);
    main.show();
    world.session->setDateShiftChooser([&] { world.session->setCurrentDateShift({QDate(2026, 12, 7), 2}); });

    auto settle = [] {
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
            QThread::msleep(20);
        }
    };
    auto shoot = [&](const QString &name) {
        settle();
        main.grab().save(out + '/' + name + QStringLiteral(".png"));
    };
    auto active = [&] { return main.mdiArea()->activeSubWindow()->widget(); };
    auto pickRowWith = [&](QWidget *window, const QString &lines, const QString &tickets) {
        auto *lineGrid = window->findChild<QTableView *>(lines);
        auto *ticketGrid = window->findChild<QTableView *>(tickets);
        int best = 0, most = -1;
        for (int row = 0; row < lineGrid->model()->rowCount(); ++row) {
            lineGrid->setCurrentIndex(lineGrid->model()->index(row, 0));
            const bool open = window->findChild<QPushButton *>(QStringLiteral("cmdAddHold")) == nullptr ||
                              window->findChild<QPushButton *>(QStringLiteral("cmdAddHold"))->isEnabled();
            if (open && ticketGrid->model()->rowCount() >= most) {
                most = ticketGrid->model()->rowCount();
                best = row;
            }
        }
        lineGrid->setCurrentIndex(lineGrid->model()->index(best, 0));
        ticketGrid->setCurrentIndex(ticketGrid->model()->index(0, 1));
    };

    main.menuItem(QStringLiteral("mnuFileSub3"))->trigger();
    pickRowWith(active(), QStringLiteral("tblShiftData"), QStringLiteral("tblXfers"));
    shoot(QStringLiteral("frmTransfer2"));
    main.mdiArea()->closeAllSubWindows();

    main.menuItem(QStringLiteral("mnuFileSub4"))->trigger();
    pickRowWith(active(), QStringLiteral("tblShiftData"), QStringLiteral("tblHolds"));
    shoot(QStringLiteral("frmOnHold2"));
    main.mdiArea()->closeAllSubWindows();

    main.menuItem(QStringLiteral("mnuFileSub5"))->trigger();
    pickRowWith(active(), QStringLiteral("tblShiftData"), QStringLiteral("tblHolds"));
    shoot(QStringLiteral("frmHoldDisposition2"));
    main.mdiArea()->closeAllSubWindows();

    world.session->setDateShiftChooser([&] { world.session->setCurrentDateShift({QDate(2026, 12, 6), 2}); });
    main.menuItem(QStringLiteral("mnuFileSub2"))->trigger();
    settle();
    active()->findChild<QPushButton *>(QStringLiteral("cmdRejects"))->click();
    settle();
    // A supervisor's first entry: more rejects assigned than the line has.
    auto *rejects = active()->findChild<QTableView *>(QStringLiteral("Table1"));
    rejects->model()->setData(rejects->model()->index(1, 11), QStringLiteral("4+6"));
    shoot(QStringLiteral("frmRejects"));
    main.mdiArea()->closeAllSubWindows();
    settle();
    return 0;
}
