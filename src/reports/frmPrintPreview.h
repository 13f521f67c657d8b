#pragma once

#include <QDialog>
#include <memory>

class QAction;
class QLineEdit;
class ReportPageView;
class ReportPages;
struct ReportDocument;

// The print preview of a report: its pages as its PDF has them, in a view that paints only the
// pages on screen, so that a year of pages opens as fast as a day. The tool bar pages through it,
// zooms, and hands Print and Export back to whoever opened the preview.
class frmPrintPreview : public QDialog
{
    Q_OBJECT

public:
    // Shows the report on letter paper; the document must stay until the window is gone. Placed
    // at the top-left corner of the screen and sized to the whole screen.
    frmPrintPreview(const ReportDocument &document, const QString &title, QWidget *parent = nullptr);
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

    std::unique_ptr<ReportPages> m_pages;
    ReportPageView *m_view;
    QLineEdit *m_txtPage = nullptr;
    int m_page = 0;
};
