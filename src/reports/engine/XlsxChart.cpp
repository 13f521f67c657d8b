#include "XlsxChart.h"

#include "ReportDocument.h"

#include <QXmlStreamWriter>
#include <algorithm>
#include <functional>

namespace {
// The axes by id: the bars' reasons and counts, and the line's (hidden) reasons and percentages.
enum Axis { Reasons = 1, Counts, LineReasons, Percents };

class ChartXml
{
public:
    ChartXml(QByteArray &out, const QVector<ChartBar> &bars, const QString &sheet)
        : m_xml(&out), m_bars(bars), m_sheet(sheet)
    {
    }

    QXmlStreamWriter &xml() { return m_xml; }

    void value(const QString &element, const QString &value)
    {
        m_xml.writeEmptyElement(element);
        m_xml.writeAttribute(QStringLiteral("val"), value);
    }

    void nested(const QString &element, const std::function<void()> &inside)
    {
        m_xml.writeStartElement(element);
        inside();
        m_xml.writeEndElement();
    }

    // A run of text in the chart's own notation, for the title.
    void richText(const QString &text, int size)
    {
        nested(QStringLiteral("c:tx"), [&] {
            nested(QStringLiteral("c:rich"), [&] {
                m_xml.writeEmptyElement(QStringLiteral("a:bodyPr"));
                m_xml.writeEmptyElement(QStringLiteral("a:lstStyle"));
                nested(QStringLiteral("a:p"), [&] {
                    nested(QStringLiteral("a:pPr"),
                           [&] { fontSize(QStringLiteral("a:defRPr"), size, true); });
                    nested(QStringLiteral("a:r"), [&] {
                        fontSize(QStringLiteral("a:rPr"), size, true);
                        m_xml.writeTextElement(QStringLiteral("a:t"), text);
                    });
                });
            });
        });
    }

    // The type of an axis's figures or of data labels (hundredths of a point).
    void textSize(int size)
    {
        nested(QStringLiteral("c:txPr"), [&] {
            m_xml.writeEmptyElement(QStringLiteral("a:bodyPr"));
            m_xml.writeEmptyElement(QStringLiteral("a:lstStyle"));
            nested(QStringLiteral("a:p"), [&] {
                nested(QStringLiteral("a:pPr"), [&] { fontSize(QStringLiteral("a:defRPr"), size, false); });
                m_xml.writeEmptyElement(QStringLiteral("a:endParaRPr"));
                m_xml.writeAttribute(QStringLiteral("lang"), QStringLiteral("en-US"));
            });
        });
    }

    void fill(const QString &rgb)
    {
        nested(QStringLiteral("a:solidFill"), [&] { value(QStringLiteral("a:srgbClr"), rgb); });
    }

    void line(const QString &rgb, int emu)
    {
        m_xml.writeStartElement(QStringLiteral("a:ln"));
        m_xml.writeAttribute(QStringLiteral("w"), QString::number(emu));
        fill(rgb);
        m_xml.writeEndElement();
    }

    void numberFormat(const QString &code)
    {
        m_xml.writeEmptyElement(QStringLiteral("c:numFmt"));
        m_xml.writeAttribute(QStringLiteral("formatCode"), code);
        m_xml.writeAttribute(QStringLiteral("sourceLinked"), QStringLiteral("0"));
    }

