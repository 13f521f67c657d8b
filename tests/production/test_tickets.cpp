#include "TestSupport.h"

#include "production/tickets/TicketSheet.h"

#include <QSqlQuery>
#include <QtTest>

// The transfer and hold tickets of a date-shift's lines: entries, refusals, totals, the
// remaining quantity of holds, the clean-up as the window closes, protection and rows changed
// on another workstation.
class TestTickets : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void entries_data();
    void entries();
    void totalFollowsTheSelectedLine();
    void cleanUpRemovesEmptyRows_data();
    void cleanUpRemovesEmptyRows();
    void cleanUpLeavesRowsTypedElsewhere_data();
    void cleanUpLeavesRowsTypedElsewhere();
    void cleanUpTakesRowsOfAProgramGone_data();
    void cleanUpTakesRowsOfAProgramGone();
    void holdRemainingKeepsWhatWasDisposed();
    void holdRemainingStaysInRange();
    void protectedLineIsReadOnly();
    void refusedWriteKeepsTheText_data();
    void refusedWriteKeepsTheText();
    void rowChangedElsewhereIsReadAgain();
    void deleteFailures();

private:
    TicketSheet &sheet(bool holds)
    {
        m_sheet =
            std::make_unique<TicketSheet>(m_world->db, holds ? TicketKind::holds() : TicketKind::transfers());
        m_sheet->load({kMonday, 2});
        return *m_sheet;
    }
    QVariant stored(const QString &sql) const { return m_world->db.scalar(sql); }

    std::unique_ptr<DatabaseWorld> m_world;
    std::unique_ptr<TicketSheet> m_sheet;
    qint64 m_line = 0;
    qint64 m_second = 0;

    static inline const QDate kMonday{2026, 12, 7};
};

void TestTickets::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{QStringLiteral("A-100")});
    m_second = Fixture::line(m_world->db, kMonday, 2, 7, QStringLiteral("A-100"));
    m_line = Fixture::line(m_world->db, kMonday, 2, 3, QStringLiteral("A-100"));
    Fixture::line(m_world->db, kMonday, 1, 3, QStringLiteral("A-100"));
}

void TestTickets::cleanup()
{
    m_sheet.reset();
    m_world.reset();
}

void TestTickets::entries_data()
{
    QTest::addColumn<bool>("holds");
    QTest::addColumn<bool>("number");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("value"); // stored value after the entry ("" = null)
    QTest::addColumn<QString>("remaining");

    QTest::newRow("transfer sum") << false << false << "100+50" << true << "150"
                                  << "";
    QTest::newRow("hold sum restarts remaining") << true << false << "40+20" << true << "60"
                                                 << "60";
    QTest::newRow("negative quantity") << false << false << "5-9" << false << ""
                                       << "";
    QTest::newRow("negative hold") << true << false << "-3" << false << ""
                                   << "";
    QTest::newRow("beyond a count") << false << false << "99999*99999" << false << ""
                                    << "";
    QTest::newRow("ticket number") << false << true << " 40012 " << true << "40012"
                                   << "";
    QTest::newRow("number with letters") << true << true << "12a" << false << ""
                                         << "";
    QTest::newRow("number with a point") << false << true << "7.5" << false << ""
                                         << "";
    QTest::newRow("negative number") << false << true << "-7" << false << ""
                                     << "";
}

