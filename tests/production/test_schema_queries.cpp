#include "TestSupport.h"

#include "production/Schema.h"

#include <QSqlRecord>
#include <QtTest>

// The saved queries the windows call by name, each run against a small plant built here.
class TestSchemaQueries : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyQueryIsSeeded();
    void jobIdRange();
    void lineTotals_data();
    void lineTotals();
    void lineTotalsOfAnEmptyDateShift();
    void bringForwardUnmatchedLines();
    void bringForwardLeavesAProtectedShiftAlone();
    void setProtection_data();
    void setProtection();
    void protectedQuery();
    void unresolvedHoldDateShifts();
    void unresolvedHoldFields();
    void holdDistributionSummary_data();
    void holdDistributionSummary();
    void updateDisposalStatus();
    void unprotectedQuery();
    void colorSelection();
    void highestDate();
    void relationsAreEnforced_data();
    void relationsAreEnforced();

private:
    // Rows of a result as "a|b|c" texts, Null shown as "null".
    static QStringList rows(QSqlQuery query);
    QStringList saved(const QString &name, const QVariantMap &params = {}) const;
    QStringList lines(const QDate &date, int shift) const;

    std::unique_ptr<TestWorld> m_world;
    std::unique_ptr<Database> m_db;
};

namespace {
const QDate kMonday(2026, 12, 7);
const QDate kTuesday(2026, 12, 8);
const QString kCap = QStringLiteral("A-100");
const QString kLid = QStringLiteral("B-200");
const QString kTub = QStringLiteral("C-300");

QVariantMap range(const QVariant &first, const QVariant &last)
{
    return {{QStringLiteral("FirstJID"), first}, {QStringLiteral("LastJID"), last}};
}
} // namespace

void TestSchemaQueries::init()
{
    m_world = std::make_unique<TestWorld>();
    m_world->createDatabase();
    m_db = std::make_unique<Database>(m_world->openDatabase());
    // A throw-away file: no need to wait for the disk after every row.
    m_db->exec(QStringLiteral("PRAGMA synchronous=OFF"));
    Fixture::job(*m_db, kCap, QStringLiteral("Cap, 38 mm"));
    Fixture::job(*m_db, kLid, QStringLiteral("Lid"));
    Fixture::job(*m_db, kTub, QStringLiteral("Tub"));
}

void TestSchemaQueries::cleanup()
{
    m_db.reset();
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

QStringList TestSchemaQueries::saved(const QString &name, const QVariantMap &params) const
{
    return rows(m_db->execSaved(name, params));
}

QStringList TestSchemaQueries::lines(const QDate &date, int shift) const
{
    return rows(m_db->exec(QStringLiteral("SELECT [Machine Number], [Job Number], [Job Description], "
                                          "[Beginning Count], [Ending Count], [Matec Count] "
                                          "FROM [Production Table] WHERE [Date] = :d AND [Shift] = :s "
                                          "ORDER BY [Machine Number], [Job Number]"),
                           {{QStringLiteral("d"), sqlDate(date)}, {QStringLiteral("s"), shift}}));
}

void TestSchemaQueries::everyQueryIsSeeded()
{
    // A new database carries every query the program calls by name, and each one runs.
    const QStringList stored = rows(m_db->exec(QStringLiteral("SELECT [Query Name] FROM [Saved Queries]")));
    for (const QString &name : Schema::savedQueryNames())
        QVERIFY2(stored.contains(name), qPrintable(name));
    for (const char *name : {"JobIDs", "Transfer Summary", "Hold Summary", "From Rework Summary",
                             "Bring Forward Unmatched Line Items", "Set Protection", "Protected Query",
                             "Unresolved Hold Date Shift", "Unresolved Hold", "Hold Distribution Summary",
                             "Update Disposal Status", "Unprotected Query", "Color Selection", "Get Highest Date"})
        QVERIFY2(stored.contains(QLatin1String(name)), name);
    QCOMPARE(saved(QStringLiteral("Get Highest Date")), QStringList{QStringLiteral("null")});
}

void TestSchemaQueries::jobIdRange()
{
    const qint64 a = Fixture::line(*m_db, kMonday, 1, 1, kCap);
    Fixture::line(*m_db, kMonday, 2, 1, kCap);
    const qint64 b = Fixture::line(*m_db, kMonday, 1, 2, kLid);
    const auto ids = [this](const QDate &date, int shift) {
        return saved(QStringLiteral("JobIDs"), {{QStringLiteral("dt"), sqlDate(date)}, {QStringLiteral("sh"), shift}});
    };
    QCOMPARE(ids(kMonday, 1), QStringList{QStringLiteral("%1|%2").arg(a).arg(b)});
    QSqlRecord fields = m_db->execSaved(QStringLiteral("JobIDs"), {{QStringLiteral("dt"), sqlDate(kMonday)},
                                                                   {QStringLiteral("sh"), 1}}).record();
    QCOMPARE(fields.fieldName(0), QStringLiteral("MinJobID"));
    QCOMPARE(fields.fieldName(1), QStringLiteral("MaxJobID"));
    // A date-shift without lines gives one row of Nulls.
    QCOMPARE(ids(kTuesday, 1), QStringList{QStringLiteral("null|null")});
}

void TestSchemaQueries::lineTotals_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("shiftTwo");

    // Lines of Monday shift 1 are ids 1, 2, 3 and 5; id 4 belongs to Monday shift 2 and was added
    // before the last line of shift 1, so it lies inside shift 1's id range.
    QTest::newRow("transfers") << "Transfer Summary" << "xfers"
                               << QStringList{"1|150", "2|null", "5|5"}
                               << QStringList{"4|70"};
    QTest::newRow("holds") << "Hold Summary" << "Holds" << QStringList{"1|50", "3|10"}
                           << QStringList{"4|99"};
    QTest::newRow("rework") << "From Rework Summary" << "Rework" << QStringList{"1|10"}
                            << QStringList{"4|40"};
}

