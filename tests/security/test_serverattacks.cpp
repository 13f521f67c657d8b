#include "ServerPlant.h"
#include "TestSupport.h"

#include "foundation/HistoryChain.h"
#include "foundation/RowClaims.h"
#include "foundation/ServerLocks.h"
#include "production/record/ChangeHistory.h"
#include "production/record/SamplePlant.h"
#include "production/record/Schema.h"
#include "production/record/SchemaTables.h"
#include "production/record/ServerRoles.h"
#include "reports/ReportCatalog.h"

#include <QSqlQuery>
#include <QTest>

// What a login can do at the server from psql, whatever program it uses: a login of each level
// and one in no level, connected as themselves, try what the levels must not do. A database made
// by --setup-server holds every level to its rights, the protection to every login, and the
// program's locks to the program.
class TestServerAttacks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void aLevelCLoginCannotMakeItselfSuperuser();
    void aTemporaryTableDoesNotShadowTheProtection();
    void noLoginEmptiesAProtectedTable();
    void noLoginTakesTheProgramsLocks();
    void aSessionSittingOnTheWriteLockIsEnded();
    void aDatabaseSetUpBeforeTheLockFunctionsNamesTheCommand();
    void aDatabaseSetUpBeforeTheHistoryNamesTheCommand();
    void noLoginRewritesOrEscapesTheHistory();
    void eachLevelHoldsExactlyTheRightsOfTheTable();
    void eachLevelDoesItsOwnWork();
    void aLoginInNoLevelCannotConnect();

private:
    QString uri(const QString &login = {}) const
    {
        ServerAddress address = ServerAddress::parse(m_plant->uri());
        if (!login.isEmpty())
            address.user = login;
        return address.uri();
    }
    qint64 count(const QString &sql) const { return Database::open(uri()).scalar(sql).toLongLong(); }
    // The statement, run as the login, is refused by the server.
    bool refused(const QString &login, const QString &sql) const
    {
        Database db = Database::open(uri(login));
        return errorOf<DatabaseError>([&] { db.exec(sql); }).has_value();
    }

    std::unique_ptr<ServerPlant> m_plant;
    QMap<QString, QString> m_login; // level ("A" to "D", "none") to its login role
    qint64 m_protectedLine = 0, m_openLine = 0;
};

void TestServerAttacks::initTestCase()
{
    if (const QString missing = ServerPlant::missing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_plant = std::make_unique<ServerPlant>(QStringLiteral("attacks"));
    ServerRoles::setUpDatabase(m_plant->uri(), QStringLiteral("jdoe"), ReportCatalog::savedQueries());
    Database admin = Database::open(uri());
    SamplePlant::fill(admin, QDate(2026, 12, 8));
    for (const QString &level : {"A", "B", "C", "D", "none"}) {
        const QString login =
            QStringLiteral("attacker_%1_%2").arg(level.toLower()).arg(QCoreApplication::applicationPid());
        const QString role = ServerRoles::roleName(level);
        admin.exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(login));
        admin.exec(QStringLiteral("CREATE ROLE %1 LOGIN%2")
                       .arg(login, role.isEmpty() ? QString() : " IN ROLE " + role));
        if (!role.isEmpty())
            Schema::authorize(admin, login, login, level);
        m_login.insert(level, login);
    }
    m_protectedLine =
        admin
            .scalar(QStringLiteral(
                "SELECT MIN(\"Job ID\") FROM \"Transfer Table\" WHERE \"Job ID\" IN "
                "(SELECT \"Job ID\" FROM \"Production Table\" WHERE \"Protected Record\" <> 0)"))
            .toLongLong();
    m_openLine = admin
                     .scalar(QStringLiteral(
                         "SELECT MAX(\"Job ID\") FROM \"Production Table\" WHERE \"Protected Record\" = 0"))
                     .toLongLong();
    QVERIFY(m_protectedLine > 0 && m_openLine > 0);
}

void TestServerAttacks::cleanupTestCase()
{
    if (!m_plant)
        return;
    const QString server = ServerAddress::parse(uri()).on(QStringLiteral("postgres")).uri();
    m_plant.reset(); // the database goes first: a role that holds rights in it cannot be dropped
    for (const QString &login : m_login)
        Database::open(server).exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(login));
}

