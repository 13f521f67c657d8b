#pragma once

#include <QString>
#include <QStringList>

class QTextStream;
class Session;

// The program's command line:
//   kelvara                                  start normally
//   kelvara --sample                         start on the sample plant database (made on first use)
//   kelvara --create-database PATH [--sample]  make a production database and end
class CommandLine
{
public:
    enum class Mode { Run, RunSample, CreateDatabase, Invalid };

    // The arguments without the program's name.
    explicit CommandLine(const QStringList &arguments);

    Mode mode() const { return m_mode; }
    QString path() const { return m_path; }
    bool sample() const { return m_sample; }
    QString error() const { return m_error; }
    static QString usage();

    // --create-database: makes the file and tells what was done on out (failures on err).
    // Returns the program's exit code.
    int createDatabase(Session &session, QTextStream &out, QTextStream &err) const;

private:
    Mode m_mode = Mode::Run;
    QString m_path;
    bool m_sample = false;
    QString m_error;
};
