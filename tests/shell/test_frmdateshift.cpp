#include "TestSupport.h"

#include "foundation/DateShift.h"
#include "shell/frmDateChk.h"
#include "shell/frmDateShift.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

// The date and shift chooser and its date check, driven as a user would.
class TestFrmDateShift : public QObject
{
    Q_OBJECT

private slots:
    void checksTheDate_data();
    void checksTheDate();
    void refusesBadShifts_data();
    void refusesBadShifts();
    void keepsItsLastEntriesAndCancelChangesNothing();
    void nothingSelected();
};

namespace {
const QDate kToday(2026, 12, 8);
const QDate kLatest(2026, 12, 7);

struct Seen
{
    bool checkShown = false;
    int preselected = -1;
    QStringList captions;
    bool stillOpen = false;
    QDate box;
};

void click(QWidget *form, const QString &button)
{
    QPushButton *target = form->findChild<QPushButton *>(button);
    QVERIFY2(target, qPrintable(button));
    target->click();
}

// Types date and shift into the chooser and presses OK; a check dialog, if one comes, is answered
// with the given option (-1: as preselected). A chooser still open afterwards is cancelled.
Seen choose(frmDateShift &form, const QDate &typed, const QString &shift, int answer)
{
    Seen seen;
    auto active = std::make_shared<bool>(true);
    QTimer::singleShot(0, &form, [&, active] {
        form.findChild<QDateEdit *>(QStringLiteral("tdbtDate"))->setDate(typed);
        form.findChild<QLineEdit *>(QStringLiteral("txtShift"))->setText(shift);
        QTimer::singleShot(0, &form, [&, active] {
            auto *check = qobject_cast<frmDateChk *>(form.dateCheck());
            if (!*active || !check)
                return;
            seen.checkShown = true;
            seen.preselected = check->selectedOption();
            for (int i = 0; i < 3; ++i)
                seen.captions << check->findChild<QRadioButton *>(QStringLiteral("optDate%1").arg(i))->text();
            if (answer >= 0)
                check->findChild<QRadioButton *>(QStringLiteral("optDate%1").arg(answer))->setChecked(true);
            click(check, QStringLiteral("cmdOKButton"));
        });
        click(&form, QStringLiteral("cmdOKButton"));
        seen.stillOpen = form.isVisible();
        seen.box = form.findChild<QDateEdit *>(QStringLiteral("tdbtDate"))->date();
        if (form.isVisible())
            click(&form, QStringLiteral("cmdCancelButton"));
    });
    form.choose();
    *active = false;
    return seen;
}
} // namespace

void TestFrmDateShift::checksTheDate_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QDate>("typed");
    QTest::addColumn<QString>("shift");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("checkShown");
    QTest::addColumn<int>("preselected");
    QTest::addColumn<QDate>("chosen");

    QTest::newRow("shift 3 at 07:30 with yesterday")
        << QTime(7, 30) << kLatest << "3" << -1 << false << -1 << kLatest;
    QTest::newRow("shift 3 at 07:30 with today")
        << QTime(7, 30) << kToday << "3" << -1 << true << 1 << kToday;
    QTest::newRow("shift 3 at 06:30 with today takes the latest date")
        << QTime(6, 30) << kToday << "3" << -1 << true << 0 << kLatest;
    QTest::newRow("shift 2 with another date, kept")
        << QTime(14, 0) << QDate(2026, 11, 2) << "2" << 2 << true << 1 << QDate(2026, 11, 2);
    QTest::newRow("shift 2 with another date, today")
        << QTime(14, 0) << QDate(2026, 11, 2) << "2" << -1 << true << 1 << kToday;
    QTest::newRow("option 3: type again")
        << QTime(14, 0) << QDate(2026, 11, 2) << "1" << 3 << true << 1 << QDate();
}

