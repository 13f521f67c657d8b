#include "ReportOutput.h"

#include "reports/engine/ReportExport.h"
#include "reports/engine/ReportPainter.h"

#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>

namespace {
// A progress dialog that shows once the pages take longer than half a second; Cancel stops them.
class PageProgress
{
public:
    PageProgress(const QString &title, QWidget *parent)
        : m_dialog(QStringLiteral("Preparing the report pages..."), QStringLiteral("Cancel"), 0, 0, parent)
    {
        m_dialog.setWindowTitle(title);
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(500);
    }

    bool operator()(int page, int pages)
    {
        m_dialog.setMaximum(pages);
        m_dialog.setValue(page);
        m_dialog.setLabelText(QStringLiteral("Page %1 of %2").arg(page).arg(pages));
        QApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
};

void paintWithProgress(const ReportDocument &document, QPrinter &printer, QWidget *parent)
{
    PageProgress progress(document.layout.title, parent);
    const int first = printer.printRange() == QPrinter::PageRange ? printer.fromPage() : 1;
    const int last = printer.printRange() == QPrinter::PageRange ? printer.toPage() : 0;
    ReportPainter(document).paint(printer, first, last,
                                  [&](int page, int pages) { return progress(page, pages); });
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

void ReportOutput::exportTo(const ReportDocument &document, int code, const QString &path, QWidget *parent)
{
    PageProgress progress(document.layout.title, parent);
    ReportExport::write(document, code, path, [&](int page, int pages) { return progress(page, pages); });
}
