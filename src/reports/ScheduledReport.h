#pragma once

#include <QDate>
#include <QString>

#include <optional>

class Database;

class QTextStream;
class Session;

// A report run from the command line for a scheduled job: "kelvara report --type N ...". It logs in
// as the program does, counts as present while it runs, stages into a report database of its own
// and writes the report to a file; it never asks a question and needs no display.
struct ScheduledReport
{
    enum Exit {
        Success = 0,
        RunFailed = 1,     // staging, layout or output failed, or nothing to report
        BadArguments = 2,  // also given by the command line's parsing
        Maintenance = 3,   // a db.lok announces a backup, restore, repair or compaction
        NoDatabase = 4,    // missing or unreadable production database
        NotAuthorized = 5, // the login name is not in the Security Table
        Damaged = 6,       // the production database file is damaged: repair it in the program
    };

    int type = 0;
    QDate start, end; // end null: a single date
    QString shift;    // empty: every shift
    int option = -1;  // the report's additional option; -1 its default
    QString beginJob, endJob;
    QString format; // "pdf", "odt", "xlsx" or "txt"
    QString outFile;
    QString database; // empty: the DatabaseName option

    // Why the arguments cannot make a run; empty when they can.
    QString invalidReason() const;
    // The message of a run that met a damaged production database: what to do about it.
    static QString damagedText(const QString &database, const QString &description);
    // Runs the report; messages go to err. Returns one of the exit codes above.
    int run(Session &session, QTextStream &out, QTextStream &err) const;

    // What every unattended run does first: opens the production database (database, or the
    // DatabaseName option when empty) unless a db.lok announces maintenance, and logs the
    // operating system's account in with its level. Success with db open, else the exit code,
    // with the reason on err.
    static int logIn(Session &session, const QString &database, std::optional<Database> &db, QString &path,
                     QTextStream &err);
};
