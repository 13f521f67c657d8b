#include "TestSupport.h"

#include "production/record/JobLines.h"
#include "production/record/Schema.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

// The database's own protection: what it refuses on a protected date-shift, what it lets
// through, the whole-table statements that skip protected rows, and the upgrade of a database
// made without the triggers.
class TestProtection : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void refusesWrites_data();
    void refusesWrites();
    void allowsFlagAndUnprotectedWrites();
    void refusesReplace_data();
    void refusesReplace();
    void everyColumnIsProtected_data();
    void everyColumnIsProtected();
    void disposalStatusSkipsProtectedTickets();
    void postingLeavesProtectedNextShiftAlone();
    void addsProtectionToAnOlderDatabase();

private:
    QVariant value(const QString &sql) const { return m_world->db.scalar(sql); }
    QString lines() const
    {
        QStringList rows;
        QSqlQuery query =
            m_world->db.exec(QStringLiteral("SELECT \"Job ID\", \"Shift\", \"Ending Count\", "
                                            "\"RejectReason10\" FROM \"Production Table\" ORDER BY 1"));
        while (query.next()) {
            rows << QStringLiteral("%1:%2:%3:%4")
                        .arg(query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                             query.value(3).toString());
        }
        return rows.join(QLatin1Char(','));
    }
    QString tablesText() const;

    std::unique_ptr<DatabaseWorld> m_world;
    qint64 m_closed = 0; // a line of the protected date-shift
    qint64 m_open = 0;   // a line of the open one
    qint64 m_closedTicket = 0;
    qint64 m_openTicket = 0;
};

namespace {
const QDate kMonday(2026, 12, 7);
const QString kJob = QStringLiteral("A-100");
} // namespace

void TestProtection::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{kJob});
    const Database &db = m_world->db;
    m_closed = Fixture::line(db, kMonday, 1, 1, kJob, 0, 500);
    m_open = Fixture::line(db, kMonday, 2, 1, kJob, 500, 900);
    Fixture::transfer(db, m_closed, 41, 100);
    m_closedTicket = Fixture::hold(db, m_closed, 7001, 20);
    m_openTicket = Fixture::hold(db, m_open, 7002, 30);
    Fixture::distribution(db, m_closedTicket, m_open, 5);
    Fixture::protect(db, kMonday, 1);
}

void TestProtection::cleanup()
{
    m_world.reset();
}

