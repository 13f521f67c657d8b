#pragma once

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

// Puts the keyboard focus back where it was before a message box or a dialog: on the same control
// (a grid keeps its current cell) in the same child window, made the active one again. Where that
// control is gone (a dialog closed meanwhile), the window that was active before gets the focus,
// or else the main window: keys never go to a window that no longer exists.
class FocusKeeper
{
public:
    FocusKeeper() : m_widget(QApplication::focusWidget()), m_window(QApplication::activeWindow())
    {
        for (QWidget *widget = m_widget; widget; widget = widget->parentWidget()) {
            if (auto *frame = qobject_cast<QMdiSubWindow *>(widget)) {
                m_frame = frame;
                break;
            }
        }
    }
    ~FocusKeeper()
    {
        QWidget *window = m_widget && m_widget->isVisible() ? m_widget->window() : nullptr;
        if (!window && m_window && m_window->isVisible())
            window = m_window;
        if (!window)
            window = mainWindow();
        if (!window)
            return;
        window->activateWindow();
        QApplication::setActiveWindow(window);
        if (m_frame && m_frame->mdiArea() && m_frame->isVisible())
            m_frame->mdiArea()->setActiveSubWindow(m_frame);
        if (m_widget && m_widget->isVisible())
            m_widget->setFocus(Qt::OtherFocusReason);
    }
    FocusKeeper(const FocusKeeper &) = delete;
    FocusKeeper &operator=(const FocusKeeper &) = delete;

private:
    static QWidget *mainWindow()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMainWindow *>(widget) && widget->isVisible())
                return widget;
        }
        return nullptr;
    }

    QPointer<QWidget> m_widget;
    QPointer<QWidget> m_window;
    QPointer<QMdiSubWindow> m_frame;
};
