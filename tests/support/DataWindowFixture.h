#pragma once

#include "foundation/Session.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

// The per-shift data windows as the main window opens them, for the window tests (which link the
// windows): W(Session &) on the session's current date-shift, then its load.
namespace DataWindowFixture {
// The loaded window; null when it closed itself in its load.
template <class W> QPointer<W> open(Session &session, const DateShift &dateShift)
{
    session.setCurrentDateShift(dateShift);
    QPointer<W> window = new W(session);
    if (!window->load())
        delete window.data();
    return window;
}

// Closes the window (its unload runs) and lets it be deleted.
inline void close(QWidget *window)
{
    if (window)
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace DataWindowFixture
