#include "XlsxReport.h"

#include "OutputFile.h"
#include "ReportDocument.h"
#include "ReportError.h"
#include "XlsxChart.h"
#include "ZipReader.h"
#include "ZipWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <map>
#include <xlsxwriter.h>
#include <xlsxwriter/utility.h>

namespace {
struct Formats
{
    lxw_format *title, *bold, *header, *headerRight, *headerIndented, *date, *whole, *decimal, *totalWhole,
        *totalDecimal, *percent, *wrapped, *indented;
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
    // a figure's caption stands over it at the right; a text column's caption and texts a little in
    // from the left, so that they do not run into the figure before them
    const auto caption = [book](lxw_format_alignments align, uint8_t indent) {
        lxw_format *format = workbook_add_format(book);
        format_set_bold(format);
        format_set_bottom(format, LXW_BORDER_THIN);
        format_set_text_wrap(format);
        format_set_align(format, LXW_ALIGN_VERTICAL_BOTTOM);
        format_set_align(format, align);
        format_set_indent(format, indent);
        return format;
    };
    f.header = caption(LXW_ALIGN_NONE, 0);
    f.headerRight = caption(LXW_ALIGN_RIGHT, 0);
    f.headerIndented = caption(LXW_ALIGN_NONE, 1);
    f.indented = workbook_add_format(book);
    format_set_indent(f.indented, 1);
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
    f.wrapped = workbook_add_format(book);
    format_set_text_wrap(f.wrapped);
    format_set_align(f.wrapped, LXW_ALIGN_VERTICAL_TOP);
    format_set_indent(f.wrapped, 1);
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
// The report's lines on the sheet as the report prints them: group headings, details, group totals
// and the grand total, the totals as SUBTOTAL formulas over their group's rows (so that a filtered
// sheet sums what it shows, and a nested group's totals are not counted twice) with the report's
// value cached for a reader that does not calculate.
struct Body
{
    Body(Sheet &sheet, lxw_worksheet *ws, const ReportDocument &document, const Formats &f, int keyColumns)
        : sheet(sheet), ws(ws), layout(document.layout), f(f), keyColumns(keyColumns),
          groupStart(document.layout.groups.size() + 1, -1)
    {
    }

    void add(int row, const ReportLine &line, const QVector<int> &keys)
    {
        switch (line.kind) {
        case ReportLine::GroupHeader:
            startGroups(line.level + 1);
            sheet.text(row, 0, line.text, f.bold);
            return;
        case ReportLine::Message:
            sheet.text(row, 0, line.text);
            return;
        case ReportLine::Detail:
            for (int &start : groupStart) {
                if (start < 0)
                    start = row;
            }
            for (int k = 0; k < keys.size(); ++k)
                sheet.value(row, k, line.keys.value(keys[k]), QString());
            for (int c = 0; c < layout.columns.size(); ++c)
                sheet.value(row, keyColumns + c, line.values.value(c), layout.columns[c].format);
            return;
        case ReportLine::GroupFooter:
        case ReportLine::GrandTotal: {
            const bool grand = line.kind == ReportLine::GrandTotal;
            const int level = grand ? 0 : line.level + 1; // the grand total closes every group
            const int start = grand ? firstRow : groupStart.value(level, -1);
            for (int c = 0; c < layout.columns.size(); ++c)
                total(row, keyColumns + c, start, line.values.value(c), layout.columns[c]);
            sheet.text(row, 0, line.text, f.bold);
            startGroups(level);
            return;
        }
        }
    }

    // A heading or totals line at this level ends the groups at it and inside it.
    void startGroups(int level)
    {
        for (int l = level; l < groupStart.size(); ++l)
            groupStart[l] = -1;
    }

    void total(int row, int col, int start, const QVariant &value, const ReportColumn &column)
    {
        const bool number = value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
                            value.typeId() == QMetaType::Double;
        if (!column.total || !number || start < 0 || start >= row ||
            column.format == QLatin1String("Yes/No")) {
            sheet.value(row, col, value, column.format, true);
            return;
        }
        char range[64];
        lxw_rowcol_to_range(range, lxw_row_t(start), lxw_col_t(col), lxw_row_t(row - 1), lxw_col_t(col));
        const QByteArray formula = QByteArrayLiteral("=SUBTOTAL(9,") + range + ')';
        worksheet_write_formula_num(ws, lxw_row_t(row), lxw_col_t(col), formula.constData(),
                                    column.format.contains('.') ? f.totalDecimal : f.totalWhole,
                                    value.toDouble());
    }

