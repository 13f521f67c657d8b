#include "TestSupport.h"

#include "production/disposition/DispositionSheet.h"

#include <QSqlQuery>
#include <QtTest>

// The disposition of hold tickets: remaining quantities, reject bookings into the reason totals
// of the ticket's line (exactly once, on two workstations at once), the receiving lines,
// protection and the disposal status on close.
class TestDisposition : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void disposedTicketLeavesTheList();
    void rejectsMoveBetweenReasons();
    void bookings_data();
    void bookings();
    void deletingTakesRejectsBackOnce();
    void receivingLinesOfAShiftTwoTicket();
    void protectedTicketLineIsReadOnly();
    void noChangeRunsNoDisposalStatus();
    void badQuantitiesAreRefused_data();
    void badQuantitiesAreRefused();
    void runningTotalsStayInRange_data();
    void runningTotalsStayInRange();
    void twoWorkstationsKeepEachOthersBookings();
    void ticketsSharingANumberKeepTheirOwnRows();
    void everyTicketListedOnceAsPagesAreRead();

private:
    DispositionSheet &open(Database &db, std::unique_ptr<DispositionSheet> &holder, qint64 ticketId)
    {
        holder = std::make_unique<DispositionSheet>(db);
        holder->load();
        for (int row = 0; row < holder->ticketCount(); ++row) {
            if (holder->ticket(row).ticketId == ticketId)
                holder->selectTicket(row);
        }
        return *holder;
    }
    DispositionSheet &open(qint64 ticketId) { return open(m_world->db, m_sheet, ticketId); }
    qint64 value(const QString &sql) const { return m_world->db.scalar(sql).toLongLong(); }
    qint64 reason(int n) const
    {
        return value(
            QStringLiteral("SELECT \"RejectReason%1\" FROM \"Production Table\" WHERE \"Job ID\" = %2")
                .arg(n)
                .arg(m_line));
    }
    qint64 remaining(qint64 ticket) const
    {
        return value(
            QStringLiteral("SELECT \"Hold Remaining\" FROM \"Hold Table\" WHERE \"Hold Ticket ID\" = %1")
                .arg(ticket));
    }

    std::unique_ptr<DatabaseWorld> m_world;
    std::unique_ptr<DispositionSheet> m_sheet;
    qint64 m_line = 0;
    qint64 m_later = 0;
    qint64 m_ticket = 0;

    static inline const QDate kMonday{2026, 12, 7};
    static inline const QDate kTuesday{2026, 12, 8};
    static inline const QDateTime kNow{kTuesday, QTime(10, 0)};
};

void TestDisposition::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"),
                                              QStringList{QStringLiteral("A-100"), QStringLiteral("B-200")});
    m_line = Fixture::line(m_world->db, kMonday, 2, 4, QStringLiteral("A-100"));
    m_later = Fixture::line(m_world->db, kTuesday, 1, 4, QStringLiteral("A-100"));
    m_world->db.exec(
        QStringLiteral("UPDATE \"Production Table\" SET \"RejectReason10\" = 7, \"RejectReason4\" = 2"));
    m_ticket = Fixture::hold(m_world->db, m_line, 9001, 100);
}

void TestDisposition::cleanup()
{
    m_sheet.reset();
    m_world.reset();
}

void TestDisposition::disposedTicketLeavesTheList()
{
    DispositionSheet &sheet = open(m_ticket);
    int first = -1, second = -1;
    QVERIFY(sheet.addDistribution(kNow, &first).stored);
    QVERIFY(sheet.setReceivingLine(first, m_later).stored);
    QVERIFY(sheet.setReworked(first, QStringLiteral("60")).stored);
    QCOMPARE(sheet.selected()->remaining, 40);
    QVERIFY(sheet.distribution(first).reworkedInto.startsWith(QStringLiteral("12/08/2026, Shift 1")));
    QVERIFY(sheet.addDistribution(kNow, &second).stored);
    QVERIFY(sheet.setReworked(second, QStringLiteral("30+10")).stored);
    QCOMPARE(remaining(m_ticket), 0);
    // Listed until the window is opened again; disposed of as it closes.
    QCOMPARE(sheet.ticketCount(), 1);
    sheet.finish();
    QCOMPARE(value(QStringLiteral("SELECT \"Disposed of\" FROM \"Hold Table\"")), 1);
    sheet.load();
    QCOMPARE(sheet.ticketCount(), 0);
    // The receiving line's rework shows in its summary.
    QCOMPARE(
        value(QStringLiteral(
                  "SELECT SUM(\"Reworked Quantity\") FROM \"Hold Distribution\" WHERE \"To Job ID\" = %1")
                  .arg(m_later)),
        60);
}