void TestSchemaQueries::lineTotals()
{
    QFETCH(QString, query);
    QFETCH(QString, field);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, shiftTwo);

    const qint64 l1 = Fixture::line(*m_db, kMonday, 1, 1, kCap);
    const qint64 l2 = Fixture::line(*m_db, kMonday, 1, 2, kLid);
    const qint64 l3 = Fixture::line(*m_db, kMonday, 1, 3, kTub);
    const qint64 other = Fixture::line(*m_db, kMonday, 2, 1, kCap);
    const qint64 l5 = Fixture::line(*m_db, kMonday, 1, 4, kCap);
    QCOMPARE(QList<qint64>({l1, l2, l3, other, l5}), QList<qint64>({1, 2, 3, 4, 5}));

    Fixture::transfer(*m_db, l1, 1001, 100);
    Fixture::transfer(*m_db, l1, 1002, 50);
    Fixture::transfer(*m_db, l2, 1003, QVariant());   // quantity not yet entered
    Fixture::transfer(*m_db, other, 1004, 70);
    Fixture::transfer(*m_db, l5, 1005, 5);
    Fixture::hold(*m_db, l1, 501, 30);
    Fixture::hold(*m_db, l1, 502, 20);
    const qint64 ticket = Fixture::hold(*m_db, l3, 503, 10);
    const qint64 otherTicket = Fixture::hold(*m_db, other, 504, 99);
    // Rework is credited to the line that receives the parts.
    Fixture::distribution(*m_db, ticket, l1, 8);
    Fixture::distribution(*m_db, ticket, l1, 2, 1, 3);
    Fixture::distribution(*m_db, otherTicket, other, 40);
    Fixture::distribution(*m_db, otherTicket, QVariant(), 0, 9, 2);

    QSqlQuery result = m_db->execSaved(query, range(1, 5));
    QCOMPARE(result.record().fieldName(0), QStringLiteral("Job ID"));
    QCOMPARE(result.record().fieldName(1), field);
    QCOMPARE(rows(std::move(result)), expected);
    QCOMPARE(saved(query, range(4, 4)), shiftTwo);
}

void TestSchemaQueries::lineTotalsOfAnEmptyDateShift()
{
    const qint64 line = Fixture::line(*m_db, kMonday, 1, 1, kCap);
    Fixture::transfer(*m_db, line, 1, 10);
    Fixture::hold(*m_db, line, 2, 10);
    // "JobIDs" of a date-shift without lines gives Null ids; the totals then have no rows.
    for (const char *query : {"Transfer Summary", "Hold Summary", "From Rework Summary"})
        QCOMPARE(saved(QLatin1String(query), range(QVariant(), QVariant())), QStringList());
}

