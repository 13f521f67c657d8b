#include "machines/Euromap.h"
#include "machines/MachineReader.h"
#include "machines/MachineSimulator.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using Fault = SimulatedMachine::Fault;
Q_DECLARE_METATYPE(SimulatedMachine::Fault)

namespace {
// Short waits: a machine that does not answer costs the test one timeout.
const WaitSettings kWait{600, 5, 150};

MachineLink linkTo(const QString &folder, int machine = 7)
{
    MachineLink link;
    link.machine = machine;
    link.folder = folder;
    return link;
}

SimulatedMachine machineOn(const QString &folder, Fault fault = Fault::None)
{
    SimulatedMachine machine;
    machine.folder = folder;
    machine.machine = 7;
    machine.fault = fault;
    return machine;
}
} // namespace

class TestMachineReader : public QObject
{
    Q_OBJECT

private slots:
    void dataFileIsParsedAsMachinesWriteIt();
    void dataFileNotWholeIsNotTaken_data();
    void dataFileNotWholeIsNotTaken();
    void responseIsReadOnlyWhenWhole();
    void readsCounterAndLeavesFolderClean();
    void cyclesTimesCavities();
    void misbehaviourGivesMessage_data();
    void misbehaviourGivesMessage();
    void staleDataFileIsNotTaken();
    void missingFolder();
    void sessionNumbersInUseAreSkipped();
    void twoWorkstationsReadOneMachineAtOnce();
    void testListsVendorAndCounter();
    void cancelEndsWaiting();
};

void TestMachineReader::dataFileIsParsedAsMachinesWriteIt()
{
    const auto file = Euromap::parseDataFile("DATE,TIME,ActCntPrt,\r\n @Name,@Zone[1,2],ActCntCyc\r\n"
                                             "20261208,14:05:09,12345,\"Mold, A \"\"B\"\"\",[1,2],?\r\n");
    QVERIFY(file);
    QCOMPARE(file->names, (QStringList{"DATE", "TIME", "ActCntPrt", "@Name", "@Zone[1,2]", "ActCntCyc"}));
    QCOMPARE(file->value("ActCntPrt"), std::optional<QString>("12345"));
    QCOMPARE(file->value("@Name"), std::optional<QString>("Mold, A \"B\""));
    QCOMPARE(file->value("@Zone[1,2]"), std::optional<QString>("[1,2]"));
    QCOMPARE(file->value("ActCntCyc"), std::optional<QString>());
    QCOMPARE(file->machineTime(), QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)));
    QVERIFY(!file->value("Missing"));
}

void TestMachineReader::dataFileNotWholeIsNotTaken_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << QByteArray("DATE,TIME,ActCntPrt\r\n");
    QTest::newRow("value line cut") << QByteArray("DATE,TIME,ActCntPrt\r\n20261208,14:05");
    QTest::newRow("empty name") << QByteArray("DATE,,ActCntPrt\r\n1,2,3\r\n");
}

void TestMachineReader::dataFileNotWholeIsNotTaken()
{
    QFETCH(QByteArray, text);
    QVERIFY(!Euromap::parseDataFile(text));
}

void TestMachineReader::responseIsReadOnlyWhenWhole()
{
    QVERIFY(!Euromap::parseResponse(""));
    QVERIFY(!Euromap::parseResponse("00000001 PROCESS"));
    QVERIFY(Euromap::parseResponse("00000001 PROCESSED \"EXECUTE KLV0000.JOB\";\r\n")->processed);
    const auto error = Euromap::parseResponse("00000001 ERROR 2 6 \"Unknown parameter; X\";");
    QVERIFY(error && !error->processed);
    QCOMPARE(error->errorClass, 2);
    QCOMPARE(error->errorCode, 6);
    QCOMPARE(error->text, QString("Unknown parameter; X"));
}

void TestMachineReader::readsCounterAndLeavesFolderClean()
{
    QTemporaryDir folder;
    SimulatedPlant plant({machineOn(folder.path())}, 5);
    const MachineReader reader(kWait);
    const CounterReading first = reader.read(linkTo(folder.path()));
    QVERIFY2(first.answered, qPrintable(first.message));
    QCOMPARE(first.counter, QString("ActCntPrt"));
    QCOMPARE(first.count, (1000 + 25) * 2);
    QVERIFY(first.machineTime.isValid());
    QCOMPARE(first.sessionFile, QString("SESS0000.REQ"));
    QCOMPARE(first.values.first(), qMakePair(QString("DATE"), first.machineTime.toString("yyyyMMdd")));
    const CounterReading second = reader.read(linkTo(folder.path()), first.machineTime);
    QVERIFY2(second.answered, qPrintable(second.message));
    QCOMPARE(second.count, first.count + 50);
    // Every file the host wrote and every answer is gone; only the machine's own log may stay.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList());
}

void TestMachineReader::cyclesTimesCavities()
{
    QTemporaryDir folder;
    SimulatedPlant plant({machineOn(folder.path())}, 5);
    MachineLink link = linkTo(folder.path());
    link.counter = "ActCntCyc";
    link.cavities = 4;
    const CounterReading reading = MachineReader(kWait).read(link);
    QVERIFY2(reading.answered, qPrintable(reading.message));
    QCOMPARE(reading.counterValue, 1025);
    QCOMPARE(reading.count, 4100);
}

