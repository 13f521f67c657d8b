#include "ReportExport.h"

#include "OdtReport.h"
#include "OutputFile.h"
#include "PdfDocument.h"
#include "ReportError.h"
#include "ReportPainter.h"
#include "TextReport.h"
#include "XlsxReport.h"

#include <QFileInfo>
#include <QPdfWriter>

namespace {
[[noreturn]] void throwCancelled()
{
    throw ReportCancelled(QStringLiteral("The export was cancelled."));
}

void writeText(const ReportDocument &document, const QString &path,
               const std::function<bool(int, int)> &progress)
{
    OutputFile file(path);
    if (!file.open())
        throw ReportError(ReportError::Output, file.failure());
    bool stopped = false;
    const bool whole = TextReport::write(
        document,
        [&](const QString &page) {
            const QByteArray bytes = page.toUtf8();
            return file.write(bytes) == bytes.size(); // a full disk stops at once
        },
        TextReport::DefaultPageLines,
        [&](int page, int pages) {
            stopped = progress && !progress(page, pages);
            return !stopped;
        });
    if (stopped)
        throwCancelled();
    if (!whole || !file.commit())
        throw ReportError(ReportError::Output, file.failure());
}

// The progress of a writer that goes line by line (a document, a workbook), told in pages of about
// as many lines as a printed page holds, so that every export counts the same way.
std::function<bool(int, int)> byPages(const std::function<bool(int, int)> &progress)
{
    if (!progress)
        return {};
    constexpr int linesPerPage = 50;
    return [progress, page = 0](int line, int lines) mutable {
        const int pages = std::max(1, (lines + linesPerPage - 1) / linesPerPage);
        const int now = std::min(pages, (line + linesPerPage - 1) / linesPerPage);
        if (now == page && line < lines)
            return true;
        page = now;
        return progress(now, pages);
    };
}

// Qt's own PDF engine: for a typeface this program cannot embed itself. Empty when written,
// otherwise why not.
QString paintWithQt(const ReportDocument &document, const QString &path,
                    const std::function<bool(int, int)> &progress)
{
    OutputFile file(path);
    if (!file.open())
        return file.failure();
    QPdfWriter writer(&file);
    writer.setResolution(300);
    writer.setCreator(QStringLiteral("Kelvara"));
    writer.setTitle(document.layout.title);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    const ReportPainter painter(document);
    painter.setUpPage(writer);
    bool stopped = false;
    const int pages = painter.paint(writer, 1, 0, [&](int page, int of) {
        stopped = !progress(page, of) || file.failed();
        return !stopped;
    });
    if (stopped && !file.failed())
        return {}; // cancelled: the file is dropped, the old one kept
    if (pages <= 0 || !file.commit())
        return file.failure();
    return {};
}

QString paintPdf(const ReportDocument &document, const QString &path,
                 const std::function<bool(int, int)> &progress)
{
    const ReportPainter painter(document);
    PdfDocument pdf(path, painter.pageLayout(QPageSize(QPageSize::Letter)));
    pdf.setCreator(QStringLiteral("Kelvara"));
    pdf.setTitle(document.layout.title);
    bool stopped = false;
    painter.paint(
        pdf, [&pdf] { pdf.newPage(); }, 1, 0,
        [&](int page, int pages) {
            // a full disk stops the pages at once, rather than after the year's last page
            stopped = !progress(page, pages) || !pdf.errorString().isEmpty();
            return !stopped;
        });
    if (stopped && pdf.errorString().isEmpty())
        return {}; // cancelled: the unfinished file is dropped, the old one kept
    return pdf.finish() ? QString() : pdf.errorString();
}

void writePdf(const ReportDocument &document, const QString &path,
              const std::function<bool(int, int)> &progress)
{
    bool cancelled = false;
    const auto onPage = [&](int page, int pages) {
        cancelled = progress && !progress(page, pages);
        return !cancelled;
    };
    const QString failure = PdfDocument::canEmbed(ReportPainter::typeface())
                                ? paintPdf(document, path, onPage)
                                : paintWithQt(document, path, onPage);
    if (cancelled)
        throwCancelled();
    if (!failure.isEmpty())
        throw ReportError(ReportError::Output, failure);
}
} // namespace

const QList<ReportExport::Type> &ReportExport::types()
{
    static const QList<Type> list{
        {QStringLiteral("Word (*.doc)"), Word},         {QStringLiteral("Excel (*.xls)"), Excel},
        {QStringLiteral("Lotus 1-2-3 (*.wk3)"), Lotus}, {QStringLiteral("WordPerfect (*.doc)"), WordPerfect},
        {QStringLiteral("Text (*.txt)"), Text},         {QStringLiteral("PDF (*.pdf)"), Pdf},
    };
    return list;
}

int ReportExport::codeFor(const QString &text)
{
    for (const Type &type : types()) {
        if (type.text == text)
            return type.code;
    }
    return None;
}

QString ReportExport::extension(int code)
{
    switch (code) {
    case Word:
    case WordPerfect:
        return QStringLiteral(".odt");
    case Excel:
    case Lotus:
        return QStringLiteral(".xlsx");
    case Text:
        return QStringLiteral(".txt");
    case Pdf:
        return QStringLiteral(".pdf");
    default:
        return {};
    }
}

QString ReportExport::fileName(const QString &typed, int code)
{
    const QString wanted = extension(code);
    QString name = typed.trimmed();
    if (wanted.isEmpty() || name.endsWith(wanted, Qt::CaseInsensitive))
        return name;
    const QFileInfo info(name);
    const QString suffix = info.suffix().toLower();
    static const QStringList known{QStringLiteral("doc"), QStringLiteral("docx"), QStringLiteral("odt"),
                                   QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("wk3"),
                                   QStringLiteral("txt"), QStringLiteral("pdf"),  QStringLiteral("rtf")};
    if (known.contains(suffix))
        name.chop(suffix.size() + 1);
    return name + wanted;
}

QString ReportExport::partFileName(const QString &typed, int part)
{
    if (part == 0)
        return typed;
    const QString name = typed.trimmed();
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    return base + QStringLiteral(" update") + (suffix.isEmpty() ? QString() : '.' + suffix);
}

void ReportExport::write(const ReportDocument &document, int code, const QString &path,
                         const std::function<bool(int, int)> &progress)
{
    switch (code) {
    case Word:
    case WordPerfect:
        OdtReport::write(document, path, byPages(progress));
        return;
    case Excel:
    case Lotus:
        XlsxReport::write(document, path, byPages(progress));
        return;
    case Text:
        writeText(document, path, progress);
        return;
    case Pdf:
        writePdf(document, path, progress);
        return;
    default:
        throw ReportError(ReportError::Output,
                          QStringLiteral("No export file type has been chosen (type code %1).").arg(code));
    }
}
