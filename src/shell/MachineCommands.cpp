#include "MachineCommands.h"

#include "foundation/Database.h"
#include "foundation/Session.h"
#include "machines/MachineStore.h"
#include "production/record/EditRights.h"
#include "production/record/JobLines.h"
#include "production/record/MachineFills.h"
#include "production/record/MonitorCounts.h"
#include "reports/ScheduledReport.h"

#include <QCommandLineParser>
#include <QFile>
#include <QSysInfo>
#include <QTextStream>

#include <algorithm>
#include <functional>

namespace {
using Exit = ScheduledReport::Exit;

const QStringList kCommands{QStringLiteral("read-counters"), QStringLiteral("set-machine"),
                            QStringLiteral("machines"), QStringLiteral("import-monitor-counts")};

// Parses the options after the command; the error on err (with exit BadArguments) when they do
// not parse.
bool parse(QCommandLineParser &parser, const QStringList &arguments, const QStringList &valued,
           const QStringList &flags, QTextStream &err)
{
    for (const QString &name : valued)
        parser.addOption(QCommandLineOption(name, {}, QStringLiteral("value")));
    for (const QString &name : flags)
        parser.addOption(QCommandLineOption(name));
    parser.addOption(QCommandLineOption(QStringLiteral("database"), {}, QStringLiteral("value")));
    if (!parser.parse(QStringList{QStringLiteral("kelvara")} + arguments.mid(1))) {
        err << parser.errorText() << '\n';
        return false;
    }
    return true;
}

// Logs in as `kelvara report` does and runs work on the database; a database failure is told on
// err with exit RunFailed.
int onDatabase(Session &session, const QCommandLineParser &parser, QTextStream &err,
               const std::function<int(Database &)> &work)
{
    std::optional<Database> db;
    QString path;
    if (const int exit =
            ScheduledReport::logIn(session, parser.value(QStringLiteral("database")), db, path, err);
        exit != Exit::Success)
        return exit;
    try {
        return work(*db);
    } catch (const KelvaraError &error) {
        err << error.description() << '\n';
        return Exit::RunFailed;
    }
}

// Who may type the date-shift's counts may fill them from the machines or a file.
bool mayChangeCounts(const Session &session, const DateShift &dateShift, QTextStream &err)
{
    if (EditRights::evaluate(session.securityLevel, dateShift, session.clock().now()).updateAllowed)
        return true;
    err << QStringLiteral("The login %1 may not change the counts of %2 shift %3.")
               .arg(session.networkUserName, dateShift.date.toString(QStringLiteral("MM/dd/yyyy")))
               .arg(dateShift.shift)
        << '\n';
    return false;
}

QString linkText(const MachineLink &link, const QString &form)
{
    return form.arg(link.machine)
        .arg(link.folder, link.counter)
        .arg(link.cavities)
        .arg(link.enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"));
}

int readCounters(Session &session, const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    if (!parse(parser, arguments, {QStringLiteral("date"), QStringLiteral("shift")}, {}, err))
        return Exit::BadArguments;
    const QDate date = QDate::fromString(parser.value(QStringLiteral("date")), QStringLiteral("MM/dd/yyyy"));
    bool shiftOk = false;
    const int shift = parser.value(QStringLiteral("shift")).toInt(&shiftOk);
    if (!date.isValid() || !shiftOk || shift < 1 || shift > 3 || !parser.positionalArguments().isEmpty()) {
        err << "read-counters needs --date MM/DD/YYYY and --shift 1, 2 or 3.\n";
        return Exit::BadArguments;
    }
    const DateShift dateShift{date, shift};
    return onDatabase(session, parser, err, [&](Database &db) {
        if (!mayChangeCounts(session, dateShift, err))
            return int(Exit::NotAuthorized);
        JobLines lines(db);
        const QList<JobLine> shown = lines.of(dateShift);
        const QList<int> machines = MachineFill::machinesOf(shown);
        MachineStore store(db);
        const QList<MachineLink> links = store.enabledOf(machines);
        if (links.isEmpty()) {
            out << "No machine of this shift's job list has a connection.\n";
            return int(shown.isEmpty() ? Exit::RunFailed : Exit::Success);
        }
        const QList<CounterReading> readings =
            MachineReader(MachineStore::waitFrom(session.options().store()))
                .readAll(links, store.latestMachineTimes(machines));
        store.keep(readings, dateShift,
                   {session.networkUserName, QSysInfo::machineHostName(), session.clock().now()});
        bool allAnswered = true;
        // Only empty Ending Counts are filled: nobody is there to say Yes to replacing a typed one.
        for (const MachineFill &fill : MachineFill::plan(shown, MachineStore::countsOf(readings))) {
            allAnswered = allAnswered && fill.reading.answered;
            if (fill.kind == MachineFill::Fill &&
                !lines.setCount(fill.jobId, CountField::Ending, fill.reading.count, fill.ending))
                out << QStringLiteral(
                           "Machine %1: the Ending Count was changed meanwhile; it was left as it is.")
                           .arg(fill.reading.machine)
                    << '\n';
            else
                out << fill.describe() << '\n';
        }
        return int(allAnswered ? Exit::Success : Exit::RunFailed);
    });
}

int setMachine(Session &session, const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QStringList valued{QStringLiteral("folder"), QStringLiteral("counter"), QStringLiteral("cavities")};
    if (!parse(parser, arguments, valued, {QStringLiteral("disable")}, err))
        return Exit::BadArguments;
    bool numberOk = false;
    const int machine = parser.positionalArguments().value(0).toInt(&numberOk);
    bool cavitiesOk = true;
    const bool cavitiesGiven = parser.isSet(QStringLiteral("cavities"));
    const int cavities = cavitiesGiven ? parser.value(QStringLiteral("cavities")).toInt(&cavitiesOk) : 0;
    if (!numberOk || machine < 0 || parser.positionalArguments().size() != 1 || !cavitiesOk ||
        (cavitiesGiven && cavities < 1)) {
        err << "set-machine needs a machine number, and --cavities a whole number from 1.\n";
        return Exit::BadArguments;
    }
    return onDatabase(session, parser, err, [&](Database &db) {
        // Level C sets the plant up, as in the connections window.
        if (session.securityLevel != QLatin1String("C")) {
            err << QStringLiteral(
                       "Only a level C login may change the machine connections; %1 is at level %2.")
                       .arg(session.networkUserName, session.securityLevel)
                << '\n';
            return int(Exit::NotAuthorized);
        }
        MachineStore store(db);
        MachineLink link = store.link(machine).value_or(MachineLink{machine});
        if (parser.isSet(QStringLiteral("folder")))
            link.folder = parser.value(QStringLiteral("folder"));
        if (link.folder.isEmpty()) {
            err << QStringLiteral("Machine %1 has no connection yet: give its session folder with --folder.")
                       .arg(machine)
                << '\n';
            return int(Exit::BadArguments);
        }
        if (parser.isSet(QStringLiteral("counter")))
            link.counter = parser.value(QStringLiteral("counter"));
        if (cavitiesGiven)
            link.cavities = cavities;
        link.enabled = !parser.isSet(QStringLiteral("disable"));
        store.save(link);
        out << linkText(link,
                        QStringLiteral("Machine %1 is connected through %2 (counter %3, %4 cavities, %5)."))
            << '\n';
        return int(Exit::Success);
    });
}

int listMachines(Session &session, const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    if (!parse(parser, arguments, {}, {}, err))
        return Exit::BadArguments;
    return onDatabase(session, parser, err, [&](Database &db) {
        for (const MachineLink &link : MachineStore(db).links())
            out << linkText(link, QStringLiteral("%1\t%2\t%3\t%4\t%5")) << '\n';
        return int(Exit::Success);
    });
}

int importMonitorCounts(Session &session, const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    if (!parse(parser, arguments, {QStringLiteral("date"), QStringLiteral("shift")}, {}, err))
        return Exit::BadArguments;
    const bool given = parser.isSet(QStringLiteral("date")) || parser.isSet(QStringLiteral("shift"));
    const QDate date = QDate::fromString(parser.value(QStringLiteral("date")), QStringLiteral("MM/dd/yyyy"));
    const int shift = parser.value(QStringLiteral("shift")).toInt();
    if (parser.positionalArguments().size() != 1 || (given && (!date.isValid() || shift < 1 || shift > 3))) {
        err << "import-monitor-counts needs the file, and --date MM/DD/YYYY with --shift 1, 2 or 3 when "
               "given.\n";
        return Exit::BadArguments;
    }
    QFile file(parser.positionalArguments().first());
    if (!file.open(QIODevice::ReadOnly)) {
        err << QStringLiteral("The file %1 cannot be read: %2").arg(file.fileName(), file.errorString())
            << '\n';
        return Exit::BadArguments;
    }
    const MonitorCounts::File read = MonitorCounts::read(file.readAll(), session.options().store());
    if (!read.error.isEmpty()) {
        err << read.error << '\n';
        return Exit::RunFailed;
    }
    // Without --date and --shift, each row's own date-shift.
    QList<DateShift> dateShifts;
    if (given)
        dateShifts << DateShift{date, shift};
    for (const MonitorCounts::Row &row : read.rows) {
        if (!given && row.dateShift &&
            std::none_of(dateShifts.cbegin(), dateShifts.cend(), [&](const DateShift &known) {
                return known.date == row.dateShift->date && known.shift == row.dateShift->shift;
            }))
            dateShifts << *row.dateShift;
    }
    if (dateShifts.isEmpty()) {
        err << "The file gives no date and shift: give them with --date and --shift.\n";
        return Exit::BadArguments;
    }
    return onDatabase(session, parser, err, [&](Database &db) {
        bool allStored = true;
        for (const DateShift &dateShift : dateShifts) {
            if (!mayChangeCounts(session, dateShift, err))
                return int(Exit::NotAuthorized);
            const MonitorCounts::Plan plan =
                MonitorCounts::plan(JobLines(db).of(dateShift), dateShift, read.rows);
            // Nobody is there to say Yes: a typed count that differs stays.
            const bool stored = MonitorCounts::store(db, plan, false);
            for (const QString &line : plan.describe())
                out << line << '\n';
            if (!stored)
                out << "A line was changed meanwhile: nothing of this date-shift was stored.\n";
            allStored = allStored && stored && plan.unmatched.isEmpty();
        }
        MonitorCounts::storeMapping(MonitorCounts::mappingFor(read.header, session.options().store()),
                                    session.options().store());
        return int(allStored ? Exit::Success : Exit::RunFailed);
    });
}
} // namespace

bool MachineCommands::isMachineCommand(const QStringList &arguments)
{
    return kCommands.contains(arguments.value(0));
}

std::optional<int> MachineCommands::run(Session &session, const QStringList &arguments, QTextStream &out,
                                        QTextStream &err)
{
    const QString command = arguments.value(0);
    if (command == kCommands.at(0))
        return readCounters(session, arguments, out, err);
    if (command == kCommands.at(1))
        return setMachine(session, arguments, out, err);
    if (command == kCommands.at(2))
        return listMachines(session, arguments, out, err);
    if (command == kCommands.at(3))
        return importMonitorCounts(session, arguments, out, err);
    return std::nullopt;
}

QString MachineCommands::usage()
{
    return QStringLiteral(
        "\nMachine commands (counters read over EUROMAP 63 session folders):\n"
        "       kelvara read-counters --date MM/DD/YYYY --shift N [--database PATH]\n"
        "              read every connected machine of the date-shift's job list and fill the Ending\n"
        "              Counts that are still 0 or equal to their Beginning Count; one line per machine;\n"
        "              exit 0 when every machine answered, 1 when some did not\n"
        "       kelvara set-machine NUMBER [--folder DIR] [--counter NAME] [--cavities N] [--disable]\n"
        "                           [--database PATH]\n"
        "              (level C) connect a machine: its session folder, the counter that is its Ending\n"
        "              Count (ActCntPrt, or ActCntCyc times N cavities); --disable leaves it unread\n"
        "       kelvara machines [--database PATH]\n"
        "              list the machine connections, one line each: number, folder, counter,\n"
        "              cavities, enabled\n"
        "       kelvara import-monitor-counts FILE [--date MM/DD/YYYY --shift N] [--database PATH]\n"
        "              take the Mattec Counts from a monitoring system's export (comma, semicolon or\n"
        "              tab separated, a header row); only counts still 0 are filled; exit 0 when every\n"
        "              row matched a line and was stored, 1 otherwise\n");
}
