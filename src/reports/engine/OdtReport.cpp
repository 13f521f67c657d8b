#include "OdtReport.h"

#include "OutputFile.h"
#include "ReportDocument.h"
#include "ReportError.h"
#include "ReportPainter.h"
#include "ZipWriter.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QXmlStreamWriter>

namespace {
const QString kOffice = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString kStyle = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
const QString kText = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString kTable = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString kFo = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
const QString kDraw = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:drawing:1.0");
const QString kSvg = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0");
const QString kXlink = QStringLiteral("http://www.w3.org/1999/xlink");
const QString kManifest = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:manifest:1.0");

// The width of a character of the table's font, in ems: DejaVu Sans digits and the average of its
// letters are 0.64 em wide; a little more keeps each text inside its cell.
constexpr double kCharEm = 0.66;
// No character of a report's text is wider than this: a text whose length times it is within the
// width found so far needs no measuring.
constexpr double kWidestCharEm = 1.3;
constexpr double kLargestPoints = 8.0, kSmallestPoints = 6.0;
// The most a column of texts grows to for its texts, in ems: a third of a portrait page's table.
constexpr double kTextShareEms = 540.0 / 3 / kLargestPoints;

// Each column's width in ems: the layout's width, or its widest text when wider, measured in the
// font it is set in (the captions and totals in bold). `least` gets the width no column goes
// below: its layout width and its heading, and for a figure its widest figure as well.
QVector<double> columnEms(const ReportDocument &document, QVector<double> &least)
{
    const QList<ReportColumn> &columns = document.layout.columns;
    QFont font = ReportPainter::typeface();
    font.setPixelSize(100); // advances in hundredths of an em
    const QFontMetricsF regular(font);
    font.setBold(true);
    const QFontMetricsF bold(font);
    const auto widen = [](double &em, const QString &text, const QFontMetricsF &metrics) {
        if (text.size() * kWidestCharEm > em)
            em = std::max(em, metrics.horizontalAdvance(text) / 100 * 1.05);
    };
    QVector<double> ems(columns.size());
    for (int i = 0; i < columns.size(); ++i) {
        ems[i] = columns[i].width * kCharEm;
        for (const QString &part : columns[i].caption.split('\n'))
            widen(ems[i], part, bold);
    }
    // A text (a job's description) wraps inside its column, which grows past its layout's width
    // and its heading up to a share of the page only; a figure always gets its whole width.
    QVector<double> textBound(columns.size());
    for (int i = 0; i < columns.size(); ++i)
        textBound[i] = std::max(ems[i], kTextShareEms);
    least = ems;
    for (const ReportLine &line : document.lines) {
        const QFontMetricsF &metrics = line.kind == ReportLine::Detail ? regular : bold;
        for (int i = 0; i < line.cells.size() && i < ems.size(); ++i) {
            const bool text = line.values.value(i).typeId() == QMetaType::QString;
            if (!text) {
                widen(ems[i], line.cells[i], metrics);
                least[i] = ems[i];
            } else if (ems[i] < textBound[i]) {
                widen(ems[i], line.cells[i], metrics);
                ems[i] = std::min(ems[i], textBound[i]);
            }
        }
    }
    return ems;
}

// Many wrapping texts that would not fit the page even in the smallest font give up what they
// grew past their heading, all in the same proportion, before any figure or heading is squeezed.
void fitTexts(QVector<double> &ems, const QVector<double> &least, double roomEms)
{
    double total = 0, growth = 0;
    for (int i = 0; i < ems.size(); ++i) {
        total += ems[i];
        growth += ems[i] - least[i];
    }
    if (total <= roomEms || growth <= 0)
        return;
    const double keep = std::max(0.0, 1 - (total - roomEms) / growth);
    for (int i = 0; i < ems.size(); ++i)
        ems[i] = least[i] + (ems[i] - least[i]) * keep;
}

QString points(double value)
{
    return QString::number(value, 'f', 2) + QStringLiteral("pt");
}

// The page and table of the printed report, in points.
struct Geometry
{
    QPageLayout page;
    double tableWidth = 0;
    double fontPoints = kLargestPoints;
    QVector<double> columns; // each column's width
};

Geometry geometryOf(const ReportDocument &document)
{
    Geometry g;
    g.page = ReportPainter(document).pageLayout(QPageSize(QPageSize::Letter));
    g.tableWidth = g.page.paintRect(QPageLayout::Point).width();
    QVector<double> least;
    QVector<double> ems = columnEms(document, least);
    const double padding = 4; // points of cell padding, both sides together
    const double room = g.tableWidth - padding * ems.size();
    fitTexts(ems, least, room / kSmallestPoints);
    double total = 0;
    for (double em : ems)
        total += em;
    // as large as 8 points while each column holds its widest text whole
    g.fontPoints = std::clamp(room / total, kSmallestPoints, kLargestPoints);
    double sum = 0;
    for (double em : ems) {
        g.columns.append(em * g.fontPoints + padding);
        sum += g.columns.back();
    }
    for (double &width : g.columns) // stretched (or, past the smallest font, squeezed) to the page
        width *= g.tableWidth / sum;
    return g;
}

// The font of text in each of the three script groups a word processor tells apart (Western, Asian:
// CJK and Korean, complex: Arabic, Hebrew): without the other two, those scripts take the word
// processor's default font and size.
void writeFont(QXmlStreamWriter &xml, double size, bool bold)
{
    const QString family = ReportPainter::typeface().family();
    const QString weight = bold ? QStringLiteral("bold") : QStringLiteral("normal");
    xml.writeAttribute(kFo, QStringLiteral("font-family"), family);
    xml.writeAttribute(kFo, QStringLiteral("font-size"), points(size));
    xml.writeAttribute(kFo, QStringLiteral("font-weight"), weight);
    for (const QLatin1String script : {QLatin1String("asian"), QLatin1String("complex")}) {
        xml.writeAttribute(kStyle, QStringLiteral("font-family-") + script, family);
        xml.writeAttribute(kStyle, QStringLiteral("font-size-") + script, points(size));
        xml.writeAttribute(kStyle, QStringLiteral("font-weight-") + script, weight);
    }
}

class ContentWriter
{
public:
    ContentWriter(QIODevice &device, const ReportDocument &document, const Geometry &geometry)
        : m_xml(&device), m_doc(document), m_g(geometry)
    {
        m_xml.setAutoFormatting(false);
    }

