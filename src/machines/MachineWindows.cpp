#include "MachineWindows.h"

#include "MachineProgress.h"
#include "MachineStore.h"
#include "frmMachineConnections.h"

#include "foundation/Database.h"
#include "foundation/Session.h"
#include "widgets/MenuCommands.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QSysInfo>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {
LoadableWindow connectionsWindow(Session &session)
{
    auto *window = new frmMachineConnections(session);
    return {window, [window] { return window->load(); }};
}

QList<MachineCount> readWithProgress(Session &session, Database &db, const DateShift &dateShift,
                                     const QList<int> &machines)
{
    MachineStore store(db);
    const QList<MachineLink> links = store.enabledOf(machines);
    if (links.isEmpty())
        return {};
    const QHash<int, QDateTime> notAfter = store.latestMachineTimes(machines);
    const MachineReader reader(MachineStore::waitFrom(session.options().store()));

    QList<CounterReading> readings;
    runWithProgress(
        QObject::tr("Read Counters"), QObject::tr("Reading the counters of %1 machines...").arg(links.size()),
        int(links.size()), [&](const std::atomic_bool &cancel, std::atomic_int &done) {
            readings = reader.readAll(links, notAfter, &cancel, [&](const CounterReading &) { ++done; });
        });
    store.keep(readings, dateShift,
               {session.networkUserName, QSysInfo::machineHostName(), session.clock().now()});
    return MachineStore::countsOf(readings);
}
} // namespace

void installCounterReader(Session &session)
{
    session.readCounters = [&session](Database &db, const DateShift &dateShift, const QList<int> &machines) {
        return readWithProgress(session, db, dateShift, machines);
    };
}

void runWithProgress(const QString &title, const QString &label, int steps,
                     const std::function<void(const std::atomic_bool &cancel, std::atomic_int &done)> &work)
{
    QProgressDialog progress(label, QObject::tr("Cancel"), 0, steps, QApplication::activeWindow());
    progress.setObjectName(QStringLiteral("dlgMachineProgress"));
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    std::atomic_bool cancel{false};
    std::atomic_int done{0};
    std::atomic_bool finished{false};
    QEventLoop loop;
    QObject::connect(&progress, &QProgressDialog::canceled, [&] { cancel = true; });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { progress.setValue(std::min(int(done), steps - 1)); });
    ticker.start(100);
    std::thread worker([&] {
        work(cancel, done);
        finished = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (!finished)
        loop.exec();
    worker.join();
    progress.setValue(steps);
}

void registerMachineWindows(WindowRegistry &registry)
{
    registry.addWindow({.command = MenuCommands::MachineConnections.key(),
                        .create = connectionsWindow,
                        .dataWindow = true,
                        .singleInstance = true});
}
