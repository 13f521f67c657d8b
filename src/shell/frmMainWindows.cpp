#include "frmMain.h"

// The frame's child windows: opening one behind a command (the date-shift first for a per-shift
// window, one at a time where it must be), keeping it usable on the screen, closing them, and the
// Window menu's arrangements.

#include "foundation/Session.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>

bool frmMain::openWindow(const WindowDescriptor &descriptor)
{
    if (descriptor.perShift || descriptor.dataWindow) {
        if (m_session.openDataForms() == 0)
            m_session.clearCurrentDateShift();
        if (descriptor.perShift) {
            if (m_session.openDataForms() == 0)
                m_session.chooseDateShift();
            if (!m_session.currentDate.isValid())
                return false;
        }
    }
    m_opening = descriptor.dataWindow;
    updateDatabaseMenu();
    QWidget *opened = nullptr;
    for (;;) {
        try {
            opened = tryOpen(descriptor);
            break;
        } catch (const std::exception &) {
            // Cancel is the way out of a failure that does not go away.
            const MsgAnswer answer = m_session.prompter().ask(
                {QStringLiteral("Please ask every current user of the Kelvara to exit at this time.  ") +
                     QStringLiteral("When they have done so, click OK."),
                 QStringLiteral("Multi-User Warning"), MsgIcon::Exclamation, MsgButtons::OkCancel});
            if (answer != MsgAnswer::Ok)
                break;
        }
    }
    m_opening = false;
    updateDatabaseMenu();
    if (opened && descriptor.singleInstance)
        trackSingleInstance(descriptor.command, opened);
    return opened != nullptr;
}

QWidget *frmMain::tryOpen(const WindowDescriptor &descriptor)
{
    const LoadableWindow window = descriptor.create(m_session);
    return openDataWindow(window.widget, window.load) ? window.widget : nullptr;
}

void frmMain::trackSingleInstance(const QString &command, QWidget *window)
{
    // One window of its kind at a time: its item comes back when the window is gone.
    m_openSingles.insert(command);
    connect(window, &QObject::destroyed, this, [this, command] {
        m_openSingles.remove(command);
        updateMenuState();
    });
    updateMenuState();
}

bool frmMain::openDataWindow(QWidget *window, const std::function<bool()> &load)
{
    if (!window)
        return false;
    QPointer<QWidget> guard(window);
    bool loaded = false;
    try {
        loaded = load();
    } catch (...) {
        delete guard.data();
        throw;
    }
    if (!loaded || !guard) {
        delete guard.data();
        return false;
    }
    QMdiSubWindow *frame = m_mdi->addSubWindow(window);
    // The frame's own Close keys would make the main window's ambiguous: those close it instead.
    for (QAction *action : frame->systemMenu()->actions()) {
        if (action->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_F4)))
            action->setShortcuts({});
    }
    // A window that closes itself takes its frame along. The frame may be the one deleting the
    // window (it is then half destroyed itself): it is looked at only once that is over.
    QPointer<QObject> frameGuard(frame);
    connect(window, &QObject::destroyed, this, [frameGuard] {
        QMetaObject::invokeMethod(
            qApp,
            [frameGuard] {
                if (frameGuard)
                    frameGuard->deleteLater();
            },
            Qt::QueuedConnection);
    });
    window->show();
    frame->show();
    keepUsable(frame);
    m_mdi->setActiveSubWindow(frame);
    return true;
}

void frmMain::keepUsable(QMdiSubWindow *frame)
{
    // Every grid shows its heading and a few rows however small the window is made; the window is
    // never made smaller than what shows its controls whole.
    constexpr int kRows = 4;
    for (QTableView *grid : frame->widget()->findChildren<QTableView *>()) {
        if (grid->minimumHeight() > 0)
            continue;
        const int heading =
            grid->horizontalHeader()->isHidden() ? 0 : grid->horizontalHeader()->sizeHint().height();
        grid->setMinimumHeight(heading + kRows * grid->verticalHeader()->defaultSectionSize() +
                               grid->horizontalScrollBar()->sizeHint().height() + 2 * grid->frameWidth());
    }
    // The layouts take the new heights in before the frame reads its minimum.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    frame->setMinimumSize(frame->minimumSizeHint());
    // The size it comes back at after a maximized window closes (its normal size): the size it
    // asks for, within the frame.
    const QSize area = m_mdi->viewport()->size();
    const QSize normal = frame->sizeHint()
                             .boundedTo(area.isEmpty() ? frame->sizeHint() : area)
                             .expandedTo(frame->minimumSize());
    // A window opened while another is maximized comes up maximized: resized as it is, it would stay
    // marked maximized at its normal size, so the normal size is given to it restored.
    if (frame->isMaximized()) {
        frame->showNormal();
        frame->resize(normal);
        frame->showMaximized();
    } else {
        frame->resize(normal);
    }
}

bool frmMain::closeWindowsExcept(QObject *except)
{
    // Each window asks about its own half-typed entry; one the user keeps stops the whole.
    for (QMdiSubWindow *frame : m_mdi->subWindowList()) {
        QWidget *window = frame->widget();
        if (window && window != except && !window->close())
            return false;
    }
    return true;
}

void frmMain::closeActiveWindow()
{
    if (QMdiSubWindow *frame = m_mdi->activeSubWindow())
        frame->close();
}

void frmMain::tileHorizontally()
{
    // Horizontal tiling: the windows one above the other, each the full width of the frame and an
    // equal share of its height, but never less than the window's minimum: then the frame scrolls.
    QList<QMdiSubWindow *> windows;
    for (QMdiSubWindow *window : m_mdi->subWindowList(QMdiArea::StackingOrder)) {
        if (window->isVisible() && !window->isMinimized())
            windows.append(window);
    }
    if (windows.isEmpty())
        return;
    const QRect area = m_mdi->viewport()->rect();
    const int share = area.height() / int(windows.size());
    int top = 0;
    for (QMdiSubWindow *window : std::as_const(windows)) {
        window->showNormal();
        const int height = std::max(share, window->minimumHeight());
        window->setGeometry(0, top, std::max(area.width(), window->minimumWidth()), height);
        top += height;
    }
}

void frmMain::arrangeIcons()
{
    // Minimized windows in a row along the bottom of the frame, wrapping upwards.
    const QRect area = m_mdi->viewport()->rect();
    int x = 0;
    int y = area.bottom();
    for (QMdiSubWindow *window : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isMinimized() || !window->isVisible())
            continue;
        const QSize size = window->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= size.height();
        }
        window->move(x, y - size.height() + 1);
        x += size.width();
    }
}

void frmMain::rebuildWindowList()
{
    QMenu *windowMenu = m_menus[QStringLiteral("mnuWindow")];
    qDeleteAll(m_windowList);
    m_windowList.clear();
    const QList<QMdiSubWindow *> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    QMdiSubWindow *active = m_mdi->activeSubWindow();
    int number = 0;
    for (QMdiSubWindow *window : windows) {
        if (!window->widget() || window->isHidden())
            continue;
        if (number == 0)
            m_windowList.append(windowMenu->addSeparator());
        ++number;
        QAction *entry =
            windowMenu->addAction(QStringLiteral("&%1 %2").arg(number).arg(window->windowTitle()));
        entry->setObjectName(QStringLiteral("mnuWindowList%1").arg(number));
        entry->setCheckable(true);
        entry->setChecked(window == active);
        QPointer<QMdiSubWindow> target(window);
        connect(entry, &QAction::triggered, this, [this, target] {
            if (target)
                m_mdi->setActiveSubWindow(target);
        });
        m_windowList.append(entry);
    }
}
