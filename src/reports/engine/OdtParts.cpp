#include "OdtParts.h"

#include "ReportPainter.h"

namespace OdtParts {
QString points(double value)
{
    return QString::number(value, 'f', 2) + QStringLiteral("pt");
}

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

void writeParagraphStyle(QXmlStreamWriter &xml, const QString &name, const QString &align, double size,
                         bool bold, const std::function<void()> &more)
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

QFontMetricsF metricsOf(bool bold)
{
    QFont font = ReportPainter::typeface();
    font.setPixelSize(100);
    font.setBold(bold);
    return QFontMetricsF(font);
}
} // namespace OdtParts