void TestTickets::entries()
{
    QFETCH(bool, holds);
    QFETCH(bool, number);
    QFETCH(QString, typed);
    QFETCH(bool, stored);
    QFETCH(QString, value);
    QFETCH(QString, remaining);

    TicketSheet &tickets = sheet(holds);
    QCOMPARE(tickets.selected()->jobId, m_line); // machine 3 comes first
    int row = -1;
    QVERIFY(tickets.addTicket(&row).stored);
    QCOMPARE(row, 0);
    const EntryResult result = number ? tickets.setNumber(row, typed) : tickets.setQuantity(row, typed);
    QCOMPARE(result.stored, stored);
    QCOMPARE(result.message.isEmpty(), stored);
    QVERIFY(!result.keepText);
    const TicketKind &kind = tickets.kind();
    QSqlQuery query =
        m_world->db.exec(QStringLiteral("SELECT \"%1\", \"%2\" FROM \"%3\"")
                             .arg(number ? kind.numberField : kind.quantityField,
                                  holds ? QStringLiteral("Hold Remaining") : kind.quantityField, kind.table));
    // The new row is stored with its first value; a refused one leaves nothing behind.
    QCOMPARE(query.next(), stored);
    if (stored)
        QCOMPARE(query.value(0).toString(), value);
    if (stored && holds)
        QCOMPARE(query.value(1).toString(), remaining);
    const Ticket &shown = tickets.ticket(0);
    const QVariant shownValue = number ? shown.number : shown.quantity;
    QCOMPARE(shownValue.isNull() ? QString() : shownValue.toString(), value);
}

void TestTickets::totalFollowsTheSelectedLine()
{
    Fixture::transfer(m_world->db, m_line, 1, 120);
    Fixture::transfer(m_world->db, m_line, 2, 1000);
    Fixture::transfer(m_world->db, m_second, 3, 5);
    TicketSheet &tickets = sheet(false);
    QCOMPARE(tickets.ticketCount(), 2);
    QCOMPARE(tickets.total(), 1120);
    QCOMPARE(tickets.frameCaption(), QStringLiteral("Transfers for A-100 - Part A-100"));
    tickets.selectLine(1);
    QCOMPARE(tickets.total(), 5);
    QVERIFY(tickets.setQuantity(0, QStringLiteral("25")).stored);
    QCOMPARE(tickets.total(), 25);
    QVERIFY(tickets.deleteTicket(0).stored);
    QCOMPARE(tickets.ticketCount(), 0);
    QCOMPARE(tickets.total(), 0);
}

void TestTickets::cleanUpRemovesEmptyRows_data()
{
    QTest::addColumn<bool>("holds");
    QTest::newRow("transfers") << false;
    QTest::newRow("holds") << true;
}

void TestTickets::cleanUpRemovesEmptyRows()
{
    QFETCH(bool, holds);
    TicketSheet &tickets = sheet(holds);
    int empty = -1, numbered = -1, full = -1;
    QVERIFY(tickets.addTicket(&empty).stored);
    QVERIFY(tickets.addTicket(&numbered).stored);
    QVERIFY(tickets.setNumber(numbered, QStringLiteral("501")).stored);
    QVERIFY(tickets.addTicket(&full).stored);
    QVERIFY(tickets.setNumber(full, QStringLiteral("502")).stored);
    QVERIFY(tickets.setQuantity(full, QStringLiteral("30")).stored);
    tickets.cleanUp();
    const TicketKind &kind = tickets.kind();
    QSqlQuery query = m_world->db.exec(QStringLiteral("SELECT \"%1\", \"%2\" FROM \"%3\" ORDER BY 1")
                                           .arg(kind.numberField, kind.quantityField, kind.table));
    QStringList rows;
    while (query.next())
        rows << query.value(0).toString() + '|' + query.value(1).toString();
    QCOMPARE(rows, (QStringList{"501|0", "502|30"}));
}

void TestTickets::cleanUpLeavesRowsTypedElsewhere_data()
{
    QTest::addColumn<bool>("holds");
    QTest::newRow("transfers") << false;
    QTest::newRow("holds") << true;
}

void TestTickets::cleanUpLeavesRowsTypedElsewhere()
{
    // B types a new ticket while A closes its window, on the same and on another date-shift.
    QFETCH(bool, holds);
    const TicketKind kind = holds ? TicketKind::holds() : TicketKind::transfers();
    Database other = m_world->openDatabase();
    TicketSheet typing(other, kind);
    typing.load({kMonday, 2});
    TicketSheet sameShift(m_world->db, kind);
    sameShift.load({kMonday, 2});
    TicketSheet otherShift(m_world->db, kind);
    otherShift.load({kMonday, 1});
    const auto closeBoth = [&] {
        sameShift.cleanUp();
        otherShift.cleanUp();
    };

    int row = -1;
    QVERIFY(typing.addTicket(&row).stored);
    closeBoth();
    QVERIFY(typing.setNumber(row, QStringLiteral("601")).stored);
    closeBoth();
    QVERIFY(typing.setQuantity(row, QStringLiteral("75")).stored);
    QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) || '|' || MAX(\"%1\") || '|' || MAX(\"%2\") FROM \"%3\"")
                        .arg(kind.numberField, kind.quantityField, kind.table))
                 .toString(),
             QStringLiteral("1|601|75"));
}