void TestSchemaQueries::bringForwardUnmatchedLines()
{
    Fixture::line(*m_db, kMonday, 3, 1, kCap, 1000, 1500, 490);
    Fixture::line(*m_db, kMonday, 3, 2, kLid, 600, 800, 200);
    Fixture::line(*m_db, kMonday, 3, 3, kTub, 0, 0, 0);
    Fixture::line(*m_db, kMonday, 3, 4, kCap, 10, 20, 10);
    // Tuesday shift 1 already runs the cap on machine 1, and the tub (not the cap) on machine 4.
    Fixture::line(*m_db, kTuesday, 1, 1, kCap, 0, 0, 0);
    Fixture::line(*m_db, kTuesday, 1, 4, kTub, 7, 0, 0);
    const QStringList before = lines(kMonday, 3);

    const QVariantMap params{{QStringLiteral("This Date"), sqlDate(kMonday)}, {QStringLiteral("This Shift"), 3},
                             {QStringLiteral("Next Date"), sqlDate(kTuesday)}, {QStringLiteral("Next Shift"), 1}};
    m_db->execSaved(QStringLiteral("Bring Forward Unmatched Line Items"), params);

    // Unmatched lines arrive with the ending count as beginning count and nothing else counted;
    // the matched line is left for the carry-forward update.
    const QStringList expected{
        QStringLiteral("1|A-100|Cap, 38 mm|0|0|0"), QStringLiteral("2|B-200|Lid|800|0|0"),
        QStringLiteral("3|C-300|Tub|0|0|0"),        QStringLiteral("4|A-100|Cap, 38 mm|20|0|0"),
        QStringLiteral("4|C-300|Tub|7|0|0")};
    QCOMPARE(lines(kTuesday, 1), expected);
    QCOMPARE(lines(kMonday, 3), before);
    // Once brought forward, every line has its match: a second run adds nothing.
    m_db->execSaved(QStringLiteral("Bring Forward Unmatched Line Items"), params);
    QCOMPARE(lines(kTuesday, 1), expected);
    // Other date-shifts are untouched.
    QCOMPARE(lines(kTuesday, 2), QStringList());
}

void TestSchemaQueries::bringForwardLeavesAProtectedShiftAlone()
{
    Fixture::line(*m_db, kMonday, 1, 1, kCap, 0, 100, 0);
    Fixture::line(*m_db, kMonday, 1, 2, kLid, 0, 200, 0);
    Fixture::line(*m_db, kMonday, 2, 1, kCap, 0, 0, 0);
    Fixture::protect(*m_db, kMonday, 2);
    const QStringList before = lines(kMonday, 2);
    m_db->execSaved(QStringLiteral("Bring Forward Unmatched Line Items"),
                    {{QStringLiteral("This Date"), sqlDate(kMonday)}, {QStringLiteral("This Shift"), 1},
                     {QStringLiteral("Next Date"), sqlDate(kMonday)}, {QStringLiteral("Next Shift"), 2}});
    QCOMPARE(lines(kMonday, 2), before);
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

    Fixture::line(*m_db, kMonday, 1, 1, kCap);
    Fixture::line(*m_db, kMonday, 1, 2, kLid);
    Fixture::line(*m_db, kMonday, 2, 1, kCap);
    Fixture::line(*m_db, kTuesday, 1, 1, kCap);
    // Start from the opposite state so that the query has something to change.
    m_db->exec(QStringLiteral("UPDATE [Production Table] SET [Protected Record] = :p"),
               {{QStringLiteral("p"), 1 - stored}});

    m_db->execSaved(QStringLiteral("Set Protection"),
                    {{QStringLiteral("dt"), sqlDate(kMonday)}, {QStringLiteral("sh"), 1}, {QStringLiteral("Valu"), valu}});
    const QStringList flags = rows(m_db->exec(QStringLiteral(
        "SELECT [Date], [Shift], [Protected Record] FROM [Production Table] ORDER BY [Job ID]")));
    const QString s = QString::number(stored), o = QString::number(1 - stored);
    QCOMPARE(flags, (QStringList{"2026-12-07|1|" + s, "2026-12-07|1|" + s, "2026-12-07|2|" + o,
                                 "2026-12-08|1|" + o}));
}

void TestSchemaQueries::protectedQuery()
{
    Fixture::line(*m_db, QDate(2026, 12, 5), 1, 1, kCap);     // Saturday before the range
    Fixture::line(*m_db, QDate(2026, 12, 6), 1, 1, kCap);     // Sunday
    Fixture::line(*m_db, QDate(2026, 12, 6), 1, 2, kLid);
    Fixture::line(*m_db, kMonday, 2, 1, kCap);
    Fixture::line(*m_db, QDate(2026, 12, 12), 3, 1, kCap);    // Saturday
    Fixture::line(*m_db, QDate(2026, 12, 13), 1, 1, kCap);    // after the range
    Fixture::protect(*m_db, QDate(2026, 12, 6), 1);

    QSqlQuery q = m_db->execSaved(QStringLiteral("Protected Query"),
                                  {{QStringLiteral("LoD8"), sqlDate(QDate(2026, 12, 6))},
                                   {QStringLiteral("HiD8"), sqlDate(QDate(2026, 12, 12))}});
    const QSqlRecord fields = q.record();
    QStringList names;
    for (int i = 0; i < fields.count(); ++i)
        names << fields.fieldName(i);
    QCOMPARE(names, (QStringList{"dt", "Shift", "Protected Record", "Wkday"}));
    // One row per date-shift; Wkday counts from 1 = Sunday.
    QCOMPARE(rows(std::move(q)), (QStringList{"2026-12-06|1|1|1", "2026-12-07|2|0|2", "2026-12-12|3|0|7"}));
}

