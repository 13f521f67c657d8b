#include "CommandLine.h"

#include "DatabaseSetup.h"
#include "foundation/Session.h"

#include <QTextStream>

CommandLine::CommandLine(const QStringList &arguments)
{
    bool create = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--sample")) {
            m_sample = true;
        } else if (argument == QLatin1String("--create-database")) {
            if (create || i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--"))) {
                m_mode = Mode::Invalid;
                m_error = QStringLiteral("--create-database needs the path of the new database file.");
                return;
            }
            create = true;
            m_path = arguments[++i];
        } else {
            m_mode = Mode::Invalid;
            m_error = QStringLiteral("Unknown argument '%1'.").arg(argument);
            return;
        }
    }
    if (create)
        m_mode = Mode::CreateDatabase;
    else
        m_mode = m_sample ? Mode::RunSample : Mode::Run;
}

QString CommandLine::usage()
{
    return QStringLiteral("Usage: kelvara [--sample]\n"
                          "       kelvara --create-database PATH [--sample]\n");
}

int CommandLine::createDatabase(Session &session, QTextStream &out, QTextStream &err) const
{
    // Only the new file is made here: the options of this workstation are left alone.
    const QString failure = DatabaseSetup::createFile(session, m_path, m_sample);
    if (!failure.isEmpty()) {
        err << failure << '\n';
        return 1;
    }
    out << (m_sample ? QStringLiteral("Created the production database %1 with the sample plant; ")
                     : QStringLiteral("Created the empty production database %1; "))
               .arg(m_path)
        << QStringLiteral("the login %1 is authorized at level C.").arg(session.identity().userName())
        << '\n';
    return 0;
}
