#include "ReportBench.h"

#include "BenchSession.h"

#include "foundation/CKelvaraOptions.h"
#include "foundation/Clock.h"
#include "foundation/Database.h"
#include "foundation/FileOps.h"
#include "foundation/FreedMemory.h"
#include "foundation/Identity.h"
#include "foundation/Paths.h"
#include "foundation/Prompter.h"
#include "foundation/Session.h"
#include "reports/MissingHoldTickets.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportOutput.h"
#include "reports/ReportPageView.h"
#include "reports/ReportParmsSheet.h"
#include "reports/ReportStaging.h"
#include "reports/engine/ReportDocument.h"
#include "reports/engine/ReportExport.h"
#include "reports/frmPrintPreview.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <utility>

namespace {
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

QString layoutFile(const QString &name)
{
    // the layouts installed beside the program, else those of the source tree
    const QString beside =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../report-layouts/") + name;
    return QFileInfo::exists(beside) ? beside : QStringLiteral(KELVARA_LAYOUT_DIR "/") + name;
}

struct Run
{
    const char *report;
    int type;
    int option; // the additional option chosen, -1 none
    const char *file;
};

struct ReportTiming
{
    qint64 rows = 0;
    double staged = 0, built = 0, written = 0, cpu = 0; // ms from the start of the run
    int pages = 0;                                      // of a PDF
};

QString outputFile(const QString &folder, int code)
{
    return folder + QStringLiteral("/report") + ReportExport::extension(code);
}

ReportDocument buildDocument(Database &db, const Run &run, const ReportParmsSheet &sheet,
                             const QString &folder)
{
    const ReportDescriptor &type = ReportCatalog::of(run.type);
    ReportStaging staging(db, folder + QStringLiteral("/REPORTS.MDB"));
    staging.stage(type.staging.name, type.table, sheet.stagingParameters());
    ReportDocument document = buildReport(layoutFile(QString::fromLatin1(run.file)), db.connection(),
                                          {sheet.selection(), sheet.formulas(), QStringLiteral("Bench"), {}});
    staging.cleanUp(type.table);
    return document;
}

ReportTiming runReport(Database &db, const Run &run, const ReportParmsSheet &sheet, const QString &folder,
                       int code)
{
    const ReportDescriptor &type = ReportCatalog::of(run.type);
    ReportTiming t;
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMs();
    ReportStaging staging(db, folder + QStringLiteral("/REPORTS.MDB"));
    t.rows = staging.stage(type.staging.name, type.table, sheet.stagingParameters());
    t.staged = timer.nsecsElapsed() / 1e6;
    const ReportDocument document =
        buildReport(layoutFile(QString::fromLatin1(run.file)), db.connection(),
                    {sheet.selection(), sheet.formulas(), QStringLiteral("Bench"), {}});
    staging.cleanUp(type.table);
    t.built = timer.nsecsElapsed() / 1e6;
    ReportExport::write(document, code, outputFile(folder, code), [&t](int, int pages) {
        t.pages = pages;
        return true;
    });
    t.written = timer.nsecsElapsed() / 1e6;
    t.cpu = cpuMs() - cpuStart;
    return t;
}

ReportParmsSheet sheetFor(const Run &run, const QDate &from, const QDate &to)
{
    ReportParmsSheet sheet(run.type);
    sheet.dateRange = true;
    sheet.startDate = from;
    sheet.endDate = to;
    sheet.shiftText = QStringLiteral("1-3");
    if (run.option >= 0)
        sheet.chooseOption(run.option);
    return sheet;
}

// The best of three runs, as the per-shift figures are the best of their rounds.
void timeReport(Database &db, const Run &run, const QString &period, const QDate &from, const QDate &to,
                const QString &folder, int code = ReportExport::Pdf)
{
    const ReportParmsSheet sheet = sheetFor(run, from, to);
    ReportTiming best;
    for (int round = 0; round < 3; ++round) {
        const ReportTiming t = runReport(db, run, sheet, folder, code);
        if (round == 0 || t.written < best.written)
            best = t;
    }
    std::printf(
        "%-26s %-9s %6lld lines, %4d pages: staging %7.1f ms, layout %7.1f ms, %s %8.1f ms (%5lld KB); "
        "total %8.1f ms, processor %8.1f ms\n",
        run.report, qPrintable(period), best.rows, best.pages, best.staged, best.built - best.staged,
        qPrintable(ReportExport::extension(code).mid(1).toUpper()), best.written - best.built,
        QFileInfo(outputFile(folder, code)).size() / 1024, best.written, best.cpu);
}

// The resident size of this process now, in MB.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

// Notes when the preview's pages are painted on screen; watches the whole application. The view
// paints the pages it shows as it paints itself; the page is on screen at the last paint before
// the view settles.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(const QElapsedTimer &timer) : m_timer(timer) {}
    double at = -1, latest = -1; // ms since the timer started: first and latest paint; -1 not yet

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // the pages are painted on the view's viewport
        if (event->type() == QEvent::Paint && qobject_cast<ReportPageView *>(watched->parent())) {
            latest = m_timer.nsecsElapsed() / 1e6;
            if (at < 0)
                at = latest;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer &m_timer;
};

// The print preview as the report window opens it: from the laid-out report to its first page
// on screen (the report laid out on its pages and the first painted), the process's size while it
// shows (the first and the last page looked at) and once it has closed.
void timePreview(Database &db, const Run &run, const QString &period, const QDate &from, const QDate &to,
                 const QString &folder)
{
    BenchSession bench(folder);
    const double before = residentMb();
    QElapsedTimer timer;
    timer.start();
    double laidOut = 0, peak = before, onScreen = -1, lastAsked = -1, lastOnScreen = -1;
    int pages = 0;
    FirstPaint firstPaint(timer);
    {
        const ReportDocument document = buildDocument(db, run, sheetFor(run, from, to), folder);
        laidOut = timer.nsecsElapsed() / 1e6;
        QTimer watch;
        int shownTicks = 0;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            peak = std::max(peak, residentMb());
            QWidget *window = nullptr;
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (top->objectName() == QLatin1String("frmPrintPreview") && top->isVisible())
                    window = top;
            }
            if (!window)
                return;
            pages = static_cast<frmPrintPreview *>(window)->pageCount();
            if (firstPaint.at < 0)
                return;
            // once the first page is there (no paint for 0.2 s), look at the last one, then close
            ++shownTicks;
            if (shownTicks == 10 && firstPaint.latest + 200 > timer.nsecsElapsed() / 1e6)
                shownTicks = 0;
            if (shownTicks == 10) {
                onScreen = firstPaint.latest;
                lastAsked = timer.nsecsElapsed() / 1e6;
                window->findChild<QAction *>(QStringLiteral("actLastPage"))->trigger();
            }
            if (shownTicks == 20) {
                lastOnScreen = firstPaint.latest - lastAsked;
                window->close();
            }
        });
        qApp->installEventFilter(&firstPaint);
        watch.start(20);
        QPrinter printer;
        ReportOutput::preview(document, QStringLiteral("Print Preview"), printer, bench.session(), nullptr);
        qApp->removeEventFilter(&firstPaint);
    }
    giveBackFreedMemory(); // as the report window does once the report is gone
    const double after = residentMb();
    std::printf(
        "%-26s %-9s preview of %4d pages: staging and layout %7.1f ms, then window %8.1f ms, first page on "
        "screen %8.1f ms (total %8.1f ms), last page %6.1f ms after asked; %7.1f MB before, %7.1f MB peak "
        "while shown, %7.1f MB after close\n",
        run.report, qPrintable(period), pages, laidOut, firstPaint.at - laidOut, onScreen - laidOut, onScreen,
        lastOnScreen, before, peak, after);
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Seconds LibreOffice takes to open the file and print it to PDF, as a user's word processor or
// spreadsheet opens it; -1 when it is not installed, fails or takes more than 15 minutes. It runs
// with a profile, home and temporary folder of its own under `folder`.
double officeSeconds(const QString &path, const QString &folder)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        return -1;
    const QString home = folder + QStringLiteral("/office-home");
    QDir().mkpath(home);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("TMPDIR"), home);
    QProcess office;
    office.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    office.start(
        soffice,
        {QStringLiteral("-env:UserInstallation=file://") + folder + QStringLiteral("/office-profile"),
         QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
         QStringLiteral("--outdir"), folder + QStringLiteral("/office"), path});
    if (!office.waitForFinished(15 * 60 * 1000)) {
        office.kill();
        office.waitForFinished();
        return -1;
    }
    const QString pdf =
        folder + QStringLiteral("/office/") + QFileInfo(path).completeBaseName() + QStringLiteral(".pdf");
    const bool converted = office.exitCode() == 0 && QFileInfo::exists(pdf);
    QFile::remove(pdf);
    return converted ? timer.nsecsElapsed() / 1e9 : -1;
}