void TestTickets::cleanUpTakesRowsOfAProgramGone_data()
{
    QTest::addColumn<bool>("holds");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("left");
    // A transfer with a number and no quantity gets 0; a hold at 0 with no number goes.
    QTest::newRow("transfers") << false << "number" << QStringList{"701|0", "801|", "901|"};
    QTest::newRow("holds") << true << "quantity" << QStringList{"|0", "|0"};
}

void TestTickets::cleanUpTakesRowsOfAProgramGone()
{
    QFETCH(bool, holds);
    QFETCH(QString, typed);
    QFETCH(QStringList, left);
    const TicketKind kind = holds ? TicketKind::holds() : TicketKind::transfers();
    const auto typeInto = [&](TicketSheet &sheet, const QString &number) {
        int row = -1;
        QVERIFY(sheet.addTicket(&row).stored);
        QVERIFY((typed == QLatin1String("number") ? sheet.setNumber(row, number)
                                                  : sheet.setQuantity(row, QStringLiteral("0")))
                    .stored);
    };
    // A program that ended without closing its window, one whose window is still open, and a
    // row of another date-shift, all half typed.
    Database goneConnection = m_world->openDatabase();
    auto gone = std::make_unique<TicketSheet>(goneConnection, kind);
    gone->load({kMonday, 2});
    typeInto(*gone, QStringLiteral("701"));
    gone.reset(); // its claims end with it, as they do when its process ends
    Database openConnection = m_world->openDatabase();
    TicketSheet open(openConnection, kind);
    open.load({kMonday, 2});
    typeInto(open, QStringLiteral("801"));
    Database elsewhere = m_world->openDatabase();
    auto otherShift = std::make_unique<TicketSheet>(elsewhere, kind);
    otherShift->load({kMonday, 1});
    typeInto(*otherShift, QStringLiteral("901"));
    otherShift.reset();

    TicketSheet closing(m_world->db, kind);
    closing.load({kMonday, 2});
    closing.cleanUp();
    QSqlQuery query =
        m_world->db.exec(QStringLiteral("SELECT \"%1\", \"%2\" FROM \"%3\" ORDER BY \"%4\"")
                             .arg(kind.numberField, kind.quantityField, kind.table, kind.idField));
    QStringList rows;
    while (query.next())
        rows << (query.isNull(0) ? QString() : query.value(0).toString()) + '|' +
                    (query.isNull(1) ? QString() : query.value(1).toString());
    QCOMPARE(rows, left);
}

void TestTickets::holdRemainingKeepsWhatWasDisposed()
{
    // A ticket of 100, 30 reworked and 10 rejected: 60 left. One fully disposed of.
    const qint64 open = Fixture::hold(m_world->db, m_line, 11, 100, 60);
    Fixture::distribution(m_world->db, open, QVariant(), 30, 10, 4);
    const qint64 done = Fixture::hold(m_world->db, m_line, 12, 50, 0, true);
    Fixture::distribution(m_world->db, done, QVariant(), 50);
    TicketSheet &tickets = sheet(true);

    QVERIFY(tickets.setQuantity(tickets.rowOfTicket(open), QStringLiteral("120")).stored);
    QCOMPARE(stored(QStringLiteral(
                        "SELECT \"Hold Remaining\" FROM \"Hold Table\" WHERE \"Hold Ticket Number\" = 11"))
                 .toInt(),
             80);
    // Saving the disposed ticket unchanged leaves it disposed; more parts put on hold reopen it.
    QVERIFY(tickets.setQuantity(tickets.rowOfTicket(done), QStringLiteral("50")).stored);
    QCOMPARE(stored(QStringLiteral("SELECT \"Hold Remaining\" || '|' || \"Disposed of\" FROM \"Hold Table\" "
                                   "WHERE \"Hold Ticket Number\" = 12"))
                 .toString(),
             QStringLiteral("0|1"));
    QVERIFY(tickets.setQuantity(tickets.rowOfTicket(done), QStringLiteral("55")).stored);
    QCOMPARE(stored(QStringLiteral("SELECT \"Hold Remaining\" || '|' || \"Disposed of\" FROM \"Hold Table\" "
                                   "WHERE \"Hold Ticket Number\" = 12"))
                 .toString(),
             QStringLiteral("5|0"));
}

