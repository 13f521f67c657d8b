#include "TestSupport.h"
#include "production/record/Schema.h"
#include "reports/ReportCatalog.h"

#include <QSqlRecord>
#include <QtTest>

// The saved queries the windows call by name, each run against a small plant built here. The
// queries the summaries are filled from ("JobIDs" and the three totals) are tested with the
// summaries, "Get Highest Date" with the start-up that reads it.
class TestSchemaQueries : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyQueryIsSeeded();
    void missingQueriesAddedOnOpen();
    void bringForwardUnmatchedLines();
    void setProtection_data();
    void setProtection();
    void protectedQuery();
    void unresolvedHolds();
    void holdDistributionSummary_data();
    void holdDistributionSummary();
    void updateDisposalStatus();
    void unprotectedQuery();
    void colorSelection();
    void relationsAreEnforced_data();
    void relationsAreEnforced();

private:
    // Rows of a result as "a|b|c" texts, Null shown as "null".
    static QStringList rows(QSqlQuery query);
    static QStringList fieldNames(const QSqlQuery &query);
    QStringList saved(const QString &name, const QVariantMap &params = {}) const;
    QStringList lines(const QDate &date, int shift) const;

    std::unique_ptr<DatabaseWorld> m_world;
};

namespace {
const QDate kMonday(2026, 12, 7);
const QDate kTuesday(2026, 12, 8);
const QString kCap = QStringLiteral("A-100");
const QString kLid = QStringLiteral("B-200");
const QString kTub = QStringLiteral("C-300");
} // namespace

void TestSchemaQueries::init()
{
    m_world = std::make_unique<DatabaseWorld>();
    Fixture::job(m_world->db, kCap, QStringLiteral("Cap, 38 mm"));
    Fixture::job(m_world->db, kLid, QStringLiteral("Lid"));
    Fixture::job(m_world->db, kTub, QStringLiteral("Tub"));
}

void TestSchemaQueries::cleanup()
{
    m_world.reset();
}

QStringList TestSchemaQueries::rows(QSqlQuery query)
{
    QStringList result;
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < query.record().count(); ++i)
            values << (query.value(i).isNull() ? QStringLiteral("null") : query.value(i).toString());
        result << values.join('|');
    }
    return result;
}

QStringList TestSchemaQueries::fieldNames(const QSqlQuery &query)
{
    QStringList names;
    for (int i = 0; i < query.record().count(); ++i)
        names << query.record().fieldName(i);
    return names;
}

QStringList TestSchemaQueries::saved(const QString &name, const QVariantMap &params) const
{
    return rows(m_world->db.execSaved(name, params));
}

QStringList TestSchemaQueries::lines(const QDate &date, int shift) const
{
    return rows(
        m_world->db.exec(QStringLiteral("SELECT \"Machine Number\", \"Job Number\", \"Job Description\", "
                                        "\"Beginning Count\", \"Ending Count\", \"Matec Count\" "
                                        "FROM \"Production Table\" WHERE \"Date\" = :d AND \"Shift\" = :s "
                                        "ORDER BY \"Machine Number\", \"Job Number\""),
                         {{QStringLiteral("d"), sqlDate(date)}, {QStringLiteral("s"), shift}}));
}

void TestSchemaQueries::everyQueryIsSeeded()
{
    // A new database carries every query the program calls by name, and no other.
    QStringList stored =
        rows(m_world->db.exec(QStringLiteral("SELECT \"Query Name\" FROM \"Saved Queries\"")));
    QStringList expected{"JobIDs",
                         "Transfer Summary",
                         "Hold Summary",
                         "From Rework Summary",
                         "Bring Forward Unmatched Line Items",
                         "Set Protection",
                         "Protected Query",
                         "Unresolved Hold Date Shift",
                         "Unresolved Hold",
                         "Hold Distribution Summary",
                         "Update Disposal Status",
                         "Unprotected Query",
                         "Color Selection",
                         "Get Highest Date",
                         "zz Stage Production Counts Query",
                         "zz Stage Transfer List Query",
                         "zz Stage On Hold Report Query",
                         "zz Stage Production Summary Report Query",
                         "zz Stage Security Profile Query",
                         "zz Stage Reject Update Report Query",
                         "Set Printed",
                         "zz Stage Holes In Holds Report Query",
                         "zz Stage Daily Corvix Report Query",
                         "zz Stage Velmar Daily Report Query",
                         "zz Stage Change History Query"};
    stored.sort();
    expected.sort();
    QCOMPARE(stored, expected);
}

