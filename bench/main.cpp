// Measures what the plant feels every shift on a database of many years. Each per-shift step runs
// through the program's own classes (JobLines, JobListSheet, ProductionSummaries, CountsSheet,
// GridColumns with CKelvaraOptions) and, beside it, the same rows are read with the SQLite C API
// (statements prepared once) in the same run, with the ratio of the two. Given a PostgreSQL
// server, the plant is copied there and each step runs again with the same classes on the copy.
//
//   kelvara_bench [--years N] [--machines N] [--keep PATH | --plant PATH] [--server URI] [--windows]
//   [--no-reports] [--preview | --exports | --report-memory] [--history] [--history-cost] [--startup]
//   [--network PORT [--delay MS]]

#include "BenchPlants.h"
#include "HistoryBench.h"
#include "MachineBench.h"
#include "NetworkRelay.h"
#include "PlantGenerator.h"
#include "RawReader.h"
#include "ReportBench.h"
#include "StartupBench.h"
#include "WindowBench.h"

#include "foundation/CKelvaraOptions.h"
#include "foundation/ChangeWatch.h"
#include "foundation/Clock.h"
#include "foundation/Database.h"
#include "foundation/DatabaseError.h"
#include "foundation/DateShift.h"
#include "foundation/KelvaraError.h"
#include "foundation/Paths.h"
#include "foundation/Prompter.h"
#include "foundation/ServerAddress.h"
#include "production/counts/CountsSheet.h"
#include "production/joblist/JobListSheet.h"
#include "production/record/ChangeHistory.h"
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
#include <optional>

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

// The same step with the change history recorded and not, round by round in turn, so that both meet
// the same spells of the shared machine: the best round of each, recorded first. Each round warms
// up after the switch, which has every statement compiled anew.
std::pair<double, double> timeRecordedAndNot(int repeats, const std::function<void()> &step,
                                             const std::function<void(bool)> &recording)
{
    double best[2] = {1e300, 1e300};
    for (int round = 0; round < 7; ++round) {
        for (int recorded = 1; recorded >= 0; --recorded) {
            recording(recorded != 0);
            step();
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < repeats; ++i)
                step();
            best[recorded] = std::min(best[recorded], double(timer.nsecsElapsed()) / 1e6 / repeats);
        }
    }
    recording(true);
    return {best[1], best[0]};
}

// A step through the network relay: milliseconds and round trips per run; ms < 0: not measured.
struct OverNetwork
{
    double ms = -1;
    double trips = 0;
    double firstMs = 0, firstTrips = 0; // the first run, on connections opened anew
};
bool networkColumns = false; // the table has the relay's two columns

