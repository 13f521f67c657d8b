#include "frmPrintPreview.h"
#include "ReportPageView.h"

#include "reports/engine/ReportPainter.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
constexpr double kZoomStep = 1.25;
}

frmPrintPreview::frmPrintPreview(const ReportDocument &document, const QString &title, QWidget *parent)
    : QDialog(parent), m_view(new ReportPageView(this))
{
    setObjectName(QStringLiteral("frmPrintPreview"));
    setWindowTitle(title);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    const ReportPainter painter(document);
    m_pages = std::make_unique<ReportPages>(document, painter.pageLayout(QPageSize(QPageSize::Letter)));
    m_view->setObjectName(QStringLiteral("pdfView"));
    // A page fitted to the width that is about as tall as the view needs the scroll bar, which
    // narrows the page until it is no longer needed, which widens the page again: the view would
    // lay itself out without end and never show the page (a report of one page). With the bar
    // always there the width does not depend on it.
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_view->setPages(m_pages.get());
    createToolBar();
    auto *layout = qobject_cast<QVBoxLayout *>(this->layout());
    layout->addWidget(m_view, 1);
    // the page shown follows the scroll bar: as it moves, and as the pages change size
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { pageShown(currentPage()); });
    connect(m_view->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            [this] { pageShown(currentPage()); });
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        move(0, 0); // the window's frame at the corner
        resize(screen->geometry().size());
    }
    pageShown(0);
}

frmPrintPreview::~frmPrintPreview()
{
    // the view lets go of the pages before they are gone
    m_view->setPages(nullptr);
}

void frmPrintPreview::createToolBar()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tlbPreview"));
    layout->addWidget(bar);
    const auto add = [&](const QString &name, const QString &text, auto slot) {
        QAction *action = bar->addAction(text, this, slot);
        action->setObjectName(name);
        return action;
    };
    add(QStringLiteral("actFirstPage"), QStringLiteral("|<"), [this] { goToPage(0); });
    add(QStringLiteral("actPreviousPage"), QStringLiteral("<"), [this] { goToPage(m_page - 1); });
    m_txtPage = new QLineEdit(bar);
    m_txtPage->setObjectName(QStringLiteral("txtPage"));
    m_txtPage->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000 / 00000")) + 12);
    m_txtPage->setAlignment(Qt::AlignCenter);
    bar->addWidget(m_txtPage);
    connect(m_txtPage, &QLineEdit::returnPressed, this, &frmPrintPreview::pageTyped);
    add(QStringLiteral("actNextPage"), QStringLiteral(">"), [this] { goToPage(m_page + 1); });
    add(QStringLiteral("actLastPage"), QStringLiteral(">|"), [this] { goToPage(pageCount() - 1); });
    bar->addSeparator();
    add(QStringLiteral("actFitWidth"), QStringLiteral("Fit Width"),
        [this] { m_view->setZoomMode(ReportPageView::ZoomMode::FitToWidth); });
    add(QStringLiteral("actFitPage"), QStringLiteral("Fit Page"),
        [this] { m_view->setZoomMode(ReportPageView::ZoomMode::FitInView); });
    add(QStringLiteral("actZoomIn"), QStringLiteral("Zoom In"), [this] { zoomBy(kZoomStep); });
    add(QStringLiteral("actZoomOut"), QStringLiteral("Zoom Out"), [this] { zoomBy(1 / kZoomStep); });
    bar->addSeparator();
    add(QStringLiteral("actPrint"), QStringLiteral("&Print..."), [this] { emit printRequested(); });
    add(QStringLiteral("actExport"), QStringLiteral("&Export..."), [this] { emit exportRequested(); });
    bar->addSeparator();
    add(QStringLiteral("actClose"), QStringLiteral("&Close"), [this] { reject(); });
}

int frmPrintPreview::pageCount() const
{
    return m_pages->count();
}

// Every page of a report has the same size, so the page at the top follows from how far down the
// view is scrolled.
int frmPrintPreview::currentPage() const
{
    const QScrollBar *bar = m_view->verticalScrollBar();
    const int pages = pageCount();
    const double length = bar->maximum() + bar->pageStep();
    if (pages <= 1 || length <= 0)
        return 0;
    // scrolled to the end: the last page is shown, also where the view holds more than one page
    if (bar->maximum() > 0 && bar->value() >= bar->maximum())
        return pages - 1;
    const double perPage = length / pages;
    // a page counts as shown once the half of the spacing before it has scrolled away
    return qBound(0, int((bar->value() + m_view->pageSpacing()) / perPage), pages - 1);
}

void frmPrintPreview::goToPage(int page)
{
    page = qBound(0, page, qMax(0, pageCount() - 1));
    QScrollBar *bar = m_view->verticalScrollBar();
    const double length = bar->maximum() + bar->pageStep();
    if (pageCount() > 0)
        bar->setValue(qRound(length * page / pageCount()));
    pageShown(page);
}

void frmPrintPreview::pageShown(int page)
{
    m_page = page;
    m_txtPage->setText(QStringLiteral("%1 / %2").arg(pageCount() > 0 ? page + 1 : 0).arg(pageCount()));
}

// The box takes a page number ("15" or "15 / 2236"); anything else puts the shown page back.
void frmPrintPreview::pageTyped()
{
    static const QRegularExpression number(QStringLiteral("^\\s*(\\d+)"));
    const QRegularExpressionMatch match = number.match(m_txtPage->text());
    if (match.hasMatch())
        goToPage(match.captured(1).toInt() - 1);
    else
        pageShown(m_page);
}

void frmPrintPreview::zoomBy(double factor)
{
    const int page = m_page;
    const qreal zoom = m_view->zoomFactor();
    m_view->setZoomMode(ReportPageView::ZoomMode::Custom);
    m_view->setZoomFactor(qBound(0.1, zoom * factor, 8.0));
    goToPage(page);
}
