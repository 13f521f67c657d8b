// Measures what the plant feels every shift on a database of many years: opening a date-shift's
// lines, filling the summaries, finding the previous shift with lines, posting to the next shift.
//
//   kelvara_bench [--years N] [--machines N] [--keep PATH]

#include "PlantGenerator.h"

#include "foundation/Database.h"
#include "foundation/DateShift.h"
#include "foundation/KelvaraError.h"
#include "production/ProductionSummaries.h"
#include "production/Schema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {
void measure(const char *what, int repeats, const std::function<void()> &step)
{
    step(); // warm the cache: a workstation has the pages it just read
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repeats; ++i)
        step();
    std::printf("%-46s %9.3f ms\n", what, double(timer.nsecsElapsed()) / 1e6 / repeats);
}

int countRows(QSqlQuery query)
{
    int rows = 0;
    while (query.next())
        ++rows;
    return rows;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("years"), QStringLiteral("Years of production."), QStringLiteral("N"),
                      QStringLiteral("5")});
    parser.addOption({QStringLiteral("machines"), QStringLiteral("Lines per shift."), QStringLiteral("N"),
                      QStringLiteral("60")});
    parser.addOption({QStringLiteral("keep"), QStringLiteral("Write the database here and keep it."),
                      QStringLiteral("PATH")});
    parser.process(app);

    QTemporaryDir dir;
    const QString path = parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep"))
                                                              : dir.filePath(QStringLiteral("QUORVEL.MDB"));
    QFile::remove(path);
    PlantSize size;
    size.years = parser.value(QStringLiteral("years")).toInt();
    size.machines = parser.value(QStringLiteral("machines")).toInt();
    const QDate last(2026, 12, 4);

    try {
        QElapsedTimer timer;
        timer.start();
        {
            Database db = Database::createFile(path);
            Schema::create(db);
            const qint64 lines = PlantGenerator::fill(db, size, last);
            std::printf("generated %lld lines over %d years in %.1f s\n", lines, size.years,
                        double(timer.elapsed()) / 1000);
        }
        Database db = Database::open(path);
        const DateShift shift{last.addDays(-200), 2};
        const QVariantMap byShift{{QStringLiteral("dt"), shift.sqlDate()},
                                  {QStringLiteral("sh"), shift.shift}};

        measure("lines of one date-shift", 50, [&] {
            countRows(db.exec(
                QStringLiteral("SELECT * FROM [Production Table] WHERE [Date] = :dt AND [Shift] = :sh "
                               "ORDER BY [Machine Number], [Job ID]"),
                byShift));
        });
        ClassIdGenerator ids;
        ProductionSummaries summaries(ids);
        measure("summaries of one date-shift", 50, [&] { summaries.fill(db, shift); });
        measure("previous date with lines", 50, [&] {
            db.scalar(QStringLiteral("SELECT MAX([Date]) FROM [Production Table] WHERE [Date] < :dt"),
                      {{QStringLiteral("dt"), shift.sqlDate()}});
        });
        measure("next shift with lines", 50, [&] {
            countRows(db.exec(
                QStringLiteral("SELECT MIN([Date]), [Shift] FROM [Production Table] WHERE [Date] > :dt "
                               "AND [Shift] = 1 GROUP BY [Shift]"),
                {{QStringLiteral("dt"), shift.sqlDate()}}));
        });
        measure("latest production date", 50,
                [&] { countRows(db.execSaved(QStringLiteral("Get Highest Date"))); });
        measure("bring forward unmatched (nothing to do)", 20, [&] {
            const DateShift next = shift.next();
            db.execSaved(QStringLiteral("Bring Forward Unmatched Line Items"),
                         {{QStringLiteral("This Date"), shift.sqlDate()},
                          {QStringLiteral("This Shift"), shift.shift},
                          {QStringLiteral("Next Date"), next.sqlDate()},
                          {QStringLiteral("Next Shift"), next.shift}});
        });
        measure("unresolved hold tickets", 20,
                [&] { countRows(db.execSaved(QStringLiteral("Unresolved Hold"))); });
    } catch (const KelvaraError &error) {
        std::fprintf(stderr, "%d: %s\n", error.number(), qPrintable(error.description()));
        return 1;
    }
    return 0;
}
