#include "HistoryChain.h"

#include "Clock.h"
#include "Identity.h"
#include "foundation/Version.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QStringList>
#include <atomic>
#include <cstring>
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

// A value of the writer's arguments as the history holds it: its text in UTF-8, or none for NULL.
// SQLite gives numbers as their decimal text.
struct Text
{
    QByteArray bytes;
    bool null = true;
};

Text textOf(sqlite3_value *value)
{
    if (sqlite3_value_type(value) == SQLITE_NULL)
        return {};
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return {QByteArray(text, sqlite3_value_bytes(value)), false};
}

// Compares two arguments by their text without copying them: most fields of a changed row are
// the same before and after.
bool same(sqlite3_value *a, sqlite3_value *b)
{
    const bool aNull = sqlite3_value_type(a) == SQLITE_NULL, bNull = sqlite3_value_type(b) == SQLITE_NULL;
    if (aNull || bNull)
        return aNull && bNull;
    const unsigned char *aText = sqlite3_value_text(a), *bText = sqlite3_value_text(b);
    const int size = sqlite3_value_bytes(a);
    return size == sqlite3_value_bytes(b) && std::memcmp(aText, bText, size_t(size)) == 0;
}

QByteArray canonical(const QList<Text> &values, const QByteArray &previousHash)
{
    QByteArray text;
    text.reserve(256);
    for (const Text &value : values) {
        if (value.null) {
            text += "~|";
            continue;
        }
        text += QByteArray::number(value.bytes.size()) + ':' + value.bytes + '|';
    }
    return text + previousHash;
}

QByteArray hashOf(const QList<Text> &values, const QByteArray &previousHash)
{
    return QCryptographicHash::hash(canonical(values, previousHash), QCryptographicHash::Sha256).toHex();
}

void fail(sqlite3_context *context, const QString &message)
{
    sqlite3_result_error(context, message.toUtf8().constData(), -1);
}

std::atomic<const Clock *> g_clock{nullptr};
std::atomic<const Identity *> g_identity{nullptr};
} // namespace

// kelvara_change_history(table, action, row key, job id, date, shift, machine, job number,
// field, before, after, ...): writes one history row per changed field, each chained to the
// newest row before it. Any failure fails the statement that changed the row, so that a change
// that cannot be recorded is not made. The chain's head and the insert stay compiled: a posting
// calls the writer once per line.
class HistoryChain::Writer
{
public:
    explicit Writer(Author author) : m_author(std::move(author)) {}
    ~Writer() { release(); }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void release()
    {
        sqlite3_finalize(m_newest);
        sqlite3_finalize(m_insert);
        m_newest = m_insert = nullptr;
    }

    void write(sqlite3_context *context, int argc, sqlite3_value **argv)
    {
        if (argc < 8 || (argc - 8) % 3 != 0)
            return fail(
                context,
                QStringLiteral("The change history's writer was called with %1 arguments.").arg(argc));
        sqlite3_result_null(context);
        const Text action = textOf(argv[1]);
        // The triples (field, before, after) follow the row's eight leading arguments. An insert
        // passes each field's default as "before" and records the fields given another value, with
        // no old value; a delete passes the default as "after" and records the values the row held,
        // with no new value; a change records the fields whose values differ.
        QList<int> changed; // the index of each changed field's name
        for (int i = 8; i + 2 < argc; i += 3) {
            if (!same(argv[i + 1], argv[i + 2]))
                changed.append(i);
        }
        if (changed.isEmpty())
            return;
        sqlite3 *db = sqlite3_context_db_handle(context);
        if (!prepared(db))
            return failed(context, db);
        qint64 id = 0;
        QByteArray previous;
        if (sqlite3_step(m_newest) == SQLITE_ROW) {
            id = sqlite3_column_int64(m_newest, 0);
            previous = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(m_newest, 1)),
                                  sqlite3_column_bytes(m_newest, 1));
        }
        sqlite3_reset(m_newest);
        QList<Text> values{{},
                           {HistoryChain::timeText(HistoryChain::now()).toUtf8(), false},
                           {m_author.login.toUtf8(), false},
                           {m_author.workstation.toUtf8(), false},
                           {m_author.program.toUtf8(), false},
                           textOf(argv[0]),
                           textOf(argv[2]),
                           action};
        for (int i = 3; i < 8; ++i)
            values.append(textOf(argv[i]));
        const bool insert = action.bytes == "insert", remove = action.bytes == "delete";
        const Writing writing;
        for (int i : changed) {
            values.resize(13);
            values[0] = {QByteArray::number(++id), false};
            values << textOf(argv[i]) << (insert ? Text() : textOf(argv[i + 1]))
                   << (remove ? Text() : textOf(argv[i + 2]));
            previous = hashOf(values, previous);
            if (!inserted(values, previous))
                return failed(context, db);
        }
    }

