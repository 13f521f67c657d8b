#include "DatabaseMaintenance.h"

#include "MaintenanceRecord.h"

#include "foundation/ErrorLog.h"
#include "foundation/Session.h"
#include "foundation/SqlDialect.h"
#include "sharing/LockFile.h"
#include "sharing/SharedFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <QRegularExpression>
#include <QStorageInfo>

#include <algorithm>

namespace {
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
    return SharedFiles(m_session.paths(), databasePath()).lockPath();
}

QString DatabaseMaintenance::keptFolder() const
{
    return databasePath() + QStringLiteral("-kept");
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

QString DatabaseMaintenance::doneText(MaintenanceOperation operation)
{
    switch (operation) {
    case MaintenanceOperation::Backup:
        return QStringLiteral("The backup was made");
    case MaintenanceOperation::Restore:
        return QStringLiteral("The database was restored");
    case MaintenanceOperation::Repair:
        return QStringLiteral("The database was repaired");
    case MaintenanceOperation::Compact:
        return QStringLiteral("The database was compacted");
    }
    return {};
}

QString DatabaseMaintenance::unchangedText(MaintenanceOperation operation)
{
    if (operation == MaintenanceOperation::Backup)
        return QStringLiteral("No file was replaced: the database file and its backup copy are as they were "
                              "before this command.");
    return QStringLiteral("No file was replaced: the database file is as it was before this command.");
}

DatabaseMaintenance::Outcome DatabaseMaintenance::run(MaintenanceOperation operation)
{
    if (!allowedFor(operation, m_session.securityLevel))
        return Outcome::Abandoned;
    if (SqlDialect::isServerName(m_session.options().DatabaseName()))
        return runOnServer(operation);
    LockFile lock(lockPath());
    if (lock.waitWhileLocked(m_session.prompter(), m_session.fileOps(),
                             {m_hooks.pause, m_hooks.lockProgress}) != LockWaitResult::Free)
        return Outcome::Abandoned;
    if (!m_session.checkExclusiveAccess(true))
        return Outcome::Abandoned;

    setBusy(true);
    const Report report = runSteps(operation, lock);
    setBusy(false);
    m_session.prompter().tell(report.text, statusTitle(), report.icon);
    removeLock(lock);
    return report.outcome;
}

void DatabaseMaintenance::removeLock(LockFile &lock)
{
    // A lock this command could not write may be another running command's: it stays.
    if (!lock.isHeld())
        return;
    QString reason;
    if (lock.remove(m_session.fileOps(), m_hooks.pause, 30, &reason))
        return;
    // Other workstations find it and see that its command has ended; they remove it, or say why not.
    m_session.prompter().tell(
        QStringLiteral("The lock file '%1' could not be removed: %2.").arg(lock.path(), reason),
        statusTitle(), MsgIcon::Exclamation);
}

QString DatabaseMaintenance::keptNotes() const
{
    QString notes;
    for (const QString &note : m_kept)
        notes += QStringLiteral("\n\n") + note;
    return notes;
}

DatabaseMaintenance::Report DatabaseMaintenance::stopped(MaintenanceOperation operation,
                                                         const StepFailed &failure) const
{
    QString state = unchangedText(operation);
    const QString reports = m_session.paths().reportDatabasePath();
    if (m_replaced.contains(reports)) {
        state =
            QStringLiteral("The report database was %1; the database file is as it was before this command.")
                .arg(operation == MaintenanceOperation::Repair ? QStringLiteral("repaired")
                                                               : QStringLiteral("compacted"));
    }
    const QString text = operationWord(operation) + QStringLiteral(" stopped: ") + failure.text +
                         QStringLiteral("\n\n") + state;
    if (failure.declined)
        return {text + keptNotes(), MsgIcon::Information, Outcome::Abandoned};
    return {text + keptNotes(), MsgIcon::Critical, Outcome::Failed};
}

DatabaseMaintenance::Report DatabaseMaintenance::runSteps(MaintenanceOperation operation, LockFile &lock)
{
    m_workFiles.clear();
    m_replaced.clear();
    m_kept.clear();
    m_status.clear();
    m_operation = operation;
    m_copies = 0;
    m_copiedBytes = 0;
    if (!lock.write(m_session.clock().now(), m_session.userFullName, operationWord(operation)))
        return stopped(operation, {QStringLiteral("The lock file '%1' cannot be written.").arg(lock.path())});
    MaintenanceRecord record;
    if (!MaintenanceRecord::read(recordPath(), record))
        return stopped(operation, {QStringLiteral("The file '%1' cannot be read.").arg(recordPath())});

    try {
        if (operation != MaintenanceOperation::Restore && !m_session.fileOps().exists(databasePath()))
            throw StepFailed{QStringLiteral("There is no database file '%1'.").arg(databasePath())};
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
        return stopped(operation, failure);
    }

    const TaggedValue now = TaggedValue::date(m_session.clock().now());
    if (operation == MaintenanceOperation::Backup)
        record.lastBackup = now;
    else if (operation == MaintenanceOperation::Repair)
        record.lastRepair = now;
    else if (operation == MaintenanceOperation::Compact)
        record.lastCompaction = now;
    // The repair's own report says what it kept and lost, table by table.
    const QString repairReport = m_status.isEmpty() ? QString() : QStringLiteral("\n\n") + m_status;
    if (!record.write(recordPath(), m_session.fileOps())) {
        return {doneText(operation) + QStringLiteral(", but the date of this run could not be recorded: ") +
                    m_session.fileOps().errorString() + QStringLiteral(".") + repairReport + copiesNote() +
                    keptNotes(),
                MsgIcon::Exclamation, Outcome::Done};
    }
    if (m_status.isEmpty())
        return {statusText(operation) + copiesNote() + keptNotes(), MsgIcon::Information, Outcome::Done};
    const bool lost = m_engine.lastRebuild().lostRows();
    return {m_status + copiesNote() + keptNotes(), lost ? MsgIcon::Exclamation : MsgIcon::Information,
            Outcome::Done};
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

void DatabaseMaintenance::discard(const QString &path)
{
    FileOps &files = m_session.fileOps();
    if (!files.exists(path))
        return;
    if (files.moveToTrash(path)) {
        m_kept << QStringLiteral("'%1' went to the trash.").arg(path);
        return;
    }
    const QString why = files.errorString();
    const QString name = QFileInfo(path).fileName();
    const QString stamp = m_session.clock().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QDir folder(keptFolder());
    QString kept = folder.filePath(name + QLatin1Char('-') + stamp);
    for (int n = 2; files.exists(kept); ++n)
        kept = folder.filePath(name + QLatin1Char('-') + stamp + QLatin1Char('-') + QString::number(n));
    if (!QDir().mkpath(folder.path()) || !files.rename(path, kept)) {
        throw StepFailed{QStringLiteral("The file '%1' can go neither to the trash (%2) nor to '%3' (%4).")
                             .arg(path, why, kept, files.errorString())};
    }
    pruneKept(name);
    m_kept << QStringLiteral("The trash could not take '%1' (%2); it is kept as '%3'. That folder keeps the "
                             "newest %4 copies of each file.")
                  .arg(path, why, kept)
                  .arg(kKeptPerKind);
}

void DatabaseMaintenance::pruneKept(const QString &name)
{
    const QDir folder(keptFolder());
    // Named after the file and the time it was kept (yyyyMMdd-HHmmss, then -2, -3... within one
    // second): sorted by that time and number, the newest come last.
    const QRegularExpression named(
        QStringLiteral("^%1-(\\d{8}-\\d{6})(?:-(\\d+))?$").arg(QRegularExpression::escape(name)));
    QList<std::pair<std::pair<QString, int>, QString>> kept;
    for (const QString &file : folder.entryList(QDir::Files)) {
        const QRegularExpressionMatch match = named.match(file);
        if (match.hasMatch())
            kept.append({{match.captured(1), match.captured(2).toInt()}, file});
    }
    std::sort(kept.begin(), kept.end());
    for (qsizetype i = 0; i + kKeptPerKind < kept.size(); ++i)
        m_session.fileOps().remove(folder.filePath(kept[i].second));
}

void DatabaseMaintenance::needSpace(const QList<QPair<QString, qint64>> &files)
{
    // Two files on one disk need their sum there.
    QMap<QString, QPair<QString, qint64>> disks;
    for (const auto &[path, bytes] : files) {
        const QString folder = QFileInfo(path).absolutePath();
        auto &disk = disks[QStorageInfo(folder).rootPath()];
        if (disk.first.isEmpty())
            disk.first = folder;
        disk.second += bytes;
    }
    for (const auto &[folder, bytes] : std::as_const(disks)) {
        const qint64 free = m_session.fileOps().freeSpace(folder);
        if (free >= 0 && free < bytes) {
            throw StepFailed{QStringLiteral("The disk holding %1 has %2 free; %3 needs %4.")
                                 .arg(QDir::toNativeSeparators(folder), megabytes(free),
                                      operationWord(m_operation), megabytes(bytes))};
        }
    }
}

void DatabaseMaintenance::keepPrevious(const QString &target, const QString &previous)
{
    FileOps &files = m_session.fileOps();
    if (files.link(target, previous))
        return;
    // Where the disk has no second names for a file (some network shares), it is copied.
    needSpace({{previous, sizeOf(target)}});
    if (!files.copy(target, previous))
        throw StepFailed{QStringLiteral("The file '%1' cannot be copied to '%2'.").arg(target, previous)};
    counted(previous);
}

void DatabaseMaintenance::counted(const QString &path)
{
    ++m_copies;
    m_copiedBytes += sizeOf(path);
}

QString DatabaseMaintenance::copiesNote() const
{
    if (m_copies == 0)
        return {};
    return QStringLiteral("\n\nFiles written in full: %1 (%2 in all).")
        .arg(m_copies)
        .arg(megabytes(m_copiedBytes));
}

void DatabaseMaintenance::clearWorkFile(const QString &path)
{
    discard(path);
    m_workFiles << path;
}

void DatabaseMaintenance::replaceWith(const QString &work, const QString &target, const QString &word)
{
    FileOps &files = m_session.fileOps();
    if (files.exists(target)) {
        const QString previous = target + QStringLiteral(".before-") + word.toLower();
        clearWorkFile(previous);
        keepPrevious(target, previous);
        discard(previous);
    }
    // A journal left by a crash belongs to the old file; played into the new one it would damage it.
    discard(journalOf(target));
    if (!files.replace(work, target))
        throw StepFailed{QStringLiteral("The file '%1' cannot be renamed to '%2'.").arg(work, target)};
    m_replaced << target;
}

QString DatabaseMaintenance::statusText(MaintenanceOperation operation)
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

qint64 DatabaseMaintenance::sizeOf(const QString &path)
{
    return QFileInfo(path).size();
}

QString DatabaseMaintenance::megabytes(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}
