#include "ServerMaintenance.h"

#include "MaintenanceEngine.h"

#include "foundation/Database.h"
#include "foundation/ServerAddress.h"
#include "foundation/ServerCompaction.h"
#include "foundation/ServerLocks.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVersionNumber>

#include <algorithm>

namespace {
// PostgreSQL's longest name.
constexpr int kNameLength = 63;

// The plant's name with a suffix, cut so that the whole stays a name the server keeps as given.
QString withSuffix(const QString &name, const QString &suffix)
{
    const qsizetype room = kNameLength - suffix.toUtf8().size();
    QString cut = name;
    while (cut.toUtf8().size() > room)
        cut.chop(1);
    return cut + suffix;
}
} // namespace

ServerMaintenance::ServerMaintenance(const QString &uri) : m_address(ServerAddress::parse(uri)) {}

QString ServerMaintenance::findProgram(const QString &name)
{
    const QString testBin = qEnvironmentVariable("KELVARA_TEST_SERVER_BIN");
    if (!testBin.isEmpty()) {
        const QString path = QDir(testBin).filePath(name);
        if (QFileInfo(path).isExecutable())
            return path;
    }
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty())
        return onPath;
    QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString &a, const QString &b) {
        return QVersionNumber::fromString(a) < QVersionNumber::fromString(b);
    });
    for (auto version = versions.crbegin(); version != versions.crend(); ++version) {
        const QString path = QStringLiteral("/usr/lib/postgresql/%1/bin/%2").arg(*version, name);
        if (QFileInfo(path).isExecutable())
            return path;
    }
    return {};
}

