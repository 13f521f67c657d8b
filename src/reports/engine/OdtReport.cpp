#include "OdtReport.h"

#include "OdtParts.h"
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

using namespace OdtParts;

namespace {
// Each column's width in ems: the layout's width, or its widest text when wider, measured in the
// font it is set in (the captions and totals in bold). `least` gets the width a column of texts may
// be squeezed to, its layout's width or its heading, and 0 for a column that may not be.
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
    least = QVector<double>(columns.size(), 0.0);
    for (int i = 0; i < columns.size(); ++i)
        textBound[i] = std::max(ems[i], kTextShareEms);
    document.forEachLine([&](const ReportLine &line) {
        const QFontMetricsF &metrics = line.kind == ReportLine::Detail ? regular : bold;
        for (int i = 0; i < line.cells.size() && i < ems.size(); ++i) {
            const bool text = line.values.value(i).typeId() == QMetaType::QString;
            if (!text || columns[i].total) {
                widen(ems[i], line.cells[i], metrics);
            } else if (ems[i] < textBound[i]) {
                if (least[i] == 0)
                    least[i] = ems[i];
                widen(ems[i], line.cells[i], metrics);
                ems[i] = std::min(ems[i], textBound[i]);
            }
        }
        return true;
    });
    return ems;
}

Geometry geometryOf(const ReportDocument &document)
{
    Geometry g;
    g.page = ReportPainter(document).pageLayout(QPageSize(QPageSize::Letter));
    g.tableWidth = g.page.paintRect(QPageLayout::Point).width();
    QVector<double> least;
    const QVector<double> ems = columnEms(document, least);
    const double padding = 5; // points of cell padding and border, both sides together
    double total = 0;
    for (double em : ems)
        total += em;
    // as large as 8 points while each column holds its widest text whole
    const double room = g.tableWidth - padding * ems.size();
    g.fontPoints = std::clamp(room / total, kSmallestPoints, kLargestPoints);
    double sum = 0, spare = 0;
    for (int i = 0; i < ems.size(); ++i) {
        g.columns.append(ems[i] * g.fontPoints + padding);
        sum += g.columns.back();
        if (least[i] > 0)
            spare += (ems[i] - least[i]) * g.fontPoints;
    }
    if (sum <= g.tableWidth) {
        for (double &width : g.columns) // stretched to the page
            width *= g.tableWidth / sum;
        return g;
    }
    // past the smallest font, the columns of texts give up room down to their layout's width, where
    // their texts wrap; the headings and figures keep theirs, whatever it takes
    const double share = spare > 0 ? std::min(1.0, (sum - g.tableWidth) / spare) : 0;
    double squeezed = 0;
    for (int i = 0; i < ems.size(); ++i) {
        if (least[i] > 0)
            g.columns[i] -= (ems[i] - least[i]) * g.fontPoints * share;
        squeezed += g.columns[i];
    }
    // still too wide (eleven-digit figures in every column): a smaller font, rather than a figure
    // or heading broken over two lines
    if (squeezed > g.tableWidth) {
        const double scale = room / (squeezed - padding * ems.size());
        g.fontPoints *= scale;
        for (double &width : g.columns)
            width = (width - padding) * scale + padding;
    }
    return g;
}

// The styles of the lines, which the page's header (the captions) and the body share: each a
// paragraph with the columns as tab stops, spaced as a table's rows; a rule under the captions and
// over the totals, the outermost group headings shaded, as the printed report.
void lineStyles(QXmlStreamWriter &xml, const ReportDocument &document, const Geometry &g)
{
    const QList<ReportColumn> &columns = document.layout.columns;
    const double size = g.fontPoints;
    // spaced as the rows of a table, but for the lines of one caption
    const auto spaced = [&](const QString &border, int firstStop, double above = kPadding,
                            double below = kPadding) {
        return [&xml, &g, &columns, border, firstStop, above, below] {
            xml.writeAttribute(kFo, QStringLiteral("margin-top"), points(above));
            xml.writeAttribute(kFo, QStringLiteral("margin-bottom"), points(below));
            if (!border.isEmpty()) {
                xml.writeAttribute(kFo, QStringLiteral("padding-") + border, QStringLiteral("2pt"));
                xml.writeAttribute(kFo, QStringLiteral("border-") + border, kRule);
            }
            if (firstStop >= 0)
                writeTabStops(xml, g, columns, firstStop);
        };
    };
    writeParagraphStyle(xml, QStringLiteral("CaptionLine"), QStringLiteral("start"), size, true,
                        spaced({}, 0, kPadding, 0));
    writeParagraphStyle(xml, QStringLiteral("CaptionLast"), QStringLiteral("start"), size, true,
                        spaced(QStringLiteral("bottom"), 0, 0));
    writeParagraphStyle(xml, QStringLiteral("DetailLine"), QStringLiteral("start"), size, false,
                        spaced({}, 0));
    writeParagraphStyle(xml, QStringLiteral("TotalLine"), QStringLiteral("start"), size, true,
                        spaced(QStringLiteral("top"), document.layout.totalsCaptionSpan()));
    writeParagraphStyle(xml, QStringLiteral("GroupLine"), QStringLiteral("start"), size, true, [&] {
        spaced({}, -1)();
        xml.writeAttribute(kFo, QStringLiteral("background-color"), QStringLiteral("#e2e7ee"));
    });
    writeParagraphStyle(xml, QStringLiteral("SubgroupLine"), QStringLiteral("start"), size, true,
                        spaced({}, -1));
    writeParagraphStyle(xml, QStringLiteral("MessageLine"), QStringLiteral("center"), size, false,
                        spaced({}, -1));
}

