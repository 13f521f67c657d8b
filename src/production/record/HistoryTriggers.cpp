#include "HistoryTriggers.h"

#include "AuditedTables.h"
#include "foundation/Database.h"
#include "foundation/HistoryChain.h"
#include "foundation/ServerAddress.h"
#include "foundation/SqlDialect.h"

#include <QSqlQuery>
#include <algorithm>

using namespace AuditedTables;

namespace {
const QString kHistory = QStringLiteral("Change History");

// ---- On a file: one trigger per table and event, calling the program's writer.

QString fileTriggerName(const Audited &audited, Action action)
{
    return QStringLiteral("History %1 %2").arg(audited.table.name, actionName(action));
}

QString fileTrigger(const Audited &audited, Action action)
{
    const auto asIs = [](const QString &value) { return value; };
    return QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON %3 FOR EACH ROW BEGIN SELECT %4(%5); END")
        .arg(quoted(fileTriggerName(audited, action)), eventName(action), quoted(audited.table.name),
             HistoryChain::writerFunction(),
             writerArguments(audited, action, asIs).join(QStringLiteral(", ")));
}

const QString kKeptMessage = QStringLiteral("Rows of the change history are never changed or deleted.");

// The history's own triggers: no row changed or deleted, none written but by the writer.
QList<QPair<QString, QString>> fileGuards()
{
    const QString on = quoted(kHistory);
    return {
        {QStringLiteral("Change History Kept Update"),
         QStringLiteral(
             R"(CREATE TRIGGER "Change History Kept Update" BEFORE UPDATE ON %1 BEGIN SELECT RAISE(ABORT, %2); END)")
             .arg(on, literal(kKeptMessage))},
        {QStringLiteral("Change History Kept Delete"),
         QStringLiteral(
             R"(CREATE TRIGGER "Change History Kept Delete" BEFORE DELETE ON %1 BEGIN SELECT RAISE(ABORT, %2); END)")
             .arg(on, literal(kKeptMessage))},
        {QStringLiteral("Change History Written"),
         QStringLiteral(
             R"(CREATE TRIGGER "Change History Written" BEFORE INSERT ON %1 BEGIN SELECT %2(); END)")
             .arg(on, HistoryChain::guardFunction())},
    };
}

QList<QPair<QString, QString>> fileTriggers()
{
    QList<QPair<QString, QString>> triggers = fileGuards();
    for (const Audited &audited : auditedTables()) {
        for (Action action : kActions)
            triggers.append({fileTriggerName(audited, action), fileTrigger(audited, action)});
    }
    return triggers;
}

// ---- On a server: the owner's functions, run as the owner whoever changes the row.

QString schemaOf(const Database &db)
{
    return quotedName(db.scalar(QStringLiteral("SELECT current_schema()")).toString());
}

// A value as the canonical text of a row writes it (HistoryChain::canonicalText): "~" for
// NULL, otherwise its length in UTF-8 bytes, a colon and the value; each followed by "|".
QString item(const QString &value)
{
    return QStringLiteral(
               "CASE WHEN %1 IS NULL THEN '~|' ELSE CAST(octet_length(%1) AS text) || ':' || %1 || "
               "'|' END")
        .arg(value);
}

// Before a row's history is written: its time, with the session's clock zone; the login, the
// session's, never the owner the function runs as; the program, which names itself and its
// workstation in the session's settings (SqlDialect::connectOptions), any other client being
// "other client"; and the newest row of the chain. The history is written by one transaction at a
// time, which takes the table's lock until it ends: two writers never both chain to the same
// newest row (and a transaction whose snapshot predates another's rows fails on the key they took
// rather than forking the chain). Each new key is the newest plus one, not drawn from the key's
// sequence, so that lastval() still tells the changed row's key.
const QString kChainHead = QStringLiteral(
    "LOCK TABLE \"Change History\" IN EXCLUSIVE MODE;\n"
    "SELECT to_char(clock_timestamp(), 'YYYY-MM-DD\"T\"HH24:MI:SS.MSTZH:TZM'),\n"
    "  CAST(session_user AS text), COALESCE(current_setting('kelvara.workstation', true), ''),\n"
    "  COALESCE(NULLIF(current_setting('kelvara.program', true), ''), 'other client')\n"
    "  INTO v_at, v_who, v_host, v_program;\n"
    "SELECT h.\"Change ID\", h.\"Row Hash\" INTO v_id, v_previous FROM \"Change History\" h\n"
    "  ORDER BY h.\"Change ID\" DESC LIMIT 1;\n"
    "SELECT COALESCE(v_id, 0), COALESCE(v_previous, '') INTO v_id, v_previous;\n");

// One history row, chained to the one before it.
QString historyInsert(const QStringList &values)
{
    QStringList hashed;
    for (const QString &value : values)
        hashed << item(QStringLiteral("CAST(%1 AS text)").arg(value));
    return QStringLiteral(
               "SELECT v_id + 1 INTO v_id;\n"
               "INSERT INTO \"Change History\" (\"Change ID\", \"Changed At\", \"Login\", \"Workstation\",\n"
               "  \"Program\", \"Table Name\", \"Row Key\", \"Action\", \"Job ID\", \"Date\", \"Shift\",\n"
               "  \"Machine Number\", \"Job Number\", \"Field\", \"Old Value\", \"New Value\", \"Row "
               "Hash\")\n"
               "  VALUES (%1, encode(sha256(convert_to(%2 || v_previous, 'UTF8')), 'hex'))\n"
               "  RETURNING \"Row Hash\" INTO v_previous;\n")
        .arg(values.join(QStringLiteral(", ")), hashed.join(QStringLiteral(" || ")));
}

const QString kKeptBody =
    QStringLiteral("BEGIN RAISE EXCEPTION USING MESSAGE = %1; END").arg(literal(kKeptMessage));

// For each event: the line's columns and the chain's head read once, then a history row for each
// field that changed (an insert: given other than its default; a delete: held other than it).
QString serverBranch(const Audited &audited, Action action)
{
    const auto asText = [](const QString &value) { return QStringLiteral("CAST(%1 AS text)").arg(value); };
    const QString row = rowOf(action);
    QString branch = QStringLiteral("SELECT %1 INTO l_job, l_date, l_shift, l_machine, l_number;\n")
                         .arg(audited.line(row).join(QStringLiteral(", "))) +
                     kChainHead;
    for (const Triple &triple : triples(audited, action, asText)) {
        const QString oldValue = action == Action::Insert ? QStringLiteral("NULL") : triple.before;
        const QString newValue = action == Action::Delete ? QStringLiteral("NULL") : triple.after;
        branch += QStringLiteral("IF %1 IS DISTINCT FROM %2 THEN\n%3END IF;\n")
                      .arg(triple.before, triple.after,
                           historyInsert({QStringLiteral("v_id"), QStringLiteral("v_at"),
                                          QStringLiteral("v_who"), QStringLiteral("v_host"),
                                          QStringLiteral("v_program"), literal(audited.table.name),
                                          asText(field(row, audited.key)), literal(actionName(action)),
                                          QStringLiteral("l_job"), QStringLiteral("l_date"),
                                          QStringLiteral("l_shift"), QStringLiteral("l_machine"),
                                          QStringLiteral("l_number"), triple.name, oldValue, newValue}));
    }
    return branch;
}

QString serverTriggerBody(const Audited &audited)
{
    return QStringLiteral(
               "\nDECLARE l_job bigint; l_date text; l_shift bigint; l_machine bigint; l_number text;\n"
               "  v_at text; v_who text; v_host text; v_program text; v_id bigint; v_previous text;\n"
               "BEGIN IF TG_OP = 'INSERT' THEN %1 ELSIF TG_OP = 'UPDATE' THEN %2 ELSE %3 END IF; "
               "RETURN NULL; END")
        .arg(serverBranch(audited, Action::Insert), serverBranch(audited, Action::Change),
             serverBranch(audited, Action::Delete));
}

// A server function: its name, its arguments, what it returns, its language and body.
// A trigger function, run as the owner with the search path pinned.
struct Function
{
    QString name, body;