void TestProtection::refusesWrites_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    const QString line = QStringLiteral("The lines of a protected date-shift cannot be changed or deleted.");
    const QString ticket =
        QStringLiteral("The tickets of a protected date-shift cannot be added, changed or deleted.");
    const QString distribution = QStringLiteral(
        "The hold distribution of a protected date-shift cannot be added, changed or deleted.");

    QTest::newRow("line added")
        << "INSERT INTO \"Production Table\" (\"Date\", \"Shift\", \"Machine Number\") "
           "VALUES ('2026-12-07', 1, 9)"
        << "No line can be added to a protected date-shift.";
    QTest::newRow("line moved in") << "UPDATE \"Production Table\" SET \"Shift\" = 1 WHERE \"Shift\" = 2"
                                   << line;
    QTest::newRow("count changed")
        << "UPDATE \"Production Table\" SET \"Ending Count\" = 1 WHERE \"Shift\" = 1" << line;
    QTest::newRow("rejects changed") << "UPDATE \"Production Table\" SET \"RejectReason10\" = 3" << line;
    QTest::newRow("flag and count at once")
        << "UPDATE \"Production Table\" SET \"Protected Record\" = 0, \"Rejects\" = 4 WHERE \"Shift\" = 1"
        << line;
    QTest::newRow("line deleted") << "DELETE FROM \"Production Table\" WHERE \"Shift\" = 1" << line;
    QTest::newRow("transfer added") << "INSERT INTO \"Transfer Table\" (\"Job ID\", \"Transfer Quantity\") "
                                       "SELECT \"Job ID\", 5 FROM \"Production Table\" WHERE \"Shift\" = 1"
                                    << ticket;
    QTest::newRow("transfer cleaned up")
        << "UPDATE \"Transfer Table\" SET \"Transfer Quantity\" = 0" << ticket;
    QTest::newRow("transfer deleted") << "DELETE FROM \"Transfer Table\"" << ticket;
    QTest::newRow("hold remaining changed") << "UPDATE \"Hold Table\" SET \"Hold Remaining\" = 0" << ticket;
    QTest::newRow("hold moved to the closed line")
        << "UPDATE \"Hold Table\" SET \"Job ID\" = (SELECT MIN(\"Job ID\") FROM \"Production Table\") "
           "WHERE \"Hold Ticket Number\" = 7002"
        << ticket;
    QTest::newRow("hold deleted") << "DELETE FROM \"Hold Table\" WHERE \"Hold Ticket Number\" = 7001"
                                  << ticket;
    QTest::newRow("distribution of a closed ticket")
        << "INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"Rejects\") "
           "SELECT \"Hold Ticket ID\", 1 FROM \"Hold Table\" WHERE \"Hold Ticket Number\" = 7001"
        << distribution;
    QTest::newRow("rework to a closed line")
        << "INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"To Job ID\", \"Reworked Quantity\") "
           "SELECT \"Hold Ticket ID\", (SELECT MIN(\"Job ID\") FROM \"Production Table\"), 1 "
           "FROM \"Hold Table\" WHERE \"Hold Ticket Number\" = 7002"
        << distribution;
    QTest::newRow("distribution deleted") << "DELETE FROM \"Hold Distribution\"" << distribution;
}

void TestProtection::refusesWrites()
{
    QFETCH(QString, sql);
    QFETCH(QString, message);
    const QString before = lines();

    const auto error = errorOf<DatabaseError>([&] { m_world->db.exec(sql); });

    QVERIFY(error);
    QCOMPARE(error->number(), DbErrors::Protected);
    // The user is shown the refusal itself, not the statement.
    QCOMPARE(error->description(), message);
    QCOMPARE(lines(), before);
    QCOMPARE(value("SELECT count(*) FROM \"Transfer Table\"").toInt(), 1);
    QCOMPARE(value("SELECT count(*) FROM \"Hold Distribution\"").toInt(), 1);
}

void TestProtection::allowsFlagAndUnprotectedWrites()
{
    Database &db = m_world->db;
    // Values written back unchanged, and the open date-shift, pass.
    db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = \"Ending Count\""));
    db.exec(QStringLiteral("UPDATE \"Transfer Table\" SET \"Transfer Quantity\" = \"Transfer Quantity\""));
    db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = 950 WHERE \"Shift\" = 2"));
    Fixture::line(db, kMonday, 2, 2, kJob);
    Fixture::distribution(db, m_openTicket, QVariant(), 0, 3, 2);
    // The reject report's printed mark is bookkeeping, not record.
    db.exec(QStringLiteral("UPDATE \"Hold Distribution\" SET \"Printed\" = 1"));
    QCOMPARE(value("SELECT count(*) FROM \"Hold Distribution\" WHERE \"Printed\" = 0").toInt(), 0);
    // Clearing the protection makes the lines writable again.
    db.execSaved(
        QStringLiteral("Set Protection"),
        {{QStringLiteral("dt"), sqlDate(kMonday)}, {QStringLiteral("sh"), 1}, {QStringLiteral("Valu"), 0}});
    db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = 600 WHERE \"Shift\" = 1"));
    QCOMPARE(value("SELECT \"Ending Count\" FROM \"Production Table\" WHERE \"Shift\" = 1").toInt(), 600);
    QCOMPARE(value("SELECT count(*) FROM \"Production Table\"").toInt(), 3);
}