    bool write(bool chart, const std::function<bool(int, int)> &progress)
    {
        m_xml.writeStartDocument();
        m_xml.writeNamespace(kOffice, QStringLiteral("office"));
        m_xml.writeNamespace(kStyle, QStringLiteral("style"));
        m_xml.writeNamespace(kText, QStringLiteral("text"));
        m_xml.writeNamespace(kTable, QStringLiteral("table"));
        m_xml.writeNamespace(kFo, QStringLiteral("fo"));
        m_xml.writeNamespace(kDraw, QStringLiteral("draw"));
        m_xml.writeNamespace(kSvg, QStringLiteral("svg"));
        m_xml.writeNamespace(kXlink, QStringLiteral("xlink"));
        m_xml.writeStartElement(kOffice, QStringLiteral("document-content"));
        m_xml.writeAttribute(kOffice, QStringLiteral("version"), QStringLiteral("1.2"));
        styles();
        m_xml.writeStartElement(kOffice, QStringLiteral("body"));
        m_xml.writeStartElement(kOffice, QStringLiteral("text"));
        heading(chart);
        if (!table(progress))
            return false;
        m_xml.writeEndElement(); // text
        m_xml.writeEndElement(); // body
        m_xml.writeEndElement(); // document-content
        m_xml.writeEndDocument();
        return !m_xml.hasError();
    }

private:
    void style(const QString &name, const QString &family)
    {
        m_xml.writeStartElement(kStyle, QStringLiteral("style"));
        m_xml.writeAttribute(kStyle, QStringLiteral("name"), name);
        m_xml.writeAttribute(kStyle, QStringLiteral("family"), family);
    }

    void paragraphStyle(const QString &name, const QString &align, double size, bool bold)
    {
        style(name, QStringLiteral("paragraph"));
        m_xml.writeEmptyElement(kStyle, QStringLiteral("paragraph-properties"));
        m_xml.writeAttribute(kFo, QStringLiteral("text-align"), align);
        m_xml.writeEmptyElement(kStyle, QStringLiteral("text-properties"));
        writeFont(m_xml, size, bold);
        m_xml.writeEndElement();
    }