    // The series' name, its `look`, and its reasons and values with the sheet's cells they come from.
    void series(int index, const QString &name, const std::function<void()> &look, const QString &valueColumn,
                const QString &format, const std::function<double(const ChartBar &)> &valueOf)
    {
        value(QStringLiteral("c:idx"), QString::number(index));
        value(QStringLiteral("c:order"), QString::number(index));
        nested(QStringLiteral("c:tx"), [&] {
            nested(QStringLiteral("c:strRef"), [&] {
                m_xml.writeTextElement(QStringLiteral("c:f"), cell(valueColumn + QLatin1Char('1')));
                nested(QStringLiteral("c:strCache"), [&] { points({name}); });
            });
        });
        look();
        nested(QStringLiteral("c:cat"), [&] {
            nested(QStringLiteral("c:strRef"), [&] {
                m_xml.writeTextElement(QStringLiteral("c:f"), range(QStringLiteral("A")));
                QStringList captions;
                for (const ChartBar &bar : m_bars)
                    captions << bar.caption;
                nested(QStringLiteral("c:strCache"), [&] { points(captions); });
            });
        });
        nested(QStringLiteral("c:val"), [&] {
            nested(QStringLiteral("c:numRef"), [&] {
                m_xml.writeTextElement(QStringLiteral("c:f"), range(valueColumn));
                nested(QStringLiteral("c:numCache"), [&] {
                    m_xml.writeTextElement(QStringLiteral("c:formatCode"), format);
                    QStringList values;
                    for (const ChartBar &bar : m_bars)
                        values << QString::number(valueOf(bar), 'g', 15);
                    points(values);
                });
            });
        });
    }

    // Figures written over the bars or beside the points, at `position` or, by point, where
    // `placeOf` puts them.
    void labels(const QString &format, const QString &position,
                const std::function<QString(const ChartBar &)> &placeOf = {})
    {
        nested(QStringLiteral("c:dLbls"), [&] {
            for (int i = 0; placeOf && i < m_bars.size(); ++i) {
                const QString place = placeOf(m_bars[i]);
                if (place != position)
                    nested(QStringLiteral("c:dLbl"), [&] {
                        value(QStringLiteral("c:idx"), QString::number(i));
                        labelLook(format, place);
                    });
            }
            labelLook(format, position);
        });
    }

    void axisIds(Axis a, Axis b)
    {
        value(QStringLiteral("c:axId"), QString::number(a));
        value(QStringLiteral("c:axId"), QString::number(b));
    }

    // A value axis from 0 to `top` in five steps, its figures in `format`.
    void valueAxis(Axis id, Axis across, const QString &side, double top, const QString &format, bool grid)
    {
        nested(QStringLiteral("c:valAx"), [&] {
            value(QStringLiteral("c:axId"), QString::number(id));
            nested(QStringLiteral("c:scaling"), [&] {
                value(QStringLiteral("c:orientation"), QStringLiteral("minMax"));
                value(QStringLiteral("c:max"), QString::number(top, 'g', 15));
                value(QStringLiteral("c:min"), QStringLiteral("0"));
            });
            value(QStringLiteral("c:delete"), QStringLiteral("0"));
            value(QStringLiteral("c:axPos"), side);
            if (grid)
                nested(QStringLiteral("c:majorGridlines"), [&] {
                    nested(QStringLiteral("c:spPr"), [&] { line(QStringLiteral("D7D7D7"), 6350); });
                });
            numberFormat(format);
            value(QStringLiteral("c:majorTickMark"), QStringLiteral("out"));
            value(QStringLiteral("c:minorTickMark"), QStringLiteral("none"));
            value(QStringLiteral("c:tickLblPos"), QStringLiteral("nextTo"));
            textSize(800);
            value(QStringLiteral("c:crossAx"), QString::number(across));
            // the percentages stand on the right, where the reasons' axis ends
            value(QStringLiteral("c:crosses"),
                  id == Percents ? QStringLiteral("max") : QStringLiteral("autoZero"));
            value(QStringLiteral("c:crossBetween"), QStringLiteral("between"));
            value(QStringLiteral("c:majorUnit"), QString::number(top / 5, 'g', 15));
        });
    }

