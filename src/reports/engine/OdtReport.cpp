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
// The room of a cell's padding on each side, in points: a tab stops this far inside its column.
constexpr double kPadding = 2.5;
const QString kRule = QStringLiteral("0.5pt solid #000000");
// The most a column of texts grows to for its texts, in ems: a third of a portrait page's table.
constexpr double kTextShareEms = 540.0 / 3 / kLargestPoints;

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

// A paragraph style; `more` adds to its paragraph properties (attributes first, then elements).
void writeParagraphStyle(QXmlStreamWriter &xml, const QString &name, const QString &align, double size,
                         bool bold, const std::function<void()> &more = {})
{
    xml.writeStartElement(kStyle, QStringLiteral("style"));
    xml.writeAttribute(kStyle, QStringLiteral("name"), name);
    xml.writeAttribute(kStyle, QStringLiteral("family"), QStringLiteral("paragraph"));
    xml.writeStartElement(kStyle, QStringLiteral("paragraph-properties"));
    xml.writeAttribute(kFo, QStringLiteral("text-align"), align);
    if (more)
        more();
    xml.writeEndElement();
    xml.writeEmptyElement(kStyle, QStringLiteral("text-properties"));
    writeFont(xml, size, bold);
    xml.writeEndElement();
}

void writeParagraph(QXmlStreamWriter &xml, const QString &styleName, const QString &text)
{
    xml.writeStartElement(kText, QStringLiteral("p"));
    xml.writeAttribute(kText, QStringLiteral("style-name"), styleName);
    const QStringList parts = text.split('\n');
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0)
            xml.writeEmptyElement(kText, QStringLiteral("line-break"));
        xml.writeCharacters(parts[i]);
    }
    xml.writeEndElement();
}

// A line of the report as one paragraph: `lead` at the left, then each of the cells after a tab,
// which takes it to its column's tab stop.
void writeTabbed(QXmlStreamWriter &xml, const QString &styleName, const QString &lead,
                 const QStringList &cells)
{
    xml.writeStartElement(kText, QStringLiteral("p"));
    xml.writeAttribute(kText, QStringLiteral("style-name"), styleName);
    xml.writeCharacters(lead);
    for (const QString &cell : cells) {
        xml.writeEmptyElement(kText, QStringLiteral("tab"));
        xml.writeCharacters(cell);
    }
    xml.writeEndElement();
}

// The columns from `first` on as tab stops: a column's text starts at its left (a left-aligned
// column), ends at its right or is centred in it, inside its padding.
void writeTabStops(QXmlStreamWriter &xml, const Geometry &g, const QList<ReportColumn> &columns, int first)
{
    xml.writeStartElement(kStyle, QStringLiteral("tab-stops"));
    double left = 0;
    for (int c = 0; c < columns.size() && c < g.columns.size(); ++c) {
        const double width = g.columns[c];
        if (c >= first) {
            xml.writeEmptyElement(kStyle, QStringLiteral("tab-stop"));
            const ReportColumn::Align align = columns[c].align;
            const double at = align == ReportColumn::Right    ? left + width - kPadding
                              : align == ReportColumn::Center ? left + width / 2
                                                              : left + kPadding;
            xml.writeAttribute(kStyle, QStringLiteral("position"), points(at));
            xml.writeAttribute(kStyle, QStringLiteral("type"),
                               align == ReportColumn::Right    ? QStringLiteral("right")
                               : align == ReportColumn::Center ? QStringLiteral("center")
                                                               : QStringLiteral("left"));
        }
        left += width;
    }
    xml.writeEndElement();
}

// The columns before the first that has totals: a totals line's caption stands across them.
int totalsCaptionSpan(const QList<ReportColumn> &columns)
{
    int span = 0;
    while (span < columns.size() && !columns[span].total)
        ++span;
    return span;
}

