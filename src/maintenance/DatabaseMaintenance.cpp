#include "DatabaseMaintenance.h"

#include "MaintenanceRecord.h"

#include "foundation/DatabaseError.h"
#include "foundation/ErrorLog.h"
#include "foundation/Session.h"
#include "sharing/LockFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {
QString statusText(MaintenanceOperation operation)
{
    switch (operation) {
    case MaintenanceOperation::Backup:
        return QStringLiteral("Backup Complete.");
    case MaintenanceOperation::Restore:
        return QStringLiteral("Restore Complete.");
    case MaintenanceOperation::Repair:
        return QStringLiteral("Database Repair Complete.");
    case MaintenanceOperation::Compact:
        return QStringLiteral("Database Compacted.");
    }
    return {};
}

QString journalOf(const QString &path)
{
    return path + QStringLiteral("-journal");
}
} // namespace

DatabaseMaintenance::DatabaseMaintenance(Session &session, MaintenanceEngine &engine, Hooks hooks)
    : m_session(session), m_engine(engine), m_hooks(std::move(hooks))
{
}

QString DatabaseMaintenance::operationWord(MaintenanceOperation operation)
{
    switch (operation) {
    case MaintenanceOperation::Backup:
        return QStringLiteral("Backup");
    case MaintenanceOperation::Restore:
        return QStringLiteral("Restore");
    case MaintenanceOperation::Repair:
        return QStringLiteral("Repair");
    case MaintenanceOperation::Compact:
        return QStringLiteral("Compaction");
    }
    return {};
}

bool DatabaseMaintenance::allowedFor(MaintenanceOperation operation, const QString &level)
{
    const bool wholeFileCopy =
        operation == MaintenanceOperation::Backup || operation == MaintenanceOperation::Restore;
    return !wholeFileCopy || level == QLatin1String("C");
}

QString DatabaseMaintenance::databasePath() const
{
    return QFileInfo(m_session.options().DatabaseName()).absoluteFilePath();
}

QString DatabaseMaintenance::lockPath() const
{
    return QFileInfo(databasePath()).dir().filePath(QStringLiteral("db.lok"));
}

QString DatabaseMaintenance::recordPath() const
{
    return QFileInfo(databasePath()).dir().filePath(MaintenanceRecord::fileName());
}

void DatabaseMaintenance::setBusy(bool on) const
{
    if (m_hooks.busy)
        m_hooks.busy(on);
}

DatabaseMaintenance::Outcome DatabaseMaintenance::run(MaintenanceOperation operation)
{
    if (!allowedFor(operation, m_session.securityLevel))
        return Outcome::Abandoned;
    const LockFile lock(lockPath());
    if (!lock.waitWhileLocked(m_session.prompter(), m_hooks.pause))
        return Outcome::Abandoned;
    if (!m_session.checkExclusiveAccess(true))
        return Outcome::Abandoned;

    setBusy(true);
    m_status.clear();
    const QString failure = runSteps(operation);
    setBusy(false);
    if (failure.isEmpty() && !m_status.isEmpty()) {
        const bool lost = m_engine.lastRebuild().lostRows();
        m_session.prompter().tell(m_status, statusTitle(),
                                  lost ? MsgIcon::Exclamation : MsgIcon::Information);
    } else if (failure.isEmpty()) {
        m_session.prompter().tell(statusText(operation), statusTitle(), MsgIcon::Information);
    } else {
        m_session.prompter().tell(operationWord(operation) + QStringLiteral(" stopped: ") + failure +
                                      QStringLiteral("\n\nThe database file is complete and unchanged by ") +
                                      QStringLiteral("the failed step."),
                                  statusTitle(), MsgIcon::Critical);
    }
    lock.remove(m_hooks.pause);
    return failure.isEmpty() ? Outcome::Done : Outcome::Failed;
}