// A trigger of level C's own on a table the administrator writes would run with the
// administrator's rights.
void TestServerAttacks::aLevelCLoginCannotMakeItselfSuperuser()
{
    const QString login = m_login.value("C");
    const QString body =
        QStringLiteral("RETURNS trigger LANGUAGE plpgsql AS $$BEGIN IF (SELECT rolsuper FROM pg_roles "
                       "WHERE rolname = current_user) THEN EXECUTE 'ALTER ROLE %1 SUPERUSER'; END IF; "
                       "RETURN NEW; END$$")
            .arg(login);
    for (const QString &schema : {QStringLiteral("pg_temp"), QStringLiteral("public")}) {
        Database db = Database::open(uri(login));
        const auto made = errorOf<DatabaseError>([&] {
            db.exec(QStringLiteral("CREATE FUNCTION %1.escalate() %2").arg(schema, body));
            db.exec(
                QStringLiteral("CREATE TRIGGER escalate BEFORE UPDATE ON public.\"Color Table\" FOR EACH ROW "
                               "EXECUTE FUNCTION %1.escalate()")
                    .arg(schema));
        });
        QVERIFY2(made, qPrintable(schema));
        // Not even on a table of its own, where a trigger could wait for the administrator.
        QVERIFY(errorOf<DatabaseError>(
            [&] { db.exec(QStringLiteral("CREATE TABLE %1.bait (a int)").arg(schema)); }));
        Database admin = Database::open(uri());
        admin.exec(
            QStringLiteral("UPDATE \"Color Table\" SET \"Color Feeder Code\" = \"Color Feeder Code\""));
        QCOMPARE(
            admin.scalar(QStringLiteral("SELECT rolsuper FROM pg_roles WHERE rolname = :r"), {{"r", login}})
                .toBool(),
            false);
    }
    // Nor a trigger of the program's on a table of its choice.
    QVERIFY(
        refused(login, QStringLiteral("CREATE TRIGGER escalate BEFORE UPDATE ON \"Color Table\" FOR EACH ROW "
                                      "EXECUTE FUNCTION \"Protect Line Insert\"()")));
}

// The protection reads "Production Table" of the plant's schema, never one a session put first on
// its search path. Level B cannot make the temporary table at all; the administrator can, and is
// refused by the protection all the same.
void TestServerAttacks::aTemporaryTableDoesNotShadowTheProtection()
{
    const QString shadow =
        QStringLiteral("CREATE TEMP TABLE \"Production Table\" (LIKE public.\"Production Table\")");

    const QString line = QString::number(m_protectedLine);
    const QStringList attacks{
        QStringLiteral(
            "INSERT INTO public.\"Transfer Table\" (\"Job ID\", \"Transfer Number\") VALUES (%1, 1)")
            .arg(line),
        QStringLiteral("DELETE FROM public.\"Transfer Table\" WHERE \"Job ID\" = %1").arg(line),
        QStringLiteral("UPDATE public.\"Hold Table\" SET \"Hold Quantity\" = \"Hold Quantity\" + 1000 "
                       "WHERE \"Job ID\" IN (SELECT \"Job ID\" FROM public.\"Production Table\" WHERE "
                       "\"Protected Record\" <> 0)"),
        QStringLiteral(
            "INSERT INTO public.\"Production Table\" (\"Date\", \"Shift\", \"Machine Number\") "
            "SELECT \"Date\", \"Shift\", 99 FROM public.\"Production Table\" WHERE \"Job ID\" = %1")
            .arg(line),
    };
    const qint64 before =
        count(QStringLiteral("SELECT count(*) + SUM(\"Hold Quantity\") FROM \"Hold Table\"")) +
        count(QStringLiteral("SELECT count(*) FROM \"Transfer Table\"")) +
        count(QStringLiteral("SELECT count(*) FROM \"Production Table\""));
    for (const QString &attack : attacks) {
        Database admin = Database::open(uri());
        admin.exec(shadow);
        admin.exec(QStringLiteral("SET search_path = pg_temp, public"));
        const auto error = errorOf<DatabaseError>([&] { admin.exec(attack); });
        QVERIFY2(error && error->number() == DbErrors::Protected,
                 qPrintable(attack + (error ? ": " + error->description() : QString())));
    }
    QCOMPARE(count(QStringLiteral("SELECT count(*) + SUM(\"Hold Quantity\") FROM \"Hold Table\"")) +
                 count(QStringLiteral("SELECT count(*) FROM \"Transfer Table\"")) +
                 count(QStringLiteral("SELECT count(*) FROM \"Production Table\"")),
             before);
    QVERIFY(refused(m_login.value("B"), shadow));
}