    QString createStatement(const QString &schema) const
    {
        return QStringLiteral("CREATE OR REPLACE FUNCTION %1.%2() RETURNS trigger LANGUAGE plpgsql SECURITY "
                              "DEFINER SET search_path = pg_catalog, %1, pg_temp AS $$%3$$")
            .arg(schema, quoted(name), body);
    }
};

// A server trigger: its name, table, when it fires, for each row or statement, and its function.
struct Trigger
{
    QString name, table, timing, level, function;

    QString dropStatement(const QString &schema) const
    {
        return QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2.%3").arg(quoted(name), schema, quoted(table));
    }
    QString createStatement(const QString &schema) const
    {
        return QStringLiteral("CREATE TRIGGER %1 %2 ON %3.%4 FOR EACH %5 EXECUTE FUNCTION %3.%6()")
            .arg(quoted(name), timing, schema, quoted(table), level, quoted(function));
    }
};

QString historyTriggerName(const Audited &audited)
{
    return QStringLiteral("History %1").arg(audited.table.name);
}

const QString kKept = QStringLiteral("Change History Kept");

QList<Function> serverFunctions()
{
    QList<Function> functions{
        {kKept, kKeptBody},
    };
    for (const Audited &audited : auditedTables())
        functions.append({historyTriggerName(audited), serverTriggerBody(audited)});
    return functions;
}

// TRUNCATE passes by the row triggers: the history refuses it as well, by any login.
QList<Trigger> serverTriggers()
{
    QList<Trigger> triggers{
        {kKept, kHistory, QStringLiteral("BEFORE UPDATE OR DELETE"), QStringLiteral("ROW"), kKept},
        {QStringLiteral("Change History Not Emptied"), kHistory, QStringLiteral("BEFORE TRUNCATE"),
         QStringLiteral("STATEMENT"), kKept},
    };
    for (const Audited &audited : auditedTables())
        triggers.append({historyTriggerName(audited), audited.table.name,
                         QStringLiteral("AFTER INSERT OR UPDATE OR DELETE"), QStringLiteral("ROW"),
                         historyTriggerName(audited)});
    return triggers;
}

bool serverFunctionCurrent(const Database &db, const Function &function)
{
    QSqlQuery query =
        db.exec(QStringLiteral("SELECT p.prosrc, p.prosecdef FROM pg_proc p WHERE p.proname = :name "
                               "AND p.pronamespace = current_schema()::regnamespace"),
                {{QStringLiteral("name"), function.name}});
    return query.next() && query.value(0).toString() == function.body && query.value(1).toBool();
}

bool serverTriggerCurrent(const Database &db, const Trigger &trigger)
{
    return db.scalar(
                 QStringLiteral("SELECT count(*) FROM pg_trigger WHERE tgname = :name AND tgenabled = 'O' "
                                "AND tgrelid = CAST(:table AS regclass)"),
                 {{QStringLiteral("name"), trigger.name}, {QStringLiteral("table"), quoted(trigger.table)}})
               .toLongLong() == 1;
}

bool fileTriggerCurrent(const Database &db, const QString &name, const QString &sql)
{
    QSqlQuery query =
        db.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = :name"),
                {{QStringLiteral("name"), name}});
    return query.next() && query.value(0).toString() == sql;
}

