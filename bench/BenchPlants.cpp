#include "BenchPlants.h"

#include "foundation/DatabaseError.h"
#include "foundation/KelvaraError.h"
#include "foundation/ServerAddress.h"
#include "production/record/DatabaseCopy.h"

#include <QCommandLineParser>
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

void addBenchOptions(QCommandLineParser &parser)
{
    parser.addHelpOption();
    parser.addOption({QStringLiteral("years"), QStringLiteral("Years of production."), QStringLiteral("N"),
                      QStringLiteral("5")});
    parser.addOption({QStringLiteral("machines"), QStringLiteral("Lines per shift."), QStringLiteral("N"),
                      QStringLiteral("60")});
    parser.addOption({QStringLiteral("keep"), QStringLiteral("Write the database here and keep it."),
                      QStringLiteral("PATH")});
    parser.addOption(
        {QStringLiteral("plant"),
         QStringLiteral("Use this plant file (made before with --keep) instead of a new one; the "
                        "benchmark writes to it."),
         QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("preview"), QStringLiteral("Time only the print preview.")});
    parser.addOption({QStringLiteral("report-memory"),
                      QStringLiteral("Time only the long reports' memory, each in a process of its own "
                                     "(needs --plant).")});
    parser.addOption({QStringLiteral("report-memory-child"),
                      QStringLiteral("(internal) Run one of the long reports of --report-memory."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("exports"),
                      QStringLiteral("Time only the document and workbook, and LibreOffice opening them.")});
    parser.addOption(
        {QStringLiteral("windows"), QStringLiteral("Time only the opening of the data windows.")});
    parser.addOption({QStringLiteral("startup"),
                      QStringLiteral("Time only the program's start-up against a bare MDI window.")});
    parser.addOption({QStringLiteral("no-reports"), QStringLiteral("Stop after the per-shift table.")});
    parser.addOption({QStringLiteral("history"),
                      QStringLiteral("Time only the History window and the Change History report.")});
    parser.addOption(
        {QStringLiteral("history-cost"),
         QStringLiteral("Time only what the change history adds to a count entry and a posting.")});
    parser.addOption(
        {QStringLiteral("server"),
         QStringLiteral("Also time each per-shift step on a copy of the plant on this PostgreSQL "
                        "server (a postgresql:// URI to its maintenance database)."),
         QStringLiteral("URI")});
    parser.addOption(
        {QStringLiteral("network"),
         QStringLiteral("With --server: also time each per-shift step through a relay that plays a network, "
                        "to the same server listening on 127.0.0.1 at this TCP port; stops after them."),
         QStringLiteral("PORT")});
    parser.addOption({QStringLiteral("delay"),
                      QStringLiteral("The relay's delay each way, in milliseconds (0.5 unless given)."),
                      QStringLiteral("MS"), QStringLiteral("0.5")});
}