    Sheet &sheet;
    lxw_worksheet *ws;
    const ReportLayout &layout;
    const Formats &f;
    int keyColumns;
    int firstRow = 0;
    // by group level (plus one; 0 the whole report): the first detail row of the open group, -1 none yet
    QVector<int> groupStart;
};

const QString kChartSheet = QStringLiteral("Chart");

// The chart of a report that has one (the rejects' Pareto chart): its bars on a sheet of their own,
// reason, rejects and cumulative share biggest first, with the chart below them on one landscape
// page. The library has no second value axis, so the chart it writes only holds the chart's place
// in the sheet: its part is then replaced by the whole chart (putChart). False when there is no
// chart to draw.
bool addChartSheet(lxw_workbook *book, const ReportDocument &document, const Formats &f)
{
    if (document.layout.chart.bars.isEmpty())
        return false;
    lxw_worksheet *ws = workbook_add_worksheet(book, kChartSheet.toUtf8().constData());
    Sheet sheet(ws, f);
    sheet.text(0, 0, QStringLiteral("Reason"), f.header);
    sheet.text(0, 1, QStringLiteral("Rejects"), f.header);
    sheet.text(0, 2, QStringLiteral("Cumulative percentage"), f.header);
    worksheet_set_column(ws, 0, 0, 18, nullptr);
    worksheet_set_column(ws, 1, 2, 14, nullptr);
    worksheet_set_landscape(ws);
    worksheet_set_paper(ws, 1);
    worksheet_fit_to_pages(ws, 1, 1);
    if (document.chart.isEmpty()) {
        sheet.text(1, 0, QStringLiteral("Nothing to chart for the chosen parameters."));
        return false;
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
    chart_add_series(chart, ("=Chart!$A$2:$A$" + last).constData(), ("=Chart!$B$2:$B$" + last).constData());
    // below the figures, across the page
    lxw_chart_options place{};
    place.x_scale = 2.0;
    place.y_scale = 1.6;
    worksheet_insert_chart_opt(ws, lxw_row_t(row + 1), 0, chart, &place);
    return true;
}

// The workbook the library wrote (`draft`) copied into `out` member by member, its chart part
// replaced by the Pareto chart with its line on the percent axis.
bool putChart(const QString &draft, const ReportDocument &document, OutputFile &out)
{
    QFile in(draft);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    ZipReader archive(in);
    ZipWriter zip(out, document.printed);
    if (!archive.ok())
        return false;
    const auto into = [&zip](const char *data, qint64 size) { return zip.write(data, size); };
    for (const ZipReader::Member &member : archive.members()) {
        const bool chart = member.name == "xl/charts/chart1.xml";
        if (!zip.begin(QString::fromUtf8(member.name)) ||
            !(chart ? zip.write(XlsxChart::pareto(document.chart, document.layout.chart.title, kChartSheet))
                    : archive.read(member, into)) ||
            !zip.end())
            return false;
    }
    return zip.finish();
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
// True when the column's details are texts (not figures, dates or flags).
bool textColumn(const ReportDocument &document, int column)
{
    bool text = false;
    document.forEachLine([&](const ReportLine &line) {
        if (line.kind != ReportLine::Detail || !line.values.value(column).isValid())
            return true;
        text = line.values.value(column).typeId() == QMetaType::QString;
        return false;
    });
    return text;
}

// The widest a column of texts grows, in characters: its layout's width or its heading, at least
// a share of a portrait page.
int textBound(const ReportColumn &column)
{
    int bound = std::max(column.width, 40);
    for (const QString &part : column.caption.split('\n'))
        bound = std::max<int>(bound, part.size());
    return bound;
}

// True when the workbook's archive ends with its whole central directory: the library does not
// always notice a write that a full disk cut short.
bool wholeArchive(const QString &path)
{
    QFile file(path);
    constexpr qint64 endRecord = 22; // the end of central directory record, without a comment
    if (!file.open(QIODevice::ReadOnly) || file.size() < endRecord || !file.seek(file.size() - endRecord))
        return false;
    const QByteArray end = file.read(endRecord);
    if (end.size() != endRecord || !end.startsWith("PK\x05\x06"))
        return false;
    const auto *bytes = reinterpret_cast<const uchar *>(end.constData());
    const qint64 directorySize = qFromLittleEndian<quint32>(bytes + 12);
    const qint64 directoryOffset = qFromLittleEndian<quint32>(bytes + 16);
    return directoryOffset + directorySize == file.size() - endRecord;
}
} // namespace

void XlsxReport::write(const ReportDocument &document, const QString &path,
                       const std::function<bool(int, int)> &progress)
{
    // The library writes its file by name: it writes into the new file of an OutputFile, which
    // takes the place of the old one only when the workbook is whole.
    OutputFile output(path);
    if (!output.open())
        throw ReportError(ReportError::Output, output.failure());
    const QString written = output.writerPath();
    // A long report's sheet goes to the file row by row (the library otherwise holds every cell
    // until it closes the workbook: half a gigabyte for five years of production counts); its
    // texts are then written in their cells rather than in the table of shared strings.
    const QByteArray temporary = QDir::tempPath().toUtf8();
    lxw_workbook_options options{};
    options.constant_memory = document.spool ? LXW_TRUE : LXW_FALSE;
    options.tmpdir = const_cast<char *>(temporary.constData());
    lxw_workbook *book = workbook_new_opt(written.toUtf8().constData(), &options);
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
    // the columns first: a sheet written row by row gives each row the columns' formats as it
    // is written
    QVector<lxw_format *> captionFormats;
    int col = 0;
    for (int g : keys) {
        worksheet_set_column(ws, col, col, std::max<int>(12, layout.groups[g].field.size() + 4), nullptr);
        ++col;
    }
    const QVector<int> widths = columnWidths(document);
    for (int c = 0; c < layout.columns.size(); ++c) {
        const bool text = textColumn(document, c);
        const bool right = layout.columns[c].align == ReportColumn::Right;
        captionFormats << (right ? f.headerRight : (text ? f.headerIndented : f.header));
        // a column of texts wraps them inside its layout's width (or a share of the page), so that
        // one long description does not shrink the printed sheet; figures keep their whole width
        const bool wraps = text && widths[c] > textBound(layout.columns[c]);
        const int width = wraps ? textBound(layout.columns[c]) : widths[c];
        worksheet_set_column(ws, col, col, width * 1.15 + 3,
                             wraps ? f.wrapped : (text && !right ? f.indented : nullptr));
        ++col;
    }

    int row = 0;
    sheet.text(row++, 0, document.company, f.title);
    sheet.text(row++, 0, document.layout.title, f.bold);
    for (const QString &line : document.heading)
        sheet.text(row++, 0, line);
    ++row;
    const int headerRow = row;
    col = 0;
    for (int g : keys)
        sheet.text(row, col++, layout.groups[g].field, f.header);
    for (int c = 0; c < layout.columns.size(); ++c)
        sheet.text(row, col++, QString(layout.columns[c].caption).replace('\n', ' '), captionFormats[c]);
    worksheet_freeze_panes(ws, headerRow + 1, 0);
    setUpPage(ws, document, headerRow);
    ++row;

    Body body(sheet, ws, document, f, int(keys.size()));
    body.firstRow = row;
    const int lines = int(document.lineCount());
    int done = 0;
    bool cancelled = false;
    document.forEachLine([&](const ReportLine &line) {
        cancelled = progress && !progress(++done, lines);
        if (!cancelled)
            body.add(row++, line, keys);
        return !cancelled;
    });
    if (cancelled) {
        lxw_workbook_free(book); // nothing is written before the workbook closes
        throw ReportCancelled(QStringLiteral("The export was cancelled."));
    }
    const bool chart = addChartSheet(book, document, f);
    const lxw_error error = workbook_close(book);
    if (error == LXW_NO_ERROR && wholeArchive(written)) {
        if (!chart && output.commit())
            return;
        if (chart) { // the library's file is a draft, dropped when this returns
            OutputFile workbook(path);
            if (workbook.open() && putChart(written, document, workbook) && workbook.commit())
                return;
            throw ReportError(ReportError::Output, workbook.failure());
        }
    }
    const QString why = output.failure();
    if (error != LXW_NO_ERROR && !why.contains(QLatin1String(" is full")))
        throw ReportError(ReportError::Output, QStringLiteral("The workbook \"%1\" could not be written: %2")
                                                   .arg(path, QString::fromUtf8(lxw_strerror(error))));
    throw ReportError(ReportError::Output, why);
}
