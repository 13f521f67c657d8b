#include "TestSupport.h"

#include "sharing/CurrentUsersFile.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

// CURUSERS.DAT: the 80-byte records, who is listed, and that writing one record leaves every
// other byte of the file as it was.
class TestCurrentUsers : public QObject
{
    Q_OBJECT

private slots:
    void serialDates_data();
    void serialDates();
    void presentUntilExit();
    void rewritesOnlyItsOwnRecord();
    void partialRecordIsKept_data();
    void partialRecordIsKept();
    void unreadableRecordIsLeftAlone();
};

namespace {
const QDateTime kNoon(QDate(2026, 12, 8), QTime(12, 0));

QByteArray record(const QByteArray &name, const QByteArray &second, const QByteArray &time,
                  char filler = '\0')
{
    QByteArray raw = name.leftJustified(48, ' ') + second + time;
    return raw.leftJustified(80, filler);
}

QByteArray code(quint16 type)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian<quint16>(type, bytes.data());
    return bytes;
}

QByteArray stringValue(const QByteArray &text)
{
    QByteArray bytes = code(8) + QByteArray(2, '\0') + text;
    qToLittleEndian<quint16>(quint16(text.size()), bytes.data() + 2);
    return bytes;
}
} // namespace

void TestCurrentUsers::serialDates_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<double>("serial");
    QTest::newRow("epoch") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0.0;
    QTest::newRow("1 January 1900") << QDateTime(QDate(1900, 1, 1), QTime(0, 0)) << 2.0;
    QTest::newRow("2000 at 18:00") << QDateTime(QDate(2000, 1, 1), QTime(18, 0)) << 36526.75;
    QTest::newRow("before the epoch, 06:00") << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << -1.25;
}

void TestCurrentUsers::serialDates()
{
    QFETCH(QDateTime, when);
    QFETCH(double, serial);
    QCOMPARE(TaggedValue::toSerial(when), serial);
    QCOMPARE(TaggedValue::fromSerial(serial), when);
    const TaggedValue value = TaggedValue::date(when);
    QCOMPARE(value.size(), 10);
    QCOMPARE(TaggedValue::parse(value.bytes(), 0)->dateTime(), when);
}

void TestCurrentUsers::presentUntilExit()
{
    QTemporaryDir dir;
    CurrentUsersFile file = CurrentUsersFile::inFolder(dir.path());
    QVERIFY(file.currentUsers().isEmpty()); // no file yet
    QVERIFY(writeFile(file.path(), QByteArray()));
    QVERIFY(file.currentUsers().isEmpty());
    QVERIFY(file.recordPresent(QStringLiteral("Jane Doe")));
    QVERIFY(file.recordPresent(QStringLiteral("Bob Ray")));
    QCOMPARE(file.currentUsers(), (QStringList{QStringLiteral("Jane Doe"), QStringLiteral("Bob Ray")}));
    QVERIFY(file.recordExit(QStringLiteral("Jane Doe"), kNoon));
    QCOMPARE(file.currentUsers(), QStringList{QStringLiteral("Bob Ray")});
    const CurrentUserRecord first = file.records().first();
    QCOMPARE(first.number, 1);
    QCOMPARE(first.name, QStringLiteral("Jane Doe"));
    QCOMPARE(first.time->dateTime(), kNoon);
    // The next login reuses the record.
    QVERIFY(file.recordPresent(QStringLiteral("Jane Doe")));
    QCOMPARE(file.currentUsers(), (QStringList{QStringLiteral("Jane Doe"), QStringLiteral("Bob Ray")}));
    QCOMPARE(readFile(file.path()).size(), 160);
}