void TestServerAttacks::noLoginEmptiesAProtectedTable()
{
    const qint64 tickets = count(QStringLiteral("SELECT count(*) FROM \"Transfer Table\""));
    for (const QString &table : {"Transfer Table", "Hold Table", "Hold Distribution", "Production Table"}) {
        const QString truncate = QStringLiteral("TRUNCATE \"%1\" CASCADE").arg(table);
        for (const QString &level : {"A", "B", "C", "D"})
            QVERIFY2(refused(m_login.value(level), truncate), qPrintable(level + ": " + truncate));
        // The administrator too, by mistake: the protection's own words.
        Database admin = Database::open(uri());
        const auto error = errorOf<DatabaseError>([&] { admin.exec(truncate); });
        QVERIFY2(error && error->number() == DbErrors::Protected, qPrintable(truncate));
        QVERIFY2(error->description().contains(QStringLiteral("protected date-shift")),
                 qPrintable(error->description()));
    }
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM \"Transfer Table\"")), tickets);
}

// Holding the write key from psql would stop every booking in the plant.
void TestServerAttacks::noLoginTakesTheProgramsLocks()
{
    const QString write = QString::number(ServerLocks::writeKey);
    const QString presence = QString::number(ServerLocks::presenceKey);
    const QStringList takes{
        QStringLiteral("SELECT pg_advisory_lock(%1)").arg(write),
        QStringLiteral("SELECT pg_try_advisory_lock(%1)").arg(write),
        QStringLiteral("SELECT pg_advisory_lock_shared(%1)").arg(presence),
        QStringLiteral("SELECT pg_try_advisory_xact_lock(%1)").arg(write),
        QStringLiteral("SELECT pg_advisory_lock(19301, 30070)"),
    };
    for (const QString &level : {"A", "B", "C", "D"}) {
        for (const QString &take : takes)
            QVERIFY2(refused(m_login.value(level), take), qPrintable(level + ": " + take));
        // The program's own functions are there for the program's work; the Database commands'
        // exclusive access is level C's only.
        Database db = Database::open(uri(m_login.value(level)));
        QCOMPARE(db.scalar(QStringLiteral("SHOW idle_in_transaction_session_timeout")).toString(),
                 QStringLiteral("1min"));
        QCOMPARE(db.scalar(QStringLiteral("SHOW statement_timeout")).toString(), QStringLiteral("15min"));
        const bool exclusive = !errorOf<DatabaseError>([&] { db.exec(ServerLocks::tryExclusive()); });
        QCOMPARE(exclusive, QString(level) == QLatin1String("C"));
        db.exec(ServerLocks::releaseAll());
    }
}

// A level B login takes the write lock through the program's function and sits on it with its own
// time limits off. The next writer ends its session once its transaction is older than the limit
// (a second here, a minute as set up), instead of waiting and failing.
void TestServerAttacks::aSessionSittingOnTheWriteLockIsEnded()
{
    const auto lockFunctions = [&](int seconds) {
        Database admin = Database::open(uri());
        for (const QString &sql : ServerLocks::createStatements(QStringLiteral("public"), seconds))
            admin.exec(sql);
    };
    lockFunctions(1);
    Database sitter = Database::open(uri(m_login.value("B")));
    const qint64 sitterPid = sitter.scalar(QStringLiteral("SELECT pg_backend_pid()")).toLongLong();
    for (const QString &sql :
         {QStringLiteral("BEGIN"), QStringLiteral("SET LOCAL idle_in_transaction_session_timeout = 0"),
          QStringLiteral("SET LOCAL statement_timeout = 0"), ServerLocks::takeWrite()})
        sitter.exec(sql);
    // Sitting, it holds none of the server's shared catalogs: an administrator's VACUUM FULL of one
    // would wait for it, and every new login to the server behind that, the next writer's too.
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM pg_locks WHERE locktype = 'relation' AND "
                                  "database = 0 AND pid = %1")
                       .arg(sitterPid)),
             0);
    QTest::qWait(1500);
    Database writer = Database::open(uri(m_login.value("A")));
    const auto stored = errorOf<DatabaseError>([&] {
        Transaction transaction(writer);
        writer.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = \"Ending Count\" "
                                   "WHERE \"Job ID\" = :line"),
                    {{"line", m_openLine}});
        transaction.commit();
    });
    lockFunctions(ServerLocks::kWriteHoldSeconds);
    QVERIFY2(!stored, qPrintable(stored ? stored->description() : QString()));
    QVERIFY(errorOf<DatabaseError>([&] { sitter.exec(QStringLiteral("SELECT 1")); }));
}