// The page's header, on every page as on the printed report: company, title, the heading lines,
// when it was printed, and the captions, a line for each of their lines.
void pageHeader(QXmlStreamWriter &xml, const ReportDocument &document)
{
    xml.writeStartElement(kStyle, QStringLiteral("header"));
    writeParagraph(xml, QStringLiteral("Company"), document.company);
    writeParagraph(xml, QStringLiteral("Title"), document.layout.title);
    for (const QString &line : document.heading)
        writeParagraph(xml, QStringLiteral("Heading"), line);
    writeParagraph(xml, QStringLiteral("Printed"),
                   QStringLiteral("Printed ") +
                       QLocale().toString(document.printed, QStringLiteral("MM/dd/yyyy h:mm AP")));
    QList<QStringList> captions;
    int lines = 1;
    for (const ReportColumn &column : document.layout.columns) {
        captions << column.caption.split('\n');
        lines = std::max<int>(lines, captions.back().size());
    }
    for (int l = 0; l < lines; ++l) {
        QStringList parts;
        for (const QStringList &caption : captions)
            parts << caption.value(l);
        writeTabbed(xml, l == lines - 1 ? QStringLiteral("CaptionLast") : QStringLiteral("CaptionLine"),
                    QString(), parts);
    }
    xml.writeEndElement();
}

QByteArray stylesXml(const ReportDocument &document, const Geometry &g)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(kOffice, QStringLiteral("office"));
    xml.writeNamespace(kStyle, QStringLiteral("style"));
    xml.writeNamespace(kText, QStringLiteral("text"));
    xml.writeNamespace(kFo, QStringLiteral("fo"));
    xml.writeStartElement(kOffice, QStringLiteral("document-styles"));
    xml.writeAttribute(kOffice, QStringLiteral("version"), QStringLiteral("1.2"));
    xml.writeStartElement(kOffice, QStringLiteral("styles"));
    xml.writeStartElement(kStyle, QStringLiteral("default-style"));
    xml.writeAttribute(kStyle, QStringLiteral("family"), QStringLiteral("paragraph"));
    xml.writeEmptyElement(kStyle, QStringLiteral("text-properties"));
    writeFont(xml, kLargestPoints, false);
    xml.writeEndElement();
    writeParagraphStyle(xml, QStringLiteral("Company"), QStringLiteral("center"), 14, true);
    writeParagraphStyle(xml, QStringLiteral("Title"), QStringLiteral("center"), 12, true);
    writeParagraphStyle(xml, QStringLiteral("Heading"), QStringLiteral("center"), 9, false);
    writeParagraphStyle(xml, QStringLiteral("Printed"), QStringLiteral("center"), 8, false);
    lineStyles(xml, document, g);
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
    xml.writeStartElement(kStyle, QStringLiteral("header-style"));
    xml.writeEmptyElement(kStyle, QStringLiteral("header-footer-properties"));
    xml.writeAttribute(kFo, QStringLiteral("min-height"), QStringLiteral("0pt"));
    xml.writeAttribute(kFo, QStringLiteral("margin-bottom"), QStringLiteral("2pt"));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeStartElement(kOffice, QStringLiteral("master-styles"));
    xml.writeStartElement(kStyle, QStringLiteral("master-page"));
    xml.writeAttribute(kStyle, QStringLiteral("name"), QStringLiteral("Standard"));
    xml.writeAttribute(kStyle, QStringLiteral("page-layout-name"), QStringLiteral("Page"));
    pageHeader(xml, document);
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
        cancelled = !writeContent(content, document, geometry, !png.isEmpty(), progress) && !zip.failed();
        if (!cancelled)
            zip.end();
    }
    if (cancelled)
        throw ReportCancelled(QStringLiteral("The export was cancelled."));
    zip.add(QStringLiteral("styles.xml"), stylesXml(document, geometry));
    if (!png.isEmpty())
        zip.add(QStringLiteral("Pictures/chart.png"), png, false);
    if (!zip.finish() || !file.commit())
        throw ReportError(ReportError::Output, file.failure());
}
