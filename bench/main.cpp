// Measures what the plant feels every shift on a database of many years. Each per-shift step runs
// through the program's own classes (JobLines, JobListSheet, ProductionSummaries, CountsSheet,
// GridColumns with CKelvaraOptions) and, beside it, the same rows are read with the SQLite C API
// (statements prepared once) in the same run, with the ratio of the two.
//
//   kelvara_bench [--years N] [--machines N] [--keep PATH]

#include "PlantGenerator.h"
#include "RawReader.h"
#include "ReportBench.h"

#include "foundation/CKelvaraOptions.h"
#include "foundation/Clock.h"
#include "foundation/Database.h"
#include "foundation/DateShift.h"
#include "foundation/KelvaraError.h"
#include "foundation/Paths.h"
#include "foundation/Prompter.h"
#include "production/counts/CountsSheet.h"
#include "production/joblist/JobListSheet.h"
#include "production/record/JobLines.h"
#include "production/record/ProductionSummaries.h"
#include "production/record/Schema.h"
#include "reports/ReportCatalog.h"
#include "widgets/GridColumns.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
// Milliseconds per run of step, after one run that warms the cache (a workstation has the pages
// it just read): the best of several rounds, since the machine is shared and a round may be
// slowed by others.
double timeOf(int repeats, const std::function<void()> &step)
{
    step();
    double best = 1e300;
    for (int round = 0; round < 7; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < repeats; ++i)
            step();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6 / repeats);
    }
    return best;
}

void row(const char *what, double product, double raw, const char *target)
{
    if (raw > 0)
        std::printf("| %-44s | %8.3f | %8.3f | %5.2f | %-8s |\n", what, product, raw, product / raw, target);
    else
        std::printf("| %-44s | %8.3f | %8s | %5s | %-8s |\n", what, product, "-", "-", target);
}

class SilentPrompter : public Prompter
{
public:
    MsgAnswer ask(const PromptMessage &) override { return MsgAnswer::Yes; }
};

class FixedClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 4), QTime(12, 0)); }
};

// The grid of the counts window as the settings see it: fourteen captioned columns.
void closeCountsWindowSettings(CKelvaraOptions &options, QTableView &grid)
{
    CKelvaraOptions::Batch closing(options);
    GridColumns::save(options, QStringLiteral("PRODUCTIONCOUNTS"), &grid);
}
} // namespace

