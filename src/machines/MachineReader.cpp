#include "MachineReader.h"

#include <thread>
#include <vector>

namespace {
bool endsWithEntry(const QByteArray &text)
{
    return text.trimmed().endsWith(';');
}

bool wholeDataFile(const QByteArray &text)
{
    return Euromap::parseDataFile(text).has_value();
}

QString machineText(int machine)
{
    return QStringLiteral("Machine %1").arg(machine);
}

// What a machine's interface means by the errors of EUROMAP 63 that a user can act on: %1 the
// machine, %2 what it said.
struct KnownError
{
    int errorClass;
    int errorCode;
    const char *text;
};

constexpr KnownError kKnownErrors[] = {
    {1, 1, "%1's interface gets no response from the machine's controller%2: is the machine switched on?"},
    {1, 2,
     "%1 refused the session request%2: it may allow fewer sessions than are in use; remove old SESS "
     "files from its session folder."},
    {1, 3,
     "%1 cannot write its answer into its session folder%2: check the share's permissions and free space."},
    {1, 5, "%1's interface is busy%2: read it again in a moment."},
    {1, 6, "%1 is offline%2: switch its interface on, then read it again."},
    {2, 3, "%1 runs too many jobs at once%2: read it again when its other jobs have ended."},
    {2, 4,
     "%1 cannot write its data file into its session folder%2: check the share's permissions and free "
     "space."},
    {2, 6, "%1 does not know a counter it was asked for%2: check the counter in Machine Connections."},
    {2, 33,
     "%1 already runs a report of Kelvara's%2: another workstation may be reading it; read it again in a "
     "moment."},
};

const char *knownError(int errorClass, int errorCode)
{
    for (const KnownError &known : kKnownErrors) {
        if (known.errorClass == errorClass && known.errorCode == errorCode)
            return known.text;
    }
    return nullptr;
}
} // namespace

QString MachineMessages::forOutcome(int machine, SessionFolder::Outcome outcome, const QString &folder,
                                    int timeoutMs)
{
    using Outcome = SessionFolder::Outcome;
    switch (outcome) {
    case Outcome::NoFolder:
        return QStringLiteral("The session folder of machine %1 (%2) cannot be reached: is the share mounted "
                              "on this workstation?")
            .arg(machine)
            .arg(folder);
    case Outcome::CannotWrite:
        return QStringLiteral("Kelvara cannot write into the session folder of machine %1 (%2): check the "
                              "folder's permissions and free space.")
            .arg(machine)
            .arg(folder);
    case Outcome::NoAnswer:
        return QStringLiteral("%1 did not answer within %2 s: is it switched on and is its session folder "
                              "reachable?")
            .arg(machineText(machine))
            .arg((timeoutMs + 999) / 1000);
    case Outcome::Cancelled:
        return QStringLiteral("The reading of machine %1 was cancelled.").arg(machine);
    case Outcome::Answered:
        break;
    }
    return {};
}

QString MachineMessages::forError(int machine, const Euromap::Response &response)
{
    const QString said =
        response.text.isEmpty() ? QString() : QStringLiteral(" (it says \"%1\")").arg(response.text);
    const QString m = machineText(machine);
    if (response.errorCode >= 10000)
        return QStringLiteral("%1 reported an error of its own, number %2%3: see the machine's manual.")
            .arg(m)
            .arg(response.errorCode)
            .arg(said);
    if (const char *known = knownError(response.errorClass, response.errorCode))
        return QString::fromUtf8(known).arg(m, said);
    return QStringLiteral("%1 did not accept Kelvara's request (error %2 %3%4): its interface may not "
                          "follow EUROMAP 63 as Kelvara expects.")
        .arg(m)
        .arg(response.errorClass)
        .arg(response.errorCode)
        .arg(said);
}

QStringList MachineReader::knownCounters()
{
    return {QStringLiteral("ActCntPrt"), QStringLiteral("ActCntCyc"), QStringLiteral("ActCntCycRej"),
            QStringLiteral("ActCntMld"), QStringLiteral("SetCntMld")};
}

bool MachineReader::runJob(const MachineLink &link, const QList<SessionFolder::Output> &outputs,
                           SessionFolder::Result &result, QString &message,
                           const std::atomic_bool *cancel) const
{
    result = SessionFolder(link.folder, m_wait).run(outputs, cancel);
    if (result.outcome != SessionFolder::Outcome::Answered) {
        message = MachineMessages::forOutcome(link.machine, result.outcome, link.folder, m_wait.timeoutMs);
        return false;
    }
    if (!result.response.processed) {
        message = MachineMessages::forError(link.machine, result.response);
        return false;
    }
    for (qsizetype index = 0; index < result.files.size(); ++index) {
        if (result.files.at(index).isEmpty()) {
            message = QStringLiteral("Machine %1 answered, but the file it wrote into its session folder is "
                                     "empty or incomplete: read it again; if this stays, check the machine's "
                                     "interface.")
                          .arg(link.machine);
            return false;
        }
    }
    return true;
}

