// The reports of a plant on a PostgreSQL server: staging runs the saved query's SELECT on the
// server and writes the rows into the local report database, and every report reads as the same
// plant's report in a file. The runs on the server need KELVARA_TEST_SERVER
// (scripts/test-server.sh).

#include "ReportFixture.h"
#include "ServerPlant.h"
#include "TestSupport.h"
#include "foundation/ServerAddress.h"
#include "production/record/Schema.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportRun.h"
#include "reports/ReportStaging.h"
#include "reports/ScheduledReport.h"
#include "reports/SecurityProfileReport.h"
#include "reports/engine/TextReport.h"
#include "shell/CommandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSqlQuery>
#include <QTest>
#include <QTextStream>

namespace {
QString layoutFor(int selector)
{
    for (const ReportDescriptor &report : ReportCatalog::all()) {
        if (report.firstFileSelector >= 0 && selector >= report.firstFileSelector &&
            selector < report.firstFileSelector + report.layouts.size())
            return ReportFixture::layoutPath(report.layouts.at(selector - report.firstFileSelector).fileName);
    }
    return {};
}

Database createOnServer(const QString &uri)
{
    Database db = Database::createFile(uri);
    Schema::create(db, ReportCatalog::savedQueries());
    return db;
}

// The fixture plant in a fresh database of the test server, dropped at the end.
struct ServerWorld : TestWorld
{
    explicit ServerWorld(const QString &tag) : plant(tag), db(createOnServer(plant.uri()))
    {
        ReportFixture::fill(db);
        Schema::authorize(db, identity.userName(), QStringLiteral("Plant Supervisor"), QStringLiteral("C"));
    }
    ServerPlant plant;
    Database db;
};

// Runs a report on the database and returns each report it hands out as text, and the rejects
// marked printed afterwards.
struct RunResult
{
    ReportRun::Outcome outcome;
    QStringList texts;
    QList<qint64> printed;
};

// While the reject update report is shown, another workstation changes one of its rows: that row
// stays unprinted.
void changeAShownRow(const Database &db)
{
    db.exec(QStringLiteral("UPDATE \"Hold Distribution\" SET \"Rejects\" = 25 WHERE \"Rejects\" = 20"));
}

RunResult runReport(TestWorld &world, Database &db, ReportParmsSheet sheet)
{
    const QString reports = world.file(QStringLiteral("REPORTS.MDB"));
    if (!QFile::exists(reports))
        Database::createFile(reports).close();
    ReportRun run({db, reports, world.prompter, world.clock, layoutFor, QStringLiteral("Quorvel Plastics"),
                   QDate(1999, 8, 12)});
    RunResult result;
    result.outcome = run.run(sheet, [&](const ReportDocument &document, const QString &, int part) {
        result.texts << TextReport::render(document);
        if (part == 1)
            changeAShownRow(db);
    });
    QSqlQuery printed = db.exec(
        QStringLiteral("SELECT \"Rejects\" FROM \"Hold Distribution\" WHERE \"Printed\" <> 0 ORDER BY 1"));
    while (printed.next())
        result.printed << printed.value(0).toLongLong();
    return result;
}

ReportParmsSheet sheetFor(int type, int option)
{
    ReportParmsSheet sheet(type);
    sheet.load(QDate(1999, 8, 11), QStringLiteral("1-3"), QDate(2026, 12, 8));
    sheet.dateRange = true;
    sheet.startDate = QDate(1999, 8, 11);
    sheet.endDate = QDate(1999, 8, 12);
    if (option >= 0)
        sheet.chooseOption(option);
    sheet.markPrinted = true;
    return sheet;
}
} // namespace

class TestReportsServer : public QObject
{
    Q_OBJECT

    const QString server = qEnvironmentVariable("KELVARA_TEST_SERVER");
    static constexpr const char *kNoServer = "KELVARA_TEST_SERVER is not set: no PostgreSQL server to stage "
                                             "from (run through scripts/test-server.sh)";

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // The staging query's two forms, in either spelling, taken apart; anything else is refused.
    void stagingStatementForms_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<bool>("creates");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QString>("select");
        // A staging text in the older file's spelling.
        QTest::newRow("file spelling")
            << "CREATE TABLE [Reports].[On Hold]]s] AS SELECT p.[Date] FROM [P] p" << true << true
            << "On Hold]s" << QStringList() << "SELECT p.[Date] FROM [P] p";

