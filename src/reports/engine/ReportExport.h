#pragma once

#include <QList>
#include <QString>
#include <functional>

struct ReportDocument;

// Files a report can be exported to, by the engine's export file type codes. The word-processor
// types write OpenDocument text, the spreadsheet types an .xlsx workbook; PDF comes last.
namespace ReportExport {
enum Code { None = 0, Text = 2, Lotus = 12, Word = 17, WordPerfect = 18, Excel = 19, Pdf = 31 };

struct Type
{
    QString text;
    int code;
};

// The export type list in its order: "Word (*.doc)", "Excel (*.xls)", "Lotus 1-2-3 (*.wk3)",
// "WordPerfect (*.doc)", "Text (*.txt)", "PDF (*.pdf)".
const QList<Type> &types();
// The code of a list text; any other text gives 0.
int codeFor(const QString &text);
// The real extension of the file a code writes (".odt", ".xlsx", ".txt", ".pdf"); empty for 0.
QString extension(int code);
// The name typed by the user with the extension of what is really written: a missing extension
// is added, the extension of another format replaced ("counts.xls" -> "counts.xlsx").
QString fileName(const QString &typed, int code);
// The file of a second report of the same run (part 1, the reject update report) goes beside the
// first with " update" before the extension, so that it does not overwrite it; part 0 keeps the name.
QString partFileName(const QString &typed, int part);
// Writes the file; throws ReportError when the code is unknown or the file cannot be written.
// `progress` is called with (page, pages) as the pages are written (for a document or workbook,
// pages of about a printed page's lines); false stops the writing and no file is left (ReportError
// "cancelled").
void write(const ReportDocument &document, int code, const QString &path,
           const std::function<bool(int, int)> &progress = {});
} // namespace ReportExport
