#include "TestSupport.h"

#include "production/ProductionWindows.h"
#include "reports/ReportRun.h"
#include "reports/engine/ReportExport.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QThread>

// Takes the screenshot of the History window on the sample plant, and writes the Change History
// report of its week as PDF for the screenshot of its first page (not a test):
//   xvfb-run -a build/tests/production/screens_history docs/screenshots
//   pdftoppm -r 60 -f 1 -l 1 -singlefile -png docs/screenshots/report-changes.pdf
//   docs/screenshots/report-changes
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    TestWorld world;
    const QString path = world.createSamplePlant();
    world.clock.set(QDate(2026, 12, 8), QTime(9, 0));

    // A week's corrections of the sample's lines, as the plant's people would make them.
    Database db = Database::open(path);
    QSqlQuery lines = db.exec(QStringLiteral(R"(SELECT "Job ID", "Date", "Shift", "Ending Count",
 "Machine Number", "Job Number" FROM "Production Table" WHERE "Date" >= '2026-12-01'
 ORDER BY "Date", "Shift", "Machine Number")"));
    const QStringList people{QStringLiteral("mlopez"), QStringLiteral("kchen"), QStringLiteral("dwright")};
    const QString hash = QStringLiteral("3b1f0c9e8d7a6b5c4d3e2f1a0b9c8d7e6f5a4b3c2d1e0f9a8b7c6d5e4f3a2b1c");
    qint64 shown = 0; // the line shown in the window: machine 12 on 12/07/2026, shift 2
    QList<Fixture::HistoryChange> changes;
    int n = 0;
    while (lines.next()) {
        const qint64 id = lines.value(0).toLongLong();
        const qint64 ending = lines.value(3).toLongLong();
        const int shift = lines.value(2).toInt();
        Fixture::HistoryChange change;
        change.at =
            lines.value(1).toString().left(10) +
            QStringLiteral("T%1:%2:07.412-05:00").arg(6 + 8 * (shift - 1), 2, 10, QChar('0')).arg(50 + n % 9);
        change.login = people.at(n % people.size());
        change.jobId = id;
        change.shift = shift;
        change.machine = lines.value(4).toInt();
        change.jobNumber = lines.value(5).toString();
        change.field = n % 4 == 3 ? QStringLiteral("Matec Count") : QStringLiteral("Ending Count");
        change.oldValue = QString::number(ending - 120 - n % 50);
        change.newValue = QString::number(ending);
        change.hash = hash;
        ++n;
        // the line the window shows keeps the history its own changes write (below)
        if (change.at.startsWith(QLatin1String("2026-12-07")) && shift == 2 && change.machine == 12)
            shown = id;
        else
            changes << change;
    }
    Fixture::historyChanges(db, changes);
    // The shown line's own history as the triggers write it: the sample's entry of the line, a
    // transfer and a corrected ending count.
    Fixture::transfer(db, shown, 7415, 2400);
    db.exec(QStringLiteral(R"(UPDATE "Production Table" SET "Ending Count" = "Ending Count" - 90
 WHERE "Job ID" = :id)"),
            {{QStringLiteral("id"), shown}});
    db.close();

    WindowRegistry registry;
    registerProductionWindows(registry);
    frmMain main(*world.session, registry);
    main.applyMenuRights(QStringLiteral("C"));
    main.resize(1280, 800);
    main.show();
    world.session->setDateShiftChooser([&] { world.session->setCurrentDateShift({QDate(2026, 12, 7), 2}); });
    const auto settle = [] {
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
            QThread::msleep(20);
        }
    };
    main.menuItem(QStringLiteral("mnuFileSub1"))->trigger();
    settle();
    QWidget *jobList = main.mdiArea()->activeSubWindow()->widget();
    auto *grid = jobList->findChild<QTableView *>(QStringLiteral("Table1"));
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
        grid->setCurrentIndex(grid->model()->index(row, 0));
        if (grid->model()->index(row, 0).data().toInt() == 12)
            break;
    }
    jobList->findChild<QPushButton *>(QStringLiteral("cmdHistory"))->click();
    settle();
    QWidget *history = nullptr;
    for (QWidget *shown : QApplication::topLevelWidgets())
        history = shown->objectName() == QLatin1String("frmHistory") ? shown : history;
    if (!history)
        return 1;
    history->grab().save(out + QStringLiteral("/frmHistory.png"));

    // the report of the week, as the report window sends it to a PDF file
    Database production = Database::open(path);
    const QString reports = world.file(QStringLiteral("REPORTS.MDB"));
    Database::createFile(reports).close();
    ReportRun run({production, reports, world.prompter, world.clock,
                   [](int) { return QStringLiteral(KELVARA_LAYOUT_DIR "/changes.rpt"); },
                   QStringLiteral("Quorvel Plastics"), QDate(2026, 12, 8), true});
    ReportParmsSheet sheet(ReportTypes::ChangeHistory);
    sheet.load({}, {}, QDate(2026, 12, 8));
    sheet.startDate = QDate(2026, 12, 1);
    sheet.endDate = QDate(2026, 12, 8);
    run.run(sheet, [&](const ReportDocument &document, const QString &, int) {
        ReportExport::write(document, ReportExport::Pdf, out + QStringLiteral("/report-changes.pdf"));
    });
    return 0;
}