void TestMachineReader::misbehaviourGivesMessage_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QString>("message");
    const QString ours = "ActCntPrt";
    QTest::newRow("no answer") << Fault::NoAnswer << ours
                               << "Machine 7 did not answer within 1 s: is it switched on and is its session "
                                  "folder reachable?";
    QTest::newRow("offline")
        << Fault::Offline << ours
        << "Machine 7 is offline (it says \"Machine offline\"): switch its interface on, "
           "then read it again.";
    QTest::newRow("unknown parameter")
        << Fault::UnknownParameter << ours
        << "Machine 7 does not know a counter it was asked for (it says \"Unknown parameter ActCntCycRej\"): "
           "check the counter in Machine Connections.";
    QTest::newRow("counter not offered") << Fault::None << "ActCntMld"
                                         << "Machine 7 does not offer the counter ActCntMld: choose one it "
                                            "offers in Machine Connections (Test "
                                            "lists them).";
    const QString incomplete =
        "Machine 7 answered, but the file it wrote into its session folder is empty or "
        "incomplete: read it again; if this stays, check the machine's interface.";
    QTest::newRow("empty data file") << Fault::EmptyDataFile << ours << incomplete;
    QTest::newRow("half data file") << Fault::HalfDataFile << ours << incomplete;
    QTest::newRow("session refused")
        << Fault::SessionRefused << ours
        << "Machine 7 refused the session request (it says \"Session number out of range\"): it may allow "
           "fewer sessions than are in use; remove old SESS files from its session folder.";
}

void TestMachineReader::misbehaviourGivesMessage()
{
    QFETCH(Fault, fault);
    QFETCH(QString, counter);
    QFETCH(QString, message);
    QTemporaryDir folder;
    SimulatedPlant plant({machineOn(folder.path(), fault)}, 5);
    MachineLink link = linkTo(folder.path());
    link.counter = counter;
    const CounterReading reading = MachineReader(kWait).read(link);
    QVERIFY(!reading.answered);
    QCOMPARE(reading.message, message);
    // A request nobody took is withdrawn, so the machine never runs it later.
    QCOMPARE(QDir(folder.path()).entryList({"SESS*", "KLV*"}, QDir::Files), QStringList());
}

void TestMachineReader::staleDataFileIsNotTaken()
{
    QTemporaryDir folder;
    SimulatedPlant plant({machineOn(folder.path(), Fault::StaleDataFile)}, 5);
    const MachineReader reader(kWait);
    const CounterReading first = reader.read(linkTo(folder.path()));
    QVERIFY(first.answered);
    const CounterReading again = reader.read(linkTo(folder.path()), first.machineTime);
    QVERIFY(!again.answered);
    QVERIFY2(again.message.startsWith("Machine 7 sent an old data file (of "), qPrintable(again.message));
}

void TestMachineReader::missingFolder()
{
    const CounterReading reading = MachineReader(kWait).read(linkTo("/nonexistent/machine7"));
    QVERIFY(!reading.answered);
    QCOMPARE(reading.message,
             QString("The session folder of machine 7 (/nonexistent/machine7) cannot be reached: "
                     "is the share mounted on this workstation?"));
}

void TestMachineReader::sessionNumbersInUseAreSkipped()
{
    QTemporaryDir folder;
    // Another host's request waiting, and a response nobody has collected yet.
    for (const char *name : {"SESS0000.REQ", "SESS0001.RSP"}) {
        QFile file(QDir(folder.path()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    SimulatedMachine machine = machineOn(folder.path());
    MachineSimulator simulator(machine);
    std::atomic_bool stop{false};
    // The simulator answers only requests that are whole; the foreign empty REQ is refused.
    std::thread plant([&] {
        while (!stop) {
            simulator.poll();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const CounterReading reading = MachineReader(kWait).read(linkTo(folder.path()));
    stop = true;
    plant.join();
    QVERIFY2(reading.answered, qPrintable(reading.message));
    QCOMPARE(reading.sessionFile, QString("SESS0002.REQ"));
}

void TestMachineReader::twoWorkstationsReadOneMachineAtOnce()
{
    QTemporaryDir folder;
    SimulatedPlant plant({machineOn(folder.path())}, 5);
    const MachineReader reader(kWait);
    CounterReading first, second;
    std::thread other([&] { second = reader.read(linkTo(folder.path())); });
    first = reader.read(linkTo(folder.path()));
    other.join();
    QVERIFY2(first.answered && second.answered, qPrintable(first.message + second.message));
    QVERIFY(first.count != second.count);
    QCOMPARE(QDir(folder.path()).entryList({"SESS*", "KLV*"}, QDir::Files), QStringList());
}

void TestMachineReader::testListsVendorAndCounter()
{
    QTemporaryDir folder;
    SimulatedPlant plant({machineOn(folder.path())}, 5);
    MachineLink link = linkTo(folder.path());
    link.counter = "ActCntMld";
    const MachineInfo info = MachineReader(kWait).test(link);
    QVERIFY2(info.answered, qPrintable(info.message));
    QCOMPARE(info.vendor, QString("Kelvara Simulator"));
    QCOMPARE(info.machineNumber, QString("7"));
    QVERIFY(info.parameters.contains("@MldTemp[1]"));
    QVERIFY(info.parameters.contains("ActCntPrt"));
    QVERIFY(!info.offersCounter);
}

void TestMachineReader::cancelEndsWaiting()
{
    QTemporaryDir folder;
    std::atomic_bool cancel{true};
    const QList<CounterReading> readings =
        MachineReader({60000, 5, 150})
            .readAll({linkTo(folder.path(), 1), linkTo(folder.path(), 2)}, {}, &cancel);
    QCOMPARE(readings.size(), 2);
    QCOMPARE(readings.at(1).machine, 2);
    QCOMPARE(readings.at(1).message, QString("The reading of machine 2 was cancelled."));
}

QTEST_GUILESS_MAIN(TestMachineReader)
#include "test_machinereader.moc"
