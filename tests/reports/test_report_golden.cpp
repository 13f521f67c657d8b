// Each shipped report rendered to text from a small fixed plant and compared with its reference
// file. Set KELVARA_UPDATE_GOLDEN=1 to rewrite the references after a deliberate layout change.

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
QString goldenPath(const QString &name)
{
    return QStringLiteral(KELVARA_GOLDEN_DIR "/") + name + QStringLiteral(".txt");
}

void compareWithGolden(const QString &name, const QString &actual)
{
    const QString path = goldenPath(name);
    if (qEnvironmentVariableIsSet("KELVARA_UPDATE_GOLDEN")) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(actual.toUtf8());
        return;
    }
    QFile in(path);
    QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(path));
    const QStringList expected = QString::fromUtf8(in.readAll()).split('\n');
    const QStringList lines = actual.split('\n');
    for (int i = 0; i < std::min(expected.size(), lines.size()); ++i)
        QVERIFY2(lines[i] == expected[i],
                 qPrintable(QStringLiteral("%1 line %2:\n  got      \"%3\"\n  expected \"%4\"")
                                .arg(name)
                                .arg(i + 1)
                                .arg(lines[i], expected[i])));
    QCOMPARE(lines.size(), expected.size());
}
} // namespace

class TestReportGolden : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void golden_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("range");
        QTest::addColumn<QString>("shifts");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("pageLines");
        // a short page shows the page breaks and the continued group headings
        QTest::newRow("prodct") << 1 << -1 << true << "1-2"
                                << "prodct.rpt" << 30;
        QTest::newRow("prodct-single") << 1 << -1 << false << "1"
                                       << "prodct.rpt" << 66;
        QTest::newRow("xfers") << 2 << -1 << true << "1,2"
                               << "xfers.rpt" << 66;
        QTest::newRow("onhold-all") << 3 << 0 << true << "1-3"
                                    << "onhold.rpt" << 66;
        QTest::newRow("onhold-unresolved") << 3 << 1 << true << "1-3"
                                           << "onhold.rpt" << 66;
        QTest::newRow("productn") << 4 << 0 << true << "1-3"
                                  << "productn.rpt" << 66;
        QTest::newRow("prodsumm") << 4 << 1 << true << "1-3"
                                  << "prodsumm.rpt" << 66;
    }

    void golden()
    {
        QFETCH(int, type);
        QFETCH(int, option);
        QFETCH(bool, range);
        QFETCH(QString, shifts);
        QFETCH(QString, file);
        QFETCH(int, pageLines);
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        ReportParmsSheet sheet(type);
        sheet.load(QDate(), QString(), world.clock.today());
        if (option >= 0)
            sheet.chooseOption(option);
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
        const QString text =
            TextReport::render(buildReport(ReportFixture::layoutPath(file), reports, request), pageLines);
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

    // The reports that run through more than one staging step, rendered from what the run sends.
    void goldenRun_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("part");
        QTest::newRow("rejects") << 5 << 0 << 0;
        QTest::newRow("reject2") << 5 << 0 << 1;
        QTest::newRow("misshold") << 7 << -1 << 0;
        QTest::newRow("dalycorv") << 8 << -1 << 0;
        QTest::newRow("dalyvelm") << 9 << -1 << 0;
    }

    void goldenRun()
    {
        QFETCH(int, type);
        QFETCH(int, option);
        QFETCH(int, part);
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        world.db.exec(QStringLiteral("INSERT INTO \"Customer Report Parts\" VALUES ('Corvix', '1040-22'),"
                                     " ('Velmar', '2210-05'), ('Velmar', '3300-17')"));
        // rejects split by reason on two lines, for the chart
        world.db.exec(
            QStringLiteral("UPDATE \"Production Table\" SET \"RejectReason1\" = 12, \"RejectReason3\" = 40,"
                           " \"RejectReason7\" = 5 WHERE \"Job ID\" = 1"));
        world.db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"RejectReason3\" = 15, "
                                     "\"RejectReason10\" = 30 WHERE \"Job ID\" = 4"));
        ReportParmsSheet sheet(type);
        sheet.load(QDate(), QString(), world.clock.today());
        if (option >= 0)
            sheet.chooseOption(option);
        sheet.dateRange = true;
        sheet.startDate = QDate(1999, 8, 11);
        sheet.endDate = QDate(1999, 8, 12);
        sheet.shiftText = QStringLiteral("1-3");
        sheet.markPrinted = false;
        const QString reports = world.file(QStringLiteral("REPORTS.MDB"));
        Database::createFile(reports).close();
        static const QStringList files{{},
                                       {},
                                       {},
                                       {},
                                       {},
                                       {},
                                       QStringLiteral("rejects.rpt"),
                                       QStringLiteral("reject2.rpt"),
                                       QStringLiteral("misshold.rpt"),
                                       QStringLiteral("dalycorv.rpt"),
                                       QStringLiteral("dalyvelm.rpt")};
        ReportRun run({world.db, reports, world.prompter, world.clock,
                       [](int selector) { return ReportFixture::layoutPath(files.value(selector)); },
                       QStringLiteral("Quorvel Plastics"), QDate(1999, 8, 12)});
        QString text;
        QCOMPARE(run.run(sheet,
                         [&](const ReportDocument &document, const QString &, int sent) {
                             if (sent == part)
                                 text = TextReport::render(document, 66);
                         }),
                 ReportRun::Outcome::Done);
        compareWithGolden(QString::fromLatin1(QTest::currentDataTag()), text);
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
