#pragma once

#include <QDialog>

class QAction;
class QLineEdit;
class QPdfDocument;
class QPdfView;

// The print preview of a report: the report's PDF in a view that renders only the pages on
// screen, so that a year of pages opens as fast as a day. The tool bar pages through it, zooms,
// and hands Print and Export back to whoever opened the preview.
class frmPrintPreview : public QDialog
{
    Q_OBJECT

public:
    // Shows the PDF file at `path`; the file must stay until the window is gone. Placed at the
    // top-left corner of the screen and sized to the whole screen.
    frmPrintPreview(const QString &path, const QString &title, QWidget *parent = nullptr);
    ~frmPrintPreview() override;

    int pageCount() const;
    // 0-based page at the top of the view.
    int currentPage() const;
    void goToPage(int page);

signals:
    void printRequested();
    void exportRequested();

private:
    void createToolBar();
    void pageShown(int page);
    void pageTyped();
    void zoomBy(double factor);

    QPdfDocument *m_document;
    QPdfView *m_view;
    QLineEdit *m_txtPage = nullptr;
    int m_page = 0;
};
