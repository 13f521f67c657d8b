// kelvara-machine: plays one injection-molding machine on a EUROMAP 63 session folder until
// stopped, for trying Kelvara's counter readings without a machine.
#include "MachineSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <QThread>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays one machine on a EUROMAP 63 session folder."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The machine's session folder."));
    const QCommandLineOption machine(QStringLiteral("machine"), QStringLiteral("Its machine number."),
                                     QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption cycles(QStringLiteral("cycles"), QStringLiteral("Its cycle counter at start."),
                                    QStringLiteral("N"), QStringLiteral("1000"));
    const QCommandLineOption cavities(QStringLiteral("cavities"), QStringLiteral("The mold's cavities."),
                                      QStringLiteral("N"), QStringLiteral("2"));
    const QCommandLineOption fault(QStringLiteral("fault"),
                                   QStringLiteral("How it misbehaves: %1.")
                                       .arg(SimulatedMachine::faultNames().join(QStringLiteral(", "))),
                                   QStringLiteral("NAME"), QStringLiteral("none"));
    parser.addOptions({machine, cycles, cavities, fault});
    parser.process(app);

    QTextStream err(stderr);
    SimulatedMachine played;
    if (parser.positionalArguments().size() != 1 || !QDir(parser.positionalArguments().first()).exists()) {
        err << "Give the session folder, an existing folder.\n";
        return 2;
    }
    played.folder = parser.positionalArguments().first();
    played.machine = parser.value(machine).toInt();
    played.cycles = parser.value(cycles).toLongLong();
    played.cavities = qMax(1, parser.value(cavities).toInt());
    if (!SimulatedMachine::faultNamed(parser.value(fault), played.fault)) {
        err << "There is no fault " << parser.value(fault) << ".\n";
        return 2;
    }
    MachineSimulator simulator(played);
    for (;;) {
        simulator.poll();
        QThread::msleep(50);
    }
}
