#include "StartupSequence.h"

#include "foundation/Database.h"
#include "foundation/Pause.h"
#include "foundation/SecurityLevel.h"
#include "foundation/Session.h"
#include "production/record/Schema.h"
#include "reports/ReportCatalog.h"
#include "sharing/DatabaseRepair.h"
#include "sharing/LockFile.h"
#include "sharing/SharedFiles.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlRecord>

namespace {
// Restores the pointer on every way out of the sequence.
class BusyPointer
{
public:
    explicit BusyPointer(const std::function<void(bool)> &busy) : m_busy(busy)
    {
        if (m_busy)
            m_busy(true);
    }
    ~BusyPointer()
    {
        if (m_busy)
            m_busy(false);
    }

private:
    const std::function<void(bool)> &m_busy;
};

template <class... Args, class F> void call(const F &hook, Args &&...args)
{
    if (hook)
        hook(std::forward<Args>(args)...);
}
} // namespace

StartupSequence::StartupSequence(Session &session, StartupHooks hooks)
    : m_session(session), m_hooks(std::move(hooks))
{
    if (!m_hooks.pause)
        m_hooks.pause = pauseSeconds;
}

QString StartupSequence::partOfDay(int hour)
{
    if (hour < 12)
        return QStringLiteral("Morning");
    if (hour < 18)
        return QStringLiteral("Afternoon");
    return QStringLiteral("Evening");
}

QString StartupSequence::greeting(const QString &companyName, int hour)
{
    return companyName + QStringLiteral("\nKelvara\nGood ") + partOfDay(hour);
}

QString StartupSequence::loginDetails(const QString &greeting, const QDateTime &now, const QString &level)
{
    return greeting + QStringLiteral(".\nLogin Date and Time:  ") +
           QLocale().toString(now, QLocale::ShortFormat) + QStringLiteral("\nYour Security Level: ") + level;
}

StartupSequence::Outcome StartupSequence::end(int exitCode)
{
    m_exitCode = exitCode;
    return Outcome::Ended;
}

StartupSequence::Outcome StartupSequence::run()
{
    // The options object and the login name source live in the session already. The engine's
    // default workspace account and workgroup file (AdminUserName, AdminUserPwd, SystemDatabase)
    // stay in the options for the settings they came from: SQLite has no accounts, so nothing is
    // set here.
    // The lock file belongs to file databases: on a server, a Database command holds the server's
    // exclusive lock instead, and a copy starting meanwhile is told when it cannot count itself in.
    if (!SqlDialect::isServerName(m_session.options().DatabaseName()) && !lockFileAllowsStart())
        return end(0);
    BusyPointer pointer(m_hooks.busy);
    m_session.securityLevel = QStringLiteral("C");
    m_session.resetDataForms();
    m_session.networkUserName = m_session.identity().userName();
    QString text;
    // Damage that shows only once the file is read (a broken page of the Security Table) is
    // treated as damage found at the open: repaired, then everything is read again.
    for (;;) {
        std::optional<Database> db = openDatabase();
        if (!db)
            return end(1);
        try {
            ensureProtection(*db);
            addMissingSavedQueries(*db);
            text = greeting(companyName(), m_session.clock().now().time().hour());
            if (!login(*db, text))
                return end(1);
            readLatestProductionDate(*db);
            break;
        } catch (const DatabaseError &error) {
            db.reset();
            if (error.number() == DbErrors::Damaged && m_session.repairDatabase())
                continue;
            if (!m_session.programEnding())
                m_session.prompter().tell(error.description(), QStringLiteral("Database Access Error"),
                                          MsgIcon::Information);
            return end(1);
        }
    }
    call(m_hooks.applyMenuRights, m_session.securityLevel);
    call(m_hooks.loggedIn);
    call(m_hooks.showGreeting, loginDetails(text, m_session.clock().now(), m_session.securityLevel));
    return Outcome::Ready;
}

bool StartupSequence::lockFileAllowsStart()
{
    // Maintenance writes db.lok beside the database; a copy run from the plant's shared folder
    // may still write it into its program folder.
    const QStringList paths = SharedFiles(m_session.paths(), m_session.options().DatabaseName()).lockPaths();
    for (const QString &path : paths) {
        LockFile lockFile(path);
        const std::optional<LockInfo> lock = lockFile.read();
        if (!lock)
            continue;
        // A lock whose command still runs is never taken for stale, however long it runs: a
        // backup of a large file beside the database may take more than five minutes.
        if (LockFile::ageMinutes(*lock, m_session.clock().now()) <= 5 ||
            lockFile.holder() == LockFile::Holder::Running) {
            return m_session.prompter().ask({LockFile::questionText(*lock), LockFile::questionTitle(),
                                             MsgIcon::Question, MsgButtons::YesNo}) == MsgAnswer::Yes;
        }
        // A stale lock is left over from an operation that never finished. One that cannot be
        // deleted (a folder this user may not write, another account's file) would stay for good:
        // the user is told once which one and why, and start-up goes on.
        QString reason;
        if (!lockFile.remove(m_session.fileOps(), m_hooks.pause, 30, &reason))
            reportStaleLock(lockFile.path(), *lock, reason);
    }
    return true;
}

