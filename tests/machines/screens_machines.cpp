#include "TestSupport.h"

#include "machines/MachineWindows.h"
#include "machines/SampleMachines.h"
#include "production/ProductionWindows.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QThread>

// Takes the screenshots of the machine connections and of Production Counts after Read
// Counters, on the sample plant with its simulated machines (not a test).
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    TestWorld world;
    const QString path = world.createSamplePlant();
    world.session->options().store().setValue(QStringLiteral("Machines/TimeoutSeconds"), 3);
    world.clock.set(QDate(2026, 12, 8), QTime(22, 55));
    std::unique_ptr<SimulatedPlant> machines;
    {
        Database db = Database::open(path);
        machines = SampleMachines::start(db, world.file(QStringLiteral("machines")));
    }
    installCounterReader(*world.session);
    WindowRegistry registry;
    registerProductionWindows(registry);
    registerMachineWindows(registry);
    frmMain main(*world.session, registry);
    main.applyMenuRights(QStringLiteral("C"));
    main.resize(1280, 800);
    main.show();
    world.session->setDateShiftChooser([&] { world.session->setCurrentDateShift({QDate(2026, 12, 8), 3}); });

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

    main.menuItem(QStringLiteral("mnuFileSub2"))->trigger();
    settle();
    active()->findChild<QPushButton *>(QStringLiteral("cmdReadCounters"))->click();
    auto *grid = active()->findChild<QTableView *>(QStringLiteral("Table1"));
    grid->setCurrentIndex(grid->model()->index(3, 3));
    shoot(QStringLiteral("frmProductionCounts2-read"));
    main.mdiArea()->closeAllSubWindows();
    settle();

    main.menuItem(QStringLiteral("mnuToolsSub4"))->trigger();
    settle();
    shoot(QStringLiteral("frmMachineConnections"));
    main.mdiArea()->closeAllSubWindows();
    settle();
    return 0;
}