QString ServerMaintenance::runProgram(const QString &name, const QStringList &arguments) const
{
    const QString program = findProgram(name);
    if (program.isEmpty())
        return QStringLiteral("The server's program %1 is not installed on this computer (Debian package "
                              "postgresql-client).")
            .arg(name);
    QProcess process;
    // Nothing of the connection comes from this computer's libpq settings but what the address
    // leaves open; the password, where one is needed, from the password file.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("PGPASSWORD"));
    environment.remove(QStringLiteral("PGDATABASE"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForStarted())
        return QStringLiteral("The program '%1' cannot be started: %2").arg(program, process.errorString());
    process.closeWriteChannel();
    process.waitForFinished(-1);
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("The program %1 ended abnormally. %2").arg(name, errors).trimmed();
    if (process.exitCode() != 0)
        return errors.isEmpty()
                   ? QStringLiteral("The program %1 failed (exit code %2).").arg(name).arg(process.exitCode())
                   : errors;
    return {};
}

QString ServerMaintenance::runOn(const QString &database, const QString &sql) const
{
    try {
        const Database db = Database::open(m_address.on(database).uri());
        db.exec(sql);
        return {};
    } catch (const DatabaseError &error) {
        return error.description();
    }
}

QString ServerMaintenance::dump(const QString &file) const
{
    return runProgram(QStringLiteral("pg_dump"),
                      {QStringLiteral("--format=custom"), QStringLiteral("--file=") + file,
                       QStringLiteral("--dbname=") + m_address.connectionString()});
}

QString ServerMaintenance::checkArchive(const QString &file) const
{
    const QString error = runProgram(QStringLiteral("pg_restore"), {QStringLiteral("--list"), file});
    if (error.isEmpty())
        return {};
    return QStringLiteral("The file '%1' is not a complete backup of a database on a server: %2")
        .arg(file, error);
}

QString ServerMaintenance::workDatabase() const
{
    return withSuffix(m_address.database, QStringLiteral("_restoring"));
}

QString ServerMaintenance::keptName(const QDateTime &when) const
{
    return withSuffix(m_address.database,
                      QStringLiteral("_before_restore_") + when.toString(QStringLiteral("yyyyMMdd_HHmmss")));
}

QString ServerMaintenance::dropDatabase(const QString &name) const
{
    return runOn(QStringLiteral("postgres"),
                 QStringLiteral("DROP DATABASE IF EXISTS %1").arg(quotedName(name)));
}

QString ServerMaintenance::restoreInto(const QString &file, const QString &work) const
{
    QString error = dropDatabase(work);
    if (!error.isEmpty())
        return QStringLiteral("The work database %1 left by an earlier restore cannot be dropped: %2")
            .arg(work, error);
    try {
        Database::createServerDatabase(m_address.on(work).uri());
    } catch (const DatabaseError &error) {
        return QStringLiteral("The work database %1 cannot be made on the server: %2")
            .arg(work, error.description());
    }
    error = runProgram(QStringLiteral("pg_restore"),
                       {QStringLiteral("--single-transaction"), QStringLiteral("--exit-on-error"),
                        QStringLiteral("--dbname=") + m_address.on(work).connectionString(), file});
    if (!error.isEmpty())
        return error;
    // An archive of a database made before the program took its locks through its own functions.
    try {
        Database db = Database::open(m_address.on(work).uri());
        if (db.scalar(QStringLiteral("SELECT to_regprocedure('kelvara_write_lock()') IS NULL")).toBool()) {
            const QString schema =
                quotedName(db.scalar(QStringLiteral("SELECT current_schema()")).toString());
            for (const QString &sql : ServerLocks::createStatements(schema))
                db.exec(sql);
        }
    } catch (const DatabaseError &failure) {
        return failure.description();
    }
    return {};
}

std::optional<qint64> ServerMaintenance::jobLines(const QString &database) const
{
    try {
        return MaintenanceEngine::jobLinesOf(
            Database::open(m_address.on(database).uri(), Database::ReadOnly));
    } catch (const DatabaseError &) {
        return std::nullopt;
    }
}

QString ServerMaintenance::carryOverAccess(const QString &work) const
{
    try {
        Database server = Database::open(m_address.on(QStringLiteral("postgres")).uri());
        const QVariantMap plant{{QStringLiteral("name"), m_address.database}};
        const QString target = quotedName(work);
        server.exec(QStringLiteral("ALTER DATABASE %1 OWNER TO %2")
                        .arg(target, server
                                         .scalar(QStringLiteral("SELECT quote_ident(pg_get_userbyid(datdba)) "
                                                                "FROM pg_database WHERE datname = :name"),
                                                 plant)
                                         .toString()));
        // Its settings (the time limits --setup-server sets) are the database's, not the archive's.
        QSqlQuery settings = server.exec(
            QStringLiteral("SELECT unnest(s.setconfig) FROM pg_db_role_setting s JOIN pg_database d ON "
                           "d.oid = s.setdatabase WHERE d.datname = :name AND s.setrole = 0"),
            plant);
        QStringList settingStatements;
        while (settings.next()) {
            const QString setting = settings.value(0).toString();
            settingStatements << QStringLiteral("ALTER DATABASE %1 SET %2 = '%3'")
                                     .arg(target, setting.section('=', 0, 0),
                                          setting.section('=', 1).replace('\'', QLatin1String("''")));
        }
        settings = QSqlQuery();
        for (const QString &sql : std::as_const(settingStatements))
            server.exec(sql);
        // No privileges set means the server's defaults, which the new database has already.
        if (!server
                 .scalar(QStringLiteral("SELECT datacl IS NOT NULL FROM pg_database WHERE datname = :name"),
                         plant)
                 .toBool())
            return {};
        QStringList grants;
        QSqlQuery query = server.exec(
            QStringLiteral(
                "SELECT CASE WHEN g.grantee = 0 THEN 'PUBLIC' ELSE quote_ident(r.rolname) END, "
                "g.privilege_type, g.is_grantable FROM pg_database d CROSS JOIN aclexplode(d.datacl) g "
                "LEFT JOIN pg_roles r ON r.oid = g.grantee WHERE d.datname = :name"),
            plant);
        while (query.next()) {
            grants << QStringLiteral("GRANT %1 ON DATABASE %2 TO %3%4")
                          .arg(query.value(1).toString(), target, query.value(0).toString(),
                               query.value(2).toBool() ? QStringLiteral(" WITH GRANT OPTION") : QString());
        }
        query = QSqlQuery();
        server.exec(QStringLiteral("REVOKE ALL ON DATABASE %1 FROM PUBLIC").arg(target));
        for (const QString &grant : std::as_const(grants))
            server.exec(grant);
        return {};
    } catch (const DatabaseError &error) {
        return QStringLiteral(
                   "The owner and privileges of the database %1 cannot be given to the restored copy: %2")
            .arg(m_address.database, error.description());
    }
}

QString ServerMaintenance::swapIn(const QString &work, const QString &keptAs) const
{
    try {
        Database server = Database::open(m_address.on(QStringLiteral("postgres")).uri());
        // A transaction of its own, not a write transaction: the server's own database holds no
        // write lock of the program's. A failure leaves the transaction to the closed connection.
        server.exec(QStringLiteral("BEGIN"));
        server.exec(QStringLiteral("ALTER DATABASE %1 RENAME TO %2")
                        .arg(quotedName(m_address.database), quotedName(keptAs)));
        server.exec(QStringLiteral("ALTER DATABASE %1 RENAME TO %2")
                        .arg(quotedName(work), quotedName(m_address.database)));
        server.exec(QStringLiteral("COMMIT"));
        return {};
    } catch (const DatabaseError &error) {
        return error.description();
    }
}

QString ServerMaintenance::administratorAddress() const
{
    ServerAddress address = m_address;
    address.user.clear();
    return address.uri();
}

QString ServerMaintenance::refusalUnless(const QString &allowed, const QString &refusal,
                                         const QVariantMap &values) const
{
    try {
        if (Database::open(m_address.uri()).scalar(allowed, values).toBool())
            return {};
    } catch (const DatabaseError &error) {
        return error.description();
    }
    return refusal;
}

QString ServerMaintenance::compactRefusal() const
{
    // VACUUM takes a table whose owner, or whose database's owner, is one of the login's roles; a
    // login that owns none compacts through the owner's function, which --setup-server makes.
    return refusalUnless(
        QStringLiteral(
            "SELECT CASE WHEN to_regprocedure(:f) IS NOT NULL THEN has_function_privilege(:f, 'EXECUTE') "
            "ELSE NOT EXISTS (SELECT 1 FROM pg_class WHERE relnamespace = current_schema()::regnamespace "
            "AND relkind = 'r' AND NOT pg_has_role(relowner, 'USAGE') AND NOT pg_has_role((SELECT "
            "datdba FROM pg_database WHERE datname = current_database()), 'USAGE')) END"),
        QStringLiteral("The server lets only the owner of the tables compact them, and your login may not "
                       "call the owner's function %1 for it: on a server, Compact is level C's, who may keep "
                       "everyone else out while it runs. Nothing was compacted. Where level C cannot either, "
                       "the server's administrator gives it the function once with:\n\n"
                       "    kelvara --setup-server '%2'")
            .arg(ServerCompaction::signature(), administratorAddress()),
        {{QStringLiteral("f"), ServerCompaction::signature()}});
}

QString ServerMaintenance::repairRefusal() const
{
    // The server's index checks are installed once by --setup-server; the administrator installs
    // them at the first check on a database made without it.
    return refusalUnless(
        QStringLiteral("SELECT CASE WHEN to_regprocedure(:f) IS NOT NULL THEN has_function_privilege(:f, "
                       "'EXECUTE') ELSE (SELECT rolsuper FROM pg_roles WHERE rolname = current_user) END"),
        QStringLiteral(
            "The server's index checks (the extension amcheck) are not there for your login in %1. "
            "Nothing was checked. The server's administrator installs them and gives them to every "
            "level once with:\n\n    kelvara --setup-server '%2'")
            .arg(m_address.database, administratorAddress()),
        {{QStringLiteral("f"), QStringLiteral("bt_index_check(regclass, boolean)")}});
}

QString ServerMaintenance::restoreRefusal() const
{
    return refusalUnless(
        QStringLiteral(
            "SELECT rolsuper OR (rolcreatedb AND pg_has_role((SELECT datdba FROM pg_database WHERE "
            "datname = current_database()), 'MEMBER')) FROM pg_roles WHERE rolname = current_user"),
        QStringLiteral("A restore makes a new database on the server and gives it to the owner of %1: only "
                       "the server's administrator may. Nothing was restored. The administrator starts the "
                       "program on this database as the server's administrator (sudo -u postgres kelvara, "
                       "with DatabaseName %2) and chooses Database > Restore.")
            .arg(m_address.database, administratorAddress()));
}

QString ServerMaintenance::compact(QList<CompactedTable> &tables) const
{
    tables.clear();
    try {
        const Database db = Database::open(m_address.uri());
        const QVariantMap function{{QStringLiteral("f"), ServerCompaction::signature()}};
        const bool owners =
            db.scalar(QStringLiteral("SELECT to_regprocedure(:f) IS NOT NULL"), function).toBool();
        const QString sizes = QStringLiteral(
            "SELECT relname, true, pg_total_relation_size(oid), 0 FROM pg_class WHERE "
            "relnamespace = current_schema()::regnamespace AND relkind = 'r' ORDER BY relname");
        tables = compactedTables(db, owners ? ServerCompaction::call() : sizes);
        if (owners)
            return {};
        // A database the administrator made without --setup-server: its owner vacuums it. VACUUM
        // runs outside any transaction: the connection is in autocommit. Only the program's tables:
        // a bare VACUUM FULL run by the server's administrator rewrites the server's shared
        // catalogs too, and every login to every database on the server waits while it holds them.
        const QString schema = quotedName(db.scalar(QStringLiteral("SELECT current_schema()")).toString());
        QStringList names;
        for (const CompactedTable &table : tables)
            names << schema + '.' + quotedName(table.name);
        if (!names.isEmpty())
            db.exec(QStringLiteral("VACUUM (FULL, ANALYZE) ") + names.join(QStringLiteral(", ")));
        const QList<CompactedTable> after = compactedTables(db, sizes);
        for (qsizetype i = 0; i < tables.size() && i < after.size(); ++i)
            tables[i].after = after[i].before;
        return {};
    } catch (const DatabaseError &error) {
        return error.description();
    }
}

QList<CompactedTable> ServerMaintenance::compactedTables(const Database &db, const QString &sql)
{
    QList<CompactedTable> tables;
    QSqlQuery query = db.exec(sql);
    while (query.next())
        tables.append({query.value(0).toString(), query.value(1).toBool(), query.value(2).toLongLong(),
                       query.value(3).toLongLong()});
    return tables;
}

QString ServerCheckResult::report(const QString &databaseName) const
{
    if (!failure.isEmpty())
        return QStringLiteral("The database %1 on the server could not be checked: %2")
            .arg(databaseName, failure);
    const QString checked =
        QStringLiteral(
            "The database %1 on the server was checked: the server's check of %2 indexes of %3 tables")
            .arg(databaseName)
            .arg(indexes)
            .arg(tables);
    if (problems.isEmpty())
        return checked + QStringLiteral(" found nothing wrong. The server keeps its own files whole; there "
                                        "was nothing to repair.");
    return checked +
           QStringLiteral(" found %1 damaged (below). Ask the server's administrator to rebuild "
                          "them (REINDEX) or restore a backup.\n\n")
               .arg(problems.size()) +
           problems.join('\n');
}

namespace {
// The server keeps its own files whole: its repair is the checks, run on db, which reads the
// server's catalog. The extension amcheck is installed where it is missing.
ServerCheckResult checkServer(const Database &db)
{
    ServerCheckResult result;
    // --setup-server installs the checks once; on a database made without it, the administrator's
    // first check does (a login that may not is refused before it gets here).
    try {
        if (db.scalar(QStringLiteral("SELECT to_regprocedure('bt_index_check(regclass, boolean)') IS NULL"))
                .toBool())
            db.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS amcheck"));
    } catch (const DatabaseError &error) {
        result.failure = QStringLiteral("the server's checks (the extension amcheck) cannot be installed: ") +
                         error.description();
        return result;
    }
    struct Index
    {
        qint64 oid;
        QString name, table;
    };
    QList<Index> indexes;
    try {
        QSqlQuery query = db.exec(QStringLiteral(
            "SELECT c.oid, c.relname, t.relname FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
            "JOIN pg_class t ON t.oid = i.indrelid JOIN pg_am a ON a.oid = c.relam "
            "WHERE a.amname = 'btree' AND t.relnamespace = current_schema()::regnamespace "
            "AND t.relkind = 'r' AND i.indisvalid AND i.indisready ORDER BY t.relname, c.relname"));
        while (query.next())
            indexes.append(
                {query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString()});
    } catch (const DatabaseError &error) {
        result.failure = error.description();
        return result;
    }
    QStringList tables;
    for (const Index &index : std::as_const(indexes)) {
        if (!tables.contains(index.table))
            tables << index.table;
        try {
            // Each check on its own: one that fails does not stop the others.
            db.exec(QStringLiteral("SELECT bt_index_check(%1::oid::regclass, true)").arg(index.oid));
        } catch (const DatabaseError &error) {
            result.problems
                << QStringLiteral("%1 of the table %2: %3").arg(index.name, index.table, error.description());
        }
        ++result.indexes;
    }
    result.tables = int(tables.size());
    return result;
}
} // namespace

ServerCheckResult ServerMaintenance::check() const
{
    try {
        const Database db = Database::open(m_address.uri());
        return checkServer(db);
    } catch (const DatabaseError &error) {
        ServerCheckResult result;
        result.failure = error.description();
        return result;
    }
}
