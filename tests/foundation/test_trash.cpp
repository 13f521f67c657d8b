#include "foundation/FileOps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Moving a file to the desktop's trash where no trash can be made.
class TestTrash : public QObject
{
    Q_OBJECT

private slots:
    void noTrashLeavesTheWorkingFolderAlone();
};

void TestTrash::noTrashLeavesTheWorkingFolderAlone()
{
    // Without a home folder there is no trash of the user's.
    QTemporaryDir dir;
    const QString working = dir.filePath(QStringLiteral("work"));
    const QString file = dir.filePath(QStringLiteral("QUORVEL.MDB.before-repair"));
    QVERIFY(QDir().mkpath(working));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write("copy") == 4);
    out.close();
    const QByteArray home = qgetenv("HOME"), dataHome = qgetenv("XDG_DATA_HOME");
    const QString previous = QDir::currentPath();
    qunsetenv("HOME");
    qunsetenv("XDG_DATA_HOME");
    QDir::setCurrent(working);

    FileOps files;
    const bool moved = files.moveToTrash(file);

    QDir::setCurrent(previous);
    qputenv("HOME", home);
    if (!dataHome.isEmpty())
        qputenv("XDG_DATA_HOME", dataHome);
    QCOMPARE(QDir(working).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    // The trash could not take the file, and the refusal names no other place: it is where it
    // was, whole.
    QVERIFY(!moved);
    QVERIFY2(!files.errorString().contains(QStringLiteral("kept as")), qPrintable(files.errorString()));
    QFile kept(file);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("copy"));
}

QTEST_GUILESS_MAIN(TestTrash)
#include "test_trash.moc"
