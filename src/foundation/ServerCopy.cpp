#include "BulkRows.h"
#include "Database.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <libpq-fe.h>

// A COPY ... FROM STDIN on the connection Qt's driver holds: the rows go as one stream of text,
// parsed by the server as it arrives, with no statement, no parameter and no round trip per batch.
namespace {
// What is sent to the server at a time.
constexpr qsizetype kChunkBytes = 256 * 1024;

// Text as COPY's text format reads it: a backslash, tab, newline and carriage return escaped
// (tab and newline end a value and a row); everything else as it stands, in UTF-8.
void appendText(QByteArray &out, const QByteArray &text)
{
    qsizetype plain = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        const char *escape = c == '\\'   ? "\\\\"
                             : c == '\t' ? "\\t"
                             : c == '\n' ? "\\n"
                             : c == '\r' ? "\\r"
                                         : nullptr;
        if (!escape)
            continue;
        out.append(text.constData() + plain, i - plain);
        out.append(escape);
        plain = i + 1;
    }
    out.append(text.constData() + plain, text.size() - plain);
}

// One value in the column's type: \N for NULL, bytea as \x and hex (its backslash escaped),
// numbers as the server reads them back exactly, everything else as text.
void appendValue(QByteArray &out, const QVariant &value, bool binary)
{
    if (value.isNull()) {
        out.append("\\N");
        return;
    }
    if (binary) {
        out.append("\\\\x");
        out.append(value.toByteArray().toHex());
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        out.append(QByteArray::number(value.toLongLong()));
        break;
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        out.append(QByteArray::number(value.toULongLong()));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        out.append(QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest));
        break;
    case QMetaType::Bool:
        out.append(value.toBool() ? "t" : "f");
        break;
    case QMetaType::QDate:
        out.append(value.toDate().toString(Qt::ISODate).toLatin1());
        break;
    case QMetaType::QDateTime:
        out.append(value.toDateTime().toString(Qt::ISODateWithMs).toLatin1());
        break;
    case QMetaType::QByteArray:
        appendText(out, value.toByteArray());
        break;
    default:
        appendText(out, value.toString().toUtf8());
        break;
    }
}

class ServerCopy : public BulkRows
{
public:
    ServerCopy(Database &db, const QString &table, const QStringList &columns, const QList<bool> &binary)
        : m_db(db), m_conn(static_cast<PGconn *>(db.serverHandle())), m_table(table), m_binary(binary),
          m_statement(QStringLiteral("COPY \"%1\" (%2) FROM STDIN").arg(table, BulkRows::columnList(columns)))
    {
        if (!m_conn)
            throw DatabaseError(DbErrors::Other, QStringLiteral("The database is not on a server."));
        PGresult *result = PQexec(m_conn, m_statement.toUtf8().constData());
        const bool started = PQresultStatus(result) == PGRES_COPY_IN;
        if (!started)
            fail(result); // clears the result
        PQclear(result);
        m_copying = true;
        m_buffer.reserve(kChunkBytes + 64 * 1024);
    }

    ~ServerCopy() override
    {
        // Left before its end (the source failed): the server drops the rows sent, and the
        // connection is ready for the rollback.
        if (m_copying) {
            PQputCopyEnd(m_conn, "the copy was broken off");
            while (PGresult *result = PQgetResult(m_conn))
                PQclear(result);
        }
    }

    void add(const QVariantList &row) override
    {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                m_buffer.append('\t');
            appendValue(m_buffer, row.at(c), m_binary.value(c));
        }
        m_buffer.append('\n');
        if (m_buffer.size() >= kChunkBytes)
            send();
    }

    void finish() override
    {
        send();
        m_copying = false;
        if (PQputCopyEnd(m_conn, nullptr) != 1)
            fail(nullptr);
        // The server's verdict on the rows: its error, when it refused one, comes here.
        PGresult *failed = nullptr;
        while (PGresult *result = PQgetResult(m_conn)) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK && !failed)
                failed = result;
            else
                PQclear(result);
        }
        if (failed)
            fail(failed);
    }

private:
    void send()
    {
        if (!m_buffer.isEmpty() && PQputCopyData(m_conn, m_buffer.constData(), int(m_buffer.size())) != 1)
            fail(nullptr);
        m_buffer.clear();
    }

    // Throws the server's error: of the result (cleared here), or of the connection when none.
    [[noreturn]] void fail(PGresult *result)
    {
        const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        const QString message =
            QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(m_conn)).trimmed();
        const QString sqlState = QString::fromLatin1(state ? state : "");
        PQclear(result);
        const DatabaseError mapped = m_db.dialect().mapServerError(sqlState, message, m_statement);
        DatabaseError error(
            mapped.number(),
            QStringLiteral("The server refused the rows of \"%1\": %2").arg(m_table, message));
        error.setDetail(mapped.detail());
        throw error;
    }

    Database &m_db;
    PGconn *m_conn;
    QString m_table;
    QList<bool> m_binary;
    QString m_statement;
    QByteArray m_buffer;
    bool m_copying = false;
};
} // namespace

std::unique_ptr<BulkRows> BulkRows::serverCopy(Database &db, const QString &table, const QStringList &columns,
                                               const QList<bool> &binary)
{
    return std::make_unique<ServerCopy>(db, table, columns, binary);
}
