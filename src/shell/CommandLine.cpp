#include "CommandLine.h"

#include "DatabaseSetup.h"
#include "foundation/Database.h"
#include "foundation/Session.h"
#include "foundation/SqlDialect.h"
#include "foundation/Version.h"
#include "production/record/ChangeHistory.h"
#include "production/record/DatabaseCopy.h"
#include "production/record/ServerRoles.h"
#include "reports/ReportCatalog.h"
#include "sharing/SharedFiles.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <sqlite3.h>

namespace {
QDate dateArgument(const QString &text)
{
    return QDate::fromString(text, QStringLiteral("MM/dd/yyyy"));
}

// An option that takes a value, with what its value is, for "--out needs ...".
struct Valued
{
    const char *name;
    const char *needs;
};

constexpr Valued kProgramValued[] = {
    {"create-database", "the path of the new database file"},
    {"setup-server", "the postgresql:// address of the plant's database on the server"},
};

constexpr Valued kReportValued[] = {
    {"type", "a report number"},
    {"start", "a date written MM/DD/YYYY"},
    {"end", "a date written MM/DD/YYYY"},
    {"shift", "the shifts, written 2, 1,3 or 1-3"},
    {"option", "0 or 1"},
    {"jobs", "two job numbers"},
    {"export", "pdf, odt, xlsx or txt"},
    {"out", "the name of the file to write"},
    {"database", "the path of the production database"},
};

QString dashed(const char *name)
{
    return QStringLiteral("--") + QLatin1String(name);
}

QString needsText(const Valued &option)
{
    return QStringLiteral("%1 needs %2.").arg(dashed(option.name), QLatin1String(option.needs));
}

// A value that is missing, or that is the next option (the value was left out), is reported
// against its own option: QCommandLineParser would take "--export" as the value of "--out" and
// then stumble over "pdf".
template <std::size_t N> QString missingValue(const QStringList &arguments, const Valued (&options)[N])
{
    for (int i = 0; i < arguments.size(); ++i) {
        for (const Valued &option : options) {
            if (arguments[i] != dashed(option.name))
                continue;
            const int values = qstrcmp(option.name, "jobs") == 0 ? 2 : 1;
            for (int v = 1; v <= values; ++v) {
                if (i + v >= arguments.size() || arguments[i + v].startsWith(QLatin1String("--")))
                    return needsText(option);
            }
        }
    }
    return {};
}

template <std::size_t N> void addValued(QCommandLineParser &parser, const Valued (&options)[N])
{
    for (const Valued &option : options)
        parser.addOption(QCommandLineOption(QLatin1String(option.name), QString(), QStringLiteral("value")));
}

// An option's help: its name, the lead, then the items separated by commas, wrapped within 90
// columns under the help's column.
QString optionHelp(const char *name, const QString &lead, const QStringList &items,
                   const QString &end = QString())
{
    const QString head = QStringLiteral("  %1").arg(QLatin1String(name), -12);
    QString text, line = head + lead;
    for (int i = 0; i < items.size(); ++i) {
        const QString item = items[i] + (i + 1 < items.size() ? QStringLiteral(",") : end);
        if (line.size() > head.size() && line.size() + 1 + item.size() > 90) {
            text += line + '\n';
            line = QString(head.size(), ' ');
        }
        if (line.size() > head.size())
            line += ' ';
        line += item;
    }
    return text + line + '\n';
}

// The reports the command line runs whose window asks for what `asks` looks at.
QList<const ReportDescriptor *> reportsAsking(const std::function<bool(const ReportControls &)> &asks)
{
    QList<const ReportDescriptor *> reports;
    for (const ReportDescriptor &report : ReportCatalog::all()) {
        if (ReportCatalog::runsFromCommandLine(report.type) && asks(report.controls))
            reports << &report;
    }
    return reports;
}

// "3, 4, 7 and 10"
QString listed(const QStringList &items)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + items.last();
}