void TestTickets::holdRemainingStaysInRange()
{
    // Disposed of beyond the ticket: 2,147,483,647 reworked on one, 2 x 2,000,000,000 on the other.
    const qint64 edge = Fixture::hold(m_world->db, m_line, 13, 100);
    Fixture::distribution(m_world->db, edge, QVariant(), 2147483647);
    const qint64 past = Fixture::hold(m_world->db, m_line, 14, 100);
    Fixture::distribution(m_world->db, past, QVariant(), 0, 2000000000, 4);
    Fixture::distribution(m_world->db, past, QVariant(), 0, 2000000000, 4);
    TicketSheet &tickets = sheet(true);
    const QString remaining =
        QStringLiteral("SELECT \"Hold Quantity\" || '|' || \"Hold Remaining\" FROM \"Hold Table\" "
                       "WHERE \"Hold Ticket Number\" = %1");

    QVERIFY(tickets.setQuantity(tickets.rowOfTicket(edge), QStringLiteral("0")).stored);
    QCOMPARE(stored(remaining.arg(13)).toString(), QStringLiteral("0|-2147483647"));
    const EntryResult refused = tickets.setQuantity(tickets.rowOfTicket(past), QStringLiteral("200"));
    QVERIFY(!refused.stored);
    QVERIFY(refused.message.contains(QStringLiteral("Hold Remaining")));
    QCOMPARE(stored(remaining.arg(14)).toString(), QStringLiteral("100|100"));
}

void TestTickets::protectedLineIsReadOnly()
{
    Fixture::transfer(m_world->db, m_line, 1, 10);
    Fixture::protect(m_world->db, kMonday, 2);
    TicketSheet &tickets = sheet(false);
    QVERIFY(!tickets.editable());
    QVERIFY(!tickets.addTicket().stored);
    QVERIFY(!tickets.setQuantity(0, QStringLiteral("99")).stored);
    QVERIFY(!tickets.deleteTicket(0).stored);
    QCOMPARE(
        stored(QStringLiteral("SELECT COUNT(*) || '|' || SUM(\"Transfer Quantity\") FROM \"Transfer Table\""))
            .toString(),
        QStringLiteral("1|10"));

    // Protected on another workstation after the lines were read.
    Fixture::protect(m_world->db, kMonday, 2, false);
    TicketSheet &fresh = sheet(false);
    QVERIFY(fresh.editable());
    Fixture::protect(m_world->db, kMonday, 2);
    const EntryResult result = fresh.setQuantity(0, QStringLiteral("99"));
    QVERIFY(!result.stored);
    QVERIFY(result.message.contains(QStringLiteral("protected")));
    QVERIFY(result.protectionMet); // the window reads the date-shift again
    QVERIFY(!fresh.editable());
    QCOMPARE(stored(QStringLiteral("SELECT \"Transfer Quantity\" FROM \"Transfer Table\"")).toInt(), 10);
}

void TestTickets::refusedWriteKeepsTheText_data()
{
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<bool>("keepText");
    QTest::newRow("refused by a rule") << "the line is closed" << true;
    // Protection can never let the save through: no "try again", the window reads it again.
    QTest::newRow("refused by protection") << DbErrors::protectedMarker() + "the line is closed" << false;
}

