#include "XlsxReport.h"

#include "ReportDocument.h"
#include "ReportError.h"

#include <QDateTime>
#include <map>
#include <xlsxwriter.h>

namespace {
struct Formats
{
    lxw_format *title, *bold, *header, *date, *whole, *decimal, *totalWhole, *totalDecimal, *percent;
    lxw_workbook *book = nullptr;
    std::map<QString, lxw_format *> *dates = nullptr; // by the layout's date format
};

// A date format of the layout ("MM/dd/yyyy", "dddd", "MM/dd/yyyy h:mm AP") in the workbook's
// notation, where a month is "m" like a minute and the half of the day is "AM/PM".
QByteArray excelDateFormat(QString format)
{
    format.replace(QLatin1String("AP"), QLatin1String("AM/PM"), Qt::CaseInsensitive);
    format.replace('M', 'm').replace('H', 'h');
    return format.toUtf8();
}

Formats makeFormats(lxw_workbook *book)
{
    Formats f{};
    f.title = workbook_add_format(book);
    format_set_bold(f.title);
    format_set_font_size(f.title, 14);
    f.bold = workbook_add_format(book);
    format_set_bold(f.bold);
    f.header = workbook_add_format(book);
    format_set_bold(f.header);
    format_set_bottom(f.header, LXW_BORDER_THIN);
    format_set_text_wrap(f.header);
    format_set_align(f.header, LXW_ALIGN_VERTICAL_BOTTOM);
    f.date = workbook_add_format(book);
    format_set_num_format(f.date, "mm/dd/yyyy");
    f.whole = workbook_add_format(book);
    format_set_num_format(f.whole, "#,##0");
    f.decimal = workbook_add_format(book);
    format_set_num_format(f.decimal, "#,##0.00");
    f.totalWhole = workbook_add_format(book);
    format_set_num_format(f.totalWhole, "#,##0");
    format_set_bold(f.totalWhole);
    format_set_top(f.totalWhole, LXW_BORDER_THIN);
    f.totalDecimal = workbook_add_format(book);
    format_set_num_format(f.totalDecimal, "#,##0.00");
    format_set_bold(f.totalDecimal);
    format_set_top(f.totalDecimal, LXW_BORDER_THIN);
    f.percent = workbook_add_format(book);
    format_set_num_format(f.percent, "0%");
    return f;
}

class Sheet
{
public:
    Sheet(lxw_worksheet *sheet, const Formats &formats) : m_sheet(sheet), m_f(formats) {}

    void text(int row, int col, const QString &value, lxw_format *format = nullptr)
    {
        worksheet_write_string(m_sheet, row, col, value.toUtf8().constData(), format);
    }

    void value(int row, int col, const QVariant &value, const QString &layoutFormat, bool total = false)
    {
        if (!value.isValid() || value.isNull())
            return;
        switch (value.typeId()) {
        case QMetaType::QDate:
        case QMetaType::QDateTime: {
            const QDateTime t = value.toDateTime();
            const QDate d = t.date();
            lxw_datetime when{d.year(),        d.month(),         d.day(),
                              t.time().hour(), t.time().minute(), double(t.time().second())};
            worksheet_write_datetime(m_sheet, row, col, &when, dateFormat(value, layoutFormat));
            return;
        }
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Double:
        case QMetaType::Bool: {
            if (layoutFormat == QLatin1String("Yes/No")) {
                worksheet_write_boolean(m_sheet, row, col, value.toBool(), nullptr);
                return;
            }
            const bool decimals = layoutFormat.contains('.');
            lxw_format *format =
                total ? (decimals ? m_f.totalDecimal : m_f.totalWhole)
                      : (decimals ? m_f.decimal : (layoutFormat.contains(',') ? m_f.whole : nullptr));
            worksheet_write_number(m_sheet, row, col, value.toDouble(), format);
            return;
        }
        default:
            text(row, col, value.toString());
        }
    }

private:
    // The layout's date format, as the report writes the value (a plain date: "MM/dd/yyyy", a date
    // with its time: "MM/dd/yyyy hh:mm").
    lxw_format *dateFormat(const QVariant &value, const QString &layoutFormat) const
    {
        const QString format = !layoutFormat.isEmpty()                  ? layoutFormat
                               : value.typeId() == QMetaType::QDateTime ? QStringLiteral("MM/dd/yyyy hh:mm")
                                                                        : QString();
        if (format.isEmpty() || !m_f.dates)
            return m_f.date;
        lxw_format *&cached = (*m_f.dates)[format];
        if (!cached) {
            cached = workbook_add_format(m_f.book);
            format_set_num_format(cached, excelDateFormat(format).constData());
        }
        return cached;
    }

    lxw_worksheet *m_sheet;
    const Formats &m_f;
};
} // namespace

