// A long report keeps its lines in a temporary file and its outputs read them from there: every
// output of such a report is that of the same report held in memory, and rows the report
// database orders otherwise than the report still print in the report's order.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "foundation/Database.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportParmsSheet.h"
#include "reports/ReportStaging.h"
#include "reports/engine/ReportDocument.h"
#include "reports/engine/ReportExport.h"
#include "reports/engine/ReportPainter.h"
#include "reports/engine/TextReport.h"

#include <QDir>
#include <QImage>
#include <QLocale>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {
QList<ReportLine> linesOf(const ReportDocument &document)
{
    QList<ReportLine> lines;
    document.forEachLine([&](const ReportLine &line) {
        lines.append(line);
        return true;
    });
    return lines;
}

// The line as text, every part and every value's type in it, for comparing and for a failure's
// message.
QString described(const ReportLine &line)
{
    QStringList parts{QString::number(line.kind), QString::number(line.level), line.text,
                      line.cells.join('|')};
    for (const QVector<QVariant> *list : {&line.values, &line.keys}) {
        for (const QVariant &value : *list)
            parts << QStringLiteral("%1:%2").arg(value.typeId()).arg(value.toString());
    }
    return parts.join(';');
}

QString unzipped(const QString &archive, const QString &member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, member});
    unzip.waitForFinished(30000);
    return QString::fromUtf8(unzip.readAllStandardOutput());
}

// An element with its attributes and all it holds, as text.
QString elementText(QXmlStreamReader &xml)
{
    QString text;
    for (int depth = 0; !xml.atEnd();) {
        if (xml.isStartElement()) {
            ++depth;
            text += '<' + xml.name().toString();
            for (const QXmlStreamAttribute &attribute : xml.attributes())
                text += ' ' + attribute.name().toString() + '=' + attribute.value().toString();
            text += '>';
        } else if (xml.isEndElement() && --depth == 0) {
            return text;
        }
        xml.readNext();
    }
    return text;
}

// Each cell format of a workbook as what it is (number format, font, fill, border, alignment), not
// by its number, which the library gives in another order when it writes a sheet row by row.
QStringList cellFormats(const QString &workbook)
{
    QMap<QString, QStringList> parts; // fonts, fills and borders in their order
    QMap<QString, QString> numberFormats;
    QStringList formats;
    QXmlStreamReader xml(unzipped(workbook, QStringLiteral("xl/styles.xml")));
    QString list;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QString name = xml.name().toString();
        const QXmlStreamAttributes attributes = xml.attributes();
        if (name == QLatin1String("fonts") || name == QLatin1String("fills") ||
            name == QLatin1String("borders") || name == QLatin1String("cellXfs") ||
            name == QLatin1String("cellStyleXfs")) {
            list = name;
        } else if (name == QLatin1String("numFmt")) {
            numberFormats[attributes.value(QLatin1String("numFmtId")).toString()] =
                attributes.value(QLatin1String("formatCode")).toString();
        } else if (name == QLatin1String("xf") && list == QLatin1String("cellXfs")) {
            QString format;
            for (const char *part : {"font", "fill", "border"}) {
                const QString id = attributes.value(QLatin1String(part) + QLatin1String("Id")).toString();
                format += parts.value(QLatin1String(part) + 's').value(id.toInt()) + ';';
            }
            const QString number = attributes.value(QLatin1String("numFmtId")).toString();
            formats << format + numberFormats.value(number, number) + ';' + elementText(xml);
        } else if (list != QLatin1String("cellXfs") && list != QLatin1String("cellStyleXfs") &&
                   (name == QLatin1String("font") || name == QLatin1String("fill") ||
                    name == QLatin1String("border"))) {
            parts[list] << elementText(xml);
        }
    }
    return formats;
}

