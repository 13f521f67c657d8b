#include "DatabaseMaintenance.h"

// The four commands on a database file, each a few steps of the frame in DatabaseMaintenance.cpp:
// write a work file beside the target, check it, and only then put it in the target's place.

#include "foundation/DatabaseError.h"
#include "foundation/ErrorLog.h"
#include "foundation/Session.h"
#include "sharing/DatabaseRepair.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
// Whether the file begins as a database does; the repair reads one that does not through a
// corrected scratch copy of it.
bool headerSound(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
}
} // namespace

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
