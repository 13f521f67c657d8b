#include "MachineSimulator.h"

#include "Euromap.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <chrono>

using Fault = SimulatedMachine::Fault;

namespace {
const QList<QPair<QString, Fault>> &faults()
{
    static const QList<QPair<QString, Fault>> names{
        {QStringLiteral("none"), Fault::None},
        {QStringLiteral("no-answer"), Fault::NoAnswer},
        {QStringLiteral("offline"), Fault::Offline},
        {QStringLiteral("unknown-parameter"), Fault::UnknownParameter},
        {QStringLiteral("empty-data"), Fault::EmptyDataFile},
        {QStringLiteral("half-data"), Fault::HalfDataFile},
        {QStringLiteral("stale-data"), Fault::StaleDataFile},
        {QStringLiteral("counter-down"), Fault::CounterDown},
        {QStringLiteral("session-refused"), Fault::SessionRefused},
    };
    return names;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString quotedArgument(const QString &command)
{
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    return quoted.match(command).captured(1);
}
} // namespace

bool SimulatedMachine::faultNamed(const QString &name, Fault &fault)
{
    for (const auto &[text, value] : faults()) {
        if (text == name) {
            fault = value;
            return true;
        }
    }
    return false;
}

QStringList SimulatedMachine::faultNames()
{
    QStringList names;
    for (const auto &entry : faults())
        names << entry.first;
    return names;
}

MachineSimulator::MachineSimulator(SimulatedMachine machine) : m_machine(std::move(machine))
{
    if (m_machine.fault == Fault::CounterDown)
        m_machine.cycles = 3;
    if (m_machine.fault == Fault::SessionRefused)
        m_machine.maxSessions = 0;
}

void MachineSimulator::write(const QString &name, const QByteArray &text) const
{
    // Written aside and renamed, as a controller does, so the host never reads half of it.
    const QString path = QDir(m_machine.folder).filePath(name);
    QFile file(path + QStringLiteral(".sim"));
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size()) {
        file.close();
        QFile::remove(path);
        file.rename(path);
    }
}

int MachineSimulator::poll()
{
    if (m_machine.fault == Fault::NoAnswer)
        return 0;
    const QDir folder(m_machine.folder);
    int taken = 0;
    for (const QString &request :
         folder.entryList({QStringLiteral("SESS????.REQ")}, QDir::Files, QDir::Name)) {
        const QString text = QString::fromLatin1(readAll(folder.filePath(request))).trimmed();
        const QString id = text.section(QLatin1Char(' '), 0, 0);
        const int session = request.mid(4, 4).toInt();
        QString response;
        if (session >= m_machine.maxSessions)
            response = QStringLiteral("ERROR 1 2 \"Session number out of range\"");
        else if (m_machine.fault == Fault::Offline)
            response = QStringLiteral("ERROR 1 6 \"Machine offline\"");
        else if (!text.contains(QLatin1String(" EXECUTE ")))
            response = QStringLiteral("ERROR 1 2 \"Invalid session request\"");
        else
            response = answer(quotedArgument(text));
        write(QStringLiteral("SESS%1.RSP").arg(request.mid(4, 4)),
              QStringLiteral("%1 %2;\r\n").arg(id, response).toLatin1());
        QFile::remove(folder.filePath(request));
        ++taken;
    }
    return taken;
}

QString MachineSimulator::answer(const QString &jobFile)
{
    const QString job = QString::fromLatin1(readAll(QDir(m_machine.folder).filePath(jobFile)));
    const QStringList commands = job.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (commands.isEmpty() || !commands.first().trimmed().startsWith(QLatin1String("JOB ")))
        return QStringLiteral("ERROR 1 7 \"Invalid job file\"");
    for (const QString &command : commands.mid(1)) {
        if (command.trimmed().isEmpty())
            continue;
        const QString error = runCommand(command.trimmed());
        if (!error.isEmpty())
            return error;
    }
    const QString log = quotedArgument(commands.first());
    if (!log.isEmpty())
        write(log, QStringLiteral("%1 PROCESSED;\r\n").arg(commands.first().trimmed()).toLatin1());
    return QStringLiteral("PROCESSED \"EXECUTE %1\"").arg(jobFile);
}

