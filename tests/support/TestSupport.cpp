#include "TestSupport.h"

#include "production/record/ChangeHistory.h"

#include "ServerPlant.h"
#include "production/record/SamplePlant.h"
#include "production/record/Schema.h"
#include "reports/ReportCatalog.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

QString testServer()
{
    static const QString uri = qEnvironmentVariable("KELVARA_TEST_SERVER");
    return uri;
}

MsgAnswer ScriptedPrompter::ask(const PromptMessage &message)
{
    m_messages.append(message);
    if (onAsk)
        onAsk(message);
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    if (message.defaultAnswer)
        return *message.defaultAnswer;
    switch (message.buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Yes;
    case MsgButtons::RetryCancel:
        return MsgAnswer::Retry;
    default:
        return MsgAnswer::Ok;
    }
}

QStringList ScriptedPrompter::titles() const
{
    QStringList result;
    for (const PromptMessage &m : m_messages)
        result << m.title;
    return result;
}

TestWorld::TestWorld()
{
    paths = std::make_unique<FixedPaths>(m_dir.path());
    for (const QString &folder : {paths->programFolder(), paths->workingFolder(), paths->userDataFolder()})
        QDir().mkpath(folder);
    session = std::make_unique<Session>(Seams{clock, prompter, identity, *paths, fileOps}, newOptions());
    session->setEndProgramHandler([this](int code) { endRequests.append(code); });
    session->networkUserName = identity.userName();
}

TestWorld::~TestWorld() = default;

QString TestWorld::createDatabase(const QString &level)
{
    QString path = file(QStringLiteral("QUORVEL.MDB"));
    if (onServer()) {
        // Numbered with three digits, so that no world's name begins another's.
        static QAtomicInteger<int> worlds;
        if (!m_serverPlant)
            m_serverPlant = std::make_unique<ServerPlant>(
                QStringLiteral("world_%1").arg(++worlds, 3, 10, QLatin1Char('0')));
        path = m_serverPlant->uri();
    }
    Database db = Database::createFile(path);
    Schema::create(db, ReportCatalog::savedQueries());
    Schema::authorize(db, identity.userName(), QStringLiteral("Jane Doe"), level);
    session->options().setDatabaseName(path);
    return path;
}

QString TestWorld::createSamplePlant()
{
    const QString path = file(QStringLiteral("QUORVEL.MDB"));
    SamplePlant::createDatabase(path, identity.userName(), true, QDate(2026, 12, 8),
                                ReportCatalog::savedQueries());
    session->options().setDatabaseName(path);
    session->securityLevel = QStringLiteral("C");
    return path;
}

Database TestWorld::openDatabase() const
{
    return Database::open(session->options().DatabaseName());
}

std::unique_ptr<CKelvaraOptions> TestWorld::newOptions() const
{
    return std::make_unique<CKelvaraOptions>(
        *paths, ReportCatalog::reportFiles(),
        std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat));
}

namespace {
Database createAndOpen(TestWorld &world, const QString &level)
{
    world.createDatabase(level);
    world.session->securityLevel = level;
    Database db = world.openDatabase();
    // A throw-away file: no need to wait for the disk after every row.
    if (!db.dialect().isServer())
        db.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    return db;
}
} // namespace

