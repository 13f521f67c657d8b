#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

class Database;
struct LockInfo;
class Session;

// What the start-up sequence asks of the windows around it. Every hook may be left empty.
struct StartupHooks
{
    std::function<void(bool busy)> busy; // the hourglass on and off
    std::function<void(const QString &level)> applyMenuRights;
    std::function<void()> loggedIn; // the user counts as present from here
    std::function<void(const QString &text)> showGreeting;
    std::function<void(int seconds)> pause; // defaults to pauseSeconds
};

// The start-up of one run: lock-file check, opening the production database (with the repair of a
// damaged file), login against the Security Table, menu rights, greeting and the latest production
// date. It leaves the process-wide state of the session set and the database closed again.
class StartupSequence
{
public:
    enum class Outcome { Ready, Ended };

    StartupSequence(Session &session, StartupHooks hooks);

    Outcome run();
    // The exit code to end the program with after Outcome::Ended.
    int exitCode() const { return m_exitCode; }

    // "Morning" before 12, "Afternoon" from 12 to 17, "Evening" from 18.
    static QString partOfDay(int hour);
    // Company name, "Kelvara", "Good <part of day>", one per line.
    static QString greeting(const QString &companyName, int hour);
    static QString loginDetails(const QString &greeting, const QDateTime &now, const QString &level);
    static QString staleLockTitle() { return QStringLiteral("Lock File"); }

private:
    bool lockFileAllowsStart();
    void reportStaleLock(const QString &path, const LockInfo &lock, const QString &reason);
    std::optional<Database> openDatabase();
    void ensureProtection(Database &db);
    bool login(const Database &db, QString &greeting);
    void readLatestProductionDate(const Database &db);
    QString companyName();
    void addMissingSavedQueries(Database &db);
    Outcome end(int exitCode);

    Session &m_session;
    StartupHooks m_hooks;
    int m_exitCode = 0;
};
