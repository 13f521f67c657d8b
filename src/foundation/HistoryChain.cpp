#include "HistoryChain.h"

#include "foundation/Version.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QStringList>
#include <sqlite3.h>

namespace {
// Set while the writer inserts history rows on this thread: the history's insert trigger lets
// only those through.
thread_local int t_writing = 0;

class Writing
{
public:
    Writing() { ++t_writing; }
    ~Writing() { --t_writing; }
    Writing(const Writing &) = delete;
    Writing &operator=(const Writing &) = delete;
};

class Statement
{
public:
    Statement(sqlite3 *db, const char *sql)
    {
        m_ok = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    bool ok() const { return m_ok; }
    sqlite3_stmt *get() const { return m_statement; }

private:
    sqlite3_stmt *m_statement = nullptr;
    bool m_ok = false;
};

QVariant valueOf(sqlite3_value *value)
{
    if (sqlite3_value_type(value) == SQLITE_NULL)
        return {};
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return QString::fromUtf8(text, sqlite3_value_bytes(value));
}

bool same(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a.toString() == b.toString();
}

// A changed field: its name and its values before and after, as the history row holds them.
struct Change
{
    QVariant field, before, after;
};

// The triples (field, before, after) after the row's eight leading arguments. An insert passes
// each field's default as "before" and records only the fields given another value, with no old
// value; a delete passes the default as "after" and records the values the row held, with no new
// value; a change records the fields whose values differ.
QList<Change> changesOf(const QString &action, int argc, sqlite3_value **argv)
{
    QList<Change> changes;
    for (int i = 8; i + 2 < argc; i += 3) {
        const QVariant before = valueOf(argv[i + 1]), after = valueOf(argv[i + 2]);
        if (same(before, after))
            continue;
        changes.append({valueOf(argv[i]), action == QLatin1String("insert") ? QVariant() : before,
                        action == QLatin1String("delete") ? QVariant() : after});
    }
    return changes;
}

bool bindAll(sqlite3_stmt *statement, const QVariantList &values, const QString &hash)
{
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &value = values.at(i);
        const int rc = value.isNull()
                           ? sqlite3_bind_null(statement, i + 1)
                           : sqlite3_bind_text(statement, i + 1, value.toString().toUtf8().constData(), -1,
                                               SQLITE_TRANSIENT);
        if (rc != SQLITE_OK)
            return false;
    }
    return sqlite3_bind_text(statement, int(values.size()) + 1, hash.toUtf8().constData(), -1,
                             SQLITE_TRANSIENT) == SQLITE_OK;
}

void fail(sqlite3_context *context, const QString &message)
{
    sqlite3_result_error(context, message.toUtf8().constData(), -1);
}

// kelvara_change_history(table, action, row key, job id, date, shift, machine, job number,
// field, before, after, ...): writes one history row per changed field, each chained to the
// newest row before it. Any failure fails the statement that changed the row, so that a change
// that cannot be recorded is not made.
void writeChanges(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    const auto *author = static_cast<const HistoryChain::Author *>(sqlite3_user_data(context));
    if (argc < 8 || (argc - 8) % 3 != 0)
        return fail(context,
                    QStringLiteral("The change history's writer was called with %1 arguments.").arg(argc));
    const QString action = valueOf(argv[1]).toString();
    const QList<Change> changes = changesOf(action, argc, argv);
    sqlite3_result_null(context);
    if (changes.isEmpty())
        return;
    sqlite3 *db = sqlite3_context_db_handle(context);
    const Statement newest(
        db, R"(SELECT "Change ID", "Row Hash" FROM "Change History" ORDER BY "Change ID" DESC LIMIT 1)");
    const Statement insert(db,
                           R"(INSERT INTO "Change History" ("Change ID", "Changed At", "Login", "Workstation",
        "Program", "Table Name", "Row Key", "Action", "Job ID", "Date", "Shift", "Machine Number", "Job Number",
        "Field", "Old Value", "New Value", "Row Hash") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))");
    if (!newest.ok() || !insert.ok())
        return fail(context, QStringLiteral("The change history cannot be written: %1")
                                 .arg(QString::fromUtf8(sqlite3_errmsg(db))));
    qint64 id = 0;
    QString previous;
    if (sqlite3_step(newest.get()) == SQLITE_ROW) {
        id = sqlite3_column_int64(newest.get(), 0);
        previous = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(newest.get(), 1)));
    }
    const QString at = HistoryChain::timeText(QDateTime::currentDateTime());
    const Writing writing;
    for (const Change &change : changes) {
        const QVariantList values{++id,
                                  at,
                                  author->login,
                                  author->workstation,
                                  author->program,
                                  valueOf(argv[0]),
                                  valueOf(argv[2]),
                                  action,
                                  valueOf(argv[3]),
                                  valueOf(argv[4]),
                                  valueOf(argv[5]),
                                  valueOf(argv[6]),
                                  valueOf(argv[7]),
                                  change.field,
                                  change.before,
                                  change.after};
        const QString hash = HistoryChain::rowHash(values, previous);
        if (!bindAll(insert.get(), values, hash) || sqlite3_step(insert.get()) != SQLITE_DONE)
            return fail(context, QStringLiteral("The change history cannot be written: %1")
                                     .arg(QString::fromUtf8(sqlite3_errmsg(db))));
        sqlite3_reset(insert.get());
        previous = hash;
    }
}