void TestSchemaQueries::unresolvedHoldDateShifts()
{
    const qint64 a = Fixture::line(*m_db, kMonday, 1, 1, kCap);
    const qint64 b = Fixture::line(*m_db, kMonday, 2, 1, kCap);
    const qint64 c = Fixture::line(*m_db, kTuesday, 3, 1, kCap);
    const qint64 d = Fixture::line(*m_db, kTuesday, 3, 2, kLid);
    Fixture::line(*m_db, kTuesday, 1, 1, kCap);
    Fixture::hold(*m_db, a, 1, 10);
    Fixture::hold(*m_db, b, 2, 10, 0, true);
    Fixture::hold(*m_db, c, 3, 10);
    Fixture::hold(*m_db, d, 4, 10, 4);
    QCOMPARE(saved(QStringLiteral("Unresolved Hold Date Shift")),
             (QStringList{"2026-12-07|1", "2026-12-08|3"}));
}

void TestSchemaQueries::unresolvedHoldFields()
{
    const qint64 line = Fixture::line(*m_db, kMonday, 2, 7, kLid);
    m_db->exec(QStringLiteral("UPDATE [Production Table] SET [RejectReason3] = 4, [RejectReason10] = 6"));
    const qint64 ticket = Fixture::hold(*m_db, line, 8812, 40, 25);
    Fixture::hold(*m_db, line, 8813, 10, 0, true);

    QSqlQuery q = m_db->execSaved(QStringLiteral("Unresolved Hold"));
    QStringList names;
    for (int i = 0; i < q.record().count(); ++i)
        names << q.record().fieldName(i);
    QStringList expected{"Date", "Shift", "Machine Number", "Job ID", "Hold Ticket ID", "Job Number",
                         "Job Description", "Hold Ticket Number", "Hold Quantity", "Hold Remaining",
                         "Protected Record"};
    for (int i = 1; i <= 10; ++i)
        expected << QStringLiteral("RejectReason%1").arg(i);
    QCOMPARE(names, expected);
    // Only the ticket not disposed of.
    QCOMPARE(rows(std::move(q)),
             QStringList{QStringLiteral("2026-12-07|2|7|%1|%2|B-200|Lid|8812|40|25|0|0|0|4|0|0|0|0|0|0|6")
                             .arg(line).arg(ticket)});
}

void TestSchemaQueries::holdDistributionSummary_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no distribution rows") << 0 << "null|null";
    QTest::newRow("two rows add up") << 1 << "65|7";
    QTest::newRow("same number on another line") << 2 << "3|0";
}

void TestSchemaQueries::holdDistributionSummary()
{
    QFETCH(int, which);
    QFETCH(QString, expected);

    const qint64 line = Fixture::line(*m_db, kMonday, 1, 1, kCap);
    const qint64 other = Fixture::line(*m_db, kMonday, 1, 2, kCap);
    const qint64 later = Fixture::line(*m_db, kTuesday, 1, 1, kCap);
    Fixture::hold(*m_db, line, 700, 50);
    const qint64 busy = Fixture::hold(*m_db, line, 701, 100);
    const qint64 twin = Fixture::hold(*m_db, other, 701, 10);
    Fixture::distribution(*m_db, busy, later, 60);
    Fixture::distribution(*m_db, busy, later, 5, 7, 2);
    Fixture::distribution(*m_db, twin, later, 3);

    const QList<QPair<qint64, int>> tickets{{line, 700}, {line, 701}, {other, 701}};
    const QStringList result = saved(QStringLiteral("Hold Distribution Summary"),
                                     {{QStringLiteral("JID"), tickets[which].first},
                                      {QStringLiteral("HTN"), tickets[which].second}});
    QCOMPARE(result, QStringList{expected});
}