// A server database whose set-up is older than the program's lock functions says what to run.
void TestServerAttacks::aDatabaseSetUpBeforeTheLockFunctionsNamesTheCommand()
{
    ServerPlant older(QStringLiteral("older"));
    Database db = Database::createFile(older.uri());
    db.exec(QStringLiteral("DROP FUNCTION kelvara_write_lock()"));
    const auto error = errorOf<DatabaseError>([&] { Transaction transaction(db); });
    ServerAddress administrator = ServerAddress::parse(older.uri());
    administrator.user.clear();
    QVERIFY(error);
    QVERIFY2(
        error->description().contains(QStringLiteral("kelvara --setup-server '%1'").arg(administrator.uri())),
        qPrintable(error->description()));
}

// A level's login cannot make what an earlier version's set-up lacks: it is told who can, and how.
void TestServerAttacks::aDatabaseSetUpBeforeTheHistoryNamesTheCommand()
{
    Database admin = Database::open(uri());
    admin.exec(QStringLiteral(R"(DROP TRIGGER "History Production Table" ON "Production Table")"));
    Database levelC = Database::open(uri(m_login.value(QStringLiteral("C"))));
    const auto error = errorOf<DatabaseError>([&] { Schema::ensureProtection(levelC); });
    ChangeHistory::replace(admin);
    QVERIFY(Schema::protectionCurrent(levelC));
    ServerAddress administrator = ServerAddress::parse(uri());
    administrator.user.clear();
    QVERIFY(error);
    QVERIFY2(
        error->description().contains(QStringLiteral("kelvara --setup-server '%1'").arg(administrator.uri())),
        qPrintable(error->description()));
}

// Every level reads the history and none rewrites it, writes rows of its own or switches its
// triggers off; what a level changes is recorded under its own login.
void TestServerAttacks::noLoginRewritesOrEscapesTheHistory()
{
    const qint64 rows = count(QStringLiteral(R"(SELECT count(*) FROM "Change History")"));
    QVERIFY(rows > 0);
    const QStringList attacks{
        QStringLiteral(R"(UPDATE "Change History" SET "New Value" = '0')"),
        QStringLiteral(R"(DELETE FROM "Change History")"),
        QStringLiteral(R"(TRUNCATE "Change History")"),
        QStringLiteral(
            R"(INSERT INTO "Change History" SELECT "Change ID" + 1000000, "Changed At", "Login", )"
            R"("Workstation", "Program", "Table Name", "Row Key", "Action", "Job ID", "Date", "Shift", )"
            R"("Machine Number", "Job Number", "Field", "Old Value", "New Value", "Row Hash" )"
            R"(FROM "Change History" LIMIT 1)"),
        QStringLiteral(R"(ALTER TABLE "Change History" DISABLE TRIGGER USER)"),
        QStringLiteral(R"(ALTER TABLE "Color Table" DISABLE TRIGGER "History Color Table")"),
        QStringLiteral(R"(ALTER TABLE "Production Table" DISABLE TRIGGER ALL)"),
        QStringLiteral("SET session_replication_role = replica"),
    };
    for (const QString &level : {"A", "B", "C", "D"}) {
        for (const QString &attack : attacks)
            QVERIFY2(refused(m_login.value(level), attack), qPrintable(level + ": " + attack));
        QVERIFY(!refused(m_login.value(level), QStringLiteral(R"(SELECT count(*) FROM "Change History")")));
    }
    QCOMPARE(count(QStringLiteral(R"(SELECT count(*) FROM "Change History")")), rows);

    const QString login = m_login.value("C");
    Database db = Database::open(uri(login));
    db.exec(QStringLiteral(R"(UPDATE "Color Table" SET "Color Name" = 'Signal Red' WHERE "Color ID" = )"
                           R"((SELECT MIN("Color ID") FROM "Color Table"))"));
    QSqlQuery newest = db.exec(QStringLiteral(
        R"(SELECT "Login", "Program", "New Value" FROM "Change History" ORDER BY "Change ID" DESC LIMIT 1)"));
    QVERIFY(newest.next());
    QCOMPARE(newest.value(0).toString(), login);
    QCOMPARE(newest.value(1).toString(), HistoryChain::programName());
    QCOMPARE(newest.value(2).toString(), QStringLiteral("Signal Red"));
}