    void styles()
    {
        m_xml.writeStartElement(kOffice, QStringLiteral("automatic-styles"));
        style(QStringLiteral("Report"), QStringLiteral("table"));
        m_xml.writeEmptyElement(kStyle, QStringLiteral("table-properties"));
        m_xml.writeAttribute(kStyle, QStringLiteral("width"), points(m_g.tableWidth));
        m_xml.writeAttribute(kTable, QStringLiteral("align"), QStringLiteral("margins"));
        m_xml.writeEndElement();
        // absolute widths, with the relative widths ODF defines ("n*") beside them
        for (int c = 0; c < m_g.columns.size(); ++c) {
            style(QStringLiteral("Report.C%1").arg(c + 1), QStringLiteral("table-column"));
            m_xml.writeEmptyElement(kStyle, QStringLiteral("table-column-properties"));
            m_xml.writeAttribute(kStyle, QStringLiteral("column-width"), points(m_g.columns[c]));
            m_xml.writeAttribute(kStyle, QStringLiteral("rel-column-width"),
                                 QString::number(qRound(m_g.columns[c] * 20)) + '*');
            m_xml.writeEndElement();
        }
        for (const auto &[name, shade] : {std::pair{QStringLiteral("Cell"), QString()},
                                          std::pair{QStringLiteral("Group"), QStringLiteral("#e2e7ee")}}) {
            style(name, QStringLiteral("table-cell"));
            m_xml.writeEmptyElement(kStyle, QStringLiteral("table-cell-properties"));
            m_xml.writeAttribute(kFo, QStringLiteral("padding"), QStringLiteral("2pt"));
            m_xml.writeAttribute(kFo, QStringLiteral("border"), QStringLiteral("0.5pt solid #808080"));
            if (!shade.isEmpty())
                m_xml.writeAttribute(kFo, QStringLiteral("background-color"), shade);
            m_xml.writeEndElement();
        }
        paragraphStyle(QStringLiteral("Company"), QStringLiteral("center"), 14, true);
        paragraphStyle(QStringLiteral("Title"), QStringLiteral("center"), 12, true);
        paragraphStyle(QStringLiteral("Heading"), QStringLiteral("center"), 9, false);
        paragraphStyle(QStringLiteral("Printed"), QStringLiteral("center"), 8, false);
        const double size = m_g.fontPoints;
        for (const auto &[name, align] : {std::pair{QStringLiteral("L"), QStringLiteral("start")},
                                          std::pair{QStringLiteral("R"), QStringLiteral("end")},
                                          std::pair{QStringLiteral("C"), QStringLiteral("center")}}) {
            paragraphStyle(name, align, size, false);
            paragraphStyle(name + 'B', align, size, true);
        }
        m_xml.writeEndElement();
    }

    void paragraph(const QString &styleName, const QString &text)
    {
        m_xml.writeStartElement(kText, QStringLiteral("p"));
        m_xml.writeAttribute(kText, QStringLiteral("style-name"), styleName);
        const QStringList parts = text.split('\n');
        for (int i = 0; i < parts.size(); ++i) {
            if (i > 0)
                m_xml.writeEmptyElement(kText, QStringLiteral("line-break"));
            m_xml.writeCharacters(parts[i]);
        }
        m_xml.writeEndElement();
    }

    void heading(bool chart)
    {
        paragraph(QStringLiteral("Company"), m_doc.company);
        paragraph(QStringLiteral("Title"), m_doc.layout.title);
        for (const QString &line : m_doc.heading)
            paragraph(QStringLiteral("Heading"), line);
        paragraph(QStringLiteral("Printed"),
                  QStringLiteral("Printed ") +
                      QLocale().toString(m_doc.printed, QStringLiteral("MM/dd/yyyy h:mm AP")));
        if (!chart)
            return;
        // the chart as a picture above the table, 10 by 6 inches scaled to the table's width
        m_xml.writeStartElement(kText, QStringLiteral("p"));
        m_xml.writeAttribute(kText, QStringLiteral("style-name"), QStringLiteral("C"));
        m_xml.writeStartElement(kDraw, QStringLiteral("frame"));
        m_xml.writeAttribute(kDraw, QStringLiteral("name"), QStringLiteral("Chart"));
        m_xml.writeAttribute(kText, QStringLiteral("anchor-type"), QStringLiteral("as-char"));
        m_xml.writeAttribute(kSvg, QStringLiteral("width"), points(m_g.tableWidth));
        m_xml.writeAttribute(kSvg, QStringLiteral("height"), points(m_g.tableWidth * 0.6));
        m_xml.writeEmptyElement(kDraw, QStringLiteral("image"));
        m_xml.writeAttribute(kXlink, QStringLiteral("href"), QStringLiteral("Pictures/chart.png"));
        m_xml.writeAttribute(kXlink, QStringLiteral("type"), QStringLiteral("simple"));
        m_xml.writeAttribute(kXlink, QStringLiteral("show"), QStringLiteral("embed"));
        m_xml.writeAttribute(kXlink, QStringLiteral("actuate"), QStringLiteral("onLoad"));
        m_xml.writeEndElement();
        m_xml.writeEndElement();
    }

