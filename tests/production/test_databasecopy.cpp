#include "TestSupport.h"

#include "foundation/SavedQuerySpelling.h"
#include "foundation/ServerAddress.h"
#include "production/record/DatabaseCopy.h"
#include "production/record/SamplePlant.h"
#include "production/record/SavedQueries.h"
#include "production/record/Schema.h"
#include "production/record/ServerRoles.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportStaging.h"
#include "security/SecuritySettings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace {
const char *kNoServer =
    "KELVARA_TEST_SERVER is not set: no database server to copy to (scripts/test-server.sh "
    "starts one)";

QString serverUri(const QString &database, const QString &user = {})
{
    ServerAddress address = ServerAddress::parse(qEnvironmentVariable("KELVARA_TEST_SERVER")).on(database);
    if (!user.isEmpty())
        address.user = user;
    return address.uri();
}

// Names on the test server that are this run's own: databases dropped and login roles removed at
// the end.
class ServerNames
{
public:
    ~ServerNames()
    {
        try {
            Database server = Database::open(serverUri(QStringLiteral("postgres")));
            for (const QString &name : m_databases)
                server.exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name));
            for (const QString &name : m_roles)
                server.exec(QStringLiteral("DROP ROLE IF EXISTS \"%1\"").arg(name));
        } catch (const KelvaraError &) {
        }
    }
    QString database(const QString &what)
    {
        m_databases << QStringLiteral("kelvara_%1_%2").arg(what).arg(QCoreApplication::applicationPid());
        return m_databases.last();
    }
    QString role(const QString &what)
    {
        m_roles << QStringLiteral("%1_%2").arg(what).arg(QCoreApplication::applicationPid());
        return m_roles.last();
    }

private:
    QStringList m_databases, m_roles;
};

QString text(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(value.toByteArray().toHex());
    return value.toString();
}

// Every row of every table but the saved queries (whose texts take the engine's spelling), as text.
QStringList contents(const Database &db)
{
    QStringList rows;
    for (const SchemaTables::Table &table : SchemaTables::tables()) {
        if (table.name == QLatin1String("Saved Queries"))
            continue;
        const QStringList columns = SchemaTables::columnNames(table);
        QStringList order;
        for (int i = 1; i <= columns.size(); ++i)
            order << QString::number(i);
        QSqlQuery query = db.exec(
            QStringLiteral("SELECT * FROM \"%1\" ORDER BY %2").arg(table.name, order.join(QLatin1Char(','))));
        while (query.next()) {
            QStringList values{table.name};
            for (int i = 0; i < columns.size(); ++i)
                values << text(query.value(i));
            rows << values.join(QLatin1Char('|'));
        }
    }
    return rows;
}

qint64 count(const Database &db, const QString &sql)
{
    return db.scalar(sql).toLongLong();
}

qint64 addColor(const Database &db)
{
    return db.insert(QStringLiteral("INSERT INTO \"Color Table\" (\"Job Number\", \"Color Feeder Code\") "
                                    "SELECT MIN(\"Job Number\"), 9 FROM \"Job Lookup Table\""));
}

// A value for each parameter a seeded query takes, in the sample plant's weeks.
QVariantMap parametersOf(const Database &db, const QString &sql)
{
    static const QRegularExpression parameter(QStringLiteral("(?<!:):([A-Za-z]\\w*)"));
    const qint64 first =
        db.scalar(QStringLiteral("SELECT MIN(\"Job ID\") FROM \"Production Table\"")).toLongLong();
    const qint64 last =
        db.scalar(QStringLiteral("SELECT MAX(\"Job ID\") FROM \"Production Table\"")).toLongLong();
    QVariantMap values;
    for (QRegularExpressionMatchIterator it = parameter.globalMatch(sql); it.hasNext();) {
        const QString name = it.next().captured(1);
        QVariant value = 1;
        if (name.startsWith(QLatin1String("Lo")) || name.startsWith(QLatin1String("High")))
            value = QStringLiteral("2026-11-01"); // the hold tickets' range runs from High to Low
        else if (name.startsWith(QLatin1String("Hi")) || name.startsWith(QLatin1String("Low")) ||
                 name == QLatin1String("Limit"))
            value = QStringLiteral("2026-12-08");
        else if (name.contains(QLatin1String("Date")) || name == QLatin1String("dt"))
            value = QStringLiteral("2026-12-07");
        else if (name == QLatin1String("FirstJID"))
            value = first;
        else if (name == QLatin1String("LastJID"))
            value = last;
        values.insert(name, value);
    }
    return values;
}

