#include "CommandLine.h"

#include "DatabaseSetup.h"
#include "foundation/Session.h"

#include <QTextStream>

namespace {
QDate dateArgument(const QString &text)
{
    return QDate::fromString(text, QStringLiteral("MM/dd/yyyy"));
}
} // namespace

void CommandLine::invalid(const QString &error)
{
    m_mode = Mode::Invalid;
    m_error = error;
}

// report --type N --start MM/DD/YYYY [--end MM/DD/YYYY] [--shift TEXT] [--option 0|1]
//        [--jobs FROM TO] --export pdf|odt|xlsx|txt --out FILE [--database PATH]
void CommandLine::parseReport(const QStringList &arguments)
{
    m_mode = Mode::Report;
    const QStringList valued{QStringLiteral("--type"),   QStringLiteral("--start"),
                             QStringLiteral("--end"),    QStringLiteral("--shift"),
                             QStringLiteral("--option"), QStringLiteral("--export"),
                             QStringLiteral("--out"),    QStringLiteral("--database")};
    QString type, option;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &name = arguments[i];
        const int values = name == QLatin1String("--jobs") ? 2 : (valued.contains(name) ? 1 : 0);
        if (values == 0)
            return invalid(QStringLiteral("Unknown argument '%1'.").arg(name));
        if (i + values >= arguments.size())
            return invalid(
                QStringLiteral("%1 needs %2.")
                    .arg(name, values == 2 ? QStringLiteral("two values") : QStringLiteral("a value")));
        const QString value = arguments[++i];
        if (name == QLatin1String("--type"))
            type = value;
        else if (name == QLatin1String("--start"))
            m_report.start = dateArgument(value);
        else if (name == QLatin1String("--end"))
            m_report.end = dateArgument(value);
        else if (name == QLatin1String("--shift"))
            m_report.shift = value;
        else if (name == QLatin1String("--option"))
            option = value;
        else if (name == QLatin1String("--export"))
            m_report.format = value.toLower();
        else if (name == QLatin1String("--out"))
            m_report.outFile = value;
        else if (name == QLatin1String("--database"))
            m_report.database = value;
        else {
            m_report.beginJob = value;
            m_report.endJob = arguments[++i];
        }
        if ((name == QLatin1String("--start") && !m_report.start.isValid()) ||
            (name == QLatin1String("--end") && !m_report.end.isValid()))
            return invalid(QStringLiteral("%1 needs a date written MM/DD/YYYY, not '%2'.").arg(name, value));
    }
    bool ok = true;
    m_report.type = type.toInt(&ok);
    if (!ok)
        return invalid(QStringLiteral("--type needs a report number."));
    if (!option.isEmpty()) {
        m_report.option = option.toInt(&ok);
        if (!ok || (option != QLatin1String("0") && option != QLatin1String("1")))
            return invalid(QStringLiteral("--option must be 0 or 1."));
    }
    if (const QString reason = m_report.invalidReason(); !reason.isEmpty())
        invalid(reason);
}

CommandLine::CommandLine(const QStringList &arguments)
{
    if (arguments.value(0) == QLatin1String("report")) {
        parseReport(arguments);
        return;
    }
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        m_mode = Mode::Help;
        return;
    }
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
    return QStringLiteral(
        "Usage: kelvara [--sample]\n"
        "       kelvara --create-database PATH [--sample]\n"
        "       kelvara report --type N --start MM/DD/YYYY [--end MM/DD/YYYY] [--shift TEXT]\n"
        "                      [--option 0|1] [--jobs FROM TO] --export pdf|odt|xlsx|txt --out FILE\n"
        "                      [--database PATH]\n"
        "       kelvara --help\n"
        "\n"
        "report writes one report to FILE for a scheduled job, without a window and without questions.\n"
        "  --type      1 production counts, 2 transfer list, 3 on hold, 4 production summary,\n"
        "              5 rejects by reason, 7 missing hold tickets, 8 daily Corvix, 9 daily Velmar\n"
        "  --start     the first production date; alone, the single date of the report\n"
        "  --end       the last production date (types 3, 4 and 7 need it)\n"
        "  --shift     shifts as in the report window: 2, 1,3, 1-3 (default 1-3)\n"
        "  --option    0 or 1: on hold All/Unresolved Only, summary Detail/Summary,\n"
        "              rejects Include Update Report/Rejects by Reason Only (default 0)\n"
        "  --jobs      the first and last job number of the production summary\n"
        "  --export    the file's format; --out the file (the reject update report goes to\n"
        "              FILE with \" update\" before its extension)\n"
        "  --database  the production database (default: the DatabaseName option)\n"
        "The login name must be in the Security Table. The report is staged in a report database of\n"
        "its own; rows are never marked printed and the ticket range is taken as it is (more than\n"
        "10,000 missing hold tickets are refused).\n"
        "Exit codes: 0 written, 1 the run failed or found nothing to report, 2 bad arguments,\n"
        "            3 the database is closed for maintenance (db.lok), 4 no database,\n"
        "            5 the login is not authorized.\n");
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
