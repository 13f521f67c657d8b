#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// A machine as a host sees it through its session folder, for tests and for trying the program
// out: it takes each SESSnnnn.REQ, runs the job it names (GETID, GETINFO and one-time REPORTs)
// and writes SESSnnnn.RSP, with a counter that advances at every report. It can be told to
// misbehave as real machines do. Not covered: CONNECT, cyclic reports, events, alarms,
// uploads and downloads, SET, ABORT; a job's log file holds one line.
struct SimulatedMachine
{
    enum class Fault {
        None,
        NoAnswer,         // takes no request at all (switched off, unreachable)
        Offline,          // answers ERROR 1 6
        UnknownParameter, // lists a parameter in GETID that its REPORT refuses (ERROR 2 6)
        EmptyDataFile,    // reports done but leaves the data file empty
        HalfDataFile,     // reports done with the data file cut in its value line
        StaleDataFile,    // writes the data file of its first report again
        CounterDown,      // its counter went back (reset, controller replaced)
        SessionRefused,   // refuses every session number (MaxSessions 0)
    };

    QString folder;
    int machine = 1;
    qint64 cycles = 1000; // ActCntCyc before the first report
    int cavities = 2;
    int cyclesPerReport = 25;
    int maxSessions = 16;
    Fault fault = Fault::None;

    // "none", "no-answer", "offline", "unknown-parameter", "empty-data", "half-data", "stale-data",
    // "counter-down", "session-refused"; false for another name.
    static bool faultNamed(const QString &name, Fault &fault);
    static QStringList faultNames();
};

class MachineSimulator
{
public:
    explicit MachineSimulator(SimulatedMachine machine);

    // Answers the requests waiting in the folder; returns how many it took.
    int poll();

    qint64 cycles() const { return m_machine.cycles; }
    const SimulatedMachine &machine() const { return m_machine; }

private:
    QString answer(const QString &jobFile);
    QString runCommand(const QString &command);
    void write(const QString &name, const QByteArray &text) const;
    QByteArray reportText(const QStringList &parameters);
    QByteArray parameterList() const;
    QByteArray infoText() const;

    SimulatedMachine m_machine;
    QDateTime m_lastReport;
    QByteArray m_firstReport;
};

// Plays machines in the background, polling their folders every pollMs until destroyed.
class SimulatedPlant
{
public:
    explicit SimulatedPlant(const QList<SimulatedMachine> &machines, int pollMs = 20);
    ~SimulatedPlant();
    SimulatedPlant(const SimulatedPlant &) = delete;
    SimulatedPlant &operator=(const SimulatedPlant &) = delete;

private:
    std::atomic_bool m_stop{false};
    std::vector<std::thread> m_threads;
};