        QTest::newRow("server spelling, WITH")
            << "create table \"Reports\".\"A \"\"B\"\"\" as\n WITH l AS (SELECT 1) SELECT * FROM l;\n"
            << true << true << "A \"B\"" << QStringList() << "WITH l AS (SELECT 1) SELECT * FROM l";
        QTest::newRow("insert with columns")
            << "INSERT INTO \"Reports\".\"T\" (\"Job ID\", \"Date\") SELECT 1, 2" << true << false << "T"
            << QStringList{QStringLiteral("Job ID"), QStringLiteral("Date")} << "SELECT 1, 2";
        QTest::newRow("insert without columns")
            << "INSERT INTO Reports.T SELECT 1" << true << false << "T" << QStringList() << "SELECT 1";
        QTest::newRow("not the report database")
            << "CREATE TABLE \"T\" AS SELECT 1" << false << false << "" << QStringList() << "";
        QTest::newRow("create without AS") << "CREATE TABLE \"Reports\".\"T\" (\"a\" INTEGER)" << false
                                           << false << "" << QStringList() << "";
        QTest::newRow("insert with AS")
            << "INSERT INTO \"Reports\".\"T\" AS SELECT 1" << false << false << "" << QStringList() << "";
        QTest::newRow("update") << "UPDATE \"Reports\".\"T\" SET \"a\" = 1" << false << false << ""
                                << QStringList() << "";
    }

    void stagingStatementForms()
    {
        QFETCH(QString, sql);
        QFETCH(bool, parsed);
        const std::optional<ReportStaging::Statement> statement = ReportStaging::Statement::parse(sql);
        QCOMPARE(statement.has_value(), parsed);
        if (!parsed)
            return;
        QTEST(statement->creates, "creates");
        QTEST(statement->table, "table");
        QTEST(statement->columns, "columns");
        QTEST(statement->select, "select");
    }

    // Each report, staged from the server, reads exactly as from the file; the reject report's
    // "Mark as Printed?" marks the same rows.
    void reportsMatchTheFile_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("reports");
        QTest::newRow("production counts") << int(ReportTypes::ProductionCounts) << -1 << 1;
        QTest::newRow("transfer list") << int(ReportTypes::TransferList) << -1 << 1;
        QTest::newRow("on hold, unresolved") << int(ReportTypes::OnHold) << 1 << 1;
        QTest::newRow("production summary") << int(ReportTypes::ProductionSummary) << 1 << 1;
        QTest::newRow("rejects with the update report") << int(ReportTypes::Rejects) << 0 << 2;
        QTest::newRow("missing hold tickets") << int(ReportTypes::MissingHolds) << -1 << 1;
    }

    void reportsMatchTheFile()
    {
        if (server.isEmpty())
            QSKIP(kNoServer);
        QFETCH(int, type);
        QFETCH(int, option);
        QFETCH(int, reports);
        DatabaseWorld file;
        ReportFixture::fill(file.db);
        ServerWorld onServer(QStringLiteral("reports_%1").arg(type));
        const RunResult fromFile = runReport(file, file.db, sheetFor(type, option));
        const RunResult fromServer = runReport(onServer, onServer.db, sheetFor(type, option));
        QCOMPARE(fromFile.outcome, ReportRun::Outcome::Done);
        QCOMPARE(fromServer.outcome, ReportRun::Outcome::Done);
        QCOMPARE(fromServer.texts.size(), reports);
        QCOMPARE(fromServer.texts, fromFile.texts);
        QCOMPARE(fromServer.printed, fromFile.printed);
        QCOMPARE(fromServer.printed, type == ReportTypes::Rejects ? QList<qint64>{30} : QList<qint64>());
        QCOMPARE(onServer.prompter.titles(), file.prompter.titles());
    }

    // The security profile, printed from the security window, through ReportJob.
    void securityProfileMatchesTheFile()
    {
        if (server.isEmpty())
            QSKIP(kNoServer);
        DatabaseWorld file;
        ServerWorld onServer(QStringLiteral("reports_security"));
        const auto profile = [](TestWorld &world, Database &db) {
            Schema::authorize(db, world.identity.userName(), QStringLiteral("Plant Supervisor"),
                              QStringLiteral("C"));
            Schema::authorize(db, QStringLiteral("MLee"), QStringLiteral("Mary Lee"), QStringLiteral("D"));
            return TextReport::render(SecurityProfileReport::build(
                db, world.file(QStringLiteral("REPORTS.MDB")),
                ReportFixture::layoutPath(QStringLiteral("secure.rpt")),
                {{}, {}, QStringLiteral("Quorvel Plastics"), world.clock.now()}));
        };
        const QStringList texts = {profile(file, file.db), profile(onServer, onServer.db)};
        QVERIFY(texts.first().contains(QStringLiteral("Mary Lee")));
        QCOMPARE(texts.last(), texts.first());
    }

    // The command line takes a server's address for --database; the daily Corvix report's rule
    // compares the server's parts with the rows staged in the report database.
    void commandLineRunsOnTheServer_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("told");
        QTest::newRow("every part made") << "08/11/1999" << 0 << "";
        QTest::newRow("a part not made") << "08/12/1999" << 1 << ReportRun::corvixPartsText();
    }

    void commandLineRunsOnTheServer()
    {
        if (server.isEmpty())
            QSKIP(kNoServer);
        QFETCH(QString, start);
        QFETCH(int, exitCode);
        QFETCH(QString, told);
        ServerWorld world(QStringLiteral("reports_cli"));
        world.db.exec(QStringLiteral("INSERT INTO \"Customer Report Parts\" VALUES ('Corvix', '2210-05')"));
        QDir().mkpath(world.paths->programFolder());
        QFile::copy(ReportFixture::layoutPath(QStringLiteral("dalycorv.rpt")),
                    world.paths->inProgramFolder(QStringLiteral("dalycorv.rpt")));
        const CommandLine line({QStringLiteral("report"), QStringLiteral("--type"), QStringLiteral("8"),
                                QStringLiteral("--start"), start, QStringLiteral("--export"),
                                QStringLiteral("txt"), QStringLiteral("--out"),
                                world.file(QStringLiteral("corvix.txt")), QStringLiteral("--database"),
                                world.plant.uri()});
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        QCOMPARE(line.report().run(*world.session, out, err), exitCode);
        QCOMPARE(errText, QString());
        QCOMPARE(QFile::exists(world.file(QStringLiteral("corvix.txt"))), exitCode == 0);
        QCOMPARE(world.prompter.messages().isEmpty() ? QString() : world.prompter.messages().last().text,
                 told);
        // The run counted as present by the server's lock: a server plant has no CURUSERS.DAT.
        QVERIFY(!QFile::exists(world.paths->inWorkingFolder(QStringLiteral("CURUSERS.DAT"))));
    }
};

QTEST_MAIN(TestReportsServer)
#include "test_reports_server.moc"