QString DatabaseMaintenance::runSteps(MaintenanceOperation operation)
{
    const LockFile lock(lockPath());
    if (!lock.write(m_session.clock().now(), m_session.userFullName, operationWord(operation)))
        return QStringLiteral("The lock file '%1' cannot be written.").arg(lock.path());
    MaintenanceRecord record;
    if (!MaintenanceRecord::read(recordPath(), record))
        return QStringLiteral("The file '%1' cannot be read.").arg(recordPath());

    m_workFiles.clear();
    try {
        switch (operation) {
        case MaintenanceOperation::Backup:
            backup();
            break;
        case MaintenanceOperation::Restore:
            restore();
            break;
        case MaintenanceOperation::Repair:
            repair();
            break;
        case MaintenanceOperation::Compact:
            compact();
            break;
        }
    } catch (const StepFailed &failure) {
        // What is left of a work file is never the only copy of anything: D is whole.
        for (const QString &work : std::as_const(m_workFiles))
            m_session.fileOps().remove(work);
        return failure.text;
    }

    const TaggedValue now = TaggedValue::date(m_session.clock().now());
    if (operation == MaintenanceOperation::Backup)
        record.lastBackup = now;
    else if (operation == MaintenanceOperation::Repair)
        record.lastRepair = now;
    else if (operation == MaintenanceOperation::Compact)
        record.lastCompaction = now;
    if (!record.write(recordPath()))
        return QStringLiteral("The date of this run cannot be written to '%1'.").arg(recordPath());
    return {};
}

void DatabaseMaintenance::engineStep(const QString &error)
{
    if (!error.isEmpty())
        throw StepFailed{error};
}

void DatabaseMaintenance::checkStep(const QString &path)
{
    const QString failure = m_engine.check(path);
    const QStringList lines = failure.split('\n');
    // The report of a badly damaged file runs to a hundred lines: the message shows its start, the
    // error log keeps all of it.
    constexpr int kShown = 6;
    if (lines.size() <= kShown + 1) {
        engineStep(failure);
        return;
    }
    m_session.writeErrorLog(failure);
    throw StepFailed{lines.mid(0, kShown).join('\n') +
                     QStringLiteral("\n... and %1 more lines, all written to the error log '%2'.")
                         .arg(lines.size() - kShown)
                         .arg(ErrorLog(m_session.paths(), m_session.clock()).path())};
}

void DatabaseMaintenance::clearWorkFile(const QString &path)
{
    FileOps &files = m_session.fileOps();
    if (files.exists(path) && !files.moveToTrash(path))
        throw StepFailed{QStringLiteral("The old work file '%1' cannot be moved to the trash.").arg(path)};
    m_workFiles << path;
}

void DatabaseMaintenance::replaceWith(const QString &work, const QString &target, const QString &word)
{
    FileOps &files = m_session.fileOps();
    if (files.exists(target)) {
        const QString previous = target + QStringLiteral(".before-") + word.toLower();
        clearWorkFile(previous);
        if (!files.copy(target, previous))
            throw StepFailed{QStringLiteral("The file '%1' cannot be copied to '%2'.").arg(target, previous)};
        if (!files.moveToTrash(previous))
            throw StepFailed{QStringLiteral("The copy '%1' cannot be moved to the trash.").arg(previous)};
    }
    // A journal left by a crash belongs to the old file; played into the new one it would damage it.
    const QString journal = journalOf(target);
    if (files.exists(journal) && !files.moveToTrash(journal))
        throw StepFailed{QStringLiteral("The journal '%1' cannot be moved to the trash.").arg(journal)};
    if (!files.replace(work, target))
        throw StepFailed{QStringLiteral("The file '%1' cannot be renamed to '%2'.").arg(work, target)};
}

void DatabaseMaintenance::backup()
{
    const QString database = databasePath();
    const QString work = database + QStringLiteral("-Backup.work");
    clearWorkFile(work);
    engineStep(m_engine.backup(database, work));
    checkStep(work);
    replaceWith(work, backupPath(), operationWord(MaintenanceOperation::Backup));
}