void TestSchemaQueries::missingQueriesAddedOnOpen()
{
    // a database from before the report queries, and a query a site has changed
    m_world->db.exec(QStringLiteral("DELETE FROM \"Saved Queries\" WHERE \"Query Name\" LIKE 'zz Stage%'"));
    m_world->db.exec(QStringLiteral(
        "UPDATE \"Saved Queries\" SET \"SQL Text\" = 'SELECT 1' WHERE \"Query Name\" = 'JobIDs'"));
    Schema::addMissingSavedQueries(m_world->db, ReportCatalog::savedQueries());
    QCOMPARE(m_world->db.scalar(QStringLiteral("SELECT COUNT(*) FROM \"Saved Queries\"")).toInt(),
             int(Schema::savedQueryNames(ReportCatalog::savedQueries()).size()));
    QCOMPARE(m_world->db.savedQuerySql(QStringLiteral("JobIDs")), QStringLiteral("SELECT 1"));
}

void TestSchemaQueries::bringForwardUnmatchedLines()
{
    Fixture::line(m_world->db, kMonday, 3, 1, kCap, 1000, 1500, 490);
    Fixture::line(m_world->db, kMonday, 3, 2, kLid, 600, 800, 200);
    Fixture::line(m_world->db, kMonday, 3, 3, kTub, 0, 0, 0);
    Fixture::line(m_world->db, kMonday, 3, 4, kCap, 10, 20, 10);
    // Tuesday shift 1 already runs the cap on machine 1, and the tub (not the cap) on machine 4.
    Fixture::line(m_world->db, kTuesday, 1, 1, kCap, 0, 0, 0);
    Fixture::line(m_world->db, kTuesday, 1, 4, kTub, 7, 0, 0);
    const QStringList before = lines(kMonday, 3);

    const QVariantMap params{{QStringLiteral("This Date"), sqlDate(kMonday)},
                             {QStringLiteral("This Shift"), 3},
                             {QStringLiteral("Next Date"), sqlDate(kTuesday)},
                             {QStringLiteral("Next Shift"), 1}};
    m_world->db.execSaved(QStringLiteral("Bring Forward Unmatched Line Items"), params);

    // A machine with no line there gets its last line, the ending count as both counts so that
    // it reads 0 until counted; the matched line is left for the carry-forward update, the line
    // never counted (machine 3) carries nothing, and machine 4 runs another job there.
    const QStringList expected{QStringLiteral("1|A-100|Cap, 38 mm|0|0|0"),
                               QStringLiteral("2|B-200|Lid|800|800|0"), QStringLiteral("4|C-300|Tub|7|0|0")};
    QCOMPARE(lines(kTuesday, 1), expected);
    QCOMPARE(lines(kMonday, 3), before);
    // Once brought forward, every line has its match: a second run adds nothing.
    m_world->db.execSaved(QStringLiteral("Bring Forward Unmatched Line Items"), params);
    QCOMPARE(lines(kTuesday, 1), expected);
    // Other date-shifts are untouched.
    QCOMPARE(lines(kTuesday, 2), QStringList());
}

void TestSchemaQueries::setProtection_data()
{
    QTest::addColumn<QVariant>("valu");
    QTest::addColumn<int>("stored");

    QTest::newRow("true as -1") << QVariant(-1) << 1;
    QTest::newRow("true as 1") << QVariant(1) << 1;
    QTest::newRow("false") << QVariant(0) << 0;
}

void TestSchemaQueries::setProtection()
{
    QFETCH(QVariant, valu);
    QFETCH(int, stored);

    Fixture::line(m_world->db, kMonday, 1, 1, kCap);
    Fixture::line(m_world->db, kMonday, 1, 2, kLid);
    Fixture::line(m_world->db, kMonday, 2, 1, kCap);
    Fixture::line(m_world->db, kTuesday, 1, 1, kCap);
    // Start from the opposite state so that the query has something to change.
    m_world->db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Protected Record\" = :p"),
                     {{QStringLiteral("p"), 1 - stored}});

    m_world->db.execSaved(QStringLiteral("Set Protection"), {{QStringLiteral("dt"), sqlDate(kMonday)},
                                                             {QStringLiteral("sh"), 1},
                                                             {QStringLiteral("Valu"), valu}});
    const QStringList flags = rows(m_world->db.exec(QStringLiteral(
        "SELECT \"Date\", \"Shift\", \"Protected Record\" FROM \"Production Table\" ORDER BY \"Job ID\"")));
    const QString s = QString::number(stored), o = QString::number(1 - stored);
    QCOMPARE(flags, (QStringList{"2026-12-07|1|" + s, "2026-12-07|1|" + s, "2026-12-07|2|" + o,
                                 "2026-12-08|1|" + o}));
}

