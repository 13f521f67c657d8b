// The rules of the report parameters window (through its sheet), staging and clean-up, and the
// window itself for what only it shows.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportDatabase.h"
#include "reports/ReportJob.h"
#include "reports/ReportParmsSheet.h"
#include "reports/ReportStaging.h"
#include "reports/ReportsMenu.h"
#include "reports/engine/ReportError.h"
#include "reports/engine/ReportExport.h"
#include "reports/frmReportParms.h"
#include "sharing/DatabaseRepair.h"
#include "shell/CommandLine.h"
#include "shell/MenuLayout.h"
#include "widgets/WindowRegistry.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
int tableCount(const QString &reportPath, const QString &table)
{
    const Database reports = Database::open(reportPath);
    return reports
        .scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = :t"), {{"t", table}})
        .toInt();
}
} // namespace

class TestReportParms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void requiredFields_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("range");
        QTest::addColumn<bool>("start");
        QTest::addColumn<bool>("end");
        QTest::addColumn<QString>("shift");
        QTest::addColumn<bool>("exportWithoutName");
        QTest::addColumn<QString>("missing");
        QTest::newRow("counts single, no shift") << 1 << false << true << false << "" << false << "Shift";
        QTest::newRow("counts range, no end, no shift")
            << 1 << true << true << false << "" << false << "Shift, End Date";
        QTest::newRow("transfers single, all there") << 2 << false << true << false << "2" << false << "";
        QTest::newRow("on hold needs the end date")
            << 3 << true << true << false << "1" << false << "End Date";
        QTest::newRow("summary, nothing")
            << 4 << true << false << false << "" << false << "Start Date, Shift, End Date";
        QTest::newRow("missing holds, no dates")
            << 7 << true << false << false << "" << false << "Start Date, End Date";
        QTest::newRow("daily, nothing checked") << 8 << false << false << false << "" << false << "";
        QTest::newRow("export without a name")
            << 2 << false << true << false << "1" << true << "Excel Workbook Filename";
        QTest::newRow("daily export without a name")
            << 9 << false << false << false << "" << true << "Excel Workbook Filename";
    }

    void requiredFields()
    {
        QFETCH(int, type);
        QFETCH(bool, range);
        QFETCH(bool, start);
        QFETCH(bool, end);
        QFETCH(QString, shift);
        QFETCH(bool, exportWithoutName);
        QFETCH(QString, missing);
        ReportParmsSheet sheet(type);
        sheet.dateRange = range;
        sheet.startDate = start ? QDate(1999, 8, 11) : QDate();
        sheet.endDate = end ? QDate(1999, 8, 12) : QDate();
        sheet.shiftText = shift;
        if (exportWithoutName)
            sheet.output = ReportParmsSheet::Export;
        QCOMPARE(sheet.missingFields(), missing);
    }

    void invalidInput_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("range");
        QTest::addColumn<QDate>("end"); // the start is 12/05/2026
        QTest::addColumn<QString>("shift");
        QTest::addColumn<QString>("refusal"); // a part of the message; empty when accepted
        const QDate start(2026, 12, 5);
        const QString before =
            QStringLiteral("The End Date (12/04/2026) is before the Start Date (12/05/2026).");
        QTest::newRow("end a day before the start") << 1 << true << start.addDays(-1) << "1" << before;
        QTest::newRow("end on the start") << 1 << true << start << "1"
                                          << "";
        QTest::newRow("on hold, end before start") << 3 << true << start.addDays(-1) << "1" << before;
        QTest::newRow("missing holds, end before start") << 7 << true << start.addDays(-1) << "" << before;
        QTest::newRow("single date, an old end date unused") << 1 << false << start.addDays(-2) << "1"
                                                             << "";
        const QString notShifts = QStringLiteral("which is not a list of shifts.");
        QTest::newRow("shift letter") << 1 << false << QDate() << "x" << notShifts;
        QTest::newRow("shift negative") << 2 << false << QDate() << "-3" << notShifts;
        QTest::newRow("shift double dash") << 5 << false << QDate() << "1--3" << notShifts;
        QTest::newRow("shift 0") << 1 << false << QDate() << "0" << notShifts;
        QTest::newRow("shift 4") << 1 << false << QDate() << "4" << notShifts;
        QTest::newRow("range backwards") << 4 << true << start << "3-1" << notShifts;
        QTest::newRow("trailing comma") << 1 << false << QDate() << "1," << notShifts;
        QTest::newRow("shift 1") << 1 << false << QDate() << "1"
                                 << "";
        QTest::newRow("shift 3") << 1 << false << QDate() << "3"
                                 << "";
        QTest::newRow("list") << 1 << false << QDate() << "1,3"
                              << "";
        QTest::newRow("range with blanks") << 1 << false << QDate() << " 1 - 3 "
                                           << "";
        QTest::newRow("range and list") << 1 << false << QDate() << "1-2,3"
                                        << "";
        QTest::newRow("blank between shifts") << 1 << false << QDate() << "1 3"
                                              << "";
        QTest::newRow("daily report ignores the shift") << 8 << false << QDate() << "x"
                                                        << "";
    }

    void invalidInput()
    {
        QFETCH(int, type);
        QFETCH(bool, range);
        QFETCH(QDate, end);
        QFETCH(QString, shift);
        QFETCH(QString, refusal);
        ReportParmsSheet sheet(type);
        sheet.dateRange = range;
        sheet.startDate = QDate(2026, 12, 5);
        sheet.endDate = end;
        sheet.shiftText = shift;
        QVERIFY2(refusal.isEmpty() ? sheet.invalidInput().isEmpty() : sheet.invalidInput().contains(refusal),
                 qPrintable(sheet.invalidInput()));
    }

    void insufficientDataText()
    {
        QCOMPARE(ReportParmsSheet::insufficientDataText(QStringLiteral("Shift, End Date")),
                 QStringLiteral(
                     "Please fill in the Shift, End Date field(s).  These are required for the report to be "
                     "processed."));
    }

    void mondayRule_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<bool>("range");
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        QTest::newRow("Monday: Friday to Sunday")
            << QDate(2026, 12, 7) << true << QDate(2026, 12, 4) << QDate(2026, 12, 6);
        QTest::newRow("Tuesday: yesterday") << QDate(2026, 12, 8) << false << QDate(2026, 12, 7) << QDate();
        QTest::newRow("Sunday: yesterday") << QDate(2026, 12, 6) << false << QDate(2026, 12, 5) << QDate();
    }

    void mondayRule()
    {
        QFETCH(QDate, today);
        QFETCH(bool, range);
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        for (int type : {8, 9}) {
            ReportParmsSheet sheet(type);
            sheet.load(QDate(2026, 1, 1), QStringLiteral("2"), today);
            QCOMPARE(sheet.dateRange, range);
            QCOMPARE(sheet.startDate, start);
            QCOMPARE(sheet.endDate, end);
            QVERIFY(sheet.singleDateEnabled());
        }
    }

    void defaultsPerType()
    {
        ReportParmsSheet counts(1);
        counts.load(QDate(1999, 8, 11), QStringLiteral("2"), QDate(2026, 12, 8));
        QCOMPARE(counts.startDate, QDate(1999, 8, 11));
        QCOMPARE(counts.shiftText, QStringLiteral("2"));
        QVERIFY(!counts.dateRange && !counts.showsOptions() && !counts.showsJobNumbers());
        QCOMPARE(counts.fileSelector(), 0);

        // on hold and summary: no single date, no option chosen and no report file until one is
        for (int type : {3, 4}) {
            ReportParmsSheet sheet(type);
            sheet.load(QDate(1999, 8, 11), QStringLiteral("2"), QDate(2026, 12, 8));
            QVERIFY(sheet.dateRange && !sheet.singleDateEnabled());
            QVERIFY(!sheet.startDate.isValid() && sheet.shiftText.isEmpty());
            QCOMPARE(sheet.option, -1);
            QCOMPARE(sheet.fileSelector(), -1);
            sheet.chooseOption(1);
            QCOMPARE(sheet.fileSelector(), type == 3 ? 3 : 5);
            sheet.chooseOption(0);
            QCOMPARE(sheet.fileSelector(), type == 3 ? 2 : 4);
        }
        QCOMPARE(ReportParmsSheet(4).optionCaptions(), QStringList({"Detail Report", "Summary Report"}));
    }

    // The example of a production count report for one day and shifts 1 and 2.
    void singleDateSelection()
    {
        ReportParmsSheet sheet(1);
        sheet.startDate = QDate(1999, 8, 11);
        sheet.endDate = QDate(1999, 9, 30); // left in the disabled end date box
        sheet.shiftText = QStringLiteral("1,2");
        QCOMPARE(
            sheet.selection(),
            QStringLiteral(
                "{Production Counts Report Table.Date}>=Date(1999,8,11) And "
                "{Production Counts Report Table.Date}<=Date(1999,8,11) And "
                "({Production Counts Report Table.Shift}=1 Or {Production Counts Report Table.Shift}=2)"));
        QCOMPARE(sheet.formulas(),
                 QStringList{"DateShift='Report Date :  Wednesday, August 11, 1999 Shift : 1,2'"});
        // the date still standing in the end date box goes to staging
        QCOMPARE(sheet.stagingParameters().value("End Date").toString(), QStringLiteral("1999-09-30"));
        sheet.endDate = QDate();
        QCOMPARE(sheet.stagingParameters().value("End Date").toString(), QStringLiteral("1999-08-11"));
    }

    void otherSelections()
    {
        ReportParmsSheet hold(3);
        hold.startDate = QDate(1999, 8, 1);
        hold.endDate = QDate(1999, 8, 31);
        hold.chooseOption(1);
        QCOMPARE(hold.selection(), QStringLiteral("{On Hold Report Table.Hold Quantity}<>0 And "
                                                  "{On Hold Report Table.Disposed of} = False"));
        QCOMPARE(hold.formulas(),
                 QStringList({"BegDate='Sunday, August 1, 1999'", "EndDate='Tuesday, August 31, 1999'",
                              "Shft=''", "HoldStatus='Unresolved Only'"}));

        ReportParmsSheet summary(4);
        summary.startDate = QDate(1999, 8, 1);
        summary.endDate = QDate(1999, 8, 31);
        const QString dates = QStringLiteral("{Production Summary Report Table.Date}>=Date(1999,8,1) And "
                                             "{Production Summary Report Table.Date}<=Date(1999,8,31)");
        QCOMPARE(summary.selection(), dates); // no job chosen: no job condition
        QCOMPARE(summary.stagingParameters().value("Start Job").toString(), QString());
        summary.beginJob = QStringLiteral("O'Neil-1");
        summary.shiftText = QStringLiteral("3");
        QCOMPARE(summary.selection(),
                 dates + " And {Production Summary Report Table.Job Number}>='O''Neil-1' And "
                         "({Production Summary Report Table.Shift}=3)");
    }

    void stagingRetriesOnALeftoverTable()
    {
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        const QString reportPath = world.file(QStringLiteral("REPORTS.MDB"));
        {
            Database reports = Database::createFile(reportPath);
            reports.exec(QStringLiteral("CREATE TABLE \"Transfer List Report Table\" (\"Stale\" INTEGER)"));
        }
        const ReportDescriptor &type = ReportCatalog::of(ReportTypes::TransferList);
        ReportStaging staging(world.db, reportPath);
        const QVariantMap params{{"Start Date", "1999-08-11"}, {"End Date", "1999-08-11"}};
        QCOMPARE(staging.stage(type.staging.name, type.table, params), qint64(4));
        // a second leftover in a row is handled the same way
        QCOMPARE(staging.stage(type.staging.name, type.table, params), qint64(4));
        staging.cleanUp(type.table);
        QCOMPARE(tableCount(reportPath, type.table), 0);
    }

    void tableDroppedAfterAFailedRun()
    {
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        const QString reportPath = world.file(QStringLiteral("REPORTS.MDB"));
        Database::createFile(reportPath).close();
        const ReportDescriptor &type = ReportCatalog::of(ReportTypes::ProductionCounts);
        ReportJob job(world.db, reportPath);
        const QVariantMap params{{"Start Date", "1999-08-11"}, {"End Date", "1999-08-12"}};
        const auto error = errorOf<ReportError>([&] {
            job.run(type, params, ReportFixture::layoutPath(QStringLiteral("prodct.rpt")),
                    {QStringLiteral("{Production Counts Report Table.Shift}=(1"), {}, {}, {}});
        });
        QVERIFY(error && error->number() == ReportError::Formula);
        QCOMPARE(tableCount(reportPath, type.table), 0);
        const auto missing = errorOf<ReportError>([&] { job.run(type, params, world.file("none.rpt"), {}); });
        QVERIFY(missing && missing->number() == ReportError::LayoutFile);
        QCOMPARE(tableCount(reportPath, type.table), 0);
    }

    // Every item of the Reports menu but "&QA Check Sheets..." (the sixth) opens the report window.
    void menuItemsRegistered()
    {
        WindowRegistry registry;
        registerReportWindows(registry);
        for (const Menu &menu : MenuLayout::menus()) {
            if (menu.objectName != QLatin1String("mnuReports"))
                continue;
            for (int i = 0; i < menu.items.size(); ++i)
                QCOMPARE(registry.contains(menu.items[i].caption.toUpper()), i != 5);
        }
    }

    // A report added as a descriptor and a layout file and nothing else: the menu, the window's
    // command and controls, the options' report files, the production database's saved queries,
    // the command line's help and the golden files all take it up, and its totals' caption, wider
    // than the column before the first total, prints whole.
    void aNewReportIsItsDescriptorAndItsLayout()
    {
        QTemporaryDir folder;
        QVERIFY(writeFile(folder.filePath(QStringLiteral("holdsmach.rpt")), R"({
  "title": "Holds by Machine", "table": "Holds by Machine Report Table", "sort": ["Machine Number"],
  "columns": [
    {"field": "Machine Number", "caption": "Machine", "width": 7, "align": "right", "format": "0"},
    {"field": "Hold Quantity", "caption": "Held", "width": 9, "align": "right", "format": "###,###,##0", "total": true}
  ],
  "grandTotal": "Report Total"})"));
        ReportDescriptor report;
        report.type = ReportTypes::ChangeHistory + 1;
        report.menuCaption = QStringLiteral("Holds by &Machine...");
        report.commandLineHelp = QStringLiteral("holds by machine");
        report.layouts = {{QStringLiteral("Holds by Machine"), QStringLiteral("holdsmach.rpt")}};
        report.previewTitle = QStringLiteral("Print Preview - Holds by Machine");
        report.staging = {
            QStringLiteral("zz Stage Holds by Machine Query"),
            QStringLiteral("CREATE TABLE \"Reports\".\"Holds by Machine Report Table\" AS"
                           " SELECT p.\"Machine Number\", SUM(h.\"Hold Quantity\") AS \"Hold Quantity\""
                           " FROM \"Hold Table\" h JOIN \"Production Table\" p ON p.\"Job ID\" = "
                           "h.\"Job ID\" WHERE p.\"Date\" BETWEEN :StartDate AND :EndDate"
                           " GROUP BY p.\"Machine Number\""),
            {QStringLiteral("Start Date"), QStringLiteral("End Date")}};
        report.table = QStringLiteral("Holds by Machine Report Table");
        report.controls.dates = ReportDates::RangeOnly;
        const ReportCatalog::TemporaryReport added(report);

        WindowRegistry registry;
        registerReportWindows(registry);
        for (const Menu &menu : MenuLayout::menus()) {
            if (menu.objectName == QLatin1String("mnuReports"))
                QCOMPARE(menu.items.value(report.type - 1).caption, report.menuCaption);
        }
        QVERIFY(registry.contains(QStringLiteral("HOLDS BY &MACHINE...")));
        QVERIFY(CommandLine::usage().contains(QStringLiteral(" 11 holds by machine\n")));
        QVERIFY(CommandLine::usage().contains(QStringLiteral("(types 3, 4, 7, 10 and 11 need it)")));

        DatabaseWorld world; // made after the report was added, as the program starts with it
        const int selector = ReportCatalog::of(report.type).firstFileSelector;
        QCOMPARE(selector, 12);
        QCOMPARE(world.session->options().ReportFilename(selector),
                 world.paths->programFolder() + QStringLiteral("/holdsmach.rpt"));
        ReportDatabase::ensure(*world.paths);
        world.session->selectedReportType = report.type;
        {
            frmReportParms window(*world.session);
            QVERIFY(window.load());
            QVERIFY(!window.findChild<QRadioButton *>("optDate0")->isEnabled());
            QVERIFY(window.findChild<QRadioButton *>("optDate1")->isChecked());
            QVERIFY(window.findChild<QGroupBox *>("fraJobNumber")->isHidden());
        }

        // staged by the saved query the new database was made with
        ReportFixture::fill(world.db);
        const auto render = [&] {
            const QList<GoldenReports::Part> parts = GoldenReports::render(
                world, report.type, -1, [&](const QString &name) { return folder.filePath(name); });
            return parts.size() == 1 ? parts.first() : GoldenReports::Part();
        };
        const GoldenReports::Part part = render();
        QCOMPARE(part.name, QStringLiteral("holdsmach"));
        QVERIFY2(part.text.contains(QRegularExpression(QStringLiteral("\nReport Total +145\n"))),
                 qPrintable(part.text));
        bool made = false;
        const QString golden = folder.filePath(QStringLiteral("golden"));
        QCOMPARE(GoldenReports::compare(golden, part.name, part.text, &made), QString());
        QVERIFY(made);
        QCOMPARE(GoldenReports::compare(golden, part.name, render().text, &made), QString());
        QVERIFY(!made);
        QVERIFY(!GoldenReports::compare(golden, part.name, QString(part.text).replace("145", "146"), &made)
                     .isEmpty());

        // a first column totalled leaves the captions no room at all: the layout is refused
        const std::optional<ReportError> refused = errorOf<ReportError>([] {
            ReportLayout::fromJson(
                R"({"table": "T", "columns": [{"field": "Q", "total": true}], "grandTotal": "All"})",
                QStringLiteral("t.rpt"));
        });
        QVERIFY(refused && refused->message().contains(QStringLiteral("first column is totalled")));
    }

    void windowShowsTheControlsOfItsType()
    {
        DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("100-A"), QStringLiteral("200-B")});
        ReportDatabase::ensure(*world.paths);
        world.session->selectedReportType = ReportTypes::ProductionSummary;
        frmReportParms window(*world.session);
        QVERIFY(window.load());
        QVERIFY(!window.findChild<QRadioButton *>("optDate0")->isEnabled());
        QVERIFY(window.findChild<QRadioButton *>("optDate1")->isChecked());
        QVERIFY(!window.findChild<QGroupBox *>("fraJobNumber")->isHidden());
        QCOMPARE(window.findChild<QRadioButton *>("optAdditlInfo1")->text(),
                 QStringLiteral("Summary Report"));
        auto *begin = window.findChild<QComboBox *>("cmbBeginningJob");
        auto *end = window.findChild<QComboBox *>("cmbEndJob");
        QCOMPARE(begin->count(), 2);
        QVERIFY(end->currentText().isEmpty());
        QCOMPARE(window.findChild<QComboBox *>("cmbExportType")->itemText(5), QStringLiteral("PDF (*.pdf)"));
        // the end job takes the beginning job when entered empty
        window.show();
        begin->setCurrentIndex(1);
        end->setFocus();
        QTRY_COMPARE(end->currentText(), QStringLiteral("200-B"));

        window.findChild<QPushButton *>("cmdOKButton")->click();
        QCOMPARE(world.prompter.messages().size(), 1);
        QCOMPARE(world.prompter.messages()[0].title, QStringLiteral("Insufficient Data"));
        QVERIFY(world.prompter.messages()[0].text.startsWith(
            QStringLiteral("Please fill in the Start Date, Shift, End Date")));
        QVERIFY(window.isVisible());
    }

    void windowExportsTheReport()
    {
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        ReportDatabase::ensure(*world.paths);
        world.session->options().setReportFilename(1, ReportFixture::layoutPath(QStringLiteral("xfers.rpt")));
        world.session->selectedReportType = ReportTypes::TransferList;
        world.session->currentDate = QDate(1999, 8, 11);
        world.session->currentShift = 1;
        frmReportParms window(*world.session);
        QVERIFY(window.load());
        QCOMPARE(window.findChild<QDateEdit *>("tdbdStartDate")->date(), QDate(1999, 8, 11));
        QCOMPARE(window.findChild<QLineEdit *>("txtShift")->text(), QStringLiteral("1"));
        auto *file = window.findChild<QLineEdit *>("txtExptFilename");
        QVERIFY(!file->isEnabled());
        window.findChild<QRadioButton *>("optReptDisp3")->setChecked(true);
        QVERIFY(file->isEnabled());
        window.findChild<QComboBox *>("cmbExportType")->setCurrentText(QStringLiteral("Text (*.txt)"));
        file->setText(world.file(QStringLiteral("transfers.doc")));
        window.findChild<QPushButton *>("cmdOKButton")->click();
        const QString written = world.file(QStringLiteral("transfers.txt"));
        QCOMPARE(world.prompter.messages().size(), 1);
        QCOMPARE(world.prompter.messages()[0].text, QStringLiteral("The report was written to ") + written);
        const QString text = QString::fromUtf8(readFile(written));
        QVERIFY2(text.contains(QStringLiteral("5502")) && !text.contains(QStringLiteral("5504")),
                 qPrintable(text));
        // the report table is gone again and the window stays open for another report
        QCOMPARE(
            tableCount(world.paths->reportDatabasePath(), ReportCatalog::of(ReportTypes::TransferList).table),
            0);
        QVERIFY(window.findChild<QPushButton *>("cmdOKButton")->isEnabled());

        // A shift box that is no list of shifts is refused before anything runs.
        auto *shift = window.findChild<QLineEdit *>("txtShift");
        shift->setText(QStringLiteral("1--3"));
        world.prompter.clear();
        window.findChild<QPushButton *>("cmdOKButton")->click();
        QCOMPARE(world.prompter.titles(), QStringList{ReportParmsSheet::invalidInputTitle()});
        QVERIFY(world.prompter.messages()[0].text.contains(QStringLiteral("\"1-3\"")));

        // A name without a folder goes to the user's data folder, made when a fresh profile has
        // none yet; the message gives the whole path.
        shift->setText(QStringLiteral("1"));
        QVERIFY(QDir(world.paths->userDataFolder()).removeRecursively());
        file->setText(QStringLiteral("gui1.xls"));
        world.prompter.clear();
        window.findChild<QPushButton *>("cmdOKButton")->click();
        const QString whole = QDir(world.paths->userDataFolder()).filePath(QStringLiteral("gui1.txt"));
        QCOMPARE(world.prompter.titles(), QStringList{QStringLiteral("Export To Document")});
        QCOMPARE(world.prompter.messages()[0].text,
                 QStringLiteral("The report was written to ") + QDir::toNativeSeparators(whole));
        QVERIFY(QFileInfo(whole).size() > 0);
    }

    // A page of the job lines overwritten: the report offers the repair as a window does, and after
    // it the report runs again on the repaired file.
    void damageOffersTheRepair()
    {
        FILE_DATABASE_ONLY("a damaged file and its repair");
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        ReportDatabase::ensure(*world.paths);
        world.session->options().setReportFilename(1, ReportFixture::layoutPath(QStringLiteral("xfers.rpt")));
        world.session->selectedReportType = ReportTypes::TransferList;
        world.session->currentDate = QDate(1999, 8, 11);
        world.session->currentShift = 1;
        world.session->setRepairHandler([&] { DatabaseRepair(*world.session).run(); });
        const QString path = world.session->options().DatabaseName();
        frmReportParms window(*world.session);
        QVERIFY(window.load());
        QVERIFY(ReportFixture::damageJobLines(world.db, path));
        window.findChild<QRadioButton *>("optReptDisp3")->setChecked(true);
        window.findChild<QComboBox *>("cmbExportType")->setCurrentText(QStringLiteral("Text (*.txt)"));
        window.findChild<QLineEdit *>("txtExptFilename")
            ->setText(world.file(QStringLiteral("transfers.txt")));
        world.prompter.script({MsgAnswer::Yes});
        window.findChild<QPushButton *>("cmdOKButton")->click();
        const QStringList titles = world.prompter.titles();
        QVERIFY2(titles.size() >= 2 && titles[0] == QLatin1String("Database Initialization Error") &&
                     titles[1] == QLatin1String("Repair Status"),
                 qPrintable(titles.join(" | ")));
        QCOMPARE(world.prompter.messages()[0].text,
                 QStringLiteral("Error:  The database has been marked corrupt. Attempt repair?"));
        QCOMPARE(world.prompter.messages()[0].icon, MsgIcon::Critical);
        QCOMPARE(Database::open(path).scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        QCOMPARE(titles.last(), QStringLiteral("Export To Document")); // the report ran again
    }
};

QTEST_MAIN(TestReportParms)
#include "test_reportparms.moc"