void TestSchemaQueries::updateDisposalStatus()
{
    const qint64 line = Fixture::line(*m_db, kMonday, 1, 1, kCap);
    Fixture::hold(*m_db, line, 1, 10, 0);
    Fixture::hold(*m_db, line, 2, 10, 5);
    Fixture::hold(*m_db, line, 3, 10, 10);
    m_db->execSaved(QStringLiteral("Update Disposal Status"));
    QCOMPARE(rows(m_db->exec(QStringLiteral("SELECT [Hold Ticket Number], [Disposed of] FROM [Hold Table] "
                                           "ORDER BY [Hold Ticket Number]"))),
             (QStringList{"1|1", "2|0", "3|0"}));
}

void TestSchemaQueries::unprotectedQuery()
{
    Fixture::line(*m_db, kMonday, 1, 1, kCap);
    const qint64 open1 = Fixture::line(*m_db, kMonday, 2, 1, kCap);
    const qint64 open2 = Fixture::line(*m_db, kTuesday, 1, 2, kLid);
    Fixture::protect(*m_db, kMonday, 1);
    QStringList ids;
    for (const QString &row : saved(QStringLiteral("Unprotected Query")))
        ids << row.section('|', 0, 0);
    QCOMPARE(ids, (QStringList{QString::number(open1), QString::number(open2)}));
}

void TestSchemaQueries::colorSelection()
{
    const QString insert = QStringLiteral("INSERT INTO [Color Table] ([Job Number], [Color Feeder Code], "
                                          "[Color Name]) VALUES (:j, :c, :n)");
    m_db->exec(insert, {{QStringLiteral("j"), kLid}, {QStringLiteral("c"), 1}, {QStringLiteral("n"), "Red"}});
    m_db->exec(insert, {{QStringLiteral("j"), kCap}, {QStringLiteral("c"), 2}, {QStringLiteral("n"), "Blue"}});
    m_db->exec(insert, {{QStringLiteral("j"), kCap}, {QStringLiteral("c"), 1}, {QStringLiteral("n"), "White"}});
    QSqlQuery q = m_db->execSaved(QStringLiteral("Color Selection"));
    QStringList names;
    while (q.next())
        names << q.value(QStringLiteral("Color Name")).toString();
    QCOMPARE(names, (QStringList{"White", "Blue", "Red"}));
}

void TestSchemaQueries::highestDate()
{
    QCOMPARE(saved(QStringLiteral("Get Highest Date")), QStringList{QStringLiteral("null")});
    Fixture::line(*m_db, QDate(2026, 11, 30), 3, 1, kCap);
    Fixture::line(*m_db, QDate(2027, 1, 2), 1, 1, kCap);
    Fixture::line(*m_db, QDate(2026, 12, 31), 2, 1, kCap);
    QSqlQuery q = m_db->execSaved(QStringLiteral("Get Highest Date"));
    QVERIFY(q.next());
    QCOMPARE(dateFromSql(q.value(QStringLiteral("Expr1"))), QDate(2027, 1, 2));
}

void TestSchemaQueries::relationsAreEnforced_data()
{
    QTest::addColumn<QString>("sql");

    QTest::newRow("transfer for a missing line")
        << "INSERT INTO [Transfer Table] ([Job ID], [Transfer Quantity]) VALUES (999, 5)";
    QTest::newRow("hold for a missing line")
        << "INSERT INTO [Hold Table] ([Job ID], [Hold Quantity]) VALUES (999, 5)";
    QTest::newRow("rework to a missing line")
        << "INSERT INTO [Hold Distribution] ([Hold Ticket ID], [To Job ID]) VALUES (1, 999)";
    QTest::newRow("line for an unknown job")
        << "INSERT INTO [Production Table] ([Date], [Shift], [Job Number]) VALUES ('2026-12-07', 1, 'Z-9')";
    QTest::newRow("shift 4") << "INSERT INTO [Production Table] ([Date], [Shift], [Job Number]) "
                                "VALUES ('2026-12-07', 4, 'A-100')";
    QTest::newRow("deleting a line with tickets") << "DELETE FROM [Production Table]";
}

void TestSchemaQueries::relationsAreEnforced()
{
    QFETCH(QString, sql);

    const qint64 line = Fixture::line(*m_db, kMonday, 1, 1, kCap);
    Fixture::hold(*m_db, line, 1, 10);
    const auto snapshot = [this] {
        return rows(m_db->exec(QStringLiteral(
            "SELECT (SELECT count(*) FROM [Production Table]), (SELECT count(*) FROM [Transfer Table]), "
            "(SELECT count(*) FROM [Hold Table]), (SELECT count(*) FROM [Hold Distribution])")));
    };
    const QStringList before = snapshot();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, m_db->exec(sql));
    QCOMPARE(snapshot(), before);
}

QTEST_GUILESS_MAIN(TestSchemaQueries)
#include "test_schema_queries.moc"
