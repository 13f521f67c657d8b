// Each export type writes a file that a real reader opens: PDF text through pdftotext, the
// workbook's cells from its XML, the OpenDocument text's content.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "reports/engine/ReportDocument.h"
#include "reports/engine/ReportError.h"
#include "reports/engine/ReportExport.h"
#include "reports/engine/ReportPainter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTest>
#include <QThread>
#include <QXmlStreamReader>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

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

// The charts and axes of a workbook's chart part, each as its kind ("barChart", "valAx") and the
// words it is made of in order: "axId=4", "numFmt=0%", "f='Chart'!$C$2:$C$3", "v=0.8".
QList<QPair<QString, QStringList>> plotParts(const QString &chart)
{
    static const QStringList kinds{QStringLiteral("barChart"), QStringLiteral("lineChart"),
                                   QStringLiteral("catAx"), QStringLiteral("valAx")};
    QList<QPair<QString, QStringList>> parts;
    QXmlStreamReader xml(chart);
    int depth = 0, partDepth = -1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && depth-- == partDepth)
            partDepth = -1;
        if (!xml.isStartElement())
            continue;
        ++depth;
        const QString name = xml.name().toString();
        if (partDepth < 0 && kinds.contains(name)) {
            partDepth = depth;
            parts.append({name, {}});
        } else if (partDepth >= 0) {
            const auto attributes = xml.attributes();
            const QString value = attributes.hasAttribute(QStringLiteral("val"))
                                      ? attributes.value(QStringLiteral("val")).toString()
                                      : attributes.value(QStringLiteral("formatCode")).toString();
            if (!value.isEmpty())
                parts.back().second << name + '=' + value;
            else if (name == QLatin1String("f") || name == QLatin1String("v"))
                parts.back().second << name + '=' + xml.readElementText(), --depth;
        }
    }
    return parts;
}

// The first part of this kind (that names the axis, when one is given), or no words.
QStringList plotPart(const QList<QPair<QString, QStringList>> &parts, const QString &kind,
                     const QString &axis = QString())
{
    for (const auto &part : parts) {
        if (part.first == kind && (axis.isEmpty() || part.second.contains(QStringLiteral("axId=") + axis)))
            return part.second;
    }
    return {};
}

// The counts report a hundred times over: pages enough for a cancel or a kill in the middle. Each
// copy's cells end in its number, so that no output packs the copies into next to nothing.
ReportDocument longReport(DatabaseWorld &world)
{
    ReportDocument document = ReportFixture::countsReport(world);
    const QVector<ReportLine> once = document.lines;
    for (int i = 1; i < 100; ++i) {
        for (ReportLine line : once) {
            for (QString &cell : line.cells)
                cell += cell.isEmpty() ? QString() : QString::number(i);
            document.lines += line;
        }
    }
    return document;
}

const QList<int> kOutputs{ReportExport::Pdf, ReportExport::Excel, ReportExport::Word, ReportExport::Text};

QString outputName(int code)
{
    return QStringLiteral("report") + ReportExport::extension(code);
}

// A folder holding only the old report and what else the case put there.
struct OldFile
{
    explicit OldFile(const QString &folder, int code)
        : path(QDir(folder).filePath(outputName(code))), bytes("the report of last week\n")
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    // The old file exactly as it was, and beside it nothing that was not there before.
    bool unchanged(const QStringList &before) const
    {
        return readFile(path) == bytes &&
               QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden | QDir::System) == before;
    }
    QString path;
    QByteArray bytes;
};