// The rows a saved query gives (a staging query's SELECT), or the rows a change touches, which is
// rolled back.
QStringList rowsOf(Database &db, const QString &name)
{
    QString sql = db.savedQuerySql(name);
    if (const auto staging = ReportStaging::Statement::parse(sql))
        sql = staging->select;
    QStringList rows;
    db.beginTransaction();
    QSqlQuery query = db.exec(sql, parametersOf(db, sql));
    if (!query.isSelect())
        rows << QStringLiteral("changed %1").arg(query.numRowsAffected());
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < query.record().count(); ++i)
            values << text(query.value(i));
        rows << values.join(QLatin1Char('|'));
    }
    query = QSqlQuery();
    db.rollback();
    return rows;
}

bool allSame(const DatabaseCopy::Result &result)
{
    return !result.lines.isEmpty() && std::all_of(result.lines.cbegin(), result.lines.cend(),
                                                  [](const DatabaseCopy::Line &line) { return line.same(); });
}
// The sample plant (or an empty plant) in a file of the test's world, with the program's saved
// queries.
QString plantFile(TestWorld &world, bool sample = true)
{
    const QString path = world.file(QStringLiteral("plant.mdb"));
    SamplePlant::createDatabase(path, QStringLiteral("jdoe"), sample, sample ? QDate(2026, 12, 8) : QDate(),
                                ReportCatalog::savedQueries());
    return path;
}

} // namespace

