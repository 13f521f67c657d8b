#include "ReportOutput.h"
#include "ReportParmsSheet.h"

#include "foundation/Paths.h"
#include "foundation/Prompter.h"
#include "foundation/Session.h"
#include "frmPrintPreview.h"
#include "reports/engine/OutputFile.h"
#include "reports/engine/ReportError.h"
#include "reports/engine/ReportExport.h"
#include "reports/engine/ReportPainter.h"
#include "widgets/WaitCursor.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QPrinter>
#include <QProgressDialog>
#include <QScopeGuard>
#include <optional>

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

// True when the PDF the printer wrote ends with its trailer: the printer does not tell a write
// that a full disk cut short.
bool wholePdf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.size() > 32 && file.seek(file.size() - 32) &&
           file.read(32).contains("%%EOF");
}

// The export type and file name, as the report window asks for them. False when not chosen.
bool chooseExport(QWidget *parent, int &code, QString &typedName)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmExportChoice"));
    dialog.setWindowTitle(QStringLiteral("Export To Document"));
    auto *types = new QComboBox(&dialog);
    types->setObjectName(QStringLiteral("cmbExportType"));
    for (const ReportExport::Type &type : ReportExport::types())
        types->addItem(type.text, type.code);
    auto *name = new QLineEdit(&dialog);
    name->setObjectName(QStringLiteral("txtExptFilename"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("Export/Mail File Type"), types);
    form->addRow(QStringLiteral("Filename"), name);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted || name->text().trimmed().isEmpty())
        return false;
    code = types->currentData().toInt();
    typedName = name->text();
    return true;
}

// Print and Export of the preview window; what fails is told, and the preview stays open.
void printFromPreview(const ReportDocument &document, QPrinter &printer, Session &session, QWidget *window)
{
    try {
        ReportOutput::print(document, printer, window);
    } catch (const ReportCancelled &) {
        session.prompter().tell(QStringLiteral("The printing was cancelled."), programTitle(),
                                MsgIcon::Information);
    } catch (const ReportError &error) {
        session.prompter().tell(error.message(), QStringLiteral("Reporting Error"), MsgIcon::Critical);
    }
}

void exportFromPreview(const ReportDocument &document, Session &session, QWidget *window)
{
    int code = 0;
    QString typedName;
    if (!chooseExport(window, code, typedName))
        return;
    try {
        ReportOutput::exportNamed(document, code, typedName, session, window);
    } catch (const ReportCancelled &cancelled) {
        session.prompter().tell(cancelled.text(), programTitle(), MsgIcon::Information);
    } catch (const ReportError &error) {
        session.prompter().tell(error.message(), QStringLiteral("Reporting Error"), MsgIcon::Critical);
    }
}
} // namespace

void ReportOutput::preview(const ReportDocument &document, const QString &title, QPrinter &printer,
                           Session &session, QWidget *parent)
{
    std::optional<frmPrintPreview> made;
    {
        WaitCursor wait; // while the report is laid out on its pages
        made.emplace(document, title, parent);
    }
    frmPrintPreview &window = *made;
    QObject::connect(&window, &frmPrintPreview::printRequested, &window,
                     [&] { printFromPreview(document, printer, session, &window); });
    QObject::connect(&window, &frmPrintPreview::exportRequested, &window,
                     [&] { exportFromPreview(document, session, &window); });
    window.exec();
}

void ReportOutput::print(const ReportDocument &document, QPrinter &printer, QWidget *parent)
{
    PageProgress progress(document.layout.title, parent);
    print(document, printer, [&](int page, int pages) { return progress(page, pages); });
}

void ReportOutput::print(const ReportDocument &document, QPrinter &printer, const Progress &progress)
{
    // Printed to a file: into a new file that takes the old one's place only when it is whole.
    const QString target =
        printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    std::optional<OutputFile> file;
    if (!target.isEmpty()) {
        file.emplace(target);
        if (!file->open())
            throw ReportError(ReportError::Output, file->failure());
        printer.setOutputFileName(file->writerPath());
    }
    const auto restore = qScopeGuard([&] {
        if (file)
            printer.setOutputFileName(target);
    });
    ReportPainter(document).setUpPage(printer);
    const int first = printer.printRange() == QPrinter::PageRange ? printer.fromPage() : 1;
    const int last = printer.printRange() == QPrinter::PageRange ? printer.toPage() : 0;
    bool cancelled = false;
    ReportPainter(document).paint(printer, first, last, [&](int page, int pages) {
        cancelled = progress && !progress(page, pages);
        if (cancelled)
            printer.abort(); // while the painter is still active, so that the pages so far are dropped
        return !cancelled;
    });
    if (cancelled)
        throw ReportCancelled(QStringLiteral("The printing was cancelled.")); // the new file is dropped
    if (file && (!wholePdf(file->writerPath()) || !file->commit()))
        throw ReportError(ReportError::Output, file->failure());
}

void ReportOutput::exportTo(const ReportDocument &document, int code, const QString &path, QWidget *parent)
{
    PageProgress progress(document.layout.title, parent);
    ReportExport::write(document, code, path, [&](int page, int pages) { return progress(page, pages); });
}

QString ReportOutput::exportNamed(const ReportDocument &document, int code, const QString &typedName,
                                  Session &session, QWidget *parent)
{
    QString folderError;
    const QString path =
        ReportParmsSheet::exportPath(typedName, code, 0, session.paths().userDataFolder(), &folderError);
    if (!folderError.isEmpty()) {
        session.prompter().tell(folderError, QStringLiteral("Export To Document"), MsgIcon::Critical);
        return {};
    }
    {
        WaitCursor wait;
        exportTo(document, code, path, parent);
    }
    session.prompter().tell(
        QStringLiteral("The report was written to %1").arg(QDir::toNativeSeparators(path)),
        QStringLiteral("Export To Document"), MsgIcon::Information);
    return path;
}
