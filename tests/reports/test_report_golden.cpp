// Each shipped report rendered to text from a small fixed plant and compared with its reference
// file. Set KELVARA_UPDATE_GOLDEN=1 to rewrite the references after a deliberate layout change.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "reports/ReportParmsSheet.h"
#include "reports/ReportStaging.h"
#include "reports/ReportTypes.h"
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
        const ReportType description = ReportTypes::of(type);
        const QString reportPath = world.file(QStringLiteral("REPORTS.MDB"));
        {
            ReportStaging staging(world.db, reportPath);
            staging.stage(description.stagingQuery, description.table, sheet.stagingParameters());
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
};

QTEST_MAIN(TestReportGolden)
#include "test_report_golden.moc"
