#include "ServerRoles.h"

#include "ChangeHistory.h"
#include "ProtectionTriggers.h"
#include "SamplePlant.h"
#include "Schema.h"
#include "SchemaTables.h"
#include "foundation/Database.h"
#include "foundation/RejectReasons.h"
#include "foundation/ServerAddress.h"
#include "foundation/ServerCompaction.h"
#include "foundation/ServerLocks.h"

#include <QSqlQuery>

namespace {
// A session idle in an open transaction (holding the write lock, say) is ended after a minute; a
// statement, a report's too, may run a quarter of an hour.
constexpr int kIdleInTransactionSeconds = 60;
constexpr int kStatementMinutes = 15;

const QStringList kLevels{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")};

QString columnList(const QStringList &columns)
{
    QStringList names;
    for (const QString &column : columns)
        names << quotedName(column);
    return names.join(QStringLiteral(", "));
}

QStringList without(QStringList columns, const QStringList &left)
{
    for (const QString &name : left)
        columns.removeAll(name);
    return columns;
}

// The privileges of a right, with its columns where it has any.
QString privilegeText(const ServerRoles::Right &right)
{
    QStringList parts;
    for (const QString &privilege : right.privileges.split(QLatin1Char(',')))
        parts << (right.columns.isEmpty()
                      ? privilege.trimmed()
                      : QStringLiteral("%1 (%2)").arg(privilege.trimmed(), columnList(right.columns)));
    return parts.join(QStringLiteral(", "));
}

// A role made when missing; another setup making it at the same moment is no failure.
bool makeRole(Database &db, const QString &role)
{
    if (db.scalar(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = :role"),
                  {{QStringLiteral("role"), role}})
            .toLongLong() > 0)
        return false;
    db.exec(QStringLiteral("DO $$BEGIN CREATE ROLE %1 NOLOGIN; EXCEPTION WHEN duplicate_object OR "
                           "unique_violation THEN NULL; END$$")
                .arg(role));
    return true;
}

QStringList queryColumn(const Database &db, const QString &sql)
{
    QStringList values;
    QSqlQuery query = db.exec(sql);
    while (query.next())
        values << query.value(0).toString();
    return values;
}

// Sets a login's level: a member of that level's role and of no other one. Logins that are not
// ordinary login roles (the superuser, the level roles themselves) are left alone, as are names
// without a login role on the server (false); case is ignored, as the plant's login names are.
QString setLevelFunction(const QString &schema)
{
    return QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.kelvara_set_level(login text, level text) RETURNS boolean\n"
               "LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$\n"
               "DECLARE\n"
               "  member_oid oid;\n"
               "  member_name name;\n"
               "  level_role text;\n"
               "BEGIN\n"
               "  IF level IS NOT NULL AND level NOT IN ('A', 'B', 'C', 'D') THEN\n"
               "    RAISE EXCEPTION 'There is no security level %.', level USING ERRCODE = '22023';\n"
               "  END IF;\n"
               "  SELECT oid, rolname INTO member_oid, member_name FROM pg_roles\n"
               "    WHERE lower(rolname) = lower(btrim(login)) AND rolcanlogin AND NOT rolsuper\n"
               "      AND rolname NOT LIKE 'kelvara\\_level\\_%' AND rolname NOT LIKE 'pg\\_%'\n"
               "    ORDER BY rolname = btrim(login) DESC LIMIT 1;\n"
               "  IF member_oid IS NULL THEN\n"
               "    RETURN false;\n"
               "  END IF;\n"
               "  FOREACH level_role IN ARRAY string_to_array(\n"
               "      'kelvara_level_a,kelvara_level_b,kelvara_level_c,kelvara_level_d', ',') LOOP\n"
               "    IF EXISTS (SELECT 1 FROM pg_auth_members m JOIN pg_roles r ON r.oid = m.roleid\n"
               "               WHERE m.member = member_oid AND r.rolname = level_role) THEN\n"
               "      EXECUTE format('REVOKE %I FROM %I', level_role, member_name);\n"
               "    END IF;\n"
               "  END LOOP;\n"
               "  IF level IS NOT NULL THEN\n"
               "    EXECUTE format('GRANT %I TO %I', 'kelvara_level_' || lower(level), member_name);\n"
               "  END IF;\n"
               "  RETURN true;\n"
               "END\n"
               "$$")
        .arg(schema);
}

} // namespace

QString ServerRoles::roleName(const QString &level)
{
    return kLevels.contains(level) ? QStringLiteral("kelvara_level_") + level.toLower() : QString();
}

QString ServerRoles::ownerRole()
{
    return QStringLiteral("kelvara_owner");
}