void guard(sqlite3_context *context, int, sqlite3_value **)
{
    if (t_writing > 0)
        return sqlite3_result_null(context);
    fail(context, QStringLiteral("Rows of the change history are written only by Kelvara's own triggers, as "
                                 "rows of the audited tables change."));
}
} // namespace

QStringList HistoryChain::hashedColumns()
{
    return {QStringLiteral("Change ID"),   QStringLiteral("Changed At"), QStringLiteral("Login"),
            QStringLiteral("Workstation"), QStringLiteral("Program"),    QStringLiteral("Table Name"),
            QStringLiteral("Row Key"),     QStringLiteral("Action"),     QStringLiteral("Job ID"),
            QStringLiteral("Date"),        QStringLiteral("Shift"),      QStringLiteral("Machine Number"),
            QStringLiteral("Job Number"),  QStringLiteral("Field"),      QStringLiteral("Old Value"),
            QStringLiteral("New Value")};
}

QByteArray HistoryChain::canonicalText(const QVariantList &values, const QString &previousHash)
{
    QByteArray text;
    for (const QVariant &value : values) {
        if (value.isNull()) {
            text += "~|";
            continue;
        }
        const QByteArray bytes = value.toString().toUtf8();
        text += QByteArray::number(bytes.size()) + ':' + bytes + '|';
    }
    return text + previousHash.toUtf8();
}

QString HistoryChain::rowHash(const QVariantList &values, const QString &previousHash)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(canonicalText(values, previousHash), QCryptographicHash::Sha256).toHex());
}

QString HistoryChain::timeText(const QDateTime &when)
{
    const int offset = when.offsetFromUtc() / 60;
    return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
               .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
}

QString HistoryChain::programName()
{
    return QStringLiteral("Kelvara " KELVARA_VERSION);
}

QString HistoryChain::writerFunction()
{
    return QStringLiteral("kelvara_change_history");
}

QString HistoryChain::guardFunction()
{
    return QStringLiteral("kelvara_change_history_guard");
}

void HistoryChain::registerFunctions(sqlite3 *db, const Author &author)
{
    // Not "direct only": the triggers call them. The writer's author goes with the connection.
    sqlite3_create_function_v2(db, writerFunction().toUtf8().constData(), -1, SQLITE_UTF8, new Author(author),
                               writeChanges, nullptr, nullptr,
                               [](void *data) { delete static_cast<Author *>(data); });
    sqlite3_create_function_v2(db, guardFunction().toUtf8().constData(), 0, SQLITE_UTF8, nullptr, guard,
                               nullptr, nullptr, nullptr);
}