// The child process of killedWhileWriting: writes the long report and stops in the middle of it,
// telling so on its output, until it is killed.
int writeAndWait(const QString &job)
{
    DatabaseWorld world;
    const ReportDocument document = longReport(world);
    ReportExport::write(document, job.section(':', 0, 0).toInt(), job.section(':', 1),
                        [](int page, int pages) {
                            if (page >= pages / 2) {
                                ::write(STDOUT_FILENO, "middle\n", 7);
                                for (;;)
                                    QThread::sleep(1);
                            }
                            return true;
                        });
    return 0;
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
        ReportDocument document = ReportFixture::countsReport(world);
        // a chart page as the rejects report has, and a description that wraps in its column
        document.layout.chart = {QStringLiteral("Rejects by Reason"),
                                 {{QStringLiteral("Net"), QStringLiteral("Flash")}}};
        document.chart = {{QStringLiteral("Flash"), 40, 80}, {QStringLiteral("Short shot"), 10, 100}};
        const auto detail =
            std::find_if(document.lines.begin(), document.lines.end(),
                         [](const ReportLine &line) { return line.kind == ReportLine::Detail; });
        QVERIFY(detail != document.lines.end());
        // too long for the page even in the smallest type: the description wraps, no figure gives way
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
        QVERIFY2(text.contains(QRegularExpression(
                     QStringLiteral("Bottle cap, white 28 mm, ribbed,[^\\n]*\\n.*line"))) &&
                     text.contains(QString(40, 'x')) && !text.contains(QChar(0x2026)),
                 qPrintable(text));
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
        // right to left: drawn from the right, joined, and copied in the order typed by a reader
        // that puts the page's text in reading order (as pdftotext does laying out the page)
        QTest::newRow("Hebrew") << QStringLiteral("מכסה לבן") << QStringLiteral("מכסה לבן");
        QTest::newRow("Arabic") << QStringLiteral("غطاء أبيض") << QStringLiteral("غطاء أبيض");
        QTest::newRow("Hebrew in Latin") << QStringLiteral("Cap מכסה לבן") << QStringLiteral("מכסה לבן");
        QTest::newRow("no font has it")
            << QStringLiteral("Lid \U0010FFFD 成") << QStringLiteral("Lid \uFFFD 成");
    }

    void pdfCharacters()
    {
        QFETCH(QString, description);
        QFETCH(QString, copied);
        DatabaseWorld world;
        ReportDocument document = ReportFixture::countsReport(world);
        for (ReportLine &line : document.lines) {
            if (line.kind == ReportLine::Detail)
                line.cells[2] = description;
        }
        const QString path = world.file(QStringLiteral("characters.pdf"));
        ReportExport::write(document, ReportExport::Pdf, path);
        keep(path);
        const bool rightToLeft = copied.isRightToLeft();
        QString text = run(
            QStringLiteral("pdftotext"),
            {rightToLeft ? QStringLiteral("-layout") : QStringLiteral("-raw"), path, QStringLiteral("-")});
        text.remove(QRegularExpression(QStringLiteral("[\u202A-\u202E]"))); // the marks of its direction
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
        const ReportDocument document = ReportFixture::countsReport(world);
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
        ReportDocument document = ReportFixture::countsReport(world);
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
        // a figure's caption at its right, texts in from the left: neither runs into a figure
        QVERIFY2(styles.contains(QStringLiteral("<alignment horizontal=\"right\" wrapText=\"1\"/>")) &&
                     styles.contains(QStringLiteral("<alignment horizontal=\"left\" indent=\"1\"/>")),
                 qPrintable(styles));
        // the chart's bars on a sheet of their own, charted beside them
        QVERIFY(strings.contains(QStringLiteral("Short shot")));
        // the Pareto chart: the bars against the counts, the cumulative line against a second
        // axis on the right in percent from 0 to 100%, figures on both axes and at the points
        const QString chart = unzipped(path, QStringLiteral("xl/charts/chart1.xml"));
        const auto parts = plotParts(chart);
        const QStringList bars = plotPart(parts, QStringLiteral("barChart"));
        QVERIFY2(bars.contains(QStringLiteral("f='Chart'!$A$2:$A$3")) &&
                     bars.contains(QStringLiteral("f='Chart'!$B$2:$B$3")) &&
                     bars.contains(QStringLiteral("v=40")) && bars.contains(QStringLiteral("showVal=1")),
                 qPrintable(chart.left(3000)));
        const QStringList line = plotPart(parts, QStringLiteral("lineChart"));
        QVERIFY2(line.contains(QStringLiteral("f='Chart'!$C$2:$C$3")) &&
                     line.contains(QStringLiteral("v=0.8")) && line.contains(QStringLiteral("v=1")) &&
                     line.contains(QStringLiteral("showVal=1")),
                 qPrintable(line.join(' ')));
        const QStringList lineAxes = line.filter(QStringLiteral("axId="));
        QCOMPARE(lineAxes.size(), 2);
        QVERIFY(!bars.contains(lineAxes[0]) && !bars.contains(lineAxes[1]));
        const QStringList percents = plotPart(parts, QStringLiteral("valAx"), lineAxes[1].mid(5));
        for (const char *word :
             {"numFmt=0%", "min=0", "max=1", "majorUnit=0.2", "delete=0", "axPos=r", "crosses=max"})
            QVERIFY2(percents.contains(QLatin1String(word)), qPrintable(word + (' ' + percents.join(' '))));
        const QStringList counts =
            plotPart(parts, QStringLiteral("valAx"), bars.filter(QStringLiteral("axId=")).last().mid(5));
        for (const char *word : {"numFmt=#,##0", "min=0", "max=50", "majorUnit=10", "delete=0", "axPos=l"})
            QVERIFY2(counts.contains(QLatin1String(word)), qPrintable(word + (' ' + counts.join(' '))));
        // the chart's sheet prints landscape on one page
        const QString chartSheet = unzipped(path, QStringLiteral("xl/worksheets/sheet2.xml"));
        QVERIFY2(chartSheet.contains(QStringLiteral("orientation=\"landscape\"")) &&
                     chartSheet.contains(QStringLiteral("fitToPage=\"1\"")),
                 qPrintable(chartSheet));
        // the group headings and totals as the report prints them, each total a SUBTOTAL of its
        // group's rows with the report's figure cached
        int footers = 0;
        for (const ReportLine &line : document.lines) {
            if (line.kind == ReportLine::GroupHeader || line.kind == ReportLine::GroupFooter)
                QVERIFY2(strings.contains(line.text.toHtmlEscaped()), qPrintable(line.text));
            footers += line.kind == ReportLine::GroupFooter;
        }
        QVERIFY(footers >= 2);
        static const QRegularExpression subtotal(QStringLiteral(
            "<c r=\"([A-Z]+)(\\d+)\"[^>]*><f>SUBTOTAL\\(9,([A-Z]+)(\\d+):([A-Z]+)(\\d+)\\)</f><v>"
            "([-\\d.]+)</v>"));
        int formulas = 0;
        for (auto it = subtotal.globalMatch(sheet); it.hasNext(); ++formulas) {
            const auto m = it.next();
            QCOMPARE(m.captured(3), m.captured(1)); // its own column
            QVERIFY(m.captured(6).toInt() < m.captured(2).toInt());
        }
        QVERIFY2(formulas >= footers + 1, qPrintable(sheet.left(4000)));
        QVERIFY(sheet.contains(QStringLiteral("<v>13650</v>")));
    }

    // The widest value of a column is a bold total: the column holds it, by the font's metrics.
    void documentColumnHoldsBoldTotal()
    {
        DatabaseWorld world;
        ReportDocument document = ReportFixture::countsReport(world);
        int column = -1;
        for (int c = 0; c < document.layout.columns.size() && column < 0; ++c)
            column = document.layout.columns[c].total ? c : -1;
        QVERIFY(column >= 0);
        const QString total = QStringLiteral("8,888,888,888");
        for (ReportLine &line : document.lines) {
            if (line.kind == ReportLine::GrandTotal)
                line.cells[column] = total;
            else if (line.kind == ReportLine::Detail)
                line.cells[column] = QStringLiteral("88,888,888"); // short: the total decides
        }
        const QString path = world.file(QStringLiteral("bold.odt"));
        ReportExport::write(document, ReportExport::Word, path);
        const QString content = unzipped(path, QStringLiteral("content.xml"));
        const auto attribute = [&](const QString &style, const QString &name) {
            const QRegularExpression pattern(
                QStringLiteral("style:name=\"%1\"[^>]*>\\s*<[^>]*%2=\"([\\d.]+)pt\"")
                    .arg(QRegularExpression::escape(style), name));
            return pattern.match(content).captured(1).toDouble();
        };
        const double width =
            attribute(QStringLiteral("Report.C%1").arg(column + 1), QStringLiteral("column-width"));
        const double points =
            QRegularExpression(QStringLiteral("style:name=\"RB\".*?fo:font-size=\"([\\d.]+)pt\""))
                .match(content)
                .captured(1)
                .toDouble();
        QVERIFY2(width > 0 && points > 0, qPrintable(content.left(3000)));
        QFont bold = ReportPainter::typeface();
        bold.setPixelSize(100);
        bold.setBold(true);
        const double needed = QFontMetricsF(bold).horizontalAdvance(total) / 100 * points + 4; // padding
        QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 pt for %2 pt").arg(width).arg(needed)));
        // the other scripts' text in the same font and size as the rest
        static const QRegularExpression properties(QStringLiteral("<style:text-properties [^>]*>"));
        for (auto it = properties.globalMatch(content); it.hasNext();) {
            const QString element = it.next().captured(0);
            const QString size =
                QRegularExpression(QStringLiteral("fo:font-size=\"([^\"]+)\"")).match(element).captured(1);
            for (const QString script : {QStringLiteral("asian"), QStringLiteral("complex")})
                QVERIFY2(element.contains(QStringLiteral("style:font-size-%1=\"%2\"").arg(script, size)) &&
                             element.contains(QStringLiteral("style:font-family-%1=").arg(script)),
                         qPrintable(element));
        }
    }

    // The document as the printed report: the heading and the captions in the page's header (on
    // every page), each line a paragraph whose tab stops stand in the columns, the chart above.
    void openDocument()
    {
        DatabaseWorld world;
        const QString path = world.file(QStringLiteral("counts.odt"));
        ReportDocument document = ReportFixture::countsReport(world);
        addChart(document);
        ReportExport::write(document, ReportExport::Word, path);
        keep(path);
        QCOMPARE(unzipped(path, QStringLiteral("mimetype")),
                 QStringLiteral("application/vnd.oasis.opendocument.text"));
        const QString styles = unzipped(path, QStringLiteral("styles.xml"));
        const QString header =
            QRegularExpression(QStringLiteral("<style:header>.*</style:header>")).match(styles).captured(0);
        QVERIFY2(header.contains(QStringLiteral("Production Counts Report")), qPrintable(styles));
        for (const ReportColumn &column : document.layout.columns) {
            for (const QString &part : column.caption.split('\n'))
                QVERIFY2(header.contains(QStringLiteral("<text:tab/>") + part), qPrintable(part));
        }
        const QString content = unzipped(path, QStringLiteral("content.xml"));
        QVERIFY(content.contains(
            QStringLiteral("<text:p text:style-name=\"GroupLine\">Thursday, August 12, 1999<")));
        const auto detail =
            std::find_if(document.lines.begin(), document.lines.end(),
                         [](const ReportLine &line) { return line.kind == ReportLine::Detail; });
        QString tabbed;
        for (const QString &cell : detail->cells)
            tabbed += QStringLiteral("<text:tab/>") + cell.toHtmlEscaped();
        QVERIFY2(content.contains(QStringLiteral("<text:p text:style-name=\"DetailLine\">") + tabbed +
                                  QStringLiteral("</text:p>")),
                 qPrintable(tabbed));
        QVERIFY(content.contains(QStringLiteral("<text:tab/>13,650")));
        // each column's tab stop inside it: at its right for figures, at its left for texts
        QList<double> widths;
        static const QRegularExpression columnWidth(
            QStringLiteral("style:name=\"Report.C\\d+\"[^>]*>\\s*<[^>]*style:column-width=\"([\\d.]+)pt\""));
        for (auto it = columnWidth.globalMatch(content); it.hasNext();)
            widths << it.next().captured(1).toDouble();
        const QString detailStyle =
            QRegularExpression(QStringLiteral("style:name=\"DetailLine\".*?</style:style>"))
                .match(styles)
                .captured(0);
        static const QRegularExpression stop(
            QStringLiteral("<style:tab-stop style:position=\"([\\d.]+)pt\" style:type=\"(\\w+)\""));
        QList<QPair<double, QString>> stops;
        for (auto it = stop.globalMatch(detailStyle); it.hasNext();) {
            const auto m = it.next();
            stops.append({m.captured(1).toDouble(), m.captured(2)});
        }
        QCOMPARE(stops.size(), document.layout.columns.size());
        QCOMPARE(widths.size(), stops.size());
        double left = 0;
        for (int c = 0; c < stops.size(); ++c) {
            const bool right = document.layout.columns[c].align == ReportColumn::Right;
            QVERIFY2(
                stops[c].first > left && stops[c].first < left + widths[c] &&
                    stops[c].second == (right ? QLatin1String("right") : QLatin1String("left")) &&
                    (right ? stops[c].first > left + widths[c] / 2 : stops[c].first < left + widths[c] / 2),
                qPrintable(QStringLiteral("column %1: %2 %3 in %4 to %5")
                               .arg(c)
                               .arg(stops[c].second)
                               .arg(stops[c].first)
                               .arg(left)
                               .arg(left + widths[c])));
            left += widths[c];
        }
        // the chart as a picture above the lines
        QVERIFY(content.contains(QStringLiteral("<draw:image ")));
        QVERIFY(
            run(QStringLiteral("unzip"), {QStringLiteral("-l"), path}).contains(QStringLiteral("Pictures/")));
    }

    // Every line of the report is in the document once: a paragraph, or a table row where a text is
    // too long for its column and wraps inside it.
    void openDocumentLines()
    {
        DatabaseWorld world;
        const QString path = world.file(QStringLiteral("long.odt"));
        ReportDocument document = ReportFixture::countsReport(world);
        auto detail = std::find_if(document.lines.begin(), document.lines.end(),
                                   [](const ReportLine &line) { return line.kind == ReportLine::Detail; });
        detail = document.lines.insert(detail, 600, *detail);
        detail->cells[2] =
            QStringLiteral("Housing, front, with snap-fit clips and a living hinge ").repeated(4);
        ReportExport::write(document, ReportExport::Word, path);
        const QString content = unzipped(path, QStringLiteral("content.xml"));
        QCOMPARE(content.count(QStringLiteral("<table:table-row>")), 1);
        QVERIFY(content.contains(QStringLiteral("living hinge Housing")));
        const qsizetype paragraphs = content.count(QRegularExpression(QStringLiteral(
            "<text:p text:style-name=\"(DetailLine|TotalLine|GroupLine|SubgroupLine|MessageLine)\">")));
        QCOMPARE(paragraphs + 1, document.lines.size());
    }

    void text()
    {
        DatabaseWorld world;
        const QString path = world.file(QStringLiteral("counts.txt"));
        ReportExport::write(ReportFixture::countsReport(world), ReportExport::Text, path);
        const QString content = QString::fromUtf8(readFile(path));
        QVERIFY(content.contains(QStringLiteral("Total for 08/11/1999")));
        QVERIFY(content.contains(QStringLiteral("Page 1 of 1")));
    }

    void cancelInTheMiddle()
    {
        DatabaseWorld world;
        const ReportDocument document = longReport(world);
        for (int code : kOutputs) {
            const OldFile old(world.file(QString()), code);
            const QStringList before = QDir(world.file(QString())).entryList(QDir::Files | QDir::Hidden);
            int seen = 0;
            const auto cancelled = errorOf<ReportCancelled>([&] {
                ReportExport::write(document, code, old.path, [&](int page, int pages) {
                    seen = pages;
                    return page < pages / 2;
                });
            });
            QVERIFY2(cancelled && seen > 2, qPrintable(outputName(code)));
            QVERIFY2(old.unchanged(before), qPrintable(outputName(code)));
        }
    }

    // A disk that fills while the report is written (a small disk when root may mount one, else a
    // file size limit that cuts the write short): the error says why, the old file stays.
    void fullDisk()
    {
        DatabaseWorld world;
        const ReportDocument document = longReport(world);
        const QString folder = world.file(QStringLiteral("small"));
        QDir().mkpath(folder);
        const bool smallDisk =
            ::mount("tmpfs", folder.toLocal8Bit().constData(), "tmpfs", 0, "size=256k") == 0;
        const auto unmount = qScopeGuard([&] {
            if (smallDisk)
                ::umount(folder.toLocal8Bit().constData());
        });
        std::signal(SIGXFSZ, SIG_IGN);
        for (int code : kOutputs) {
            const OldFile old(folder, code);
            QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
            if (smallDisk) {
                filler.open(QIODevice::WriteOnly);
                filler.write(QByteArray(QStorageInfo(folder).bytesAvailable() - 16 * 1024, 'x'));
                filler.close();
            }
            const QStringList before = QDir(folder).entryList(QDir::Files | QDir::Hidden);
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            const rlimit unlimited = limit;
            limit.rlim_cur = smallDisk ? limit.rlim_cur : 16 * 1024;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            const auto error = errorOf<ReportError>([&] { ReportExport::write(document, code, old.path); });
            ::setrlimit(RLIMIT_FSIZE, &unlimited);
            QVERIFY2(
                error && (!smallDisk || error->text().startsWith(QStringLiteral("The disk holding"))),
                qPrintable(outputName(code) + ": " + (error ? error->text() : QStringLiteral("written"))));
            QVERIFY2(old.unchanged(before), qPrintable(outputName(code)));
            QFile::remove(filler.fileName());
            QFile::remove(old.path);
        }
    }

    void killedWhileWriting()
    {
        DatabaseWorld world;
        for (int signal : {SIGTERM, SIGKILL}) {
            for (int code : kOutputs) {
                const OldFile old(world.file(QString()), code);
                const QStringList before = QDir(world.file(QString())).entryList(QDir::Files | QDir::Hidden);
                QTemporaryDir childTemp;
                QProcess child;
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                environment.insert(QStringLiteral("TMPDIR"), childTemp.path());
                environment.insert(QStringLiteral("KELVARA_WRITE_AND_WAIT"),
                                   QStringLiteral("%1:%2").arg(code).arg(old.path));
                child.setProcessEnvironment(environment);
                child.start(QCoreApplication::applicationFilePath(), {});
                QVERIFY(child.waitForReadyRead(60000));
                QCOMPARE(child.readAllStandardOutput(), QByteArray("middle\n"));
                ::kill(pid_t(child.processId()), signal);
                QVERIFY(child.waitForFinished(30000));
                QVERIFY2(old.unchanged(before), qPrintable(outputName(code)));
            }
        }
    }

    void unwritableFolder()
    {
        DatabaseWorld world;
        const ReportDocument document = ReportFixture::countsReport(world);
        for (int code : {int(ReportExport::Pdf), int(ReportExport::Excel), int(ReportExport::Word),
                         int(ReportExport::Text)}) {
            const auto error = errorOf<ReportError>([&] {
                ReportExport::write(document, code, world.file(QStringLiteral("missing/folder/out")));
            });
            QVERIFY2(error && error->number() == ReportError::Output, qPrintable(QString::number(code)));
        }
    }
};

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    if (const QString job = qEnvironmentVariable("KELVARA_WRITE_AND_WAIT"); !job.isEmpty())
        return writeAndWait(job);
    TestReportExport test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_report_export.moc"