namespace {
const QStringList kProtectedTables{QStringLiteral("Production Table"), QStringLiteral("Transfer Table"),
                                   QStringLiteral("Hold Table"), QStringLiteral("Hold Distribution")};
// The key and a row of the protected date-shift ("closed") or of the open one, per table.
const QMap<QString, QPair<QString, QString>> kRows{
    {QStringLiteral("Production Table"), {QStringLiteral("Job ID"), QStringLiteral("\"Shift\" = %1")}},
    {QStringLiteral("Transfer Table"),
     {QStringLiteral("Transfer ID"),
      QStringLiteral("\"Job ID\" IN (SELECT \"Job ID\" FROM \"Production Table\" WHERE \"Shift\" = %1)")}},
    {QStringLiteral("Hold Table"),
     {QStringLiteral("Hold Ticket ID"),
      QStringLiteral("\"Job ID\" IN (SELECT \"Job ID\" FROM \"Production Table\" WHERE \"Shift\" = %1)")}},
    {QStringLiteral("Hold Distribution"),
     {QStringLiteral("Distribution ID"),
      QStringLiteral(
          "\"Hold Ticket ID\" IN (SELECT \"Hold Ticket ID\" FROM \"Hold Table\" WHERE \"Job ID\" IN "
          "(SELECT \"Job ID\" FROM \"Production Table\" WHERE \"Shift\" = %1))")}}};

QString keyOf(const QString &table, int shift)
{
    return QStringLiteral("(SELECT MIN(\"%1\") FROM \"%2\" WHERE %3)")
        .arg(kRows[table].first, table, kRows[table].second.arg(shift));
}
} // namespace

// Every row of the four tables, as text.
QString TestProtection::tablesText() const
{
    QStringList rows;
    for (const QString &table : kProtectedTables) {
        QSqlQuery query = m_world->db.exec(QStringLiteral("SELECT * FROM \"%1\"").arg(table));
        while (query.next()) {
            QStringList values;
            for (int i = 0; i < query.record().count(); ++i)
                values << query.value(i).toString();
            rows << table + QLatin1Char(':') + values.join(QLatin1Char('|'));
        }
    }
    return rows.join(QLatin1Char('\n'));
}

// A REPLACE deletes the row whose key it takes without firing a delete trigger: a new row may
// not take the key of a protected row, and a key may not move onto one.
void TestProtection::refusesReplace_data()
{
    FILE_DATABASE_ONLY("REPLACE is SQLite's; the server has no statement that deletes a row unseen");
    QTest::addColumn<QString>("sql");
    DatabaseWorld world(QStringLiteral("C"));
    for (const QString &table : kProtectedTables) {
        const QString key = kRows[table].first;
        const QString closed = keyOf(table, 1);
        const QString copyOfOpen = QStringLiteral("SELECT %1, %2 FROM \"%3\" WHERE \"%4\" = %5")
                                       .arg(closed, QStringLiteral("%1"), table, key, keyOf(table, 2));
        QSqlQuery columns = world.db.exec(
            QStringLiteral("SELECT group_concat('\"' || name || '\"', ', ') FROM pragma_table_info(:t) "
                           "WHERE name <> :key"),
            {{QStringLiteral("t"), table}, {QStringLiteral("key"), key}});
        columns.next();
        const QString others = columns.value(0).toString();
        const QString into = QStringLiteral("\"%1\" (\"%2\", %3) ").arg(table, key, others);
        QTest::newRow(qPrintable(table + QStringLiteral(": INSERT OR REPLACE")))
            << QStringLiteral("INSERT OR REPLACE INTO ") + into + copyOfOpen.arg(others);
        QTest::newRow(qPrintable(table + QStringLiteral(": REPLACE")))
            << QStringLiteral("REPLACE INTO ") + into + copyOfOpen.arg(others);
        QTest::newRow(qPrintable(table + QStringLiteral(": UPDATE OR REPLACE of the key")))
            << QStringLiteral("UPDATE OR REPLACE \"%1\" SET \"%2\" = %3 WHERE \"%2\" = %4")
                   .arg(table, key, closed, keyOf(table, 2));
    }
}

