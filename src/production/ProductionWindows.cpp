#include "ProductionWindows.h"

#include "production/counts/frmProductionCounts2.h"
#include "production/disposition/frmHoldDisposition2.h"
#include "production/history/frmHistory.h"
#include "production/joblist/frmJobList2.h"
#include "production/protection/frmProtectDates2.h"
#include "production/rejects/frmRejects.h"
#include "production/tickets/frmTickets.h"

#include "foundation/Session.h"
#include "widgets/MenuCommands.h"
#include "widgets/WindowRegistry.h"

#include <QPointer>
#include <QWindow>

namespace {
// "History..." of a window that shows job lines opens the History window of its current line,
// over the main window, closing with the window it was opened from. It is no child of that
// window: a child would be destroyed inside the other's destructor, where its close would reach a
// window half gone.
template <class W> W *offeringHistory(Session &session, W *window)
{
    QObject::connect(window, &W::historyRequested, window, [&session, window](qint64 jobId) {
        QPointer<frmHistory> history = new frmHistory(session, jobId);
        if (!history->load()) {
            delete history.data();
            return;
        }
        QObject::connect(window, &QObject::destroyed, history, &QWidget::close);
        history->show();
        if (QWindow *shown = history->windowHandle())
            shown->setTransientParent(window->window()->windowHandle());
    });
    return window;
}

template <class W> LoadableWindow historyWindow(Session &session)
{
    W *window = offeringHistory(session, new W(session));
    return {window, [window] { return window->load(); }};
}

LoadableWindow ticketWindow(Session &session, const TicketKind &kind)
{
    auto *window = offeringHistory(session, new frmTickets(session, kind));
    return {window, [window] { return window->load(); }};
}

// The counts window's Rejects button opens the rejects window in the main frame, which reads the
// rejects the counts window left in their hand-over; once it is open the counts window closes.
LoadableWindow countsWindow(Session &session, const std::shared_ptr<RejectsHandOver> &handOver)
{
    auto *window = offeringHistory(session, new frmProductionCounts2(session, handOver));
    QPointer<frmProductionCounts2> guard(window);
    QObject::connect(window, &frmProductionCounts2::rejectsRequested, window, [&session, guard] {
        if (session.openWindow(frmRejects::command()) && guard)
            guard->close();
    });
    return {window, [window] { return window->load(); }};
}
} // namespace

void registerProductionWindows(WindowRegistry &registry)
{
    namespace C = MenuCommands;
    const auto handOver = std::make_shared<RejectsHandOver>();
    registry.addWindow({.command = C::JobList.key(),
                        .create = historyWindow<frmJobList2>,
                        .perShift = true,
                        .dataWindow = true});
    registry.addWindow({.command = C::ProductionCounts.key(),
                        .create = [handOver](Session &session) { return countsWindow(session, handOver); },
                        .perShift = true,
                        .dataWindow = true});
    registry.addWindow(
        {.command = C::Transfers.key(),
         .create = [](Session &session) { return ticketWindow(session, TicketKind::transfers()); },
         .perShift = true,
         .dataWindow = true});
    registry.addWindow({.command = C::OnHold.key(),
                        .create = [](Session &session) { return ticketWindow(session, TicketKind::holds()); },
                        .perShift = true,
                        .dataWindow = true});
    registry.addWindow(
        {.command = C::Disposition.key(), .create = historyWindow<frmHoldDisposition2>, .dataWindow = true});
    // No menu shows this command: the counts window's Rejects button opens it.
    registry.addWindow({.command = frmRejects::command(),
                        .create =
                            [handOver](Session &session) {
                                auto *window = new frmRejects(session, handOver);
                                return LoadableWindow{window, [window] { return window->load(); }};
                            },
                        .perShift = true,
                        .dataWindow = true,
                        .fromMenu = false});
    registry.addWindow({.command = C::ProtectData.key(),
                        .create = loadableWindow<frmProtectDates2>,
                        .dataWindow = true,
                        .singleInstance = true});
}
