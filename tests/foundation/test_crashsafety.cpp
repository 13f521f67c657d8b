#include "TestSupport.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <QtTest>

// A workstation that dies in the middle of writing (power cut, killed process) must leave the
// shared file whole: every transaction it reported committed is there, none is there in part.
class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void killedWritersLoseNothingCommitted();
};

namespace {
constexpr int kKills = 30;
constexpr qint64 kBatchesPerRun = 100000;

// Starts a writer from the given batch, lets it write for a moment and kills it. Returns the
// batches it reported committed.
QList<qint64> writeAndKill(const QString &database, qint64 first, int milliseconds)
{
    QProcess writer;
    writer.start(QStringLiteral(CRASH_WRITER), {database, QString::number(first)});
    if (!writer.waitForStarted() || !writer.waitForReadyRead(10000))
        return {};
    QThread::msleep(milliseconds);
    writer.kill();
    writer.waitForFinished();
    QList<qint64> committed;
    const QList<QByteArray> lines = writer.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        bool ok = false;
        const qint64 batch = line.trimmed().toLongLong(&ok);
        if (ok)
            committed << batch;
    }
    return committed;
}
} // namespace

void TestCrashSafety::killedWritersLoseNothingCommitted()
{
    FILE_DATABASE_ONLY("writers killed in the middle of writing the file and its journal");
    TestWorld world;
    const QString database = world.createDatabase();
    QRandomGenerator random(20261208);
    QList<qint64> committed;
    for (int run = 0; run < kKills; ++run)
        committed << writeAndKill(database, run * kBatchesPerRun, random.bounded(5, 60));
    // Even on a busy machine the writers get a few dozen commits done between the kills.
    QVERIFY2(committed.size() >= 10, "the writers committed too little to prove anything");

    // The next workstation to open the file rolls back whatever a killed writer left half done.
    Database db = world.openDatabase();
    QCOMPARE(db.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    QMap<qint64, int> linesPerBatch;
    QSqlQuery query = db.exec(QStringLiteral("SELECT [Machine Number], count(*) FROM [Production Table] "
                                             "GROUP BY [Machine Number]"));
    while (query.next())
        linesPerBatch.insert(query.value(0).toLongLong(), query.value(1).toInt());
    for (const qint64 batch : committed)
        QVERIFY2(linesPerBatch.value(batch) == 3, qPrintable(QString::number(batch)));
    // No transaction is there in part, and the last one's update is the one that stayed.
    for (auto it = linesPerBatch.cbegin(); it != linesPerBatch.cend(); ++it)
        QVERIFY2(it.value() == 3, qPrintable(QString::number(it.key())));
    const qint64 last = linesPerBatch.lastKey();
    QCOMPARE(db.scalar(QStringLiteral("SELECT [CompanyName] FROM [CompanyInfo]")).toString(),
             QString::number(last));
    QVERIFY(last >= committed.last());
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "test_crashsafety.moc"