QString MachineSimulator::runCommand(const QString &command)
{
    const QString file = quotedArgument(command);
    if (command.startsWith(QLatin1String("GETID "))) {
        write(file, parameterList());
    } else if (command.startsWith(QLatin1String("GETINFO "))) {
        write(file, infoText());
    } else if (command.startsWith(QLatin1String("REPORT "))) {
        const qsizetype at = command.indexOf(QLatin1String("PARAMETERS "));
        if (at < 0 || !command.contains(QLatin1String(" START IMMEDIATE")))
            return QStringLiteral("ERROR 2 5 \"Invalid REPORT syntax\"");
        const QStringList parameters = Euromap::splitFields(command.mid(at + 11));
        if (m_machine.fault == Fault::UnknownParameter && parameters.contains(QLatin1String("ActCntCycRej")))
            return QStringLiteral("ERROR 2 6 \"Unknown parameter ActCntCycRej\"");
        write(file, reportText(parameters));
    } else {
        return QStringLiteral("ERROR 2 23 \"Unsupported command\"");
    }
    return {};
}

QByteArray MachineSimulator::parameterList() const
{
    return QByteArrayLiteral("DATE,A,8,0,0,\"\",\"Date\";\r\n"
                             "TIME,A,8,0,0,\"\",\"Time\";\r\n"
                             "ActCntCyc,N,10,0,0,\"Cycle\",\"Cycle Counter\";\r\n"
                             "ActCntPrt,N,10,0,0,\"Part\",\"Piece Counter\";\r\n"
                             "ActCntCycRej,N,10,0,0,\"Cycle\",\"Reject Cycles\";\r\n"
                             "SetCntMld,N,3,0,0,\"\",\"Cavities\";\r\n"
                             "@MldTemp[1],N,5,1,0,\"C\",\"Mold Temperature, Zone 1\";\r\n");
}

QByteArray MachineSimulator::infoText() const
{
    return QStringLiteral("Vendor,Model,MachNbr,Version,MaxSessions,CharDef\r\n"
                          "\"Kelvara Simulator\",\"SIM-100\",\"%1\",\"1.05a\",%2,850\r\n")
        .arg(m_machine.machine)
        .arg(m_machine.maxSessions)
        .toLatin1();
}

QByteArray MachineSimulator::reportText(const QStringList &parameters)
{
    if (m_machine.fault == Fault::EmptyDataFile)
        return {};
    if (m_machine.fault == Fault::StaleDataFile && !m_firstReport.isEmpty())
        return m_firstReport;
    m_machine.cycles += m_machine.cyclesPerReport;
    // Its own clock: never twice the same second, so each report is later than the one before.
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    m_lastReport = m_lastReport.isValid() && now <= m_lastReport ? m_lastReport.addSecs(1) : now;
    QStringList values;
    for (const QString &name : parameters) {
        if (name == QLatin1String("DATE"))
            values << m_lastReport.toString(QStringLiteral("yyyyMMdd"));
        else if (name == QLatin1String("TIME"))
            values << m_lastReport.toString(QStringLiteral("hh:mm:ss"));
        else if (name == QLatin1String("ActCntCyc"))
            values << QString::number(m_machine.cycles);
        else if (name == QLatin1String("ActCntPrt"))
            values << QString::number(m_machine.cycles * m_machine.cavities);
        else if (name == QLatin1String("ActCntCycRej"))
            values << QString::number(m_machine.cycles / 50);
        else if (name == QLatin1String("SetCntMld"))
            values << QString::number(m_machine.cavities);
        else
            values << QStringLiteral("?");
    }
    // A long header is wrapped onto a continuation line, as some controllers do.
    const QString header = parameters.join(QLatin1Char(','));
    const qsizetype wrap = header.size() > 40 ? header.indexOf(QLatin1Char(','), 30) : -1;
    const QString headerText =
        wrap < 0 ? header : header.left(wrap + 1) + QStringLiteral("\r\n ") + header.mid(wrap + 1);
    QByteArray text =
        (headerText + QStringLiteral("\r\n") + values.join(QLatin1Char(',')) + QStringLiteral("\r\n"))
            .toLatin1();
    if (m_machine.fault == Fault::HalfDataFile)
        text.truncate(text.indexOf('\n') + 1 + values.first().size());
    if (m_firstReport.isEmpty())
        m_firstReport = text;
    return text;
}

SimulatedPlant::SimulatedPlant(const QList<SimulatedMachine> &machines, int pollMs)
{
    // A thread per machine: machines answer side by side, each at its own pace.
    for (const SimulatedMachine &machine : machines) {
        auto simulator = std::make_shared<MachineSimulator>(machine);
        m_threads.emplace_back([this, simulator, pollMs] {
            while (!m_stop) {
                simulator->poll();
                std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
            }
        });
    }
}

SimulatedPlant::~SimulatedPlant()
{
    m_stop = true;
    for (std::thread &thread : m_threads)
        thread.join();
}