// The OpenDocument text and the workbook of a period, each written from the same laid-out report:
// time, file size and the process's peak memory after it (it only grows, so the step that raised
// it shows).
void timeExports(Database &db, const Run &run, const QString &period, const QDate &from, const QDate &to,
                 const QString &folder)
{
    ReportParmsSheet sheet(run.type);
    sheet.dateRange = true;
    sheet.startDate = from;
    sheet.endDate = to;
    sheet.shiftText = QStringLiteral("1-3");
    const ReportDescriptor &type = ReportCatalog::of(run.type);
    ReportStaging staging(db, folder + QStringLiteral("/REPORTS.MDB"));
    staging.stage(type.staging.name, type.table, sheet.stagingParameters());
    const ReportDocument document =
        buildReport(layoutFile(QString::fromLatin1(run.file)), db.connection(),
                    {sheet.selection(), sheet.formulas(), QStringLiteral("Bench"), {}});
    staging.cleanUp(type.table);
    QList<std::pair<const char *, QString>> paths;
    for (const auto &[code, name] :
         {std::pair{int(ReportExport::Word), "ODT"}, std::pair{int(ReportExport::Excel), "XLSX"}}) {
        const QString path = folder + QStringLiteral("/report") + ReportExport::extension(code);
        QElapsedTimer timer;
        timer.start();
        ReportExport::write(document, code, path);
        const double elapsed = timer.nsecsElapsed() / 1e6;
        std::printf("%-26s %-9s %6lld lines: %-4s %9.1f ms (%6lld KB), peak memory %6.0f MB\n", run.report,
                    qPrintable(period), qint64(document.lineCount()), name, elapsed,
                    QFileInfo(path).size() / 1024, peakMegabytes());
        paths.append({name, path});
    }
    // the document and the workbook opened in LibreOffice, one beside the other
    for (const auto &[name, path] : paths) {
        const double seconds = officeSeconds(path, folder);
        std::printf("%-26s %-9s %6lld lines: %-4s opened and printed by LibreOffice in %7.1f s%s\n",
                    run.report, qPrintable(period), qint64(document.lineCount()), name, seconds,
                    seconds < 0 ? " (not installed, failed or over 15 minutes)" : "");
    }
}

