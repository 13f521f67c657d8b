// The parts of the daily customer reports and their window, and the reject report run through
// the report window.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "reports/CustomerReportParts.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportDatabase.h"
#include "reports/ReportRun.h"
#include "reports/frmCustomerParts.h"
#include "reports/frmReportParms.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTest>

namespace {
// KELVARA_SCREENSHOTS=<folder> keeps a picture of the window there.
void keepPicture(QWidget &window, const QString &name)
{
    const QString folder = qEnvironmentVariable("KELVARA_SCREENSHOTS");
    if (!folder.isEmpty())
        window.grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}
} // namespace

class TestDailyParts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void partsPerCustomer()
    {
        DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("100-A"), QStringLiteral("200-B")});
        CustomerReportParts corvix(world.db, QStringLiteral("Corvix"));
        CustomerReportParts velmar(world.db, QStringLiteral("Velmar"));
        QVERIFY(corvix.add(QStringLiteral("200-B")));
        QVERIFY(!corvix.add(QStringLiteral("200-B"))); // already there
        QVERIFY(!corvix.add(QStringLiteral("999-Z"))); // no such job
        QCOMPARE(corvix.parts(), QStringList{QStringLiteral("200-B")});
        QCOMPARE(corvix.otherJobs(), QStringList{QStringLiteral("100-A")});
        QCOMPARE(velmar.otherJobs().size(), 2);
        QVERIFY(corvix.remove(QStringLiteral("200-B")));
        QVERIFY(!corvix.remove(QStringLiteral("200-B")));
        QVERIFY(corvix.parts().isEmpty());
    }

    void windowAddsAndRemoves()
    {
        DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("100-A"), QStringLiteral("200-B")});
        CustomerReportParts parts(world.db, QStringLiteral("Corvix"));
        frmCustomerParts window(*world.session, parts);
        window.show();
        auto *list = window.findChild<QListWidget *>("lstParts");
        window.findChild<QComboBox *>("cmbJob")->setCurrentText(QStringLiteral("200-B"));
        window.findChild<QPushButton *>("cmdAdd")->click();
        window.findChild<QPushButton *>("cmdAdd")->click();
        QCOMPARE(list->count(), 2);
        keepPicture(window, QStringLiteral("frmCustomerParts"));
        QCOMPARE(parts.parts(), (QStringList{QStringLiteral("100-A"), QStringLiteral("200-B")}));
        QVERIFY(!window.findChild<QPushButton *>("cmdAdd")->isEnabled()); // every job is on the report
        list->setCurrentRow(0);
        window.findChild<QPushButton *>("cmdRemove")->click();
        QCOMPARE(parts.parts(), QStringList{QStringLiteral("200-B")});
        QVERIFY(world.prompter.messages().isEmpty());
    }

    void partsButtonForManagersOnly_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("shown");
        QTest::newRow("manager, Corvix") << "C" << int(ReportTypes::DailyCorvix) << true;
        QTest::newRow("manager, Velmar") << "C" << int(ReportTypes::DailyVelmar) << true;
        QTest::newRow("supervisor, Corvix") << "A" << int(ReportTypes::DailyCorvix) << false;
        QTest::newRow("manager, counts") << "C" << int(ReportTypes::ProductionCounts) << false;
    }

    void partsButtonForManagersOnly()
    {
        QFETCH(QString, level);
        QFETCH(int, type);
        QFETCH(bool, shown);
        DatabaseWorld world(level);
        ReportDatabase::ensure(*world.paths);
        world.session->selectedReportType = type;
        frmReportParms window(*world.session);
        QVERIFY(window.load());
        window.show();
        QCOMPARE(window.findChild<QPushButton *>("cmdParts")->isVisible(), shown);
        if (shown && type == ReportTypes::DailyCorvix)
            keepPicture(window, QStringLiteral("frmReportParms-daily"));
    }

    // OK of the report window: rejects report, update report, then the question.
    void windowRunsTheRejectFlow()
    {
        DatabaseWorld world;
        ReportFixture::fill(world.db);
        ReportDatabase::ensure(*world.paths);
        world.session->options().setReportFilename(6,
                                                   ReportFixture::layoutPath(QStringLiteral("rejects.rpt")));
        world.session->options().setReportFilename(7,
                                                   ReportFixture::layoutPath(QStringLiteral("reject2.rpt")));
        world.session->selectedReportType = ReportTypes::Rejects;
        world.session->currentDate = QDate(1999, 8, 11);
        world.session->currentShift = 1;
        frmReportParms window(*world.session);
        QVERIFY(window.load());
        QStringList seen;
        window.setPreviewer([&](const ReportDocument &, const QString &title) { seen << title; });
        world.prompter.onAsk = [&](const PromptMessage &message) { seen << message.title; };
        world.prompter.script({MsgAnswer::No});
        window.findChild<QPushButton *>("cmdOKButton")->click();
        QCOMPARE(seen, (QStringList{QStringLiteral("Print Preview - Rejects by Reason Report"),
                                    QStringLiteral("Print Preview - Rejects by Reason Update"),
                                    QStringLiteral("Mark as Printed?")}));
        QCOMPARE(world.prompter.messages().last().text, ReportRun::markPrintedQuestion(true));
        QCOMPARE(
            world.db.scalar(QStringLiteral("SELECT SUM(\"Printed\") FROM \"Hold Distribution\"")).toInt(), 0);
    }
};

QTEST_MAIN(TestDailyParts)
#include "test_dailyparts.moc"