    static QString alignStyle(ReportColumn::Align align, bool bold)
    {
        const QString name = align == ReportColumn::Right    ? QStringLiteral("R")
                             : align == ReportColumn::Center ? QStringLiteral("C")
                                                             : QStringLiteral("L");
        return bold ? name + 'B' : name;
    }

    void cell(const QString &text, const QString &paragraphStyle, int span = 1,
              const QString &cellStyle = QStringLiteral("Cell"))
    {
        m_xml.writeStartElement(kTable, QStringLiteral("table-cell"));
        m_xml.writeAttribute(kTable, QStringLiteral("style-name"), cellStyle);
        if (span > 1)
            m_xml.writeAttribute(kTable, QStringLiteral("number-columns-spanned"), QString::number(span));
        m_xml.writeAttribute(kOffice, QStringLiteral("value-type"), QStringLiteral("string"));
        if (!text.isEmpty())
            paragraph(paragraphStyle, text);
        m_xml.writeEndElement();
        for (int i = 1; i < span; ++i)
            m_xml.writeEmptyElement(kTable, QStringLiteral("covered-table-cell"));
    }

    void row(const ReportLine &line)
    {
        const QList<ReportColumn> &columns = m_doc.layout.columns;
        m_xml.writeStartElement(kTable, QStringLiteral("table-row"));
        if (line.kind == ReportLine::GroupHeader || line.kind == ReportLine::Message) {
            cell(line.text, line.kind == ReportLine::GroupHeader ? QStringLiteral("LB") : QStringLiteral("C"),
                 int(columns.size()),
                 line.kind == ReportLine::GroupHeader && line.level == 0 ? QStringLiteral("Group")
                                                                         : QStringLiteral("Cell"));
        } else {
            const bool totals = line.kind != ReportLine::Detail;
            int c = 0;
            if (totals) { // the caption spans the columns before the first total
                int span = 0;
                while (span < columns.size() && !columns[span].total)
                    ++span;
                if (span > 0) {
                    cell(line.text, QStringLiteral("LB"), span);
                    c = span;
                }
            }
            for (; c < columns.size(); ++c)
                cell(line.cells.value(c), alignStyle(columns[c].align, totals));
        }
        m_xml.writeEndElement();
    }

    bool table(const std::function<bool(int, int)> &progress)
    {
        const QList<ReportColumn> &columns = m_doc.layout.columns;
        m_xml.writeStartElement(kTable, QStringLiteral("table"));
        m_xml.writeAttribute(kTable, QStringLiteral("name"), QStringLiteral("Report"));
        m_xml.writeAttribute(kTable, QStringLiteral("style-name"), QStringLiteral("Report"));
        for (int c = 0; c < columns.size(); ++c) {
            m_xml.writeEmptyElement(kTable, QStringLiteral("table-column"));
            m_xml.writeAttribute(kTable, QStringLiteral("style-name"),
                                 QStringLiteral("Report.C%1").arg(c + 1));
        }
        // the caption row, repeated at the top of every page
        m_xml.writeStartElement(kTable, QStringLiteral("table-header-rows"));
        m_xml.writeStartElement(kTable, QStringLiteral("table-row"));
        for (const ReportColumn &column : columns)
            cell(column.caption, alignStyle(column.align, true));
        m_xml.writeEndElement();
        m_xml.writeEndElement();
        const int lines = int(m_doc.lines.size());
        for (int i = 0; i < lines; ++i) {
            row(m_doc.lines[i]);
            if (m_xml.hasError() || (progress && !progress(i + 1, lines)))
                return false;
        }
        m_xml.writeEndElement();
        return true;
    }