MachineInfo MachineReader::test(const MachineLink &link, const std::atomic_bool *cancel) const
{
    MachineInfo info;
    SessionFolder::Result result;
    if (!runJob(link,
                {{QStringLiteral("GETINFO \"%1\""), wholeDataFile},
                 {QStringLiteral("GETID \"%1\""), endsWithEntry}},
                result, info.message, cancel))
        return info;
    const std::optional<Euromap::DataFile> about = Euromap::parseDataFile(result.files.at(0));
    info.answered = true;
    info.vendor = about->value(QStringLiteral("Vendor")).value_or(QString());
    info.machineNumber = about->value(QStringLiteral("MachNbr")).value_or(QString());
    info.parameters = Euromap::parseParameterList(result.files.at(1));
    info.offersCounter = info.parameters.contains(link.counter);
    return info;
}

CounterReading MachineReader::read(const MachineLink &link, const QDateTime &notAfter,
                                   const std::atomic_bool *cancel) const
{
    CounterReading reading;
    reading.machine = link.machine;
    reading.counter = link.counter;
    SessionFolder::Result result;
    if (!runJob(link, {{QStringLiteral("GETID \"%1\""), endsWithEntry}}, result, reading.message, cancel))
        return reading;
    const QStringList offered = Euromap::parseParameterList(result.files.at(0));
    if (!offered.contains(link.counter)) {
        reading.message = QStringLiteral("Machine %1 does not offer the counter %2: choose one it offers in "
                                         "Machine Connections (Test lists them).")
                              .arg(link.machine)
                              .arg(link.counter);
        return reading;
    }
    QStringList asked;
    for (const QString &name :
         QStringList{QStringLiteral("DATE"), QStringLiteral("TIME")} + knownCounters()) {
        if (offered.contains(name))
            asked << name;
    }
    if (!runJob(link, {{Euromap::reportCommand(QStringLiteral("%1"), asked), wholeDataFile}}, result,
                reading.message, cancel))
        return reading;
    reading.sessionFile = result.sessionFile;
    const Euromap::DataFile data = *Euromap::parseDataFile(result.files.at(0));
    for (qsizetype index = 0; index < data.names.size(); ++index)
        reading.values << qMakePair(data.names.at(index),
                                    data.values.at(index).value_or(QStringLiteral("?")));
    reading.machineTime = data.machineTime();
    if (notAfter.isValid() && reading.machineTime.isValid() && reading.machineTime <= notAfter) {
        reading.message =
            QStringLiteral("Machine %1 sent an old data file (of %2, not later than the reading "
                           "stored before): its counter was not taken; read it again.")
                .arg(link.machine)
                .arg(reading.machineTime.toString(QStringLiteral("MM/dd/yyyy hh:mm:ss")));
        return reading;
    }
    bool isNumber = false;
    const std::optional<QString> counter = data.value(link.counter);
    reading.counterValue = counter ? counter->toLongLong(&isNumber) : 0;
    if (!isNumber || reading.counterValue < 0) {
        reading.message = QStringLiteral("Machine %1 cannot give its counter %2 just now (it sent \"%3\"): "
                                         "read it again, or type the count.")
                              .arg(link.machine)
                              .arg(link.counter)
                              .arg(counter.value_or(QStringLiteral("?")));
        return reading;
    }
    reading.count = link.counter == QLatin1String("ActCntCyc")
                        ? reading.counterValue * std::max(1, link.cavities)
                        : reading.counterValue;
    reading.answered = true;
    return reading;
}

QList<CounterReading>
MachineReader::readAll(const QList<MachineLink> &links, const QHash<int, QDateTime> &notAfter,
                       const std::atomic_bool *cancel,
                       const std::function<void(const CounterReading &)> &answered) const
{
    std::vector<CounterReading> readings(links.size());
    std::vector<std::thread> threads;
    threads.reserve(links.size());
    for (qsizetype index = 0; index < links.size(); ++index) {
        threads.emplace_back([&, index] {
            readings[index] = read(links.at(index), notAfter.value(links.at(index).machine), cancel);
            if (answered)
                answered(readings[index]);
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    return QList<CounterReading>(readings.begin(), readings.end());
}
