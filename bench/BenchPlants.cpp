#include "BenchPlants.h"

#include "foundation/DatabaseError.h"
#include "foundation/KelvaraError.h"
#include "foundation/ServerAddress.h"
#include "production/record/DatabaseCopy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

ServerPlant::ServerPlant(const QString &file, const QString &maintenanceUri, Prompter &prompter, Clock &clock)
    : m_maintenance(ServerAddress::parse(maintenanceUri).uri()),
      m_target(ServerAddress::parse(maintenanceUri)
                   .on(QStringLiteral("kelvara_bench_%1").arg(QCoreApplication::applicationPid()))
                   .uri())
{
    drop(); // one of the same name left by a run that was killed
    try {
        QElapsedTimer timer;
        timer.start();
        const DatabaseCopy::Result copied = DatabaseCopy::copy(file, m_target);
        if (!copied.copied)
            throw DatabaseError(DbErrors::Other, QStringLiteral("Copy to %1 failed: %2\n%3")
                                                     .arg(m_target, copied.failure,
                                                          DatabaseCopy::comparisonText(copied.lines)));
        const double seconds = double(timer.elapsed()) / 1000;
        {
            // The statistics autovacuum gathers within a minute of the copy, taken at once.
            Database analyzed = Database::open(m_target);
            analyzed.exec(QStringLiteral("ANALYZE"));
        }
        std::printf("copied to %s in %.1f s (DatabaseCopy, every row compared)\n\n", qPrintable(m_target),
                    seconds);
        m_plant.emplace(m_target, prompter, clock);
    } catch (const KelvaraError &) {
        dropQuietly();
        throw;
    }
}

ServerPlant::~ServerPlant()
{
    m_plant.reset();
    dropQuietly();
}

void ServerPlant::drop()
{
    Database maintenance = Database::open(m_maintenance);
    const QString name = ServerAddress::parse(m_target).database;
    maintenance.exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name)); // digits only
}

void ServerPlant::dropQuietly()
{
    try {
        drop();
    } catch (const KelvaraError &error) {
        std::fprintf(stderr, "%s was not dropped: %s\n", qPrintable(m_target),
                     qPrintable(error.description()));
    }
}