void TestDisposition::rejectsMoveBetweenReasons()
{
    DispositionSheet &sheet = open(m_ticket);
    int row = -1;
    QVERIFY(sheet.addDistribution(kNow, &row).stored);
    QVERIFY(sheet.setRejects(row, QStringLiteral("5")).stored);
    QCOMPARE(sheet.distribution(row).reason, 10); // "None" turns into "Other"
    QCOMPARE(reason(10), 12);
    QCOMPARE(sheet.selected()->reasons[9], 12);

    QVERIFY(sheet.setReason(row, 4).stored);
    QCOMPARE(reason(10), 7);
    QCOMPARE(reason(4), 7);

    // "None" with rejects is refused and the reason stays.
    const EntryResult invalid = sheet.setReason(row, 0);
    QVERIFY(!invalid.stored);
    QCOMPARE(invalid.title, QStringLiteral("Invalid Reason"));
    QCOMPARE(invalid.message,
             QStringLiteral("You cannot use this value if there are rejects.  Please select another."));
    QCOMPARE(invalid.icon, MsgIcon::Critical);
    QCOMPARE(sheet.distribution(row).reason, 4);

    QVERIFY(sheet.setRejects(row, QStringLiteral("8")).stored);
    QCOMPARE(reason(4), 10);
    QCOMPARE(reason(10), 7);
    // Rejects come off the remaining quantity, not off the quantity put on hold.
    QCOMPARE(remaining(m_ticket), 92);
    QCOMPARE(value(QStringLiteral("SELECT \"Hold Quantity\" FROM \"Hold Table\"")), 100);
}

void TestDisposition::bookings_data()
{
    // Steps typed into one new distribution row ("rejects 5", "reason 4", "rework 5"); what another
    // workstation writes before the last step; whether the last step was stored; the row's reason
    // and what the line's reasons and the ticket's remaining quantity hold at the end. The line
    // starts with 7 "Other" and 2 of reason 4; the ticket with 100.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("elsewhere");
    QTest::addColumn<bool>("lastStored");
    QTest::addColumn<int>("rowReason");
    QTest::addColumn<qint64>("other");
    QTest::addColumn<qint64>("reason4");
    QTest::addColumn<qint64>("left");
    QTest::newRow("a single reject, no reason") << "rejects 1"
                                                << "" << true << 10 << qint64(8) << qint64(2) << qint64(99);
    QTest::newRow("Other (10) chosen directly") << "rejects 5;reason 4;reason 10"
                                                << "" << true << 10 << qint64(12) << qint64(2) << qint64(95);
    QTest::newRow("Other chosen before the rejects")
        << "reason 10;rejects 3"
        << "" << true << 10 << qint64(10) << qint64(2) << qint64(97);
    QTest::newRow("only Rejects changed elsewhere") << "rejects 2;rework 5"
                                                    << "UPDATE \"Hold Distribution\" SET \"Rejects\" = 3"
                                                    << false << 10 << qint64(9) << qint64(2) << qint64(98);
    QTest::newRow("line's reasons changed elsewhere")
        << "rejects 2;rejects 5"
        << "UPDATE \"Production Table\" SET \"RejectReason10\" = \"RejectReason10\" + 100" << true << 10
        << qint64(112) << qint64(2) << qint64(95);
}

void TestDisposition::bookings()
{
    QFETCH(QString, steps);
    QFETCH(QString, elsewhere);
    QFETCH(bool, lastStored);
    QFETCH(int, rowReason);
    QFETCH(qint64, other);
    QFETCH(qint64, reason4);
    QFETCH(qint64, left);
    DispositionSheet &sheet = open(m_ticket);
    int row = -1;
    QVERIFY(sheet.addDistribution(kNow, &row).stored);
    const QStringList list = steps.split(';');
    for (int i = 0; i < list.size(); ++i) {
        const QString what = list[i].section(' ', 0, 0);
        const QString typed = list[i].section(' ', 1);
        if (i == list.size() - 1 && !elsewhere.isEmpty())
            m_world->openDatabase().exec(elsewhere);
        const EntryResult result = what == QLatin1String("rejects")  ? sheet.setRejects(row, typed)
                                   : what == QLatin1String("rework") ? sheet.setReworked(row, typed)
                                                                     : sheet.setReason(row, typed.toInt());
        QCOMPARE(result.stored, i < list.size() - 1 || lastStored);
    }
    QCOMPARE(sheet.distribution(row).reason, rowReason);
    QCOMPARE(reason(10), other);
    QCOMPARE(reason(4), reason4);
    QCOMPARE(remaining(m_ticket), left);
}