    QXmlStreamWriter m_xml;
    const ReportDocument &m_doc;
    const Geometry &m_g;
};

QByteArray stylesXml(const Geometry &g)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(kOffice, QStringLiteral("office"));
    xml.writeNamespace(kStyle, QStringLiteral("style"));
    xml.writeNamespace(kFo, QStringLiteral("fo"));
    xml.writeStartElement(kOffice, QStringLiteral("document-styles"));
    xml.writeAttribute(kOffice, QStringLiteral("version"), QStringLiteral("1.2"));
    xml.writeStartElement(kOffice, QStringLiteral("styles"));
    xml.writeStartElement(kStyle, QStringLiteral("default-style"));
    xml.writeAttribute(kStyle, QStringLiteral("family"), QStringLiteral("paragraph"));
    xml.writeEmptyElement(kStyle, QStringLiteral("text-properties"));
    writeFont(xml, kLargestPoints, false);
    xml.writeEndElement();
    xml.writeEndElement();
    // the page of the printed report: its paper, orientation and margins
    xml.writeStartElement(kOffice, QStringLiteral("automatic-styles"));
    xml.writeStartElement(kStyle, QStringLiteral("page-layout"));
    xml.writeAttribute(kStyle, QStringLiteral("name"), QStringLiteral("Page"));
    xml.writeEmptyElement(kStyle, QStringLiteral("page-layout-properties"));
    const QRectF paper = g.page.fullRect(QPageLayout::Point);
    const QMarginsF margins = g.page.margins(QPageLayout::Point);
    xml.writeAttribute(kFo, QStringLiteral("page-width"), points(paper.width()));
    xml.writeAttribute(kFo, QStringLiteral("page-height"), points(paper.height()));
    xml.writeAttribute(kStyle, QStringLiteral("print-orientation"),
                       g.page.orientation() == QPageLayout::Landscape ? QStringLiteral("landscape")
                                                                      : QStringLiteral("portrait"));
    xml.writeAttribute(kFo, QStringLiteral("margin-left"), points(margins.left()));
    xml.writeAttribute(kFo, QStringLiteral("margin-right"), points(margins.right()));
    xml.writeAttribute(kFo, QStringLiteral("margin-top"), points(margins.top()));
    xml.writeAttribute(kFo, QStringLiteral("margin-bottom"), points(margins.bottom()));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeStartElement(kOffice, QStringLiteral("master-styles"));
    xml.writeEmptyElement(kStyle, QStringLiteral("master-page"));
    xml.writeAttribute(kStyle, QStringLiteral("name"), QStringLiteral("Standard"));
    xml.writeAttribute(kStyle, QStringLiteral("page-layout-name"), QStringLiteral("Page"));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

QByteArray manifestXml(bool chart)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(kManifest, QStringLiteral("manifest"));
    xml.writeStartElement(kManifest, QStringLiteral("manifest"));
    xml.writeAttribute(kManifest, QStringLiteral("version"), QStringLiteral("1.2"));
    const auto entry = [&](const QString &path, const QString &type) {
        xml.writeEmptyElement(kManifest, QStringLiteral("file-entry"));
        xml.writeAttribute(kManifest, QStringLiteral("full-path"), path);
        if (path == QLatin1String("/"))
            xml.writeAttribute(kManifest, QStringLiteral("version"), QStringLiteral("1.2"));
        xml.writeAttribute(kManifest, QStringLiteral("media-type"), type);
    };
    entry(QStringLiteral("/"), QStringLiteral("application/vnd.oasis.opendocument.text"));
    entry(QStringLiteral("content.xml"), QStringLiteral("text/xml"));
    entry(QStringLiteral("styles.xml"), QStringLiteral("text/xml"));
    if (chart)
        entry(QStringLiteral("Pictures/chart.png"), QStringLiteral("image/png"));
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

QByteArray chartPng(const ReportDocument &document)
{
    const QImage chart = ReportPainter(document).chartImage(200);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    chart.save(&buffer, "PNG");
    return png;
}
} // namespace

void OdtReport::write(const ReportDocument &document, const QString &path,
                      const std::function<bool(int, int)> &progress)
{
    const Geometry geometry = geometryOf(document);
    const QByteArray png = document.layout.chart.bars.isEmpty() ? QByteArray() : chartPng(document);
    OutputFile file(path); // dropped unless committed: a cancel or a failure keeps the old file
    if (!file.open())
        throw ReportError(ReportError::Output, file.failure());
    ZipWriter zip(file, document.printed);
    // the "mimetype" first and stored, so that a reader knows the file by its first bytes
    zip.add(QStringLiteral("mimetype"), QByteArrayLiteral("application/vnd.oasis.opendocument.text"), false);
    zip.add(QStringLiteral("META-INF/manifest.xml"), manifestXml(!png.isEmpty()));
    bool cancelled = false;
    if (zip.begin(QStringLiteral("content.xml"))) {
        ZipMemberDevice content(zip);
        ContentWriter writer(content, document, geometry);
        cancelled = !writer.write(!png.isEmpty(), progress) && !zip.failed();
        if (!cancelled)
            zip.end();
    }
    if (cancelled)
        throw ReportCancelled(QStringLiteral("The export was cancelled."));
    zip.add(QStringLiteral("styles.xml"), stylesXml(geometry));
    if (!png.isEmpty())
        zip.add(QStringLiteral("Pictures/chart.png"), png, false);
    if (!zip.finish() || !file.commit())
        throw ReportError(ReportError::Output, file.failure());
}
