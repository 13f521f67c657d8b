#pragma once

#include <QString>
#include <functional>

class QPrinter;
class QWidget;
class Session;
struct ReportDocument;

// Sends a finished report to the screen, the printer or a file. Long reports show a progress
// dialog whose Cancel stops the output: then nothing is shown, printed or kept, and the function
// throws ReportCancelled.
namespace ReportOutput {
// Called after each page with (page, pages); false stops the output.
using Progress = std::function<bool(int page, int pages)>;

// The print preview: the report's pages as the engine's PDF has them, each painted when it is
// shown, in a window placed at the top-left corner of the screen and sized to the whole screen,
// whose Print and Export work as the report window's. No file is written for it.
void preview(const ReportDocument &document, const QString &title, QPrinter &printer, Session &session,
             QWidget *parent);
// Prints the pages the printer's setup chose (all when none), in its number of copies.
void print(const ReportDocument &document, QPrinter &printer, QWidget *parent);
// The same with the progress given instead of the progress dialog.
void print(const ReportDocument &document, QPrinter &printer, const Progress &progress);
// Writes the export file by its type code, with the progress dialog for a long PDF.
void exportTo(const ReportDocument &document, int code, const QString &path, QWidget *parent);
// Writes the export file the user named (with the real extension of the code; a relative name goes
// to the user's data folder) and tells the path written. Returns the path.
QString exportNamed(const ReportDocument &document, int code, const QString &typedName, Session &session,
                    QWidget *parent);
} // namespace ReportOutput