// server < 0: no server given, the row has no server columns; 0: the step is not one of the
// database's, "-".
void row(const char *what, double product, double raw, const char *target, double server = -1,
         const char *serverTarget = "", OverNetwork network = {})
{
    if (raw > 0)
        std::printf("| %-44s | %8.3f | %8.3f | %5.2f | %-8s |", what, product, raw, product / raw, target);
    else
        std::printf("| %-44s | %8.3f | %8s | %5s | %-8s |", what, product, "-", "-", target);
    if (server > 0)
        std::printf(" %10.3f | %5.2f | %-14s |", server, server / product, serverTarget);
    else if (server == 0)
        std::printf(" %10s | %5s | %-14s |", "-", "-", serverTarget);
    if (networkColumns && network.ms >= 0)
        std::printf(" %9.3f | %5.0f | %9.3f | %5.0f |", network.ms, network.trips, network.firstMs,
                    network.firstTrips);
    else if (networkColumns)
        std::printf(" %9s | %5s | %9s | %5s |", "-", "-", "-", "-");
    std::printf("\n");
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

// From a change stored on one connection to the date-shift read again on a window's connection:
// the other side's write, the window learning of it (on a file the poll, asked at once here
// rather than at its 2 s tick; on a server the notice, through the event loop) and the re-read.
double refreshTime(const QString &plantName, const Database &writer, const DateShift &shift)
{
    Database window = Database::open(plantName);
    JobLines windowStore(window);
    ChangeWatch watch(window);
    bool seen = false;
    QObject::connect(&watch, &ChangeWatch::changed, [&seen] { seen = true; });
    const qint64 line = windowStore.of(shift).value(0).jobId;
    return timeOf(20, [&] {
        seen = false;
        // Written back unchanged: a protected line lets it through, and the file still counts a commit.
        writer.exec(
            QStringLiteral(
                "UPDATE \"Production Table\" SET \"Job Number\" = \"Job Number\" WHERE \"Job ID\" = :id"),
            {{QStringLiteral("id"), line}});
        while (!seen) {
            watch.poll();
            if (!seen)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        windowStore.of(shift);
    });
}

// The grid of the counts window as the settings see it: fourteen captioned columns.
void closeCountsWindowSettings(CKelvaraOptions &options, QTableView &grid)
{
    CKelvaraOptions::Batch closing(options);
    GridColumns::save(options, QStringLiteral("PRODUCTIONCOUNTS"), &grid);
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], "--startup-child") == 0) {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return StartupBench::child(argc, argv, argv[2]);
    }
    // the preview is measured on a real display when there is one (xvfb-run -a)
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    addBenchOptions(parser);
    parser.process(app);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure shows as it is measured

    QTemporaryDir dir;
    const bool given = parser.isSet(QStringLiteral("plant"));
    const QString path = given                                  ? parser.value(QStringLiteral("plant"))
                         : parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep"))
                                                                : dir.filePath(QStringLiteral("QUORVEL.MDB"));
    if (!given)
        QFile::remove(path);
    PlantSize size;
    size.years = parser.value(QStringLiteral("years")).toInt();
    size.machines = parser.value(QStringLiteral("machines")).toInt();
    const QDate last(2026, 12, 4);
    const DateShift shift{last.addDays(-200), 2};

    if (parser.isSet(QStringLiteral("startup"))) {
        StartupBench::run(QCoreApplication::applicationFilePath(), dir.filePath(QStringLiteral("startup")));
        return 0;
    }
    try {
        QElapsedTimer timer;
        timer.start();
        if (!given) {
            Database db = Database::createFile(path);
            Schema::create(db, ReportCatalog::savedQueries());
            // Years of generated rows are no changes anyone made: the history starts after them.
            ChangeHistory::drop(db);
            const qint64 lines = PlantGenerator::fill(db, size, last);
            ChangeHistory::replace(db);
            // A line added late to the old date-shift: its id is the newest of all.
            JobLine late;
            late.dateShift = shift;
            late.machineNumber = size.machines + 1;
            late.jobNumber = QStringLiteral("J-00001");
            JobLines(db).add(late);
            std::printf("generated %lld lines over %d years in %.1f s\n\n", lines, size.years,
                        double(timer.elapsed()) / 1000);
        }
        if (parser.isSet(QStringLiteral("windows"))) {
            WindowBench::disposition(path, 150000, dir.path());
            WindowBench::everyWindow(path, shift, dir.path());
            return 0;
        }
        if (parser.isSet(QStringLiteral("history"))) {
            HistoryBench::run(path, last, dir.path());
            return 0;
        }
        if (parser.isSet(QStringLiteral("report-memory"))) {
            ReportBench::memory(QCoreApplication::applicationFilePath(), path);
            return 0;
        }
        Database db = Database::open(path);
        if (parser.isSet(QStringLiteral("report-memory-child")))
            return ReportBench::memoryChild(db, parser.value(QStringLiteral("report-memory-child")).toInt(),
                                            last, dir.path());
        if (parser.isSet(QStringLiteral("preview"))) {
            ReportBench::preview(db, last, dir.path());
            return 0;
        }
        if (parser.isSet(QStringLiteral("exports"))) {
            ReportBench::exports(db, last, dir.path());
            return 0;
        }
        RawReader raw(path);
        SilentPrompter prompter;
        FixedClock clock;
        Plant file(path, prompter, clock);
        std::optional<ServerPlant> server;
        if (parser.isSet(QStringLiteral("server")))
            server.emplace(path, parser.value(QStringLiteral("server")), prompter, clock);
        // The same copy reached through the relay, over TCP.
        std::optional<NetworkRelay> relay;
        std::optional<Plant> network;
        if (server && parser.isSet(QStringLiteral("network"))) {
            relay.emplace(quint16(parser.value(QStringLiteral("network")).toUInt()),
                          parser.value(QStringLiteral("delay")).toDouble());
            ServerAddress address = ServerAddress::parse(server->uri());
            address.host = QStringLiteral("127.0.0.1");
            address.port = relay->port();
            network.emplace(address.uri(), prompter, clock);
            networkColumns = true;
            std::printf("through a relay adding %.2f ms each way: %s\n\n", relay->delayMs(),
                        qPrintable(address.uri()));
        }

        std::printf("| %-44s | %8s | %8s | %5s | %-8s |", "per-shift work (ms)", "Kelvara", "SQLite", "ratio",
                    "target");
        if (server)
            std::printf(" %10s | %5s | %-14s |", "PostgreSQL", "ratio", "server target");
        if (network)
            std::printf(" %9s | %5s | %9s | %5s |", "network", "trips", "first run", "trips");
        std::printf("\n|%s|%s|%s|%s|%s|", "----------------------------------------------",
                    "---------:", "---------:", "------:", "----------");
        if (server)
            std::printf("%s|%s|%s|", "-----------:", "------:", "----------------");
        if (network)
            std::printf("%s|%s|%s|%s|", "----------:", "------:", "----------:", "------:");
        std::printf("\n");

        // Each step runs on the file and, with the same classes, on the server's copy.
        const auto measure = [&](const char *what, int repeats, const std::function<void(Plant &)> &step,
                                 const std::function<void()> &rawStep, const char *target,
                                 const char *serverTarget) {
            const double product = timeOf(repeats, [&] { step(file); });
            const double rawFigure = rawStep ? timeOf(repeats, rawStep) : 0;
            const double onServer = server ? timeOf(repeats, [&] { step(server->plant()); }) : -1;
            OverNetwork overNetwork;
            if (network) {
                // A window's first load on a workstation opens its connection; later ones may take
                // one another window let go.
                const qint64 start = relay->roundTrips();
                QElapsedTimer first;
                first.start();
                step(*network);
                overNetwork.firstMs = double(first.nsecsElapsed()) / 1e6;
                overNetwork.firstTrips = double(relay->roundTrips() - start);
                // Each run waits for its round trips: fewer runs make the same best of seven.
                overNetwork.ms = timeOf(std::max(1, repeats / 10), [&] { step(*network); });
                const qint64 before = relay->roundTrips();
                step(*network);
                overNetwork.trips = double(relay->roundTrips() - before);
            }
            row(what, product, rawFigure, target, onServer, serverTarget, overNetwork);
        };
        const char *serverRead = "< 50 ms, <= 2x";
        const bool costOnly = parser.isSet(QStringLiteral("history-cost"));
        if (!costOnly) {
            measure(
                "lines of one date-shift (JobLines::of)", 200, [&](Plant &p) { p.store.of(shift); },
                [&] { raw.lines(shift); }, "<= 1.5x", serverRead);
            measure(
                "summaries (ProductionSummaries::fill)", 200,
                [&](Plant &p) { p.summaries.fill(p.db, shift); }, [&] { raw.summaries(shift); }, "<= 1.5x",
                serverRead);
            measure(
                "active jobs (JobLines::activeJobs)", 200, [&](Plant &p) { p.store.activeJobs(); },
                [&] { raw.activeJobs(); }, "<= 1.5x", serverRead);
            measure(
                "previous shift with lines", 200,
                [&](Plant &p) {
                    p.store.latestDateBefore(shift);
                    p.store.highestShiftOn(shift.date);
                },
                [&] { raw.previousShift(shift); }, "<= 1.5x", serverRead);
            measure(
                "next shift with lines", 200, [&](Plant &p) { p.store.nextWithLines(shift); },
                [&] { raw.nextShift(shift); }, "<= 1.5x", serverRead);
            measure(
                "job list sheet: jobs and lines", 200,
                [&](Plant &p) {
                    p.jobList.setJobs(p.store.activeJobs());
                    p.jobList.setLines(shift, {});
                    p.jobList.setLines(shift, p.jobList.readLines());
                },
                [&] {
                    raw.activeJobs();
                    raw.lines(shift);
                },
                "<= 1.5x", serverRead);
            measure(
                "counts sheet: lines, summaries, figures", 200,
                [&](Plant &p) {
                    p.summaries.fill(p.db, shift);
                    p.counts.setLines(p.store.of(shift));
                },
                [&] {
                    raw.summaries(shift);
                    raw.lines(shift);
                },
                "<= 1.5x", serverRead);

            // A window opens a connection of its own at each load: its whole database work.
            measure(
                "job list window load, own connection", 50,
                [&](Plant &p) {
                    Database own = Database::open(p.name);
                    JobLines ownStore(own);
                    JobListSheet sheet(prompter, clock);
                    sheet.setStore(&ownStore);
                    sheet.setJobs(ownStore.activeJobs());
                    sheet.setLines(shift, {});
                    sheet.setLines(shift, sheet.readLines());
                },
                {}, "< 50 ms", serverRead);
            measure(
                "counts window load, own connection", 50,
                [&](Plant &p) {
                    Database own = Database::open(p.name);
                    JobLines ownStore(own);
                    ProductionSummaries ownSummaries(p.ids);
                    ownSummaries.fill(own, shift);
                    CountsSheet sheet(ownSummaries);
                    sheet.setLines(ownStore.of(shift));
                },
                {}, "< 50 ms", serverRead);
            // The first run posts (the server's copy was made before the file's posting); the rest
            // post the already posted date-shift again, on both.
            measure(
                "counts window close: post to next shift", 20,
                [&](Plant &p) { p.store.postToNextShift(shift); },
                [&] { raw.postToNextShift(shift, shift.next()); }, "< 50 ms", "< 50 ms");
        }
        if (network) {
            std::printf("\n%lld round trips through the relay in all\n", relay->roundTrips());
            network.reset(); // its connection ends before the relay and the copy go
            relay.reset();
            return 0;
        }
        // What the change history costs: the same step with its triggers and with them taken away.
        // A count entry reads its line and writes one count over the value read (one history
        // row). The close with posting comes after a count typed on every line of the shift
        // (each a history row), so that the posting carries every line's new ending count.
        const qint64 entryLine =
            file.db.scalar(QStringLiteral(R"(SELECT MAX("Job ID") FROM "Production Table")")).toLongLong();
        const auto countEntry = [&](Plant &p) {
            const qint64 read = p.store.line(entryLine)->endingCount;
            if (!p.store.setCount(entryLine, CountField::Ending, read + 1, read))
                throw DatabaseError(DbErrors::Other, QStringLiteral("The count entry was refused."));
        };
        const auto countedAndPosted = [&](Plant &p) {
            p.db.exec(QStringLiteral(R"(UPDATE "Production Table" SET "Ending Count" = "Ending Count" + 1 )"
                                     R"(WHERE "Date" = :d AND "Shift" = :s)"),
                      {{QStringLiteral("d"), shift.sqlDate()}, {QStringLiteral("s"), shift.shift}});
            p.store.postToNextShift(shift);
        };
        // Each engine on its own, the other's triggers left as they are.
        const auto recordingOn = [](Plant &p) {
            return [&p](bool on) {
                if (on)
                    ChangeHistory::replace(p.db);
                else
                    ChangeHistory::drop(p.db);
            };
        };
        const auto costRows = [&](const char *what, const char *notWhat, int repeats,
                                  const std::function<void(Plant &)> &step) {
            const auto onFile = timeRecordedAndNot(
                repeats, [&] { step(file); }, recordingOn(file));
            std::pair<double, double> onServer{-1, -1};
            if (server)
                onServer = timeRecordedAndNot(
                    repeats, [&] { step(server->plant()); }, recordingOn(server->plant()));
            row(what, onFile.first, 0, "<= +20%", onServer.first, "<= +20%");
            row(notWhat, onFile.second, 0, "-", onServer.second, "-");
        };
        costRows("count entry: change history recorded", "count entry: not recorded", 50, countEntry);
        costRows("counts typed, posted: history recorded", "counts typed, posted: not recorded", 10,
                 countedAndPosted);
        if (costOnly)
            return 0;
        row("refresh: change on another connection to window shown", refreshTime(file.name, file.db, shift),
            0, "< 500 ms", server ? refreshTime(server->plant().name, server->plant().db, shift) : -1,
            "< 1 s");
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
            0, "< 20 ms", server ? 0 : -1);
        row("read counters: every machine, button to grid",
            MachineBench::readCounters(file.db, shift, dir.filePath(QStringLiteral("machines"))), 0, "< 2 s",
            server ? 0 : -1);
        server.reset(); // the server's database is dropped here; the reports below are the file's
        if (!parser.isSet(QStringLiteral("no-reports"))) {
            ReportBench::run(db, last, dir.path());
            HistoryBench::run(path, last, dir.path());
        }
    } catch (const KelvaraError &error) {
        std::fprintf(stderr, "%d: %s\n", error.number(), qPrintable(error.description()));
        return 1;
    }
    return 0;
}