namespace {
bool granted(const ServerRoles::Right &right, const QString &level, const QString &privilege,
             const QString &column)
{
    return right.levels.contains(level) && right.privileges.split(QStringLiteral(", ")).contains(privilege) &&
           (right.columns.isEmpty() || right.columns.contains(column));
}
} // namespace

// Measured at the server, column by column, against the rights table; printed for the README.
void TestServerAttacks::eachLevelHoldsExactlyTheRightsOfTheTable()
{
    Database admin = Database::open(uri());
    const QList<ServerRoles::Right> rights = ServerRoles::rights();
    const QStringList privileges{"SELECT", "INSERT", "UPDATE", "DELETE", "TRUNCATE", "REFERENCES", "TRIGGER"};
    for (const QString &level : {"A", "B", "C", "D"}) {
        const QString login = m_login.value(level);
        QStringList summary;
        for (const SchemaTables::Table &table : SchemaTables::tables()) {
            const QString name = QStringLiteral("public.") + quotedName(table.name);
            QSqlQuery query = admin.exec(
                QStringLiteral(
                    "SELECT a.attname, has_column_privilege(:l, a.attrelid, a.attnum, 'SELECT'), "
                    "has_column_privilege(:l, a.attrelid, a.attnum, 'INSERT'), "
                    "has_column_privilege(:l, a.attrelid, a.attnum, 'UPDATE'), "
                    "has_table_privilege(:l, a.attrelid, 'DELETE'), "
                    "has_table_privilege(:l, a.attrelid, 'TRUNCATE'), "
                    "has_column_privilege(:l, a.attrelid, a.attnum, 'REFERENCES'), "
                    "has_table_privilege(:l, a.attrelid, 'TRIGGER') FROM pg_attribute a "
                    "WHERE a.attrelid = CAST(:t AS regclass) AND a.attnum > 0 AND NOT a.attisdropped"),
                {{"l", login}, {"t", name}});
            QList<int> columns(privileges.size());
            while (query.next()) {
                const QString column = query.value(0).toString();
                for (int i = 0; i < privileges.size(); ++i) {
                    const bool expected =
                        std::any_of(rights.cbegin(), rights.cend(), [&](const ServerRoles::Right &r) {
                            return r.table == table.name && granted(r, level, privileges[i], column);
                        });
                    const bool measured = query.value(i + 1).toBool();
                    QVERIFY2(measured == expected,
                             qPrintable(QStringLiteral("level %1, %2 on %3.%4: %5")
                                            .arg(level, privileges[i], table.name, column,
                                                 measured ? "held" : "missing")));
                    columns[i] += measured;
                }
            }
            QStringList held;
            for (int i = 0; i < privileges.size(); ++i) {
                if (columns[i] == table.columns.size())
                    held << privileges[i];
                else if (columns[i] > 0)
                    held << QStringLiteral("%1 (%2 of %3 columns)")
                                .arg(privileges[i])
                                .arg(columns[i])
                                .arg(table.columns.size());
            }
            summary << table.name + ": " + (held.isEmpty() ? QStringLiteral("-") : held.join(' '));
        }
        qInfo("level %s: %s", qPrintable(level), qPrintable(summary.join("; ")));
        // Nothing beyond the tables: no new objects, no temporary ones, no key drawn by hand.
        for (const QString &sql :
             {"CREATE TEMP TABLE scratch (a int)", "CREATE TABLE public.scratch (a int)",
              "CREATE SCHEMA scratch", "CREATE FUNCTION pg_temp.f() RETURNS int AS 'SELECT 1' LANGUAGE sql",
              "SELECT nextval(pg_get_serial_sequence('\"Transfer Table\"', 'Transfer ID'))",
              "SELECT setval(pg_get_serial_sequence('\"Transfer Table\"', 'Transfer ID'), 1)"})
            QVERIFY2(refused(login, sql), qPrintable(QString(level) + ": " + sql));
        // Level C alone sets levels and changes the customers' report parts.
        QCOMPARE(refused(login, QStringLiteral("SELECT kelvara_set_level('nobody', NULL)")),
                 QString(level) != "C");
        QCOMPARE(refused(login, QStringLiteral("DELETE FROM \"Customer Report Parts\" WHERE false")),
                 QString(level) != "C");
    }
}