int main(int argc, char *argv[])
{
    // the preview is measured on a real display when there is one (xvfb-run -a)
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("years"), QStringLiteral("Years of production."), QStringLiteral("N"),
                      QStringLiteral("5")});
    parser.addOption({QStringLiteral("machines"), QStringLiteral("Lines per shift."), QStringLiteral("N"),
                      QStringLiteral("60")});
    parser.addOption({QStringLiteral("keep"), QStringLiteral("Write the database here and keep it."),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("preview"), QStringLiteral("Time only the print preview.")});
    parser.process(app);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure shows as it is measured

    QTemporaryDir dir;
    const QString path = parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep"))
                                                              : dir.filePath(QStringLiteral("QUORVEL.MDB"));
    QFile::remove(path);
    PlantSize size;
    size.years = parser.value(QStringLiteral("years")).toInt();
    size.machines = parser.value(QStringLiteral("machines")).toInt();
    const QDate last(2026, 12, 4);
    const DateShift shift{last.addDays(-200), 2};

    try {
        QElapsedTimer timer;
        timer.start();
        {
            Database db = Database::createFile(path);
            Schema::create(db, ReportCatalog::savedQueries());
            const qint64 lines = PlantGenerator::fill(db, size, last);
            // A line added late to the old date-shift: its id is the newest of all.
            JobLine late;
            late.dateShift = shift;
            late.machineNumber = size.machines + 1;
            late.jobNumber = QStringLiteral("J-00001");
            JobLines(db).add(late);
            std::printf("generated %lld lines over %d years in %.1f s\n\n", lines, size.years,
                        double(timer.elapsed()) / 1000);
        }
        Database db = Database::open(path);
        if (parser.isSet(QStringLiteral("preview"))) {
            ReportBench::preview(db, last, dir.path());
            return 0;
        }
        RawReader raw(path);
        JobLines store(db);
        ClassIdGenerator ids;
        ProductionSummaries summaries(ids);
        SilentPrompter prompter;
        FixedClock clock;
        JobListSheet jobList(prompter, clock);
        jobList.setStore(&store);
        CountsSheet counts(summaries);

        std::printf("| %-44s | %8s | %8s | %5s | %-8s |\n", "per-shift work (ms)", "Kelvara", "SQLite",
                    "ratio", "target");
        std::printf("|%s|%s|%s|%s|%s|\n", "----------------------------------------------",
                    "---------:", "---------:", "------:", "----------");
        row("lines of one date-shift (JobLines::of)", timeOf(200, [&] { store.of(shift); }),
            timeOf(200, [&] { raw.lines(shift); }), "<= 1.5x");
        row("summaries (ProductionSummaries::fill)", timeOf(200, [&] { summaries.fill(db, shift); }),
            timeOf(200, [&] { raw.summaries(shift); }), "<= 1.5x");
        row("active jobs (JobLines::activeJobs)", timeOf(200, [&] { store.activeJobs(); }),
            timeOf(200, [&] { raw.activeJobs(); }), "<= 1.5x");
        row("previous shift with lines",
            timeOf(200,
                   [&] {
                       store.latestDateBefore(shift);
                       store.highestShiftOn(shift.date);
                   }),
            timeOf(200, [&] { raw.previousShift(shift); }), "<= 1.5x");
        row("next shift with lines", timeOf(200, [&] { store.nextWithLines(shift); }),
            timeOf(200, [&] { raw.nextShift(shift); }), "<= 1.5x");
        row("job list sheet: jobs and lines",
            timeOf(200,
                   [&] {
                       jobList.setJobs(store.activeJobs());
                       jobList.setLines(shift, {});
                       jobList.setLines(shift, jobList.readLines());
                   }),
            timeOf(200,
                   [&] {
                       raw.activeJobs();
                       raw.lines(shift);
                   }),
            "<= 1.5x");
        row("counts sheet: lines, summaries, figures",
            timeOf(200,
                   [&] {
                       summaries.fill(db, shift);
                       counts.setLines(store.of(shift));
                   }),
            timeOf(200,
                   [&] {
                       raw.summaries(shift);
                       raw.lines(shift);
                   }),
            "<= 1.5x");

        // A window opens a connection of its own at each load: its whole database work.
        const QString dbPath = path;
        row("job list window load, own connection",
            timeOf(50,
                   [&] {
                       Database own = Database::open(dbPath);
                       JobLines ownStore(own);
                       JobListSheet sheet(prompter, clock);
                       sheet.setStore(&ownStore);
                       sheet.setJobs(ownStore.activeJobs());
                       sheet.setLines(shift, {});
                       sheet.setLines(shift, sheet.readLines());
                   }),
            0, "< 50 ms");
        row("counts window load, own connection",
            timeOf(50,
                   [&] {
                       Database own = Database::open(dbPath);
                       JobLines ownStore(own);
                       ProductionSummaries ownSummaries(ids);
                       ownSummaries.fill(own, shift);
                       CountsSheet sheet(ownSummaries);
                       sheet.setLines(ownStore.of(shift));
                   }),
            0, "< 50 ms");
        row("counts window close: post to next shift", timeOf(20, [&] { store.postToNextShift(shift); }),
            timeOf(20, [&] { raw.postToNextShift(shift, shift.next()); }), "< 50 ms");

        QTemporaryDir settingsDir;
        FixedPaths paths(settingsDir.path());
        CKelvaraOptions options(
            paths, ReportCatalog::reportFiles(),
            std::make_unique<QSettings>(settingsDir.filePath(QStringLiteral("k.ini")), QSettings::IniFormat));
        for (int i = 0; i < 200; ++i)
            options.store().setValue(QStringLiteral("ColWidths/OTHER-%1").arg(i), i);
        QStandardItemModel model(1, 14);
        for (int c = 0; c < 14; ++c)
            model.setHorizontalHeaderItem(c, new QStandardItem(QStringLiteral("Column %1").arg(c)));
        QTableView grid;
        grid.setModel(&model);
        int width = 60;
        row("window close: column widths (14 columns)",
            timeOf(50,
                   [&] {
                       grid.setColumnWidth(0, ++width);
                       closeCountsWindowSettings(options, grid);
                   }),
            0, "< 20 ms");
        ReportBench::run(db, last, dir.path());
    } catch (const KelvaraError &error) {
        std::fprintf(stderr, "%d: %s\n", error.number(), qPrintable(error.description()));
        return 1;
    }
    return 0;
}
