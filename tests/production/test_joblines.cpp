#include "TestSupport.h"

#include "production/record/JobLines.h"
#include "production/record/QuantityFormat.h"

#include <QSqlQuery>
#include <QtTest>

Q_DECLARE_METATYPE(DateShift)

// The SQL of the job lines: bring-forward, post to the next shift, delete; a damaged page among a
// date-shift's lines; and quantity text.
class TestJobLines : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void previousShiftWithLines_data();
    void previousShiftWithLines();
    void bringForwardCarriesEndingCounts();
    void postToNextShift_data();
    void postToNextShift();
    void postCarriesOnlyCountedLastLines();
    void postLeavesProtectedLinesAlone();
    void repostMovesUncountedBroughtLines_data();
    void repostMovesUncountedBroughtLines();
    void removeRefusesReferencedLines_data();
    void removeRefusesReferencedLines();
    void quantityText();
    void damagedPageAmongTheLines();

private:
    qint64 line(const QDate &date, int shift, int machine, qint64 beginning = 0, qint64 ending = 0,
                qint64 matec = 0);
    QString linesText(const DateShift &dateShift) const;

    std::unique_ptr<DatabaseWorld> m_world;
    std::unique_ptr<JobLines> m_lines;
};

namespace {
const QDate kFriday(2026, 12, 4);
const QDate kMonday(2026, 12, 7);
const QString kJob = QStringLiteral("A-100");
} // namespace

void TestJobLines::init()
{
    m_world =
        std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{kJob, QStringLiteral("B-200")});
    m_lines = std::make_unique<JobLines>(m_world->db);
}

void TestJobLines::cleanup()
{
    m_lines.reset();
    m_world.reset();
}

qint64 TestJobLines::line(const QDate &date, int shift, int machine, qint64 beginning, qint64 ending,
                          qint64 matec)
{
    return Fixture::line(m_world->db, date, shift, machine, kJob, beginning, ending, matec);
}

// "machine:job:beginning/ending/matec" per line in the window's order.
QString TestJobLines::linesText(const DateShift &dateShift) const
{
    QStringList result;
    for (const JobLine &l : m_lines->of(dateShift)) {
        result << QStringLiteral("%1:%2:%3/%4/%5")
                      .arg(l.machineNumber.value_or(-1))
                      .arg(l.jobNumber)
                      .arg(l.beginningCount)
                      .arg(l.endingCount)
                      .arg(l.matecCount);
    }
    return result.join(' ');
}

void TestJobLines::previousShiftWithLines_data()
{
    QTest::addColumn<QList<int>>("filled"); // shifts with lines: day offset * 10 + shift
    QTest::addColumn<int>("openShift");
    QTest::addColumn<int>("expected"); // day offset * 10 + shift, or 0 for none

    // Day offsets from Monday: -3 is Friday, 0 is Monday.
    QTest::newRow("shift 1: latest earlier date, highest shift") << QList<int>{-32, -31, 2} << 1 << -32;
    QTest::newRow("shift 1: never the same date") << QList<int>{-31, 3} << 1 << -31;
    QTest::newRow("shift 2: shift 3 of the same date") << QList<int>{-33, 1, 3} << 2 << 3;
    QTest::newRow("shift 3: shift 1 of the same date") << QList<int>{-33, 1} << 3 << 1;
    QTest::newRow("no earlier lines") << QList<int>{} << 1 << 0;
}

void TestJobLines::previousShiftWithLines()
{
    QFETCH(QList<int>, filled);
    QFETCH(int, openShift);
    QFETCH(int, expected);
    for (int code : filled)
        line(kMonday.addDays(code / 10), std::abs(code % 10), 1);
    const std::optional<QDate> date = m_lines->latestDateBefore({kMonday, openShift});
    if (expected == 0) {
        QVERIFY(!date);
        return;
    }
    QVERIFY(date);
    QCOMPARE(*date, kMonday.addDays(expected / 10));
    QCOMPARE(m_lines->highestShiftOn(*date).value_or(0), std::abs(expected % 10));
}