// The cells of a workbook's sheet, each its reference, format, formula and value, a text as
// itself whether the sheet shares it or holds it in its cell (as a long report's sheet does).
QByteArray cellsOf(const QString &workbook)
{
    QStringList shared;
    QXmlStreamReader strings(unzipped(workbook, QStringLiteral("xl/sharedStrings.xml")));
    while (!strings.atEnd()) {
        if (strings.readNext() == QXmlStreamReader::StartElement && strings.name() == QLatin1String("si"))
            shared << strings.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    const QStringList formats = cellFormats(workbook);
    QStringList cells;
    QXmlStreamReader sheet(unzipped(workbook, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString cell, type, formula;
    while (!sheet.atEnd()) {
        sheet.readNext();
        const QStringView name = sheet.name();
        if (sheet.isStartElement() && name == QLatin1String("c")) {
            const QXmlStreamAttributes attributes = sheet.attributes();
            cell = attributes.value(QLatin1String("r")).toString() + '/' +
                   formats.value(attributes.value(QLatin1String("s")).toInt());
            type = attributes.value(QLatin1String("t")).toString();
            formula.clear();
        } else if (sheet.isStartElement() && name == QLatin1String("f")) {
            formula = sheet.readElementText();
        } else if (sheet.isStartElement() && (name == QLatin1String("v") || name == QLatin1String("is"))) {
            const QString value = sheet.readElementText(QXmlStreamReader::IncludeChildElements);
            cells << cell + '/' + formula + '/' +
                         (type == QLatin1String("s") ? shared.value(value.toInt()) : value);
        }
    }
    return cells.join('\n').toUtf8();
}

// The file's content as the comparison takes it: a workbook's cells (its archive carries the time
// it was written), any other file whole.
QByteArray contentOf(const QString &path, int code)
{
    return code == ReportExport::Excel ? cellsOf(path) : readFile(path);
}

// Each output of the spooled document is that of the one in memory.
void compareOutputs(const ReportDocument &memory, const ReportDocument &spooled)
{
    QVERIFY(!memory.spool && spooled.spool && spooled.lines.isEmpty());
    QCOMPARE(spooled.lineCount(), memory.lines.size());
    QCOMPARE(spooled.detailRows, memory.detailRows);
    QStringList expected;
    for (const ReportLine &line : memory.lines)
        expected << described(line);
    for (int walk = 0; walk < 2; ++walk) { // walked twice, the same lines
        QStringList walked;
        for (const ReportLine &line : linesOf(spooled))
            walked << described(line);
        QCOMPARE(walked, expected);
    }
    QCOMPARE(TextReport::render(spooled, 30), TextReport::render(memory, 30));
    QTemporaryDir dir;
    for (const int code : {int(ReportExport::Pdf), int(ReportExport::Word), int(ReportExport::Excel),
                           int(ReportExport::Text)}) {
        const QString extension = ReportExport::extension(code);
        const QString inMemory = dir.filePath(QStringLiteral("memory") + extension);
        const QString fromSpool = dir.filePath(QStringLiteral("spooled") + extension);
        ReportExport::write(memory, code, inMemory);
        ReportExport::write(spooled, code, fromSpool);
        const QByteArray content = contentOf(inMemory, code);
        QVERIFY2(content.size() > 200, qPrintable(extension));
        if (code == ReportExport::Excel) // by cell, for the message
            QCOMPARE(QString::fromUtf8(contentOf(fromSpool, code)).split('\n'),
                     QString::fromUtf8(content).split('\n'));
        QVERIFY2(contentOf(fromSpool, code) == content, qPrintable(extension));
    }
    // the preview paints a page alone, from where its lines start
    const QPageLayout page = ReportPainter(memory).pageLayout(QPageSize(QPageSize::Letter));
    const ReportPages memoryPages(memory, page, 72), spooledPages(spooled, page, 72);
    QCOMPARE(spooledPages.count(), memoryPages.count());
    for (int p = memoryPages.count() - 1; p >= 0; --p)
        QVERIFY2(spooledPages.image(p, 0.5) == memoryPages.image(p, 0.5), qPrintable(QString::number(p)));
}
} // namespace

class TestReportStream : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // The reports of the fixture plant, read from the report database: continued group headings
    // on short pages, nested groups, a summary without details.
    void spooledAsInMemory_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("file");
        QTest::newRow("prodct") << 1 << -1 << "prodct.rpt";
        QTest::newRow("onhold") << 3 << 0 << "onhold.rpt";
        QTest::newRow("prodsumm") << 4 << 1 << "prodsumm.rpt";
    }

    void spooledAsInMemory()
    {
        QFETCH(int, type);
        QFETCH(int, option);
        QFETCH(QString, file);
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        ReportParmsSheet sheet(type);
        ReportFixture::chooseTheFixturesDays(sheet, world, option);
        const QString reportPath = world.file(QStringLiteral("REPORTS.MDB"));
        {
            ReportStaging staging(world.db, reportPath);
            staging.stage(ReportCatalog::of(type).staging.name, ReportCatalog::of(type).table,
                          sheet.stagingParameters());
        }
        ReportDocument memory, spooled;
        {
            QSqlDatabase reports =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("stream"));
            reports.setDatabaseName(reportPath);
            QVERIFY(reports.open());
            ReportRequest request{sheet.selection(), sheet.formulas(), QStringLiteral("Quorvel Plastics"),
                                  world.clock.now()};
            request.linesInMemory = 100000;
            memory = buildReport(ReportFixture::layoutPath(file), reports, request);
            request.linesInMemory = 0;
            spooled = buildReport(ReportFixture::layoutPath(file), reports, request);
            reports.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("stream"));
        // the spool outlives the report database's table and connection
        QVERIFY(QFile::remove(reportPath));
        compareOutputs(memory, spooled);
        // nothing of the spool is named in the temporary folder: a killed process leaves nothing
        QVERIFY(QDir::temp().entryList({QStringLiteral("kelvara-report-*")}, QDir::Files).isEmpty());
        if (type == 1)
            QVERIFY(TextReport::render(spooled, 30).contains(QStringLiteral(" (continued)")));
    }

    // Rows in memory spooled alike: the rejects' chart page and totals wider than their columns.
    void chartFromRowsInMemory()
    {
        const ReportLayout layout =
            ReportLayout::load(ReportFixture::layoutPath(QStringLiteral("rejects.rpt")));
        const ReportData data =
            ReportFixture::sampleData(layout, 120, {57479500, 12, -3706935, 40},
                                      {QStringLiteral("Lens, indicator"), QStringLiteral("Tray")});
        ReportRequest request{
            QString(), {}, QStringLiteral("Quorvel Plastics"), QDateTime({1999, 8, 13}, {7, 30})};
        const ReportDocument memory = ReportDocument::build(layout, data, request);
        request.linesInMemory = 10; // the first lines in memory, then all of them in the spool
        const ReportDocument spooled = ReportDocument::build(layout, data, request);
        QVERIFY(!memory.chart.isEmpty());
        QCOMPARE(spooled.chart.size(), memory.chart.size());
        compareOutputs(memory, spooled);
    }

    // SQLite orders texts by their UTF-8 bytes, or as the column's collation says; the report
    // orders them by their UTF-16 units and case. Rows that come in another order than the
    // report's are sorted as a report in memory sorts them.
    void reportOrderWhereTheDatabaseSortsOtherwise()
    {
        DatabaseWorld world;
        const QString layoutPath = world.file(QStringLiteral("order.rpt"));
        QVERIFY(writeFile(layoutPath, R"({"title": "Order", "table": "T",
            "groups": [{"field": "Name", "header": "Name {Name}", "footer": ""}],
            "columns": [{"field": "Name", "caption": "Name", "width": 6},
                        {"field": "Qty", "caption": "Qty", "width": 5, "align": "right", "total": true}],
            "grandTotal": "Total"})"));
        const QString reportPath = world.file(QStringLiteral("ORDER.MDB"));
        {
            Database reports = Database::createFile(reportPath);
            reports.exec(
                QStringLiteral("CREATE TABLE \"T\" (\"Name\" TEXT COLLATE NOCASE, \"Qty\" INTEGER)"));
            reports.exec(
                QString::fromUtf8("INSERT INTO \"T\" VALUES ('b', 1), ('B', 2), ('a', 3), (NULL, 4), "
                                  "('A', 5), ('\xF0\x9F\x98\x80', 6), ('\xEF\xBF\xBD', 7)"));
        }
        QSqlDatabase reports = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("order"));
        reports.setDatabaseName(reportPath);
        QVERIFY(reports.open());
        ReportRequest request{QString(), {}, QStringLiteral("Quorvel Plastics"), {}};
        request.linesInMemory = 0;
        const ReportDocument document = buildReport(layoutPath, reports, request);
        reports.close();
        reports = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("order"));
        QStringList headings;
        for (const ReportLine &line : linesOf(document)) {
            if (line.kind == ReportLine::GroupHeader)
                headings << line.text;
        }
        QCOMPARE(headings, QStringList({QStringLiteral("Name "), QStringLiteral("Name A"),
                                        QStringLiteral("Name B"), QStringLiteral("Name a"),
                                        QStringLiteral("Name b"), QString::fromUtf8("Name \xF0\x9F\x98\x80"),
                                        QString::fromUtf8("Name \xEF\xBF\xBD")}));
        QCOMPARE(document.detailRows, 7);
    }
};

QTEST_MAIN(TestReportStream)
#include "test_report_stream.moc"