void TestDisposition::deletingTakesRejectsBackOnce()
{
    DispositionSheet &sheet = open(m_ticket);
    int row = -1;
    QVERIFY(sheet.addDistribution(kNow, &row).stored);
    QVERIFY(sheet.setRejects(row, QStringLiteral("6")).stored);
    QVERIFY(sheet.setReason(row, 3).stored);
    QCOMPARE(reason(3), 6);
    QVERIFY(sheet.deleteDistribution(row).stored);
    QCOMPARE(reason(3), 0);
    QCOMPARE(reason(10), 7);
    QCOMPARE(remaining(m_ticket), 100);
    QCOMPARE(sheet.distributionCount(), 0);
    const EntryResult none = sheet.deleteDistribution(0);
    QCOMPARE(none.message,
             QStringLiteral("There are no hold distributions to delete.  Please add one or more "
                            "before attempting to delete."));
    QCOMPARE(reason(3), 0);
}

void TestDisposition::receivingLinesOfAShiftTwoTicket()
{
    auto add = [&](const QDate &date, int shift, int machine, const QString &job) {
        return Fixture::line(m_world->db, date, shift, machine, job);
    };
    const qint64 sameShiftOtherMachine = add(kMonday, 2, 9, QStringLiteral("A-100"));
    add(kMonday, 1, 4, QStringLiteral("A-100")); // earlier shift
    const qint64 shift3 = add(kMonday, 3, 2, QStringLiteral("A-100"));
    add(kMonday, 3, 5, QStringLiteral("B-200")); // another job
    const qint64 protectedLine = add(kTuesday, 2, 1, QStringLiteral("A-100"));
    m_world->db.exec(
        QStringLiteral("UPDATE \"Production Table\" SET \"Protected Record\" = 1 WHERE \"Job ID\" = %1")
            .arg(protectedLine));
    add(QDate(2026, 12, 6), 3, 4, QStringLiteral("A-100")); // the day before

    DispositionSheet &sheet = open(m_ticket);
    QList<qint64> offered;
    for (const ReceivingLine &line : sheet.receivingLines())
        offered << line.jobId;
    QCOMPARE(offered, (QList<qint64>{m_line, sameShiftOtherMachine, shift3, m_later}));
    int row = -1;
    QVERIFY(sheet.addDistribution(kNow, &row).stored);
    QVERIFY(!sheet.setReceivingLine(row, protectedLine).stored);
    QVERIFY(sheet.distribution(row).toJobId.isNull());

    // The receiving line protected after the rework was booked: the row can never be saved again,
    // and the user is told so rather than to try again.
    QVERIFY(sheet.setReceivingLine(row, m_later).stored);
    QVERIFY(sheet.setReworked(row, QStringLiteral("10")).stored);
    Fixture::protect(m_world->db, kTuesday, 1);
    const EntryResult never = sheet.setReworked(row, QStringLiteral("20"));
    QCOMPARE(never.message, DispositionSheet::receivingLineProtectedMessage());
    QVERIFY(!never.keepText);
    QCOMPARE(value(QStringLiteral("SELECT \"Reworked Quantity\" FROM \"Hold Distribution\"")), 10);
}

void TestDisposition::protectedTicketLineIsReadOnly()
{
    const qint64 row = Fixture::distribution(m_world->db, m_ticket, QVariant(), 10);
    Q_UNUSED(row);
    Fixture::protect(m_world->db, kMonday, 2);
    DispositionSheet &sheet = open(m_ticket);
    QVERIFY(!sheet.editable());
    QVERIFY(!sheet.addDistribution(kNow).stored);
    QVERIFY(!sheet.setRejects(0, QStringLiteral("5")).stored);
    QVERIFY(!sheet.deleteDistribution(0).stored);
    QCOMPARE(value(QStringLiteral("SELECT COUNT(*) FROM \"Hold Distribution\"")), 1);
    QCOMPARE(reason(10), 7);
}

