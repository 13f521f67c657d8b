#include "TestSupport.h"

#include "foundation/DateShift.h"
#include "production/record/ProductionSummaries.h"
#include "production/record/Schema.h"

#include <QtTest>
#include <limits>

// The per-line figures of the counts window: filling them from the tickets and keeping them.
class TestSummaries : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fillWithoutTickets();
    void fillFromTickets();
    void fillAgainReplacesTheCache();
    void fillFromChangedQueries_data();
    void fillFromChangedQueries();
    void fillRefusesTotalsBeyondACount();
    void fillAfterTheFormerQueriesAreUpdated();
    void collection();
    void debugIdsAcrossCollections();
    void setterRange_data();
    void setterRange();

private:
    // "key:T/H/R/N/J" per summary in collection order (Transfers, ToHold, FromRework, Rejects,
    // NetFinishedGoods).
    static QStringList figures(const ProductionSummaries &summaries);
    void setSavedQuery(const QString &name, const QString &sql);

    std::unique_ptr<DatabaseWorld> m_world;
    ClassIdGenerator m_ids;
    qint64 m_lines[4] = {};
};

namespace {
const QDate kMonday(2026, 12, 7);
const DateShift kShift{kMonday, 1};
const QString kCap = QStringLiteral("A-100");
} // namespace

void TestSummaries::init()
{
    if (!QByteArray(QTest::currentTestFunction()).startsWith("fill"))
        return;
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{kCap});
    // Four lines of Monday shift 1; one line of shift 2, with tickets and rework of its own, sits
    // inside their id range: no summary may count it in.
    m_lines[0] = Fixture::line(m_world->db, kMonday, 1, 1, kCap);
    m_lines[1] = Fixture::line(m_world->db, kMonday, 1, 2, kCap);
    const qint64 other = Fixture::line(m_world->db, kMonday, 2, 1, kCap);
    m_lines[2] = Fixture::line(m_world->db, kMonday, 1, 3, kCap);
    m_lines[3] = Fixture::line(m_world->db, kMonday, 1, 4, kCap);
    Fixture::transfer(m_world->db, other, 9, 1000);
    Fixture::distribution(m_world->db, Fixture::hold(m_world->db, other, 9, 1000), other, 40);
}

void TestSummaries::cleanup()
{
    m_world.reset();
}

QStringList TestSummaries::figures(const ProductionSummaries &summaries)
{
    QStringList result;
    for (const auto &s : summaries) {
        result << QStringLiteral("%1:%2/%3/%4/%5/%6")
                      .arg(s->Key())
                      .arg(s->Transfers())
                      .arg(s->ToHold())
                      .arg(s->FromRework())
                      .arg(s->Rejects())
                      .arg(s->NetFinishedGoods());
    }
    return result;
}

void TestSummaries::setSavedQuery(const QString &name, const QString &sql)
{
    m_world->db.exec(
        QStringLiteral("UPDATE \"Saved Queries\" SET \"SQL Text\" = :sql WHERE \"Query Name\" = :name"),
        {{QStringLiteral("sql"), sql}, {QStringLiteral("name"), name}});
}

void TestSummaries::fillWithoutTickets()
{
    ProductionSummaries summaries(m_ids);
    summaries.Add(QStringLiteral("stale"), 1, 2, 3, 4, 5, QStringLiteral("stale"));
    summaries.fill(m_world->db, kShift);
    QCOMPARE(summaries.Count(), 0);
    QCOMPARE(summaries.Search(QString::number(m_lines[0])), nullptr);
    QCOMPARE(summaries.Search(QStringLiteral("stale")), nullptr);

    // A date-shift with no lines at all fills an empty cache too.
    summaries.fill(m_world->db, DateShift{kMonday, 3});
    QCOMPARE(summaries.Count(), 0);
}

