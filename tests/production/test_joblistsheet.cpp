#include "TestSupport.h"

#include "production/joblist/JobListSheet.h"

#include <QtTest>

// The job list's rules without its window: bring-forward (with the question before a future
// date-shift), machine numbers and jobs, the save order of a new line, protection, deletion, and
// a row changed on another workstation while the list was open.
class TestJobListSheet : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void bringsForwardEndingCounts();
    void noEarlierLinesIsAFailedStep();
    void futureDateShiftAsksFirst_data();
    void futureDateShiftAsksFirst();
    void dateShiftBeforeOthersWithLinesAsksFirst_data();
    void dateShiftBeforeOthersWithLinesAsksFirst();
    void newLineIsSavedOnceComplete();
    void machineNumberEntry_data();
    void machineNumberEntry();
    void jobNumberEntry_data();
    void jobNumberEntry();
    void protectedDateShiftIsReadOnly();
    void removal_data();
    void removal();
    void rowChangedOnAnotherWorkstation_data();
    void rowChangedOnAnotherWorkstation();

private:
    qint64 line(const DateShift &dateShift, int machine, qint64 ending = 0);
    // The sheet on the date-shift's lines as the window loads them (bring-forward included).
    void open(const DateShift &dateShift);
    JobLine stored(int row = 0) const { return m_store->of(m_sheet->dateShift()).at(row); }

    std::unique_ptr<DatabaseWorld> m_world;
    std::unique_ptr<JobLines> m_store;
    std::unique_ptr<JobListSheet> m_sheet;
};

namespace {
const QDate kFriday(2026, 12, 4);
const QDate kMonday(2026, 12, 7);
const QDate kTuesday(2026, 12, 8); // the test clock's today
} // namespace

void TestJobListSheet::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("A"),
                                              QStringList{QStringLiteral("A-100"), QStringLiteral("B-200")});
    Fixture::job(m_world->db, QStringLiteral("Z-900"), {}, false);
    m_store = std::make_unique<JobLines>(m_world->db);
    m_sheet = std::make_unique<JobListSheet>(m_world->prompter, m_world->clock);
    m_sheet->setStore(m_store.get());
}

void TestJobListSheet::cleanup()
{
    m_sheet.reset();
    m_store.reset();
    m_world.reset();
}

qint64 TestJobListSheet::line(const DateShift &dateShift, int machine, qint64 ending)
{
    return Fixture::line(m_world->db, dateShift.date, dateShift.shift, machine, QStringLiteral("A-100"), 0,
                         ending);
}

void TestJobListSheet::open(const DateShift &dateShift)
{
    m_sheet->setJobs(m_store->activeJobs());
    m_sheet->setLines(dateShift, {});
    QList<JobLine> lines = m_sheet->readLines();
    if (lines.isEmpty())
        lines = m_sheet->bringForward();
    m_sheet->setLines(dateShift, lines);
}

void TestJobListSheet::bringsForwardEndingCounts()
{
    line({kFriday, 2}, 1, 111);
    line({kFriday, 3}, 2, 900);
    line({kFriday, 3}, 1, 700);
    open({kMonday, 1});
    QCOMPARE(m_sheet->count(), 2);
    QCOMPARE(m_sheet->line(0).machineNumber.value_or(-1), 1);
    QCOMPARE(m_sheet->line(0).beginningCount, 700);
    QCOMPARE(m_sheet->line(1).beginningCount, 900);
    QVERIFY(m_sheet->isNewLine(2));
    QVERIFY(m_world->prompter.messages().isEmpty());
}

void TestJobListSheet::noEarlierLinesIsAFailedStep()
{
    m_sheet->setLines({kMonday, 1}, {});
    const auto found = errorOf<DatabaseError>([&] { m_sheet->findPreviousShift(); });
    QVERIFY(found);
    QCOMPARE(found->number(), DbErrors::NoCurrentRecord);
    const auto read = errorOf<DatabaseError>([&] { m_sheet->readPreviousLines(); });
    QVERIFY(read);
    QCOMPARE(read->number(), DbErrors::NoCurrentRecord);
    QVERIFY(!m_sheet->copyPreviousLines());
    QVERIFY(m_store->of({kMonday, 1}).isEmpty());
    QVERIFY(m_sheet->isNewLine(0));
}

