#include "DataWindowFixture.h"
#include "TestSupport.h"

#include "machines/ConnectionsModel.h"
#include "machines/MachineSimulator.h"
#include "machines/MachineStore.h"
#include "machines/MachineWindows.h"
#include "machines/frmMachineConnections.h"
#include "production/counts/ProductionCountsModel.h"
#include "production/counts/frmMonitorColumns.h"
#include "production/counts/frmProductionCounts2.h"

#include <QApplication>
#include <QBrush>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {
const QDate kTuesday(2026, 12, 8);
} // namespace

// Read Counters in Production Counts and the Machine Connections window, on simulated machines.
class TestMachineWindows : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readCountersFillsTheGrid();
    void connectionsWindowEditsAndTests();
    void monitorColumnsAreChosenOnce();

private:
    QString folder(int machine) const;
    void connect(int machine);

    std::unique_ptr<DatabaseWorld> m_world;
    QTemporaryDir m_folders;
    std::unique_ptr<SimulatedPlant> m_plant;
};

void TestMachineWindows::init()
{
    m_world = std::make_unique<DatabaseWorld>(QStringLiteral("C"), QStringList{QStringLiteral("A-100")});
    m_world->clock.set(kTuesday, QTime(12, 0));
    m_world->session->options().store().setValue(QStringLiteral("Machines/TimeoutSeconds"), 1);
    installCounterReader(*m_world->session);
}

void TestMachineWindows::cleanup()
{
    m_plant.reset();
    m_world.reset();
}

QString TestMachineWindows::folder(int machine) const
{
    return m_folders.filePath(QStringLiteral("M%1").arg(machine));
}

void TestMachineWindows::connect(int machine)
{
    QDir().mkpath(folder(machine));
    MachineLink link;
    link.machine = machine;
    link.folder = folder(machine);
    MachineStore(m_world->db).save(link);
}

void TestMachineWindows::readCountersFillsTheGrid()
{
    Fixture::line(m_world->db, kTuesday, 1, 1, QStringLiteral("A-100"), 1000, 0);
    Fixture::line(m_world->db, kTuesday, 1, 2, QStringLiteral("A-100"), 1000, 1500);
    Fixture::line(m_world->db, kTuesday, 1, 3, QStringLiteral("A-100"), 1000, 0);
    for (int machine : {1, 2, 3})
        connect(machine);
    SimulatedMachine first, second;
    first.folder = folder(1);
    second.folder = folder(2);
    second.machine = 2;
    m_plant = std::make_unique<SimulatedPlant>(QList<SimulatedMachine>{first, second}, 5);

    const QPointer<frmProductionCounts2> window =
        DataWindowFixture::open<frmProductionCounts2>(*m_world->session, {kTuesday, 1});
    QVERIFY(window);
    auto *button = window->findChild<QPushButton *>(QStringLiteral("cmdReadCounters"));
    QVERIFY(button && button->isEnabled());
    // Machine 2's typed count is replaced on Yes; machine 3 does not answer.
    m_world->prompter.script({MsgAnswer::Yes, MsgAnswer::Ok});
    button->click();
    const QList<PromptMessage> &told = m_world->prompter.messages();
    QCOMPARE(told.size(), 2);
    QVERIFY2(told.at(0).text.contains("Machine 2: the counter reads 2050, the Ending Count typed is 1500."),
             qPrintable(told.at(0).text));
    QVERIFY2(told.at(1).text.contains("Machine 3 did not answer within 1 s"), qPrintable(told.at(1).text));

    ProductionCountsModel *model = window->model();
    const auto ending = [&](int row) { return model->index(row, ProductionCountsModel::EndingColumn); };
    QCOMPARE(model->data(ending(0)).toString(), QString("2,050"));
    QCOMPARE(model->data(ending(1)).toString(), QString("2,050"));
    QCOMPARE(model->data(ending(2)).toString(), QString("0"));
    QVERIFY(model->data(ending(0), Qt::ToolTipRole)
                .toString()
                .startsWith("Read from machine 1, counter ActCntPrt, at "));
    QVERIFY(model->data(ending(0), Qt::BackgroundRole).value<QBrush>() !=
            model->data(ending(2), Qt::BackgroundRole).value<QBrush>());
    QVERIFY(model->data(ending(2), Qt::ToolTipRole).isNull());
    DataWindowFixture::close(window);
}

