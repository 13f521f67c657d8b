#include "StatementCache.h"

#include "SqlDialect.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlField>
#include <QSqlResult>
#include <sqlite3.h>

namespace {
// A parameter map's name as it binds: blanks and other non-word characters dropped.
QString bareName(const QString &name)
{
    QString result;
    result.reserve(name.size());
    for (QChar c : name) {
        if (c.isLetterOrNumber() || c == '_')
            result += c;
    }
    return result;
}

} // namespace

QVariant parameterValue(const QVariantMap &params, const QString &name, bool *found)
{
    auto value = params.constFind(name);
    if (value == params.cend()) {
        for (auto it = params.cbegin(); it != params.cend(); ++it) {
            if (bareName(it.key()) == name) {
                value = it;
                break;
            }
        }
    }
    *found = !name.isEmpty() && value != params.cend();
    return *found ? *value : QVariant();
}

namespace {
// UTF-16 text of the engine; bytes -1 for text ended by a zero.
QString textOf(const void *utf16, int bytes)
{
    return QString(static_cast<const QChar *>(utf16), bytes < 0 ? -1 : bytes / int(sizeof(QChar)));
}

int bindValue(sqlite3_stmt *stmt, int index, const QVariant &value)
{
    if (value.isNull())
        return sqlite3_bind_null(stmt, index);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return sqlite3_bind_int64(stmt, index, value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(stmt, index, value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob(stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    default: {
        // Dates as ISO text, as the driver writes them.
        QString text;
        if (value.typeId() == QMetaType::QDateTime)
            text = value.toDateTime().toString(Qt::ISODateWithMs);
        else if (value.typeId() == QMetaType::QTime)
            text = value.toTime().toString(QStringLiteral("hh:mm:ss.zzz"));
        else
            text = value.toString();
        return sqlite3_bind_text16(stmt, index, text.utf16(), int(text.size() * sizeof(QChar)),
                                   SQLITE_TRANSIENT);
    }
    }
}

// The rows of one run of a cached statement. The first step ran already (it shows whether the
// statement worked); its row, if any, is handed out by the first fetch.
class CachedResult : public QSqlResult
{
public:
    CachedResult(const QSqlDriver *driver, std::shared_ptr<StatementCache> cache,
                 StatementCache::Statement *statement, bool firstRow, qint64 changes, qint64 newRowId)
        : QSqlResult(driver), m_cache(std::move(cache)), m_statement(statement), m_pendingRow(firstRow),
          m_done(!firstRow), m_changes(changes), m_newRowId(newRowId)
    {
        setQuery(statement->sql);
        setForwardOnly(true);
        setSelect(statement->record.count() > 0);
        setActive(true);
        setAt(QSql::BeforeFirstRow);
    }

    ~CachedResult() override { m_cache->giveBack(m_statement); }

protected:
    QVariant data(int column) override
    {
        sqlite3_stmt *stmt = m_statement->handle;
        if (!stmt || column < 0 || column >= m_statement->record.count())
            return {};
        switch (sqlite3_column_type(stmt, column)) {
        case SQLITE_INTEGER:
            return qlonglong(sqlite3_column_int64(stmt, column));
        case SQLITE_FLOAT:
            return sqlite3_column_double(stmt, column);
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, column)),
                              sqlite3_column_bytes(stmt, column));
        case SQLITE_NULL:
            return QVariant(QMetaType::fromType<QString>());
        default: {
            // The engine stores UTF-8: converting it here is cheaper than having it converted.
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
            return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
        }
        }
    }

    bool isNull(int column) override
    {
        return !m_statement->handle || sqlite3_column_type(m_statement->handle, column) == SQLITE_NULL;
    }

    bool fetchNext() override
    {
        if (!m_statement->handle)
            return false; // the connection was closed meanwhile
        if (m_pendingRow) {
            m_pendingRow = false;
            setAt(0);
            return true;
        }
        if (m_done)
            return false;
        const int rc = sqlite3_step(m_statement->handle);
        if (rc == SQLITE_ROW) {
            setAt(at() + 1);
            return true;
        }
        m_done = true;
        if (rc != SQLITE_DONE) {
            // A row that cannot be read (a damaged page in the middle of a table) must not look
            // like the end of the rows: every caller would show what came before as if it were
            // all. The engine's error is thrown here, in the one place every read passes, mapped
            // like any other (3049 for damage), so the callers' repair and failure paths run.
            sqlite3 *db = sqlite3_db_handle(m_statement->handle);
            const int code = sqlite3_reset(m_statement->handle);
            const QString text = textOf(sqlite3_errmsg16(db), -1);
            setLastError(QSqlError(QString(), text, QSqlError::StatementError, QString::number(code)));
            throw SqlDialect().mapError(code != SQLITE_OK ? code : rc, text, m_statement->sql.left(200));
        }
        sqlite3_reset(m_statement->handle);
        return false;
    }

    bool fetch(int row) override { return row == at() + 1 && fetchNext(); }
    bool fetchFirst() override { return at() == QSql::BeforeFirstRow && fetchNext(); }
    bool fetchLast() override { return false; }
    bool reset(const QString &) override { return false; }
    int size() override { return -1; }
    int numRowsAffected() override { return int(m_changes); }
    QSqlRecord record() const override { return m_statement->record; }
    QVariant lastInsertId() const override { return m_newRowId; }