void StartupSequence::reportStaleLock(const QString &path, const LockInfo &lock, const QString &reason)
{
    const bool logged = m_session.writeErrorLog(
        QStringLiteral("Start-up: the stale lock file %1 could not be deleted: %2").arg(path, reason));
    const QString log = m_session.errorLogPath();
    m_session.prompter().tell(
        QStringLiteral("The lock file '%1', left by %2 on %3 (%4), could not be removed: %5.\n\n"
                       "Start-up goes on. Ask someone who may change that folder to delete the file.\n\n")
                .arg(path, lock.who, lock.startedText, lock.operation, reason) +
            (logged ? QStringLiteral("This is noted in the error log '%1'.").arg(log)
                    : QStringLiteral("It could not be noted in the error log '%1' either.").arg(log)),
        staleLockTitle(), MsgIcon::Exclamation);
}

std::optional<Database> StartupSequence::openDatabase()
{
    for (;;) {
        try {
            return Database::open(m_session.options().DatabaseName());
        } catch (const DatabaseError &error) {
            if (error.number() == DbErrors::Damaged) {
                if (m_session.repairDatabase())
                    continue;
                if (m_session.programEnding())
                    return std::nullopt;
            } else if (error.number() == DbErrors::Locked) {
                m_session.prompter().tell(error.description(), QStringLiteral("Locked Table"),
                                          MsgIcon::Information);
                continue;
            }
            m_session.prompter().tell(error.description(), QStringLiteral("Database Access Error"),
                                      MsgIcon::Information);
            return std::nullopt;
        }
    }
}

void StartupSequence::ensureProtection(Database &db)
{
    // A database made by an earlier version gets the protection triggers. A file that cannot be
    // written now (locked, read-only) gets them at a later start.
    try {
        Schema::ensureProtection(db);
    } catch (const DatabaseError &) {
    }
}

// A database made before a saved query was added to the program gets it now.
void StartupSequence::addMissingSavedQueries(Database &db)
{
    try {
        Schema::addMissingSavedQueries(db, ReportCatalog::savedQueries());
    } catch (const DatabaseError &) {
        // a file opened read-only keeps its queries; the report that needs one says so
    }
}

QString StartupSequence::companyName()
{
    try {
        return m_session.options().CompanyName();
    } catch (const DatabaseError &error) {
        if (error.number() == DbErrors::Damaged)
            throw;
        return {};
    }
}

bool StartupSequence::login(const Database &db, QString &greeting)
{
    // A failure to read reaches run(), which repairs a damaged file and reports any other.
    QSqlQuery query = db.exec(QStringLiteral("SELECT * FROM \"Security Table\" WHERE \"UserName\" = :user"),
                              {{QStringLiteral("user"), m_session.networkUserName}});
    if (!query.next()) {
        if (query.lastError().isValid())
            throw Database::mapError(query.lastError());
        QString text = QStringLiteral("You do not have sufficient rights to use this program.  "
                                      "See your security administrator.");
        // Users refused because a repair lost the authorized users are told so, and where the
        // damaged copy that still holds them is.
        const QString lostIn = DatabaseRepair::securityLossCopy(db);
        if (!lostIn.isEmpty()) {
            text += QStringLiteral("\n\nThe last repair of the database could not keep the authorized users: "
                                   "rows of the Security Table were lost.  The damaged copy of the database "
                                   "was kept as '%1'.")
                        .arg(lostIn);
        }
        m_session.prompter().tell(text, QStringLiteral("Security Access Problem"), MsgIcon::Critical);
        return false;
    }
    const QSqlRecord row = query.record();
    const QString level = row.value(QStringLiteral("Security Level")).toString();
    // An unknown level must not fall through to the widest menus: the login is refused.
    if (!isSecurityLevel(level)) {
        m_session.prompter().tell(
            QStringLiteral("Your security level \u201C%1\u201D is not one of A, B, C or D. Ask "
                           "a Quality Assurance Manager to correct it in Security Settings.")
                .arg(level),
            QStringLiteral("Security Access Problem"), MsgIcon::Critical);
        return false;
    }
    m_session.securityLevel = level;
    m_session.userFullName = row.value(QStringLiteral("User Name")).toString();
    greeting += QStringLiteral(", ") + m_session.userFullName;
    return true;
}

void StartupSequence::readLatestProductionDate(const Database &db)
{
    QDate latest;
    try {
        QSqlQuery query = db.execSaved(QStringLiteral("Get Highest Date"));
        if (query.next())
            latest = dateFromSql(query.record().value(QStringLiteral("Expr1")));
    } catch (const DatabaseError &error) {
        if (error.number() == DbErrors::Damaged)
            throw;
    }
    m_session.latestProductionDate = latest.isValid() ? latest : m_session.clock().today();
}