    void reasonAxis(Axis id, Axis across, bool shown)
    {
        nested(QStringLiteral("c:catAx"), [&] {
            value(QStringLiteral("c:axId"), QString::number(id));
            nested(QStringLiteral("c:scaling"),
                   [&] { value(QStringLiteral("c:orientation"), QStringLiteral("minMax")); });
            value(QStringLiteral("c:delete"), shown ? QStringLiteral("0") : QStringLiteral("1"));
            value(QStringLiteral("c:axPos"), QStringLiteral("b"));
            value(QStringLiteral("c:majorTickMark"), QStringLiteral("none"));
            value(QStringLiteral("c:minorTickMark"), QStringLiteral("none"));
            value(QStringLiteral("c:tickLblPos"), QStringLiteral("nextTo"));
            textSize(800);
            value(QStringLiteral("c:crossAx"), QString::number(across));
            value(QStringLiteral("c:crosses"), QStringLiteral("autoZero"));
            value(QStringLiteral("c:auto"), QStringLiteral("1"));
            value(QStringLiteral("c:lblAlgn"), QStringLiteral("ctr"));
            value(QStringLiteral("c:lblOffset"), QStringLiteral("100"));
            value(QStringLiteral("c:noMultiLvlLbl"), QStringLiteral("1"));
        });
    }

private:
    void fontSize(const QString &element, int size, bool bold)
    {
        m_xml.writeEmptyElement(element);
        m_xml.writeAttribute(QStringLiteral("lang"), QStringLiteral("en-US"));
        m_xml.writeAttribute(QStringLiteral("sz"), QString::number(size));
        m_xml.writeAttribute(QStringLiteral("b"), bold ? QStringLiteral("1") : QStringLiteral("0"));
    }

    void labelLook(const QString &format, const QString &position)
    {
        numberFormat(format);
        textSize(800);
        value(QStringLiteral("c:dLblPos"), position);
        for (const char *shown : {"c:showLegendKey", "c:showVal", "c:showCatName", "c:showSerName",
                                  "c:showPercent", "c:showBubbleSize"})
            value(QLatin1String(shown), QLatin1String(shown) == QLatin1String("c:showVal") ? "1" : "0");
    }

    void points(const QStringList &values)
    {
        value(QStringLiteral("c:ptCount"), QString::number(values.size()));
        for (int i = 0; i < values.size(); ++i) {
            m_xml.writeStartElement(QStringLiteral("c:pt"));
            m_xml.writeAttribute(QStringLiteral("idx"), QString::number(i));
            m_xml.writeTextElement(QStringLiteral("c:v"), values[i]);
            m_xml.writeEndElement();
        }
    }

    // The sheet's name quoted as a formula takes it, whatever it holds.
    QString cell(const QString &ref) const
    {
        return QStringLiteral("'%1'!$%2$%3")
            .arg(QString(m_sheet).replace('\'', QLatin1String("''")), ref.left(1), ref.mid(1));
    }

    QString range(const QString &column) const
    {
        return cell(column + QLatin1Char('2')) + QStringLiteral(":$%1$%2").arg(column).arg(m_bars.size() + 1);
    }

    QXmlStreamWriter m_xml;
    const QVector<ChartBar> &m_bars;
    QString m_sheet;
};

const QString kBarColor = QStringLiteral("466EA5"), kLineColor = QStringLiteral("CD5F1E");

// Where a point's percentage goes: above it, unless that is where its bar's count is written (the
// line crosses the bar's top there); then below it. In shares of the plot's height, by the
// chart's size on its sheet: a label is about 0.05 high and stands 0.015 off its point or bar.
QString percentPlace(const ChartBar &bar, double countsTop)
{
    constexpr double high = 0.05, gap = 0.015;
    const double point = bar.cumulativePercent / 100, barTop = std::max(0.0, bar.value / countsTop);
    const auto clearOfCount = [&](double from) {
        return from >= barTop + gap + high || from + high <= barTop + gap;
    };
    if (clearOfCount(point + gap))
        return QStringLiteral("t");
    return point - gap - high >= 0 && clearOfCount(point - gap - high) ? QStringLiteral("b")
                                                                       : QStringLiteral("r");
}
} // namespace

