#include "TestSupport.h"

#include "foundation/CKelvaraOptions.h"
#include "foundation/Database.h"
#include "reports/ReportCatalog.h"

#include <QSqlDatabase>
#include <QtTest>

// The per-user settings: defaults, what is cached and what is reread, report files, column
// widths and the company name from the database.
class TestOptions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void emptyStoreGivesEmptyTexts();
    void reportFiles_data();
    void reportFiles();
    void reportSelectorsOutOfRange_data();
    void reportSelectorsOutOfRange();
    void loginCredentialsAreCached_data();
    void loginCredentialsAreCached();
    void optionsAreWrittenAndReread_data();
    void optionsAreWrittenAndReread();
    void companyNameWithoutADatabase();
    void companyNameFromDatabase_data();
    void companyNameFromDatabase();
    void columnWidthsSkipHiddenColumns();
    void storedWidthsThatAreNotWidths_data();
    void storedWidthsThatAreNotWidths();
    void columnWidthKeys();

private:
    CKelvaraOptions &options() { return m_world->session->options(); }
    QSettings &store() { return options().store(); }
    std::unique_ptr<CKelvaraOptions> reopened() const { return m_world->newOptions(); }

    std::unique_ptr<TestWorld> m_world;
};

void TestOptions::init()
{
    m_world = std::make_unique<TestWorld>();
}

void TestOptions::cleanup()
{
    m_world.reset();
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
}

void TestOptions::emptyStoreGivesEmptyTexts()
{
    QCOMPARE(options().DatabaseName(), QString());
    QCOMPARE(options().SystemDatabase(), QString());
    QCOMPARE(options().AdminUserName(), QString());
    QCOMPARE(options().AdminUserPwd(), QString());
    QCOMPARE(options().SchedulePath(), QString());
    QCOMPARE(options().UserName(), QString());
    QCOMPARE(options().UserPwd(), QString());
    // Reading never writes a default into the store.
    QCOMPARE(store().allKeys(), QStringList());
}

void TestOptions::reportFiles_data()
{
    QTest::addColumn<int>("selector");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("fileName");

    // Plants' settings hold these keys at these selectors: a report added comes after them, and
    // none of them is renamed or moved.
    const QStringList kept{QStringLiteral("Production Counts"),
                           QStringLiteral("Transfer List"),
                           QStringLiteral("On Hold Report"),
                           QStringLiteral("Unresolved Hold Report"),
                           QStringLiteral("Production Summary Detail"),
                           QStringLiteral("Production Summary"),
                           QStringLiteral("Reject Report"),
                           QStringLiteral("Reject Report Update"),
                           QStringLiteral("Missing Holds Report"),
                           QStringLiteral("Daily Corvix Report"),
                           QStringLiteral("Daily Velmar Report"),
                           QStringLiteral("Change History")};
    const QList<ReportFile> files = ReportCatalog::reportFiles();
    for (int selector = 0; selector < kept.size(); ++selector)
        QCOMPARE(files.value(selector).title, kept[selector]);
    for (int selector = 0; selector < files.size(); ++selector)
        QTest::newRow(qPrintable(files[selector].title))
            << selector << files[selector].title << files[selector].fileName;
}

void TestOptions::reportFiles()
{
    QFETCH(int, selector);
    QFETCH(QString, title);
    QFETCH(QString, fileName);

    // The default is the file beside the program.
    QCOMPARE(options().ReportFilename(selector), m_world->paths->programFolder() + '/' + fileName);

    const QString chosen = QStringLiteral("/plant/reports, shared/%1 'final'.rpt").arg(selector);
    options().setReportFilename(selector, chosen);
    QCOMPARE(store().value(QStringLiteral("ReportFiles/") + title).toString(), chosen);
    QCOMPARE(reopened()->ReportFilename(selector), chosen);
    // Each report has a key of its own, even where two share a default file.
    for (int other = 0; other < ReportCatalog::reportFiles().size(); ++other) {
        if (other != selector)
            QVERIFY(options().ReportFilename(other).startsWith(m_world->paths->programFolder()));
    }
}

void TestOptions::reportSelectorsOutOfRange_data()
{
    QTest::addColumn<int>("selector");

    QTest::newRow("one past the catalog") << int(ReportCatalog::reportFiles().size());
    QTest::newRow("-1") << -1;
    QTest::newRow("far out") << 1000;
}

void TestOptions::reportSelectorsOutOfRange()
{
    QFETCH(int, selector);

    QCOMPARE(options().ReportFilename(selector), QString());
    options().setReportFilename(selector, QStringLiteral("/tmp/x.rpt"));
    QCOMPARE(store().allKeys(), QStringList());
    QCOMPARE(options().ReportFilename(selector), QString());
}

void TestOptions::loginCredentialsAreCached_data()
{
    QTest::addColumn<QString>("key");

    QTest::newRow("UserName") << "UserName";
    QTest::newRow("UserPwd") << "UserPW";
}

