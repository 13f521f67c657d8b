#include "WindowBench.h"

#include "BenchSession.h"
#include "FirstPaint.h"
#include "ReportBench.h"

#include "foundation/Database.h"
#include "production/disposition/DispositionSheet.h"
#include "production/disposition/frmHoldDisposition2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <algorithm>
#include <cstdio>

void WindowBench::disposition(const QString &plant, qint64 tickets, const QString &folder)
{
    {
        Database db = Database::open(plant);
        ReportBench::addHoldTickets(db, tickets);
    }
    BenchSession bench(folder);
    Session &session = bench.session();
    session.options().setDatabaseName(plant);
    double best = 1e300, bestLoad = 0;
    int unresolved = 0, listed = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        auto *window = new frmHoldDisposition2(session);
        FirstPaint painted;
        auto *grid = window->findChild<QTableView *>(QStringLiteral("tblShiftData"));
        grid->viewport()->installEventFilter(&painted);
        if (!window->load()) {
            std::printf("Disposition of Hold did not load\n");
            delete window;
            return;
        }
        const double loaded = timer.nsecsElapsed() / 1e6;
        window->show();
        while (!painted.seen)
            QApplication::processEvents();
        const double shown = timer.nsecsElapsed() / 1e6;
        if (shown < best) {
            best = shown;
            bestLoad = loaded;
        }
        listed = window->sheet()->ticketCount();
        grid->viewport()->removeEventFilter(&painted);
        window->close();
        delete window;
        QApplication::processEvents();
    }
    {
        Database db = Database::open(plant);
        unresolved =
            db.scalar(QStringLiteral("SELECT COUNT(*) FROM \"Hold Table\" WHERE \"Disposed of\" = 0"))
                .toInt();
    }
    std::printf("Disposition of Hold, %d unresolved tickets (%d read at the open): load %.1f ms, "
                "to the grid painted %.1f ms (best of 5)\n",
                unresolved, listed, bestLoad, best);
}