private:
    bool prepared(sqlite3 *db)
    {
        if (!m_newest &&
            sqlite3_prepare_v2(
                db,
                R"(SELECT "Change ID", "Row Hash" FROM "Change History" ORDER BY "Change ID" DESC LIMIT 1)",
                -1, &m_newest, nullptr) != SQLITE_OK)
            return false;
        return m_insert ||
               sqlite3_prepare_v2(db,
                                  R"(INSERT INTO "Change History" ("Change ID", "Changed At", "Login",
        "Workstation", "Program", "Table Name", "Row Key", "Action", "Job ID", "Date", "Shift", "Machine Number",
        "Job Number", "Field", "Old Value", "New Value", "Row Hash")
        VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))",
                                  -1, &m_insert, nullptr) == SQLITE_OK;
    }

    bool inserted(const QList<Text> &values, const QByteArray &hash)
    {
        for (int i = 0; i < values.size(); ++i) {
            const Text &value = values.at(i);
            const int rc = value.null ? sqlite3_bind_null(m_insert, i + 1)
                                      : sqlite3_bind_text(m_insert, i + 1, value.bytes.constData(),
                                                          int(value.bytes.size()), SQLITE_STATIC);
            if (rc != SQLITE_OK)
                return false;
        }
        const bool done = sqlite3_bind_text(m_insert, int(values.size()) + 1, hash.constData(),
                                            int(hash.size()), SQLITE_STATIC) == SQLITE_OK &&
                          sqlite3_step(m_insert) == SQLITE_DONE;
        sqlite3_reset(m_insert);
        sqlite3_clear_bindings(m_insert);
        return done;
    }

    // The engine's message, then the statements made anew at the next call (the table they were
    // compiled for may be gone).
    void failed(sqlite3_context *context, sqlite3 *db)
    {
        fail(context, QStringLiteral("The change history cannot be written: %1")
                          .arg(QString::fromUtf8(sqlite3_errmsg(db))));
        release();
    }

    Author m_author;
    sqlite3_stmt *m_newest = nullptr;
    sqlite3_stmt *m_insert = nullptr;
};

namespace {
void writeChanges(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    static_cast<HistoryChain::Writer *>(sqlite3_user_data(context))->write(context, argc, argv);
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
    QList<Text> texts;
    for (const QVariant &value : values)
        texts.append(value.isNull() ? Text() : Text{value.toString().toUtf8(), false});
    return canonical(texts, previousHash.toUtf8());
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

void HistoryChain::useSeams(const Clock &clock, const Identity &identity)
{
    g_identity = &identity;
    g_clock = &clock;
}

void HistoryChain::dropSeams(const Clock &clock)
{
    const Clock *expected = &clock;
    if (g_clock.compare_exchange_strong(expected, nullptr))
        g_identity = nullptr;
}

QDateTime HistoryChain::now()
{
    const Clock *clock = g_clock;
    return clock ? clock->now() : QDateTime::currentDateTime();
}

QString HistoryChain::login()
{
    const Identity *identity = g_identity;
    return identity ? identity->userName() : SystemIdentity().userName();
}

HistoryChain::Writer *HistoryChain::registerFunctions(sqlite3 *db, const Author &author)
{
    // Not "direct only": the triggers call them. The writer goes with the connection.
    auto *writer = new Writer(author);
    sqlite3_create_function_v2(db, writerFunction().toUtf8().constData(), -1, SQLITE_UTF8, writer,
                               writeChanges, nullptr, nullptr,
                               [](void *data) { delete static_cast<Writer *>(data); });
    sqlite3_create_function_v2(db, guardFunction().toUtf8().constData(), 0, SQLITE_UTF8, nullptr, guard,
                               nullptr, nullptr, nullptr);
    return writer;
}

void HistoryChain::release(Writer *writer)
{
    if (writer)
        writer->release();
}