void TestDisposition::noChangeRunsNoDisposalStatus()
{
    // Remaining 0 but not yet marked: only a change in this window brings the status up to date.
    m_world->db.exec(QStringLiteral("UPDATE \"Hold Table\" SET \"Hold Remaining\" = 0"));
    DispositionSheet &sheet = open(m_ticket);
    sheet.finish();
    QCOMPARE(value(QStringLiteral("SELECT \"Disposed of\" FROM \"Hold Table\"")), 0);
}

void TestDisposition::badQuantitiesAreRefused_data()
{
    QTest::addColumn<bool>("rejects");
    QTest::addColumn<QString>("typed");
    QTest::newRow("negative rework") << false << "10-20";
    QTest::newRow("negative rejects") << true << "-4";
    QTest::newRow("rejects beyond a count") << true << "3000000000";
}

void TestDisposition::badQuantitiesAreRefused()
{
    QFETCH(bool, rejects);
    QFETCH(QString, typed);
    DispositionSheet &sheet = open(m_ticket);
    int row = -1;
    QVERIFY(sheet.addDistribution(kNow, &row).stored);
    QVERIFY(sheet.setRejects(row, QStringLiteral("2")).stored);
    const EntryResult result = rejects ? sheet.setRejects(row, typed) : sheet.setReworked(row, typed);
    QVERIFY(!result.stored);
    QVERIFY(!result.message.isEmpty());
    QCOMPARE(sheet.distribution(row).rejects, 2);
    QCOMPARE(reason(10), 9);
    QCOMPARE(remaining(m_ticket), 98);
}

// Two rows of the ticket: the second may not take the line's reason total (7 before) or the
// ticket's Hold Remaining (100 less both rows) past the range of the count fields.
void TestDisposition::runningTotalsStayInRange_data()
{
    QTest::addColumn<bool>("rejects"); // else reworked
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("stored");
    QTest::newRow("reason total at the limit") << true << "2147483600"
                                               << "40" << true;
    QTest::newRow("reason total one past") << true << "2147483600"
                                           << "41" << false;
    QTest::newRow("two rows of 2,000,000,000") << true << "2000000000"
                                               << "2000000000" << false;
    QTest::newRow("Hold Remaining at the limit") << false << "2147483647"
                                                 << "100" << true;
    QTest::newRow("Hold Remaining one past") << false << "2147483647"
                                             << "101" << false;
}

void TestDisposition::runningTotalsStayInRange()
{
    QFETCH(bool, rejects);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, stored);
    DispositionSheet &sheet = open(m_ticket);
    int row = -1;
    QVERIFY(sheet.addDistribution(kNow, &row).stored);
    QVERIFY((rejects ? sheet.setRejects(row, first) : sheet.setReworked(row, first)).stored);
    QVERIFY(sheet.addDistribution(kNow, &row).stored);
    const qint64 reasonBefore = reason(10);
    const qint64 remainingBefore = remaining(m_ticket);

    const EntryResult result = rejects ? sheet.setRejects(row, second) : sheet.setReworked(row, second);

    QCOMPARE(result.stored, stored);
    const qint64 added = stored ? second.toLongLong() : 0;
    QCOMPARE(reason(10), reasonBefore + (rejects ? added : 0));
    QCOMPARE(remaining(m_ticket), remainingBefore - added);
    QCOMPARE(
        value(QStringLiteral("SELECT SUM(\"Rejects\" + \"Reworked Quantity\") FROM \"Hold Distribution\"")),
        first.toLongLong() + added);
    if (!stored)
        QVERIFY(result.message.contains(QStringLiteral("2,147,483,647")));
}