void TestJobListSheet::futureDateShiftAsksFirst_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("lines");
    QTest::newRow("today: copied without asking") << kTuesday << int(MsgAnswer::Yes) << false << 1;
    QTest::newRow("tomorrow, yes") << kTuesday.addDays(1) << int(MsgAnswer::Yes) << true << 1;
    QTest::newRow("tomorrow, no: nothing written") << kTuesday.addDays(1) << int(MsgAnswer::No) << true << 0;
}

void TestJobListSheet::futureDateShiftAsksFirst()
{
    QFETCH(QDate, date);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(int, lines);
    line({kMonday, 3}, 5, 40);
    m_world->prompter.script({MsgAnswer(answer)});
    open({date, 1});
    QCOMPARE(m_world->prompter.messages().size(), asked ? 1 : 0);
    if (asked) {
        const PromptMessage &message = m_world->prompter.messages().first();
        QCOMPARE(message.text,
                 QStringLiteral("There are no job lines for %1 yet. Copy the lines of %2 into it?")
                     .arg(DateShift{date, 1}.caption(), DateShift{kMonday, 3}.caption()));
        QCOMPARE(message.title, QStringLiteral("Job List"));
        QCOMPARE(message.icon, MsgIcon::Question);
        QCOMPARE(message.buttons, MsgButtons::YesNo);
    }
    QCOMPARE(m_store->of({date, 1}).size(), lines);
    QCOMPARE(m_sheet->count(), lines);
    QVERIFY(m_sheet->allowsNewLine());
}

void TestJobListSheet::dateShiftBeforeOthersWithLinesAsksFirst_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("lines");
    QTest::newRow("later date has lines, yes") << kMonday << int(MsgAnswer::Yes) << 1;
    QTest::newRow("later date has lines, no: nothing written") << kMonday << int(MsgAnswer::No) << 0;
    // One question, not two, for a future date-shift with lines after it.
    QTest::newRow("after today too, no") << kTuesday.addDays(1) << int(MsgAnswer::No) << 0;
}

void TestJobListSheet::dateShiftBeforeOthersWithLinesAsksFirst()
{
    // A date-shift emptied by a repair, between two that kept their lines.
    QFETCH(QDate, date);
    QFETCH(int, answer);
    QFETCH(int, lines);
    line({date.addDays(-1), 3}, 5, 40);
    line({date.addDays(1), 1}, 5, 90);
    m_world->prompter.script({MsgAnswer(answer)});
    open({date, 1});
    QCOMPARE(m_world->prompter.messages().size(), 1);
    const PromptMessage &message = m_world->prompter.messages().first();
    QCOMPARE(message.text, QStringLiteral("There are no job lines for %1, but later shifts have lines. Copy "
                                          "the lines of %2 into it?")
                               .arg(DateShift{date, 1}.caption(), DateShift{date.addDays(-1), 3}.caption()));
    QCOMPARE(message.title, QStringLiteral("Job List"));
    QCOMPARE(message.icon, MsgIcon::Question);
    QCOMPARE(message.buttons, MsgButtons::YesNo);
    QCOMPARE(m_store->of({date, 1}).size(), lines);
    QCOMPARE(m_sheet->count(), lines);
    QVERIFY(m_sheet->allowsNewLine());
}

void TestJobListSheet::newLineIsSavedOnceComplete()
{
    line({kMonday, 1}, 1, 50);
    open({kMonday, 1});
    QCOMPARE(m_sheet->edit(1, JobListSheet::Machine, "7").outcome, JobListSheet::Edit::Held);
    QVERIFY(m_sheet->hasUnsavedEntry());
    QCOMPARE(m_store->of({kMonday, 1}).size(), 1);

    QCOMPARE(m_sheet->edit(1, JobListSheet::JobNumber, "b-200").outcome, JobListSheet::Edit::Saved);
    const QList<JobLine> saved = m_store->of({kMonday, 1});
    QCOMPARE(saved.size(), 2);
    QCOMPARE(saved[1].machineNumber.value_or(-1), 7);
    QCOMPARE(saved[1].jobNumber, QStringLiteral("B-200"));
    QCOMPARE(saved[1].jobDescription, QStringLiteral("Part B-200"));
    QCOMPARE(saved[1].beginningCount + saved[1].endingCount + saved[1].matecCount + saved[1].fromRework, 0);
    QCOMPARE(m_sheet->line(1).jobId, saved[1].jobId);
    QVERIFY(m_sheet->isNewLine(2));
    QVERIFY(!m_sheet->hasUnsavedEntry());
}

