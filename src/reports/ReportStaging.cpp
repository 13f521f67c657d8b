#include "ReportStaging.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

namespace {
QString quoted(const QString &name)
{
    return '"' + QString(name).replace('"', QLatin1String("\"\"")) + '"';
}

// A [name], "name" or plain name as the statement wrote it, without its quotes.
QString unquoted(const QString &name)
{
    if (name.startsWith('['))
        return name.mid(1, name.size() - 2).replace(QLatin1String("]]"), QLatin1String("]"));
    if (name.startsWith('"'))
        return name.mid(1, name.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
    return name;
}

const QString kName = QStringLiteral("(?:\\[(?:[^\\]]|\\]\\])+\\]|\"(?:[^\"]|\"\")+\"|\\w+)");

// The column list of an INSERT, "([a], [b])", as names.
QStringList columnNames(const QString &list)
{
    static const QRegularExpression name(kName);
    QStringList names;
    for (auto it = name.globalMatch(list); it.hasNext();)
        names << unquoted(it.next().captured());
    return names;
}

// The report database's column type for a column of the server's result: the type whose affinity
// stores the values as the file's staging stores them. The server sums whole numbers as numeric,
// which the file sums as integers: NUMERIC keeps a whole value an integer there.
QString columnType(const QSqlField &field)
{
    constexpr int kNumericOid = 1700;
    switch (field.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QStringLiteral("INTEGER");
    case QMetaType::Double:
        return field.typeID() == kNumericOid ? QStringLiteral("NUMERIC") : QStringLiteral("REAL");
    case QMetaType::QString:
        return QStringLiteral("TEXT");
    case QMetaType::QByteArray:
        return QStringLiteral("BLOB");
    default:
        return {};
    }
}
} // namespace

std::optional<ReportStaging::Statement> ReportStaging::Statement::parse(const QString &sql)
{
    static const QRegularExpression form(
        QStringLiteral(
            "^\\s*(?:(CREATE\\s+TABLE)|INSERT\\s+INTO)\\s+(?:\\[Reports\\]|\"Reports\"|Reports)\\s*\\.\\s*"
            "(%1)\\s*(\\((?:%1|\\s|,)*\\))?\\s*(AS\\s+)?((?:SELECT|WITH)\\b.*?)[\\s;]*$")
            .arg(kName),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = form.match(sql);
    if (!match.hasMatch())
        return std::nullopt;
    Statement statement;
    statement.creates = !match.captured(1).isEmpty();
    // CREATE TABLE takes AS and no column list; INSERT INTO no AS
    if (statement.creates != !match.captured(4).isEmpty() ||
        (statement.creates && !match.captured(3).isEmpty()))
        return std::nullopt;
    statement.table = unquoted(match.captured(2));
    statement.columns = columnNames(match.captured(3));
    statement.select = match.captured(5);
    return statement;
}

ReportStaging::ReportStaging(Database &production, const QString &reportDatabasePath) : m_db(production)
{
    if (m_db.dialect().isServer()) {
        // as ATTACH does on a file, a missing report database is made
        m_reports = QFileInfo::exists(reportDatabasePath) ? Database::open(reportDatabasePath)
                                                          : Database::createFile(reportDatabasePath);
        m_reports->exec(QStringLiteral("PRAGMA journal_mode=MEMORY"));
        m_reports->exec(QStringLiteral("PRAGMA synchronous=OFF"));
        return;
    }
    m_db.exec(QStringLiteral("ATTACH DATABASE :path AS \"Reports\""),
              {{QStringLiteral("path"), reportDatabasePath}});
    m_attached = true;
    // The report database is this workstation's scratch file, emptied after every run: it needs
    // no journal on disk and no wait for the disk, and one found damaged is made anew.
    m_db.exec(QStringLiteral("PRAGMA \"Reports\".journal_mode=MEMORY"));
    m_db.exec(QStringLiteral("PRAGMA \"Reports\".synchronous=OFF"));
}

ReportStaging::~ReportStaging()
{
    if (!m_attached)
        return;
    try {
        m_db.exec(QStringLiteral("DETACH DATABASE \"Reports\""));
    } catch (const DatabaseError &) {
        // the connection closes with the window anyway
    }
}

Database &ReportStaging::reports()
{
    return m_reports ? *m_reports : m_db;
}

qint64 ReportStaging::stage(const QString &savedQuery, const QString &table, const QVariantMap &params)
{
    if (m_reports)
        return stageFromServer(savedQuery, table, params);
    try {
        m_db.execSaved(savedQuery, params);
    } catch (const DatabaseError &error) {
        if (error.number() != DbErrors::TableExists)
            throw;
        cleanUp(table);
        m_db.execSaved(savedQuery, params);
    }
    return m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM \"Reports\".") + quoted(table)).toLongLong();
}