void TestSummaries::fillFromTickets()
{
    const auto [l1, l2, l3, l4] = m_lines;
    Fixture::transfer(m_world->db, l1, 1, 100);
    Fixture::transfer(m_world->db, l1, 2, 50);
    Fixture::transfer(m_world->db, l2, 3, QVariant());
    Fixture::hold(m_world->db, l1, 10, 30);
    Fixture::hold(m_world->db, l1, 11, 20);
    const qint64 ticket = Fixture::hold(m_world->db, l3, 12, 15);
    // l4 appears only in the rework result.
    Fixture::distribution(m_world->db, ticket, l4, 7);
    Fixture::distribution(m_world->db, ticket, l4, 5, 3, 1);

    ProductionSummaries summaries(m_ids);
    summaries.fill(m_world->db, kShift);
    const auto key = [](qint64 id) { return QString::number(id); };
    QCOMPARE(figures(summaries), (QStringList{key(l1) + ":150/50/0/0/0", key(l2) + ":0/0/0/0/0",
                                              key(l3) + ":0/15/0/0/0", key(l4) + ":0/0/12/0/0"}));
    QVERIFY(summaries.Search(key(l3)));
    QCOMPARE(summaries.Search(key(l3))->ToHold(), 15);
}

void TestSummaries::fillAgainReplacesTheCache()
{
    Fixture::transfer(m_world->db, m_lines[0], 1, 100);
    ProductionSummaries summaries(m_ids);
    summaries.fill(m_world->db, kShift);
    summaries.Item(1).setRejects(12);
    Fixture::hold(m_world->db, m_lines[0], 2, 40);
    summaries.fill(m_world->db, kShift);
    QCOMPARE(figures(summaries), QStringList{QString::number(m_lines[0]) + ":100/40/0/0/0"});
}

void TestSummaries::fillFromChangedQueries_data()
{
    QTest::addColumn<QString>("holdSql");
    QTest::addColumn<int>("toHold");

    // A site may change a summary query; Null totals count as nothing and several rows of one
    // line add up.
    QTest::newRow("null totals") << "SELECT h.\"Job ID\", NULL AS Holds FROM \"Hold Table\" h "
                                    "JOIN \"Production Table\" p ON p.\"Job ID\" = h.\"Job ID\" "
                                    "WHERE h.\"Job ID\" BETWEEN :FirstJID AND :LastJID AND p.\"Shift\" = 1"
                                 << 0;
    QTest::newRow("one row per ticket")
        << "SELECT h.\"Job ID\", h.\"Hold Quantity\" AS Holds FROM \"Hold Table\" h "
           "JOIN \"Production Table\" p ON p.\"Job ID\" = h.\"Job ID\" "
           "WHERE h.\"Job ID\" BETWEEN :FirstJID AND :LastJID AND p.\"Shift\" = 1"
        << 50;
}

void TestSummaries::fillFromChangedQueries()
{
    QFETCH(QString, holdSql);
    QFETCH(int, toHold);

    Fixture::hold(m_world->db, m_lines[1], 10, 30);
    Fixture::hold(m_world->db, m_lines[1], 11, 20);
    setSavedQuery(QStringLiteral("Hold Summary"), holdSql);
    ProductionSummaries summaries(m_ids);
    summaries.fill(m_world->db, kShift);
    QCOMPARE(figures(summaries), QStringList{QStringLiteral("%1:0/%2/0/0/0").arg(m_lines[1]).arg(toHold)});
}

void TestSummaries::fillRefusesTotalsBeyondACount()
{
    Fixture::transfer(m_world->db, m_lines[0], 1, 2000000000);
    Fixture::transfer(m_world->db, m_lines[0], 2, 2000000000);
    ProductionSummaries summaries(m_ids);
    const auto error = errorOf([&] { summaries.fill(m_world->db, kShift); });
    QVERIFY2(error, "a transfer total beyond a count was cut to fit");
    QCOMPARE(error->number(), qint32(0x8004270F));
    QCOMPARE(error->source(), QStringLiteral("ProductionSummary:Transfers Property Let"));
}