void TestJobLines::bringForwardCarriesEndingCounts()
{
    line(kFriday, 3, 2, 100, 900, 850);
    line(kFriday, 3, 1, 50, 700, 600);
    const DateShift monday{kMonday, 1};
    QCOMPARE(m_lines->bringForward(m_lines->of({kFriday, 3}), monday), 2);
    QCOMPARE(linesText(monday), QStringLiteral("1:A-100:700/0/0 2:A-100:900/0/0"));
    QSqlQuery rest =
        m_world->db.exec(QStringLiteral("SELECT SUM(\"From Rework\"), SUM(\"Transfer Quantity\") FROM "
                                        "\"Production Table\" WHERE \"Date\" = :d"),
                         {{QStringLiteral("d"), sqlDate(kMonday)}});
    QVERIFY(rest.next());
    QCOMPARE(rest.value(0).toInt(), 0);
    QCOMPARE(rest.value(1).toInt(), 0);
    // A second workstation opening the same date-shift finds the lines and copies nothing.
    QCOMPARE(m_lines->bringForward(m_lines->of({kFriday, 3}), monday), 0);
    QCOMPARE(m_lines->of(monday).size(), 2);
}

void TestJobLines::postToNextShift_data()
{
    QTest::addColumn<DateShift>("from");
    QTest::addColumn<DateShift>("next");      // the date-shift with lines that receives the counts
    QTest::addColumn<DateShift>("bystander"); // has lines but must not be posted to
    QTest::addColumn<bool>("posted");

    QTest::newRow("Friday 3 to Monday 1 over the weekend")
        << DateShift{kFriday, 3} << DateShift{kMonday, 1} << DateShift{kMonday.addDays(1), 1} << true;
    QTest::newRow("shift 1 to shift 3 of the same date")
        << DateShift{kMonday, 1} << DateShift{kMonday, 3} << DateShift{kMonday.addDays(1), 1} << true;
    QTest::newRow("shift 2 with only the next day filled")
        << DateShift{kMonday, 2} << DateShift{kMonday.addDays(1), 1} << DateShift{kMonday.addDays(2), 1}
        << false;
}

void TestJobLines::postToNextShift()
{
    QFETCH(DateShift, from);
    QFETCH(DateShift, next);
    QFETCH(DateShift, bystander);
    QFETCH(bool, posted);
    line(from.date, from.shift, 1, 0, 1500);
    line(from.date, from.shift, 3, 0, 4200); // no line of machine 3 on the next date-shift
    line(next.date, next.shift, 1, 1000, 0);
    line(bystander.date, bystander.shift, 1, 7, 0);
    const QString bystanderBefore = linesText(bystander);

    const std::optional<Posting> reached = m_lines->postToNextShift(from);
    QCOMPARE(bool(reached), posted);
    if (posted) {
        QVERIFY(reached->next == next);
        QCOMPARE(linesText(next), QStringLiteral("1:A-100:1500/0/0 3:A-100:4200/4200/0"));
    } else {
        QCOMPARE(linesText(next), QStringLiteral("1:A-100:1000/0/0"));
    }
    QCOMPARE(linesText(bystander), bystanderBefore);
}

