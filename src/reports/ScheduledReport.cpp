#include "ScheduledReport.h"

#include "ReportCatalog.h"
#include "ReportParmsSheet.h"
#include "ReportRun.h"
#include "foundation/Database.h"
#include "foundation/SecurityLevel.h"
#include "foundation/Session.h"
#include "reports/engine/ReportError.h"
#include "reports/engine/ReportExport.h"
#include "sharing/CurrentUsersFile.h"
#include "sharing/LockFile.h"
#include "sharing/PresenceLock.h"
#include "sharing/ServerPresence.h"
#include "sharing/SharedFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
int exportCode(const QString &format)
{
    if (format == QLatin1String("pdf"))
        return ReportExport::Pdf;
    if (format == QLatin1String("odt"))
        return ReportExport::Word;
    if (format == QLatin1String("xlsx"))
        return ReportExport::Excel;
    if (format == QLatin1String("txt"))
        return ReportExport::Text;
    return ReportExport::None;
}

// The run's sheet, as the report window would fill it.
ReportParmsSheet sheetFor(const ScheduledReport &request, const QDate &today)
{
    ReportParmsSheet sheet(request.type);
    sheet.load(QDate(), QString(), today);
    sheet.dateRange = request.end.isValid();
    sheet.startDate = request.start;
    sheet.endDate = request.end;
    sheet.shiftText =
        request.shift.isEmpty() && sheet.showsAdditionalInfo() ? QStringLiteral("1-3") : request.shift;
    if (request.option >= 0)
        sheet.chooseOption(request.option);
    else if (sheet.showsOptions() && sheet.option < 0)
        sheet.chooseOption(0);
    sheet.beginJob = request.beginJob;
    sheet.endJob = request.endJob;
    sheet.output = ReportParmsSheet::Export;
    sheet.exportFileName = request.outFile;
    return sheet;
}

// The lock file of a running whole-file operation, beside the program or beside the database (a
// database on a server has no folder).
std::optional<LockInfo> maintenanceLock(const Session &session, const QString &database)
{
    QStringList paths = {session.paths().inProgramFolder(QStringLiteral("db.lok"))};
    if (!SqlDialect::isServerName(database))
        paths = SharedFiles(session.paths(), database).lockPaths();
    for (const QString &path : paths) {
        if (const std::optional<LockInfo> lock = LockFile(path).read())
            return lock;
    }
    return std::nullopt;
}
QString companyName(const Database &db)
{
    try {
        return db.scalar(QStringLiteral("SELECT \"CompanyName\" FROM \"CompanyInfo\" LIMIT 1")).toString();
    } catch (const DatabaseError &) {
        return {}; // the heading goes without the company name
    }
}

// Present from here to the end of the run: the current users window lists it, and the exclusive
// access check of a backup or repair waits for it.
class PresentWhileRunning
{
public:
    PresentWhileRunning(Session &session, const QString &database)
        : m_session(session), m_users(SharedFiles(session.paths(), database).currentUsersPath()),
          m_onServer(SqlDialect::isServerName(database))
    {
        // On a server, the server's advisory lock says who is in; CURUSERS.DAT is a file plant's.
        if (m_onServer) {
            m_server.holdShared(database);
            return;
        }
        m_users.recordPresent(session.userFullName);
        m_lock.holdShared(database);
    }
    ~PresentWhileRunning()
    {
        if (m_onServer) {
            m_server.release();
            return;
        }
        m_users.recordExit(m_session.userFullName, m_session.clock().now());
        m_lock.release();
    }

private:
    Session &m_session;
    CurrentUsersFile m_users;
    PresenceLock m_lock;
    ServerPresence m_server;
    bool m_onServer;
};

int runReport(const ScheduledReport &request, Session &session, Database &db, const QString &database,
              QTextStream &out, QTextStream &err)
{
    const PresentWhileRunning present(session, database);
    // a report database of its own: the interactive REPORTS.MDB may be in use by another run
    QTemporaryDir folder(QDir(QDir::tempPath()).filePath(QStringLiteral("kelvara-report-XXXXXX")));
    const QString reportDatabase = folder.filePath(QStringLiteral("REPORTS.MDB"));
    try {
        Database::createFile(reportDatabase).close();
    } catch (const DatabaseError &error) {
        err << QStringLiteral("No report database could be made: %1").arg(error.description()) << '\n';
        return ScheduledReport::RunFailed;
    }
    ReportParmsSheet sheet = sheetFor(request, session.clock().today());
    const int code = exportCode(request.format);
    CKelvaraOptions &options = session.options();
    ReportRun run({db, reportDatabase, session.prompter(), session.clock(),
                   [&options](int selector) { return options.ReportFilename(selector); }, companyName(db),
                   session.latestProductionDate, true});
    QStringList written;
    const ReportRun::Outcome outcome =
        run.run(sheet, [&](const ReportDocument &document, const QString &, int part) {
            QString folderError;
            const QString file =
                ReportParmsSheet::exportPath(request.outFile, code, part, QDir::currentPath(), &folderError);
            if (!folderError.isEmpty())
                throw ReportError(ReportError::Output, folderError);
            ReportExport::write(document, code, file);
            written << file;
        });
    for (const QString &file : written)
        out << QStringLiteral("Wrote %1").arg(QDir::toNativeSeparators(file)) << '\n';
    if (outcome == ReportRun::Outcome::Damaged) {
        err << ScheduledReport::damagedText(database, run.damage()->description()) << '\n';
        return ScheduledReport::Damaged;
    }
    return outcome == ReportRun::Outcome::Done ? ScheduledReport::Success : ScheduledReport::RunFailed;
}
} // namespace