QList<ServerRoles::Right> ServerRoles::rights()
{
    using namespace SchemaTables;
    const QString production = productionTable().name;
    const QStringList lineColumns = columnNames(productionTable());
    // A new line is written with every column but its protection, which only Protect Data sets.
    const QStringList newLine = without(lineColumns, {QStringLiteral("Protected Record")});
    QStringList rejects{QStringLiteral("Rejects"), QStringLiteral("From Rework"),
                        QStringLiteral("Transfer Quantity")};
    for (int reason = 1; reason <= RejectReasons::kCount; ++reason)
        rejects << RejectReasons::field(reason);
    const QStringList identity{QStringLiteral("Machine Number"), QStringLiteral("Job Number"),
                               QStringLiteral("Job Description")};

    QList<Right> rights;
    // Every level reads the change history; only the owner's trigger functions write it, and no
    // one changes or deletes its rows.
    for (const Table &table : tables()) {
        rights.append({QStringLiteral("ABCD"), QStringLiteral("SELECT"), table.name, {}});
        if (table.name != changeHistory().name)
            rights.append({QStringLiteral("C"), QStringLiteral("INSERT, UPDATE, DELETE"), table.name, {}});
    }
    rights += {
        // The Tools menu, open to every level; the update report marks what it printed.
        {QStringLiteral("ABD"), QStringLiteral("INSERT, UPDATE, DELETE"), QStringLiteral("Color Table"), {}},
        {QStringLiteral("ABD"),
         QStringLiteral("UPDATE"),
         holdDistribution().name,
         {QStringLiteral("Printed")}},
        // Job List and Production Counts.
        {QStringLiteral("AB"), QStringLiteral("INSERT, UPDATE"), QStringLiteral("Job Lookup Table"), {}},
        {QStringLiteral("AB"), QStringLiteral("INSERT"), production, newLine},
        {QStringLiteral("AB"), QStringLiteral("DELETE"), production, {}},
        {QStringLiteral("A"), QStringLiteral("UPDATE"), production,
         without(newLine, {QStringLiteral("Job ID")})},
        // Transfers, Production on Hold and Disposition of Hold book rejects and rework on a line.
        {QStringLiteral("B"), QStringLiteral("UPDATE"), production, identity + rejects},
    };
    for (const Table &table : {transferTable(), holdTable(), holdDistribution()})
        rights.append({QStringLiteral("B"), QStringLiteral("INSERT, UPDATE, DELETE"), table.name, {}});
    // Who may type an Ending Count may read it from the machine, and the reading is kept.
    rights.append({QStringLiteral("A"), QStringLiteral("INSERT"), machineReadings().name, {}});
    return rights;
}