void TestProtection::refusesReplace()
{
    QFETCH(QString, sql);
    // An open transfer and an open distribution row to copy or move.
    Fixture::transfer(m_world->db, m_open, 42, 7);
    Fixture::distribution(m_world->db, m_openTicket, QVariant(), 0, 3, 2);
    const QString before = tablesText();

    const auto error = errorOf<DatabaseError>([&] { m_world->db.exec(sql); });

    QVERIFY(error);
    QCOMPARE(error->number(), DbErrors::Protected);
    QCOMPARE(tablesText(), before);
}

// A change to any column of a protected row is refused; the table definition is the list, so a
// column added later is covered too. Only the bookkeeping columns may change.
void TestProtection::everyColumnIsProtected_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("refused");
    DatabaseWorld world(QStringLiteral("C"));
    for (const QString &table : kProtectedTables) {
        // The columns the database itself has, not the program's list of them.
        QSqlQuery columns = world.db.exec(
            world.db.dialect().isServer()
                ? QStringLiteral("SELECT column_name FROM information_schema.columns WHERE table_name = :t "
                                 "ORDER BY ordinal_position")
                : QStringLiteral("SELECT name FROM pragma_table_info(:t)"),
            {{QStringLiteral("t"), table}});
        while (columns.next()) {
            const QString column = columns.value(0).toString();
            const bool bookkeeping =
                column == QStringLiteral("Protected Record") || column == QStringLiteral("Printed");
            QTest::newRow(qPrintable(table + QStringLiteral(".") + column))
                << table << column << !bookkeeping;
        }
    }
}

void TestProtection::everyColumnIsProtected()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(bool, refused);
    if (column == QStringLiteral("Protected Record"))
        return; // its one writer is "Set Protection" (allowsFlagAndUnprotectedWrites)
    const QString before = tablesText();
    // Text gets a letter more, a number one more, a null a value.
    QString change = QStringLiteral("CASE WHEN typeof(\"%1\") = 'text' THEN \"%1\" || 'x' "
                                    "WHEN \"%1\" IS NULL THEN 1 ELSE \"%1\" + 1 END");
    if (m_world->db.dialect().isServer()) {
        // The server types every branch of a CASE alike: the column's type picks the change.
        const bool text = m_world->db
                              .scalar(QStringLiteral("SELECT data_type FROM information_schema.columns "
                                                     "WHERE table_name = :t AND column_name = :c"),
                                      {{QStringLiteral("t"), table}, {QStringLiteral("c"), column}})
                              .toString() == QStringLiteral("text");
        change =
            text ? QStringLiteral("COALESCE(\"%1\" || 'x', '1')") : QStringLiteral("COALESCE(\"%1\" + 1, 1)");
    }
    const QString sql = QStringLiteral("UPDATE \"%1\" SET \"%2\" = %3 WHERE \"%4\" = %5")
                            .arg(table, column, change.arg(column), kRows[table].first, keyOf(table, 1));

    const auto error = errorOf<DatabaseError>([&] { m_world->db.exec(sql); });

    if (!refused) {
        QVERIFY(!error);
        QVERIFY(tablesText() != before);
        return;
    }
    QVERIFY(error);
    QCOMPARE(error->number(), DbErrors::Protected);
    QCOMPARE(tablesText(), before);
}

