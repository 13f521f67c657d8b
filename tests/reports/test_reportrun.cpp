// The runs of the reports of the second half of the Reports menu without the window: the missing
// hold tickets' gap search, the reject report with its update report and "Mark as Printed?", and
// the daily Corvix report's parts rule.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "reports/MissingHoldTickets.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportRun.h"
#include "reports/engine/ReportExport.h"

#include <QLocale>
#include <QSqlQuery>
#include <QTest>

namespace {
QString layoutFor(int selector)
{
    static const QMap<int, QString> files{
        {6, QStringLiteral("rejects.rpt")},   {7, QStringLiteral("reject2.rpt")},
        {8, QStringLiteral("misshold.rpt")},  {9, QStringLiteral("dalycorv.rpt")},
        {10, QStringLiteral("dalyvelm.rpt")}, {11, QStringLiteral("changes.rpt")}};
    return ReportFixture::layoutPath(files.value(selector));
}

QList<qint64> holes(const QString &reportDatabase)
{
    Database reports = Database::open(reportDatabase);
    QSqlQuery query =
        reports.exec(QStringLiteral("SELECT \"Hold Ticket Number\" FROM \"Holes Report\" ORDER BY 1"));
    QList<qint64> numbers;
    while (query.next())
        numbers << query.value(0).toLongLong();
    return numbers;
}

// A world with hold tickets of the given numbers (Null: a ticket without a number) on 08/11/1999.
struct HoldsWorld : DatabaseWorld
{
    explicit HoldsWorld(const QVariantList &tickets)
        : DatabaseWorld(QStringLiteral("C"), {QStringLiteral("J1")})
    {
        const qint64 line = Fixture::line(db, QDate(1999, 8, 11), 1, 1, QStringLiteral("J1"));
        for (const QVariant &ticket : tickets)
            Fixture::hold(db, line, ticket, 10);
        Database::createFile(reports).close();
    }
    bool run(bool unattended = false)
    {
        MissingHoldTickets search(db, reports, prompter);
        search.setUnattended(unattended);
        return search.run(QDate(1999, 8, 1), QDate(1999, 8, 31));
    }
    QString reports = file(QStringLiteral("REPORTS.MDB"));
};

struct Event
{
    QString what;
    QString title;
};
} // namespace

class TestReportRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void gaps_data()
    {
        QTest::addColumn<QVariantList>("tickets");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QList<qint64>>("missing");
        QTest::newRow("gap and a duplicate")
            << QVariantList{100, 101, 104, 104, 105} << true << QList<qint64>{102, 103};
        QTest::newRow("unordered entry")
            << QVariantList{105, 100, 103} << true << QList<qint64>{101, 102, 104};
        QTest::newRow("one ticket") << QVariantList{100} << true << QList<qint64>{};
        QTest::newRow("no tickets") << QVariantList{} << false << QList<qint64>{};
        QTest::newRow("ticket without a number")
            << QVariantList{QVariant(), 5, 7} << true << QList<qint64>{6};
        QTest::newRow("only tickets without a number")
            << QVariantList{QVariant()} << false << QList<qint64>{};
    }

    void gaps()
    {
        QFETCH(QVariantList, tickets);
        QFETCH(bool, result);
        QFETCH(QList<qint64>, missing);
        HoldsWorld world(tickets);
        QCOMPARE(world.run(), result);
        if (result) {
            QCOMPARE(holes(world.reports), missing);
            QCOMPARE(world.prompter.titles(), QStringList{QStringLiteral("Ticket Range")});
        } else {
            QCOMPARE(world.prompter.messages().size(), 1);
            QCOMPARE(world.prompter.messages()[0].text,
                     QStringLiteral("There were no records found to report on."));
        }
    }

    void rangeQuestionNamesBothEnds_data()
    {
        // A ticket of another date-shift (number, day of August 1999, shift) beside those of
        // 8/11/99, shift 1.
        QTest::addColumn<int>("otherNumber");
        QTest::addColumn<int>("otherDay");
        QTest::addColumn<int>("otherShift");
        QTest::addColumn<QString>("ends");
        QTest::newRow("one date-shift")
            << 0 << 0 << 0
            << "from 100, which was written on 8/11/99, Shift 1 to 104, which was "
               "written on 8/11/99, Shift 1.";
        QTest::newRow("last ticket on a later date") << 110 << 20 << 3
                                                     << "from 100, which was written on 8/11/99, Shift 1 to "
                                                        "110, which was written on 8/20/99, Shift 3.";
        QTest::newRow("first ticket on a later date") << 90 << 20 << 3
                                                      << "from 90, which was written on 8/20/99, Shift 3 to "
                                                         "104, which was written on 8/11/99, Shift 1.";
    }

    void rangeQuestionNamesBothEnds()
    {
        QFETCH(int, otherNumber);
        QFETCH(int, otherDay);
        QFETCH(int, otherShift);
        QFETCH(QString, ends);
        HoldsWorld world({QVariant(), 100, 104, 104});
        if (otherNumber)
            Fixture::hold(
                world.db,
                Fixture::line(world.db, QDate(1999, 8, otherDay), otherShift, 1, QStringLiteral("J1")),
                otherNumber, 10);
        QVERIFY(world.run());
        QCOMPARE(world.prompter.messages()[0].text,
                 QStringLiteral("The range of Hold Tickets in question is ") + ends +
                     QStringLiteral("  Do you want to continue?"));
    }

    void declinedOrRepeatedRunKeepsTableRight()
    {
        HoldsWorld world({100, 103});
        QVERIFY(world.run());
        QCOMPARE(holes(world.reports), (QList<qint64>{101, 102}));
        // a second run empties the table before it fills it
        Fixture::hold(world.db, 1, 101, 5);
        QVERIFY(world.run());
        QCOMPARE(holes(world.reports), QList<qint64>{102});
        // No at the question leaves the table as it was
        Fixture::hold(world.db, 1, 102, 5);
        world.prompter.script({MsgAnswer::No});
        QVERIFY(!world.run());
        QCOMPARE(holes(world.reports), QList<qint64>{102});
    }

    void hugeGapAsksFirst()
    {
        HoldsWorld world({100, 100 + MissingHoldTickets::kAskAbove + 2});
        world.prompter.script({MsgAnswer::Yes, MsgAnswer::No});
        QVERIFY(!world.run());
        QCOMPARE(world.prompter.titles(),
                 (QStringList{QStringLiteral("Ticket Range"), QStringLiteral("Missing Hold Tickets")}));
        QCOMPARE(Database::open(world.reports)
                     .scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = 'Holes Report'"))
                     .toInt(),
                 0);
        // unattended: refused without a question
        world.prompter.clear();
        QVERIFY(!world.run(true));
        QCOMPARE(world.prompter.messages().size(), 1);
        QCOMPARE(world.prompter.messages()[0].buttons, MsgButtons::Ok);
        // exactly the limit is written without asking
        HoldsWorld limit({100, 100 + MissingHoldTickets::kAskAbove + 1});
        QVERIFY(limit.run());
        QCOMPARE(holes(limit.reports).size(), MissingHoldTickets::kAskAbove);
        QCOMPARE(limit.prompter.messages().size(), 1);
    }

    void rejectFlowOrder_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("markPrinted");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("unprintedAfter"); // the question is answered Yes
        QTest::newRow("with update report")
            << 0 << true
            << QStringList{QStringLiteral("Print Preview - Rejects by Reason Report"),
                           QStringLiteral("Print Preview - Rejects by Reason Update"),
                           QStringLiteral("Mark as Printed?")}
            << 0;
        QTest::newRow("update report, not marking")
            << 0 << false
            << QStringList{QStringLiteral("Print Preview - Rejects by Reason Report"),
                           QStringLiteral("Print Preview - Rejects by Reason Update")}
            << 2;
        QTest::newRow("rejects by reason only")
            << 1 << true << QStringList{QStringLiteral("Print Preview - Rejects by Reason Report")} << 2;
    }

    void rejectFlowOrder()
    {
        QFETCH(int, option);
        QFETCH(bool, markPrinted);
        QFETCH(QStringList, events);
        QFETCH(int, unprintedAfter);
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        QStringList seen;
        world.prompter.onAsk = [&](const PromptMessage &message) { seen << message.title; };
        ReportParmsSheet sheet = rejectSheet(option, markPrinted);
        const ReportRun::Outcome outcome = runner(world).run(
            sheet, [&](const ReportDocument &, const QString &title, int) { seen << title; });
        QCOMPARE(outcome, ReportRun::Outcome::Done);
        QCOMPARE(seen, events);
        QCOMPARE(unprinted(world.db), unprintedAfter);
    }

    void setPrintedKeepsToWhatWasPrinted()
    {
        DatabaseWorld world;
        ReportFixture::fill(world.db); // two reject rows, added 12/01/2026 10:00
        world.clock.set(QDate(2026, 12, 8), QTime(9, 0));
        ReportParmsSheet sheet = rejectSheet(0, true);
        int shown = -1;
        runner(world).run(sheet, [&](const ReportDocument &document, const QString &, int part) {
            if (part != 1)
                return;
            shown = document.detailRows;
            // while the update report is on screen another workstation adds a row and changes one
            const qint64 ticket =
                world.db.scalar(QStringLiteral("SELECT MIN(\"Hold Ticket ID\") FROM \"Hold Table\""))
                    .toLongLong();
            world.db.exec(
                QStringLiteral(
                    "INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"Rejects\", \"Reject Reason\", "
                    "\"When Added\") VALUES (:t, 5, 4, '2026-12-08 09:00:00')"),
                {{QStringLiteral("t"), ticket}});
            world.db.exec(
                QStringLiteral("UPDATE \"Hold Distribution\" SET \"Rejects\" = 25 WHERE \"Rejects\" = 20"));
        });
        QCOMPARE(shown, 2);
        QCOMPARE(world.prompter.titles().last(), QStringLiteral("Mark as Printed?"));
        // only the row printed and unchanged is marked
        QCOMPARE(printedRejects(world.db), QList<qint64>{30});
        // a row added after the mark time is not marked even when staged again
        world.db.exec(QStringLiteral(
            "INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"Rejects\", \"Reject Reason\", "
            "\"When Added\") VALUES (1, 7, 4, '2026-12-08 09:30:00')"));
        world.prompter.clear();
        ReportParmsSheet again = rejectSheet(0, true);
        runner(world).run(again, [](const ReportDocument &, const QString &, int) {});
        QCOMPARE(printedRejects(world.db), (QList<qint64>{5, 25, 30}));
    }

    // The mark is the report's bookkeeping: rows of protected date-shifts are marked as well.
    void markPrintedOverProtectedAndOpenLines()
    {
        DatabaseWorld world;
        ReportFixture::fill(world.db); // rejects 20 on 08/11/1999 shift 1, 30 on 08/12/1999 shift 1
        Fixture::protect(world.db, QDate(1999, 8, 11), 1);
        world.db.exec(QStringLiteral(
            "INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"Rejects\", "
            "\"Reject Reason\", \"Printed\", \"When Added\") SELECT \"Hold Ticket ID\", 9, 4, "
            "1, '2026-12-01 10:00:00' FROM \"Hold Table\" WHERE \"Hold Ticket Number\" = 904"));
        ReportParmsSheet sheet = rejectSheet(0, true);
        runner(world).run(sheet, [](const ReportDocument &, const QString &, int) {});
        QCOMPARE(world.prompter.titles().last(), QStringLiteral("Mark as Printed?"));
        QCOMPARE(printedRejects(world.db), (QList<qint64>{9, 20, 30}));
    }

    void answeringNoMarksNothing()
    {
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        world.prompter.script({MsgAnswer::No});
        ReportParmsSheet sheet = rejectSheet(0, true);
        sheet.output = ReportParmsSheet::Printer;
        runner(world).run(sheet, [](const ReportDocument &, const QString &, int) {});
        QCOMPARE(world.prompter.messages().last().text, ReportRun::markPrintedQuestion(false));
        QVERIFY(printedRejects(world.db).isEmpty());
    }

    // The output cancelled by the user, as the PDF writer behind the preview stops when its
    // progress says so: the run ends there, and nothing is marked printed.
    void cancelledOutputEndsTheRun_data()
    {
        QTest::addColumn<int>("cancelledPart");
        QTest::addColumn<QStringList>("events");
        const QString told = QStringLiteral("Kelvara: ") + ReportRun::cancelledText();
        QTest::newRow("rejects report")
            << 0 << QStringList{QStringLiteral("Print Preview - Rejects by Reason Report"), told};
        QTest::newRow("update report")
            << 1
            << QStringList{QStringLiteral("Print Preview - Rejects by Reason Report"),
                           QStringLiteral("Print Preview - Rejects by Reason Update"), told};
    }

    void cancelledOutputEndsTheRun()
    {
        QFETCH(int, cancelledPart);
        QFETCH(QStringList, events);
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        QStringList seen;
        world.prompter.onAsk = [&](const PromptMessage &message) {
            seen << message.title + (message.buttons == MsgButtons::Ok ? ": " + message.text : QString());
        };
        const QString pdf = world.file(QStringLiteral("preview.pdf"));
        ReportParmsSheet sheet = rejectSheet(0, true);
        const ReportRun::Outcome outcome =
            runner(world).run(sheet, [&](const ReportDocument &document, const QString &title, int part) {
                seen << title;
                if (part == cancelledPart)
                    ReportExport::write(document, ReportExport::Pdf, pdf, [](int, int) { return false; });
            });
        QCOMPARE(outcome, ReportRun::Outcome::Cancelled);
        QCOMPARE(seen, events);
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(unprinted(world.db), 2);
    }

    void noRecordsMessages()
    {
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        world.db.exec(QStringLiteral("UPDATE \"Hold Distribution\" SET \"Printed\" = 1"));
        ReportParmsSheet sheet = rejectSheet(0, false);
        sheet.startDate = sheet.endDate = QDate(2001, 1, 1);
        runner(world).run(sheet, [](const ReportDocument &, const QString &, int) {});
        QStringList texts;
        for (const PromptMessage &message : world.prompter.messages())
            texts << message.title + ": " + message.text;
        QCOMPARE(
            texts,
            (QStringList{QStringLiteral("No Updates Necessary: No records found for the Reject Report."),
                         QStringLiteral("No Updates Necessary: No records found for the Update Report.")}));
    }

    void corvixNeedsEveryPart_data()
    {
        QTest::addColumn<QStringList>("parts");
        QTest::addColumn<bool>("refused");
        QTest::newRow("all made") << QStringList{QStringLiteral("1040-22"), QStringLiteral("3300-17")}
                                  << false;
        QTest::newRow("one not made")
            << QStringList{QStringLiteral("1040-22"), QStringLiteral("2210-05")} << true;
    }

    void corvixNeedsEveryPart()
    {
        QFETCH(QStringList, parts);
        QFETCH(bool, refused);
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        for (const QString &part : parts)
            world.db.exec(QStringLiteral("INSERT INTO \"Customer Report Parts\" VALUES ('Corvix', :j)"),
                          {{QStringLiteral("j"), part}});
        ReportParmsSheet sheet(ReportTypes::DailyCorvix);
        sheet.startDate = QDate(1999, 8, 12); // 2210-05 ran on the 11th only
        int sent = 0;
        const ReportRun::Outcome outcome =
            runner(world).run(sheet, [&](const ReportDocument &, const QString &, int) { ++sent; });
        QCOMPARE(outcome, refused ? ReportRun::Outcome::StagingFailed : ReportRun::Outcome::Done);
        QCOMPARE(sent, refused ? 0 : 1);
        if (refused) {
            QCOMPARE(world.prompter.messages().size(), 1);
            QCOMPARE(world.prompter.messages()[0].text, ReportRun::corvixPartsText());
            QCOMPARE(world.prompter.messages()[0].title, programTitle());
        }
        // the report table never stays behind
        Database reports = Database::open(world.file(QStringLiteral("REPORTS.MDB")));
        QCOMPARE(reports.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")).toInt(), 0);
    }

    void changeHistoryKeepsToRangeMachineAndLogin_data()
    {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("everything in the range") << ""
                                                 << "" << QStringList{"First Day", "Machine 7", "Last Day"};
        QTest::newRow("one machine, typed with a zero") << " 012"
                                                        << "" << QStringList{"First Day", "Last Day"};
        QTest::newRow("one login") << ""
                                   << "mbrown" << QStringList{"Machine 7"};
        QTest::newRow("machine and login") << "12"
                                           << "mbrown" << QStringList{};
    }

    void changeHistoryKeepsToRangeMachineAndLogin()
    {
        QFETCH(QString, machine);
        QFETCH(QString, login);
        QFETCH(QStringList, fields);
        DatabaseWorld world;
        const auto row = [](const char *at, const char *who, int number, const char *field) {
            Fixture::HistoryChange change;
            change.at = QString::fromLatin1(at);
            change.login = QString::fromLatin1(who);
            change.machine = number;
            change.jobId = 40 + number;
            change.field = QString::fromLatin1(field);
            change.oldValue = 1;
            change.newValue = 2;
            change.hash = QString::fromLatin1(field).toLower().replace(' ', '-');
            return change;
        };
        const QList<qint64> ids = Fixture::historyChanges(
            world.db, {row("2026-11-30T23:59:59.999+01:00", "jsmith", 12, "Day Before"),
                       row("2026-12-01T00:00:00.000+01:00", "jsmith", 12, "First Day"),
                       row("2026-12-02T10:00:00.000-05:00", "mbrown", 7, "Machine 7"),
                       row("2026-12-03T23:59:59.999+01:00", "jsmith", 12, "Last Day"),
                       row("2026-12-04T00:00:00.000+01:00", "jsmith", 12, "Day After")});
        const qint64 latest = ids.last();
        ReportParmsSheet sheet(ReportTypes::ChangeHistory);
        sheet.load({}, {}, QDate(2026, 12, 9));
        sheet.startDate = QDate(2026, 12, 1);
        sheet.endDate = QDate(2026, 12, 3);
        sheet.machine = machine;
        sheet.login = login;
        QVERIFY(sheet.missingFields().isEmpty());
        QVERIFY(sheet.invalidInput().isEmpty());
        ReportDocument report;
        const ReportRun::Outcome outcome = runner(world).run(
            sheet, [&](const ReportDocument &document, const QString &, int) { report = document; });
        QCOMPARE(outcome, ReportRun::Outcome::Done);
        QStringList printed;
        for (const ReportLine &line : report.lines) {
            if (line.kind == ReportLine::Detail)
                printed << line.cells.at(6);
        }
        QCOMPARE(printed, fields);
        // the chain's newest row vouches for what was printed, even a row outside the range
        QCOMPARE(report.heading.last(), QStringLiteral("Latest history row %1, hash day-after").arg(latest));

        sheet.machine = QStringLiteral("12a");
        QVERIFY(sheet.invalidInput().contains(QStringLiteral("not a machine number")));
    }

    void missingHoldsEndDateMovesBack()
    {
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        ReportParmsSheet sheet(ReportTypes::MissingHolds);
        sheet.dateRange = true;
        sheet.startDate = QDate(1999, 8, 1);
        sheet.endDate = QDate(1999, 9, 30);
        QStringList cells;
        const ReportRun::Outcome outcome =
            runner(world, QDate(1999, 8, 12))
                .run(sheet, [&](const ReportDocument &document, const QString &, int) {
                    for (const ReportLine &line : document.lines)
                        cells += line.cells;
                });
        QCOMPARE(outcome, ReportRun::Outcome::Done);
        QCOMPARE(sheet.endDate, QDate(1999, 8, 12));
        QCOMPARE(cells, QStringList{QStringLiteral("903")});
    }

private:
    static ReportParmsSheet rejectSheet(int option, bool markPrinted)
    {
        ReportParmsSheet sheet(ReportTypes::Rejects);
        sheet.load(QDate(1999, 8, 11), QStringLiteral("1-3"), QDate(2026, 12, 8));
        sheet.dateRange = true;
        sheet.endDate = QDate(1999, 8, 12);
        sheet.chooseOption(option);
        sheet.markPrinted = markPrinted;
        return sheet;
    }

    static ReportRun runner(DatabaseWorld &world, const QDate &latest = {})
    {
        const QString reports = world.file(QStringLiteral("REPORTS.MDB"));
        if (!QFile::exists(reports))
            Database::createFile(reports).close();
        return ReportRun({world.db, reports, world.prompter, world.clock, layoutFor,
                          QStringLiteral("Quorvel Plastics"), latest});
    }

    static int unprinted(const Database &db)
    {
        return db
            .scalar(QStringLiteral(
                "SELECT COUNT(*) FROM \"Hold Distribution\" WHERE \"Printed\" = 0 AND \"Rejects\" <> 0"))
            .toInt();
    }

    static QList<qint64> printedRejects(const Database &db)
    {
        QSqlQuery query = db.exec(QStringLiteral(
            "SELECT \"Rejects\" FROM \"Hold Distribution\" WHERE \"Printed\" <> 0 ORDER BY 1"));
        QList<qint64> rejects;
        while (query.next())
            rejects << query.value(0).toLongLong();
        return rejects;
    }
};

QTEST_MAIN(TestReportRun)
#include "test_reportrun.moc"
