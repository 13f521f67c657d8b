#include "ChangeHistory.h"

#include "DatabaseCopy.h"
#include "SchemaTables.h"
#include "foundation/Database.h"
#include "foundation/HistoryChain.h"
#include "foundation/ServerAddress.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <functional>

using SchemaTables::Table;

namespace {
const QString kHistory = QStringLiteral("Change History");

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString literal(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

QString field(const QString &row, const QString &column)
{
    return row + QLatin1Char('.') + quoted(column);
}

// An audited table, its key, and where a history row finds the line its row belongs to: the job
// line's [Job ID], [Date], [Shift], [Machine Number] and [Job Number], as expressions of a row
// (NEW or OLD), NULL where the table has none.
struct Audited
{
    Table table;
    QString key;
    std::function<QStringList(const QString &row)> line;
    // The fields those five columns already hold: an insert or a delete leaves them out.
    QStringList carried;
};

QStringList ofLine(const QString &jobId)
{
    QStringList line{jobId};
    for (const char *column : {"Date", "Shift", "Machine Number", "Job Number"})
        line << QStringLiteral(R"((SELECT "%1" FROM "Production Table" WHERE "Job ID" = %2))")
                    .arg(QLatin1String(column), jobId);
    return line;
}

QStringList none(const QString &)
{
    return {QStringLiteral("NULL"), QStringLiteral("NULL"), QStringLiteral("NULL"), QStringLiteral("NULL"),
            QStringLiteral("NULL")};
}

QList<Audited> auditedTables()
{
    const QString jobId = QStringLiteral("Job ID");
    const auto ticket = [jobId](const QString &row) { return ofLine(field(row, jobId)); };
    const QStringList identity{QStringLiteral("Date"), QStringLiteral("Shift"),
                               QStringLiteral("Machine Number")};
    return {
        {SchemaTables::productionTable(), jobId,
         [](const QString &row) {
             QStringList line;
             for (const char *column : {"Job ID", "Date", "Shift", "Machine Number", "Job Number"})
                 line << field(row, QLatin1String(column));
             return line;
         },
         identity + QStringList{QStringLiteral("Job Number")}},
        {SchemaTables::transferTable(), QStringLiteral("Transfer ID"), ticket, {jobId}},
        {SchemaTables::holdTable(), QStringLiteral("Hold Ticket ID"), ticket, {jobId}},
        // A distribution row belongs to its hold ticket's line where it names none itself.
        {SchemaTables::holdDistribution(),
         QStringLiteral("Distribution ID"),
         [](const QString &row) {
             return ofLine(
                 QStringLiteral(
                     R"(COALESCE(%1, (SELECT "Job ID" FROM "Hold Table" WHERE "Hold Ticket ID" = %2)))")
                     .arg(field(row, QStringLiteral("Job ID")),
                          field(row, QStringLiteral("Hold Ticket ID"))));
         },
         {}},
        {SchemaTables::securityTable(), QStringLiteral("UserName"), none, {}},
        {SchemaTables::colorTable(),
         QStringLiteral("Color ID"),
         [](const QString &row) {
             QStringList line = none(row);
             line[4] = field(row, QStringLiteral("Job Number"));
             return line;
         },
         {QStringLiteral("Job Number")}},
        {SchemaTables::machineReadings(), QStringLiteral("Reading ID"),
         [](const QString &row) {
             QStringList line = none(row);
             line[1] = field(row, QStringLiteral("Date"));
             line[2] = field(row, QStringLiteral("Shift"));
             line[3] = field(row, QStringLiteral("Machine Number"));
             return line;
         },
         identity},
    };
}

// A column's default as its definition gives it ('D', 0), "NULL" when it has none.
QString defaultOf(const SchemaTables::Column &column)
{
    static const QRegularExpression given(QStringLiteral("DEFAULT\\s+('[^']*'|-?[0-9.]+)"));
    const QRegularExpressionMatch match = given.match(column.definition);
    if (!match.hasMatch())
        return QStringLiteral("NULL");
    const QString value = match.captured(1);
    return value.startsWith(QLatin1Char('\'')) ? value : literal(value);
}

enum class Action { Insert, Change, Delete };

// Each action's word in the history and the trigger event that makes it.
struct ActionWords
{
    const char *history, *event;
};

ActionWords wordsOf(Action action)
{
    switch (action) {
    case Action::Insert:
        return {"insert", "INSERT"};
    case Action::Change:
        return {"change", "UPDATE"};
    case Action::Delete:
        break;
    }
    return {"delete", "DELETE"};
}

QString actionName(Action action)
{
    return QString::fromLatin1(wordsOf(action).history);
}

// The fields one event passes to the writer, as (name, before, after) expressions. The key is
// always there (its default taken for NULL), so that every insert and delete leaves a row. An
// insert records only what the new row was given beyond its defaults and a delete what the row
// held beyond them: writing every count of a new line as a row of zeros would cost a new shift
// dozens of history rows for nothing the defaults do not already say, and the fields the line
// columns hold are there on every history row.
struct Triple
{
    QString name, before, after;
};

QList<Triple> triples(const Audited &audited, Action action,
                      const std::function<QString(const QString &)> &text)
{
    QList<Triple> list;
    for (const SchemaTables::Column &column : audited.table.columns) {
        const bool key = column.name == audited.key;
        if (action != Action::Change && !key && audited.carried.contains(column.name))
            continue;
        const QString none = key ? QStringLiteral("NULL") : defaultOf(column);
        const QString oldValue = text(field(QStringLiteral("OLD"), column.name));
        const QString newValue = text(field(QStringLiteral("NEW"), column.name));
        list.append({literal(column.name), action == Action::Insert ? none : oldValue,
                     action == Action::Delete ? none : newValue});
    }
    return list;
}

QString rowOf(Action action)
{
    return action == Action::Delete ? QStringLiteral("OLD") : QStringLiteral("NEW");
}

// The file writer's arguments: the table, the action, the row's key, the line's five columns,
// then the triples.
QStringList writerArguments(const Audited &audited, Action action,
                            const std::function<QString(const QString &)> &text)
{
    const QString row = rowOf(action);
    QStringList arguments{literal(audited.table.name), literal(actionName(action)),
                          text(field(row, audited.key))};
    arguments << audited.line(row);
    for (const Triple &triple : triples(audited, action, text))
        arguments << triple.name << triple.before << triple.after;
    return arguments;
}

QString eventName(Action action)
{
    return QString::fromLatin1(wordsOf(action).event);
}

constexpr Action kActions[] = {Action::Insert, Action::Change, Action::Delete};

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

// A database made before the history gets its table (with its indexes) first.
void ensureTable(Database &db)
{
    if (DatabaseCopy::hasTable(db, kHistory))
        return;
    db.exec(SchemaTables::createStatement(SchemaTables::changeHistory(), db.dialect()));
    for (const QString &sql : SchemaTables::changeHistoryIndexes())
        db.exec(sql);
}

QString orderedRows()
{
    QStringList columns;
    for (const QString &column : HistoryChain::hashedColumns())
        columns << quoted(column);
    return QStringLiteral(R"(SELECT %1, "Row Hash" FROM "Change History" ORDER BY "Change ID")")
        .arg(columns.join(QStringLiteral(", ")));
}
} // namespace

namespace {
// The history's triggers as each engine holds them: the file's SQLite triggers, which call the
// function the program registers on its connections, or the server's SECURITY DEFINER functions
// and their triggers.
struct EngineTriggers
{
    void (*replace)(Database &);
    bool (*current)(const Database &);
    void (*drop)(Database &);
};

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

const EngineTriggers kFileTriggers{
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

const EngineTriggers kServerTriggers{
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

const EngineTriggers &engineOf(const Database &db)
{
    return db.dialect().forEngine(kFileTriggers, kServerTriggers);
}
} // namespace

void ChangeHistory::replace(Database &db)
{
    ensureTable(db);
    engineOf(db).replace(db);
}

bool ChangeHistory::current(const Database &db)
{
    return DatabaseCopy::hasTable(db, kHistory) && engineOf(db).current(db);
}

void ChangeHistory::drop(Database &db)
{
    engineOf(db).drop(db);
}

// Each row's hash is computed anew from its columns and the hash the row before it holds: the
// first row that does not match is the one changed (or the first after rows taken out).
ChangeHistory::Verification ChangeHistory::verify(const Database &db)
{
    Verification result;
    QSqlQuery query = db.exec(orderedRows());
    const int columns = int(HistoryChain::hashedColumns().size());
    QString previous;
    while (query.next()) {
        QVariantList values;
        for (int i = 0; i < columns; ++i)
            values << query.value(i);
        const QString stored = query.value(columns).toString();
        ++result.rows;
        if (result.firstMismatch == 0 && HistoryChain::rowHash(values, previous) != stored)
            result.firstMismatch = values.first().toLongLong();
        previous = stored;
    }
    result.latestHash = previous;
    return result;
}

QString ChangeHistory::latestHash(const Database &db)
{
    QSqlQuery query = db.exec(
        QStringLiteral(R"(SELECT "Row Hash" FROM "Change History" ORDER BY "Change ID" DESC LIMIT 1)"));
    return query.next() ? query.value(0).toString() : QString();
}