void TestJobLines::postCarriesOnlyCountedLastLines()
{
    const QString other = QStringLiteral("B-200");
    auto lineOf = [&](const QDate &date, int shift, int machine, const QString &job, qint64 b, qint64 e) {
        Fixture::line(m_world->db, date, shift, machine, job, b, e, 0);
    };
    lineOf(kFriday, 3, 1, kJob, 0, 1500); // same job on Monday: carried
    lineOf(kMonday, 1, 1, kJob, 1000, 0);
    lineOf(kFriday, 3, 2, kJob, 0, 2000); // changed job on Monday: left alone
    lineOf(kMonday, 1, 2, other, 30, 0);
    lineOf(kFriday, 3, 3, kJob, 0, 4200); // idle on Monday: its last line comes over, reading 0
    lineOf(kFriday, 3, 4, kJob, 0, 0);    // never counted: nothing comes over
    lineOf(kFriday, 3, 5, other, 0, 100); // two lines: only the last (highest Job ID) comes over
    lineOf(kFriday, 3, 5, kJob, 0, 300);
    lineOf(kFriday, 3, 6, kJob, 0, 0); // never counted: Monday's beginning stays
    lineOf(kMonday, 1, 6, kJob, 55, 0);

    const std::optional<Posting> posting = m_lines->postToNextShift({kFriday, 3});
    QVERIFY(posting);
    QCOMPARE(linesText({kMonday, 1}), QStringLiteral("1:A-100:1500/0/0 2:B-200:30/0/0 3:A-100:4200/4200/0 "
                                                     "5:A-100:300/300/0 6:A-100:55/0/0"));
    QCOMPARE(posting->added.size(), 2);
    QCOMPARE(posting->added[0].machineNumber, 3);
    QCOMPARE(posting->added[1].machineNumber, 5);
    QCOMPARE(posting->leftAlone, QList<int>{2});
    const QString summary = posting->summary();
    QVERIFY(summary.contains(QStringLiteral("Machine 3, job A-100\nMachine 5, job A-100")));
    QVERIFY(summary.contains(QStringLiteral("(they run another job there): 2")));
}

void TestJobLines::postLeavesProtectedLinesAlone()
{
    line(kFriday, 3, 1, 0, 1500);
    line(kFriday, 3, 3, 0, 4200);
    line(kMonday, 1, 1, 1000, 0);
    Fixture::protect(m_world->db, kMonday, 1);
    const std::optional<Posting> posting = m_lines->postToNextShift({kFriday, 3});
    QVERIFY(posting && posting->next == DateShift({kMonday, 1}));
    QCOMPARE(linesText({kMonday, 1}), QStringLiteral("1:A-100:1000/0/0"));
    QVERIFY(posting->added.isEmpty());
    QVERIFY(posting->summary().contains(QStringLiteral("is protected")));
}

// Post, correct the ending count, post again: the line the first posting brought over moves
// with the count until somebody counts it.
void TestJobLines::repostMovesUncountedBroughtLines_data()
{
    QTest::addColumn<QString>("since"); // what happened to the brought line between the postings
    QTest::addColumn<QString>("expected");
    QTest::newRow("not counted since") << "nothing"
                                       << "1:A-100:443000/443000/0";
    QTest::newRow("ending counted") << "ending"
                                    << "1:A-100:443000/443500/0";
    QTest::newRow("Mattec count") << "mattec"
                                  << "1:A-100:443000/442680/40";
    QTest::newRow("hold ticket") << "hold"
                                 << "1:A-100:443000/442680/0";
    QTest::newRow("transfer ticket") << "transfer"
                                     << "1:A-100:443000/442680/0";
    QTest::newRow("rework received") << "rework"
                                     << "1:A-100:443000/442680/0";
}

void TestJobLines::repostMovesUncountedBroughtLines()
{
    QFETCH(QString, since);
    QFETCH(QString, expected);
    const Database &db = m_world->db;
    const qint64 posted = line(kFriday, 3, 1, 0, 442680);
    line(kMonday, 1, 2, 10, 0);
    QVERIFY(m_lines->postToNextShift({kFriday, 3}));
    const qint64 brought = m_lines->of({kMonday, 1}).first().jobId;
    if (since == QStringLiteral("ending"))
        QVERIFY(m_lines->setCount(brought, CountField::Ending, 443500, 442680));
    else if (since == QStringLiteral("mattec"))
        QVERIFY(m_lines->setCount(brought, CountField::Mattec, 40, 0));
    else if (since == QStringLiteral("hold"))
        Fixture::hold(db, brought, 77, 5);
    else if (since == QStringLiteral("transfer"))
        Fixture::transfer(db, brought, 78, 5);
    else if (since == QStringLiteral("rework"))
        Fixture::distribution(db, Fixture::hold(db, posted, 79, 5), brought, 5);

    QVERIFY(m_lines->setCount(posted, CountField::Ending, 443000, 442680));
    QVERIFY(m_lines->postToNextShift({kFriday, 3}));

    QCOMPARE(linesText({kMonday, 1}), expected + QStringLiteral(" 2:A-100:10/0/0"));
}

