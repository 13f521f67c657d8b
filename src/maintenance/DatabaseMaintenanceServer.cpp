#include "DatabaseMaintenance.h"

// The same commands on a database on a server, through ServerMaintenance: the server keeps its
// own files, so each is the server's own tool (a restore and a compaction with the others out).

#include "ServerMaintenance.h"

#include "foundation/DatabaseError.h"
#include "foundation/ErrorLog.h"
#include "foundation/Session.h"
#include "foundation/SqlDialect.h"

#include <QMap>

#include <algorithm>

// What the server did in Compact, table by table.
QString DatabaseMaintenance::compactedText(const QString &database, const QList<CompactedTable> &tables)
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