    void detachFromResultSet() override
    {
        m_pendingRow = false;
        m_done = true;
        if (m_statement->handle)
            sqlite3_reset(m_statement->handle);
    }

private:
    std::shared_ptr<StatementCache> m_cache;
    StatementCache::Statement *m_statement;
    bool m_pendingRow;
    bool m_done;
    qint64 m_changes;
    qint64 m_newRowId;
};
} // namespace

StatementCache::StatementCache(sqlite3 *db, const QSqlDriver *driver, const SqlDialect &dialect)
    : m_db(db), m_driver(driver), m_dialect(dialect)
{
}

StatementCache::~StatementCache()
{
    close();
}

void StatementCache::close()
{
    m_closed = true;
    m_idle.clear();
    for (const auto &statement : m_statements) {
        sqlite3_finalize(statement->handle);
        statement->handle = nullptr;
    }
}

StatementCache::Statement *StatementCache::checkOut(const QString &sql)
{
    auto idle = m_idle.find(sql);
    if (idle != m_idle.end() && !idle->isEmpty())
        return idle->takeLast();
    return prepare(sql);
}

// Whether what follows the first statement of sql, from tail on, is blanks and comments only:
// compiled, it gives no statement. A second statement would otherwise be dropped unseen.
bool StatementCache::onlyComments(const QString &sql, const void *tail) const
{
    const qsizetype used = static_cast<const QChar *>(tail) - reinterpret_cast<const QChar *>(sql.utf16());
    const QString rest = sql.mid(used);
    if (rest.trimmed().isEmpty())
        return true;
    sqlite3_stmt *next = nullptr;
    const int rc = sqlite3_prepare16_v2(m_db, rest.utf16(), int(rest.size() * sizeof(QChar)), &next, nullptr);
    sqlite3_finalize(next);
    return rc == SQLITE_OK && !next;
}

StatementCache::Statement *StatementCache::prepare(const QString &sql)
{
    if (m_closed || !m_db)
        throw DatabaseError(DbErrors::Other, QStringLiteral("The database connection is closed."));
    sqlite3_stmt *handle = nullptr;
    const void *tail = nullptr;
    const int rc = sqlite3_prepare16_v2(m_db, sql.utf16(), int(sql.size() * sizeof(QChar)), &handle, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(handle);
        throw m_dialect.mapError(sqlite3_errcode(m_db), textOf(sqlite3_errmsg16(m_db), -1), sql);
    }
    if (!handle || !onlyComments(sql, tail)) {
        sqlite3_finalize(handle);
        DatabaseError error(DbErrors::Other, QStringLiteral("One statement at a time, please."));
        error.setDetail(sql);
        throw error;
    }
    auto statement = std::make_unique<Statement>();
    statement->sql = sql;
    statement->handle = handle;
    for (int i = 1; i <= sqlite3_bind_parameter_count(handle); ++i) {
        const char *name = sqlite3_bind_parameter_name(handle, i);
        statement->parameters << (name ? QString::fromUtf8(name + 1) : QString());
    }
    for (int i = 0; i < sqlite3_column_count(handle); ++i)
        statement->record.append(QSqlField(textOf(sqlite3_column_name16(handle, i), -1), QMetaType()));
    m_statements.push_back(std::move(statement));
    return m_statements.back().get();
}

void StatementCache::bind(Statement &statement, const QVariantMap &params)
{
    // Most callers name their values as the statement does; a name with blanks ("This Date") is
    // looked for without them only when needed.
    QVariantMap bare;
    bool bareMade = false;
    for (int i = 0; i < statement.parameters.size(); ++i) {
        const QString &name = statement.parameters[i];
        auto value = params.constFind(name);
        if (value == params.cend()) {
            if (!bareMade) {
                for (auto it = params.cbegin(); it != params.cend(); ++it)
                    bare.insert(bareName(it.key()), it.value());
                bareMade = true;
            }
            value = bare.constFind(name);
            if (name.isEmpty() || value == bare.cend())
                throw DatabaseError(DbErrors::Other,
                                    QStringLiteral("No value given for the parameter '%1'.").arg(name));
        }
        if (bindValue(statement.handle, i + 1, *value) != SQLITE_OK)
            fail(&statement, sqlite3_errcode(m_db));
    }
}

void StatementCache::fail(Statement *statement, int code)
{
    const QString text = textOf(sqlite3_errmsg16(m_db), -1);
    const QString sql = statement->sql;
    giveBack(statement);
    throw m_dialect.mapError(code, text, sql);
}

QSqlQuery StatementCache::run(const QString &sql, const QVariantMap &params)
{
    Statement *statement = checkOut(sql);
    try {
        bind(*statement, params);
    } catch (...) {
        giveBack(statement);
        throw;
    }
    const int rc = sqlite3_step(statement->handle);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        // The reset gives the statement's own error code.
        const int code = sqlite3_reset(statement->handle);
        fail(statement, code != SQLITE_OK ? code : rc);
    }
    qint64 changes = 0, newRowId = 0;
    if (rc == SQLITE_DONE && !sqlite3_stmt_readonly(statement->handle)) {
        changes = sqlite3_changes(m_db);
        newRowId = sqlite3_last_insert_rowid(m_db);
    }
    if (rc == SQLITE_DONE)
        sqlite3_reset(statement->handle);
    return QSqlQuery(
        new CachedResult(m_driver, shared_from_this(), statement, rc == SQLITE_ROW, changes, newRowId));
}

void StatementCache::giveBack(Statement *statement)
{
    if (m_closed || !statement->handle)
        return;
    sqlite3_reset(statement->handle);
    sqlite3_clear_bindings(statement->handle);
    m_idle[statement->sql].append(statement);
}
