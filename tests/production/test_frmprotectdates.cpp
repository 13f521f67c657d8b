#include "DataWindowFixture.h"
#include "TestSupport.h"

#include "production/protection/frmProtectDates2.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

// The protection calendar window: what it shows on opening, the spinners, and the check boxes
// and double-click writing the protection.
class TestFrmProtectDates : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensOnTodaysMonthAndSteps();
    void checkBoxAndDoubleClick();
    void anotherWorkstationsProtectionShows();

private:
    int protectedOn(const QDate &date, int shift) const;
    QCheckBox *box(int shift) const
    {
        return m_window->findChild<QCheckBox *>(QStringLiteral("chkShifts%1").arg(shift));
    }

    std::unique_ptr<DatabaseWorld> m_world;
    QPointer<frmProtectDates2> m_window;
};

namespace {
const QString kJob = QStringLiteral("A-100");
const QDate kWednesday(2026, 12, 2); // row 0, column 3 of December 2026
} // namespace

void TestFrmProtectDates::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{kJob});
    for (int shift = 1; shift <= 3; ++shift)
        Fixture::line(m_world->db, kWednesday, shift, 1, kJob);
    Fixture::hold(m_world->db, Fixture::line(m_world->db, kWednesday, 2, 2, kJob), 501, 10);
}

void TestFrmProtectDates::cleanup()
{
    DataWindowFixture::close(m_window);
    m_world.reset();
}

int TestFrmProtectDates::protectedOn(const QDate &date, int shift) const
{
    return m_world->db
        .scalar(
            QStringLiteral("SELECT MAX(\"Protected Record\") FROM \"Production Table\" WHERE \"Date\" = :d "
                           "AND \"Shift\" = :s"),
            {{QStringLiteral("d"), sqlDate(date)}, {QStringLiteral("s"), shift}})
        .toInt();
}

void TestFrmProtectDates::opensOnTodaysMonthAndSteps()
{
    m_window = DataWindowFixture::open<frmProtectDates2>(*m_world->session, {});
    QVERIFY(m_window);
    QCOMPARE(m_world->session->openDataForms(), 1);
    auto *lblMth = m_window->findChild<QLabel *>(QStringLiteral("lblMth"));
    QCOMPARE(lblMth->text(), QStringLiteral("December, 2026"));
    auto *calendar = m_window->findChild<QTableView *>(QStringLiteral("tblCalendar"));
    QCOMPARE(calendar->model()->rowCount(), 6);
    QCOMPARE(calendar->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Sunday"));
    QCOMPARE(calendar->model()->index(0, 0).data().toString(), QStringLiteral("29"));
    // The first cell (November 29th) has no lines: no box to tick.
    for (int shift = 1; shift <= 3; ++shift)
        QVERIFY(box(shift)->isHidden());
    auto *unresolved = m_window->findChild<QTableView *>(QStringLiteral("tblUnresolvedLookup"));
    QCOMPARE(unresolved->model()->rowCount(), 1);
    QCOMPARE(unresolved->model()->index(0, 0).data().toString(), QStringLiteral("12/02/2026"));

    QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("udnMthSpinnerUp")), Qt::LeftButton);
    QCOMPARE(lblMth->text(), QStringLiteral("January, 2027"));
    QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("udnYrSpinnerDown")), Qt::LeftButton);
    QCOMPARE(lblMth->text(), QStringLiteral("January, 2026"));
    QCOMPARE(calendar->model()->index(0, 0).data().toString(), QStringLiteral("28"));
    QVERIFY(m_world->prompter.messages().isEmpty());
}

void TestFrmProtectDates::checkBoxAndDoubleClick()
{
    m_window = DataWindowFixture::open<frmProtectDates2>(*m_world->session, {});
    QVERIFY(m_window);
    auto *calendar = m_window->findChild<QTableView *>(QStringLiteral("tblCalendar"));
    calendar->setCurrentIndex(calendar->model()->index(0, 3));
    QVERIFY(!box(2)->isHidden());
    QVERIFY(!box(2)->isChecked());
    const QColor open = calendar->model()->index(0, 3).data(Qt::BackgroundRole).value<QBrush>().color();
    QCOMPARE(open, QColor(255, 0, 0));

    // The box protects shift 2 although it has an unresolved hold.
    box(2)->click();
    QCOMPARE(protectedOn(kWednesday, 2), 1);

    // The double-click toggles shifts 1 and 3 and skips shift 2.
    m_window->toggleDay(0, 3);
    QCOMPARE(protectedOn(kWednesday, 1), 1);
    QCOMPARE(protectedOn(kWednesday, 2), 1);
    QCOMPARE(protectedOn(kWednesday, 3), 1);
    QVERIFY(box(1)->isChecked() && box(2)->isChecked() && box(3)->isChecked());
    const QColor closed = calendar->model()->index(0, 3).data(Qt::BackgroundRole).value<QBrush>().color();
    QCOMPARE(closed, QColor(0, 255, 0));
    QVERIFY(m_world->prompter.messages().isEmpty());
}

// Protection set and holds disposed of on another workstation show without any action; the
// current day and the current row of the unresolved list stay.
void TestFrmProtectDates::anotherWorkstationsProtectionShows()
{
    const QDate thursday = kWednesday.addDays(1);
    const qint64 second =
        Fixture::hold(m_world->db, Fixture::line(m_world->db, thursday, 1, 2, kJob), 502, 10);
    m_window = DataWindowFixture::open<frmProtectDates2>(*m_world->session, {});
    QVERIFY(m_window);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    auto *calendar = m_window->findChild<QTableView *>(QStringLiteral("tblCalendar"));
    auto *unresolved = m_window->findChild<QTableView *>(QStringLiteral("tblUnresolvedLookup"));
    calendar->setCurrentIndex(calendar->model()->index(0, 3));
    QCOMPARE(unresolved->model()->rowCount(), 2);
    unresolved->setCurrentIndex(unresolved->model()->index(1, 0));
    QVERIFY(!box(1)->isChecked());

    const Database other = m_world->openDatabase();
    Fixture::protect(other, kWednesday, 1);
    Fixture::hold(other, Fixture::line(other, kWednesday, 3, 3, kJob), 503, 10);
    QTRY_VERIFY_WITH_TIMEOUT(box(1)->isChecked(), 10000);
    QCOMPARE(calendar->currentIndex(), calendar->model()->index(0, 3));
    QTRY_COMPARE(unresolved->model()->rowCount(), 3);
    QCOMPARE(unresolved->currentIndex().siblingAtColumn(0).data().toString(), QStringLiteral("12/03/2026"));

    // The current row's hold is disposed of there: the row goes, the cursor stays on the list.
    other.exec(QStringLiteral("UPDATE \"Hold Table\" SET \"Disposed of\" = 1 WHERE \"Hold Ticket ID\" = :id"),
               {{QStringLiteral("id"), second}});
    QTRY_COMPARE_WITH_TIMEOUT(unresolved->model()->rowCount(), 2, 10000);
    QCOMPARE(unresolved->currentIndex().row(), 1);
}

QTEST_MAIN(TestFrmProtectDates)
#include "test_frmprotectdates.moc"
