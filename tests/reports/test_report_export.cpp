// Each export type writes a file that a real reader opens: PDF text through pdftotext, the
// workbook's cells from its XML, the OpenDocument text's content.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportParmsSheet.h"
#include "reports/ReportStaging.h"
#include "reports/engine/ReportDocument.h"
#include "reports/engine/ReportError.h"
#include "reports/engine/ReportExport.h"
#include "reports/engine/ReportPainter.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTest>

namespace {
QString run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(program, QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString unzipped(const QString &archive, const QString &member)
{
    return run(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, member});
}

// A chart page as the rejects report has one.
void addChart(ReportDocument &document)
{
    document.layout.chart = {QStringLiteral("Rejects by Reason"),
                             {{QStringLiteral("Net"), QStringLiteral("Flash")}}};
    document.chart = {{QStringLiteral("Flash"), 40, 80}, {QStringLiteral("Short shot"), 10, 100}};
}

// The production counts report of the fixture plant for 08/11/1999 - 08/12/1999, all shifts.
ReportDocument countsReport(DatabaseWorld &world)
{
    ReportFixture::fill(world.db);
    ReportParmsSheet sheet(ReportTypes::ProductionCounts);
    sheet.dateRange = true;
    sheet.startDate = QDate(1999, 8, 11);
    sheet.endDate = QDate(1999, 8, 12);
    sheet.shiftText = QStringLiteral("1-3");
    const ReportDescriptor &type = ReportCatalog::of(ReportTypes::ProductionCounts);
    const QString reportPath = world.file(QStringLiteral("REPORTS.MDB"));
    ReportStaging(world.db, reportPath).stage(type.staging.name, type.table, sheet.stagingParameters());
    ReportDocument document;
    {
        QSqlDatabase reports = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("export"));
        reports.setDatabaseName(reportPath);
        reports.open();
        document = buildReport(
            ReportFixture::layoutPath(QStringLiteral("prodct.rpt")), reports,
            {sheet.selection(), sheet.formulas(), QStringLiteral("Quorvel Plastics"), world.clock.now()});
    }
    QSqlDatabase::removeDatabase(QStringLiteral("export"));
    return document;
}

// Keeps a copy for looking at when KELVARA_KEEP_EXPORTS names a folder.
void keep(const QString &path)
{
    const QString folder = qEnvironmentVariable("KELVARA_KEEP_EXPORTS");
    if (!folder.isEmpty()) {
        QFile::remove(folder + '/' + QFileInfo(path).fileName());
        QFile::copy(path, folder + '/' + QFileInfo(path).fileName());
    }
}
} // namespace

class TestReportExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void exportTypes()
    {
        QStringList texts;
        for (const ReportExport::Type &type : ReportExport::types())
            texts << QStringLiteral("%1=%2").arg(type.text).arg(type.code);
        QCOMPARE(texts, QStringList({"Word (*.doc)=17", "Excel (*.xls)=19", "Lotus 1-2-3 (*.wk3)=12",
                                     "WordPerfect (*.doc)=18", "Text (*.txt)=2", "PDF (*.pdf)=31"}));
        QCOMPARE(ReportExport::codeFor(QStringLiteral("Excel")), 0);
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("written");
        QTest::newRow("xls becomes xlsx") << "/r/counts.xls" << 19 << "/r/counts.xlsx";
        QTest::newRow("wk3 becomes xlsx") << "/r/counts.wk3" << 12 << "/r/counts.xlsx";
        QTest::newRow("doc becomes odt") << "/r/counts.doc" << 17 << "/r/counts.odt";
        QTest::newRow("no extension") << "/r/counts" << 2 << "/r/counts.txt";
        QTest::newRow("dotted name kept") << "/r/counts.aug" << 31 << "/r/counts.aug.pdf";
        QTest::newRow("right already") << "/r/counts.PDF" << 31 << "/r/counts.PDF";
    }

    void fileNames()
    {
        QFETCH(QString, typed);
        QFETCH(int, code);
        QFETCH(QString, written);
        QCOMPARE(ReportExport::fileName(typed, code), written);
    }

    void pdf()
    {
        DatabaseWorld world;
        ReportDocument document = countsReport(world);
        // a chart page as the rejects report has, and a description cut to its column
        document.layout.chart = {QStringLiteral("Rejects by Reason"),
                                 {{QStringLiteral("Net"), QStringLiteral("Flash")}}};
        document.chart = {{QStringLiteral("Flash"), 40, 80}, {QStringLiteral("Short shot"), 10, 100}};
        const auto detail =
            std::find_if(document.lines.begin(), document.lines.end(),
                         [](const ReportLine &line) { return line.kind == ReportLine::Detail; });
        QVERIFY(detail != document.lines.end());
        // too long for the page even in the smallest type: the description gives way, no figure does
        detail->cells[2] =
            QStringLiteral("Bottle cap, white 28 mm, ribbed, for the \u00D8rsted line") + QString(120, 'x');
        const QString path = world.file(QStringLiteral("counts.pdf"));
        ReportExport::write(document, ReportExport::Pdf, path);
        keep(path);
        const QString text =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("Production Counts Report")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Wednesday, August 11, 1999")));
        QVERIFY(text.contains(QStringLiteral("Bottle cap, white 28 mm")));
        QVERIFY(text.contains(
            QRegularExpression(QStringLiteral("Bottle cap, white 28 mm, ribbed,[^\\n]*x\u2026"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Report Total\\s+13,650\\s+13,550"))));
        QVERIFY(text.contains(QStringLiteral("Rejects by Reason")));
        QVERIFY(text.contains(QStringLiteral("Short shot")));
        QVERIFY(text.contains(QStringLiteral("Page 2 of 2")));
        // every font is embedded, and a reader draws the pages without a complaint
        const QStringList fonts =
            run(QStringLiteral("pdffonts"), {path}).split('\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY(fonts.size() >= 2);
        for (const QString &font : fonts)
            QVERIFY2(font.contains(QRegularExpression(QStringLiteral("Identity-H\\s+yes\\s+yes\\s+yes"))),
                     qPrintable(font));
        QProcess render;
        render.start(QStringLiteral("pdftoppm"),
                     {QStringLiteral("-r"), QStringLiteral("40"), path, world.file(QStringLiteral("page"))});
        QVERIFY(render.waitForFinished(30000));
        QCOMPARE(render.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(render.readAllStandardError()), QString());
    }

    // Characters DejaVu Sans lacks are drawn in a fallback font that is embedded too, and every
    // character copies as itself; one no font has copies as U+FFFD, and only that one.
    void pdfCharacters_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("copied");
        QTest::newRow("CJK") << QStringLiteral("成形機 部品") << QStringLiteral("成形機 部品");
        QTest::newRow("emoji") << QStringLiteral("Cap \U0001F600 lid")
                               << QStringLiteral("Cap \U0001F600 lid");
        QTest::newRow("emoji of a fallback")
            << QStringLiteral("Plant \U0001F3ED") << QStringLiteral("Plant \U0001F3ED");
        QTest::newRow("symbols") << QStringLiteral("Ω ✓ → ½ €") << QStringLiteral("Ω ✓ → ½ €");
        QTest::newRow("accented") << QStringLiteral("Crème brûlée Ørsted Łódź")
                                  << QStringLiteral("Crème brûlée Ørsted Łódź");
        QTest::newRow("no font has it")
            << QStringLiteral("Lid \U0010FFFD 成") << QStringLiteral("Lid \uFFFD 成");
    }

    void pdfCharacters()
    {
        QFETCH(QString, description);
        QFETCH(QString, copied);
        DatabaseWorld world;
        ReportDocument document = countsReport(world);
        for (ReportLine &line : document.lines) {
            if (line.kind == ReportLine::Detail)
                line.cells[2] = description;
        }
        const QString path = world.file(QStringLiteral("characters.pdf"));
        ReportExport::write(document, ReportExport::Pdf, path);
        keep(path);
        const QString text =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), path, QStringLiteral("-")});
        QVERIFY2(text.contains(copied), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Production Counts Report")));
        const QStringList fonts =
            run(QStringLiteral("pdffonts"), {path}).split('\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY(!fonts.isEmpty());
        for (const QString &font : fonts)
            QVERIFY2(font.contains(QRegularExpression(QStringLiteral("Identity-H\\s+yes\\s+yes\\s+yes"))),
                     qPrintable(font));
    }

    // The printer and the print preview paint the same pages through Qt's own paged devices.
    void printerPages()
    {
        DatabaseWorld world;
        const ReportDocument document = countsReport(world);
        const QString path = world.file(QStringLiteral("printed.pdf"));
        {
            QPdfWriter printer(path);
            const ReportPainter painter(document);
            painter.setUpPage(printer);
            QCOMPARE(painter.paint(printer), 1);
        }
        const QString text =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("Bottle cap, white 28 mm")), qPrintable(text));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Report Total\\s+13,650\\s+13,550"))));
    }

    void workbook()
    {
        DatabaseWorld world;
        const QString path = world.file(QStringLiteral("counts.xlsx"));
        ReportDocument document = countsReport(world);
        addChart(document);
        ReportExport::write(document, ReportExport::Excel, path);
        keep(path);
        const QString strings = unzipped(path, QStringLiteral("xl/sharedStrings.xml"));
        const QString sheet = unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY2(strings.contains(QStringLiteral("Net Finished Goods")), qPrintable(strings));
        QVERIFY(strings.contains(QStringLiteral("Bottle cap, white 28 mm")));
        // the first detail row: date 08/11/1999 as a date serial (36383) with a date format,
        // machine 3 and the net finished goods 3700 as numbers
        QVERIFY2(
            sheet.contains(QRegularExpression(QStringLiteral("<c r=\"A\\d+\" s=\"\\d+\"><v>36383</v></c>"))),
            qPrintable(sheet.left(3000)));
        QVERIFY(sheet.contains(QRegularExpression(QStringLiteral("<c r=\"[C-D]\\d+\"[^>]*><v>3</v></c>"))));
        QVERIFY(sheet.contains(QStringLiteral("<v>3700</v>")));
        QVERIFY(sheet.contains(QStringLiteral("<pane "))); // the header row stays in view
        QVERIFY(sheet.contains(QStringLiteral("<col ")));  // column widths
        const QString styles = unzipped(path, QStringLiteral("xl/styles.xml"));
        QVERIFY(styles.contains(QStringLiteral("formatCode=\"mm/dd/yyyy\"")));
        // the chart's bars on a sheet of their own, charted beside them
        QVERIFY(strings.contains(QStringLiteral("Short shot")));
        const QString chart = unzipped(path, QStringLiteral("xl/charts/chart1.xml"));
        QVERIFY2(chart.contains(QStringLiteral("Chart!$B$2:$B$3")), qPrintable(chart.left(2000)));
    }

    void openDocument()
    {
        DatabaseWorld world;
        const QString path = world.file(QStringLiteral("counts.odt"));
        ReportDocument document = countsReport(world);
        addChart(document);
        ReportExport::write(document, ReportExport::Word, path);
        keep(path);
        QCOMPARE(unzipped(path, QStringLiteral("mimetype")),
                 QStringLiteral("application/vnd.oasis.opendocument.text"));
        const QString content = unzipped(path, QStringLiteral("content.xml"));
        QVERIFY2(content.contains(QStringLiteral("Production Counts Report")),
                 qPrintable(content.left(2000)));
        QVERIFY(content.contains(QStringLiteral("Thursday, August 12, 1999")));
        QVERIFY(content.contains(QStringLiteral("13,650")));
        QVERIFY(content.contains(QStringLiteral("<table:table ")));
        // the chart as a picture above the table
        QVERIFY(content.contains(QStringLiteral("<draw:image ")));
        QVERIFY(
            run(QStringLiteral("unzip"), {QStringLiteral("-l"), path}).contains(QStringLiteral("Pictures/")));
    }

    void text()
    {
        DatabaseWorld world;
        const QString path = world.file(QStringLiteral("counts.txt"));
        ReportExport::write(countsReport(world), ReportExport::Text, path);
        const QString content = QString::fromUtf8(readFile(path));
        QVERIFY(content.contains(QStringLiteral("Total for 08/11/1999")));
        QVERIFY(content.contains(QStringLiteral("Page 1 of 1")));
    }

    void unwritableFolder()
    {
        DatabaseWorld world;
        const ReportDocument document = countsReport(world);
        for (int code : {int(ReportExport::Pdf), int(ReportExport::Excel), int(ReportExport::Word),
                         int(ReportExport::Text)}) {
            const auto error = errorOf<ReportError>([&] {
                ReportExport::write(document, code, world.file(QStringLiteral("missing/folder/out")));
            });
            QVERIFY2(error && error->number() == ReportError::Output, qPrintable(QString::number(code)));
        }
    }
};

QTEST_MAIN(TestReportExport)
#include "test_report_export.moc"
