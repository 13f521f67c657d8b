#include "ServerStatements.h"

#include "StatementCache.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>

namespace {
// The :name parameters of a statement, outside quoted text, names and comments and not the
// server's :: casts.
QStringList parameterNames(const QString &sql)
{
    QStringList names;
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        if (sql.mid(i, 2) == QLatin1String("--") || sql.mid(i, 2) == QLatin1String("/*")) {
            const QString close = sql.at(i) == '-' ? QStringLiteral("\n") : QStringLiteral("*/");
            const qsizetype end = sql.indexOf(close, i + 2);
            i = end < 0 ? sql.size() : end + close.size() - 1;
            continue;
        }
        if (c != ':' || i + 1 >= sql.size() || (i > 0 && sql.at(i - 1) == ':') || sql.at(i + 1) == ':')
            continue;
        qsizetype end = i + 1;
        while (end < sql.size() && (sql.at(end).isLetterOrNumber() || sql.at(end) == '_'))
            ++end;
        const QString name = sql.mid(i + 1, end - i - 1);
        if (!name.isEmpty() && !names.contains(name))
            names << name;
        i = end - 1;
    }
    return names;
}

// Values as the file stores them: yes/no as 1/0, times as ISO text.
QVariant serverValue(const QVariant &value)
{
    if (value.isNull())
        return value;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODateWithMs);
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("hh:mm:ss.zzz"));
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    default:
        return value;
    }
}
// The error of a connection the server dropped or that cannot be used any more: the server's
// own (class 08, or shutting down: 57P01 to 57P03), or the client library's, which has no SQLSTATE.
bool connectionLost(const QSqlError &error)
{
    const QString state = error.nativeErrorCode();
    if (state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") ||
        state == QLatin1String("57P02") || state == QLatin1String("57P03"))
        return true;
    if (!state.isEmpty())
        return false;
    const QString text = error.databaseText() + ' ' + error.driverText();
    for (const char *sign : {"server closed the connection", "no connection to the server",
                             "could not receive data from server", "could not send data to server",
                             "terminating connection", "connection pointer is NULL", "SSL SYSCALL error"}) {
        if (text.contains(QLatin1String(sign), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

enum class TransactionStep { None, Begin, Commit, Rollback };

TransactionStep transactionStep(const QString &sql)
{
    // The first word, also when a semicolon or a line break ends it ("BEGIN;\nSET LOCAL ...").
    QString verb;
    for (const QChar c : sql.trimmed()) {
        if (!c.isLetter())
            break;
        verb += c.toUpper();
    }
    if (verb == QLatin1String("BEGIN") || verb == QLatin1String("START"))
        return TransactionStep::Begin;
    if (verb == QLatin1String("COMMIT") || verb == QLatin1String("END"))
        return TransactionStep::Commit;
    if (verb == QLatin1String("ROLLBACK") || verb == QLatin1String("ABORT"))
        return TransactionStep::Rollback;
    return TransactionStep::None;
}

// A statement that changes the tables: the statements kept may no longer fit them.
bool changesSchema(const QString &sql)
{
    const QString start = sql.trimmed().left(8).toUpper();
    return start.startsWith(QLatin1String("CREATE")) || start.startsWith(QLatin1String("ALTER")) ||
           start.startsWith(QLatin1String("DROP"));
}

// The rows of one run of a kept statement, read through the statement's own query. When the
// last copy of the caller's query goes, the statement is given back for the next run.
class KeptResult : public QSqlResult
{
public:
    KeptResult(const QSqlDriver *driver, std::weak_ptr<ServerStatements> owner,
               std::shared_ptr<ServerStatements::Prepared> statement)
        : QSqlResult(driver), m_owner(std::move(owner)), m_statement(std::move(statement))
    {
        setQuery(m_statement->query.lastQuery());
        setSelect(m_statement->query.isSelect());
        setActive(true);
        setAt(QSql::BeforeFirstRow);
        // Read once: a value read by its column's name looks the name up in it.
        m_record = m_statement->query.record();
    }

    ~KeptResult() override
    {
        if (const auto owner = m_owner.lock())
            owner->giveBack(m_statement);
    }

protected:
    QVariant data(int column) override { return m_statement->query.value(column); }
    bool isNull(int column) override { return m_statement->query.isNull(column); }
    bool reset(const QString &) override { return false; }
    bool fetch(int row) override
    {
        if (!m_statement->query.seek(row))
            return false;
        setAt(row);
        return true;
    }
    bool fetchFirst() override { return fetch(0); }
    bool fetchLast() override
    {
        if (!m_statement->query.last())
            return false;
        setAt(m_statement->query.at());
        return true;
    }
    int size() override { return m_statement->query.size(); }
    int numRowsAffected() override { return m_statement->query.numRowsAffected(); }
    QSqlRecord record() const override { return m_record; }

private:
    QSqlRecord m_record;
    std::weak_ptr<ServerStatements> m_owner;
    std::shared_ptr<ServerStatements::Prepared> m_statement;
};
} // namespace

ServerStatements::ServerStatements(QString connectionName, SqlDialect dialect, QStringList connectStatements)
    : m_connectionName(std::move(connectionName)), m_dialect(dialect),
      m_connectStatements(std::move(connectStatements))
{
}

ServerStatements::~ServerStatements() = default;

QString ServerStatements::lostMessage()
{
    // Windows that keep the typed entry say so themselves.
    return QStringLiteral("The connection to the database server was lost. Try again: the next step "
                          "connects anew.");
}

void ServerStatements::start()
{
    if (!m_connectStatements.isEmpty())
        runTogether(m_connectStatements);
}

void ServerStatements::runTogether(const QStringList &statements)
{
    const QString sql = statements.join(QStringLiteral(";\n"));
    // The driver reports the first statement's outcome and keeps the others' results: each is
    // looked at in turn, and the server ran none after one that failed.
    QSqlQuery query = run(sql, {});
    while (query.nextResult()) {
    }
    if (query.lastError().isValid())
        fail(query, sql);
}

const ServerStatements::Text &ServerStatements::text(const QString &sql)
{
    auto known = m_texts.constFind(sql);
    if (known != m_texts.cend())
        return *known;
    Text text;
    text.sql = sql;
    text.parameters = parameterNames(sql);
    return *m_texts.insert(sql, text);
}

std::shared_ptr<ServerStatements::Prepared> ServerStatements::checkOut(const QString &sql,
                                                                       const Text &statement)
{
    QList<std::shared_ptr<Prepared>> &idle = m_idle[sql];
    if (!idle.isEmpty())
        return idle.takeLast();
    auto prepared = std::make_shared<Prepared>();
    prepared->sql = sql;
    prepared->generation = m_generation;
    // Not forward-only: the driver would then read rows one at a time off the connection, and the
    // next statement on it would lose them. A whole result is what a caller's rows rely on.
    prepared->query = QSqlQuery(QSqlDatabase::database(m_connectionName, false));
    if (!prepared->query.prepare(statement.sql))
        fail(prepared->query, sql);
    return prepared;
}

void ServerStatements::giveBack(const std::shared_ptr<Prepared> &statement)
{
    // One prepared before the tables changed, or on a connection dropped since, is of no more use.
    if (statement->generation == m_generation)
        m_idle[statement->sql].append(statement);
}

void ServerStatements::forgetStatements()
{
    m_idle.clear();
    ++m_generation;
}

QSqlQuery ServerStatements::run(const QString &sql, const QVariantMap &params)
{
    const Text &statement = text(sql);
    const TransactionStep step =
        statement.parameters.isEmpty() ? transactionStep(statement.sql) : TransactionStep::None;
    if (m_lost) {
        // The server lost the transaction whole with the connection: a rollback has nothing left
        // to undo, anything else fails (on a new connection it would be half a transaction).
        if (step == TransactionStep::Rollback) {
            m_inTransaction = false;
            return QSqlQuery(QSqlDatabase::database(m_connectionName, false));
        }
        if (m_inTransaction) {
            if (step == TransactionStep::Commit)
                m_inTransaction = false;
            throw DatabaseError(DbErrors::FileNotFound, lostMessage());
        }
        reopen();
    }
    if (statement.parameters.isEmpty()) {
        QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
        const bool ran = query.exec(statement.sql);
        // A COMMIT or ROLLBACK ends the transaction whatever its outcome.
        if (step == TransactionStep::Begin)
            m_inTransaction = ran || m_inTransaction;
        else if (step != TransactionStep::None)
            m_inTransaction = false;
        if (!ran) {
            if (step == TransactionStep::Rollback && connectionLost(query.lastError())) {
                m_lost = true;
                return query;
            }
            fail(query, sql);
        }
        if (changesSchema(statement.sql))
            forgetStatements();
        return query;
    }
    const std::shared_ptr<Prepared> prepared = checkOut(sql, statement);
    for (const QString &name : statement.parameters) {
        bool found = false;
        const QVariant value = parameterValue(params, name, &found);
        if (!found) {
            giveBack(prepared);
            throw DatabaseError(DbErrors::Other,
                                QStringLiteral("No value given for the parameter '%1'.").arg(name));
        }
        prepared->query.bindValue(QLatin1Char(':') + name, serverValue(value));
    }
    if (!prepared->query.exec()) {
        // The statement stays prepared on the server whatever became of the run (the server
        // does not undo a PREPARE), unless the connection went.
        giveBack(prepared);
        fail(prepared->query, sql);
    }
    const QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    return QSqlQuery(new KeptResult(db.driver(), weak_from_this(), prepared));
}

void ServerStatements::reopen()
{
    // The connection is made anew under its name, from a copy of its settings. The old driver
    // goes first, so that the statements kept on it go without a word to the server (they went
    // with the old connection), rows still held by a caller stay readable, and none of them can
    // reach the new connection.
    const QString spare = m_connectionName + QStringLiteral("-reopening");
    QSqlDatabase::cloneDatabase(m_connectionName, spare);
    QSqlDatabase::removeDatabase(m_connectionName);
    forgetStatements();
    QSqlDatabase::cloneDatabase(spare, m_connectionName);
    QSqlDatabase::removeDatabase(spare);
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.open()) {
        DatabaseError error(DbErrors::FileNotFound,
                            QStringLiteral("The database server cannot be reached. Try again in a "
                                           "moment."));
        const QSqlError why = db.lastError();
        error.setDetail(why.databaseText().isEmpty() ? why.text() : why.databaseText());
        throw error;
    }
    m_lost = false;
    start();
}

void ServerStatements::fail(const QSqlQuery &query, const QString &sql)
{
    const QSqlError error = query.lastError();
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    if (connectionLost(error)) {
        m_lost = true;
        DatabaseError lost(DbErrors::FileNotFound, lostMessage());
        lost.setDetail(sql.left(200) + QStringLiteral(": ") + text);
        throw lost;
    }
    throw m_dialect.mapServerError(error.nativeErrorCode(), text, sql.left(200));
}
