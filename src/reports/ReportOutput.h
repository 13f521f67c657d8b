#pragma once

#include <QString>

class QPrinter;
class QWidget;
struct ReportDocument;

// Sends a finished report to the screen or the printer. Long reports show a progress dialog
// whose Cancel stops the pages still to come.
namespace ReportOutput {
// The print preview, placed at the top-left corner of the screen and sized to the whole screen.
void preview(const ReportDocument &document, const QString &title, QPrinter &printer, QWidget *parent);
// Prints the pages the printer's setup chose (all when none), in its number of copies.
void print(const ReportDocument &document, QPrinter &printer, QWidget *parent);
// Writes the export file by its type code, with the progress dialog for a long PDF.
void exportTo(const ReportDocument &document, int code, const QString &path, QWidget *parent);
} // namespace ReportOutput