DatabaseWorld::DatabaseWorld(const QString &level, const QStringList &jobs) : db(createAndOpen(*this, level))
{
    for (const QString &number : jobs)
        Fixture::job(db, number);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool overwrite(const QString &path, qint64 offset, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.seek(offset) && file.write(bytes) == bytes.size();
}

void Fixture::job(const Database &db, const QString &number, const QString &description, bool active)
{
    db.exec(
        QStringLiteral("INSERT INTO \"Job Lookup Table\" (\"Job Number\", \"Job Description\", \"Active\") "
                       "VALUES (:n, :d, :a)"),
        {{QStringLiteral("n"), number},
         {QStringLiteral("d"), description.isEmpty() ? QStringLiteral("Part ") + number : description},
         {QStringLiteral("a"), active ? 1 : 0}});
}

qint64 Fixture::line(const Database &db, const QDate &date, int shift, int machine, const QString &job,
                     qint64 beginning, qint64 ending, qint64 matec)
{
    QSqlQuery q = db.exec(
        QStringLiteral(
            "INSERT INTO \"Production Table\" (\"Date\", \"Shift\", \"Machine Number\", \"Job Number\", "
            "\"Job Description\", \"Beginning Count\", \"Ending Count\", \"Matec Count\") "
            "VALUES (:d, :s, :m, :j, (SELECT \"Job Description\" FROM \"Job Lookup Table\" "
            "WHERE \"Job Number\" = :j), :b, :e, :mc)"),
        {{QStringLiteral("d"), sqlDate(date)},
         {QStringLiteral("s"), shift},
         {QStringLiteral("m"), machine},
         {QStringLiteral("j"), job},
         {QStringLiteral("b"), beginning},
         {QStringLiteral("e"), ending},
         {QStringLiteral("mc"), matec}});
    return db.lastInsertId(q);
}

qint64 Fixture::transfer(const Database &db, qint64 jobId, const QVariant &number, const QVariant &quantity)
{
    QSqlQuery q = db.exec(
        QStringLiteral("INSERT INTO \"Transfer Table\" (\"Job ID\", \"Transfer Number\", "
                       "\"Transfer Quantity\") VALUES (:j, :n, :q)"),
        {{QStringLiteral("j"), jobId}, {QStringLiteral("n"), number}, {QStringLiteral("q"), quantity}});
    return db.lastInsertId(q);
}

qint64 Fixture::hold(const Database &db, qint64 jobId, const QVariant &ticketNumber, qint64 quantity,
                     qint64 remaining, bool disposed)
{
    QSqlQuery q = db.exec(QStringLiteral("INSERT INTO \"Hold Table\" (\"Job ID\", \"Hold Ticket Number\", "
                                         "\"Hold Quantity\", \"Hold Remaining\", \"Disposed of\") "
                                         "VALUES (:j, :n, :q, :r, :d)"),
                          {{QStringLiteral("j"), jobId},
                           {QStringLiteral("n"), ticketNumber},
                           {QStringLiteral("q"), quantity},
                           {QStringLiteral("r"), remaining < 0 ? quantity : remaining},
                           {QStringLiteral("d"), disposed ? 1 : 0}});
    return db.lastInsertId(q);
}

namespace {
qint64 insertHistoryChange(const Database &db, const Fixture::HistoryChange &change)
{
    const QVariant job = change.jobId ? QVariant(change.jobId) : QVariant();
    db.exec(QStringLiteral(
                R"(INSERT INTO "Change History" ("Change ID", "Changed At", "Login", "Workstation", "Program",
 "Table Name", "Row Key", "Action", "Job ID", "Date", "Shift", "Machine Number", "Job Number", "Field",
 "Old Value", "New Value", "Row Hash") VALUES ((SELECT COALESCE(MAX("Change ID"), 0) + 1 FROM "Change History"), :at, :login, :workstation, :program, :tbl, :rowKey, :action,
 :job, :date, :shift, :machine, :jobNumber, :field, :old, :new, :hash))"),
            {{QStringLiteral("at"), change.at},
             {QStringLiteral("login"), change.login},
             {QStringLiteral("workstation"), change.workstation},
             {QStringLiteral("program"), change.program},
             {QStringLiteral("tbl"), change.table},
             {QStringLiteral("rowKey"), QString::number(change.jobId)},
             {QStringLiteral("action"), change.action},
             {QStringLiteral("job"), job},
             {QStringLiteral("date"), change.date.isEmpty() ? change.at.left(10) : change.date},
             {QStringLiteral("shift"), change.shift},
             {QStringLiteral("jobNumber"), change.jobNumber},
             {QStringLiteral("machine"), change.machine ? QVariant(change.machine) : QVariant()},
             {QStringLiteral("field"), change.field},
             {QStringLiteral("old"), change.oldValue},
             {QStringLiteral("new"), change.newValue},
             {QStringLiteral("hash"), change.hash}});
    return db.scalar(QStringLiteral(R"(SELECT MAX("Change ID") FROM "Change History")")).toLongLong();
}
} // namespace

QList<qint64> Fixture::historyChanges(Database &db, const QList<HistoryChange> &changes)
{
    ChangeHistory::drop(db);
    QList<qint64> ids;
    for (const HistoryChange &change : changes)
        ids << insertHistoryChange(db, change);
    ChangeHistory::replace(db);
    return ids;
}

qint64 Fixture::distribution(const Database &db, qint64 holdTicketId, const QVariant &toJobId,
                             qint64 reworked, qint64 rejects, int reason)
{
    QSqlQuery q =
        db.exec(QStringLiteral("INSERT INTO \"Hold Distribution\" (\"Hold Ticket ID\", \"To Job ID\", "
                               "\"Reworked Quantity\", \"Rejects\", \"Reject Reason\", \"When Added\") "
                               "VALUES (:h, :t, :w, :r, :rr, '2026-12-01 10:00:00')"),
                {{QStringLiteral("h"), holdTicketId},
                 {QStringLiteral("t"), toJobId},
                 {QStringLiteral("w"), reworked},
                 {QStringLiteral("r"), rejects},
                 {QStringLiteral("rr"), reason}});
    return db.lastInsertId(q);
}

void Fixture::protect(const Database &db, const QDate &date, int shift, bool on)
{
    db.execSaved(QStringLiteral("Set Protection"), {{QStringLiteral("dt"), sqlDate(date)},
                                                    {QStringLiteral("sh"), shift},
                                                    {QStringLiteral("Valu"), on ? -1 : 0}});
}

void Fixture::allowAnyLevel(const Database &db)
{
    db.exec(
        db.dialect().isServer()
            ? QStringLiteral(
                  "ALTER TABLE \"Security Table\" DROP CONSTRAINT \"Security Table_Security Level_check\"")
            : QStringLiteral("PRAGMA ignore_check_constraints = ON"));
}