namespace {
// The database, its schema, tables (with their sequences) and the program's functions.
struct Plant
{
    QString database, schema;
    QStringList tables;
};

// Everything the plant's logins use belongs to the owner, whom no one logs in as: no login owns
// a table, and with it the right to change its triggers or grants.
QStringList giveToOwner(Database &db, const Plant &plant)
{
    const QString owner = ServerRoles::ownerRole();
    db.exec(QStringLiteral("ALTER DATABASE %1 OWNER TO %2").arg(plant.database, owner));
    db.exec(QStringLiteral("ALTER SCHEMA %1 OWNER TO %2").arg(plant.schema, owner));
    for (const QString &table : plant.tables)
        db.exec(QStringLiteral("ALTER TABLE %1 OWNER TO %2").arg(table, owner));
    // The program's functions, not those of the extensions (citext's compare login names).
    const QStringList functions = queryColumn(
        db, QStringLiteral("SELECT p.oid::regprocedure FROM pg_proc p WHERE p.pronamespace = "
                           "current_schema()::regnamespace AND NOT EXISTS (SELECT 1 FROM pg_depend d "
                           "WHERE d.classid = 'pg_proc'::regclass AND d.objid = p.oid AND d.deptype = 'e')"));
    for (const QString &function : functions) {
        db.exec(QStringLiteral("ALTER FUNCTION %1 OWNER TO %2").arg(function, owner));
        db.exec(QStringLiteral("REVOKE ALL ON FUNCTION %1 FROM PUBLIC").arg(function));
    }
    return {QStringLiteral("Gave the database, its tables and its %1 functions to %2.")
                .arg(functions.size())
                .arg(owner)};
}

// Nobody but the levels connects, and nobody makes temporary objects, creates in the schema or
// takes the program's locks except through the program's functions.
QStringList closeToOthers(Database &db, const Plant &plant)
{
    db.exec(QStringLiteral("REVOKE ALL ON DATABASE %1 FROM PUBLIC").arg(plant.database));
    db.exec(QStringLiteral("REVOKE ALL ON SCHEMA %1 FROM PUBLIC").arg(plant.schema));
    const QStringList advisory = queryColumn(
        db, QStringLiteral(
                "SELECT oid::regprocedure FROM pg_proc WHERE pronamespace = 'pg_catalog'::regnamespace "
                "AND proname ~ '^pg_(try_)?advisory'"));
    for (const QString &function : advisory) {
        db.exec(QStringLiteral("REVOKE EXECUTE ON FUNCTION %1 FROM PUBLIC").arg(function));
        db.exec(QStringLiteral("GRANT EXECUTE ON FUNCTION %1 TO %2").arg(function, ServerRoles::ownerRole()));
    }
    // No session holds the write lock (or any lock) long by sitting in an open transaction, and no
    // statement runs for ever.
    db.exec(QStringLiteral("ALTER DATABASE %1 SET idle_in_transaction_session_timeout = '%2s'")
                .arg(plant.database)
                .arg(kIdleInTransactionSeconds));
    db.exec(QStringLiteral("ALTER DATABASE %1 SET statement_timeout = '%2min'")
                .arg(plant.database)
                .arg(kStatementMinutes));
    return {QStringLiteral("Closed the database to every login but the levels' members, and the server's %1 "
                           "advisory lock functions to every login in it.")
                .arg(advisory.size())};
}

// The level's rights, given anew from nothing.
QString grantLevel(Database &db, const Plant &plant, const QString &level)
{
    const QString role = ServerRoles::roleName(level);
    db.exec(QStringLiteral("REVOKE ALL ON DATABASE %1 FROM %2").arg(plant.database, role));
    db.exec(QStringLiteral("REVOKE ALL ON SCHEMA %1 FROM %2").arg(plant.schema, role));
    db.exec(QStringLiteral("REVOKE ALL ON %1 FROM %2").arg(plant.tables.join(QStringLiteral(", ")), role));
    db.exec(QStringLiteral("REVOKE ALL ON ALL SEQUENCES IN SCHEMA %1 FROM %2").arg(plant.schema, role));
    db.exec(QStringLiteral("GRANT CONNECT ON DATABASE %1 TO %2").arg(plant.database, role));
    db.exec(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(plant.schema, role));
    for (const ServerRoles::Right &right : ServerRoles::rights()) {
        if (!right.levels.contains(level))
            continue;
        const QString table = plant.schema + '.' + quotedName(right.table);
        db.exec(QStringLiteral("GRANT %1 ON %2 TO %3").arg(privilegeText(right), table, role));
        // The key a new row was given is read back (lastval); no level draws a key of its own.
        if (!right.privileges.contains(QLatin1String("INSERT")))
            continue;
        const QString sequence =
            db.scalar(
                  QStringLiteral("SELECT (SELECT pg_get_serial_sequence(:t, a.attname) FROM pg_attribute a "
                                 "WHERE a.attrelid = CAST(:t AS regclass) AND a.attidentity <> '')"),
                  {{QStringLiteral("t"), table}})
                .toString();
        if (!sequence.isEmpty())
            db.exec(QStringLiteral("GRANT SELECT ON SEQUENCE %1 TO %2").arg(sequence, role));
    }
    // A backup (pg_dump) by a level reads the key sequence of every table it reads, the history's too.
    db.exec(QStringLiteral("GRANT SELECT ON SEQUENCE %1 TO %2")
                .arg(db.scalar(QStringLiteral("SELECT pg_get_serial_sequence(:t, 'Change ID')"),
                               {{QStringLiteral("t"), plant.schema + QStringLiteral(".\"Change History\"")}})
                         .toString(),
                     role));
    for (const QString &function : ServerLocks::sharedFunctions())
        db.exec(QStringLiteral("GRANT EXECUTE ON FUNCTION %1.%2 TO %3").arg(plant.schema, function, role));
    // Repair is in every level's menu: the server's index checks only read.
    db.exec(QStringLiteral("GRANT EXECUTE ON FUNCTION bt_index_check(regclass, boolean) TO %1").arg(role));
    return QStringLiteral("Granted level %1's rights in %2 to %3.").arg(level, plant.database, role);
}

// Level C runs Security Administration and the Database commands.
QStringList grantLevelC(Database &db, const Plant &plant)
{
    const QString levelC = ServerRoles::roleName(QStringLiteral("C"));
    db.exec(QStringLiteral("GRANT EXECUTE ON FUNCTION %1.%2 TO %3")
                .arg(plant.schema, ServerLocks::exclusiveFunction(), levelC));
    db.exec(QStringLiteral("GRANT EXECUTE ON FUNCTION %1.kelvara_set_level(text, text) TO %2")
                .arg(plant.schema, levelC));
    // Compact locks every table while it runs: it is for the level that may take the exclusive
    // access, and the owner's function refuses while another copy is in.
    db.exec(QStringLiteral("GRANT EXECUTE ON FUNCTION %1.%2 TO %3")
                .arg(plant.schema, ServerCompaction::signature(), levelC));
    // Current Users shows every copy's machine and start.
    db.exec(QStringLiteral("GRANT pg_read_all_stats TO %1").arg(levelC));
    return {
        QStringLiteral("Made the function kelvara_set_level(login, level), which only %1 may call.")
            .arg(levelC),
        QStringLiteral("Installed the server's index checks (amcheck) for Repair, which every level may run, "
                       "and made the function %1 for Compact, which only %2 may call.")
            .arg(ServerCompaction::signature(), levelC),
        QStringLiteral("Let %1 see the machine and start of every copy in Current Users (pg_read_all_stats).")
            .arg(levelC)};
}
} // namespace