// The reports whose memory is measured, each run in a process of its own (a process's peak
// resident size only grows): five years of production counts to PDF, a year of the on-hold
// report to a workbook and to text.
struct MemoryRow
{
    Run run;
    int years;
    int code;
};

const QList<MemoryRow> &memoryRows()
{
    static const QList<MemoryRow> rows{
        {{"production counts", 1, -1, "prodct.rpt"}, 5, ReportExport::Pdf},
        {{"production on hold", 3, 0, "onhold.rpt"}, 1, ReportExport::Excel},
        {{"production on hold", 3, 0, "onhold.rpt"}, 1, ReportExport::Text},
    };
    return rows;
}

// Answers every question with its first button, as a user going ahead would.
class GoAhead : public Prompter
{
public:
    MsgAnswer ask(const PromptMessage &message) override
    {
        return message.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    }
};

void timeHoles(Database &db, const QDate &last, const QString &folder)
{
    ReportBench::addHoldTickets(db, 150000);
    const QString reportPath = folder + QStringLiteral("/HOLES.MDB");
    Database::createFile(reportPath).close();
    GoAhead prompter;
    MissingHoldTickets holes(db, reportPath, prompter);
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMs();
    holes.run(last.addYears(-5), last);
    const double elapsed = timer.nsecsElapsed() / 1e6;
    const qint64 missing = Database::open(reportPath)
                               .scalar(QStringLiteral("SELECT COUNT(*) FROM \"Holes Report\""))
                               .toLongLong();
    std::printf(
        "missing hold tickets, five years, %lld tickets: %lld missing, %7.1f ms (processor %7.1f ms)\n",
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM \"Hold Table\"")).toLongLong(), missing, elapsed,
        cpuMs() - cpuStart);
}
} // namespace

