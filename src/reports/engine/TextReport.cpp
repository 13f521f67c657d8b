#include "TextReport.h"

#include "ReportDocument.h"

#include <QLocale>

namespace {
QString aligned(const QString &text, int width, ReportColumn::Align align)
{
    const QString cut = text.left(width);
    switch (align) {
    case ReportColumn::Right:
        return cut.rightJustified(width);
    case ReportColumn::Center:
        return QString((width - cut.size()) / 2, ' ') + cut.leftJustified(width - (width - cut.size()) / 2);
    case ReportColumn::Left:
        break;
    }
    return cut.leftJustified(width);
}

QString withoutTrailingBlanks(QString text)
{
    while (text.endsWith(' '))
        text.chop(1);
    return text;
}

QString centered(const QString &text, int width)
{
    return text.size() >= width ? text : QString((width - text.size()) / 2, ' ') + text;
}

class TextPages
{
public:
    explicit TextPages(const ReportDocument &document) : m_doc(document), m_columns(columnWidths(document))
    {
        for (int width : m_columns)
            m_width += width + (m_width > 0 ? 1 : 0);
        m_width = std::max(m_width, 60);
    }

    QStringList pageHeading() const
    {
        QStringList lines{centered(m_doc.company, m_width), centered(m_doc.layout.title, m_width)};
        for (const QString &line : m_doc.heading)
            lines.append(centered(line, m_width));
        lines.append(QString());
        lines += captionLines();
        lines.append(QString(m_width, '-'));
        return lines;
    }

    QStringList footer(int page, int pages) const
    {
        const QString left = QStringLiteral("Printed ") +
                             QLocale().toString(m_doc.printed, QStringLiteral("MM/dd/yyyy h:mm AP"));
        const QString right = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
        return {QString(),
                left + QString(std::max(1, int(m_width - left.size() - right.size())), ' ') + right};
    }

    // The chart's page: a table of the bars with their values and cumulative percentages.
    QStringList chartPage() const
    {
        QStringList lines{centered(m_doc.company, m_width), centered(m_doc.layout.title, m_width)};
        for (const QString &line : m_doc.heading)
            lines.append(centered(line, m_width));
        lines << QString() << centered(m_doc.layout.chart.title, m_width) << QString();
        lines << QStringLiteral("%1 %2 %3")
                     .arg(QStringLiteral("Reason"), -24)
                     .arg(QStringLiteral("Quantity"), 12)
                     .arg(QStringLiteral("Cumulative"), 11);
        for (const ChartBar &bar : m_doc.chart)
            lines << QStringLiteral("%1 %2 %3%")
                         .arg(bar.caption.left(24), -24)
                         .arg(QLocale().toString(qint64(bar.value)), 12)
                         .arg(QString::number(bar.cumulativePercent, 'f', 1), 10);
        if (m_doc.chart.isEmpty())
            lines << QStringLiteral("Nothing to chart for the chosen parameters.");
        return lines;
    }

    int height(const ReportLine &line) const
    {
        switch (line.kind) {
        case ReportLine::GroupFooter:
        case ReportLine::GrandTotal:
            return 2;
        case ReportLine::GroupHeader:
            return line.level == 0 ? 2 : 1;
        default:
            return 1;
        }
    }

    QStringList body(const ReportLine &line, bool firstOnPage) const
    {
        switch (line.kind) {
        case ReportLine::GroupHeader: {
            const QString text = QString(2 * line.level, ' ') + line.text;
            return line.level == 0 && !firstOnPage ? QStringList{QString(), text} : QStringList{text};
        }
        case ReportLine::Detail:
            return {cellsLine(line.cells)};
        case ReportLine::GroupFooter: {
            return {ruleUnderTotals('-'), totalsLine(line)};
        }
        case ReportLine::GrandTotal:
            return {ruleUnderTotals('='), totalsLine(line)};
        case ReportLine::Message:
            return {centered(line.text, m_width)};
        }
        return {};
    }

private:
    QStringList captionLines() const
    {
        QStringList top, bottom;
        bool twoLines = false;
        for (int i = 0; i < m_columns.size(); ++i) {
            const ReportColumn &column = m_doc.layout.columns[i];
            const QStringList parts = column.caption.split('\n');
            twoLines = twoLines || parts.size() > 1;
            top.append(aligned(parts.size() > 1 ? parts[0] : QString(), m_columns[i], column.align));
            bottom.append(aligned(parts.last(), m_columns[i], column.align));
        }
        QStringList lines;
        if (twoLines)
            lines.append(withoutTrailingBlanks(top.join(' ')));
        lines.append(withoutTrailingBlanks(bottom.join(' ')));
        return lines;
    }

