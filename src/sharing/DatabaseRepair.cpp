#include "DatabaseRepair.h"

#include "foundation/Database.h"
#include "foundation/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <optional>

namespace {
struct SchemaEntry
{
    QString type, name, sql;
};

QString quoted(const QString &name)
{
    return '"' + QString(name).replace('"', QStringLiteral("\"\"")) + '"';
}

std::optional<QList<SchemaEntry>> readSchema(const Database &source);

// The page size the header gives (bytes 16-17, 1 meaning 65536), or 4096 when it is not one.
int pageSizeOf(const QByteArray &header)
{
    if (header.size() < 18)
        return 4096;
    const int stored = (quint8(header[16]) << 8) | quint8(header[17]);
    const int size = stored == 1 ? 65536 : stored;
    const bool powerOfTwo = size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
    return powerOfTwo ? size : 4096;
}

// Makes the scratch copy readable: the first 16 bytes say again that it is a database, the file
// ends on a whole page, and the page count in the header (bytes 28-31) is what the file holds. A
// truncated file otherwise claims pages it no longer has, and the engine refuses every table.
QString prepareScratch(const QString &damagedPath, const QString &scratchPath)
{
    QFile::remove(scratchPath);
    QFile source(damagedPath);
    if (!source.open(QIODevice::ReadOnly))
        return QStringLiteral("The damaged file cannot be read: %1").arg(source.errorString());
    if (!QFile::copy(damagedPath, scratchPath)) {
        return QStringLiteral("The work file '%1' cannot be made beside the database (is its folder "
                              "writable?).")
            .arg(scratchPath);
    }
    QFile scratch(scratchPath);
    scratch.setPermissions(scratch.permissions() | QFileDevice::WriteOwner);
    if (!scratch.open(QIODevice::ReadWrite))
        return QStringLiteral("The work file '%1' cannot be written: %2")
            .arg(scratchPath, scratch.errorString());
    const int pageSize = pageSizeOf(scratch.read(100));
    const qint64 pages = (scratch.size() + pageSize - 1) / pageSize;
    QByteArray count(4, '\0');
    for (int i = 0; i < 4; ++i)
        count[i] = char((pages >> (8 * (3 - i))) & 0xff);
    const bool written = scratch.resize(pages * pageSize) && scratch.seek(0) &&
                         scratch.write("SQLite format 3\0", 16) == 16 && scratch.seek(28) &&
                         scratch.write(count) == 4;
    if (!written)
        return QStringLiteral("The work file '%1' cannot be written: %2")
            .arg(scratchPath, scratch.errorString());
    return {};
}

// Opens the damaged file for reading with its schema. A file whose header no longer says it is a
// database, or that lost its end, is read through a scratch copy with the header corrected: the
// pages it still has are often intact.
std::optional<Database> openForReading(const QString &damagedPath, const QString &scratchPath,
                                       std::optional<QList<SchemaEntry>> &schema, QString &failure)
{
    try {
        Database direct = Database::open(damagedPath, Database::Salvage);
        schema = readSchema(direct);
        if (schema)
            return direct;
    } catch (const DatabaseError &) {
    }
    failure = prepareScratch(damagedPath, scratchPath);
    if (!failure.isEmpty())
        return std::nullopt;
    try {
        Database scratch = Database::open(scratchPath, Database::Salvage);
        schema = readSchema(scratch);
        if (schema)
            return scratch;
    } catch (const DatabaseError &) {
    }
    failure = QStringLiteral("Nothing in the file can be read any more.");
    return std::nullopt;
}

std::optional<QList<SchemaEntry>> readSchema(const Database &source)
{
    try {
        QSqlQuery query = source.exec(QStringLiteral(
            "SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite_%' "
            "ORDER BY CASE type WHEN 'table' THEN 0 WHEN 'index' THEN 1 WHEN 'view' THEN 2 ELSE 3 END"));
        QList<SchemaEntry> entries;
        while (query.next())
            entries.append({query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
        if (query.lastError().isValid())
            return std::nullopt;
        return entries;
    } catch (const DatabaseError &) {
        return std::nullopt;
    }
}

// Copies the rows the query gives until the first one that cannot be read; false when it stopped
// early. Rows already there are kept (INSERT OR IGNORE), so a second pass from the other end can
// pick up what lies behind a damaged page.
bool copyRows(const Database &source, const Database &target, const QString &table, bool backwards,
              qint64 &copied)
{
    QSqlQuery read(source.connection());
    read.setForwardOnly(true);
    const QString order = backwards ? QStringLiteral(" ORDER BY rowid DESC") : QString();
    if (!read.exec(QStringLiteral("SELECT * FROM ") + quoted(table) + order))
        return false;
    QSqlQuery write(target.connection());
    bool prepared = false;
    while (read.next()) {
        const QSqlRecord record = read.record();
        if (!prepared) {
            QStringList columns, marks;
            for (int i = 0; i < record.count(); ++i) {
                columns << quoted(record.fieldName(i));
                marks << QStringLiteral("?");
            }
            prepared = write.prepare(QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                                         .arg(quoted(table), columns.join(','), marks.join(',')));
            if (!prepared)
                return false;
        }
        for (int i = 0; i < record.count(); ++i)
            write.bindValue(i, record.value(i));
        if (write.exec() && write.numRowsAffected() > 0)
            ++copied;
    }
    return !read.lastError().isValid();
}

bool copyTable(const Database &source, const Database &target, const QString &table, RebuildResult &result)
{
    qint64 copied = 0;
    const bool whole = copyRows(source, target, table, false, copied);
    if (!whole) {
        copyRows(source, target, table, true, copied);
        result.damagedTables << table;
    }
    result.rowsCopied += copied;
    return whole || copied > 0;
}

bool integrityOk(const Database &db)
{
    try {
        return db.integrityCheck() == QLatin1String("ok");
    } catch (const DatabaseError &) {
        return false;
    }
}

void fill(const Database &source, Database &target, const QList<SchemaEntry> &schema, RebuildResult &result)
{
    target.setForeignKeys(false);
    Transaction transaction(target);
    for (const SchemaEntry &entry : schema) {
        if (entry.type != QLatin1String("table"))
            continue;
        // A table the new file cannot even declare is lost; the others still come across.
        try {
            target.exec(entry.sql);
        } catch (const DatabaseError &) {
            result.damagedTables << entry.name;
            continue;
        }
        if (copyTable(source, target, entry.name, result))
            ++result.tablesCopied;
    }
    // Indexes, views and triggers after the rows, so that no trigger fires during the copy.
    for (const SchemaEntry &entry : schema) {
        if (entry.type == QLatin1String("table"))
            continue;
        try {
            target.exec(entry.sql);
        } catch (const DatabaseError &) {
        }
    }
    transaction.commit();
}
} // namespace

DatabaseRepair::DatabaseRepair(Session &session) : m_session(session) {}

QString DatabaseRepair::statusText()
{
    return QStringLiteral("Repairs complete.  The database will now be ") +
           QStringLiteral("compacted.  After the compaction, an ") +
           QStringLiteral("attempt will be made to reopen the ") +
           QStringLiteral("database.  If it fails, answer No to ") +
           QStringLiteral("the 'Repair Database' box you will again ") +
           QStringLiteral("receive.  Then restore the file ") +
           QStringLiteral("'QUORVEL.MDB' from the most recent ") +
           QStringLiteral("backup available and re-enter all ") +
           QStringLiteral("transactions that have taken place ") + QStringLiteral("since that time.");
}

RebuildResult DatabaseRepair::rebuild(const QString &damagedPath, const QString &targetPath,
                                      const QString &scratchFolder)
{
    RebuildResult result;
    const QString scratchPath = QDir(scratchFolder).filePath(QStringLiteral("db2.scratch"));
    try {
        std::optional<QList<SchemaEntry>> schema;
        std::optional<Database> source = openForReading(damagedPath, scratchPath, schema, result.failure);
        if (source) {
            std::optional<Database> target;
            try {
                target = Database::createFile(targetPath);
            } catch (const DatabaseError &error) {
                throw DatabaseError(
                    error.number(),
                    QStringLiteral("The work file '%1' cannot be made beside the database: %2")
                        .arg(targetPath, error.description()));
            }
            fill(*source, *target, *schema, result);
            if (result.tablesCopied == 0)
                result.failure = QStringLiteral("No table of the file could be read.");
            else if (!integrityOk(*target))
                result.failure = QStringLiteral("The rebuilt file does not pass the integrity check.");
            else
                result.ok = true;
        }
    } catch (const DatabaseError &error) {
        result.ok = false;
        result.failure = error.description();
    }
    QFile::remove(scratchPath);
    if (!result.ok)
        QFile::remove(targetPath);
    return result;
}

void DatabaseRepair::run()
{
    const MsgAnswer answer = m_session.prompter().ask(
        {QStringLiteral("Error:  The database has been marked corrupt. Attempt repair?"),
         QStringLiteral("Database Initialization Error"), MsgIcon::Critical, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes) {
        m_session.endProgram(1);
        return;
    }
    if (!m_session.checkExclusiveAccess(false))
        return;
    // The work files go beside the database: its folder must be writable for the repair anyway,
    // while the program's folder often is not.
    const QString rebuilt = workFile(QStringLiteral("db2.rebuild"));
    QFile::remove(rebuilt);
    const RebuildResult result = rebuild(m_session.options().DatabaseName(), rebuilt, workFolder());
    if (!result.ok) {
        reportFailure(result.failure);
        return;
    }
    m_session.prompter().tell(statusText(), QStringLiteral("Repair Status"), MsgIcon::Information);
    QString failure;
    if (!m_session.checkExclusiveAccess(false) || !compactAndReplace(rebuilt, failure)) {
        QFile::remove(rebuilt);
        if (!failure.isEmpty())
            reportFailure(failure);
        return;
    }
    QFile::remove(rebuilt);
}

bool DatabaseRepair::compactAndReplace(const QString &rebuilt, QString &failure)
{
    FileOps &files = m_session.fileOps();
    const QString compacted = workFile(QStringLiteral("db2.mdb"));
    // A work file left by an earlier run could be someone's last good copy: to the trash with it.
    if (files.exists(compacted) && !files.moveToTrash(compacted)) {
        failure = QStringLiteral("The old work file '%1' cannot be moved out of the way.").arg(compacted);
        return false;
    }
    try {
        Database db = Database::open(rebuilt);
        db.exec(QStringLiteral("VACUUM INTO :target"), {{QStringLiteral("target"), compacted}});
    } catch (const DatabaseError &error) {
        failure = error.description();
        QFile::remove(compacted);
        return false;
    }
    const bool replaced = replaceDamaged(compacted, failure);
    if (replaced)
        files.remove(compacted);
    return replaced;
}

bool DatabaseRepair::replaceDamaged(const QString &compacted, QString &failure)
{
    FileOps &files = m_session.fileOps();
    const QString database = m_session.options().DatabaseName();
    // The new file is first copied beside the damaged one, so that the last step is a rename
    // within one folder and no moment exists without a complete database file.
    const QString staged = database + QStringLiteral(".repaired");
    const QString kept = database + QStringLiteral(".damaged-") +
                         m_session.clock().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    files.remove(staged);
    if (!files.copy(compacted, staged)) {
        failure = QStringLiteral("The repaired file cannot be copied beside '%1'.").arg(database);
        return false;
    }
    if (!files.rename(database, kept)) {
        files.remove(staged);
        failure = QStringLiteral("The damaged file '%1' cannot be renamed.").arg(database);
        return false;
    }
    // A journal left by an interrupted write belongs to the damaged file, not to the new one.
    const QString journal = database + QStringLiteral("-journal");
    if (files.exists(journal))
        files.rename(journal, kept + QStringLiteral("-journal"));
    if (!files.rename(staged, database)) {
        files.rename(kept, database);
        failure = QStringLiteral("The repaired file cannot be put in place of '%1'.").arg(database);
        return false;
    }
    return true;
}

QString DatabaseRepair::workFolder() const
{
    return QFileInfo(m_session.options().DatabaseName()).absolutePath();
}

QString DatabaseRepair::workFile(const QString &name) const
{
    return QDir(workFolder()).filePath(name);
}

void DatabaseRepair::reportFailure(const QString &failure)
{
    m_session.prompter().tell(QStringLiteral("The database could not be repaired.  ") + failure +
                                  QStringLiteral("  The damaged file has been left as it was."),
                              QStringLiteral("Repair Status"), MsgIcon::Critical);
}