// A plant moved onto a database server (or back onto a file) must arrive whole: every row with its
// key, the protected date-shifts still protected, the counters where they were.
class TestDatabaseCopy : public QObject
{
    Q_OBJECT

private slots:
    void aFileGoesToTheServerAndBackWhole()
    {
        if (qEnvironmentVariableIsEmpty("KELVARA_TEST_SERVER"))
            QSKIP(kNoServer);
        TestWorld world;
        ServerNames names;
        const QString original = plantFile(world);
        qint64 lastColor = 0;
        {
            Database db = Database::open(original);
            QVERIFY(count(db, "SELECT count(*) FROM \"Production Table\" WHERE \"Protected Record\" <> 0") >
                    0);
            // A key handed out and its row deleted: the counter stands past the largest key.
            lastColor = addColor(db);
            db.exec(QStringLiteral("DELETE FROM \"Color Table\" WHERE \"Color ID\" = :id"),
                    {{"id", lastColor}});
        }
        const QStringList before = contents(Database::open(original, Database::ReadOnly));
        const QString server = serverUri(names.database(QStringLiteral("copy")));

        const DatabaseCopy::Result there = DatabaseCopy::copy(original, server);
        QVERIFY2(there.copied, qPrintable(there.failure));
        QVERIFY(allSame(there));
        const QString back = world.file(QStringLiteral("back.mdb"));
        const DatabaseCopy::Result home = DatabaseCopy::copy(server, back);
        QVERIFY2(home.copied, qPrintable(home.failure));

        Database onServer = Database::open(server);
        QCOMPARE(contents(onServer), before);
        Database onFile = Database::open(back);
        QCOMPARE(contents(onFile), before);
        // The saved queries run in each engine's spelling, and there are as many.
        const qint64 queries = count(onFile, "SELECT count(*) FROM \"Saved Queries\"");
        QCOMPARE(count(onServer, "SELECT count(*) FROM \"Saved Queries\""), queries);
        QCOMPARE(onServer.execSaved(QStringLiteral("Get Highest Date")).next(), true);
        QCOMPARE(
            count(onServer, "SELECT count(*) FROM \"Saved Queries\" WHERE \"SQL Text\" LIKE '%[Production%'"),
            0);
        QCOMPARE(onFile.execSaved(QStringLiteral("Get Highest Date")).next(), true);
        // The next key follows the one the original handed out last.
        QCOMPARE(addColor(onServer), lastColor + 1);
        QCOMPARE(addColor(onFile), lastColor + 1);
        // A protected date-shift is protected on both.
        for (Database *db : {&onServer, &onFile}) {
            const auto refused = errorOf<DatabaseError>([db] {
                db->exec(
                    QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = \"Ending Count\" + 1 "
                                   "WHERE \"Protected Record\" <> 0"));
            });
            QVERIFY(refused);
            QCOMPARE(refused->number(), DbErrors::Protected);
        }
    }

    // Values the server's COPY text must escape, and ones that only look escaped, come back as
    // they were: on the server and on the file copied back from it.
    void hardValuesGoToTheServerAndBackAsTheyWere()
    {
        if (qEnvironmentVariableIsEmpty("KELVARA_TEST_SERVER"))
            QSKIP(kNoServer);
        TestWorld world;
        ServerNames names;
        const QString original = plantFile(world, false);
        QByteArray everyByte;
        for (int b = 0; b < 256; ++b)
            everyByte += char(b);
        const QList<QVariant> texts{QStringLiteral("tab\there"),
                                    QStringLiteral("line\nnext\r\nlast\n"),
                                    QStringLiteral("back\\slash\\"),
                                    QStringLiteral("\\N"),
                                    QStringLiteral("\\."),
                                    QString(""),
                                    QVariant(),
                                    QStringLiteral("Grüße – 成形 ✓ 🙂"),
                                    QStringLiteral("x\t\\\n").repeated(40000)};
        {
            Database db = Database::open(original);
            for (qsizetype i = 0; i < texts.size(); ++i)
                db.exec(
                    QStringLiteral("INSERT INTO \"Job Lookup Table\" (\"Job Number\", \"Job Description\", "
                                   "\"Check Sheet\") VALUES (:n, :d, :s)"),
                    {{"n", QStringLiteral("hard\t%1\\").arg(i)},
                     {"d", texts.at(i)},
                     {"s", i % 2 ? QVariant(everyByte) : QVariant(QByteArray(""))}});
        }
        const QStringList before = contents(Database::open(original, Database::ReadOnly));
        const QString server = serverUri(names.database(QStringLiteral("hard")));
        const DatabaseCopy::Result there = DatabaseCopy::copy(original, server);
        QVERIFY2(there.copied, qPrintable(there.failure));
        const QString back = world.file(QStringLiteral("back.mdb"));
        const DatabaseCopy::Result home = DatabaseCopy::copy(server, back);
        QVERIFY2(home.copied, qPrintable(home.failure));
        QCOMPARE(contents(Database::open(server)), before);
        QCOMPARE(contents(Database::open(back)), before);
    }

    // A row the server refuses (text in a count column) fails the whole copy with the server's
    // words and the table's name, and the database --setup-server made holds no rows after.
    void aRowTheServerRefusesLeavesItEmpty()
    {
        if (qEnvironmentVariableIsEmpty("KELVARA_TEST_SERVER"))
            QSKIP(kNoServer);
        TestWorld world;
        ServerNames names;
        const QString original = plantFile(world);
        Database::open(original).exec(
            QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = 'many' WHERE \"Job ID\" = "
                           "(SELECT MAX(\"Job ID\") FROM \"Production Table\")"));
        const QString server = serverUri(names.database(QStringLiteral("refused")));
        ServerRoles::setUpDatabase(server, QStringLiteral("jdoe"), ReportCatalog::savedQueries());
        const DatabaseCopy::Result result = DatabaseCopy::copy(original, server);
        QVERIFY(!result.copied);
        QVERIFY2(result.failure.contains(QStringLiteral("\"Production Table\"")) &&
                     result.failure.contains(QStringLiteral("bigint")) &&
                     result.failure.contains(QStringLiteral("many")),
                 qPrintable(result.failure));
        const Database target = Database::open(server);
        for (const char *table : {"Production Table", "Job Lookup Table", "Hold Table"})
            QCOMPARE(count(target, QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table)), 0);
    }

    // A file made before the one SQL text holds its saved queries with [bracketed] names: the copy
    // gives each the server's words once, and each gives there the rows it gives on the file. The
    // copy back gives a site's own query its text as it was, and a seeded one the program's text.
    void anOlderFilesSavedQueriesRunOnTheServerAndComeBackAsTheyWere()
    {
        if (qEnvironmentVariableIsEmpty("KELVARA_TEST_SERVER"))
            QSKIP(kNoServer);
        TestWorld world;
        ServerNames names;
        const QString original = world.file(QStringLiteral("older.mdb"));
        const auto moreQueries = ReportCatalog::savedQueries();
        SamplePlant::createDatabase(original, QStringLiteral("jdoe"), true, QDate(2026, 12, 8), moreQueries);
        QMap<QString, QString> older;
        Database file = Database::open(original);
        for (const auto &[name, sql] :
             SavedQueries::all(SqlDialect(SqlDialect::Engine::Server), moreQueries)) {
            older.insert(name, SavedQuerySpelling::toFile(sql));
            QVERIFY2(older[name].contains('[') && !older[name].contains('"'), qPrintable(older[name]));
            file.exec(QStringLiteral(
                          "UPDATE \"Saved Queries\" SET \"SQL Text\" = :sql WHERE \"Query Name\" = :name"),
                      {{QStringLiteral("sql"), older[name]}, {QStringLiteral("name"), name}});
        }
        const QString sitesOwn = QStringLiteral("zz Lines per Machine");
        older.insert(sitesOwn, QStringLiteral("SELECT [Machine Number], COUNT(*) AS Lines FROM [Production "
                                              "Table] WHERE [Shift] IS 1 GROUP BY [Machine Number]"));
        file.exec(QStringLiteral(
                      "INSERT INTO \"Saved Queries\" (\"Query Name\", \"SQL Text\") VALUES (:name, :sql)"),
                  {{QStringLiteral("name"), sitesOwn}, {QStringLiteral("sql"), older[sitesOwn]}});
        file.forgetSavedQueries();
        const QString server = serverUri(names.database(QStringLiteral("older")));
        const DatabaseCopy::Result there = DatabaseCopy::copy(original, server, moreQueries);
        QVERIFY2(there.copied, qPrintable(there.failure));
        QCOMPARE(there.respelled.size(), older.size());
        Database onServer = Database::open(server);
        for (auto it = older.cbegin(); it != older.cend(); ++it) {
            // What reads the workstation's report database runs on a file only (it is attached
            // there); the server marks those rows by itself.
            if (!it.value().contains(QStringLiteral("[Reports].")))
                QCOMPARE(rowsOf(onServer, it.key()), rowsOf(file, it.key()));
        }

        const QString back = world.file(QStringLiteral("back.mdb"));
        QVERIFY(DatabaseCopy::copy(server, back, moreQueries).copied);
        Database onFile = Database::open(back);
        QMap<QString, QString> expected = older;
        for (const auto &[name, sql] : SavedQueries::all(SqlDialect(), moreQueries))
            expected[name] = sql;
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(onFile.savedQuerySql(it.key()), it.value());
    }

    // A site's saved query on a server is run as the site wrote it, as psql runs it.
    void aServersSavedQueriesRunAsWritten_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("first");
        QTest::newRow("alias in ORDER BY") << "SELECT count(*) AS Lines FROM \"Production Table\" GROUP BY "
                                              "\"Shift\" ORDER BY Lines DESC LIMIT 1"
                                           << "";
        QTest::newRow("table alias")
            << "SELECT T.\"Transfer Quantity\" * 0 FROM \"Transfer Table\" AS T WHERE "
               "T.\"Transfer ID\" = (SELECT min(\"Transfer ID\") FROM \"Transfer Table\")"
            << "0";
        QTest::newRow("array element") << "SELECT (string_to_array('A-B','-'))[1]"
                                       << "A";
        QTest::newRow("comment") << "SELECT 1 IS NULL -- what is it\n AS x"
                                 << "false";
    }

    void aServersSavedQueriesRunAsWritten()
    {
        if (qEnvironmentVariableIsEmpty("KELVARA_TEST_SERVER"))
            QSKIP(kNoServer);
        QFETCH(QString, sql);
        QFETCH(QString, first);
        ServerNames names;
        const QString server = serverUri(names.database(QStringLiteral("site")));
        SamplePlant::createDatabase(server, QStringLiteral("jdoe"), true, QDate(2026, 12, 8), {});
        Database db = Database::open(server);
        db.exec(QStringLiteral(
                    "INSERT INTO \"Saved Queries\" (\"Query Name\", \"SQL Text\") VALUES ('Site', :sql)"),
                {{QStringLiteral("sql"), sql}});
        QSqlQuery rows = db.execSaved(QStringLiteral("Site"));
        QVERIFY(rows.next());
        if (!first.isEmpty())
            QCOMPARE(rows.value(0).toString(), first);
    }

    void aTargetThatIsNotEmptyIsRefused()
    {
        TestWorld world;
        const QString original = plantFile(world, false);
        const QString copy = world.file(QStringLiteral("copy.mdb"));
        QVERIFY(DatabaseCopy::copy(original, copy).copied);
        const QString addJob =
            QStringLiteral("INSERT INTO \"Job Lookup Table\" (\"Job Number\") VALUES ('10-0001')");
        Database::open(copy).exec(addJob);
        const qint64 size = QFileInfo(copy).size();
        const DatabaseCopy::Result again = DatabaseCopy::copy(original, copy);
        QVERIFY(!again.copied);
        QVERIFY2(again.failure.contains(QStringLiteral("not empty")), qPrintable(again.failure));
        QCOMPARE(QFileInfo(copy).size(), size);

        if (qEnvironmentVariableIsEmpty("KELVARA_TEST_SERVER"))
            QSKIP(kNoServer);
        ServerNames names;
        const QString server = serverUri(names.database(QStringLiteral("full")));
        QVERIFY(DatabaseCopy::copy(original, server).copied);
        Database::open(server).exec(addJob);
        const DatabaseCopy::Result onServer = DatabaseCopy::copy(copy, server);
        QVERIFY(!onServer.copied);
        QVERIFY2(onServer.failure.contains(QStringLiteral("not empty")), qPrintable(onServer.failure));
        QCOMPARE(count(Database::open(server), "SELECT count(*) FROM \"Security Table\""),
                 count(Database::open(original), "SELECT count(*) FROM \"Security Table\""));
    }

    // A row the target refuses (a ticket of no line, left by an old program) stops the copy, and
    // the new file is gone again.
    void aFailedCopyLeavesNothing()
    {
        TestWorld world;
        const QString original = plantFile(world, false);
        {
            Database db = Database::open(original);
            db.setForeignKeys(false);
            db.exec(QStringLiteral(
                "INSERT INTO \"Transfer Table\" (\"Job ID\", \"Transfer Number\") VALUES (999, 1)"));
        }
        const QString copy = world.file(QStringLiteral("copy.mdb"));
        const DatabaseCopy::Result result = DatabaseCopy::copy(original, copy);
        QVERIFY(!result.copied);
        QVERIFY(!result.failure.isEmpty());
        QVERIFY(!QFileInfo::exists(copy));
    }

    // A target that does not take the rows as they were sent (here a trigger of the site's that
    // adds one to every new line's ending count) is found by the comparison: the target's own
    // sums are read, the copy is rolled back and the difference shown.
    void aTargetThatAltersTheRowsIsRolledBack()
    {
        if (qEnvironmentVariableIsEmpty("KELVARA_TEST_SERVER"))
            QSKIP(kNoServer);
        TestWorld world;
        const QString original = plantFile(world);
        ServerNames names;
        const QString server = serverUri(names.database(QStringLiteral("skewed")));
        ServerRoles::setUpDatabase(server, QStringLiteral("jdoe"), ReportCatalog::savedQueries());
        const auto saved = [&] {
            return count(Database::open(server), "SELECT count(*) FROM \"Saved Queries\"");
        };
        const qint64 queries = saved();
        {
            Database admin = Database::open(server);
            admin.exec(QStringLiteral("CREATE FUNCTION skew() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
                                      "NEW.\"Ending Count\" := NEW.\"Ending Count\" + 1; RETURN NEW; END$$"));
            admin.exec(
                QStringLiteral("CREATE TRIGGER skew BEFORE INSERT ON \"Production Table\" FOR EACH ROW "
                               "EXECUTE FUNCTION skew()"));
        }
        const DatabaseCopy::Result result = DatabaseCopy::copy(original, server);
        QVERIFY(!result.copied);
        QVERIFY2(result.failure.contains(QStringLiteral("does not match")), qPrintable(result.failure));
        const auto differs = std::find_if(result.lines.cbegin(), result.lines.cend(),
                                          [](const DatabaseCopy::Line &line) { return !line.same(); });
        QVERIFY(differs != result.lines.cend());
        QCOMPARE(differs->what, QStringLiteral("  sum of \"Ending Count\""));
        QCOMPARE(differs->target.toLongLong() - differs->source.toLongLong(),
                 count(Database::open(original), "SELECT count(*) FROM \"Production Table\""));
        QVERIFY(DatabaseCopy::comparisonText(result.lines).contains(QStringLiteral("differs")));
        // Rolled back: the database --setup-server made is as it was, and a copy still goes in.
        QCOMPARE(count(Database::open(server), "SELECT count(*) FROM \"Production Table\""), 0);
        QCOMPARE(saved(), queries);
        Database::open(server).exec(QStringLiteral("DROP TRIGGER skew ON \"Production Table\""));
        QVERIFY(DatabaseCopy::copy(original, server).copied);
    }

    void eachLevelsLoginHasItsRightsOnTheServer()
    {
        if (qEnvironmentVariableIsEmpty("KELVARA_TEST_SERVER"))
            QSKIP(kNoServer);
        ServerNames names;
        const QString database = names.database(QStringLiteral("levels"));
        const QString manager = names.role(QStringLiteral("alice")),
                      reader = names.role(QStringLiteral("bob"));
        ServerRoles::setUpDatabase(serverUri(database), QStringLiteral("jdoe"),
                                   ReportCatalog::savedQueries());
        {
            Database admin = Database::open(serverUri(database));
            SamplePlant::fill(admin, QDate(2026, 12, 8));
            admin.exec(QStringLiteral("CREATE ROLE \"%1\" LOGIN IN ROLE kelvara_level_c").arg(manager));
            admin.exec(QStringLiteral("CREATE ROLE \"%1\" LOGIN IN ROLE kelvara_level_d").arg(reader));
            Schema::authorize(admin, manager, QStringLiteral("Alice"), QStringLiteral("C"));
            Schema::authorize(admin, reader, QStringLiteral("Bob"), QStringLiteral("D"));
        }
        const QString updateCount = QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = "
                                                   "\"Ending Count\" + 1 WHERE \"Protected Record\" = 0");

        Database asReader = Database::open(serverUri(database, reader));
        QVERIFY(count(asReader, "SELECT count(*) FROM \"Production Table\"") > 0);
        const auto refused = errorOf<DatabaseError>([&] { asReader.exec(updateCount); });
        QVERIFY(refused);
        QCOMPARE(refused->number(), DbErrors::ReadOnly);
        QCOMPARE(refused->description(),
                 QStringLiteral("The database server does not let your login change this."));
        QVERIFY(errorOf<DatabaseError>([&] {
            asReader.exec(QStringLiteral("SELECT kelvara_set_level(:login, 'C')"), {{"login", reader}});
        }));
        // What its reports need it may write.
        asReader.exec(QStringLiteral("UPDATE \"Hold Distribution\" SET \"Printed\" = 1"));

        Database asManager = Database::open(serverUri(database, manager));
        QVERIFY(asManager.exec(updateCount).numRowsAffected() > 0);
        // Security Administration moves the login to its new level on the server too.
        SecuritySettings settings(asManager);
        const auto users = settings.authorizedUsers();
        const auto bob = std::find_if(users.cbegin(), users.cend(),
                                      [&](const AuthorizedUser &user) { return user.userName == reader; });
        QVERIFY(bob != users.cend());
        QCOMPARE(settings.setLevel({*bob}, QStringLiteral("A")).changed, QStringList{reader});
        asReader.close();
        asReader = Database::open(serverUri(database, reader));
        QVERIFY(asReader.exec(updateCount).numRowsAffected() > 0);
        QVERIFY(errorOf<DatabaseError>([&] {
            asReader.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Protected Record\" = 1"));
        }));
        settings.unauthorize({reader});
        asReader.close();
        QVERIFY(errorOf<DatabaseError>([&] { Database::open(serverUri(database, reader)); }));
    }
};

QTEST_GUILESS_MAIN(TestDatabaseCopy)
#include "test_databasecopy.moc"