void TestSchemaQueries::protectedQuery()
{
    Fixture::line(m_world->db, QDate(2026, 12, 5), 1, 1, kCap); // Saturday before the range
    Fixture::line(m_world->db, QDate(2026, 12, 6), 1, 1, kCap); // Sunday
    Fixture::line(m_world->db, QDate(2026, 12, 6), 1, 2, kLid);
    Fixture::line(m_world->db, kMonday, 2, 1, kCap);
    Fixture::line(m_world->db, QDate(2026, 12, 12), 3, 1, kCap); // Saturday
    Fixture::line(m_world->db, QDate(2026, 12, 13), 1, 1, kCap); // after the range
    Fixture::protect(m_world->db, QDate(2026, 12, 6), 1);

    QSqlQuery q = m_world->db.execSaved(QStringLiteral("Protected Query"),
                                        {{QStringLiteral("LoD8"), sqlDate(QDate(2026, 12, 6))},
                                         {QStringLiteral("HiD8"), sqlDate(QDate(2026, 12, 12))}});
    QCOMPARE(fieldNames(q), (QStringList{"dt", "Shift", "Protected Record", "Wkday"}));
    // One row per date-shift; Wkday counts from 1 = Sunday.
    QCOMPARE(rows(std::move(q)), (QStringList{"2026-12-06|1|1|1", "2026-12-07|2|0|2", "2026-12-12|3|0|7"}));
}

void TestSchemaQueries::unresolvedHolds()
{
    const qint64 line = Fixture::line(m_world->db, kMonday, 2, 7, kLid);
    m_world->db.exec(
        QStringLiteral("UPDATE \"Production Table\" SET \"RejectReason3\" = 4, \"RejectReason10\" = 6"));
    const qint64 ticket = Fixture::hold(m_world->db, line, 8812, 40, 25);
    Fixture::hold(m_world->db, line, 8813, 10, 0, true);
    Fixture::hold(m_world->db, Fixture::line(m_world->db, kMonday, 1, 1, kCap), 2, 10, 0, true);
    const qint64 later = Fixture::line(m_world->db, kTuesday, 3, 1, kCap);
    Fixture::hold(m_world->db, later, 3, 10);
    Fixture::hold(m_world->db, Fixture::line(m_world->db, kTuesday, 3, 2, kLid), 4, 10, 4);
    Fixture::line(m_world->db, kTuesday, 1, 1, kCap);
    // The date-shifts with a ticket not disposed of, each once.
    QCOMPARE(saved(QStringLiteral("Unresolved Hold Date Shift")),
             (QStringList{"2026-12-07|2", "2026-12-08|3"}));

    QSqlQuery q = m_world->db.execSaved(QStringLiteral("Unresolved Hold"));
    QStringList expected{"Date",           "Shift",          "Machine Number",  "Job ID",
                         "Hold Ticket ID", "Job Number",     "Job Description", "Hold Ticket Number",
                         "Hold Quantity",  "Hold Remaining", "Protected Record"};
    for (int i = 1; i <= 10; ++i)
        expected << QStringLiteral("RejectReason%1").arg(i);
    QCOMPARE(fieldNames(q), expected);
    // Only the tickets not disposed of, by date-shift and machine.
    const QStringList tickets = rows(std::move(q));
    QCOMPARE(tickets.size(), 3);
    QCOMPARE(tickets.first(),
             QStringLiteral("2026-12-07|2|7|%1|%2|B-200|Lid|8812|40|25|0|0|0|4|0|0|0|0|0|0|6")
                 .arg(line)
                 .arg(ticket));
    QVERIFY(tickets.at(1).startsWith(QStringLiteral("2026-12-08|3|1|%1|").arg(later)));
}

void TestSchemaQueries::holdDistributionSummary_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no distribution rows") << 0 << "null|null";
    QTest::newRow("two rows add up") << 1 << "65|7";
    QTest::newRow("same number on another line") << 2 << "3|0";
    QTest::newRow("same number on the same line") << 3 << "9|1";
}

void TestSchemaQueries::holdDistributionSummary()
{
    QFETCH(int, which);
    QFETCH(QString, expected);

    const qint64 line = Fixture::line(m_world->db, kMonday, 1, 1, kCap);
    const qint64 other = Fixture::line(m_world->db, kMonday, 1, 2, kCap);
    const qint64 later = Fixture::line(m_world->db, kTuesday, 1, 1, kCap);
    const qint64 empty = Fixture::hold(m_world->db, line, 700, 50);
    const qint64 busy = Fixture::hold(m_world->db, line, 701, 100);
    const qint64 twin = Fixture::hold(m_world->db, other, 701, 10);
    // A second ticket of the first line with the same number: its rows are its own.
    const qint64 sameLineTwin = Fixture::hold(m_world->db, line, 701, 20);
    Fixture::distribution(m_world->db, busy, later, 60);
    Fixture::distribution(m_world->db, busy, later, 5, 7, 2);
    Fixture::distribution(m_world->db, twin, later, 3);
    Fixture::distribution(m_world->db, sameLineTwin, later, 9, 1, 4);

    const QList<QPair<qint64, int>> tickets{{line, 700}, {line, 701}, {other, 701}, {line, 701}};
    const QList<qint64> ids{empty, busy, twin, sameLineTwin};
    const QStringList result =
        saved(QStringLiteral("Hold Distribution Summary"), {{QStringLiteral("JID"), tickets[which].first},
                                                            {QStringLiteral("HTN"), tickets[which].second},
                                                            {QStringLiteral("HTID"), ids[which]}});
    QCOMPARE(result, QStringList{expected});
}