namespace {
// The chart of a report that has one (the rejects' Pareto chart): its bars on a sheet of their own,
// reason, rejects and cumulative share biggest first, with a column chart of the rejects beside them.
void addChartSheet(lxw_workbook *book, const ReportDocument &document, const Formats &f)
{
    if (document.layout.chart.bars.isEmpty())
        return;
    lxw_worksheet *ws = workbook_add_worksheet(book, "Chart");
    Sheet sheet(ws, f);
    sheet.text(0, 0, QStringLiteral("Reason"), f.header);
    sheet.text(0, 1, QStringLiteral("Rejects"), f.header);
    sheet.text(0, 2, QStringLiteral("Cumulative percentage"), f.header);
    worksheet_set_column(ws, 0, 0, 18, nullptr);
    worksheet_set_column(ws, 1, 2, 14, nullptr);
    if (document.chart.isEmpty()) {
        sheet.text(1, 0, QStringLiteral("Nothing to chart for the chosen parameters."));
        return;
    }
    int row = 1;
    for (const ChartBar &bar : document.chart) {
        sheet.text(row, 0, bar.caption);
        worksheet_write_number(ws, row, 1, bar.value, f.whole);
        worksheet_write_number(ws, row, 2, bar.cumulativePercent / 100, f.percent);
        ++row;
    }
    lxw_chart *chart = workbook_add_chart(book, LXW_CHART_COLUMN);
    const QByteArray last = QByteArray::number(row);
    lxw_chart_series *series = chart_add_series(chart, ("=Chart!$A$2:$A$" + last).constData(),
                                                ("=Chart!$B$2:$B$" + last).constData());
    chart_series_set_name(series, "Rejects");
    chart_title_set_name(chart, document.layout.chart.title.toUtf8().constData());
    chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
    worksheet_insert_chart(ws, 1, 4, chart);
}
} // namespace

namespace {
// The header and footer texts take "&" as their codes' mark.
QByteArray headerText(const QString &code, const QString &text)
{
    return (code + QString(text).replace('&', QLatin1String("&&"))).toUtf8();
}

// The sheet's page as the report's: orientation, margins, all columns one page wide, the caption
// row repeated on every page, the title at the top and the page number at the foot.
void setUpPage(lxw_worksheet *ws, const ReportDocument &document, int headerRow)
{
    if (document.layout.landscape)
        worksheet_set_landscape(ws);
    else
        worksheet_set_portrait(ws);
    worksheet_set_paper(ws, 1); // Letter, the report's paper
    worksheet_set_margins(ws, 0.5, 0.5, 0.75, 0.6);
    worksheet_fit_to_pages(ws, 1, 0);
    worksheet_repeat_rows(ws, lxw_row_t(headerRow), lxw_row_t(headerRow));
    worksheet_set_header(ws,
                         headerText(QStringLiteral("&C&\"-,Bold\"&12"), document.layout.title).constData());
    worksheet_set_footer(
        ws, headerText(QStringLiteral("&L"), document.company).append("&RPage &P of &N").constData());
}
} // namespace

void XlsxReport::write(const ReportDocument &document, const QString &path,
                       const std::function<bool(int, int)> &progress)
{
    const QByteArray file = path.toUtf8();
    lxw_workbook *book = workbook_new(file.constData());
    if (!book)
        throw ReportError(ReportError::Output,
                          QStringLiteral("The workbook \"%1\" could not be created.").arg(path));
    std::map<QString, lxw_format *> dates;
    Formats f = makeFormats(book);
    f.book = book;
    f.dates = &dates;
    QString sheetName = document.layout.title.left(31);
    for (const char bad : {'[', ']', ':', '*', '?', '/', '\\'})
        sheetName.remove(QChar(bad));
    lxw_worksheet *ws =
        workbook_add_worksheet(book, sheetName.isEmpty() ? nullptr : sheetName.toUtf8().constData());
    Sheet sheet(ws, f);

    int row = 0;
    sheet.text(row++, 0, document.company, f.title);
    sheet.text(row++, 0, document.layout.title, f.bold);
    for (const QString &line : document.heading)
        sheet.text(row++, 0, line);
    ++row;

    // group fields that the columns do not show come first
    const ReportLayout &layout = document.layout;
    QVector<int> keys;
    for (int g = 0; g < layout.groups.size(); ++g) {
        bool shown = false;
        for (const ReportColumn &column : layout.columns)
            shown = shown || column.field.compare(layout.groups[g].field, Qt::CaseInsensitive) == 0;
        if (!shown)
            keys.append(g);
    }
    const int headerRow = row;
    int col = 0;
    for (int g : keys) {
        sheet.text(row, col, layout.groups[g].field, f.header);
        worksheet_set_column(ws, col, col, std::max<int>(12, layout.groups[g].field.size() + 4), nullptr);
        ++col;
    }
    const QVector<int> widths = columnWidths(document);
    for (int c = 0; c < layout.columns.size(); ++c) {
        sheet.text(row, col, QString(layout.columns[c].caption).replace('\n', ' '), f.header);
        worksheet_set_column(ws, col, col, widths[c] * 1.15 + 2, nullptr);
        ++col;
    }
    worksheet_freeze_panes(ws, headerRow + 1, 0);
    setUpPage(ws, document, headerRow);
    ++row;

    const int lines = int(document.lines.size());
    for (int i = 0; i < lines; ++i) {
        if (progress && !progress(i + 1, lines)) {
            lxw_workbook_free(book); // nothing is written before the workbook closes
            throw ReportError(ReportError::Output, QStringLiteral("The export was cancelled."));
        }
        const ReportLine &line = document.lines[i];
        const bool grand = line.kind == ReportLine::GrandTotal;
        if (!grand && line.kind != ReportLine::Detail)
            continue;
        col = 0;
        for (int g : keys) {
            if (!grand)
                sheet.value(row, col, line.keys.value(g), QString());
            ++col;
        }
        for (int c = 0; c < layout.columns.size(); ++c, ++col)
            sheet.value(row, col, line.values.value(c), layout.columns[c].format, grand);
        if (grand)
            sheet.text(row, 0, line.text, f.bold);
        ++row;
    }
    addChartSheet(book, document, f);
    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR)
        throw ReportError(ReportError::Output, QStringLiteral("The workbook \"%1\" could not be written: %2")
                                                   .arg(path, QString::fromUtf8(lxw_strerror(error))));
}