void TestJobListSheet::machineNumberEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored"); // -1: no machine
    QTest::addColumn<bool>("refused");
    QTest::newRow("largest") << "32767" << 32767 << false;
    QTest::newRow("zero, blanks around") << " 0 " << 0 << false;
    QTest::newRow("emptied") << "" << -1 << false;
    QTest::newRow("too large") << "32768" << 1 << true;
    QTest::newRow("negative") << "-1" << 1 << true;
    QTest::newRow("not a number") << "7a" << 1 << true;
}

void TestJobListSheet::machineNumberEntry()
{
    QFETCH(QString, typed);
    QFETCH(int, stored);
    QFETCH(bool, refused);
    line({kMonday, 1}, 1);
    open({kMonday, 1});
    const JobListSheet::Edit result = m_sheet->edit(0, JobListSheet::Machine, typed);
    QCOMPARE(result.outcome, refused ? JobListSheet::Edit::Refused : JobListSheet::Edit::Saved);
    if (refused)
        QCOMPARE(result.message,
                 QStringLiteral("The machine number must be a whole number from 0 to 32767."));
    QCOMPARE(this->stored().machineNumber.value_or(-1), stored);
    QCOMPARE(m_sheet->line(0).machineNumber.value_or(-1), stored);
}

void TestJobListSheet::jobNumberEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("job");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("refused");
    QTest::newRow("other case") << "b-200"
                                << "B-200"
                                << "Part B-200" << false;
    QTest::newRow("emptied") << "  "
                             << ""
                             << "" << false;
    QTest::newRow("inactive job") << "Z-900"
                                  << "A-100"
                                  << "Part A-100" << true;
    QTest::newRow("unknown job") << "nope"
                                 << "A-100"
                                 << "Part A-100" << true;
}

void TestJobListSheet::jobNumberEntry()
{
    QFETCH(QString, typed);
    QFETCH(QString, job);
    QFETCH(QString, description);
    QFETCH(bool, refused);
    line({kMonday, 1}, 1);
    open({kMonday, 1});
    const JobListSheet::Edit result = m_sheet->edit(0, JobListSheet::JobNumber, typed);
    QCOMPARE(result.outcome == JobListSheet::Edit::Refused, refused);
    QCOMPARE(result.message.contains(QStringLiteral("is not an active job number")), refused);
    QCOMPARE(stored().jobNumber, job);
    QCOMPARE(stored().jobDescription, description);
    QCOMPARE(m_sheet->line(0).jobDescription, description);
}

void TestJobListSheet::protectedDateShiftIsReadOnly()
{
    line({kMonday, 1}, 1);
    Fixture::protect(m_world->db, kMonday, 1);
    open({kMonday, 1});
    QVERIFY(m_sheet->anyProtected());
    QVERIFY(!m_sheet->allowsNewLine());
    QCOMPARE(m_sheet->edit(0, JobListSheet::Machine, "9").outcome, JobListSheet::Edit::Refused);
    QCOMPARE(m_sheet->edit(1, JobListSheet::Machine, "9").outcome, JobListSheet::Edit::Refused);
    QCOMPARE(m_sheet->remove(0), JobLines::Removal::Protected);
    QCOMPARE(stored().machineNumber.value_or(-1), 1);
    QCOMPARE(m_store->of({kMonday, 1}).size(), 1);
}

void TestJobListSheet::removal_data()
{
    QTest::addColumn<bool>("ticket");
    QTest::addColumn<int>("removal");
    QTest::addColumn<int>("left");
    QTest::newRow("clean line") << false << int(JobLines::Removal::Deleted) << 1;
    QTest::newRow("has a transfer ticket") << true << int(JobLines::Removal::HasTickets) << 2;
}