void TestMachineWindows::connectionsWindowEditsAndTests()
{
    QDir().mkpath(folder(4));
    SimulatedMachine played;
    played.folder = folder(4);
    played.machine = 4;
    m_plant = std::make_unique<SimulatedPlant>(QList<SimulatedMachine>{played}, 5);
    const QPointer<frmMachineConnections> window =
        DataWindowFixture::open<frmMachineConnections>(*m_world->session, {kTuesday, 1});
    QVERIFY(window);
    window->findChild<QLineEdit *>(QStringLiteral("txtMachine"))->setText("4");
    window->findChild<QLineEdit *>(QStringLiteral("txtFolder"))->setText(folder(4));
    window->findChild<QPushButton *>(QStringLiteral("cmdAdd"))->click();
    ConnectionsModel *model = window->model();
    QCOMPARE(model->rowCount(), 1);
    QVERIFY(!model->setData(model->index(0, ConnectionsSheet::Counter), "Act Cnt"));
    QVERIFY(m_world->prompter.messages().last().text.startsWith("\"Act Cnt\" is not a counter's name"));
    QVERIFY(model->setData(model->index(0, ConnectionsSheet::Counter), "ActCntMld"));
    QCOMPARE(MachineStore(m_world->db).link(4)->counter, QString("ActCntMld"));
    const QString tested = window->testRow(0);
    QVERIFY2(
        tested.startsWith("Machine 4 answered: Kelvara Simulator, machine number 4.\nIt does not offer the "
                          "counter ActCntMld; it offers: DATE, TIME, ActCntCyc"),
        qPrintable(tested));
    DataWindowFixture::close(window);

    // A level other than C sees the connections and cannot change them.
    m_world->session->securityLevel = "A";
    const QPointer<frmMachineConnections> seen =
        DataWindowFixture::open<frmMachineConnections>(*m_world->session, {kTuesday, 1});
    QVERIFY(seen);
    QVERIFY(!(seen->model()->flags(seen->model()->index(0, ConnectionsSheet::Counter)) & Qt::ItemIsEditable));
    QVERIFY(!seen->findChild<QPushButton *>(QStringLiteral("cmdAdd"))->isEnabled());
    DataWindowFixture::close(seen);
}

// A header of the monitor's own words: the columns are chosen in the dialog, kept in the options,
// and the next file of that header is read without asking.
void TestMachineWindows::monitorColumnsAreChosenOnce()
{
    const qint64 line = Fixture::line(m_world->db, kTuesday, 1, 1, QStringLiteral("A-100"), 1000, 0);
    const QString path = m_folders.filePath(QStringLiteral("export.csv"));
    const auto write = [&](const QByteArray &count) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("Anlage;Artikel;Menge\r\n1;A-100;" + count + "\r\n");
    };
    write("777");
    const QPointer<frmProductionCounts2> window =
        DataWindowFixture::open<frmProductionCounts2>(*m_world->session, {kTuesday, 1});
    QVERIFY(window);
    int asked = 0;
    bool okWithoutCount = true;
    const auto choose = [&](bool answer) {
        QTimer::singleShot(0, [&, answer] {
            auto *dialog = qobject_cast<frmMonitorColumns *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            ++asked;
            QPushButton *ok = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
            dialog->findChild<QComboBox *>(QStringLiteral("cboMachine"))->setCurrentText("Anlage");
            okWithoutCount = ok->isEnabled();
            dialog->findChild<QComboBox *>(QStringLiteral("cboJobNumber"))->setCurrentText("Artikel");
            dialog->findChild<QComboBox *>(QStringLiteral("cboCount"))->setCurrentText("Menge");
            answer ? ok->click() : dialog->reject();
        });
    };
    const auto matec = [&] {
        return m_world->db
            .scalar(QStringLiteral("SELECT \"Matec Count\" FROM \"Production Table\" WHERE \"Job ID\" = :id"),
                    {{QStringLiteral("id"), line}})
            .toLongLong();
    };

    choose(false); // Cancel stores nothing and keeps no choice
    window->importMonitorCounts(path);
    QCOMPARE(asked, 1);
    QCOMPARE(matec(), 0);
    QVERIFY(m_world->prompter.messages().isEmpty());

    choose(true);
    m_world->prompter.script({MsgAnswer::Ok});
    window->importMonitorCounts(path);
    QCOMPARE(asked, 2);
    QVERIFY(!okWithoutCount); // the machine alone is not enough
    QCOMPARE(matec(), 777);

    write("778");
    choose(true); // would count a question that is not asked
    m_world->prompter.script({MsgAnswer::Ok, MsgAnswer::Yes});
    window->importMonitorCounts(path);
    QCoreApplication::processEvents();
    QCOMPARE(asked, 2);
    QCOMPARE(matec(), 778);
    DataWindowFixture::close(window);
}

QTEST_MAIN(TestMachineWindows)
#include "test_machinewindows.moc"
