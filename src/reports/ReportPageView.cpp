#include "ReportPageView.h"

#include "reports/engine/ReportPainter.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {
// pages kept painted: a screen of pages at a small zoom, or two at a large one
constexpr int kKeptPages = 6;
} // namespace

ReportPageView::ReportPageView(QWidget *parent) : QAbstractScrollArea(parent)
{
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
}

void ReportPageView::setPages(const ReportPages *pages)
{
    m_pages = pages;
    m_painted.clear();
    updateLayout();
}

void ReportPageView::setZoomMode(ZoomMode mode)
{
    m_mode = mode;
    updateLayout();
}

void ReportPageView::setZoomFactor(double factor)
{
    m_mode = ZoomMode::Custom;
    m_scale = factor;
    updateLayout();
}

QSize ReportPageView::pagePixels() const
{
    if (!m_pages)
        return {};
    return (m_pages->pageSize() * m_scale).toSize();
}

// The zoom of the fitting modes and the scroll bars' ranges, from the viewport's size.
void ReportPageView::updateLayout()
{
    if (m_pages && m_mode != ZoomMode::Custom) {
        const QSizeF paper = m_pages->pageSize();
        const QSize room = viewport()->size() - QSize(2, 2) * documentMargin();
        double scale = room.width() / paper.width();
        if (m_mode == ZoomMode::FitInView)
            scale = std::min(scale, room.height() / paper.height());
        m_scale = std::max(0.01, scale);
    }
    // the same place of the report stays at the top when the pages change size
    QScrollBar *bar = verticalScrollBar();
    const double at = double(bar->value()) / std::max(1, bar->maximum() + bar->pageStep());
    const QSize page = pagePixels();
    const int count = m_pages ? m_pages->count() : 0;
    const int width = page.width() + 2 * documentMargin();
    const int height = count * page.height() + std::max(0, count - 1) * pageSpacing() + 2 * documentMargin();
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    bar->setRange(0, std::max(0, height - viewport()->height()));
    bar->setPageStep(viewport()->height());
    bar->setValue(qRound(at * height));
    viewport()->update();
}

// The page painted at the view's zoom, painted now when it is not among those kept.
const QImage &ReportPageView::pageImage(int page)
{
    const QSize size = pagePixels();
    for (int i = 0; i < m_painted.size(); ++i) {
        if (m_painted[i].first == page && m_painted[i].second.size() == size) {
            m_painted.move(i, 0);
            return m_painted.front().second;
        }
    }
    m_painted.prepend({page, m_pages->image(page, m_scale)});
    while (m_painted.size() > kKeptPages)
        m_painted.removeLast();
    return m_painted.front().second;
}

void ReportPageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().dark());
    if (!m_pages || m_pages->count() == 0)
        return;
    const QSize page = pagePixels();
    const int stride = page.height() + pageSpacing();
    const int top = verticalScrollBar()->value();
    // centred when narrower than the view
    const int x =
        std::max(documentMargin(), (viewport()->width() - page.width()) / 2) - horizontalScrollBar()->value();
    const int first = std::max(0, (top - documentMargin()) / std::max(1, stride));
    for (int p = first; p < m_pages->count(); ++p) {
        const int y = documentMargin() + p * stride - top;
        if (y >= viewport()->height())
            break;
        const QRect box(QPoint(x, y), page);
        if (box.intersects(event->rect()))
            painter.drawImage(box.topLeft(), pageImage(p));
    }
}

void ReportPageView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateLayout();
}

void ReportPageView::scrollContentsBy(int, int)
{
    viewport()->update();
}
