#include "TestSupport.h"

#include "tools/ColorFeederSheet.h"

#include <QtTest>

// The rules of the color feeder calibration sheet, on a real database.
class TestColorFeeder : public QObject
{
    Q_OBJECT

private slots:
    void leadingNumber_data();
    void leadingNumber();
    void feederSetting_data();
    void feederSetting();
    void newFindsThePlaceholder();
    void saveRefusesWhatIsNotANumber_data();
    void saveRefusesWhatIsNotANumber();
    void saveWritesOnlyChangedFields();
    void saveDetectsAChangeElsewhere();
};

namespace {
qint64 addSheet(const Database &db, const QString &job, int code, double shot)
{
    const QSqlQuery query =
        db.exec(QStringLiteral("INSERT INTO \"Color Table\" (\"Job Number\", \"Color Feeder Code\", "
                               "\"Color Name\", \"Shot Weight\", \"Cal1\") VALUES (:j, :c, 'Amber', "
                               ":s, 20)"),
                {{QStringLiteral("j"), job}, {QStringLiteral("c"), code}, {QStringLiteral("s"), shot}});
    return db.lastInsertId(query);
}

QMap<QString, QString> textsOf(const ColorSheet &sheet)
{
    QMap<QString, QString> texts;
    for (const QString &field : ColorFeederSheet::fields())
        texts.insert(field, ColorFeederSheet::displayText(sheet.values.value(field)));
    return texts;
}
} // namespace

void TestColorFeeder::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::newRow("plain") << "12.5" << 12.5;
    QTest::newRow("letters after") << "12abc" << 12.0;
    QTest::newRow("blanks before") << "  7 gms" << 7.0;
    QTest::newRow("exponent") << "-.5e1x" << -5.0;
    QTest::newRow("dangling exponent") << "3e" << 3.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("no number") << "abc12" << 0.0;
}

void TestColorFeeder::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, number);
    QCOMPARE(ColorFeederSheet::leadingNumber(text), number);
}

void TestColorFeeder::feederSetting_data()
{
    QTest::addColumn<QString>("shot");
    QTest::addColumn<QString>("usage");
    QTest::addColumn<QStringList>("readings");
    QTest::addColumn<QString>("setting");
    QTest::newRow("even readings") << "50"
                                   << "2" << QStringList(5, QStringLiteral("10")) << "10";
    QTest::newRow("all empty") << "50"
                               << "2" << QStringList(5, QString()) << "Undefined";
    QTest::newRow("cancelling readings") << "50"
                                         << "2" << QStringList{"5", "-5", "", "", ""} << "Undefined";
    QTest::newRow("fifteen digits") << "1"
                                    << "1" << QStringList{"3", "3", "3", "3", "3"} << "0.333333333333333";
    QTest::newRow("typed with letters") << "50abc"
                                        << "2" << QStringList{"12abc", "8", "10", "10", "10"} << "10";
}

void TestColorFeeder::feederSetting()
{
    QFETCH(QString, shot);
    QFETCH(QString, usage);
    QFETCH(QStringList, readings);
    QFETCH(QString, setting);
    QCOMPARE(ColorFeederSheet::feederSetting(shot, usage, readings), setting);
}

void TestColorFeeder::newFindsThePlaceholder()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("10-1042"), QStringLiteral("10-1187")});
    const ColorFeederSheet sheet(world.db);
    QVERIFY(sheet.feederCodes(QStringLiteral("10-1042")).isEmpty());

    const qint64 first = sheet.addPlaceholder(QStringLiteral("10-1042"), std::nullopt);
    QCOMPARE(sheet.feederCodes(QStringLiteral("10-1042")), QList<qint64>{999});
    QCOMPARE(sheet.addPlaceholder(QStringLiteral("10-1042"), std::nullopt), first);
    QCOMPARE(sheet.sheets(QStringLiteral("10-1042"), std::nullopt).size(), 1);
    // Another job gets its own, with the code given.
    const qint64 other = sheet.addPlaceholder(QStringLiteral("10-1187"), 3);
    QVERIFY(other != first);
    QCOMPARE(sheet.feederCodes(QStringLiteral("10-1187")), QList<qint64>{3});
    QCOMPARE(sheet.sheet(other)->values.value(QStringLiteral("Color Name")).toString(),
             ColorFeederSheet::placeholderName());
}

