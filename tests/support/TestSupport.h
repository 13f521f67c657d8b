#pragma once

#include "foundation/Database.h"
#include "foundation/Session.h"

#include <QList>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// A clock the test sets.
class TestClock : public Clock
{
public:
    explicit TestClock(QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(9, 0))) : m_now(now) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &now) { m_now = now; }
    void set(const QDate &date, const QTime &time) { m_now = QDateTime(date, time); }

private:
    QDateTime m_now;
};

// Records every message and answers from a script; with the script empty it answers the
// message's default button, else its first one (Ok or Yes). onAsk, when set, runs as each message is shown.
class ScriptedPrompter : public Prompter
{
public:
    MsgAnswer ask(const PromptMessage &message) override;
    std::function<void(const PromptMessage &)> onAsk;
    void script(std::initializer_list<MsgAnswer> answers) { m_answers.append(answers); }
    const QList<PromptMessage> &messages() const { return m_messages; }
    QStringList titles() const;
    void clear()
    {
        m_messages.clear();
        m_answers.clear();
    }

private:
    QList<PromptMessage> m_messages;
    QList<MsgAnswer> m_answers;
};

class FixedIdentity : public Identity
{
public:
    explicit FixedIdentity(QString name = QStringLiteral("jdoe")) : m_name(std::move(name)) {}
    QString userName() const override { return m_name; }
    void set(const QString &name) { m_name = name; }

private:
    QString m_name;
};

// File operations that fail on demand.
class FailingFileOps : public FileOps
{
public:
    bool failCopy = false, failLink = false, failRename = false, failRemove = false, failReplace = false;
    bool copy(const QString &from, const QString &to) override
    {
        return !failCopy && FileOps::copy(from, to);
    }
    bool rename(const QString &from, const QString &to) override
    {
        return !failRename && FileOps::rename(from, to);
    }
    bool replace(const QString &from, const QString &to) override
    {
        return !failReplace && FileOps::replace(from, to);
    }
    bool link(const QString &from, const QString &to) override
    {
        return !failLink && FileOps::link(from, to);
    }
    bool remove(const QString &path) override
    {
        return failRemove ? fail(QStringLiteral("Permission denied")) : FileOps::remove(path);
    }
    bool moveToTrash(const QString &path) override { return !failRemove && FileOps::remove(path); }
};

// The suite runs on a PostgreSQL server when KELVARA_TEST_SERVER holds a URI to it (see
// scripts/test-server.sh); each test world then gets a database of its own there.
QString testServer();
inline bool onServer()
{
    return !testServer().isEmpty();
}
// Tests of what only a file database has (its bytes, CURUSERS.DAT, db.lok, the file repair) say so.
#define FILE_DATABASE_ONLY(why)                                                                              \
    if (onServer())                                                                                          \
    QSKIP("a file database's own behaviour: " why)

class ServerPlant;

// A whole test world in a temporary folder: seams, settings store, session, and (on request) a
// production database with the schema.
class TestWorld
{
public:
    TestWorld();
    ~TestWorld();

    QString root() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    TestClock clock;
    ScriptedPrompter prompter;
    FixedIdentity identity;
    std::unique_ptr<FixedPaths> paths;
    FailingFileOps fileOps;
    std::unique_ptr<Session> session;
    // Exit codes the session was asked to end with.
    QList<int> endRequests;

    // Creates QUORVEL.MDB (on the test server: a database of this world's own) with the schema,
    // names it in the options, authorizes the identity.
    QString createDatabase(const QString &level = QStringLiteral("C"));
    // Creates QUORVEL.MDB as the sample plant, with its two weeks up to 2026-12-08, names it in
    // the options and gives the session level C: the plant the screenshots are taken on.
    QString createSamplePlant();
    Database openDatabase() const;
    // A second options object on this world's settings store, as a later run would see it.
    std::unique_ptr<CKelvaraOptions> newOptions() const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ServerPlant> m_serverPlant; // the world's database on the test server
};

// A test world with its production database created and open, the jobs given made, and the
// session logged in at the database's level: the set-up of the production tests.
class DatabaseWorld : public TestWorld
{
public:
    explicit DatabaseWorld(const QString &level = QStringLiteral("C"), const QStringList &jobs = {});

    Database db;
};

// The error of the given kind that work throws; nothing when it throws none (any other
// exception passes through and fails the test).
template <class Error = KelvaraError, class Work> std::optional<Error> errorOf(Work &&work)
{
    try {
        work();
    } catch (const Error &error) {
        return error;
    }
    return std::nullopt;
}

// Whole-file access for the tests of files: false or empty when the file cannot be opened.
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
// Overwrites bytes in place, from offset (a damaged header, a smashed page).
bool overwrite(const QString &path, qint64 offset, const QByteArray &bytes);

// Rows for tests: a job, a line, tickets. Each returns the new id where there is one.
namespace Fixture {
void job(const Database &db, const QString &number, const QString &description = {}, bool active = true);
qint64 line(const Database &db, const QDate &date, int shift, int machine, const QString &job,
            qint64 beginning = 0, qint64 ending = 0, qint64 matec = 0);
qint64 transfer(const Database &db, qint64 jobId, const QVariant &number, const QVariant &quantity);
qint64 hold(const Database &db, qint64 jobId, const QVariant &ticketNumber, qint64 quantity,
            qint64 remaining = -1, bool disposed = false);
qint64 distribution(const Database &db, qint64 holdTicketId, const QVariant &toJobId, qint64 reworked,
                    qint64 rejects = 0, int reason = 0);
void protect(const Database &db, const QDate &date, int shift, bool on = true);
// Lets the Security Table take levels the rule refuses, as a database made before the rule may hold.
void allowAnyLevel(const Database &db);
// Rows of the change history, written straight into the table as a copy of a database brings them:
// the history's triggers are taken away for the load and made anew after it.
struct HistoryChange
{
    QString at;   // "Changed At"
    QString date; // the line's; empty: the day of `at`
    QString login;
    QString workstation = QStringLiteral("WS-1");
    QString program = QStringLiteral("Kelvara 1.0");
    qint64 jobId = 0; // 0: a row of no job line
    int machine = 0;
    int shift = 1;
    QString jobNumber = QStringLiteral("J1");
    QString field;
    QVariant oldValue, newValue;
    QString table = QStringLiteral("Production Table");
    QString action = QStringLiteral("change");
    QString hash = QStringLiteral("00");
};
QList<qint64> historyChanges(Database &db, const QList<HistoryChange> &changes);
} // namespace Fixture