// Brings the plant to 150,000 hold tickets (a busy plant's five years), spread over its lines,
// with now and then a number left out.
void ReportBench::addHoldTickets(Database &db, qint64 wanted)
{
    const qint64 have = db.scalar(QStringLiteral("SELECT COUNT(*) FROM \"Hold Table\"")).toLongLong();
    const qint64 lines =
        db.scalar(QStringLiteral("SELECT MAX(\"Job ID\") FROM \"Production Table\"")).toLongLong();
    qint64 number =
        db.scalar(QStringLiteral("SELECT MAX(\"Hold Ticket Number\") FROM \"Hold Table\"")).toLongLong();
    Transaction transaction(db);
    QSqlQuery insert(db.connection());
    insert.prepare(
        QStringLiteral("INSERT INTO \"Hold Table\" (\"Job ID\", \"Hold Ticket Number\", \"Hold Quantity\") "
                       "VALUES (?, ?, 10)"));
    for (qint64 i = have; i < wanted; ++i) {
        number += i % 97 == 0 ? 2 : 1;
        insert.addBindValue(1 + (i * 7919) % lines);
        insert.addBindValue(number);
        insert.exec();
    }
    transaction.commit();
}

void ReportBench::run(Database &db, const QDate &last, const QString &folder)
{
    timeHoles(db, last, folder);
    // Staging, layout and PDF of a month and a year: the production counts (every line of the
    // period, about 55 lines a page) and the production summary (one line per job).
    const Run counts{"production counts", 1, -1, "prodct.rpt"};
    const Run summary{"production summary", 4, 1, "prodsumm.rpt"};
    const QDate month = last.addMonths(-1).addDays(1), year = last.addYears(-1).addDays(1);
    for (const Run &run : {counts, summary}) {
        timeReport(db, run, QStringLiteral("one month"), month, last, folder);
        timeReport(db, run, QStringLiteral("one year"), year, last, folder);
    }
    exports(db, last, folder);
    preview(db, last, folder);
}

void ReportBench::exports(Database &db, const QDate &last, const QString &folder)
{
    const Run counts{"production counts", 1, -1, "prodct.rpt"};
    timeExports(db, counts, QStringLiteral("one month"), last.addMonths(-1).addDays(1), last, folder);
    timeExports(db, counts, QStringLiteral("one year"), last.addYears(-1).addDays(1), last, folder);
}

void ReportBench::preview(Database &db, const QDate &last, const QString &folder)
{
    const Run counts{"production counts", 1, -1, "prodct.rpt"};
    timePreview(db, counts, QStringLiteral("one month"), last.addMonths(-1).addDays(1), last, folder);
    // twice: the size after close comes back each time, not only the first
    for (const QString &period : {QStringLiteral("one year"), QStringLiteral("year again")})
        timePreview(db, counts, period, last.addYears(-1).addDays(1), last, folder);
}

void ReportBench::memory(const QString &program, const QString &plant)
{
    {
        Database db = Database::open(plant);
        addHoldTickets(db, 150000);
    }
    for (int row = 0; row < memoryRows().size(); ++row) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(program, {QStringLiteral("--plant"), plant, QStringLiteral("--report-memory-child"),
                              QString::number(row)});
        if (!child.waitForFinished(30 * 60 * 1000) || child.exitCode() != 0)
            std::printf("report memory row %d failed (exit code %d)\n", row, child.exitCode());
    }
}

int ReportBench::memoryChild(Database &db, int row, const QDate &last, const QString &folder)
{
    if (row < 0 || row >= memoryRows().size())
        return 2;
    const MemoryRow &memory = memoryRows()[row];
    const double before = peakMegabytes();
    const QDate from = last.addYears(-memory.years).addDays(1);
    const ReportTiming t = runReport(db, memory.run, sheetFor(memory.run, from, last), folder, memory.code);
    const QString period = QStringLiteral("%1 year%2").arg(memory.years).arg(memory.years > 1 ? "s" : "");
    std::printf("%-20s %-8s %-4s %7lld rows, %5d pages: staging %7.1f ms, layout %7.1f ms, written %8.1f ms "
                "(%6lld KB); total %8.1f ms, processor %8.1f ms; peak RSS %6.1f MB (%6.1f MB before)\n",
                memory.run.report, qPrintable(period),
                qPrintable(ReportExport::extension(memory.code).mid(1).toUpper()), t.rows, t.pages, t.staged,
                t.built - t.staged, t.written - t.built,
                QFileInfo(outputFile(folder, memory.code)).size() / 1024, t.written, t.cpu, peakMegabytes(),
                before);
    return 0;
}