const HistoryTriggers kFileTriggers{
    [](Database &db) {
        for (const auto &[name, sql] : fileTriggers()) {
            db.exec(QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(quoted(name)));
            db.exec(sql);
        }
    },
    [](const Database &db) {
        const auto triggers = fileTriggers();
        return std::all_of(triggers.cbegin(), triggers.cend(), [&](const auto &trigger) {
            return fileTriggerCurrent(db, trigger.first, trigger.second);
        });
    },
    [](Database &db) {
        for (const auto &[name, sql] : fileTriggers())
            db.exec(QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(quoted(name)));
    },
};

const HistoryTriggers kServerTriggers{
    [](Database &db) {
        const QString schema = schemaOf(db);
        for (const Function &function : serverFunctions())
            db.exec(function.createStatement(schema));
        for (const Trigger &trigger : serverTriggers()) {
            db.exec(trigger.dropStatement(schema));
            db.exec(trigger.createStatement(schema));
        }
    },
    [](const Database &db) {
        const auto functions = serverFunctions();
        const auto triggers = serverTriggers();
        return std::all_of(functions.cbegin(), functions.cend(),
                           [&](const Function &function) { return serverFunctionCurrent(db, function); }) &&
               std::all_of(triggers.cbegin(), triggers.cend(),
                           [&](const Trigger &trigger) { return serverTriggerCurrent(db, trigger); });
    },
    [](Database &db) {
        const QString schema = schemaOf(db);
        for (const Trigger &trigger : serverTriggers())
            db.exec(trigger.dropStatement(schema));
    },
};
} // namespace

const HistoryTriggers &HistoryTriggers::of(const Database &db)
{
    return db.dialect().forEngine(kFileTriggers, kServerTriggers);
}
