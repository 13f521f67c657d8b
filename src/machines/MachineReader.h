#pragma once

#include "SessionFolder.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

// A machine's connection: its session folder and the counter that gives its Ending Count. A
// counter of cycles (ActCntCyc) counts parts times the mold's cavities.
struct MachineLink
{
    int machine = 0;
    QString folder;
    QString counter = QStringLiteral("ActCntPrt");
    int cavities = 1;
    bool enabled = true;

    static QString defaultCounter() { return QStringLiteral("ActCntPrt"); }
};

// What one reading of a machine gave.
struct CounterReading
{
    int machine = 0;
    bool answered = false;
    QString counter;
    qint64 counterValue = 0;
    qint64 count = 0; // the Ending Count it makes: the counter times the cavities
    QDateTime machineTime;
    QString sessionFile;
    // Every parameter read, as the machine gave it ("?" where it could not give one).
    QList<QPair<QString, QString>> values;
    QString message; // why there is no count, in the plant's words; empty when answered
};

// What GETINFO and GETID told of a machine (the connections window's Test).
struct MachineInfo
{
    bool answered = false;
    QString vendor;
    QString machineNumber;
    QStringList parameters;
    bool offersCounter = false;
    QString message;
};

// Reads machines' counters over their session folders: GETID first (one unknown parameter fails
// a whole REPORT, so only parameters the machine offers are asked for), then a one-time REPORT
// of its date, time and counters. Window-free and blocking: it runs on threads of its own,
// never on the user interface's.
class MachineReader
{
public:
    explicit MachineReader(WaitSettings wait = {}) : m_wait(wait) {}

    // notAfter: the machine's time of the last reading stored; a data file not later than that
    // is an old one and is not taken.
    CounterReading read(const MachineLink &link, const QDateTime &notAfter = {},
                        const std::atomic_bool *cancel = nullptr) const;
    MachineInfo test(const MachineLink &link, const std::atomic_bool *cancel = nullptr) const;

    // Reads every machine at once, one thread each, so a plant takes one timeout at most.
    // answered is called from those threads, at once from several, as each machine is done.
    // The readings come in the order of links.
    QList<CounterReading> readAll(const QList<MachineLink> &links, const QHash<int, QDateTime> &notAfter,
                                  const std::atomic_bool *cancel = nullptr,
                                  const std::function<void(const CounterReading &)> &answered = {}) const;

    const WaitSettings &wait() const { return m_wait; }
    // The counters a host asks for beside the chosen one, when the machine offers them.
    static QStringList knownCounters();

private:
    // Runs one job; false with message set when the machine gave no usable answer.
    bool runJob(const MachineLink &link, const QList<SessionFolder::Output> &outputs,
                SessionFolder::Result &result, QString &message, const std::atomic_bool *cancel) const;

    WaitSettings m_wait;
};

// The plant's words for what went wrong with a machine.
namespace MachineMessages {
QString forOutcome(int machine, SessionFolder::Outcome outcome, const QString &folder, int timeoutMs);
QString forError(int machine, const Euromap::Response &response);
} // namespace MachineMessages
