// Each report of the catalog rendered to text from a small fixed plant and compared with its
// reference file. Set KELVARA_UPDATE_GOLDEN=1 to rewrite the references after a deliberate layout
// change; a report without one gets it made, and the test fails until it is committed.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportParmsSheet.h"
#include "reports/ReportRun.h"
#include "reports/ReportStaging.h"
#include "reports/engine/ReportDocument.h"
#include "reports/engine/TextReport.h"

#include <QFile>
#include <QLocale>
#include <QSqlDatabase>
#include <QTest>

namespace {
void compareWithGolden(const QString &name, const QString &actual)
{
    bool made = false;
    const QString difference =
        GoldenReports::compare(QStringLiteral(KELVARA_GOLDEN_DIR), name, actual, &made);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    if (made)
        QFAIL(qPrintable(
            QStringLiteral("%1 had no golden file: it was made from this run; look at it and commit it")
                .arg(name)));
}
} // namespace

class TestReportGolden : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Every report of the catalog, with each of its options, as the report window runs it.
    void catalog_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("option");
        for (const ReportDescriptor &report : ReportCatalog::all()) {
            const bool runs = report.type > 0 && report.opensWindow;
            if (!runs && report.type != ReportTypes::SecurityProfile)
                continue; // the reject update report comes with the rejects report
            const QString name = QString::number(report.type) + QLatin1Char(' ') + report.table;
            if (report.controls.options.isEmpty())
                QTest::newRow(qPrintable(name)) << report.type << -1;
            for (int option = 0; option < report.controls.options.size(); ++option)
                QTest::newRow(qPrintable(name + QStringLiteral(", ") + report.controls.options[option]))
                    << report.type << option;
        }
    }

    void catalog()
    {
        QFETCH(int, type);
        QFETCH(int, option);
        DatabaseWorld world;
        GoldenReports::fillEveryReport(world.db);
        const QList<GoldenReports::Part> parts = GoldenReports::render(world, type, option);
        QVERIFY(!parts.isEmpty());
        for (const GoldenReports::Part &part : parts)
            compareWithGolden(part.name, part.text);
    }

    // The production counts on short pages, which show the page breaks and the continued group
    // headings, and of a single date and shift; the transfers of a list of shifts.
    void pages_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("range");
        QTest::addColumn<QString>("shifts");
        QTest::addColumn<int>("pageLines");
        QTest::newRow("prodct-short-pages") << int(ReportTypes::ProductionCounts) << true << "1-2" << 30;
        QTest::newRow("prodct-single") << int(ReportTypes::ProductionCounts) << false << "1" << 66;
        QTest::newRow("xfers-shifts-listed") << int(ReportTypes::TransferList) << true << "1,2" << 66;
    }

    void pages()
    {
        QFETCH(int, type);
        QFETCH(bool, range);
        QFETCH(QString, shifts);
        QFETCH(int, pageLines);
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        ReportParmsSheet sheet(type);
        sheet.load(QDate(), QString(), world.clock.today());
        sheet.dateRange = range;
        sheet.startDate = QDate(1999, 8, 11);
        sheet.endDate = range ? QDate(1999, 8, 12) : QDate();
        sheet.shiftText = shifts;
        const ReportDescriptor &description = ReportCatalog::of(type);
        const QString reportPath = world.file(QStringLiteral("REPORTS.MDB"));
        {
            ReportStaging staging(world.db, reportPath);
            staging.stage(description.staging.name, description.table, sheet.stagingParameters());
        }
        QSqlDatabase reports = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("golden"));
        reports.setDatabaseName(reportPath);
        QVERIFY(reports.open());
        const ReportRequest request{sheet.selection(), sheet.formulas(), QStringLiteral("Quorvel Plastics"),
                                    world.clock.now()};
        const QString text = TextReport::render(
            buildReport(ReportFixture::layoutPath(description.layouts.first().fileName), reports, request),
            pageLines);
        reports.close();
        reports = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("golden"));
        compareWithGolden(QString::fromLatin1(QTest::currentDataTag()), text);
    }

    // A year's figures: totals wider than their columns, negative totals and a description longer
    // than its column; every column grows to its widest value.
    void goldenYear()
    {
        const ReportLayout layout =
            ReportLayout::load(ReportFixture::layoutPath(QStringLiteral("prodct.rpt")));
        const ReportData data =
            ReportFixture::sampleData(layout, 2, {57479500, 57479500, -3706935, -3706935},
                                      {QStringLiteral("Lens, indicator, clear polycarbonate PC")});
        const ReportRequest request{
            QString(), {}, QStringLiteral("Quorvel Plastics"), QDateTime({1999, 12, 31}, {7, 30})};
        compareWithGolden(QStringLiteral("prodct-year"),
                          TextReport::render(ReportDocument::build(layout, data, request), 66));
    }

    // A report of the catalog finds its layouts shipped, each reading the table its staging fills.
    void catalogLayoutsReadTheirTables()
    {
        for (const ReportDescriptor &report : ReportCatalog::all()) {
            for (const ReportFile &layout : report.layouts)
                QCOMPARE(ReportLayout::load(ReportFixture::layoutPath(layout.fileName)).table, report.table);
            if (!report.staging.name.isEmpty())
                QVERIFY2(report.staging.sql.startsWith(
                             QStringLiteral("CREATE TABLE \"Reports\".\"%1\" ").arg(report.table)) ||
                             report.staging.sql.startsWith(
                                 QStringLiteral("CREATE TABLE \"Reports\".\"%1\" ").arg(report.table)),
                         qPrintable(report.staging.name));
        }
    }
};

QTEST_MAIN(TestReportGolden)
#include "test_report_golden.moc"