void TestDisposition::twoWorkstationsKeepEachOthersBookings()
{
    const qint64 first = Fixture::distribution(m_world->db, m_ticket, QVariant(), 0);
    Fixture::distribution(m_world->db, m_ticket, QVariant(), 0);
    Q_UNUSED(first);
    Database otherDb = m_world->openDatabase();
    std::unique_ptr<DispositionSheet> otherHolder;
    DispositionSheet &mine = open(m_ticket);
    DispositionSheet &theirs = open(otherDb, otherHolder, m_ticket);

    // The same row, changed here since it was read there: refused and read again there, nothing
    // booked twice or undone.
    QVERIFY(mine.setRejects(0, QStringLiteral("5")).stored);
    const EntryResult stale = theirs.setRejects(0, QStringLiteral("4"));
    QVERIFY(!stale.stored);
    QVERIFY(stale.message.contains(QStringLiteral("another workstation")));
    QCOMPARE(theirs.distribution(0).rejects, 5);
    QCOMPARE(reason(10), 12);

    // Different rows: both bookings count.
    QVERIFY(theirs.setRejects(1, QStringLiteral("3")).stored);
    QCOMPARE(reason(10), 15);
    QVERIFY(theirs.setRejects(0, QStringLiteral("4")).stored);
    QCOMPARE(reason(10), 14);
    QCOMPARE(remaining(m_ticket), 93);

    // A delete takes back what is stored (4), not what this workstation last saw (5).
    QVERIFY(mine.deleteDistribution(0).stored);
    QCOMPARE(reason(10), 10);
    QCOMPARE(remaining(m_ticket), 97);
}

void TestDisposition::ticketsSharingANumberKeepTheirOwnRows()
{
    // Two tickets of one line with the same number (and two without one).
    const qint64 twin = Fixture::hold(m_world->db, m_line, 9001, 50);
    const qint64 blank1 = Fixture::hold(m_world->db, m_line, QVariant(), 20);
    const qint64 blank2 = Fixture::hold(m_world->db, m_line, QVariant(), 30);
    Fixture::distribution(m_world->db, twin, QVariant(), 15);
    Fixture::distribution(m_world->db, blank2, QVariant(), 10);

    int row = -1;
    DispositionSheet &sheet = open(m_ticket);
    QVERIFY(sheet.addDistribution(kNow, &row).stored);
    QVERIFY(sheet.setReworked(row, QStringLiteral("25")).stored);
    QCOMPARE(remaining(m_ticket), 75);
    DispositionSheet &blank = open(blank1);
    QVERIFY(blank.addDistribution(kNow, &row).stored);
    QVERIFY(blank.setReworked(row, QStringLiteral("5")).stored);
    QCOMPARE(remaining(blank1), 15);
    QCOMPARE(remaining(twin), 50); // untouched by the other ticket's changes
}

QTEST_GUILESS_MAIN(TestDisposition)
#include "test_disposition.moc"

// The list is read a page at a time: every unresolved ticket comes once, in the list's order,
// also where tickets alike in every sorted field straddle a page and where tickets listed on
// the first page are disposed of on another workstation before the next is read.
void TestDisposition::everyTicketListedOnceAsPagesAreRead()
{
    {
        Transaction transaction(m_world->db);
        for (int i = 0; i < 520; ++i)
            Fixture::hold(m_world->db, m_later, 10000 + i / 3, 10);
        transaction.commit();
    }
    DispositionSheet sheet(m_world->db);
    sheet.load();
    QVERIFY(sheet.canFetchMore());
    const int firstPage = sheet.ticketCount();
    QVERIFY(firstPage > 1 && firstPage < 521);
    m_world->db.exec(
        QStringLiteral("UPDATE \"Hold Table\" SET \"Disposed of\" = 1 WHERE \"Hold Ticket Number\" "
                       "BETWEEN 10000 AND 10009"));
    while (sheet.canFetchMore())
        sheet.fetchMore();
    QSet<qint64> ids;
    for (int row = 0; row < sheet.ticketCount(); ++row) {
        const UnresolvedTicket &ticket = sheet.ticket(row);
        ids.insert(ticket.ticketId);
        if (row > 0) {
            const UnresolvedTicket &before = sheet.ticket(row - 1);
            QVERIFY(std::pair(before.date, before.ticketNumber.toLongLong()) <=
                    std::pair(ticket.date, ticket.ticketNumber.toLongLong()));
        }
    }
    QCOMPARE(ids.size(), sheet.ticketCount());
    // the first page as it was read, and every ticket still unresolved
    QCOMPARE(ids, [&] {
        QSet<qint64> expected;
        for (int row = 0; row < firstPage; ++row)
            expected.insert(sheet.ticket(row).ticketId);
        QSqlQuery query = m_world->db.exec(
            QStringLiteral("SELECT \"Hold Ticket ID\" FROM \"Hold Table\" WHERE \"Disposed of\" = 0"));
        while (query.next())
            expected.insert(query.value(0).toLongLong());
        return expected;
    }());
}
