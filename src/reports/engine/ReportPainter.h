#pragma once

#include "ReportDocument.h"

#include <QFont>
#include <QImage>
#include <QPageLayout>
#include <QVector>
#include <functional>
#include <memory>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class ReportPages;

// Draws a report on paged paint devices (a PDF document, a printer, the print preview): a tidy
// printed page with the company and title on top, shaded group headings, totals under rules and
// the print date and page numbers at the foot.
class ReportPainter
{
public:
    explicit ReportPainter(const ReportDocument &document);

    // Sets the orientation of the layout and the report's margins on the device; the paper stays
    // the device's.
    void setUpPage(QPagedPaintDevice &device) const;
    // The page of the report on paper of the given size.
    QPageLayout pageLayout(const QPageSize &paper) const;
    // The typeface of every text of the report.
    static QFont typeface();

    // Paints pages firstPage..lastPage (1-based; 0 for lastPage means to the end). `progress` is
    // called after each page with (page, pages) and may return false to stop. Returns the number
    // of pages of the whole report, 0 when the device cannot be painted on.
    int paint(QPagedPaintDevice &device, int firstPage = 1, int lastPage = 0,
              const std::function<bool(int, int)> &progress = {}) const;
    // The chart of a report that has one, alone on a picture 10 by 6 inches (the width of a
    // landscape page) at the given resolution, for documents that take pictures; a null image
    // when the report has no chart.
    QImage chartImage(int dpi) const;
    // The same on a device that starts a page when `newPage` is called.
    int paint(QPaintDevice &device, const std::function<void()> &newPage, int firstPage, int lastPage,
              const std::function<bool(int, int)> &progress) const;

private:
    friend class ReportPages;
    struct Metrics;
    Metrics measure(const QPaintDevice &device) const;
    QVector<ReportPage> layOut(const Metrics &m) const;
    void paintPage(QPainter &painter, const Metrics &m, const QVector<ReportPage> &pages, int page, int total,
                   ReportLineReader &reader) const;
    QVector<double> textWidths(const QPaintDevice &device, double pad, QVector<double> &layoutWidths) const;
    QVector<double> fitted(const QVector<double> &text, const QVector<double> &layout, double scale,
                           double pad, double pageWidth) const;
    void paintHeading(QPainter &painter, const Metrics &m, bool captions = true) const;
    void paintChart(QPainter &painter, const Metrics &m) const;
    void paintFooter(QPainter &painter, const Metrics &m, int page, int pages) const;
    double paintLine(QPainter &painter, const Metrics &m, const ReportLine &line, double y,
                     bool shaded) const;
    void paintCells(QPainter &painter, const Metrics &m, const QStringList &cells, double y, double h,
                    bool totalsOnly) const;
    double lineHeight(const Metrics &m, const ReportLine &line) const;
    QStringList cellLines(const Metrics &m, const QString &text, int column) const;

    const ReportDocument &m_doc;
};

// The report laid out once on the pages of its PDF (the same pages, with the same lines on each),
// for painting any one page alone at any size: the print preview paints only the pages it shows.
// The document must outlive it.
class ReportPages
{
public:
    ReportPages(const ReportDocument &document, const QPageLayout &layout, int resolution = 300);
    ~ReportPages();

    int count() const { return m_total; }
    // The whole paper, in points.
    QSizeF pageSize() const { return m_layout.fullRect(QPageLayout::Point).size(); }
    // The page (0-based) on its white paper, `scale` pixels per point.
    QImage image(int page, double scale) const;

private:
    ReportPainter m_painter;
    QPageLayout m_layout;
    int m_resolution;
    std::unique_ptr<ReportPainter::Metrics> m_metrics;
    QVector<ReportPage> m_pages;
    int m_total = 0;
};