// What each level's windows write, they may: through the program's write transaction (the
// write lock by the program's function) and with the new row's key read back.
void TestServerAttacks::eachLevelDoesItsOwnWork()
{
    const QVariantMap line{{"line", m_openLine}};
    const auto work = [&](const QString &level, const std::function<void(Database &)> &write) {
        Database db = Database::open(uri(m_login.value(level)));
        Transaction transaction(db);
        write(db);
        transaction.commit();
    };
    work("D", [](Database &db) {
        db.exec(QStringLiteral("UPDATE \"Color Table\" SET \"Color Feeder Code\" = \"Color Feeder Code\""));
        db.exec(QStringLiteral("UPDATE \"Hold Distribution\" SET \"Printed\" = 1 WHERE \"Printed\" = 0"));
    });
    work("A", [&](Database &db) {
        db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"Ending Count\" = \"Ending Count\" + 1 "
                               "WHERE \"Job ID\" = :line"),
                line);
    });
    work("B", [&](Database &db) {
        const qint64 ticket = db.insert(
            QStringLiteral(
                "INSERT INTO \"Transfer Table\" (\"Job ID\", \"Transfer Number\") VALUES (:line, 99001)"),
            line);
        QVERIFY(ticket > 0);
        db.exec(QStringLiteral(
                    "UPDATE \"Production Table\" SET \"Rejects\" = \"Rejects\" + 1 WHERE \"Job ID\" = :line"),
                line);
        // A ticket window claims the rows it stores, through the program's own lock functions.
        RowClaims claims(db, 1);
        QVERIFY(claims.claim(ticket));
        QVERIFY(claims.claimedByAnyone(ticket));
    });
    work("C", [&](Database &db) {
        db.exec(QStringLiteral("DELETE FROM \"Customer Report Parts\" WHERE \"Customer\" = 'Velmar'"));
        db.exec(QStringLiteral(
                    "UPDATE \"Production Table\" SET \"Protected Record\" = 0 WHERE \"Job ID\" = :line"),
                line);
    });
    QCOMPARE(
        count(QStringLiteral("SELECT count(*) FROM \"Transfer Table\" WHERE \"Transfer Number\" = 99001")),
        1);
}

void TestServerAttacks::aLoginInNoLevelCannotConnect()
{
    // Refused at the door, and told why: the server was reached.
    const auto refused = errorOf<DatabaseError>([&] { Database::open(uri(m_login.value("none"))); });
    QVERIFY(refused);
    QVERIFY2(refused->description().contains(QStringLiteral("does not let your login connect")),
             qPrintable(refused->description()));
    const QString elsewhere = ServerAddress::parse(uri()).on(m_plant->name() + QStringLiteral("_none")).uri();
    const auto missing = errorOf<DatabaseError>([&] { Database::open(elsewhere); });
    QVERIFY(missing);
    QCOMPARE(missing->description(), QStringLiteral("The database does not exist on the server."));
}

QTEST_GUILESS_MAIN(TestServerAttacks)
#include "test_serverattacks.moc"
