#include "OdtParts.h"

using namespace OdtParts;

namespace {
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
            const int span = m_doc.layout.totalsCaptionSpan();
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
        const int span = m_doc.layout.totalsCaptionSpan();
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
            const int span = m_doc.layout.totalsCaptionSpan();
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
} // namespace

bool OdtParts::writeContent(QIODevice &device, const ReportDocument &document, const Geometry &geometry,
                            bool chart, const std::function<bool(int, int)> &progress)
{
    ContentWriter writer(device, document, geometry);
    return writer.write(chart, progress);
}