QStringList ServerRoles::setUp(Database &db)
{
    Plant plant{quotedName(db.scalar(QStringLiteral("SELECT current_database()")).toString()),
                quotedName(db.scalar(QStringLiteral("SELECT current_schema()")).toString()),
                {}};
    for (const SchemaTables::Table &table : SchemaTables::tables())
        plant.tables << plant.schema + '.' + quotedName(table.name);
    // The lock functions first: a database of an earlier version has none, and the write
    // transaction below takes its lock through them.
    for (const QString &sql : ServerLocks::createStatements(plant.schema))
        db.exec(sql);

    QStringList done;
    Transaction transaction(db);
    const QString owner = ownerRole();
    if (makeRole(db, owner))
        done << QStringLiteral("Created the role %1 (no login), which owns the plant's tables and functions.")
                    .arg(owner);
    for (const QString &level : kLevels) {
        const QString role = roleName(level);
        done << (makeRole(db, role)
                     ? QStringLiteral("Created the role %1 (no login) for level %2.").arg(role, level)
                     : QStringLiteral("The role %1 for level %2 was there already.").arg(role, level));
        // kelvara_set_level, the owner's, moves logins between the levels.
        db.exec(QStringLiteral("GRANT %1 TO %2 WITH ADMIN OPTION").arg(role, owner));
    }
    // The write lock's function ends a session that sits on the lock (ServerLocks).
    db.exec(QStringLiteral("GRANT pg_signal_backend, pg_read_all_stats TO %1").arg(owner));
    done << QStringLiteral("Let %1 end a session that holds the write lock in a transaction older than %2 s "
                           "(pg_signal_backend, pg_read_all_stats).")
                .arg(owner)
                .arg(ServerLocks::kWriteHoldSeconds);
    // The functions as this version makes them.
    ProtectionTriggers::replace(db);
    ChangeHistory::replace(db);
    db.exec(setLevelFunction(plant.schema));
    db.exec(ServerCompaction::createStatement(plant.schema));
    done << giveToOwner(db, plant) << closeToOthers(db, plant);
    // Repair: the server's index checks, installed once here (by the administrator).
    db.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS amcheck"));
    for (const QString &level : kLevels)
        done << grantLevel(db, plant, level);
    done << grantLevelC(db, plant);
    transaction.commit();
    return done;
}

QStringList ServerRoles::setUpDatabase(const QString &uri, const QString &loginName,
                                       const QList<QPair<QString, QString>> &moreQueries)
{
    const ServerAddress address = ServerAddress::parse(uri);
    QStringList done;
    bool exists = false;
    {
        const Database server = Database::open(address.on(QStringLiteral("postgres")).uri());
        exists = server
                     .scalar(QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = :name"),
                             {{QStringLiteral("name"), address.database}})
                     .toLongLong() > 0;
    }
    qint64 tables = 0, production = 0;
    if (exists) {
        const Database db = Database::open(uri);
        const QVariantMap name{{QStringLiteral("name"), SchemaTables::productionTable().name}};
        tables =
            db.scalar(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = current_schema()"))
                .toLongLong();
        production =
            db.scalar(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = current_schema() "
                                     "AND tablename = :name"),
                      name)
                .toLongLong();
    }
    if (tables == 0) {
        SamplePlant::createDatabase(uri, loginName, false, {}, moreQueries);
        done << QStringLiteral("%1 the database %2 with its tables and saved queries; the login %3 is "
                               "authorized at level C.")
                    .arg(exists ? QStringLiteral("Filled") : QStringLiteral("Created"), address.database,
                         loginName);
    } else if (production == 0) {
        throw DatabaseError(
            DbErrors::Other,
            QStringLiteral("The database %1 holds other tables: it is not a production database.")
                .arg(address.database));
    } else {
        Database db = Database::open(uri);
        const QString queries = QStringLiteral("SELECT count(*) FROM \"Saved Queries\"");
        const qint64 before = db.scalar(queries).toLongLong();
        Schema::addMissingSavedQueries(db, moreQueries);
        done << QStringLiteral("The database %1 holds the production tables already; %2 saved queries it "
                               "lacked were added.")
                    .arg(address.database)
                    .arg(db.scalar(queries).toLongLong() - before);
    }
    Database db = Database::open(uri);
    return done + setUp(db);
}