void TestSchemaQueries::updateDisposalStatus()
{
    const qint64 line = Fixture::line(m_world->db, kMonday, 1, 1, kCap);
    Fixture::hold(m_world->db, line, 1, 10, 0);
    Fixture::hold(m_world->db, line, 2, 10, 5);
    Fixture::hold(m_world->db, line, 3, 10, 10);
    m_world->db.execSaved(QStringLiteral("Update Disposal Status"));
    QCOMPARE(rows(m_world->db.exec(
                 QStringLiteral("SELECT \"Hold Ticket Number\", \"Disposed of\" FROM \"Hold Table\" "
                                "ORDER BY \"Hold Ticket Number\""))),
             (QStringList{"1|1", "2|0", "3|0"}));
}

void TestSchemaQueries::unprotectedQuery()
{
    Fixture::line(m_world->db, kMonday, 1, 1, kCap);
    const qint64 open1 = Fixture::line(m_world->db, kMonday, 2, 1, kCap);
    const qint64 open2 = Fixture::line(m_world->db, kTuesday, 1, 2, kLid);
    Fixture::protect(m_world->db, kMonday, 1);
    QStringList ids;
    for (const QString &row : saved(QStringLiteral("Unprotected Query")))
        ids << row.section('|', 0, 0);
    QCOMPARE(ids, (QStringList{QString::number(open1), QString::number(open2)}));
}

void TestSchemaQueries::colorSelection()
{
    const QString insert =
        QStringLiteral("INSERT INTO \"Color Table\" (\"Job Number\", \"Color Feeder Code\", "
                       "\"Color Name\") VALUES (:j, :c, :n)");
    m_world->db.exec(insert,
                     {{QStringLiteral("j"), kLid}, {QStringLiteral("c"), 1}, {QStringLiteral("n"), "Red"}});
    m_world->db.exec(insert,
                     {{QStringLiteral("j"), kCap}, {QStringLiteral("c"), 2}, {QStringLiteral("n"), "Blue"}});
    m_world->db.exec(insert,
                     {{QStringLiteral("j"), kCap}, {QStringLiteral("c"), 1}, {QStringLiteral("n"), "White"}});
    QSqlQuery q = m_world->db.execSaved(QStringLiteral("Color Selection"));
    QStringList names;
    while (q.next())
        names << q.value(QStringLiteral("Color Name")).toString();
    QCOMPARE(names, (QStringList{"White", "Blue", "Red"}));
}

void TestSchemaQueries::relationsAreEnforced_data()
{
    QTest::addColumn<QString>("sql");

    QTest::newRow("transfer for a missing line")
        << "INSERT INTO \"Transfer Table\" (\"Job ID\", \"Transfer Quantity\") VALUES (999, 5)";
    QTest::newRow("hold for a missing line")
        << "INSERT INTO \"Hold Table\" (\"Job ID\", \"Hold Quantity\") VALUES (999, 5)";
    QTest::newRow("rework to a missing line")
        << "INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"To Job ID\") VALUES (1, 999)";
    QTest::newRow("line for an unknown job") << "INSERT INTO \"Production Table\" (\"Date\", \"Shift\", "
                                                "\"Job Number\") VALUES ('2026-12-07', 1, 'Z-9')";
    QTest::newRow("shift 4") << "INSERT INTO \"Production Table\" (\"Date\", \"Shift\", \"Job Number\") "
                                "VALUES ('2026-12-07', 4, 'A-100')";
    QTest::newRow("deleting a line with tickets") << "DELETE FROM \"Production Table\"";
}

void TestSchemaQueries::relationsAreEnforced()
{
    QFETCH(QString, sql);

    const qint64 line = Fixture::line(m_world->db, kMonday, 1, 1, kCap);
    Fixture::hold(m_world->db, line, 1, 10);
    const auto snapshot = [this] {
        return rows(m_world->db.exec(QStringLiteral(
            "SELECT (SELECT count(*) FROM \"Production Table\"), (SELECT count(*) FROM \"Transfer Table\"), "
            "(SELECT count(*) FROM \"Hold Table\"), (SELECT count(*) FROM \"Hold Distribution\")")));
    };
    const QStringList before = snapshot();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, m_world->db.exec(sql));
    QCOMPARE(snapshot(), before);
}

QTEST_GUILESS_MAIN(TestSchemaQueries)
#include "test_schema_queries.moc"