    QString cellsLine(const QStringList &cells) const
    {
        QString text;
        for (int i = 0; i < cells.size(); ++i) {
            const ReportColumn &column = m_doc.layout.columns[i];
            if (i > 0)
                text += ' ';
            text += aligned(cells[i], m_columns.value(i, column.width), column.align);
        }
        return withoutTrailingBlanks(text);
    }

    // The caption of a totals line fills the columns before the first total.
    QString totalsLine(const ReportLine &line) const
    {
        QString text = cellsLine(line.cells);
        int labelWidth = 0;
        for (int i = 0; i < m_columns.size(); ++i) {
            if (m_doc.layout.columns[i].total)
                break;
            labelWidth += m_columns[i] + 1;
        }
        const QString label = (QString(2 * line.level, ' ') + line.text).left(std::max(0, labelWidth - 1));
        text = text.leftJustified(label.size());
        text.replace(0, label.size(), label);
        return text;
    }

    QString ruleUnderTotals(QChar c) const
    {
        QString text;
        for (int i = 0; i < m_columns.size(); ++i)
            text += QString(m_columns[i], m_doc.layout.columns[i].total ? c : ' ') + ' ';
        return withoutTrailingBlanks(text);
    }

    const ReportDocument &m_doc;
    QVector<int> m_columns; // characters per column, as wide as the widest text
    int m_width = 0;
};
} // namespace

bool TextReport::write(const ReportDocument &document, const std::function<bool(const QString &)> &page,
                       int pageLines, const std::function<bool(int, int)> &progress)
{
    const TextPages pages(document);
    const int fixed = pages.pageHeading().size() + pages.footer(1, 1).size();
    const int capacity = std::max(5, pageLines - fixed);
    const QVector<ReportPage> laid =
        paginate(document, capacity, [&](const ReportLine &line) { return double(pages.height(line)); });
    const int chartPages = document.layout.chart.bars.isEmpty() ? 0 : 1;
    const int total = int(laid.size()) + chartPages;
    if (chartPages) {
        QStringList lines = pages.chartPage();
        while (lines.size() < pageLines - 2)
            lines.append(QString());
        lines += pages.footer(1, total);
        if (!page(lines.join('\n') + '\n') || (progress && !progress(1, total)))
            return false;
    }
    ReportLineReader reader = document.reader(false);
    for (int p = 0; p < laid.size(); ++p) {
        QStringList lines = pages.pageHeading();
        bool first = true;
        forEachLineOf(reader, laid[p], [&](const ReportLine &line) {
            lines += pages.body(line, first);
            first = false;
        });
        while (lines.size() < pageLines - 2)
            lines.append(QString());
        lines += pages.footer(p + 1 + chartPages, total);
        const QString separator = p > 0 || chartPages ? QStringLiteral("\f\n") : QString();
        if (!page(separator + lines.join('\n') + '\n') || (progress && !progress(p + 1 + chartPages, total)))
            return false;
    }
    return true;
}

QString TextReport::render(const ReportDocument &document, int pageLines,
                           const std::function<bool(int, int)> &progress)
{
    QString text;
    const bool whole = write(
        document,
        [&](const QString &page) {
            text += page;
            return true;
        },
        pageLines, progress);
    return whole ? text : QString();
}
