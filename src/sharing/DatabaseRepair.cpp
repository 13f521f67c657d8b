#include "DatabaseRepair.h"

#include "foundation/Database.h"
#include "foundation/Session.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

namespace {
// The status text after its first sentence: what happens next, and what to do if it fails.
QString statusTail()
{
    return QStringLiteral("The database will now be ") +
           QStringLiteral("compacted.  After the compaction, an ") +
           QStringLiteral("attempt will be made to reopen the ") +
           QStringLiteral("database.  If it fails, answer No to ") +
           QStringLiteral("the 'Repair Database' box you will again ") +
           QStringLiteral("receive.  Then restore the file ") +
           QStringLiteral("'QUORVEL.MDB' from the most recent ") +
           QStringLiteral("backup available and re-enter all ") +
           QStringLiteral("transactions that have taken place ") + QStringLiteral("since that time.");
}
} // namespace

DatabaseRepair::DatabaseRepair(Session &session) : m_session(session) {}

QString DatabaseRepair::statusText()
{
    return QStringLiteral("Repairs complete.  ") + statusTail();
}

QString DatabaseRepair::outcomeText(const RebuildResult &result, const QString &keptCopy)
{
    if (!result.lostRows())
        return statusText() + QStringLiteral("\n\n") + result.report();
    return QStringLiteral("The repair could not keep every row: rows were lost (below).  The damaged file is "
                          "kept as '%1'.  ")
               .arg(keptCopy) +
           statusTail() + QStringLiteral("\n\n") + result.report();
}

QString DatabaseRepair::keptCopyPath(const QString &database, const QDateTime &when)
{
    return database + QStringLiteral(".damaged-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

void DatabaseRepair::recordOutcome(const QString &rebuiltPath, const RebuildResult &result,
                                   const QString &keptCopy, const QDateTime &when)
{
    Database db = Database::open(rebuiltPath);
    Transaction transaction(db);
    db.exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS \"Repair Report\" (\"Repaired At\" TEXT NOT NULL, "
                       "\"Table Name\" TEXT NOT NULL, \"Rows Kept\" INTEGER, \"Rows Lost\" INTEGER NOT NULL, "
                       "\"Details\" TEXT, \"Damaged Copy\" TEXT)"));
    for (const TableOutcome &table : result.tables) {
        db.exec(QStringLiteral(
                    "INSERT INTO \"Repair Report\" VALUES (:at, :name, :kept, :lost, :details, :copy)"),
                {{QStringLiteral("at"), when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
                 {QStringLiteral("name"), table.name},
                 {QStringLiteral("kept"), table.kept},
                 {QStringLiteral("lost"), table.lostRows() ? 1 : 0},
                 {QStringLiteral("details"), table.text()},
                 {QStringLiteral("copy"), table.lostRows() ? keptCopy : QString()}});
    }
    transaction.commit();
}

QString DatabaseRepair::securityLossCopy(const Database &db)
{
    try {
        QSqlQuery query = db.exec(
            QStringLiteral("SELECT \"Damaged Copy\" FROM \"Repair Report\" WHERE \"Table Name\" = "
                           "'Security Table' AND \"Rows Lost\" = 1 "
                           "AND \"Repaired At\" = (SELECT max(\"Repaired At\") FROM \"Repair Report\")"));
        return query.next() ? query.value(0).toString() : QString();
    } catch (const DatabaseError &error) {
        // A database never repaired has no report.
        if (error.number() == DbErrors::Damaged)
            throw;
        return {};
    }
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
    // Whatever way the repair ends, the other copies may come back in.
    struct ExclusiveAccessEnd
    {
        Session &session;
        ~ExclusiveAccessEnd() { session.endExclusiveAccess(); }
    } end{m_session};
    // The work files go beside the database: its folder must be writable for the repair anyway,
    // while the program's folder often is not.
    const QString rebuilt = workFile(QStringLiteral("db2.rebuild"));
    QFile::remove(rebuilt);
    const QString database = m_session.options().DatabaseName();
    const RebuildResult result = FileSalvage::rebuild(database, rebuilt, workFolder());
    if (!result.ok) {
        reportFailure(result.failure);
        return;
    }
    const QDateTime when = m_session.clock().now();
    const QString kept = keptCopyPath(database, when);
    try {
        recordOutcome(rebuilt, result, kept, when);
    } catch (const DatabaseError &error) {
        m_session.writeErrorLog(QStringLiteral("Repair: the repair report could not be written: ") +
                                error.description());
    }
    const QString text = outcomeText(result, kept);
    m_session.writeErrorLog(QStringLiteral("Repair of %1: ").arg(database) + text);
    m_session.prompter().tell(text, QStringLiteral("Repair Status"),
                              result.lostRows() ? MsgIcon::Exclamation : MsgIcon::Information);
    QString failure;
    if (!m_session.checkExclusiveAccess(false) || !compactAndReplace(rebuilt, kept, failure)) {
        QFile::remove(rebuilt);
        if (!failure.isEmpty())
            reportFailure(failure);
        return;
    }
    QFile::remove(rebuilt);
}

bool DatabaseRepair::compactAndReplace(const QString &rebuilt, const QString &kept, QString &failure)
{
    FileOps &files = m_session.fileOps();
    const QString compacted = workFile(QStringLiteral("db2.mdb"));
    // A work file left by an earlier run could be someone's last good copy: to the trash with it,
    // or, where there is no trash, aside under a dated name.
    if (files.exists(compacted) && !files.moveToTrash(compacted)) {
        const QString aside =
            compacted + m_session.clock().now().toString(QStringLiteral("'-'yyyyMMdd-HHmmss"));
        if (!files.rename(compacted, aside)) {
            failure = QStringLiteral("The old work file '%1' cannot be moved out of the way.").arg(compacted);
            return false;
        }
        m_session.writeErrorLog(
            QStringLiteral("The old work file '%1' is kept as '%2'.").arg(compacted, aside));
    }
    try {
        Database db = Database::open(rebuilt);
        db.exec(QStringLiteral("VACUUM INTO :target"), {{QStringLiteral("target"), compacted}});
    } catch (const DatabaseError &error) {
        failure = error.description();
        QFile::remove(compacted);
        return false;
    }
    return replaceDamaged(compacted, kept, failure);
}

bool DatabaseRepair::replaceDamaged(const QString &compacted, const QString &kept, QString &failure)
{
    FileOps &files = m_session.fileOps();
    const QString database = m_session.options().DatabaseName();
    // The damaged file keeps a second name (a copy only where the disk has no such names); the new
    // file, made in the database's folder, then takes its place in one rename, so that no moment
    // exists without a complete database file.
    if (!files.link(database, kept) && !files.copy(database, kept)) {
        failure = QStringLiteral("The damaged file '%1' cannot be kept as '%2'.").arg(database, kept);
        return false;
    }
    // A journal left by an interrupted write belongs to the damaged file, not to the new one.
    const QString journal = database + QStringLiteral("-journal");
    if (files.exists(journal))
        files.rename(journal, kept + QStringLiteral("-journal"));
    if (!files.replace(compacted, database)) {
        files.remove(kept);
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