void TestTickets::refusedWriteKeepsTheText()
{
    // The database refuses the write: the user is told why in words, the statement goes to the
    // error log only, the typed text stays while trying again can help, nothing is half-written.
    QFETCH(QString, refusal);
    QFETCH(bool, keepText);
    const qint64 hold = Fixture::hold(m_world->db, m_line, 11, 100);
    TicketSheet &tickets = sheet(true);
    if (m_world->db.dialect().isServer()) {
        m_world->db.exec(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                        "$$BEGIN RAISE EXCEPTION USING MESSAGE = '%1'; END$$")
                             .arg(refusal));
        m_world->db.exec(
            QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF \"Hold Remaining\" ON \"Hold Table\" "
                           "FOR EACH ROW EXECUTE FUNCTION refuse()"));
    } else {
        m_world->db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF \"Hold Remaining\" ON "
                                        "\"Hold Table\" BEGIN SELECT RAISE(ABORT, '%1'); END")
                             .arg(refusal));
    }
    const EntryResult result = tickets.setQuantity(tickets.rowOfTicket(hold), QStringLiteral("150"));
    QVERIFY(!result.stored);
    QCOMPARE(result.keepText, keepText);
    QCOMPARE(result.protectionMet, !keepText);
    QVERIFY(result.message.contains(QStringLiteral("the line is closed")));
    QVERIFY2(!result.message.contains(QStringLiteral("UPDATE")) &&
                 !result.message.contains(QStringLiteral("again")),
             qPrintable(result.message));
    QCOMPARE(result.logText.contains(QStringLiteral("UPDATE \"Hold Table\"")), keepText);
    QCOMPARE(
        stored(QStringLiteral("SELECT \"Hold Quantity\" || '|' || \"Hold Remaining\" FROM \"Hold Table\""))
            .toString(),
        QStringLiteral("100|100"));
}

void TestTickets::rowChangedElsewhereIsReadAgain()
{
    Fixture::transfer(m_world->db, m_line, 1, 10);
    TicketSheet &mine = sheet(false);
    Database other = m_world->openDatabase();
    TicketSheet theirs(other, TicketKind::transfers());
    theirs.load({kMonday, 2});
    QVERIFY(theirs.setQuantity(0, QStringLiteral("40")).stored);

    const EntryResult result = mine.setQuantity(0, QStringLiteral("70"));
    QVERIFY(!result.stored);
    QVERIFY(result.message.contains(QStringLiteral("another workstation")));
    QCOMPARE(mine.ticket(0).quantity.toInt(), 40);
    QCOMPARE(stored(QStringLiteral("SELECT \"Transfer Quantity\" FROM \"Transfer Table\"")).toInt(), 40);
    QVERIFY(mine.setQuantity(0, QStringLiteral("70")).stored);
}

void TestTickets::deleteFailures()
{
    TicketSheet &transfers = sheet(false);
    EntryResult none = transfers.deleteTicket(-1);
    QCOMPARE(none.title, QStringLiteral("Delete Error"));
    QCOMPARE(none.message, QStringLiteral("There are no transfers to delete.  Please add one or more before "
                                          "attempting to delete."));
    QCOMPARE(none.icon, MsgIcon::Information);
    QCOMPARE(none.buttons, MsgButtons::OkCancel);

    // A hold with distribution rows cannot go: the database refuses, the user reads why.
    const qint64 hold = Fixture::hold(m_world->db, m_line, 11, 100, 40);
    Fixture::distribution(m_world->db, hold, QVariant(), 60);
    TicketSheet &holds = sheet(true);
    const EntryResult refused = holds.deleteTicket(0);
    QVERIFY(!refused.stored);
    QCOMPARE(refused.message, QStringLiteral("This record cannot be deleted for the following reason:\nThis "
                                             "hold ticket has distribution rows. Delete those first; Error "
                                             "Code: 3200"));
    QVERIFY(refused.logText.contains(QStringLiteral("DELETE FROM \"Hold Table\"")));
    QCOMPARE(refused.icon, MsgIcon::Critical);
    QCOMPARE(holds.ticketCount(), 1);
}

QTEST_GUILESS_MAIN(TestTickets)
#include "test_tickets.moc"
