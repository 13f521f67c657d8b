#include "ReportOutput.h"

#include "reports/engine/ReportPainter.h"

#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>

namespace {
// Paints the report with a progress dialog once it runs past a few pages.
void paintWithProgress(const ReportDocument &document, QPrinter &printer, QWidget *parent)
{
    const ReportPainter painter(document);
    QProgressDialog progress(QStringLiteral("Preparing the report pages..."), QStringLiteral("Cancel"), 0, 0,
                             parent);
    progress.setWindowTitle(document.layout.title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const int first = printer.printRange() == QPrinter::PageRange ? printer.fromPage() : 1;
    const int last = printer.printRange() == QPrinter::PageRange ? printer.toPage() : 0;
    painter.paint(printer, first, last, [&](int page, int pages) {
        progress.setMaximum(pages);
        progress.setValue(page);
        progress.setLabelText(QStringLiteral("Page %1 of %2").arg(page).arg(pages));
        QApplication::processEvents();
        return !progress.wasCanceled();
    });
}
} // namespace

void ReportOutput::preview(const ReportDocument &document, const QString &title, QPrinter &printer,
                           QWidget *parent)
{
    ReportPainter(document).setUpPage(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(title);
    if (const QScreen *screen = QApplication::primaryScreen())
        dialog.setGeometry(screen->availableGeometry());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter *target) { paintWithProgress(document, *target, &dialog); });
    dialog.exec();
}

void ReportOutput::print(const ReportDocument &document, QPrinter &printer, QWidget *parent)
{
    ReportPainter(document).setUpPage(printer);
    paintWithProgress(document, printer, parent);
}
