#include "shell/SingleInstance.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

// One copy per user: a second process finds the first, asks it to come up and ends.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondCopyActivatesTheFirst();
    void firstCopyWhenNoneRuns();

private:
    QString uniqueName() const;
};

namespace {
int runProbe(const QString &name)
{
    QProcess probe;
    probe.start(QStringLiteral(INSTANCE_PROBE), {name});
    // The first copy answers from its event loop, so wait by spinning it.
    QDeadlineTimer deadline(20000);
    while (probe.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        probe.waitForFinished(20);
    }
    return probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -1;
}
} // namespace

QString TestSingleInstance::uniqueName() const
{
    return QStringLiteral("kelvara-test-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QTest::currentDataTag() ? QTest::currentDataTag() : QTest::currentTestFunction());
}

void TestSingleInstance::secondCopyActivatesTheFirst()
{
    SingleInstance first(uniqueName());
    QCOMPARE(first.start(), SingleInstance::Role::First);
    QSignalSpy activated(&first, &SingleInstance::activateRequested);
    QCOMPARE(runProbe(uniqueName()), 3);
    QTRY_COMPARE(activated.size(), 1);
}

void TestSingleInstance::firstCopyWhenNoneRuns()
{
    {
        SingleInstance earlier(uniqueName());
        QCOMPARE(earlier.start(), SingleInstance::Role::First);
    }
    QCOMPARE(runProbe(uniqueName()), 0);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