// What --type, --end, --option and --jobs take, from the reports of the catalog.
QString reportOptionsHelp()
{
    QStringList needEnd, options, jobs;
    for (const ReportDescriptor *report :
         reportsAsking([](const ReportControls &c) { return c.dates == ReportDates::RangeOnly; }))
        needEnd << QString::number(report->type);
    for (const ReportDescriptor *report :
         reportsAsking([](const ReportControls &c) { return c.options.size() == 2; }))
        options << report->commandLineHelp + ' ' + report->controls.options.join('/');
    for (const ReportDescriptor *report : reportsAsking([](const ReportControls &c) { return c.jobNumbers; }))
        jobs << report->commandLineHelp;
    return optionHelp("--type", QString(), ReportCatalog::commandLineTypes()) +
           QStringLiteral("  --start     the first production date; alone, the single date of the report\n"
                          "  --end       the last production date (types %1 need it)\n"
                          "  --shift     shifts as in the report window: 2, 1,3, 1-3 (default 1-3)\n")
               .arg(listed(needEnd)) +
           optionHelp("--option", QStringLiteral("0 or 1:"), options, QStringLiteral(" (default 0)")) +
           QStringLiteral("  --jobs      the first and last job number of the %1\n").arg(listed(jobs));
}

// The parser's own message, or the first argument that is no option.
QString parseError(QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.parse(QStringList{QStringLiteral("kelvara")} + arguments))
        return parser.errorText();
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("Unknown argument '%1'.").arg(parser.positionalArguments().constFirst());
    return {};
}
} // namespace

void CommandLine::invalid(const QString &error)
{
    m_mode = Mode::Invalid;
    m_error = error;
}

// "--jobs FROM TO" takes two values, which QCommandLineParser cannot: they are taken out here.
bool CommandLine::takeJobs(QStringList &arguments)
{
    const int at = arguments.indexOf(QStringLiteral("--jobs"));
    if (at < 0)
        return true;
    m_report.beginJob = arguments[at + 1];
    m_report.endJob = arguments[at + 2];
    arguments.remove(at, 3);
    if (arguments.contains(QStringLiteral("--jobs"))) {
        invalid(QStringLiteral("--jobs is given twice."));
        return false;
    }
    return true;
}

// report --type N --start MM/DD/YYYY [--end MM/DD/YYYY] [--shift TEXT] [--option 0|1]
//        [--jobs FROM TO] --export pdf|odt|xlsx|txt --out FILE [--database PATH]
void CommandLine::parseReport(QStringList arguments)
{
    m_mode = Mode::Report;
    arguments.removeFirst();
    if (const QString missing = missingValue(arguments, kReportValued); !missing.isEmpty())
        return invalid(missing);
    if (!takeJobs(arguments))
        return;
    QCommandLineParser parser;
    addValued(parser, kReportValued);
    if (const QString error = parseError(parser, arguments); !error.isEmpty())
        return invalid(error);
    readReport(parser);
}

void CommandLine::readReport(const QCommandLineParser &parser)
{
    const auto value = [&parser](const char *name) { return parser.value(QLatin1String(name)); };
    for (const char *name : {"start", "end"}) {
        if (parser.isSet(QLatin1String(name)) && !dateArgument(value(name)).isValid())
            return invalid(QStringLiteral("%1 needs a date written MM/DD/YYYY, not '%2'.")
                               .arg(dashed(name), value(name)));
    }
    m_report.start = dateArgument(value("start"));
    m_report.end = dateArgument(value("end"));
    m_report.shift = value("shift");
    m_report.format = value("export").toLower();
    m_report.outFile = value("out");
    m_report.database = value("database");
    bool ok = true;
    m_report.type = value("type").toInt(&ok);
    if (!ok)
        return invalid(QStringLiteral("--type needs a report number."));
    if (const QString option = value("option"); !option.isEmpty()) {
        if (option != QLatin1String("0") && option != QLatin1String("1"))
            return invalid(QStringLiteral("--option must be 0 or 1."));
        m_report.option = option.toInt();
    }
    if (const QString reason = m_report.invalidReason(); !reason.isEmpty())
        invalid(reason);
}