void TestJobLines::removeRefusesReferencedLines_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<int>("expected");
    QTest::newRow("clean line") << "none" << int(JobLines::Removal::Deleted);
    QTest::newRow("transfer ticket") << "transfer" << int(JobLines::Removal::HasTickets);
    QTest::newRow("hold ticket") << "hold" << int(JobLines::Removal::HasTickets);
    QTest::newRow("distribution Job ID") << "distributionJob" << int(JobLines::Removal::HasTickets);
    QTest::newRow("distribution To Job ID") << "distributionTo" << int(JobLines::Removal::HasTickets);
    QTest::newRow("protected") << "protected" << int(JobLines::Removal::Protected);
}

void TestJobLines::removeRefusesReferencedLines()
{
    QFETCH(QString, reference);
    QFETCH(int, expected);
    const qint64 target = line(kMonday, 1, 1);
    const qint64 other = line(kFriday, 1, 1);
    const qint64 ticket = Fixture::hold(m_world->db, other, 5, 10);
    if (reference == QStringLiteral("transfer"))
        Fixture::transfer(m_world->db, target, 1, 10);
    else if (reference == QStringLiteral("hold"))
        Fixture::hold(m_world->db, target, 6, 10);
    else if (reference == QStringLiteral("distributionTo"))
        Fixture::distribution(m_world->db, ticket, target, 5);
    else if (reference == QStringLiteral("distributionJob"))
        m_world->db.exec(
            QStringLiteral(
                "INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"Job ID\") VALUES (:h, :j)"),
            {{QStringLiteral("h"), ticket}, {QStringLiteral("j"), target}});
    else if (reference == QStringLiteral("protected"))
        Fixture::protect(m_world->db, kMonday, 1);

    QCOMPARE(int(m_lines->remove(target)), expected);
    const bool deleted = expected == int(JobLines::Removal::Deleted);
    QCOMPARE(m_lines->of({kMonday, 1}).isEmpty(), deleted);
}

void TestJobLines::quantityText()
{
    QCOMPARE(QuantityFormat::grouped(1234567, true), QStringLiteral("1,234,567"));
    QCOMPARE(QuantityFormat::grouped(0, true), QString());
    QCOMPARE(QuantityFormat::grouped(0, false), QStringLiteral("0"));
    QCOMPARE(QuantityFormat::grouped(-1480, false), QStringLiteral("-1,480"));
}

void TestJobLines::damagedPageAmongTheLines()
{
    FILE_DATABASE_ONLY("a smashed page of the file");
    // Twenty lines whose long descriptions spread them over several pages; the page holding the
    // tenth is overwritten. No read may stop there quietly, as if the first lines were all.
    const DateShift shift{QDate(2026, 12, 3), 1};
    for (int machine = 1; machine <= 20; ++machine) {
        const qint64 id = line(shift.date, shift.shift, machine, 100, 200);
        const QString text = (machine == 10 ? QStringLiteral("MIDDLE-OF-THE-SHIFT") : QString()) +
                             QString(600, QChar('a' + machine));
        m_world->db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Job Description\" = :text "
                                        "WHERE \"Job ID\" = :id"),
                         {{QStringLiteral("text"), text}, {QStringLiteral("id"), id}});
    }
    m_world->db.close();
    const QString path = m_world->session->options().DatabaseName();
    const QByteArray bytes = readFile(path);
    const qint64 at = bytes.indexOf("MIDDLE-OF-THE-SHIFT");
    QVERIFY(at > 0);
    QVERIFY(overwrite(path, at / 4096 * 4096, QByteArray(4096, '\xff')));
    m_world->db = m_world->openDatabase();

    // The job list and the counts window both read the lines so.
    const auto error = errorOf<DatabaseError>([&] { m_lines->of(shift); });

    QVERIFY(error);
    QCOMPARE(error->number(), DbErrors::Damaged);
}

QTEST_GUILESS_MAIN(TestJobLines)
#include "test_joblines.moc"