void TestOptions::loginCredentialsAreCached()
{
    QFETCH(QString, key);

    const bool name = key == QLatin1String("UserName");
    const auto get = [&](CKelvaraOptions &o) { return name ? o.UserName() : o.UserPwd(); };
    const auto set = [&](CKelvaraOptions &o, const QString &v) { name ? o.setUserName(v) : o.setUserPwd(v); };
    const QString storeKey = QStringLiteral("Options/") + key;

    // Setting only changes the cache; the store is written by SaveLoginCredentials.
    set(options(), QStringLiteral("x"));
    QCOMPARE(get(options()), QStringLiteral("x"));
    QVERIFY(!store().contains(storeKey));
    options().SaveLoginCredentials();
    QCOMPARE(store().value(storeKey).toString(), QStringLiteral("x"));

    // A later run reads the store once, then keeps its cache.
    auto later = reopened();
    QCOMPARE(get(*later), QStringLiteral("x"));
    store().setValue(storeKey, QStringLiteral("changed elsewhere"));
    store().sync();
    QCOMPARE(get(*later), QStringLiteral("x"));
    // An empty cache is filled from the store again.
    set(*later, QString());
    QCOMPARE(get(*later), QStringLiteral("changed elsewhere"));
}

void TestOptions::optionsAreWrittenAndReread_data()
{
    QTest::addColumn<QString>("key");

    QTest::newRow("DatabaseName") << "DBName";
    QTest::newRow("SystemDatabase") << "SystemDB";
    QTest::newRow("AdminUserName") << "DefaultUser";
    QTest::newRow("AdminUserPwd") << "DefaultPW";
    QTest::newRow("SchedulePath") << "SchedulePath";
}

void TestOptions::optionsAreWrittenAndReread()
{
    QFETCH(QString, key);

    using Get = QString (CKelvaraOptions::*)();
    using Set = void (CKelvaraOptions::*)(const QString &);
    const QHash<QString, QPair<Get, Set>> members{
        {QStringLiteral("DBName"), {&CKelvaraOptions::DatabaseName, &CKelvaraOptions::setDatabaseName}},
        {QStringLiteral("SystemDB"), {&CKelvaraOptions::SystemDatabase, &CKelvaraOptions::setSystemDatabase}},
        {QStringLiteral("DefaultUser"),
         {&CKelvaraOptions::AdminUserName, &CKelvaraOptions::setAdminUserName}},
        {QStringLiteral("DefaultPW"), {&CKelvaraOptions::AdminUserPwd, &CKelvaraOptions::setAdminUserPwd}},
        {QStringLiteral("SchedulePath"), {&CKelvaraOptions::SchedulePath, &CKelvaraOptions::setSchedulePath}},
    };
    const auto [get, set] = members.value(key);
    const QString storeKey = QStringLiteral("Options/") + key;

    // Written at once, as plain text, and kept for the next run.
    const QString value = QStringLiteral("\\\\server\\prod, main\\QUORVEL.MDB \"x\" @ 'y'");
    (options().*set)(value);
    QCOMPARE(store().value(storeKey).toString(), value);
    QCOMPARE((options().*get)(), value);
    QCOMPARE((reopened().get()->*get)(), value);

    // Every read goes back to the store.
    store().setValue(storeKey, QStringLiteral("changed elsewhere"));
    store().sync();
    QCOMPARE((options().*get)(), QStringLiteral("changed elsewhere"));
    store().remove(storeKey);
    QCOMPARE((options().*get)(), QString());
}

void TestOptions::companyNameWithoutADatabase()
{
    // No database named: empty, and no attempt to open one (which would fail on the empty path).
    QCOMPARE(options().CompanyName(), QString());
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
    // A named file that is gone: the open's error reaches the caller.
    options().setDatabaseName(m_world->file(QStringLiteral("gone.mdb")));
    const auto error = errorOf<DatabaseError>([&] { options().CompanyName(); });
    QVERIFY2(error, "a missing database gave a company name");
    QCOMPARE(error->number(), DbErrors::FileNotFound);
}

void TestOptions::companyNameFromDatabase_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("expected");

    QTest::newRow("null") << QVariant() << "";
    QTest::newRow("named") << QVariant(QStringLiteral("Quorvel Plastics")) << "Quorvel Plastics";
    QTest::newRow("apostrophe") << QVariant(QStringLiteral("O'Neil's Molding")) << "O'Neil's Molding";
}

void TestOptions::companyNameFromDatabase()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, expected);

    m_world->createDatabase();
    m_world->openDatabase().exec(QStringLiteral("UPDATE \"CompanyInfo\" SET \"CompanyName\" = :n"),
                                 {{QStringLiteral("n"), stored}});
    // A fresh options object has no cached path and finds it through DatabaseName.
    auto fresh = reopened();
    QCOMPARE(fresh->CompanyName(), expected);
    // The database is closed again after each call, and each call reads it anew.
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
    m_world->openDatabase().exec(QStringLiteral("UPDATE \"CompanyInfo\" SET \"CompanyName\" = 'Renamed'"));
    QCOMPARE(fresh->CompanyName(), QStringLiteral("Renamed"));
}