void TestJobListSheet::removal()
{
    QFETCH(bool, ticket);
    QFETCH(int, removal);
    QFETCH(int, left);
    const qint64 id = line({kMonday, 1}, 1);
    line({kMonday, 1}, 2);
    if (ticket)
        Fixture::transfer(m_world->db, id, 12, 40);
    open({kMonday, 1});
    QCOMPARE(JobListSheet::deleteQuestion(m_sheet->line(0)),
             QStringLiteral("Are you sure you want to delete the line of machine 1, job A-100?"));
    const JobLines::Removal result = m_sheet->remove(0);
    QCOMPARE(int(result), removal);
    QCOMPARE(JobListSheet::removalMessage(result).contains(QStringLiteral("cannot be deleted")), ticket);
    QCOMPARE(m_store->of({kMonday, 1}).size(), left);
    QCOMPARE(m_sheet->count(), left);
    // What was typed on the new line is cleared, not deleted from the database.
    m_sheet->edit(left, JobListSheet::Machine, "5");
    QCOMPARE(m_sheet->remove(left), JobLines::Removal::Deleted);
    QVERIFY(!m_sheet->hasUnsavedEntry());
    QCOMPARE(m_store->of({kMonday, 1}).size(), left);
}

void TestJobListSheet::rowChangedOnAnotherWorkstation_data()
{
    QTest::addColumn<QString>("elsewhere"); // what the other workstation does after both read
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing") << "" << true << "";
    QTest::newRow("chose another job") << "job" << false << "it now reads machine 1, job B-200";
    QTest::newRow("typed a description") << "description" << false << "it now reads machine 1, job A-100";
    QTest::newRow("protected the shift") << "protect" << false << "protected or removed meanwhile";
    QTest::newRow("deleted the line") << "delete" << false << "protected or removed meanwhile";
}

void TestJobListSheet::rowChangedOnAnotherWorkstation()
{
    QFETCH(QString, elsewhere);
    QFETCH(bool, saved);
    QFETCH(QString, message);
    const qint64 id = line({kMonday, 1}, 1);
    open({kMonday, 1});

    // The other workstation: its own connection and its own copy of the line.
    Database other = m_world->openDatabase();
    JobLines otherStore(other);
    const JobLine read = otherStore.line(id).value();
    JobLine changed = read;
    if (elsewhere == QLatin1String("job")) {
        changed.jobNumber = QStringLiteral("B-200");
        changed.jobDescription = QStringLiteral("Part B-200");
        QVERIFY(otherStore.updateIdentity(read, changed));
    } else if (elsewhere == QLatin1String("description")) {
        changed.jobDescription = QStringLiteral("lid, blue");
        QVERIFY(otherStore.updateIdentity(read, changed));
    } else if (elsewhere == QLatin1String("protect")) {
        Fixture::protect(other, kMonday, 1);
    } else if (elsewhere == QLatin1String("delete")) {
        QCOMPARE(otherStore.remove(id), JobLines::Removal::Deleted);
    }

    const JobListSheet::Edit result = m_sheet->edit(0, JobListSheet::Machine, "8");
    QCOMPARE(result.outcome, saved ? JobListSheet::Edit::Saved : JobListSheet::Edit::Reread);
    QVERIFY(result.message.contains(message));
    const std::optional<JobLine> now = otherStore.line(id);
    if (elsewhere != QLatin1String("delete")) {
        // What the other workstation wrote stays; the machine is written only over an unchanged row.
        QCOMPARE(now->machineNumber.value_or(-1), saved ? 8 : 1);
        QCOMPARE(now->jobNumber, changed.jobNumber);
        QCOMPARE(now->jobDescription, changed.jobDescription);
        // The sheet shows the row as it is stored now.
        QCOMPARE(m_sheet->line(0).machineNumber, now->machineNumber);
        QCOMPARE(m_sheet->line(0).jobNumber, now->jobNumber);
    }
    QCOMPARE(m_sheet->isProtected(0),
             elsewhere == QLatin1String("protect") || elsewhere == QLatin1String("delete"));
    // the window then reads the date-shift again
    QCOMPARE(result.protectionMet, m_sheet->isProtected(0));
}

QTEST_MAIN(TestJobListSheet)
#include "test_joblistsheet.moc"
