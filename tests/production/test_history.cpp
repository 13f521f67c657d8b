#include "TestSupport.h"

#include "production/ProductionWindows.h"
#include "production/history/HistoryModel.h"
#include "production/history/frmHistory.h"
#include "production/record/LineHistory.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

// What users see of the change history of a job line: the rows of the line and of its tickets,
// newest first, and "History..." in the windows that show the line, for the levels that may see it.
class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void lineHistoryIsTheLinesNewestFirst();
    void historyButtonFollowsTheLevel_data();
    void historyButtonFollowsTheLevel();
    void historyOpensOnTheCurrentLine();
};

namespace {
const QDate kDay(2026, 12, 9);

Fixture::HistoryChange change(qint64 jobId, const QString &field, const QVariant &from, const QVariant &to,
                              const QString &at = QStringLiteral("2026-12-09T07:50:12.123+01:00"))
{
    Fixture::HistoryChange row;
    row.at = at;
    row.login = QStringLiteral("jsmith");
    row.jobId = jobId;
    row.machine = 12;
    row.field = field;
    row.oldValue = from;
    row.newValue = to;
    return row;
}
} // namespace

void TestHistory::lineHistoryIsTheLinesNewestFirst()
{
    DatabaseWorld world;
    Fixture::HistoryChange ticket = change(5, QStringLiteral("Transfer Quantity"), 40, QVariant());
    ticket.table = QStringLiteral("Transfer Table");
    ticket.action = QStringLiteral("delete");
    Fixture::historyChanges(world.db, {change(5, QStringLiteral("Ending Count"), QVariant(), 120),
                                       change(6, QStringLiteral("Ending Count"), 1, 2), ticket,
                                       change(0, QStringLiteral("Security Level"), "A", "B"),
                                       change(5, QStringLiteral("Ending Count"), 120, 135)});

    LineHistory history(world.db);
    history.read(5);
    const QList<HistoryEntry> &entries = history.entries();
    QCOMPARE(entries.size(), 3);
    QVERIFY(entries[0].changeId > entries[1].changeId && entries[1].changeId > entries[2].changeId);
    QCOMPARE(LineHistory::changeText(entries[0]), QStringLiteral("120 \u2192 135"));
    QCOMPARE(LineHistory::changeText(entries[1]), QStringLiteral("40 \u2192 \u2014"));  // deleted
    QCOMPARE(LineHistory::changeText(entries[2]), QStringLiteral("\u2014 \u2192 120")); // inserted
    QCOMPARE(LineHistory::recordText(entries[1]), QStringLiteral("Transfer Table 5"));
    // shown at the offset the time was recorded in, whatever the viewer's zone (TZ=UTC here)
    QCOMPARE(LineHistory::whenText(entries[0]), QStringLiteral("12/09/2026 07:50:12"));
    QCOMPARE(history.caption(), QStringLiteral("Job ID 5: machine 12, job J1, 12/09/2026 shift 1"));

    HistoryEntry outside = entries[0];
    outside.program = QStringLiteral("other client");
    QCOMPARE(LineHistory::whoText(outside), QStringLiteral("jsmith on WS-1 (other client)"));

    history.read(7);
    QVERIFY(history.entries().isEmpty());
    QCOMPARE(history.caption(), QStringLiteral("Job ID 7: no changes recorded"));
}

void TestHistory::historyButtonFollowsTheLevel_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<bool>("shown");
    QTest::newRow("supervisor") << "A" << false;
    QTest::newRow("inspector") << "B" << true;
    QTest::newRow("manager") << "C" << true;
    QTest::newRow("reports only") << "D" << false;
}

void TestHistory::historyButtonFollowsTheLevel()
{
    QFETCH(QString, level);
    QFETCH(bool, shown);
    DatabaseWorld world(level, {QStringLiteral("J1")});
    Fixture::line(world.db, kDay, 1, 12, QStringLiteral("J1"));
    world.session->setCurrentDateShift({kDay, 1});
    WindowRegistry registry;
    registerProductionWindows(registry);
    for (const QString &command : {QStringLiteral("&JOB LIST..."), QStringLiteral("&PRODUCTION COUNTS..."),
                                   QStringLiteral("&TRANSFERS..."), QStringLiteral("PRODUCTION ON &HOLD..."),
                                   QStringLiteral("&DISPOSITION OF HOLD...")}) {
        const LoadableWindow window = registry.window(command)->create(*world.session);
        auto *button = window.widget->findChild<QPushButton *>(QStringLiteral("cmdHistory"));
        QVERIFY2(button, qPrintable(command));
        QCOMPARE(!button->isHidden(), shown);
        delete window.widget;
    }
}

void TestHistory::historyOpensOnTheCurrentLine()
{
    DatabaseWorld world(QStringLiteral("B"), {QStringLiteral("J1")});
    const qint64 first = Fixture::line(world.db, kDay, 1, 11, QStringLiteral("J1"));
    const qint64 second = Fixture::line(world.db, kDay, 1, 12, QStringLiteral("J1"));
    Fixture::historyChanges(world.db, {change(first, QStringLiteral("Ending Count"), 1, 2),
                                       change(second, QStringLiteral("Ending Count"), 7, 8),
                                       change(second, QStringLiteral("Matec Count"), 9, 10)});
    world.session->setCurrentDateShift({kDay, 1});
    WindowRegistry registry;
    registerProductionWindows(registry);
    const LoadableWindow window = registry.window(QStringLiteral("&JOB LIST..."))->create(*world.session);
    QVERIFY(window.load());
    auto *table = window.widget->findChild<QTableView *>(QStringLiteral("Table1"));
    table->setCurrentIndex(table->model()->index(1, 0));
    window.widget->findChild<QPushButton *>(QStringLiteral("cmdHistory"))->click();

    frmHistory *history = nullptr;
    for (QWidget *shown : QApplication::topLevelWidgets())
        history = history ? history : qobject_cast<frmHistory *>(shown);
    QVERIFY(history);
    const HistoryModel *model = history->model();
    // the rows written here are the newest; the database may hold older rows of its own for the line
    QVERIFY(model->rowCount() >= 2);
    QCOMPARE(model->index(0, HistoryModel::FieldColumn).data().toString(), QStringLiteral("Matec Count"));
    QCOMPARE(model->index(0, HistoryModel::ChangeColumn).data().toString(), QStringLiteral("9 \u2192 10"));
    QCOMPARE(model->index(1, HistoryModel::ChangeColumn).data().toString(), QStringLiteral("7 \u2192 8"));
    QCOMPARE(model->headerData(HistoryModel::ChangeColumn, Qt::Horizontal).toString(),
             QStringLiteral("Old \u2192 New"));
    QVERIFY(!(model->flags(model->index(0, HistoryModel::ChangeColumn)) & Qt::ItemIsEditable));
    QVERIFY(history->findChild<QLabel *>(QStringLiteral("lblLine"))
                ->text()
                .startsWith(QStringLiteral("Job ID %1: machine 12").arg(second)));
    // It closes with the window it was opened from, as a window of its own: a child would be
    // destroyed inside that window's destructor, where its close reaches a window half gone.
    QCOMPARE(history->parent(), nullptr);
    QPointer<frmHistory> guard(history);
    window.widget->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the job list
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the history it closed
    QVERIFY(guard.isNull());
}

QTEST_MAIN(TestHistory)
#include "test_history.moc"