// A database made by the earlier version holds the summary queries that took the lines by their
// id range; they are rewritten once, and a query a site changed is left alone.
void TestSummaries::fillAfterTheFormerQueriesAreUpdated()
{
    // The summaries had their present texts before any plant's database was on a server.
    if (m_world->db.dialect().isServer())
        QSKIP("the former texts are in files only");
    // Texts as a database made by an earlier version holds them, in the older file's spelling.
    const QString formerTransfers = QStringLiteral(
        "SELECT p.[Job ID], SUM(t.[Transfer Quantity]) AS xfers FROM [Production Table] p JOIN [Transfer "
        "Table] t ON t.[Job ID] = p.[Job ID] WHERE p.[Job ID] BETWEEN :FirstJID AND :LastJID AND EXISTS "
        "(SELECT 1 FROM [Production Table] f WHERE f.[Job ID] = :FirstJID AND f.[Date] = p.[Date] AND "
        "f.[Shift] = p.[Shift]) GROUP BY p.[Job ID] ORDER BY p.[Job ID]");
    const QString siteHolds = QStringLiteral(
        "SELECT p.[Job ID], SUM(h.[Hold Quantity]) AS Holds FROM [Production Table] p JOIN [Hold Table] h "
        "ON h.[Job ID] = p.[Job ID] WHERE p.[Job ID] BETWEEN :FirstJID AND :LastJID AND p.[Shift] = 1 "
        "GROUP BY p.[Job ID]");

    setSavedQuery(QStringLiteral("Transfer Summary"), formerTransfers);
    setSavedQuery(QStringLiteral("Hold Summary"), siteHolds);
    Fixture::transfer(m_world->db, m_lines[0], 1, 100);
    ProductionSummaries summaries(m_ids);
    summaries.fill(m_world->db, kShift); // read (and kept) with the former text

    QVERIFY(!Schema::protectionCurrent(m_world->db));
    Schema::ensureProtection(m_world->db); // as the start-up does
    QVERIFY(Schema::protectionCurrent(m_world->db));
    const QString transfers = m_world->db.savedQuerySql(QStringLiteral("Transfer Summary"));
    QVERIFY(transfers != formerTransfers);
    QVERIFY(transfers.contains(QStringLiteral("p.\"Date\" = f.\"Date\" AND p.\"Shift\" = f.\"Shift\"")));
    QCOMPARE(m_world->db.savedQuerySql(QStringLiteral("Hold Summary")), siteHolds);
    // The same figures as before, the shift 2 line in the id range still left out.
    summaries.fill(m_world->db, kShift);
    QCOMPARE(figures(summaries), QStringList{QString::number(m_lines[0]) + ":100/0/0/0/0"});
}

void TestSummaries::collection()
{
    ProductionSummaries summaries(m_ids);
    QCOMPARE(summaries.Search(QStringLiteral("1")), nullptr);
    ProductionSummary &first = summaries.Add(QStringLiteral("11"), 1, 2, 3, 4, 5, QStringLiteral("11"));
    summaries.Add(QStringLiteral("12"), 0, 0, 0, 0, 0, QStringLiteral("12"));
    summaries.Add(QStringLiteral("loose")); // no sKey: counted, but not found by key
    summaries.Add(QStringLiteral("14"), 0, 0, 0, 0, 0, QStringLiteral("14"));

    QCOMPARE(figures(summaries).first(), QStringLiteral("11:5/3/4/2/1"));
    QCOMPARE(summaries.Count(), 4);
    QCOMPARE(&summaries.Item(1), &first);
    QCOMPARE(&summaries.Item(QStringLiteral("11")), &first);
    QCOMPARE(summaries.Item(3).Key(), QStringLiteral("loose"));
    QCOMPARE(summaries.Search(QStringLiteral("loose")), nullptr);
    QVERIFY_THROWS_EXCEPTION(std::exception, summaries.Item(0));
    QVERIFY_THROWS_EXCEPTION(std::exception, summaries.Item(5));
    QVERIFY_THROWS_EXCEPTION(std::exception, summaries.Item(QStringLiteral("99")));

    // Removing by position keeps the key index in step.
    summaries.Remove(1);
    QCOMPARE(summaries.Search(QStringLiteral("11")), nullptr);
    QCOMPARE(summaries.Item(1).Key(), QStringLiteral("12"));
    QCOMPARE(summaries.Search(QStringLiteral("14"))->Key(), QStringLiteral("14"));
    summaries.Remove(QStringLiteral("14"));
    QCOMPARE(summaries.Count(), 2);
    QCOMPARE(summaries.Search(QStringLiteral("14")), nullptr);
    QCOMPARE(summaries.Item(2).Key(), QStringLiteral("loose"));
    // The removed keys may be used again.
    summaries.Add(QStringLiteral("11"), 0, 0, 0, 0, 0, QStringLiteral("11"));
    QCOMPARE(summaries.Item(3).Key(), QStringLiteral("11"));

    // A key in use is refused, and the summary under it is kept.
    QVERIFY_THROWS_EXCEPTION(std::exception,
                             summaries.Add(QStringLiteral("12"), 20, 0, 0, 0, 0, QStringLiteral("12")));
    QCOMPARE(summaries.Count(), 3);
    QCOMPARE(summaries.Search(QStringLiteral("12"))->NetFinishedGoods(), 0);

    summaries.Clear();
    QCOMPARE(summaries.Count(), 0);
    QCOMPARE(summaries.Search(QStringLiteral("12")), nullptr);
}

