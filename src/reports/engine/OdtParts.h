#pragma once

// What the OpenDocument text's files share: the ODF namespaces, the page and columns of the
// document, and the writers of its styles' and paragraphs' XML.

#include "ReportDocument.h"

#include <QFontMetricsF>
#include <QIODevice>
#include <QPageLayout>
#include <QVector>
#include <QXmlStreamWriter>

#include <functional>

namespace OdtParts {
inline const QString kOffice = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
inline const QString kStyle = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
inline const QString kText = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
inline const QString kTable = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
inline const QString kFo = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
inline const QString kDraw = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:drawing:1.0");
inline const QString kSvg = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0");
inline const QString kXlink = QStringLiteral("http://www.w3.org/1999/xlink");
inline const QString kManifest = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:manifest:1.0");

// The width of a character of the table's font, in ems: DejaVu Sans digits and the average of its
// letters are 0.64 em wide; a little more keeps each text inside its cell.
constexpr double kCharEm = 0.66;
// No character of a report's text is wider than this: a text whose length times it is within the
// width found so far needs no measuring.
constexpr double kWidestCharEm = 1.3;
constexpr double kLargestPoints = 8.0, kSmallestPoints = 6.0;
// The room of a cell's padding on each side, in points: a tab stops this far inside its column.
constexpr double kPadding = 2.5;
inline const QString kRule = QStringLiteral("0.5pt solid #000000");
// The most a column of texts grows to for its texts, in ems: a third of a portrait page's table.
constexpr double kTextShareEms = 540.0 / 3 / kLargestPoints;

// The page and table of the printed report, in points.
struct Geometry
{
    QPageLayout page;
    double tableWidth = 0;
    double fontPoints = kLargestPoints;
    QVector<double> columns; // each column's width
};

QString points(double value);
// The font of text in each of the three script groups a word processor tells apart (Western, Asian:
// CJK and Korean, complex: Arabic, Hebrew): without the other two, those scripts take the word
// processor's default font and size.
void writeFont(QXmlStreamWriter &xml, double size, bool bold);
// A paragraph style; `more` adds to its paragraph properties (attributes first, then elements).
void writeParagraphStyle(QXmlStreamWriter &xml, const QString &name, const QString &align, double size,
                         bool bold, const std::function<void()> &more = {});
void writeParagraph(QXmlStreamWriter &xml, const QString &styleName, const QString &text);
// A line of the report as one paragraph: `lead` at the left, then each of the cells after a tab,
// which takes it to its column's tab stop.
void writeTabbed(QXmlStreamWriter &xml, const QString &styleName, const QString &lead,
                 const QStringList &cells);
// The columns from `first` on as tab stops: a column's text starts at its left (a left-aligned
// column), ends at its right or is centred in it, inside its padding.
void writeTabStops(QXmlStreamWriter &xml, const Geometry &g, const QList<ReportColumn> &columns, int first);
// The table's font at 100 pixels, whose advances are hundredths of an em.
QFontMetricsF metricsOf(bool bold);

// The document's content.xml: the chart's picture (when it has one) and the report's lines.
// False when cancelled by progress or when writing failed.
bool writeContent(QIODevice &device, const ReportDocument &document, const Geometry &geometry, bool chart,
                  const std::function<bool(int, int)> &progress);
} // namespace OdtParts