void TestOptions::columnWidthsSkipHiddenColumns()
{
    store().setValue(QStringLiteral("ColWidths/JOBLIST-Date"), QStringLiteral("333"));
    store().setValue(QStringLiteral("ColWidths/JOBLIST-Shift"), QStringLiteral("44"));
    QList<GridColumn> columns{{QStringLiteral("Job ID"), 60, true},
                              {QStringLiteral("Date"), 90, false},
                              {QStringLiteral("Shift"), 40, true},
                              {QStringLiteral("Machine Number"), 120.5, true}};

    // The hidden column's stored width is not read...
    options().GetColumnWidths(QStringLiteral("JOBLIST"), columns);
    QCOMPARE(columns[0].width, 60.0);
    QCOMPARE(columns[1].width, 90.0);
    QCOMPARE(columns[2].width, 44.0);

    // ...nor written.
    columns[1].width = 10;
    options().SaveColumnWidths(QStringLiteral("JOBLIST"), columns);
    QCOMPARE(store().value(QStringLiteral("ColWidths/JOBLIST-Date")).toString(), QStringLiteral("333"));
    QCOMPARE(store().value(QStringLiteral("ColWidths/JOBLIST-Job ID")).toString(), QStringLiteral("60"));
    QCOMPARE(store().value(QStringLiteral("ColWidths/JOBLIST-Shift")).toString(), QStringLiteral("44"));
    QCOMPARE(store().value(QStringLiteral("ColWidths/JOBLIST-Machine Number")).toString(),
             QStringLiteral("120.5"));
}

void TestOptions::storedWidthsThatAreNotWidths_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<double>("width");

    QTest::newRow("a number") << "150" << 150.0;
    QTest::newRow("a fraction") << "87.25" << 87.25;
    QTest::newRow("text") << "wide" << 75.0;
    QTest::newRow("empty") << "" << 75.0;
    QTest::newRow("zero") << "0" << 75.0;
    QTest::newRow("negative") << "-20" << 75.0;
}

void TestOptions::storedWidthsThatAreNotWidths()
{
    QFETCH(QString, stored);
    QFETCH(double, width);

    // A damaged setting must not stop the window from opening: the column keeps its width.
    store().setValue(QStringLiteral("ColWidths/Rejects-Job ID"), stored);
    QList<GridColumn> columns{{QStringLiteral("Job ID"), 75, true}};
    options().GetColumnWidths(QStringLiteral("Rejects"), columns);
    QCOMPARE(columns[0].width, width);
}

void TestOptions::columnWidthKeys()
{
    // Sections are kept apart, case included, even for columns of the same caption; a caption
    // with a slash is one key, not a group.
    const QList<GridColumn> transfers{{QStringLiteral("Job ID"), 70, true}};
    const QList<GridColumn> shiftData{{QStringLiteral("Job ID"), 95, true}};
    const QList<GridColumn> rejects{{QStringLiteral("Molding/ Other (F5)"), 110, true},
                                    {QStringLiteral("Other (F10)"), 55, true}};
    options().SaveColumnWidths(QStringLiteral("TRANSFERS"), transfers);
    options().SaveColumnWidths(QStringLiteral("XFERSHIFTDATA"), shiftData);
    options().SaveColumnWidths(QStringLiteral("Rejects"), rejects);

    auto later = reopened();
    QList<GridColumn> read{{QStringLiteral("Job ID"), 1, true}};
    later->GetColumnWidths(QStringLiteral("TRANSFERS"), read);
    QCOMPARE(read[0].width, 70.0);
    later->GetColumnWidths(QStringLiteral("XFERSHIFTDATA"), read);
    QCOMPARE(read[0].width, 95.0);
    read[0].width = 1;
    later->GetColumnWidths(QStringLiteral("REJECTS"), read);
    QCOMPARE(read[0].width, 1.0);

    QList<GridColumn> reasons{{QStringLiteral("Molding/ Other (F5)"), 1, true},
                              {QStringLiteral("Other (F10)"), 1, true}};
    later->GetColumnWidths(QStringLiteral("Rejects"), reasons);
    QCOMPARE(reasons[0].width, 110.0);
    QCOMPARE(reasons[1].width, 55.0);
    QList<GridColumn> wrongSection{{QStringLiteral("Molding/ Other (F5)"), 1, true}};
    later->GetColumnWidths(QStringLiteral("rejects"), wrongSection);
    QCOMPARE(wrongSection[0].width, 1.0);
}

QTEST_GUILESS_MAIN(TestOptions)
#include "test_options.moc"