void TestColorFeeder::saveRefusesWhatIsNotANumber_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");
    QTest::newRow("reading") << "Cal3"
                             << "12abc"
                             << "Material Dispensed 3";
    QTest::newRow("shot weight") << "Shot Weight"
                                 << "4,5"
                                 << "Shot Weight";
    QTest::newRow("code with a fraction") << "Color Feeder Code"
                                          << "1.5"
                                          << "Color Feeder Code";
    QTest::newRow("code emptied") << "Color Feeder Code"
                                  << ""
                                  << "Color Feeder Code";
}

void TestColorFeeder::saveRefusesWhatIsNotANumber()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, named);
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("10-1042")});
    const ColorFeederSheet sheet(world.db);
    const qint64 id = addSheet(world.db, QStringLiteral("10-1042"), 1, 50);
    const ColorSheet before = *sheet.sheet(id);
    QMap<QString, QString> texts = textsOf(before);
    texts[QStringLiteral("Color Vendor")] = QStringLiteral("Clariant");
    texts[field] = text;

    QString badField;
    QCOMPARE(sheet.save(before, texts, badField), ColorFeederSheet::SaveResult::NotANumber);
    QCOMPARE(badField, named);
    QCOMPARE(sheet.sheet(id)->values, before.values);
}

void TestColorFeeder::saveWritesOnlyChangedFields()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("10-1042")});
    const ColorFeederSheet sheet(world.db);
    const qint64 id = addSheet(world.db, QStringLiteral("10-1042"), 1, 50);
    const ColorSheet before = *sheet.sheet(id);
    // Another workstation fills in the vendor; this one changes the readings only.
    world.db.exec(QStringLiteral("UPDATE \"Color Table\" SET \"Color Vendor\" = 'Ampacet'"));
    QMap<QString, QString> texts = textsOf(before);
    texts[QStringLiteral("Cal2")] = QStringLiteral("21.5");
    texts[QStringLiteral("Cal1")] = QString();

    QString badField;
    QCOMPARE(sheet.save(before, texts, badField), ColorFeederSheet::SaveResult::Saved);
    const ColorSheet after = *sheet.sheet(id);
    QCOMPARE(after.values.value(QStringLiteral("Cal2")).toDouble(), 21.5);
    QVERIFY(after.values.value(QStringLiteral("Cal1")).isNull());
    QCOMPARE(after.values.value(QStringLiteral("Color Vendor")).toString(), QStringLiteral("Ampacet"));
    QCOMPARE(after.values.value(QStringLiteral("Shot Weight")).toDouble(), 50.0);
}

void TestColorFeeder::saveDetectsAChangeElsewhere()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("10-1042")});
    const ColorFeederSheet sheet(world.db);
    const qint64 id = addSheet(world.db, QStringLiteral("10-1042"), 1, 50);
    const ColorSheet before = *sheet.sheet(id);
    world.db.exec(QStringLiteral("UPDATE \"Color Table\" SET \"Shot Weight\" = 55"));
    QMap<QString, QString> texts = textsOf(before);
    texts[QStringLiteral("Shot Weight")] = QStringLiteral("60");

    QString badField;
    QCOMPARE(sheet.save(before, texts, badField), ColorFeederSheet::SaveResult::ChangedElsewhere);
    QCOMPARE(sheet.sheet(id)->values.value(QStringLiteral("Shot Weight")).toDouble(), 55.0);
    QVERIFY(sheet.remove(id));
    QCOMPARE(sheet.save(before, texts, badField), ColorFeederSheet::SaveResult::Gone);
}

QTEST_GUILESS_MAIN(TestColorFeeder)
#include "test_colorfeeder.moc"
