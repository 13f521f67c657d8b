#include "OtherProcess.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QtTest>

// Two workstations as a plant has them: two processes of the program's own windows (desk) on one
// database, each with its own HOME, TMPDIR and XDG folders, typed into with key events. One types
// while the other adds, stores, deletes and closes; and each shows what the other stored.
class TestWorkstations : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void typingGoesOnWhileTheOtherWorks_data();
    void typingGoesOnWhileTheOtherWorks();
    void typingGoesOnInTheDispositionWhileTheOtherWorks();
    void eachShowsWhatTheOtherStored();

private:
    // A workstation at its desk, its window opened on the menu item.
    std::unique_ptr<OtherProcess> start(const QString &name);
    // Runs the step; false (with the answer) when it could not.
    static bool step(OtherProcess &desk, const QByteArray &line);
    // Asks until the answer is expected (the workstation asks the database each time); a
    // generous limit only ends a test that would never get there.
    static bool until(OtherProcess &desk, const QByteArray &question, const QString &expected);
    qint64 value(const QString &sql) const { return m_world->db.scalar(sql).toLongLong(); }

    std::unique_ptr<DatabaseWorld> m_world;
    qint64 m_line = 0;
    static inline const QDate kMonday{2026, 12, 7};
};

void TestWorkstations::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{QStringLiteral("A-100")});
    m_line = Fixture::line(m_world->db, kMonday, 1, 711, QStringLiteral("A-100"), 1000, 1500, 700);
}

void TestWorkstations::cleanup()
{
    m_world.reset();
}

std::unique_ptr<OtherProcess> TestWorkstations::start(const QString &name)
{
    auto desk = std::make_unique<OtherProcess>(QStringLiteral(DESK),
                                               QStringList{m_world->session->options().DatabaseName(), name},
                                               m_world->file(name));
    if (desk->readLine(30000) != QLatin1String("ready"))
        return nullptr;
    return desk;
}

bool TestWorkstations::step(OtherProcess &desk, const QByteArray &line)
{
    const QString answer = desk.ask(line);
    if (answer.startsWith(QLatin1String("ok")))
        return true;
    qWarning("%s: %s", line.constData(), qPrintable(answer));
    return false;
}

bool TestWorkstations::until(OtherProcess &desk, const QByteArray &question, const QString &expected)
{
    QElapsedTimer waited;
    waited.start();
    QString answer;
    while (waited.elapsed() < 30000) {
        if (!step(desk, "poll"))
            return false;
        answer = desk.ask(question);
        if (answer == expected)
            return true;
        QTest::qWait(50);
    }
    qWarning("%s: %s, not %s", question.constData(), qPrintable(answer), qPrintable(expected));
    return false;
}

void TestWorkstations::typingGoesOnWhileTheOtherWorks_data()
{
    QTest::addColumn<QByteArray>("menu");
    QTest::addColumn<QByteArray>("window");
    QTest::addColumn<QByteArray>("grid");
    QTest::addColumn<QByteArray>("noun");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("quantity");
    QTest::newRow("transfers") << QByteArray("mnuFileSub3") << QByteArray("frmTransfer2")
                               << QByteArray("tblXfers") << QByteArray("Transfer")
                               << QStringLiteral("Transfer Table") << QStringLiteral("Transfer Number")
                               << QStringLiteral("Transfer Quantity");
    QTest::newRow("holds") << QByteArray("mnuFileSub4") << QByteArray("frmOnHold2") << QByteArray("tblHolds")
                           << QByteArray("Hold") << QStringLiteral("Hold Table")
                           << QStringLiteral("Hold Ticket Number") << QStringLiteral("Hold Quantity");
}

void TestWorkstations::typingGoesOnWhileTheOtherWorks()
{
    QFETCH(QByteArray, menu);
    QFETCH(QByteArray, window);
    QFETCH(QByteArray, grid);
    QFETCH(QByteArray, noun);
    QFETCH(QString, table);
    QFETCH(QString, number);
    QFETCH(QString, quantity);
    auto a = start(QStringLiteral("a"));
    auto b = start(QStringLiteral("b"));
    QVERIFY(a && b);
    QVERIFY(step(*a, "open " + menu) && step(*b, "open " + menu));

    // A adds a ticket and stores its number; B adds one and types its number as A's comes in.
    QVERIFY(step(*a, "click cmdAdd" + noun) && step(*a, "type 88101") && step(*a, "key Tab"));
    QVERIFY(step(*b, "click cmdAdd" + noun) && step(*b, "type 88201"));
    QVERIFY(until(*b, "rows " + window + ' ' + grid, QStringLiteral("2")));
    QVERIFY(step(*b, "key Tab"));
    // A stores its quantity, adds another ticket, deletes it and closes.
    QVERIFY(step(*a, "type 10") && step(*a, "key Return"));
    QVERIFY(step(*a, "click cmdAdd" + noun) && step(*a, "type 88102") && step(*a, "key Tab"));
    QVERIFY(step(*a, "click cmdDelete" + noun) && step(*a, "close"));
    QVERIFY(until(*b, "cell " + window + ' ' + grid + " 0 2", QStringLiteral("10")));
    // B's quantity goes where B typed it.
    QVERIFY(step(*b, "type 40") && step(*b, "key Return") && step(*b, "close"));
    QCOMPARE(a->ask("messages"), QString());
    QCOMPARE(b->ask("messages"), QString());
    QCOMPARE(a->finish(), 0);
    QCOMPARE(b->finish(), 0);

    const auto stored = [&](int ticket) {
        return value(QStringLiteral("SELECT \"%1\" FROM \"%2\" WHERE \"%3\" = %4")
                         .arg(quantity, table, number)
                         .arg(ticket));
    };
    QCOMPARE(stored(88201), 40);
    QCOMPARE(stored(88101), 10);
    QCOMPARE(
        value(QStringLiteral("SELECT COUNT(*) FROM \"%1\" WHERE \"Job ID\" = %2").arg(table).arg(m_line)), 2);
}