// The saved query's SELECT runs on the server; its rows go into the report database's table,
// made anew from the result's columns (CREATE TABLE ... AS) or added to the table as it is
// (INSERT INTO), all in one transaction there.
qint64 ReportStaging::stageFromServer(const QString &savedQuery, const QString &table,
                                      const QVariantMap &params)
{
    const std::optional<Statement> statement = Statement::parse(m_db.savedQuerySql(savedQuery));
    if (!statement)
        throw DatabaseError(DbErrors::Other,
                            QStringLiteral("The saved query '%1' cannot stage the report's rows from the "
                                           "server: it must read \"CREATE TABLE [Reports].[table] AS SELECT "
                                           "...\" or \"INSERT INTO \"Reports\".\"table\" SELECT ...\".")
                                .arg(savedQuery));
    QSqlQuery rows = m_db.exec(statement->select, params);
    const QSqlRecord record = rows.record();
    Database &reports = *m_reports;
    Transaction transaction(reports);
    const QString target = quoted(statement->table);
    QStringList names, columns, placeholders;
    for (int i = 0; i < record.count(); ++i) {
        // a name the result repeats is numbered as the file's CREATE TABLE ... AS numbers it
        QString name = record.fieldName(i);
        for (int n = 1; names.contains(name, Qt::CaseInsensitive); ++n)
            name = record.fieldName(i) + ':' + QString::number(n);
        names << name;
        columns << quoted(name) + ' ' + columnType(record.field(i));
        placeholders << QStringLiteral("?");
    }
    QString insert = QStringLiteral("INSERT INTO ") + target;
    if (statement->creates) {
        // as the file's retry does: a table left over from an earlier run goes first
        reports.exec(QStringLiteral("DROP TABLE IF EXISTS ") + target);
        reports.exec(QStringLiteral("CREATE TABLE ") + target + QStringLiteral(" (") +
                     columns.join(QStringLiteral(", ")) + ')');
    } else if (!statement->columns.isEmpty()) {
        QStringList targets;
        for (const QString &name : statement->columns)
            targets << quoted(name);
        insert += QStringLiteral(" (") + targets.join(QStringLiteral(", ")) + ')';
    }
    QSqlQuery write(reports.connection());
    if (!write.prepare(insert + QStringLiteral(" VALUES (") + placeholders.join(QStringLiteral(", ")) + ')'))
        throw Database::mapError(write.lastError(), insert);
    while (rows.next()) {
        for (int i = 0; i < record.count(); ++i)
            write.bindValue(i, rows.value(i));
        if (!write.exec())
            throw Database::mapError(write.lastError(), insert);
    }
    write.finish();
    transaction.commit();
    return reports.scalar(QStringLiteral("SELECT COUNT(*) FROM ") + quoted(table)).toLongLong();
}

void ReportStaging::cleanUp(const QString &table) noexcept
{
    try {
        reports().exec(QStringLiteral("DROP TABLE IF EXISTS ") +
                       (m_reports ? QString() : QStringLiteral("\"Reports\".")) + quoted(table));
    } catch (...) {
        // a table that cannot be dropped now is dropped by the retry of the next run
    }
}
