// Every shipped layout exported as a reader shows it: the OpenDocument text and the workbook
// converted to PDF by LibreOffice, the engine's PDF and text read back, with a year's figures
// and negative totals that are wider than the layout's columns.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "reports/engine/ReportDocument.h"
#include "reports/engine/ReportError.h"
#include "reports/engine/ReportExport.h"
#include "reports/engine/ReportFormat.h"
#include "reports/engine/ReportLayout.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString run(const QString &program, const QStringList &args, int timeout = 30000)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(timeout) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(program, QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList layoutFiles()
{
    return QDir(QStringLiteral(KELVARA_LAYOUT_DIR))
        .entryList({QStringLiteral("*.rpt")}, QDir::Files, QDir::Name);
}

// A layout filled with rows whose figures and descriptions are wider than its columns.
ReportDocument sample(const QString &file, int rows = 4)
{
    const ReportLayout layout = ReportLayout::load(ReportFixture::layoutPath(file));
    const ReportData data = ReportFixture::sampleData(
        layout, rows, {57479500, 57479500, -3706935, -3706935},
        {QStringLiteral("Lens, indicator, clear polycarbonate PC"), QStringLiteral("Tray insert, clear")});
    return ReportDocument::build(
        layout, data, {QString(), {}, QStringLiteral("Quorvel Plastics"), QDateTime({1999, 8, 13}, {7, 30})});
}

// The production counts with one job's description of 330 characters.
ReportDocument withLongDescription()
{
    const ReportLayout layout = ReportLayout::load(ReportFixture::layoutPath(QStringLiteral("prodct.rpt")));
    const QString longText =
        QStringLiteral("Housing, front, with snap-fit clips and a living hinge ").repeated(6);
    return ReportDocument::build(
        layout,
        ReportFixture::sampleData(layout, 4, {57479500, 3706935}, {longText, QStringLiteral("Tray insert")}),
        {QString(), {}, QStringLiteral("Quorvel Plastics"), QDateTime({1999, 8, 13}, {7, 30})});
}

// The widest layout with figures of 11 digits: its texts give up room, its figures none.
ReportDocument widestFigures()
{
    const ReportLayout layout = ReportLayout::load(ReportFixture::layoutPath(QStringLiteral("rejects.rpt")));
    return ReportDocument::build(
        layout,
        ReportFixture::sampleData(layout, 2, {12345678901, -3706935},
                                  {QStringLiteral("Lens, indicator, clear polycarbonate PC")}),
        {QString(), {}, QStringLiteral("Quorvel Plastics"), QDateTime({1999, 8, 13}, {7, 30})});
}

// The regular expression of texts in this order on one line.
QRegularExpression inOrder(const QStringList &texts)
{
    QStringList parts;
    for (const QString &text : texts)
        parts << QRegularExpression::escape(text);
    return QRegularExpression(QStringLiteral("(^|\\s)") + parts.join(QStringLiteral("\\s+")) +
                                  QStringLiteral("(\\s|$)"),
                              QRegularExpression::MultilineOption);
}

QStringList firstCaptionLines(const ReportDocument &document)
{
    QStringList parts;
    for (const ReportColumn &column : document.layout.columns)
        parts << column.caption.split('\n').first();
    return parts;
}

// The first detail line's cells in order on one line; of a text, which may wrap in its column,
// what comes before its first blank.
QRegularExpression firstDetail(const ReportDocument &document)
{
    for (const ReportLine &line : document.lines) {
        if (line.kind != ReportLine::Detail)
            continue;
        QStringList parts;
        for (int c = 0; c < line.cells.size(); ++c) {
            if (line.cells[c].isEmpty())
                continue;
            const bool text = line.values[c].typeId() == QMetaType::QString;
            parts << (text ? QRegularExpression::escape(line.cells[c].section(' ', 0, 0)) +
                                 QStringLiteral("[^\\n]*?")
                           : QRegularExpression::escape(line.cells[c]));
        }
        return QRegularExpression(QStringLiteral("(^|\\s)") + parts.join(QStringLiteral("\\s+")) +
                                      QStringLiteral("(\\s|$)"),
                                  QRegularExpression::MultilineOption);
    }
    return {};
}
} // namespace

