#pragma once

#include "reports/ScheduledReport.h"

#include <QString>
#include <QStringList>

class QCommandLineParser;
class QTextStream;
class Session;

// The program's command line:
//   kelvara                                  start normally
//   kelvara --sample                         start on the sample plant database (made on first use)
//   kelvara --create-database PATH [--sample]  make a production database and end
//   kelvara --copy-database FROM TO          copy a production database into a new one and end
//   kelvara --setup-server URI               make the plant's database and level roles on a server
//   kelvara --verify-history [--database PATH]  check the change history's chain of hashes
//   kelvara report --type N --start DATE ...  write a report to a file and end (scheduled runs)
//   kelvara --version [--verbose], --paths   print the versions (and the paths in use) and end
//   kelvara --help, kelvara report --help    print the usage and end
class CommandLine
{
public:
    enum class Mode {
        Run,
        RunSample,
        CreateDatabase,
        CopyDatabase,
        SetupServer,
        VerifyHistory,
        Report,
        Help,
        Version,
        Invalid
    };

    // The arguments without the program's name.
    explicit CommandLine(const QStringList &arguments);

    Mode mode() const { return m_mode; }
    QString path() const { return m_path; }
    // --copy-database: the database copied (path()) into this one.
    QString copyTarget() const { return m_copyTarget; }
    bool sample() const { return m_sample; }
    // --version with --verbose, or --paths: the paths in use as well.
    bool verbose() const { return m_verbose; }
    QString error() const { return m_error; }
    const ScheduledReport &report() const { return m_report; }
    // Modes that run without windows and never ask a question.
    bool unattended() const { return m_mode != Mode::Run && m_mode != Mode::RunSample; }
    static QString usage();
    // "Kelvara 0.1", the Qt and SQLite versions the program runs with and, verbose, the folders
    // and files it uses on this workstation.
    static QString versionText(Session &session, bool verbose);

    // --create-database: makes the file and tells what was done on out (failures on err).
    // Returns the program's exit code.
    int createDatabase(Session &session, QTextStream &out, QTextStream &err) const;
    // --copy-database: copies, then prints the comparison of both on out. 0 when copied.
    int copyDatabase(QTextStream &out, QTextStream &err) const;
    // --setup-server: prints what it made on out. 0 when done.
    int setupServer(Session &session, QTextStream &out, QTextStream &err) const;
    // --verify-history: prints the rows and the newest hash. 0 when every row matches its hash.
    int verifyHistory(Session &session, QTextStream &out, QTextStream &err) const;

private:
    void parseProgram(QStringList arguments);
    void parseReport(QStringList arguments);
    bool takeJobs(QStringList &arguments);
    bool takeCopy(QStringList &arguments);
    void parseVerify(QStringList arguments);
    void readReport(const QCommandLineParser &parser);
    void invalid(const QString &error);

    Mode m_mode = Mode::Run;
    ScheduledReport m_report;
    QString m_path;
    QString m_copyTarget;
    bool m_sample = false;
    bool m_verbose = false;
    QString m_error;
};
