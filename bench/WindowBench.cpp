#include "WindowBench.h"

#include "BenchSession.h"
#include "FirstPaint.h"
#include "ReportBench.h"

#include "foundation/Database.h"
#include "production/ProductionWindows.h"
#include "production/disposition/DispositionSheet.h"
#include "production/disposition/frmHoldDisposition2.h"
#include "security/SecurityWindows.h"
#include "widgets/MenuCommands.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTableView>
#include <algorithm>
#include <cstdio>

void WindowBench::disposition(const QString &plant, qint64 tickets, const QString &folder)
{
    int unresolved = 0;
    {
        Database db = Database::open(plant);
        ReportBench::addHoldTickets(db, tickets);
        unresolved =
            db.scalar(QStringLiteral("SELECT COUNT(*) FROM \"Hold Table\" WHERE \"Disposed of\" = 0"))
                .toInt();
    }
    BenchSession bench(folder);
    bench.session().options().setDatabaseName(plant);
    auto *window = new frmHoldDisposition2(bench.session());
    if (window->load()) {
        // Its opening is timed with the other windows (everyWindow).
        std::printf("Disposition of Hold, %d unresolved tickets, %d read at the open\n\n", unresolved,
                    window->sheet()->ticketCount());
        window->close();
    } else {
        std::printf("Disposition of Hold did not load\n");
    }
    delete window;
    QApplication::processEvents();
}

void WindowBench::everyWindow(const QString &plant, const DateShift &shift, const QString &folder)
{
    BenchSession bench(folder);
    Session &session = bench.session();
    session.options().setDatabaseName(plant);
    session.securityLevel = QStringLiteral("C");
    session.currentDate = shift.date;
    session.currentShift = shift.shift;
    WindowRegistry registry;
    registerProductionWindows(registry);
    registerSecurityWindows(registry);
    QMdiArea frame;
    frame.resize(1280, 900);
    frame.show();
    QApplication::processEvents();

    std::printf("| %-28s | %8s | %8s | %8s | %8s | %8s |\n|%s|%s|%s|%s|%s|%s|\n", "window (ms)", "first",
                "made", "load", "shown", "best", "------------------------------",
                "---------:", "---------:", "---------:", "---------:", "---------:");
    namespace C = MenuCommands;
    QStringList commands;
    for (const MenuCommand &command : {C::JobList, C::ProductionCounts, C::Transfers, C::OnHold,
                                       C::Disposition, C::ProtectData, C::Security})
        commands << command.key();
    for (const QString &command : commands) {
        const WindowDescriptor *descriptor = registry.window(command);
        if (!descriptor) {
            std::printf("| %-28s | not registered |\n", qPrintable(command));
            continue;
        }
        double made = 0, loaded = 0, shown = 0, first = 0;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer timer;
            timer.start();
            const LoadableWindow window = descriptor->create(session);
            const double created = timer.nsecsElapsed() / 1e6;
            if (!window.load()) {
                std::printf("| %-28s | did not load |\n", qPrintable(command));
                delete window.widget;
                return;
            }
            const double read = timer.nsecsElapsed() / 1e6;
            FirstPaint painted;
            auto *grid = window.widget->findChild<QTableView *>();
            QWidget *watched = grid ? grid->viewport() : window.widget;
            watched->installEventFilter(&painted);
            QPointer<QMdiSubWindow> sub = frame.addSubWindow(window.widget);
            sub->show();
            while (!painted.seen)
                QApplication::processEvents();
            const double total = timer.nsecsElapsed() / 1e6;
            if (round == 0)
                first = total;
            if (round == 0 || total < made + loaded + shown) {
                made = created;
                loaded = read - created;
                shown = total - read;
            }
            watched->removeEventFilter(&painted);
            sub->close();
            QApplication::processEvents();
            delete sub.data();
            QApplication::processEvents();
        }
        QString name = command;
        name.remove(QLatin1Char('&')).remove(QStringLiteral("..."));
        std::printf("| %-28s | %8.1f | %8.1f | %8.1f | %8.1f | %8.1f |\n", qPrintable(name), first, made,
                    loaded, shown, made + loaded + shown);
    }
}