// "--copy-database FROM TO" takes two values, taken out here as "--jobs" is.
bool CommandLine::takeCopy(QStringList &arguments)
{
    const int at = arguments.indexOf(QStringLiteral("--copy-database"));
    if (at < 0)
        return true;
    for (int v = 1; v <= 2; ++v) {
        if (at + v >= arguments.size() || arguments[at + v].startsWith(QLatin1String("--"))) {
            invalid(QStringLiteral("--copy-database needs the database to copy and the new database."));
            return false;
        }
    }
    m_path = arguments[at + 1];
    m_copyTarget = arguments[at + 2];
    arguments.remove(at, 3);
    if (arguments.contains(QStringLiteral("--copy-database"))) {
        invalid(QStringLiteral("--copy-database is given twice."));
        return false;
    }
    if (!arguments.isEmpty()) {
        invalid(QStringLiteral("--copy-database takes no other option."));
        return false;
    }
    m_mode = Mode::CopyDatabase;
    return true;
}

// "--verify-history [--database PATH]"
void CommandLine::parseVerify(QStringList arguments)
{
    arguments.removeAll(QStringLiteral("--verify-history"));
    const int at = arguments.indexOf(QStringLiteral("--database"));
    if (at >= 0) {
        if (at + 1 >= arguments.size() || arguments[at + 1].startsWith(QLatin1String("--")))
            return invalid(QStringLiteral("--database needs the path of the production database."));
        m_path = arguments[at + 1];
        arguments.remove(at, 2);
    }
    if (!arguments.isEmpty())
        return invalid(QStringLiteral("--verify-history takes only --database PATH."));
    m_mode = Mode::VerifyHistory;
}

void CommandLine::parseProgram(QStringList arguments)
{
    if (arguments.contains(QStringLiteral("--copy-database"))) {
        takeCopy(arguments);
        return;
    }
    if (arguments.contains(QStringLiteral("--verify-history")))
        return parseVerify(arguments);
    if (const QString missing = missingValue(arguments, kProgramValued); !missing.isEmpty())
        return invalid(missing);
    QCommandLineParser parser;
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    const QCommandLineOption paths(QStringLiteral("paths"));
    const QCommandLineOption sample(QStringLiteral("sample"));
    parser.addOptions({version, verbose, paths, sample});
    addValued(parser, kProgramValued);
    if (const QString error = parseError(parser, arguments); !error.isEmpty())
        return invalid(error);
    for (const char *name : {"create-database", "setup-server"}) {
        if (parser.values(QLatin1String(name)).size() > 1)
            return invalid(QStringLiteral("%1 is given twice.").arg(dashed(name)));
    }
    const bool setup = parser.isSet(QStringLiteral("setup-server"));
    if (setup) {
        if (parser.isSet(version) || parser.isSet(verbose) || parser.isSet(paths) || parser.isSet(sample) ||
            parser.isSet(QStringLiteral("create-database")))
            return invalid(QStringLiteral("--setup-server takes no other option."));
        m_path = parser.value(QStringLiteral("setup-server"));
        if (!SqlDialect::isServerName(m_path))
            return invalid(
                QStringLiteral("--setup-server needs a postgresql:// address, not '%1'.").arg(m_path));
        m_mode = Mode::SetupServer;
        return;
    }
    m_sample = parser.isSet(sample);
    m_path = parser.value(QStringLiteral("create-database"));
    if (parser.isSet(version) || parser.isSet(paths))
        m_mode = Mode::Version;
    else if (parser.isSet(verbose))
        invalid(QStringLiteral("--verbose goes with --version."));
    else if (parser.isSet(QStringLiteral("create-database")))
        m_mode = Mode::CreateDatabase;
    else
        m_mode = m_sample ? Mode::RunSample : Mode::Run;
    m_verbose = parser.isSet(verbose) || parser.isSet(paths);
}

