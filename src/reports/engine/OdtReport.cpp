#include "OdtReport.h"

#include "ReportDocument.h"
#include "ReportError.h"
#include "ReportPainter.h"

#include <QBuffer>
#include <QLocale>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QTextImageFormat>
#include <QTextTable>
#include <QUrl>

namespace {
void paragraph(QTextCursor &cursor, const QString &text, double points, bool bold, Qt::Alignment align)
{
    QTextBlockFormat block;
    block.setAlignment(align);
    QTextCharFormat chars;
    chars.setFontPointSize(points);
    chars.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    cursor.insertBlock(block, chars);
    cursor.insertText(text, chars);
}

void cell(QTextTable *table, int row, int column, const QString &text, bool bold, ReportColumn::Align align)
{
    QTextCursor cursor = table->cellAt(row, column).firstCursorPosition();
    QTextBlockFormat block;
    block.setAlignment(align == ReportColumn::Right    ? Qt::AlignRight
                       : align == ReportColumn::Center ? Qt::AlignHCenter
                                                       : Qt::AlignLeft);
    cursor.setBlockFormat(block);
    QTextCharFormat chars;
    chars.setFontPointSize(8);
    chars.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    cursor.insertText(text, chars);
}

// The chart of a report that has one (the rejects' Pareto chart), as a picture above the table.
void addChart(QTextDocument &text, QTextCursor &cursor, const ReportDocument &document)
{
    const QImage chart = ReportPainter(document).chartImage(200);
    if (chart.isNull())
        return;
    const QString name = QStringLiteral("chart.png");
    text.addResource(QTextDocument::ImageResource, QUrl(name), chart);
    QTextImageFormat picture;
    picture.setName(name);
    picture.setWidth(648); // points: 9 inches of the page's width
    picture.setHeight(648.0 * chart.height() / chart.width());
    QTextBlockFormat block;
    block.setAlignment(Qt::AlignHCenter);
    cursor.insertBlock(block);
    cursor.insertImage(picture);
}
} // namespace

void OdtReport::write(const ReportDocument &document, const QString &path)
{
    QTextDocument text;
    QTextCursor cursor(&text);
    cursor.setBlockFormat(QTextBlockFormat());
    paragraph(cursor, document.company, 14, true, Qt::AlignHCenter);
    paragraph(cursor, document.layout.title, 12, true, Qt::AlignHCenter);
    for (const QString &line : document.heading)
        paragraph(cursor, line, 9, false, Qt::AlignHCenter);
    paragraph(cursor,
              QStringLiteral("Printed ") +
                  QLocale().toString(document.printed, QStringLiteral("MM/dd/yyyy h:mm AP")),
              8, false, Qt::AlignHCenter);

    addChart(text, cursor, document);

    const QList<ReportColumn> &columns = document.layout.columns;
    QTextTableFormat format;
    format.setHeaderRowCount(1);
    format.setCellPadding(2);
    format.setBorder(0.5);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    int chars = 0;
    for (const ReportColumn &column : columns)
        chars += column.width;
    QList<QTextLength> widths;
    for (const ReportColumn &column : columns)
        widths.append(QTextLength(QTextLength::PercentageLength, 100.0 * column.width / chars));
    format.setColumnWidthConstraints(widths);
    cursor.movePosition(QTextCursor::End);
    QTextTable *table = cursor.insertTable(1 + document.lines.size(), columns.size(), format);
    for (int c = 0; c < columns.size(); ++c)
        cell(table, 0, c, QString(columns[c].caption).replace('\n', ' '), true, columns[c].align);
    for (int r = 0; r < document.lines.size(); ++r) {
        const ReportLine &line = document.lines[r];
        const int row = r + 1;
        if (line.kind == ReportLine::GroupHeader || line.kind == ReportLine::Message) {
            table->mergeCells(row, 0, 1, columns.size());
            cell(table, row, 0, line.text, line.kind == ReportLine::GroupHeader, ReportColumn::Left);
            continue;
        }
        const bool totals = line.kind != ReportLine::Detail;
        for (int c = 0; c < columns.size(); ++c)
            cell(table, row, c, line.cells.value(c), totals, columns[c].align);
        if (totals) {
            int span = 0;
            while (span < columns.size() && !columns[span].total)
                ++span;
            if (span > 1)
                table->mergeCells(row, 0, 1, span);
            if (span > 0)
                cell(table, row, 0, line.text, true, ReportColumn::Left);
        }
    }
    // Written in memory first: the document writer closes its device itself (which a save file
    // must not be), and one left with a file it cannot open does not clean up after itself.
    QBuffer odt;
    QTextDocumentWriter writer(&odt, "odf");
    QSaveFile file(path);
    if (!writer.write(&text) || !file.open(QIODevice::WriteOnly) || file.write(odt.data()) < 0 ||
        !file.commit())
        throw ReportError(
            ReportError::Output,
            QStringLiteral("The document \"%1\" could not be written: %2").arg(path, file.errorString()));
}