void TestSummaries::debugIdsAcrossCollections()
{
    // Two counts windows share the run's generator: the first ten summaries are 1 to 10.
    ClassIdGenerator ids;
    ProductionSummaries first(ids), second(ids);
    QList<qint32> seen;
    for (int i = 0; i < 5; ++i) {
        seen << first.Add(QString::number(i)).ClassDebugID();
        seen << second.Add(QString::number(i)).ClassDebugID();
    }
    QCOMPARE(seen, (QList<qint32>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    first.Clear();
    QCOMPARE(first.Add(QStringLiteral("x")).ClassDebugID(), 11);
}

void TestSummaries::setterRange_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");

    const QVariant tooLarge = qlonglong(std::numeric_limits<qint32>::max()) + 1;
    const QVariant tooSmall = qlonglong(std::numeric_limits<qint32>::min()) - 1;
    for (const char *member : {"Transfers", "FromRework", "ToHold", "Rejects", "NetFinishedGoods"}) {
        QTest::addRow("%s largest", member) << member << QVariant(std::numeric_limits<qint32>::max()) << true;
        QTest::addRow("%s smallest", member)
            << member << QVariant(std::numeric_limits<qint32>::min()) << true;
        QTest::addRow("%s beyond 32 bits", member) << member << tooLarge << false;
        QTest::addRow("%s below 32 bits", member) << member << tooSmall << false;
        QTest::addRow("%s not a number", member) << member << QVariant(QStringLiteral("12a")) << false;
    }
}

void TestSummaries::setterRange()
{
    QFETCH(QString, member);
    QFETCH(QVariant, value);
    QFETCH(bool, accepted);

    using Setter = void (ProductionSummary::*)(const QVariant &);
    using Getter = qint32 (ProductionSummary::*)() const;
    const QHash<QString, QPair<Setter, Getter>> members{
        {QStringLiteral("Transfers"), {&ProductionSummary::setTransfers, &ProductionSummary::Transfers}},
        {QStringLiteral("FromRework"), {&ProductionSummary::setFromRework, &ProductionSummary::FromRework}},
        {QStringLiteral("ToHold"), {&ProductionSummary::setToHold, &ProductionSummary::ToHold}},
        {QStringLiteral("Rejects"), {&ProductionSummary::setRejects, &ProductionSummary::Rejects}},
        {QStringLiteral("NetFinishedGoods"),
         {&ProductionSummary::setNetFinishedGoods, &ProductionSummary::NetFinishedGoods}},
    };
    const auto [set, get] = members.value(member);

    ProductionSummary summary(QStringLiteral("5"), m_ids);
    (summary.*set)(QVariant(17));
    if (accepted) {
        (summary.*set)(value);
        QCOMPARE(qlonglong((summary.*get)()), value.toLongLong());
        return;
    }
    const auto error = errorOf([&] { (summary.*set)(value); });
    QVERIFY2(error, "the value was taken");
    QCOMPARE(error->number(), -2147211505); // 0x8004270F: the object error base plus 9999
    QCOMPARE(error->source(), QStringLiteral("ProductionSummary:%1 Property Let").arg(member));
    QCOMPARE(error->description(), QStringLiteral("An unknown error has occurred!"));
    QCOMPARE(QString::fromStdString(error->what()), error->description());
    // The figure keeps its old value.
    QCOMPARE((summary.*get)(), 17);
}

QTEST_GUILESS_MAIN(TestSummaries)
#include "test_summaries.moc"