CommandLine::CommandLine(const QStringList &arguments)
{
    // Asking for help is answered whatever else the line holds.
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h")))
        m_mode = Mode::Help;
    else if (arguments.value(0) == QLatin1String("report"))
        parseReport(arguments);
    else
        parseProgram(arguments);
}

QString CommandLine::usage()
{
    return QStringLiteral(
               "Usage: kelvara [--sample]\n"
               "       kelvara --create-database PATH [--sample]\n"
               "       kelvara --copy-database FROM TO\n"
               "       kelvara --setup-server postgresql://\"USER@\"HOST[:PORT]/DBNAME[?KEYWORD=VALUE...]\n"
               "       kelvara --verify-history [--database PATH]\n"
               "       kelvara report --type N --start MM/DD/YYYY [--end MM/DD/YYYY] [--shift TEXT]\n"
               "                      [--option 0|1] [--jobs FROM TO] --export pdf|odt|xlsx|txt --out FILE\n"
               "                      [--database PATH]\n"
               "       kelvara --version [--verbose]\n"
               "       kelvara --paths\n"
               "       kelvara --help, kelvara report --help\n"
               "\n"
               "  --sample    start on a sample plant database, made on first use; the configured\n"
               "              database stays configured\n"
               "  --create-database PATH\n"
               "              make an empty production database at PATH (with --sample: two weeks of\n"
               "              sample production) and authorize this login at level C; PATH may be a\n"
               "              postgresql:// address\n"
               "  --copy-database FROM TO\n"
               "              copy the production database FROM (only read) into TO, which must be new\n"
               "              or empty or made by --setup-server with no rows yet: every table with\n"
               "              its keys, the saved queries and the key\n"
               "              counters; each a file path or a postgresql:// address. The row counts\n"
               "              and count sums of both are printed; on any difference TO is left as it\n"
               "              was and the exit code is 1\n"
               "  --setup-server postgresql://...\n"
               "              for the server's administrator: make the plant's database when missing\n"
               "              (as --create-database), the roles kelvara_level_a to kelvara_level_d\n"
               "              with each security level's rights, and the function kelvara_set_level\n"
               "              that Security Administration (level C) uses to put a login in a level\n"
               "  --verify-history\n"
               "              recompute every hash of the change history (of --database, default the\n"
               "              DatabaseName option) and print the rows and the newest hash; exit code 1\n"
               "              naming the first row that does not match its hash\n"
               "  --version   print the program's version and the Qt and SQLite versions it runs with;\n"
               "              with --verbose (or --paths instead) also the folders and files it uses\n"
               "\n"
               "report writes one report to FILE for a scheduled job, without a window and without "
               "questions.\n") +
           reportOptionsHelp() +
           QStringLiteral(
               "  --export    the file's format; --out the file, given the format's extension when it\n"
               "              has another (the reject update report goes to FILE with \" update\" before\n"
               "              its extension); the files written are printed\n"
               "  --database  the production database (default: the DatabaseName option)\n"
               "The login name must be in the Security Table. The report is staged in a report database of\n"
               "its own; rows are never marked printed and the ticket range is taken as it is (more than\n"
               "10,000 missing hold tickets are refused).\n"
               "Exit codes: 0 written (or help, version), 1 the run failed or found nothing to report,\n"
               "            2 bad arguments, 3 the database is closed for maintenance (db.lok),\n"
               "            4 no database, 5 the login is not authorized, 6 the database is damaged\n"
               "            (repair it in the program: Database > Repair, or as kelvara offers at start).\n");
}