// The table's font at 100 pixels, whose advances are hundredths of an em.
QFontMetricsF metricsOf(bool bold)
{
    QFont font = ReportPainter::typeface();
    font.setPixelSize(100);
    font.setBold(bold);
    return QFontMetricsF(font);
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
        writeParagraphStyle(m_xml, name, align, size, bold);
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
        // the cells of a line whose text wraps, as the lines around it: no grid, a rule over totals
        for (const bool total : {false, true}) {
            style(total ? QStringLiteral("TotalCell") : QStringLiteral("Cell"), QStringLiteral("table-cell"));
            m_xml.writeEmptyElement(kStyle, QStringLiteral("table-cell-properties"));
            // the padding and the room of a border on each side, as the columns' widths count them
            m_xml.writeAttribute(kFo, QStringLiteral("padding"), points(kPadding));
            m_xml.writeAttribute(kFo, QStringLiteral("border"), QStringLiteral("none"));
            if (total) {
                m_xml.writeAttribute(kFo, QStringLiteral("padding-top"), QStringLiteral("2pt"));
                m_xml.writeAttribute(kFo, QStringLiteral("border-top"), kRule);
            }
            m_xml.writeEndElement();
        }
        const double size = m_g.fontPoints;
        for (const auto &[name, align] : {std::pair{QStringLiteral("L"), QStringLiteral("start")},
                                          std::pair{QStringLiteral("R"), QStringLiteral("end")},
                                          std::pair{QStringLiteral("C"), QStringLiteral("center")}}) {
            paragraphStyle(name, align, size, false);
            paragraphStyle(name + 'B', align, size, true);
        }
        m_xml.writeEndElement();
    }

    void paragraph(const QString &styleName, const QString &text) { writeParagraph(m_xml, styleName, text); }

    // The body's start: the chart, where the report has one (the heading and the captions are in
    // the page's header, on every page).
    void heading(bool chart)
    {
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

    // True when each text of the line fits its column on one line (a totals caption: the columns
    // before the first total), so that the line can be one paragraph with tab stops.
    bool fitsOnOneLine(const ReportLine &line) const
    {
        const bool bold = line.kind != ReportLine::Detail;
        const QFontMetricsF &metrics = bold ? m_bold : m_regular;
        const auto fits = [&](const QString &text, double width) {
            const double room = (width - 2 * kPadding) / m_g.fontPoints * 100; // in the metrics' pixels
            return !text.contains('\n') &&
                   (text.size() * kWidestCharEm * 100 <= room || metrics.horizontalAdvance(text) <= room);
        };
        int c = 0;
        if (bold) {
            const int span = totalsCaptionSpan(m_doc.layout.columns);
            double width = 0;
            for (; c < span; ++c)
                width += m_g.columns.value(c);
            if (span > 0 && !fits(line.text, width))
                return false;
        }
        for (; c < line.cells.size() && c < m_g.columns.size(); ++c) {
            if (!line.cells[c].isEmpty() && !fits(line.cells[c], m_g.columns[c]))
                return false;
        }
        return true;
    }

    // A line of the report as a paragraph whose tab stops are the columns: a word processor lays
    // out a year of such lines in a fraction of the time it takes over table rows, cell by cell.
    // Only a line with a text too long for its column is a table row, where the text wraps.
    void line(const ReportLine &line)
    {
        switch (line.kind) {
        case ReportLine::GroupHeader:
            paragraph(line.level == 0 ? QStringLiteral("GroupLine") : QStringLiteral("SubgroupLine"),
                      line.text);
            return;
        case ReportLine::Message:
            paragraph(QStringLiteral("MessageLine"), line.text);
            return;
        case ReportLine::Detail:
        case ReportLine::GroupFooter:
        case ReportLine::GrandTotal:
            break;
        }
        if (!fitsOnOneLine(line)) {
            wrappedRow(line);
            return;
        }
        if (line.kind == ReportLine::Detail) {
            writeTabbed(m_xml, QStringLiteral("DetailLine"), QString(), line.cells);
            return;
        }
        const int span = totalsCaptionSpan(m_doc.layout.columns);
        writeTabbed(m_xml, QStringLiteral("TotalLine"), span > 0 ? line.text : QString(),
                    line.cells.mid(span));
    }

    // The line as a table of one row in the report's columns, its long text wrapped in its cell.
    void wrappedRow(const ReportLine &line)
    {
        const QList<ReportColumn> &columns = m_doc.layout.columns;
        m_xml.writeStartElement(kTable, QStringLiteral("table"));
        m_xml.writeAttribute(kTable, QStringLiteral("name"), QStringLiteral("Report%1").arg(++m_tables));
        m_xml.writeAttribute(kTable, QStringLiteral("style-name"), QStringLiteral("Report"));
        for (int c = 0; c < columns.size(); ++c) {
            m_xml.writeEmptyElement(kTable, QStringLiteral("table-column"));
            m_xml.writeAttribute(kTable, QStringLiteral("style-name"),
                                 QStringLiteral("Report.C%1").arg(c + 1));
        }
        m_xml.writeStartElement(kTable, QStringLiteral("table-row"));
        const bool totals = line.kind != ReportLine::Detail;
        int c = 0;
        if (totals) { // the caption spans the columns before the first total
            const int span = totalsCaptionSpan(columns);
            if (span > 0) {
                cell(line.text, QStringLiteral("LB"), span, QStringLiteral("TotalCell"));
                c = span;
            }
        }
        for (; c < columns.size(); ++c)
            cell(line.cells.value(c), alignStyle(columns[c].align, totals), 1,
                 totals ? QStringLiteral("TotalCell") : QStringLiteral("Cell"));
        m_xml.writeEndElement(); // row
        m_xml.writeEndElement(); // table
    }

    bool table(const std::function<bool(int, int)> &progress)
    {
        const int lines = int(m_doc.lineCount());
        int done = 0;
        bool whole = true;
        m_doc.forEachLine(
            [&](const ReportLine &each) {
                line(each);
                whole = !m_xml.hasError() && !(progress && !progress(++done, lines));
                return whole;
            },
            false);
        return whole;
    }

    QXmlStreamWriter m_xml;
    const ReportDocument &m_doc;
    const Geometry &m_g;
    QFontMetricsF m_regular = metricsOf(false), m_bold = metricsOf(true);
    int m_tables = 0;
};

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
                        spaced(QStringLiteral("top"), totalsCaptionSpan(columns)));
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
        ContentWriter writer(content, document, geometry);
        cancelled = !writer.write(!png.isEmpty(), progress) && !zip.failed();
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