void TestFrmDateShift::checksTheDate()
{
    QFETCH(QTime, time);
    QFETCH(QDate, typed);
    QFETCH(QString, shift);
    QFETCH(int, answer);
    QFETCH(QDate, chosen);
    TestWorld world;
    world.clock.set(kToday, time);
    world.session->latestProductionDate = kLatest;
    frmDateShift form(*world.session);

    const Seen seen = choose(form, typed, shift, answer);

    QTEST(seen.checkShown, "checkShown");
    QTEST(seen.preselected, "preselected");
    QCOMPARE(world.session->currentDate, chosen);
    QCOMPARE(world.session->currentShift, chosen.isValid() ? shift.toInt() : 0);
    if (seen.checkShown)
        QCOMPARE(seen.captions, (QStringList{longDate(kLatest), longDate(kToday), longDate(typed)}));
    // Typing again leaves the chooser open with the typed date back in the box.
    QCOMPARE(seen.stillOpen, answer == 3);
    if (answer == 3)
        QCOMPARE(seen.box, typed);
    QVERIFY(world.prompter.messages().isEmpty());
}

void TestFrmDateShift::refusesBadShifts_data()
{
    QTest::addColumn<QString>("shift");
    QTest::addColumn<bool>("message");
    QTest::newRow("0") << "0" << true;
    QTest::newRow("4") << "4" << true;
    QTest::newRow("blank") << " " << true;
    QTest::newRow("letter") << "x" << true;
    QTest::newRow("empty: focus only") << "" << false;
}

void TestFrmDateShift::refusesBadShifts()
{
    QFETCH(QString, shift);
    QFETCH(bool, message);
    TestWorld world;
    world.session->latestProductionDate = kLatest;
    frmDateShift form(*world.session);
    const Seen seen = choose(form, kToday, shift, -1);
    QVERIFY(seen.stillOpen);
    QVERIFY(!world.session->currentDate.isValid());
    QCOMPARE(world.prompter.messages().size(), message ? 1 : 0);
    if (message) {
        const PromptMessage &shown = world.prompter.messages().first();
        QCOMPARE(shown.text,
                 QStringLiteral("You must enter a single digit, either 1, 2, or 3 in the Shift field."));
        QCOMPARE(shown.title, programTitle());
        QCOMPARE(shown.icon, MsgIcon::None);
    }
}

void TestFrmDateShift::keepsItsLastEntriesAndCancelChangesNothing()
{
    TestWorld world;
    world.clock.set(kToday, QTime(10, 0));
    world.session->latestProductionDate = kLatest;
    frmDateShift form(*world.session);
    choose(form, kToday, QStringLiteral("2"), -1);
    QCOMPARE(world.session->currentDateShift(), (DateShift{kToday, 2}));
    QVERIFY(!form.isVisible());
    QDate shownDate;
    QString shownShift;
    QTimer::singleShot(0, &form, [&] {
        shownDate = form.findChild<QDateEdit *>(QStringLiteral("tdbtDate"))->date();
        shownShift = form.findChild<QLineEdit *>(QStringLiteral("txtShift"))->text();
        form.findChild<QLineEdit *>(QStringLiteral("txtShift"))->setText(QStringLiteral("3"));
        click(&form, QStringLiteral("cmdCancelButton"));
    });
    form.choose();
    QCOMPARE(shownDate, kToday);
    QCOMPARE(shownShift, QStringLiteral("2"));
    // Cancel leaves the current date-shift as it was, whatever was typed.
    QCOMPARE(world.session->currentDateShift(), (DateShift{kToday, 2}));
}

void TestFrmDateShift::nothingSelected()
{
    TestWorld world;
    frmDateChk check(*world.session);
    check.setDates(kLatest, kToday, QDate(2026, 11, 2));
    check.show();
    click(&check, QStringLiteral("cmdOKButton"));
    QCOMPARE(world.prompter.titles(), QStringList{QStringLiteral("Selection Error")});
    QCOMPARE(world.prompter.messages().first().text,
             QStringLiteral("You have not selected a date yet.  Please do so now."));
    QCOMPARE(world.prompter.messages().first().icon, MsgIcon::Exclamation);
    QVERIFY(check.isVisible());
    QCOMPARE(check.result(), 0);
}

QTEST_MAIN(TestFrmDateShift)
#include "test_frmdateshift.moc"