QString CommandLine::versionText(Session &session, bool verbose)
{
    QString text = QStringLiteral("Kelvara %1\nQt %2, SQLite %3\n")
                       .arg(QStringLiteral(KELVARA_VERSION), QString::fromLatin1(qVersion()),
                            QString::fromLatin1(sqlite3_libversion()));
    if (!verbose)
        return text;
    const Paths &paths = session.paths();
    const QString layout = paths.inProgramFolder(QStringLiteral("prodct.rpt"));
    const QString found = Paths::locateLayout(layout);
    const auto line = [&text](const char *what, const QString &path) {
        text += QStringLiteral("%1 %2\n").arg(QLatin1String(what), -22).arg(QDir::toNativeSeparators(path));
    };
    line("Program folder:", paths.programFolder());
    if (found.isEmpty())
        text += Paths::layoutMissingText(layout) + '\n';
    else
        line("Report layouts:", QFileInfo(found).absolutePath());
    line("Error log:", paths.inWritableFolder(QStringLiteral("error.log")));
    line("Report database:", paths.reportDatabasePath());
    const QString database = session.options().DatabaseName();
    if (SqlDialect::isServerName(database)) {
        line("Current users:", QStringLiteral("the server's presence lock (no CURUSERS.DAT, no db.lok)"));
    } else if (database.isEmpty()) {
        line("Current users file:",
             QStringLiteral("CURUSERS.DAT beside the production database (none is set)"));
        line("Maintenance lock:", QStringLiteral("db.lok beside the production database (none is set)"));
    } else {
        // Written beside the database; the older places are read too (see SharedFiles).
        const SharedFiles shared(paths, database);
        line("Current users file:", shared.currentUsersPaths().join(QStringLiteral(", also read: ")));
        line("Maintenance lock:", shared.lockPaths().join(QStringLiteral(", also read: ")));
    }
    line("Sample database:", DatabaseSetup::samplePath(paths));
    line("Production database:", session.options().DatabaseName());
    return text;
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

int CommandLine::copyDatabase(QTextStream &out, QTextStream &err) const
{
    const DatabaseCopy::Result result =
        DatabaseCopy::copy(m_path, m_copyTarget, ReportCatalog::savedQueries());
    if (!result.lines.isEmpty())
        out << DatabaseCopy::comparisonText(result.lines);
    out << DatabaseCopy::respelledText(result.respelled);
    if (!result.copied) {
        err << result.failure << '\n';
        return 1;
    }
    out << QStringLiteral("Copied %1 into %2.").arg(m_path, m_copyTarget) << '\n';
    return 0;
}

int CommandLine::setupServer(Session &session, QTextStream &out, QTextStream &err) const
{
    try {
        const QStringList done =
            ServerRoles::setUpDatabase(m_path, session.identity().userName(), ReportCatalog::savedQueries());
        for (const QString &line : done)
            out << line << '\n';
    } catch (const KelvaraError &error) {
        err << error.description() << '\n';
        return 1;
    }
    return 0;
}

int CommandLine::verifyHistory(Session &session, QTextStream &out, QTextStream &err) const
{
    const QString database = m_path.isEmpty() ? session.options().DatabaseName() : m_path;
    try {
        const ChangeHistory::Verification result =
            ChangeHistory::verify(Database::open(database, Database::ReadOnly));
        if (result.firstMismatch != 0) {
            err << QStringLiteral(
                       "The change history of %1 does not hold: the row with Change ID %2 does not "
                       "match its hash. That row was changed after it was written, or rows just "
                       "before it were taken out.")
                       .arg(database)
                       .arg(result.firstMismatch)
                << '\n';
            return 1;
        }
        out << QStringLiteral(
                   "The change history of %1 holds: %2 rows, each matching its hash.\nNewest hash: %3")
                   .arg(database)
                   .arg(result.rows)
                   .arg(result.latestHash.isEmpty() ? QStringLiteral("(none, the history is empty)")
                                                    : result.latestHash)
            << '\n';
        return 0;
    } catch (const KelvaraError &error) {
        err << error.description() << '\n';
        return 1;
    }
}
