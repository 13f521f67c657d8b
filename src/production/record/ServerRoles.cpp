#include "ServerRoles.h"

#include "SamplePlant.h"
#include "Schema.h"
#include "SchemaTables.h"
#include "foundation/Database.h"
#include "foundation/RejectReasons.h"
#include "foundation/ServerAddress.h"

#include <QSqlQuery>

namespace {
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

// A grant of privileges on one table (with columns, on those only).
struct Grant
{
    QString privileges;
    QString table;
    QStringList columns;

    QString statement(const QString &role) const
    {
        QStringList parts;
        for (const QString &privilege : privileges.split(QLatin1Char(',')))
            parts << (columns.isEmpty()
                          ? privilege.trimmed()
                          : QStringLiteral("%1 (%2)").arg(privilege.trimmed(), columnList(columns)));
        return QStringLiteral("GRANT %1 ON %2 TO %3")
            .arg(parts.join(QStringLiteral(", ")), quotedName(table), role);
    }
};

// What each level may do beyond reading, by the windows its menu rights open.
QList<Grant> grantsOf(const QString &level)
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

    QList<Grant> grants{
        {QStringLiteral("INSERT, UPDATE, DELETE"), QStringLiteral("Color Table"), {}},
        {QStringLiteral("INSERT, UPDATE, DELETE"), customerReportParts().name, {}},
        {QStringLiteral("UPDATE"), holdDistribution().name, {QStringLiteral("Printed")}},
    };
    if (level == QLatin1String("A") || level == QLatin1String("B")) {
        grants.append({QStringLiteral("INSERT, UPDATE"), QStringLiteral("Job Lookup Table"), {}});
        grants.append({QStringLiteral("INSERT"), production, newLine});
        grants.append({QStringLiteral("DELETE"), production, {}});
    }
    if (level == QLatin1String("A")) {
        grants.append({QStringLiteral("UPDATE"), production, without(newLine, {QStringLiteral("Job ID")})});
        // Who may type an Ending Count may read it from the machine, and the reading is kept.
        grants.append({QStringLiteral("INSERT"), machineReadings().name, {}});
    }
    if (level == QLatin1String("B")) {
        grants.append({QStringLiteral("UPDATE"), production, identity + rejects});
        for (const Table &table : {transferTable(), holdTable(), holdDistribution()})
            grants.append({QStringLiteral("INSERT, UPDATE, DELETE"), table.name, {}});
    }
    return grants;
}

// Sets a login's level: a member of that level's role and of no other one. Logins that are not
// ordinary login roles (the superuser, the level roles themselves) are left alone, as are names
// without a login role on the server (false); case is ignored, as the plant's login names are.
QString setLevelFunction()
{
    return QStringLiteral(
        "CREATE OR REPLACE FUNCTION kelvara_set_level(login text, level text) RETURNS boolean\n"
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
        "$$");
}
} // namespace

QString ServerRoles::roleName(const QString &level)
{
    return kLevels.contains(level) ? QStringLiteral("kelvara_level_") + level.toLower() : QString();
}

QStringList ServerRoles::setUp(Database &db)
{
    QStringList done;
    const QString database = db.scalar(QStringLiteral("SELECT current_database()")).toString();
    const QString schema = db.scalar(QStringLiteral("SELECT current_schema()")).toString();
    QStringList tables;
    for (const SchemaTables::Table &table : SchemaTables::tables())
        tables << quotedName(table.name);

    Transaction transaction(db);
    for (const QString &level : kLevels) {
        const QString role = roleName(level);
        const bool exists = db.scalar(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = :role"),
                                      {{QStringLiteral("role"), role}})
                                .toLongLong() > 0;
        if (!exists) {
            db.exec(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(role));
            done << QStringLiteral("Created the role %1 (no login) for level %2.").arg(role, level);
        } else {
            done << QStringLiteral("The role %1 for level %2 was there already.").arg(role, level);
        }
    }
    // Only the levels' members connect; each level's rights are given anew.
    db.exec(QStringLiteral("REVOKE CONNECT ON DATABASE %1 FROM PUBLIC").arg(quotedName(database)));
    for (const QString &level : kLevels) {
        const QString role = roleName(level);
        db.exec(QStringLiteral("REVOKE ALL ON %1 FROM %2").arg(tables.join(QStringLiteral(", ")), role));
        db.exec(
            QStringLiteral("REVOKE ALL ON ALL SEQUENCES IN SCHEMA %1 FROM %2").arg(quotedName(schema), role));
        db.exec(QStringLiteral("GRANT CONNECT ON DATABASE %1 TO %2").arg(quotedName(database), role));
        db.exec(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(quotedName(schema), role));
        db.exec(QStringLiteral("GRANT SELECT ON %1 TO %2").arg(tables.join(QStringLiteral(", ")), role));
        // The key a new row was given is read back through its sequence.
        db.exec(QStringLiteral("GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA %1 TO %2")
                    .arg(quotedName(schema), role));
        if (level == QLatin1String("C")) {
            db.exec(QStringLiteral("GRANT ALL ON %1 TO %2").arg(tables.join(QStringLiteral(", ")), role));
        } else {
            for (const Grant &grant : grantsOf(level))
                db.exec(grant.statement(role));
        }
        done << QStringLiteral("Granted level %1's rights on the tables of %2 to %3.")
                    .arg(level, database, role);
    }
    db.exec(setLevelFunction());
    db.exec(QStringLiteral("REVOKE ALL ON FUNCTION kelvara_set_level(text, text) FROM PUBLIC"));
    db.exec(QStringLiteral("GRANT EXECUTE ON FUNCTION kelvara_set_level(text, text) TO %1")
                .arg(roleName(QStringLiteral("C"))));
    done << QStringLiteral("Made the function kelvara_set_level(login, level), which only %1 may call.")
                .arg(roleName(QStringLiteral("C")));
    // Level C runs the Database commands: its Current Users shows every copy's machine and start.
    db.exec(QStringLiteral("GRANT pg_read_all_stats TO %1").arg(roleName(QStringLiteral("C"))));
    done << QStringLiteral(
                "Let %1 see the machine and start of every copy in Current Users (pg_read_all_stats).")
                .arg(roleName(QStringLiteral("C")));
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
        const QString queries = QStringLiteral("SELECT count(*) FROM [Saved Queries]");
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
