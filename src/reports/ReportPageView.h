#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QList>
#include <QPair>

class ReportPages;

// The pages of a report one under the other, each painted from the laid-out report only when it
// comes into view, at the view's zoom: a year of pages opens as fast as a day. The last few pages
// painted are kept, so that scrolling back and forth does not paint them again.
class ReportPageView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    enum class ZoomMode { Custom, FitToWidth, FitInView };

    explicit ReportPageView(QWidget *parent = nullptr);

    // The pages must outlive the view, or be replaced first.
    void setPages(const ReportPages *pages);
    const ReportPages *pages() const { return m_pages; }
    void setZoomMode(ZoomMode mode);
    ZoomMode zoomMode() const { return m_mode; }
    // Pixels per point of the page; in the fitting modes, the one they came to.
    double zoomFactor() const { return m_scale; }
    void setZoomFactor(double factor);
    // Pixels between two pages, and around them all.
    int pageSpacing() const { return 3; }
    int documentMargin() const { return 6; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateLayout();
    QSize pagePixels() const;
    const QImage &pageImage(int page);

    const ReportPages *m_pages = nullptr;
    ZoomMode m_mode = ZoomMode::FitToWidth;
    double m_scale = 1;
    QList<QPair<int, QImage>> m_painted; // most recently shown first
};