void TestWorkstations::typingGoesOnInTheDispositionWhileTheOtherWorks()
{
    const qint64 ticket = Fixture::hold(m_world->db, m_line, 501, 100);
    auto a = start(QStringLiteral("a"));
    auto b = start(QStringLiteral("b"));
    QVERIFY(a && b);
    QVERIFY(step(*a, "open mnuFileSub5") && step(*b, "open mnuFileSub5"));
    const QByteArray rows = "rows frmHoldDisposition2 tblHolds";

    // Each adds a row (the receiving line's list opens first) and goes on to its rework.
    QVERIFY(step(*a, "click cmdAddHold"));
    QVERIFY(step(*b, "click cmdAddHold") && step(*b, "key Tab") && step(*b, "type 4"));
    QVERIFY(until(*b, rows, QStringLiteral("2")));
    // A stores its rework, adds another row, deletes it and closes.
    QVERIFY(step(*a, "key Tab") && step(*a, "type 7") && step(*a, "key Return"));
    QVERIFY(step(*a, "click cmdAddHold") && step(*a, "click cmdDeleteHold") && step(*a, "close"));
    QVERIFY(until(*b, "cell frmHoldDisposition2 tblHolds 0 4", QStringLiteral("7")));
    QVERIFY(step(*b, "type 0") && step(*b, "key Return") && step(*b, "close"));
    QCOMPARE(a->ask("messages"), QString());
    QCOMPARE(b->ask("messages"), QString());
    QCOMPARE(a->finish(), 0);
    QCOMPARE(b->finish(), 0);

    const QString reworked = QStringLiteral("SELECT \"Reworked Quantity\" FROM \"Hold Distribution\" WHERE "
                                            "\"Hold Ticket ID\" = %1 ORDER BY \"Distribution ID\"")
                                 .arg(ticket);
    QSqlQuery query = m_world->db.exec(reworked);
    QList<qint64> stored;
    while (query.next())
        stored << query.value(0).toLongLong();
    QCOMPARE(stored, (QList<qint64>{7, 40}));
}

void TestWorkstations::eachShowsWhatTheOtherStored()
{
    Fixture::transfer(m_world->db, m_line, 5001, 10);
    Fixture::line(m_world->db, kMonday.addDays(-1), 1, 711, QStringLiteral("A-100"));
    auto a = start(QStringLiteral("a"));
    auto b = start(QStringLiteral("b"));
    QVERIFY(a && b);
    // A shows the counts, the calendar on Sunday 12/06 (its second row, first column) and the
    // transfers, and is typing a quantity into its ticket.
    QVERIFY(step(*a, "open mnuFileSub2") && step(*a, "open mnuFileSub6") && step(*a, "goto tblCalendar 1 0"));
    QVERIFY(step(*a, "open mnuFileSub3") && step(*a, "goto tblXfers 0 2") && step(*a, "type 12"));

    // B stores an Ending Count, a ticket and Sunday's protection, each in its window.
    QVERIFY(step(*b, "open mnuFileSub2") && step(*b, "goto Table1 0 8") && step(*b, "type 1600") &&
            step(*b, "key Return") && step(*b, "close"));
    QVERIFY(step(*b, "open mnuFileSub3") && step(*b, "click cmdAddTransfer") && step(*b, "type 5002") &&
            step(*b, "key Tab") && step(*b, "type 20") && step(*b, "key Return") && step(*b, "close"));
    QVERIFY(step(*b, "open mnuFileSub6") && step(*b, "goto tblCalendar 1 0") && step(*b, "click chkShifts1"));
    QVERIFY(step(*b, "close"));

    QVERIFY(until(*a, "cell frmProductionCounts2 Table1 0 8", QStringLiteral("1,600")));
    QVERIFY(until(*a, "rows frmTransfer2 tblXfers", QStringLiteral("2")));
    QVERIFY(until(*a, "checked frmProtectDates2 chkShifts1", QStringLiteral("1")));
    // A's half-typed quantity is still in its editor, and is stored.
    QCOMPARE(a->ask("editor"), QStringLiteral("12"));
    QVERIFY(step(*a, "key Return"));
    QCOMPARE(value(QStringLiteral("SELECT \"Transfer Quantity\" FROM \"Transfer Table\" WHERE "
                                  "\"Transfer Number\" = 5001")),
             12);
    QCOMPARE(a->ask("messages"), QString());
    QCOMPARE(b->ask("messages"), QString());
    QVERIFY(step(*a, "close") && step(*a, "close") && step(*a, "close"));
    QCOMPARE(a->finish(), 0);
    QCOMPARE(b->finish(), 0);
}

QTEST_MAIN(TestWorkstations)
#include "test_workstations.moc"
