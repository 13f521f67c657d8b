// The command line of scheduled report runs: what it accepts and the exit codes of the runs.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "reports/ScheduledReport.h"
#include "sharing/LockFile.h"
#include "shell/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTextStream>

class TestScheduledReport : public QObject
{
    Q_OBJECT

private slots:
    void parsing_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::newRow("single date") << "report --type 1 --start 08/11/1999 --export pdf --out a.pdf" << true;
        QTest::newRow("everything") << "report --type 4 --start 08/11/1999 --end 08/12/1999 --shift 1-2 "
                                       "--option 1 --jobs 1040-22 2210-05 --export xlsx --out a.xlsx "
                                       "--database q.mdb"
                                    << true;
        QTest::newRow("unknown type")
            << "report --type 6 --start 08/11/1999 --export pdf --out a.pdf" << false;
        QTest::newRow("bad date") << "report --type 1 --start 8/32/1999 --export pdf --out a.pdf" << false;
        QTest::newRow("end before start")
            << "report --type 1 --start 08/11/1999 --end 08/10/1999 --export pdf --out a.pdf" << false;
        QTest::newRow("range report without end")
            << "report --type 7 --start 08/11/1999 --export pdf --out a.pdf" << false;
        QTest::newRow("unknown format")
            << "report --type 1 --start 08/11/1999 --export doc --out a.doc" << false;
        QTest::newRow("no out") << "report --type 1 --start 08/11/1999 --export pdf" << false;
        QTest::newRow("bad option") << "report --type 3 --start 08/11/1999 --end 08/12/1999 --option 2 "
                                       "--export pdf --out a.pdf"
                                    << false;
        QTest::newRow("value missing") << "report --type 1 --start 08/11/1999 --export pdf --out" << false;
        QTest::newRow("unknown argument")
            << "report --type 1 --start 08/11/1999 --export pdf --out a --quiet" << false;
    }

    void parsing()
    {
        QFETCH(QString, arguments);
        QFETCH(bool, valid);
        const CommandLine line(arguments.split(' '));
        QCOMPARE(line.mode(), valid ? CommandLine::Mode::Report : CommandLine::Mode::Invalid);
        QCOMPARE(line.error().isEmpty(), valid);
        QVERIFY(line.unattended());
    }

    void errorsNameTheirOption_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("error");
        const QString head = QStringLiteral("report --type 4 --start 08/11/1999 --end 08/12/1999 ");
        QTest::newRow("--out last without its value") << head + "--export pdf --out"
                                                      << "--out needs the name of the file to write.";
        QTest::newRow("--out followed by the next option") << head + "--out --export pdf"
                                                           << "--out needs the name of the file to write.";
        QTest::newRow("--jobs with one job") << head + "--jobs 1040-22 --export pdf --out a.pdf"
                                             << "--jobs needs two job numbers.";
        QTest::newRow("--jobs with none, last") << head + "--export pdf --out a.pdf --jobs"
                                                << "--jobs needs two job numbers.";
        QTest::newRow("--start without its date") << "report --start --type 1 --export pdf --out a.pdf"
                                                  << "--start needs a date written MM/DD/YYYY.";
        QTest::newRow("unknown option") << head + "--export pdf --out a.pdf --quiet"
                                        << "Unknown option 'quiet'.";
        QTest::newRow("stray value") << head + "--export pdf --out a.pdf pdf"
                                     << "Unknown argument 'pdf'.";
    }

    void errorsNameTheirOption()
    {
        QFETCH(QString, arguments);
        const CommandLine line(arguments.split(' '));
        QCOMPARE(line.mode(), CommandLine::Mode::Invalid);
        QTEST(line.error(), "error");
    }

    void outGetsTheFormatsExtension()
    {
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        QDir().mkpath(world.paths->programFolder());
        QFile::copy(ReportFixture::layoutPath(QStringLiteral("prodct.rpt")),
                    world.paths->inProgramFolder(QStringLiteral("prodct.rpt")));
        const CommandLine line({"report", "--type", "1", "--start", "08/11/1999", "--export", "pdf", "--out",
                                world.file(QStringLiteral("counts.xls"))});
        QString outText, errText;
        QTextStream outStream(&outText), errStream(&errText);
        QCOMPARE(line.report().run(*world.session, outStream, errStream), 0);
        QVERIFY(QFile::exists(world.file(QStringLiteral("counts.pdf"))));
        QVERIFY(!QFile::exists(world.file(QStringLiteral("counts.xls"))));
        QCOMPARE(outText, "Wrote " + world.file(QStringLiteral("counts.pdf")) + '\n');
    }

    void helpDocumentsReports()
    {
        const CommandLine line({QStringLiteral("--help")});
        QCOMPARE(line.mode(), CommandLine::Mode::Help);
        QVERIFY(CommandLine::usage().contains(QStringLiteral("kelvara report --type N")));
        QVERIFY(CommandLine::usage().contains(QStringLiteral("Exit codes")));
    }

    void exitCodes_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<int>("exitCode");
        const QString counts =
            QStringLiteral("report --type 1 --start 08/11/1999 --export pdf --out out.pdf");
        QTest::newRow("written") << counts << "" << 0;
        QTest::newRow("rejects with update")
            << "report --type 5 --start 08/11/1999 --end 08/12/1999 --export txt "
               "--out out.txt"
            << "" << 0;
        QTest::newRow("holes")
            << "report --type 7 --start 08/01/1999 --end 08/31/1999 --export txt --out out.txt"
            << "" << 0;
        QTest::newRow("no hold tickets")
            << "report --type 7 --start 01/01/2001 --end 01/31/2001 --export txt "
               "--out out.txt"
            << "" << 1;
        QTest::newRow("Corvix part not made")
            << "report --type 8 --start 08/12/1999 --export txt --out out.txt"
            << "corvix" << 1;
        QTest::newRow("bad arguments") << "report --type 1 --export pdf --out out.pdf"
                                       << "" << 2;
        QTest::newRow("maintenance") << counts << "lock" << 3;
        QTest::newRow("no database") << counts + " --database missing.mdb"
                                     << "" << 4;
        QTest::newRow("no database configured") << counts << "unconfigured" << 4;
        QTest::newRow("not authorized") << counts << "stranger" << 5;
        QTest::newRow("level of an older database") << counts << "Cx" << 5;
    }

    void exitCodes()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, setUp);
        QFETCH(int, exitCode);
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        QDir().mkpath(world.paths->programFolder());
        for (const char *file : {"prodct.rpt", "rejects.rpt", "reject2.rpt", "misshold.rpt", "dalycorv.rpt"})
            QFile::copy(ReportFixture::layoutPath(QString::fromLatin1(file)),
                        world.paths->inProgramFolder(QString::fromLatin1(file)));
        if (setUp == QLatin1String("lock"))
            LockFile::inFolder(world.paths->programFolder())
                .write(world.clock.now(), QStringLiteral("Plant Supervisor"), QStringLiteral("Backup"));
        if (setUp == QLatin1String("stranger"))
            world.identity.set(QStringLiteral("stranger"));
        if (setUp == QLatin1String("Cx")) {
            Fixture::allowAnyLevel(world.db);
            world.db.exec(QStringLiteral("UPDATE \"Security Table\" SET \"Security Level\" = 'Cx'"));
        }
        if (setUp == QLatin1String("unconfigured"))
            world.session->options().setDatabaseName(QString());
        if (setUp == QLatin1String("corvix"))
            world.db.exec(
                QStringLiteral("INSERT INTO \"Customer Report Parts\" VALUES ('Corvix', '2210-05')"));
        QStringList args = arguments.split(' ');
        const int out = args.indexOf(QStringLiteral("--out"));
        if (out >= 0 && out + 1 < args.size())
            args[out + 1] = world.file(args[out + 1]);
        const CommandLine line(args);
        QString outText, errText;
        QTextStream outStream(&outText), errStream(&errText);
        const int code = line.mode() == CommandLine::Mode::Invalid
                             ? ScheduledReport::BadArguments
                             : line.report().run(*world.session, outStream, errStream);
        QCOMPARE(code, exitCode);
        QCOMPARE(QFile::exists(world.file(args.value(out + 1).section('/', -1))), exitCode == 0);
        if (exitCode != 0 && line.mode() != CommandLine::Mode::Invalid)
            QVERIFY(!errText.isEmpty() || !world.prompter.messages().isEmpty());
        // A missing database is named; none at all is told how to name one.
        if (exitCode == ScheduledReport::NoDatabase) {
            const QString said = setUp.isEmpty() ? QStringLiteral("\"%1\" does not exist").arg("missing.mdb")
                                                 : QStringLiteral("No production database is configured");
            QVERIFY2(errText.contains(said) && (setUp.isEmpty() || errText.contains("--database")),
                     qPrintable(errText));
        }
        // the run asks nothing and leaves no report database of the window's behind
        for (const PromptMessage &message : world.prompter.messages())
            QCOMPARE(message.buttons, MsgButtons::Ok);
        QVERIFY(!QFile::exists(world.paths->reportDatabasePath()));
    }

    // A page of the job lines overwritten: the run says the file is damaged and how to repair it.
    void damagedDatabase()
    {
        FILE_DATABASE_ONLY("a damaged file");
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        QDir().mkpath(world.paths->programFolder());
        QFile::copy(ReportFixture::layoutPath(QStringLiteral("prodct.rpt")),
                    world.paths->inProgramFolder(QStringLiteral("prodct.rpt")));
        const QString path = world.session->options().DatabaseName();
        QVERIFY(ReportFixture::damageJobLines(world.db, path));
        const CommandLine line(QStringLiteral("report --type 1 --start 08/11/1999 --export pdf --out %1")
                                   .arg(world.file(QStringLiteral("out.pdf")))
                                   .split(' '));
        QString outText, errText;
        QTextStream outStream(&outText), errStream(&errText);
        QCOMPARE(line.report().run(*world.session, outStream, errStream), int(ScheduledReport::Damaged));
        QVERIFY2(errText.contains(QStringLiteral("is damaged")) &&
                     errText.contains(QStringLiteral("Database > Repair")),
                 qPrintable(errText));
        QVERIFY(!QFile::exists(world.file(QStringLiteral("out.pdf"))));
        QVERIFY(CommandLine::usage().contains(QStringLiteral("6 the database is damaged")));
    }
};

QTEST_MAIN(TestScheduledReport)
#include "test_scheduledreport.moc"
