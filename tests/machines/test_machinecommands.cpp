#include "TestSupport.h"

#include "machines/MachineSimulator.h"
#include "shell/MachineCommands.h"

#include <QtTest>

namespace {
const QDate kTuesday(2026, 12, 8);
} // namespace

// The machine commands of the command line, as IT staff and a shift-end timer run them: what they
// store, what they print and the exit codes they end with.
class TestMachineCommands : public QObject
{
    Q_OBJECT

private slots:
    void connectionsAreSetAndListed();
    void badArgumentsAndOtherLevelsChangeNothing_data();
    void badArgumentsAndOtherLevelsChangeNothing();
    void readCountersFillsAndSaysWhoDidNotAnswer();

private:
    struct Run
    {
        int exit = -1;
        QString out, err;
    };
    static Run run(Session &session, const QString &arguments);
};

TestMachineCommands::Run TestMachineCommands::run(Session &session, const QString &arguments)
{
    Run result;
    QTextStream out(&result.out), err(&result.err);
    result.exit = MachineCommands::run(session, arguments.split(' '), out, err).value_or(-1);
    return result;
}

void TestMachineCommands::connectionsAreSetAndListed()
{
    DatabaseWorld world;
    const QString folder = world.file(QStringLiteral("press7"));
    QCOMPARE(
        run(*world.session, "set-machine 7 --folder " + folder + " --counter ActCntCyc --cavities 4").exit,
        0);
    QCOMPARE(run(*world.session, "machines").out, "7\t" + folder + "\tActCntCyc\t4\tenabled\n");
    // A later change keeps what it does not name.
    QCOMPARE(run(*world.session, QStringLiteral("set-machine 7 --disable")).exit, 0);
    QCOMPARE(run(*world.session, "machines").out, "7\t" + folder + "\tActCntCyc\t4\tdisabled\n");
}

void TestMachineCommands::badArgumentsAndOtherLevelsChangeNothing_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exit");
    QTest::newRow("no folder for a new machine") << "C"
                                                 << "set-machine 8" << 2;
    QTest::newRow("not a number") << "C"
                                  << "set-machine eight --folder /tmp" << 2;
    QTest::newRow("no cavities") << "C"
                                 << "set-machine 8 --folder /tmp --cavities 0" << 2;
    QTest::newRow("two numbers") << "C"
                                 << "set-machine 8 9 --folder /tmp" << 2;
    QTest::newRow("level B") << "B"
                             << "set-machine 8 --folder /tmp" << 5;
    QTest::newRow("read without shift") << "C"
                                        << "read-counters --date 12/08/2026" << 2;
    QTest::newRow("read shift 4") << "C"
                                  << "read-counters --date 12/08/2026 --shift 4" << 2;
}

void TestMachineCommands::badArgumentsAndOtherLevelsChangeNothing()
{
    QFETCH(QString, level);
    QFETCH(QString, arguments);
    QFETCH(int, exit);
    DatabaseWorld world(level);
    const Run result = run(*world.session, arguments);
    QCOMPARE(result.exit, exit);
    QVERIFY(!result.err.isEmpty());
    QCOMPARE(world.db.scalar(QStringLiteral("SELECT count(*) FROM \"Machine Connections\"")).toInt(), 0);
}

void TestMachineCommands::readCountersFillsAndSaysWhoDidNotAnswer()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("A-100")});
    world.clock.set(kTuesday, QTime(12, 0));
    QTemporaryDir folders;
    QList<SimulatedMachine> machines;
    for (const auto &[number, fault] :
         {std::pair{1, SimulatedMachine::Fault::None}, std::pair{2, SimulatedMachine::Fault::Offline}}) {
        SimulatedMachine played;
        played.folder = folders.filePath(QString::number(number));
        played.machine = number;
        played.fault = fault;
        played.cycles = 1000;
        QDir().mkpath(played.folder);
        machines << played;
        QCOMPARE(
            run(*world.session, QStringLiteral("set-machine %1 --folder %2").arg(number).arg(played.folder))
                .exit,
            0);
    }
    const qint64 read = Fixture::line(world.db, kTuesday, 1, 1, QStringLiteral("A-100"), 1000, 0);
    const qint64 offline = Fixture::line(world.db, kTuesday, 1, 2, QStringLiteral("A-100"), 1000, 0);
    const qint64 typed = Fixture::line(world.db, kTuesday, 2, 1, QStringLiteral("A-100"), 1000, 1500);
    SimulatedPlant plant(machines, 5);

    const Run result = run(*world.session, QStringLiteral("read-counters --date 12/08/2026 --shift 1"));
    QCOMPARE(result.exit, 1); // machine 2 did not give its counter
    const auto ending = [&](qint64 line) {
        return world.db
            .scalar(
                QStringLiteral("SELECT \"Ending Count\" FROM \"Production Table\" WHERE \"Job ID\" = :id"),
                {{QStringLiteral("id"), line}})
            .toLongLong();
    };
    QCOMPARE(ending(read), 2050);
    QCOMPARE(ending(offline), 0);
    QCOMPARE(ending(typed), 1500); // another shift's line
    QCOMPARE(result.out.count('\n'), 2);
    QVERIFY2(result.out.contains(QLatin1String("Machine 2")), qPrintable(result.out));
}

QTEST_GUILESS_MAIN(TestMachineCommands)
#include "test_machinecommands.moc"