QString ScheduledReport::damagedText(const QString &database, const QString &description)
{
    return QStringLiteral("The production database \"%1\" is damaged (%2). Repair it: start kelvara on it "
                          "and answer Yes to the repair it offers, or choose Database > Repair; then run "
                          "the report again.")
        .arg(QDir::toNativeSeparators(database), description);
}

QString ScheduledReport::invalidReason() const
{
    if (!ReportCatalog::runsFromCommandLine(type))
        return QStringLiteral("--type must be a report number %1.").arg(ReportCatalog::commandLineRange());
    if (!start.isValid())
        return QStringLiteral("--start needs a date written MM/DD/YYYY.");
    if (end.isValid() && end < start)
        return QStringLiteral("--end is before --start.");
    if (exportCode(format) == ReportExport::None)
        return QStringLiteral("--export must be pdf, odt, xlsx or txt.");
    if (outFile.isEmpty())
        return QStringLiteral("--out needs the name of the file to write.");
    if (option > 1)
        return QStringLiteral("--option must be 0 or 1.");
    ReportParmsSheet sheet = sheetFor(*this, QDate::currentDate());
    if (!sheet.singleDateEnabled() && !end.isValid())
        return QStringLiteral("This report needs a date range: give --end as well.");
    if (const QString missing = sheet.missingFields(); !missing.isEmpty())
        return QStringLiteral("Missing: %1.").arg(missing);
    if (const QString invalid = sheet.invalidInput(); !invalid.isEmpty())
        return invalid;
    return {};
}

int ScheduledReport::run(Session &session, QTextStream &out, QTextStream &err) const
{
    if (const QString reason = invalidReason(); !reason.isEmpty()) {
        err << reason << '\n';
        return BadArguments;
    }
    std::optional<Database> db;
    QString path;
    if (const int exit = logIn(session, database, db, path, err); exit != Success)
        return exit;
    return runReport(*this, session, *db, path, out, err);
}

int ScheduledReport::logIn(Session &session, const QString &database, std::optional<Database> &db,
                           QString &path, QTextStream &err)
{
    path = database.isEmpty() ? session.options().DatabaseName() : database;
    if (path.isEmpty()) {
        err << QStringLiteral("No production database is configured: name it with --database PATH (a "
                              "file, or a postgresql:// address).")
            << '\n';
        return NoDatabase;
    }
    if (!SqlDialect::isServerName(path) && !QFileInfo::exists(path)) {
        err << QStringLiteral("The production database \"%1\" does not exist.").arg(path) << '\n';
        return NoDatabase;
    }
    if (const std::optional<LockInfo> lock = maintenanceLock(session, path)) {
        err << QStringLiteral("The database is closed for maintenance (%1 by %2, started %3); run it later.")
                   .arg(lock->operation, lock->who, lock->startedText)
            << '\n';
        return Maintenance;
    }
    try {
        db = Database::open(path);
        QSqlQuery user =
            db->exec(QStringLiteral("SELECT \"User Name\", \"Security Level\" FROM \"Security Table\""
                                    " WHERE \"UserName\" = :u"),
                     {{QStringLiteral("u"), session.identity().userName()}});
        // A level other than exactly A to D (an older database's "Cx") grants nothing.
        if (!user.next() || !isSecurityLevel(user.value(1).toString())) {
            err << QStringLiteral("The login %1 is not an authorized user of %2.")
                       .arg(session.identity().userName(), path)
                << '\n';
            return NotAuthorized;
        }
        session.networkUserName = session.identity().userName();
        session.userFullName = user.value(0).toString();
        session.securityLevel = user.value(1).toString();
        session.latestProductionDate =
            dateFromSql(db->scalar(QStringLiteral("SELECT MAX(\"Date\") FROM \"Production Table\"")));
    } catch (const DatabaseError &error) {
        if (error.number() == DbErrors::Damaged) {
            err << damagedText(path, error.description()) << '\n';
            return Damaged;
        }
        err << QStringLiteral("The production database \"%1\" cannot be opened: %2")
                   .arg(path, error.description())
            << '\n';
        return NoDatabase;
    }
    return Success;
}