void TestCurrentUsers::rewritesOnlyItsOwnRecord()
{
    QTemporaryDir dir;
    CurrentUsersFile file = CurrentUsersFile::inFolder(dir.path());
    // Record 2 was written by another program: a text second value and bytes after the time.
    const QByteArray one = record("Ann Lee", code(0), code(1));
    const QByteArray two = record("Foreign Writer", stringValue("note"), code(1), '\x7e');
    const QByteArray three =
        record("Jane Doe", code(0), TaggedValue::date(kNoon.addDays(-3)).bytes(), '\x33');
    const QByteArray four = record("Tom Fry", code(0), code(1));
    QVERIFY(writeFile(file.path(), one + two + three + four));
    QCOMPARE(file.currentUsers(), (QStringList{QStringLiteral("Ann Lee"), QStringLiteral("Foreign Writer"),
                                               QStringLiteral("Tom Fry")}));

    QVERIFY(file.recordPresent(QStringLiteral("Jane Doe")));
    QVERIFY(file.recordExit(QStringLiteral("Foreign Writer"), kNoon));

    const QByteArray after = readFile(file.path());
    QCOMPARE(after.size(), 320);
    QCOMPARE(after.mid(0, 80), one);
    QCOMPARE(after.mid(240, 80), four);
    // Only the time value changed; the second value and the trailing bytes are as they were.
    QCOMPARE(after.mid(80, 56), two.left(56));
    QCOMPARE(after.mid(136, 10), TaggedValue::date(kNoon).bytes());
    QCOMPARE(after.mid(146, 14), two.mid(66, 14));
    QCOMPARE(after.mid(160, 50), three.left(50));
    QCOMPARE(after.mid(210, 2), code(1));
    QCOMPARE(after.mid(212, 28), three.mid(52, 28));
    QCOMPARE(file.currentUsers(),
             (QStringList{QStringLiteral("Ann Lee"), QStringLiteral("Jane Doe"), QStringLiteral("Tom Fry")}));
}

void TestCurrentUsers::partialRecordIsKept_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("user of record 2: the tail stays") << "Bob Ray" << 170 << QStringList{"Ann Lee"};
    QTest::newRow("new user: written at record 3")
        << "New Person" << 240 << QStringList{"Ann Lee", "Bob Ray"};
}

void TestCurrentUsers::partialRecordIsKept()
{
    QFETCH(QString, user);
    QTemporaryDir dir;
    CurrentUsersFile file = CurrentUsersFile::inFolder(dir.path());
    const QByteArray whole = record("Ann Lee", code(0), code(1)) + record("Bob Ray", code(0), code(1));
    const QByteArray tail(10, '\x42');
    QVERIFY(writeFile(file.path(), whole + tail));
    QCOMPARE(file.records().size(), 2);
    QCOMPARE(file.currentUsers(), (QStringList{QStringLiteral("Ann Lee"), QStringLiteral("Bob Ray")}));

    QVERIFY(file.recordExit(user, kNoon));

    const QByteArray after = readFile(file.path());
    QTEST(int(after.size()), "size");
    QCOMPARE(after.left(80), whole.left(80));
    if (after.size() == 170)
        QCOMPARE(after.right(10), tail);
    else
        QCOMPARE(file.records().at(2).name, user);
    QTEST(file.currentUsers(), "listed");
}

void TestCurrentUsers::unreadableRecordIsLeftAlone()
{
    QTemporaryDir dir;
    CurrentUsersFile file = CurrentUsersFile::inFolder(dir.path());
    // Type 9 has no length this program knows, so the time value cannot be found.
    const QByteArray odd = record("Jane Doe", code(9), code(1), '\x55');
    QVERIFY(writeFile(file.path(), odd));
    QVERIFY(file.currentUsers().isEmpty());
    QVERIFY(file.recordPresent(QStringLiteral("Jane Doe")));
    const QByteArray after = readFile(file.path());
    QCOMPARE(after.left(80), odd);
    QCOMPARE(after.size(), 160);
    QCOMPARE(file.currentUsers(), QStringList{QStringLiteral("Jane Doe")});
}

QTEST_GUILESS_MAIN(TestCurrentUsers)
#include "test_currentusers.moc"