void TestProtection::disposalStatusSkipsProtectedTickets()
{
    Database &db = m_world->db;
    // Both tickets used up; only the open line's ticket may be marked.
    db.exec(QStringLiteral(
        "UPDATE \"Hold Table\" SET \"Hold Remaining\" = 0 WHERE \"Hold Ticket Number\" = 7002"));
    Fixture::protect(db, kMonday, 1, false);
    db.exec(QStringLiteral(
        "UPDATE \"Hold Table\" SET \"Hold Remaining\" = 0 WHERE \"Hold Ticket Number\" = 7001"));
    Fixture::protect(db, kMonday, 1);

    db.execSaved(QStringLiteral("Update Disposal Status"));

    QCOMPARE(value("SELECT MIN(\"Hold Ticket Number\" || ':' || \"Disposed of\") || ',' || "
                   "MAX(\"Hold Ticket Number\" || ':' || \"Disposed of\") FROM \"Hold Table\"")
                 .toString(),
             QStringLiteral("7001:0,7002:1"));
}

void TestProtection::postingLeavesProtectedNextShiftAlone()
{
    Database &db = m_world->db;
    // Shift 3 of the day before posts to the protected shift 1: a changed count and a machine
    // the next shift does not have.
    Fixture::line(db, kMonday.addDays(-1), 3, 1, kJob, 0, 777);
    Fixture::line(db, kMonday.addDays(-1), 3, 2, kJob, 0, 333);
    JobLines lines(db);

    const std::optional<Posting> posting = lines.postToNextShift({kMonday.addDays(-1), 3});
    QVERIFY(posting && posting->next == DateShift({kMonday, 1}));
    QVERIFY(posting->added.isEmpty());

    const QList<JobLine> closed = lines.of({kMonday, 1});
    QCOMPARE(closed.size(), 1);
    QCOMPARE(closed.first().beginningCount, 0);
}

void TestProtection::addsProtectionToAnOlderDatabase()
{
    FILE_DATABASE_ONLY("a database made before protection is a file");
    Database &db = m_world->db;
    // The text as an earlier version seeded it, in the older file's spelling.
    const QString oldDisposal =
        QStringLiteral("UPDATE [Hold Table] SET [Disposed of] = 1 WHERE [Hold Remaining] = 0");

    db.exec(QStringLiteral("DROP TRIGGER \"Protect Line Update\""));
    db.exec(QStringLiteral("DROP TRIGGER \"Protect Hold Delete\""));
    db.exec(QStringLiteral("DROP TRIGGER \"Protect Line Replace\""));
    db.exec(QStringLiteral("UPDATE \"Saved Queries\" SET \"SQL Text\" = :sql WHERE \"Query Name\" = "
                           "'Update Disposal Status'"),
            {{QStringLiteral("sql"), oldDisposal}});
    QVERIFY(!Schema::protectionCurrent(db));

    Schema::ensureProtection(db);

    QVERIFY(Schema::protectionCurrent(db));
    QVERIFY(db.savedQuerySql(QStringLiteral("Update Disposal Status")) != oldDisposal);
    const auto error = errorOf<DatabaseError>(
        [&] { db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Matec Count\" = 5")); });
    QVERIFY(error && error->number() == DbErrors::Protected);
    const auto replaced = errorOf<DatabaseError>([&] {
        db.exec(QStringLiteral("REPLACE INTO \"Production Table\" (\"Job ID\", \"Date\", \"Shift\") "
                               "VALUES (:id, '2026-12-09', 1)"),
                {{QStringLiteral("id"), m_closed}});
    });
    QVERIFY(replaced && replaced->number() == DbErrors::Protected);

    // A text the site wrote itself stays.
    const QString siteText = QStringLiteral("UPDATE \"Hold Table\" SET \"Disposed of\" = 1 WHERE 0");
    db.exec(QStringLiteral("UPDATE \"Saved Queries\" SET \"SQL Text\" = :sql WHERE \"Query Name\" = "
                           "'Update Disposal Status'"),
            {{QStringLiteral("sql"), siteText}});
    Schema::ensureProtection(db);
    QCOMPARE(db.savedQuerySql(QStringLiteral("Update Disposal Status")), siteText);
}

QTEST_GUILESS_MAIN(TestProtection)
#include "test_protection.moc"
