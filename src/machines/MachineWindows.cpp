#include "MachineWindows.h"

#include "MachineStore.h"

#include "foundation/Database.h"
#include "foundation/Session.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QSysInfo>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {
QList<MachineCount> readWithProgress(Session &session, Database &db, const DateShift &dateShift,
                                     const QList<int> &machines)
{
    MachineStore store(db);
    const QList<MachineLink> links = store.enabledOf(machines);
    if (links.isEmpty())
        return {};
    const QHash<int, QDateTime> notAfter = store.latestMachineTimes(machines);
    const MachineReader reader(MachineStore::waitFrom(session.options().store()));

    QProgressDialog progress(QObject::tr("Reading the counters of %1 machines...").arg(links.size()),
                             QObject::tr("Cancel"), 0, int(links.size()), QApplication::activeWindow());
    progress.setObjectName(QStringLiteral("dlgReadCounters"));
    progress.setWindowTitle(QObject::tr("Read Counters"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    std::atomic_bool cancel{false};
    std::atomic_int answered{0};
    std::atomic_bool done{false};
    QList<CounterReading> readings;
    QEventLoop loop;
    std::thread worker([&] {
        readings = reader.readAll(links, notAfter, &cancel, [&](const CounterReading &) { ++answered; });
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QObject::connect(&progress, &QProgressDialog::canceled, [&] { cancel = true; });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { progress.setValue(answered); });
    ticker.start(100);
    if (!done)
        loop.exec();
    worker.join();
    progress.setValue(progress.maximum());
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