class TestExportLayouts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Each layout's document and the production counts workbook, converted by one LibreOffice run:
    // the captions come out whole and in order, as do the first row's cells, and the workbook prints
    // its columns on one page wide, landscape, like the report.
    void libreOffice()
    {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed; scripts/setup.sh installs it");
        QTemporaryDir dir;
        QStringList inputs;
        for (const QString &file : layoutFiles()) {
            const QString path = dir.filePath(QFileInfo(file).baseName() + QStringLiteral(".odt"));
            ReportExport::write(sample(file), ReportExport::Word, path);
            inputs << path;
        }
        const QString workbook = dir.filePath(QStringLiteral("prodct-book.xlsx"));
        ReportExport::write(sample(QStringLiteral("prodct.rpt"), 120), ReportExport::Excel, workbook);
        inputs << workbook;
        for (const int type : {int(ReportExport::Word), int(ReportExport::Excel)}) {
            inputs << dir.filePath(QStringLiteral("long") + ReportExport::extension(type).replace('.', '-') +
                                   ReportExport::extension(type));
            ReportExport::write(withLongDescription(), type, inputs.back());
        }
        const ReportDocument widest = widestFigures();
        const ReportLayout &rejects = widest.layout;
        inputs << dir.filePath(QStringLiteral("widest.odt"));
        ReportExport::write(widest, ReportExport::Word, inputs.back());
        QDir(dir.path()).mkdir(QStringLiteral("home"));
        QProcess office;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("TMPDIR"), dir.filePath(QStringLiteral("home")));
        office.setProcessEnvironment(env);
        office.start(soffice, QStringList{QStringLiteral("-env:UserInstallation=file://") +
                                              dir.filePath(QStringLiteral("profile")),
                                          QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                          QStringLiteral("pdf"), QStringLiteral("--outdir"),
                                          dir.filePath(QStringLiteral("pdf"))} +
                                  inputs);
        QVERIFY(office.waitForFinished(180000));
        for (const QString &file : layoutFiles()) {
            const ReportDocument document = sample(file);
            const QString pdf =
                dir.filePath(QStringLiteral("pdf/") + QFileInfo(file).baseName() + QStringLiteral(".pdf"));
            const QString text =
                run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
            QVERIFY2(text.contains(inOrder(firstCaptionLines(document))),
                     qPrintable(file + '\n' + text.left(3000)));
            for (const ReportColumn &column : document.layout.columns) {
                for (const QString &part : column.caption.split('\n'))
                    QVERIFY2(text.contains(inOrder({part})), qPrintable(file + ": " + part));
            }
            QVERIFY2(text.contains(firstDetail(document)), qPrintable(file + '\n' + text.left(3000)));
        }
        // one long description wraps in its column: no heading, job number or figure is broken, and
        // the workbook's printed page stays readable (its captions at least 6 points high)
        const ReportDocument longer = withLongDescription();
        for (const QString &name : {QStringLiteral("long-odt"), QStringLiteral("long-xlsx")}) {
            const QString pdf = dir.filePath(QStringLiteral("pdf/") + name + QStringLiteral(".pdf"));
            const QString text =
                run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
            for (const ReportColumn &column : longer.layout.columns) {
                for (const QString &part : column.caption.split('\n'))
                    QVERIFY2(text.contains(inOrder({part})), qPrintable(name + ": " + part + '\n' + text));
            }
            QVERIFY2(text.contains(inOrder({QStringLiteral("10-1040"), QStringLiteral("Housing,")})) &&
                         text.contains(inOrder({QStringLiteral("57,479,500")})),
                     qPrintable(name + '\n' + text));
            const QString boxes =
                run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
            static const QRegularExpression transfers(
                QStringLiteral("yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">Transfers<"));
            const auto m = transfers.match(boxes);
            QVERIFY2(m.hasMatch() && m.captured(2).toDouble() - m.captured(1).toDouble() >= 6,
                     qPrintable(name + ' ' + m.captured(0)));
        }
        const QString widestText = run(
            QStringLiteral("pdftotext"),
            {QStringLiteral("-layout"), dir.filePath(QStringLiteral("pdf/widest.pdf")), QStringLiteral("-")});
        for (const ReportColumn &column : rejects.columns) {
            for (const QString &part : column.caption.split('\n'))
                QVERIFY2(widestText.contains(inOrder({part})), qPrintable(part + '\n' + widestText));
        }
        QVERIFY2(widestText.contains(firstDetail(widest)), qPrintable(widestText));
        QVERIFY(run(QStringLiteral("pdftotext"),
                    {QStringLiteral("-layout"), dir.filePath(QStringLiteral("pdf/long-odt.pdf")),
                     QStringLiteral("-")})
                    .contains(firstDetail(longer)));

        const QString book = dir.filePath(QStringLiteral("pdf/prodct-book.pdf"));
        const QString info = run(QStringLiteral("pdfinfo"), {book});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+792 x 612"))),
                 qPrintable(info));
        const QString printed =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), book, QStringLiteral("-")});
        const QStringList pages = printed.split('\f', Qt::SkipEmptyParts);
        QVERIFY2(pages.size() >= 2, qPrintable(info));
        for (const QString &page : pages) { // every page has the title, the captions and the last column
            QVERIFY2(page.contains(QStringLiteral("Production Counts Report")), qPrintable(page.left(1500)));
            QVERIFY2(page.contains(QRegularExpression(QStringLiteral("Transfers .* Rejects"))),
                     qPrintable(page.left(1500)));
        }
    }

    // A year's totals and negative totals are never cut: not in the PDF, not in the text.
    void wideFigures_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("pdf") << int(ReportExport::Pdf);
        QTest::newRow("text") << int(ReportExport::Text);
    }

    void wideFigures()
    {
        QFETCH(int, code);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("year") + ReportExport::extension(code));
        ReportExport::write(sample(QStringLiteral("prodct.rpt"), 2), code, path);
        const QString text =
            code == ReportExport::Pdf
                ? run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")})
                : QString::fromUtf8(readFile(path));
        QVERIFY2(
            text.contains(QRegularExpression(QStringLiteral("Report Total.* 114,959,000 .* -7,413,870"))),
            qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Lens, indicator, clear polycarbonate PC")));
        QVERIFY(!text.contains(QChar(0x2026)));
    }

    // What the report shows, every format shows: the weekday names of the daily reports' "Day", the
    // time of an entry (read from the report table as it is stored) and whole descriptions.
    void sameAsReport()
    {
        // Report tables are read from the workstation's report database, a file on every engine.
        TestWorld world;
        Database reports = Database::createFile(world.file(QStringLiteral("REPORTS.MDB")));
        reports.exec(QStringLiteral("CREATE TABLE \"T\" (\"When Added\" TEXT)"));
        reports.exec(QStringLiteral("INSERT INTO \"T\" VALUES ('1999-08-12 14:35:00'), ('1999-08-12')"));
        const ReportData read = ReportData::read(reports.connection(), QStringLiteral("T"));
        QCOMPARE(read.rows()[0][0], QVariant(QDateTime({1999, 8, 12}, {14, 35})));
        QCOMPARE(read.rows()[1][0], QVariant(QDate(1999, 8, 12)));

        QTemporaryDir dir;
        ReportDocument entered = sample(QStringLiteral("reject2.rpt"), 1);
        const int when = int(entered.layout.columns.size()) - 1; // "Entered"
        for (ReportLine &line : entered.lines) {
            if (line.kind == ReportLine::Detail) {
                line.values[when] = read.rows()[0][0];
                line.cells[when] =
                    ReportFormat::value(read.rows()[0][0], entered.layout.columns[when].format);
            }
        }
        ReportExport::write(entered, ReportExport::Text, dir.filePath(QStringLiteral("r.txt")));
        const QString text = QString::fromUtf8(readFile(dir.filePath(QStringLiteral("r.txt"))));
        QVERIFY2(text.contains(QStringLiteral("08/12/1999 14:35")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Lens, indicator, clear polycarbonate PC")));
        ReportExport::write(entered, ReportExport::Excel, dir.filePath(QStringLiteral("r.xlsx")));
        const QString sheet =
            run(QStringLiteral("unzip"), {QStringLiteral("-p"), dir.filePath(QStringLiteral("r.xlsx")),
                                          QStringLiteral("xl/worksheets/sheet1.xml")});
        QVERIFY2(sheet.contains(QStringLiteral("<v>36384.6076")), qPrintable(sheet.left(3000)));
        const QString styles =
            run(QStringLiteral("unzip"), {QStringLiteral("-p"), dir.filePath(QStringLiteral("r.xlsx")),
                                          QStringLiteral("xl/styles.xml")});
        QVERIFY2(styles.contains(QStringLiteral("formatCode=\"mm/dd/yyyy hh:mm\"")), qPrintable(styles));

        ReportExport::write(sample(QStringLiteral("dalycorv.rpt")), ReportExport::Excel,
                            dir.filePath(QStringLiteral("d.xlsx")));
        const QString daily =
            run(QStringLiteral("unzip"), {QStringLiteral("-p"), dir.filePath(QStringLiteral("d.xlsx")),
                                          QStringLiteral("xl/styles.xml")});
        QVERIFY2(daily.contains(QStringLiteral("formatCode=\"dddd\"")), qPrintable(daily));
    }

    // On the Pareto chart no label is written over another: a cumulative percentage that falls
    // where its bar's value is written moves clear of it.
    void chartLabels()
    {
        ReportDocument document = sample(QStringLiteral("rejects.rpt"), 2);
        document.chart = {{QStringLiteral("Flash"), 80000, 80}, {QStringLiteral("Weight"), 20000, 100}};
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("chart.pdf"));
        ReportExport::write(document, ReportExport::Pdf, path);
        const QString boxes = run(QStringLiteral("pdftotext"),
                                  {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                                   QStringLiteral("-l"), QStringLiteral("1"), path, QStringLiteral("-")});
        static const QRegularExpression word(QStringLiteral(
            "xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)<"));
        QList<QPair<QRectF, QString>> words;
        for (auto it = word.globalMatch(boxes); it.hasNext();) {
            const auto m = it.next();
            // a little inside the glyphs' boxes, which touch from line to line
            words.append({QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                 QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))
                              .adjusted(1.5, 1.5, -1.5, -1.5),
                          m.captured(5)});
        }
        QVERIFY2(words.size() > 10, qPrintable(boxes.left(2000)));
        for (int i = 0; i < words.size(); ++i) {
            for (int j = i + 1; j < words.size(); ++j)
                QVERIFY2(!words[i].first.intersects(words[j].first),
                         qPrintable(words[i].second + QStringLiteral(" over ") + words[j].second));
        }
    }

    // One long job description wraps in its column: the headings and figures keep their room, in
    // the PDF, the document and the workbook.
    void longDescription()
    {
        const ReportDocument document = withLongDescription();
        const ReportLayout &layout = document.layout;
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("long.pdf"));
        ReportExport::write(document, ReportExport::Pdf, pdf);
        const QString text =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        for (const ReportColumn &column : layout.columns) {
            for (const QString &part : column.caption.split('\n'))
                QVERIFY2(text.contains(inOrder({part})), qPrintable(part + '\n' + text.left(2000)));
        }
        const QString widestPdf = dir.filePath(QStringLiteral("widest.pdf"));
        ReportExport::write(widestFigures(), ReportExport::Pdf, widestPdf);
        const QString widestText =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), widestPdf, QStringLiteral("-")});
        QVERIFY2(widestText.contains(firstDetail(widestFigures())) &&
                     widestText.contains(inOrder(
                         {QStringLiteral("tion"), QStringLiteral("Weight"), QStringLiteral("Other")})),
                 qPrintable(widestText));
        // the description wraps, whole, in lines of its own under the first
        QVERIFY2(!text.contains(QChar(0x2026)) && text.count(QStringLiteral("living hinge")) == 12 &&
                     text.contains(inOrder({QStringLiteral("10-1040"), QStringLiteral("Housing,")})),
                 qPrintable(text));
        const QString odt = dir.filePath(QStringLiteral("long.odt"));
        ReportExport::write(document, ReportExport::Word, odt);
        const QString content =
            run(QStringLiteral("unzip"), {QStringLiteral("-p"), odt, QStringLiteral("content.xml")});
        static const QRegularExpression columnWidth(QStringLiteral(
            "style:name=\"Report.C(\\d+)\"[^>]*>\\s*<[^>]*style:column-width=\"([\\d.]+)pt\""));
        double widest = 0, narrowest = 1e9;
        for (auto it = columnWidth.globalMatch(content); it.hasNext();) {
            const auto m = it.next();
            widest = std::max(widest, m.captured(2).toDouble());
            narrowest = std::min(narrowest, m.captured(2).toDouble());
        }
        QVERIFY2(widest > 0 && widest < 250 && narrowest > 30,
                 qPrintable(QStringLiteral("%1 to %2 pt").arg(narrowest).arg(widest)));
        const QString book = dir.filePath(QStringLiteral("long.xlsx"));
        ReportExport::write(document, ReportExport::Excel, book);
        const QString sheet = run(QStringLiteral("unzip"),
                                  {QStringLiteral("-p"), book, QStringLiteral("xl/worksheets/sheet1.xml")});
        static const QRegularExpression colWidth(QStringLiteral("<col [^>]*width=\"([\\d.]+)\""));
        for (auto it = colWidth.globalMatch(sheet); it.hasNext();)
            QVERIFY2(it.next().captured(1).toDouble() < 60, qPrintable(sheet.left(1500)));
        QVERIFY(run(QStringLiteral("unzip"), {QStringLiteral("-p"), book, QStringLiteral("xl/styles.xml")})
                    .contains(QStringLiteral("wrapText=\"1\"")));
    }

    // Every export type counts its pages up to the last, and Cancel leaves no file behind.
    void progressAndCancel_data()
    {
        QTest::addColumn<int>("code");
        for (const ReportExport::Type &type : ReportExport::types())
            QTest::newRow(qPrintable(type.text)) << type.code;
    }

    void progressAndCancel()
    {
        QFETCH(int, code);
        QTemporaryDir dir;
        const ReportDocument document = sample(QStringLiteral("prodct.rpt"), 400);
        const QString path = dir.filePath(QStringLiteral("out") + ReportExport::extension(code));
        int last = 0, total = 0;
        ReportExport::write(document, code, path, [&](int page, int pages) {
            last = page;
            total = pages;
            return true;
        });
        QVERIFY(total > 1);
        QCOMPARE(last, total);
        QVERIFY(QFile::remove(path));
        const auto error = errorOf<ReportError>(
            [&] { ReportExport::write(document, code, path, [](int page, int) { return page < 2; }); });
        QVERIFY(error && error->number() == ReportError::Output);
        QVERIFY2(!QFile::exists(path), qPrintable(path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(TestExportLayouts)
#include "test_export_layouts.moc"