void DatabaseMaintenance::restore()
{
    FileOps &files = m_session.fileOps();
    const QString database = databasePath();
    if (!files.exists(backupPath()))
        throw StepFailed{QStringLiteral("There is no backup copy '%1'.").arg(backupPath())};
    const QString work = database + QStringLiteral(".restore");
    clearWorkFile(work);
    if (!files.copy(backupPath(), work))
        throw StepFailed{QStringLiteral("The backup copy cannot be copied to '%1'.").arg(work)};
    checkStep(work);
    replaceWith(work, database, operationWord(MaintenanceOperation::Restore));
}

void DatabaseMaintenance::repair()
{
    const QString folder = QFileInfo(databasePath()).absolutePath();
    // The report database holds only staged copies: what fails there is passed over.
    const QString reports = m_session.paths().reportDatabasePath();
    if (m_session.fileOps().exists(reports)) {
        const QString reportWork = reports.left(reports.size() - 4) + QStringLiteral("2.MDB");
        try {
            clearWorkFile(reportWork);
            engineStep(m_engine.rebuild(reports, reportWork, m_session.paths().reportDatabaseFolder()));
            checkStep(reportWork);
            replaceWith(reportWork, reports, operationWord(MaintenanceOperation::Repair));
        } catch (const StepFailed &) {
            m_session.fileOps().remove(reportWork);
        }
        m_workFiles.removeAll(reportWork);
    }

    const QString database = databasePath();
    const QString work = database + QStringLiteral("2.mdb");
    clearWorkFile(work);
    // The rebuilt file is new and packed: it is the compacted copy at once.
    engineStep(m_engine.rebuild(database, work, folder));
    checkStep(work);
    reportRepair(database, work);
    replaceWith(work, database, operationWord(MaintenanceOperation::Repair));
}

void DatabaseMaintenance::reportRepair(const QString &database, const QString &work)
{
    const RebuildResult &result = m_engine.lastRebuild();
    const QDateTime when = m_session.clock().now();
    const QString kept = DatabaseRepair::keptCopyPath(database, when);
    try {
        DatabaseRepair::recordOutcome(work, result, kept, when);
    } catch (const DatabaseError &error) {
        m_session.writeErrorLog(QStringLiteral("Repair: the repair report could not be written: ") +
                                error.description());
    }
    // The damaged file still holds what the repair lost: it stays beside the database, not only
    // in the trash.
    if (result.lostRows()) {
        if (!m_session.fileOps().copy(database, kept))
            throw StepFailed{QStringLiteral("The damaged file cannot be kept as '%1'.").arg(kept)};
        // Should a later step fail, the database itself is still the damaged file.
        m_workFiles << kept;
        m_status = QStringLiteral("The repair could not keep every row: rows were lost (below).  The damaged "
                                  "file is kept as '%1'.\n\n")
                       .arg(kept) +
                   result.report();
    } else {
        m_status = statusText(MaintenanceOperation::Repair) + QStringLiteral("\n\n") + result.report();
    }
    m_session.writeErrorLog(QStringLiteral("Repair of %1: ").arg(database) + m_status);
}

void DatabaseMaintenance::compact()
{
    const QString reports = m_session.paths().reportDatabasePath();
    const QString reportWork =
        QDir(m_session.paths().reportDatabaseFolder()).filePath(QStringLiteral("REPORTS3.MDB"));
    const QString database = databasePath();
    const QString work = database + QStringLiteral("3.mdb");
    const bool withReports = m_session.fileOps().exists(reports);
    clearWorkFile(reportWork);
    clearWorkFile(work);
    if (withReports) {
        engineStep(m_engine.compact(reports, reportWork));
        checkStep(reportWork);
    }
    engineStep(m_engine.compact(database, work));
    checkStep(work);
    if (withReports)
        replaceWith(reportWork, reports, operationWord(MaintenanceOperation::Compact));
    replaceWith(work, database, operationWord(MaintenanceOperation::Compact));
}