QByteArray XlsxChart::pareto(const QVector<ChartBar> &bars, const QString &title, const QString &sheet)
{
    QByteArray out;
    ChartXml chart(out, bars, sheet);
    const double countsTop = chartAxisTop(bars.isEmpty() ? 0 : bars.front().value);
    QXmlStreamWriter &xml = chart.xml();
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("c:chartSpace"));
    xml.writeNamespace(QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/chart"),
                       QStringLiteral("c"));
    xml.writeNamespace(QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/main"),
                       QStringLiteral("a"));
    xml.writeNamespace(QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships"),
                       QStringLiteral("r"));
    chart.value(QStringLiteral("c:lang"), QStringLiteral("en-US"));
    chart.nested(QStringLiteral("c:chart"), [&] {
        chart.nested(QStringLiteral("c:title"), [&] {
            chart.richText(title, 1200);
            chart.value(QStringLiteral("c:overlay"), QStringLiteral("0"));
        });
        chart.value(QStringLiteral("c:autoTitleDeleted"), QStringLiteral("0"));
        chart.nested(QStringLiteral("c:plotArea"), [&] {
            xml.writeEmptyElement(QStringLiteral("c:layout"));
            chart.nested(QStringLiteral("c:barChart"), [&] {
                chart.value(QStringLiteral("c:barDir"), QStringLiteral("col"));
                chart.value(QStringLiteral("c:grouping"), QStringLiteral("clustered"));
                chart.value(QStringLiteral("c:varyColors"), QStringLiteral("0"));
                chart.nested(QStringLiteral("c:ser"), [&] {
                    const auto look = [&] {
                        chart.nested(QStringLiteral("c:spPr"), [&] { chart.fill(kBarColor); });
                        chart.value(QStringLiteral("c:invertIfNegative"), QStringLiteral("0"));
                        chart.labels(QStringLiteral("#,##0"), QStringLiteral("outEnd"));
                    };
                    chart.series(0, QStringLiteral("Rejects"), look, QStringLiteral("B"),
                                 QStringLiteral("#,##0"), [](const ChartBar &bar) { return bar.value; });
                });
                chart.value(QStringLiteral("c:gapWidth"), QStringLiteral("60"));
                chart.axisIds(Reasons, Counts);
            });
            chart.nested(QStringLiteral("c:lineChart"), [&] {
                chart.value(QStringLiteral("c:grouping"), QStringLiteral("standard"));
                chart.value(QStringLiteral("c:varyColors"), QStringLiteral("0"));
                chart.nested(QStringLiteral("c:ser"), [&] {
                    const auto look = [&] {
                        chart.nested(QStringLiteral("c:spPr"), [&] { chart.line(kLineColor, 22225); });
                        chart.nested(QStringLiteral("c:marker"), [&] {
                            chart.value(QStringLiteral("c:symbol"), QStringLiteral("circle"));
                            chart.value(QStringLiteral("c:size"), QStringLiteral("5"));
                            chart.nested(QStringLiteral("c:spPr"), [&] {
                                chart.fill(kLineColor);
                                chart.line(kLineColor, 9525);
                            });
                        });
                        chart.labels(QStringLiteral("0%"), QStringLiteral("t"),
                                     [&](const ChartBar &bar) { return percentPlace(bar, countsTop); });
                    };
                    chart.series(1, QStringLiteral("Cumulative percentage"), look, QStringLiteral("C"),
                                 QStringLiteral("0%"),
                                 [](const ChartBar &bar) { return bar.cumulativePercent / 100; });
                    chart.value(QStringLiteral("c:smooth"), QStringLiteral("0"));
                });
                chart.value(QStringLiteral("c:marker"), QStringLiteral("1"));
                chart.axisIds(LineReasons, Percents);
            });
            chart.reasonAxis(Reasons, Counts, true);
            chart.valueAxis(Counts, Reasons, QStringLiteral("l"), countsTop, QStringLiteral("#,##0"), true);
            chart.reasonAxis(LineReasons, Percents, false);
            chart.valueAxis(Percents, LineReasons, QStringLiteral("r"), 1, QStringLiteral("0%"), false);
        });
        chart.nested(QStringLiteral("c:legend"), [&] {
            chart.value(QStringLiteral("c:legendPos"), QStringLiteral("t"));
            chart.value(QStringLiteral("c:overlay"), QStringLiteral("0"));
            chart.textSize(800);
        });
        chart.value(QStringLiteral("c:plotVisOnly"), QStringLiteral("1"));
        chart.value(QStringLiteral("c:dispBlanksAs"), QStringLiteral("gap"));
    });
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}
