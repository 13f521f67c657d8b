#include "DatabaseMaintenance.h"

#include "MaintenanceRecord.h"
#include "ServerMaintenance.h"

#include "foundation/DatabaseError.h"
#include "foundation/ErrorLog.h"
#include "foundation/Session.h"
#include "foundation/SqlDialect.h"
#include "sharing/DatabaseRepair.h"
#include "sharing/LockFile.h"
#include "sharing/SharedFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <QRegularExpression>
#include <QStorageInfo>

#include <algorithm>

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

qint64 sizeOf(const QString &path)
{
    return QFileInfo(path).size();
}

QString megabytes(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

// What the server did in Compact, table by table.
QString compactedText(const QString &database, const QList<CompactedTable> &tables)
{
    QStringList rewritten, analyzed;
    qint64 before = 0, after = 0;
    for (const CompactedTable &table : tables) {
        (table.rewritten ? rewritten : analyzed) << table.name;
        before += table.before;
        after += table.after;
    }
    QString text = QStringLiteral("The database %1 on the server was compacted: %2 tables were rewritten "
                                  "without their deleted rows and analyzed (%3)")
                       .arg(database)
                       .arg(rewritten.size())
                       .arg(rewritten.join(QStringLiteral(", ")));
    if (!analyzed.isEmpty())
        text += QStringLiteral("; %1 analyzed only, having no primary key to rewrite it by")
                    .arg(analyzed.join(QStringLiteral(", ")));
    return text + QStringLiteral(". The tables took %1 before and take %2 now.")
                      .arg(megabytes(before), megabytes(after));
}

// Whether the file begins as a database does; the repair reads one that does not through a
// corrected scratch copy of it.
bool headerSound(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
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

void DatabaseMaintenance::confirmBackup(const QString &copy)
{
    const std::optional<qint64> lines = m_engine.jobLines(copy);
    if (!lines)
        throw StepFailed{
            QStringLiteral("The database file '%1' holds no production database.").arg(databasePath())};
    if (!m_session.fileOps().exists(backupPath()))
        return;
    const std::optional<qint64> before = m_engine.jobLines(backupPath());
    if (!before || *lines >= *before)
        return;
    const PromptMessage question{
        QStringLiteral("The database holds %1 job lines, the backup %2. Replace the backup?")
            .arg(*lines)
            .arg(*before),
        QStringLiteral("Backup"), MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No};
    if (m_session.prompter().ask(question) != MsgAnswer::Yes)
        throw StepFailed{QStringLiteral("The backup was kept."), true};
}

void DatabaseMaintenance::backup()
{
    const QString database = databasePath();
    const QString work = database + QStringLiteral("-Backup.work");
    clearWorkFile(work);
    needSpace({{work, sizeOf(database)}});
    engineStep(m_engine.backup(database, work));
    counted(work);
    checkStep(work);
    confirmBackup(work);
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
    needSpace({{work, sizeOf(backupPath())}});
    if (!files.copy(backupPath(), work))
        throw StepFailed{QStringLiteral("The backup copy cannot be copied to '%1'.").arg(work)};
    counted(work);
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
            needSpace({{reportWork, sizeOf(reports)}});
            engineStep(m_engine.rebuild(reports, reportWork, m_session.paths().reportDatabaseFolder()));
            counted(reportWork);
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
    // The rebuilt file is at most as big as the damaged one; a file whose start is damaged is read
    // through a corrected copy of it.
    QList<QPair<QString, qint64>> needs{{work, sizeOf(database)}};
    if (!headerSound(database))
        needs.append({work, sizeOf(database)});
    needSpace(needs);
    // The rebuilt file is new and packed: it is the compacted copy at once.
    engineStep(m_engine.rebuild(database, work, folder));
    counted(work);
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
        // A second name: the database is replaced anyway, and no copy is needed then.
        try {
            keepPrevious(database, kept);
        } catch (const StepFailed &) {
            throw StepFailed{QStringLiteral("The damaged file cannot be kept as '%1'.").arg(kept)};
        }
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
    QList<QPair<QString, qint64>> needs{{work, sizeOf(database)}};
    if (withReports)
        needs.append({reportWork, sizeOf(reports)});
    needSpace(needs);
    if (withReports) {
        engineStep(m_engine.compact(reports, reportWork));
        counted(reportWork);
        checkStep(reportWork);
    }
    engineStep(m_engine.compact(database, work));
    counted(work);
    checkStep(work);
    if (withReports)
        replaceWith(reportWork, reports, operationWord(MaintenanceOperation::Compact));
    replaceWith(work, database, operationWord(MaintenanceOperation::Compact));
}

QString DatabaseMaintenance::serverRefusal(const ServerMaintenance &server, MaintenanceOperation operation)
{
    switch (operation) {
    case MaintenanceOperation::Backup:
        return {}; // the server's archive holds what the login may read, which is every table
    case MaintenanceOperation::Restore:
        return server.restoreRefusal();
    case MaintenanceOperation::Repair:
        return server.repairRefusal();
    case MaintenanceOperation::Compact:
        return server.compactRefusal();
    }
    return {};
}

QMap<MaintenanceOperation, QString> DatabaseMaintenance::serverRefusals(const QString &uri,
                                                                        const QString &level)
{
    QMap<MaintenanceOperation, QString> refusals;
    if (!SqlDialect::isServerName(uri))
        return refusals;
    try {
        const ServerMaintenance server(uri);
        for (const MaintenanceOperation operation :
             {MaintenanceOperation::Backup, MaintenanceOperation::Restore, MaintenanceOperation::Repair,
              MaintenanceOperation::Compact}) {
            if (!allowedFor(operation, level))
                continue;
            if (const QString refusal = serverRefusal(server, operation); !refusal.isEmpty())
                refusals.insert(operation, refusal);
        }
    } catch (const DatabaseError &) {
        // An address the server cannot use: each command says so when chosen.
    }
    return refusals;
}

DatabaseMaintenance::Outcome DatabaseMaintenance::runOnServer(MaintenanceOperation operation)
{
    std::optional<ServerMaintenance> server;
    try {
        server.emplace(m_session.options().DatabaseName());
    } catch (const DatabaseError &error) {
        m_session.prompter().tell(error.description(), statusTitle(), MsgIcon::Critical);
        return Outcome::Failed;
    }
    // What only the server's administrator may do is refused before anything is asked or locked.
    const QString refusal = serverRefusal(*server, operation);
    if (!refusal.isEmpty()) {
        m_session.prompter().tell(operationWord(operation) + QStringLiteral(" stopped: ") + refusal,
                                  statusTitle(), MsgIcon::Exclamation);
        return Outcome::Failed;
    }
    QString file;
    if (operation == MaintenanceOperation::Backup || operation == MaintenanceOperation::Restore) {
        const QString suggestion =
            operation == MaintenanceOperation::Backup
                ? m_session.paths().inWorkingFolder(
                      server->databaseName() +
                      m_session.clock().now().toString(QStringLiteral("'-'yyyyMMdd-HHmm")) +
                      QStringLiteral(".backup"))
                : m_session.paths().workingFolder();
        file = m_hooks.chooseFile ? m_hooks.chooseFile(operation, suggestion) : QString();
        if (file.isEmpty())
            return Outcome::Abandoned;
    }
    // The backup and the checks read what the server shows them at one moment: the others may go
    // on working. A restore replaces the database and VACUUM FULL locks every table in turn.
    const bool exclusive =
        operation == MaintenanceOperation::Restore || operation == MaintenanceOperation::Compact;
    if (exclusive && !m_session.checkExclusiveAccess(true))
        return Outcome::Abandoned;
    m_holdsExclusiveAccess = exclusive;
    setBusy(true);
    const Report report = serverSteps(operation, *server, file);
    if (m_holdsExclusiveAccess)
        m_session.endExclusiveAccess();
    m_holdsExclusiveAccess = false;
    setBusy(false);
    m_session.prompter().tell(report.text, statusTitle(), report.icon);
    return report.outcome;
}

DatabaseMaintenance::Report DatabaseMaintenance::serverSteps(MaintenanceOperation operation,
                                                             ServerMaintenance &server, const QString &file)
{
    m_workFiles.clear();
    m_kept.clear();
    m_status.clear();
    const QString name = server.databaseName();
    try {
        switch (operation) {
        case MaintenanceOperation::Backup: {
            const QString work = file + QStringLiteral(".work");
            clearWorkFile(work);
            engineStep(server.dump(work));
            engineStep(server.checkArchive(work));
            if (!m_session.fileOps().replace(work, file))
                throw StepFailed{QStringLiteral("The file '%1' cannot be renamed to '%2'.").arg(work, file)};
            m_status = QStringLiteral("The database %1 on the server was backed up to '%2'.").arg(name, file);
            break;
        }
        case MaintenanceOperation::Restore:
            restoreOnServer(server, file);
            break;
        case MaintenanceOperation::Repair: {
            const ServerCheckResult check = server.check();
            const QString text = check.report(name);
            m_session.writeErrorLog(QStringLiteral("Repair: ") + text);
            if (!check.failure.isEmpty())
                throw StepFailed{text};
            return {text + keptNotes(), check.sound() ? MsgIcon::Information : MsgIcon::Exclamation,
                    Outcome::Done};
        }
        case MaintenanceOperation::Compact: {
            QList<CompactedTable> tables;
            engineStep(server.compact(tables));
            m_status = compactedText(name, tables);
            break;
        }
        }
    } catch (const StepFailed &failure) {
        for (const QString &work : std::as_const(m_workFiles))
            m_session.fileOps().remove(work);
        QString state =
            QStringLiteral("The database %1 on the server is as it was before this command.").arg(name);
        if (operation == MaintenanceOperation::Backup)
            state += QStringLiteral(" No backup file was written.");
        const QString text = operationWord(operation) + QStringLiteral(" stopped: ") + failure.text +
                             QStringLiteral("\n\n") + state;
        return {text + keptNotes(), MsgIcon::Critical, Outcome::Failed};
    }
    return {m_status + keptNotes(), MsgIcon::Information, Outcome::Done};
}

void DatabaseMaintenance::restoreOnServer(ServerMaintenance &server, const QString &file)
{
    if (!m_session.fileOps().exists(file))
        throw StepFailed{QStringLiteral("There is no backup file '%1'.").arg(file)};
    engineStep(server.checkArchive(file));
    // The plant's database stays as it is until the restored one is complete and checked.
    const QString work = server.workDatabase();
    const auto dropWork = [&](const QString &failure) {
        const QString error = server.dropDatabase(work);
        if (!error.isEmpty())
            m_kept << QStringLiteral("The work database %1 is left on the server: %2").arg(work, error);
        throw StepFailed{failure};
    };
    const QString error = server.restoreInto(file, work);
    if (!error.isEmpty())
        dropWork(error);
    if (!server.jobLines(work))
        dropWork(QStringLiteral("The file '%1' holds no production database.").arg(file));
    if (const QString access = server.carryOverAccess(work); !access.isEmpty())
        dropWork(access);
    const QString kept = server.keptName(m_session.clock().now());
    // The renames need the database free of connections, this copy's own presence included: the
    // exclusive access check made sure that no other copy of the program is in.
    QString swapError;
    m_session.endExclusiveAccess([&] { swapError = server.swapIn(work, kept); });
    m_holdsExclusiveAccess = false;
    if (!swapError.isEmpty())
        dropWork(
            QStringLiteral("The restored copy cannot take the place of the database %1 (close every other "
                           "connection to it first): %2")
                .arg(server.databaseName(), swapError));
    m_status = QStringLiteral("The database %1 on the server was restored from '%2'. The database as it was "
                              "before is kept on the server as %3.")
                   .arg(server.databaseName(), file, kept);
}
