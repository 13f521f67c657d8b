#include "ReportBench.h"

#include "reports/ReportParmsSheet.h"
#include "reports/ReportStaging.h"
#include "reports/ReportTypes.h"
#include "reports/engine/ReportDocument.h"
#include "reports/engine/ReportExport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <cstdio>
#include <ctime>

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

void timeCounts(Database &db, const QString &what, const QDate &from, const QDate &to, const QString &folder)
{
    ReportParmsSheet sheet(ReportTypes::ProductionCounts);
    sheet.dateRange = true;
    sheet.startDate = from;
    sheet.endDate = to;
    sheet.shiftText = QStringLiteral("1-3");
    const ReportType type = ReportTypes::of(ReportTypes::ProductionCounts);
    const QString reportPath = folder + QStringLiteral("/REPORTS.MDB");
    const QString pdf = folder + QStringLiteral("/counts.pdf");

    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMs();
    ReportStaging staging(db, reportPath);
    const qint64 rows = staging.stage(type.stagingQuery, type.table, sheet.stagingParameters());
    const double staged = timer.nsecsElapsed() / 1e6;
    ReportDocument document;
    {
        QSqlDatabase reports =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-reports"));
        reports.setDatabaseName(reportPath);
        reports.open();
        document = buildReport(layoutFile(QStringLiteral("prodct.rpt")), reports,
                               {sheet.selection(), sheet.formulas(), QStringLiteral("Bench Plastics"), {}});
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-reports"));
    const double built = timer.nsecsElapsed() / 1e6;
    ReportExport::write(document, ReportExport::Pdf, pdf);
    const double written = timer.nsecsElapsed() / 1e6;
    const double cpu = cpuMs() - cpuStart;
    staging.cleanUp(type.table);
    std::printf(
        "production counts report, %-10s %7lld lines: staging %7.1f ms, layout %7.1f ms, PDF %7.1f ms "
        "(%lld KB), total %7.1f ms (processor %7.1f ms)\n",
        qPrintable(what), rows, staged, built - staged, written - built, QFileInfo(pdf).size() / 1024,
        written, cpu);
}
} // namespace

void ReportBench::run(Database &db, const QDate &last, const QString &folder)
{
    timeCounts(db, QStringLiteral("one month"), last.addMonths(-1).addDays(1), last, folder);
    timeCounts(db, QStringLiteral("one year"), last.addYears(-1).addDays(1), last, folder);
}
