#include "TestSupport.h"

#include "foundation/ErrorLog.h"
#include "reports/engine/ReportError.h"
#include "reports/engine/ReportLayout.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <unistd.h>

// Where an installed program finds its report layouts and writes its own files.
class TestPaths : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void writtenFilesGoWhereTheyMay_data();
    void writtenFilesGoWhereTheyMay();
    void layoutsAreLookedForInOrder_data();
    void layoutsAreLookedForInOrder();
    void aMissingLayoutSaysWhereItWasLookedFor();

private:
    QString layoutIn(const QString &folder) const;

    std::unique_ptr<TestWorld> m_world;
    QString m_installed, m_desktopData;
};

void TestPaths::init()
{
    m_world = std::make_unique<TestWorld>();
    // The world's program folder is <root>/program: installed, its layouts are in <root>/share.
    m_installed = m_world->file(QStringLiteral("share/kelvara/report-layouts"));
    m_desktopData = m_world->file(QStringLiteral("xdg"));
    qputenv("XDG_DATA_HOME", m_world->file(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", m_desktopData.toLocal8Bit());
}

void TestPaths::cleanup()
{
    m_world.reset();
}

QString TestPaths::layoutIn(const QString &folder) const
{
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("prodct.rpt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"title": "Counts", "table": "T", "columns": [{"field": "F"}]})") < 0)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestPaths::writtenFilesGoWhereTheyMay_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<bool>("inProgramFolder");
    QTest::newRow("a writable program folder") << "writable" << true;
    QTest::newRow("a read-only program folder (installed)") << "read-only" << false;
    QTest::newRow("a program folder that is not there") << "missing" << false;
}

void TestPaths::writtenFilesGoWhereTheyMay()
{
    QFETCH(QString, programFolder);
    QFETCH(bool, inProgramFolder);
    const QString program = m_world->paths->programFolder();
    if (programFolder == QLatin1String("read-only")) {
        if (geteuid() == 0)
            QSKIP("root writes into a read-only folder");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    }
    if (programFolder == QLatin1String("missing"))
        QDir(program).removeRecursively();
    QDir(m_world->paths->userDataFolder()).removeRecursively();

    const ErrorLog log(*m_world->paths, m_world->clock);
    const QString expected = QDir(inProgramFolder ? program : m_world->paths->userDataFolder())
                                 .filePath(QStringLiteral("error.log"));
    QCOMPARE(log.path(), expected);
    QVERIFY(log.write(QStringLiteral("jdoe"), QStringLiteral("written")));
    QVERIFY(readFile(expected).endsWith("jdoe written\r\n"));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestPaths::layoutsAreLookedForInOrder_data()
{
    QTest::addColumn<QStringList>("placed");
    QTest::addColumn<QString>("found");
    QTest::newRow("beside the program first") << QStringList{"program", "installed", "desktop"} << "program";
    QTest::newRow("then the installed share folder") << QStringList{"installed", "desktop"} << "installed";
    QTest::newRow("then the desktop's data folders") << QStringList{"desktop"} << "desktop";
}

void TestPaths::layoutsAreLookedForInOrder()
{
    QFETCH(QStringList, placed);
    QFETCH(QString, found);
    const QMap<QString, QString> folders{
        {QStringLiteral("program"), m_world->paths->programFolder()},
        {QStringLiteral("installed"), m_installed},
        {QStringLiteral("desktop"), QDir(m_desktopData).filePath(QStringLiteral("kelvara/report-layouts"))}};
    QMap<QString, QString> layouts;
    for (const QString &where : placed)
        layouts[where] = layoutIn(folders[where]);

    // The layout's path is the ReportFilename default: the program folder.
    const QString path = m_world->session->options().ReportFilename(0);
    QCOMPARE(Paths::locateLayout(path), layouts[found]);
    QCOMPARE(ReportLayout::load(path).title, QStringLiteral("Counts"));
}

void TestPaths::aMissingLayoutSaysWhereItWasLookedFor()
{
    const QString path = m_world->session->options().ReportFilename(0);
    QCOMPARE(Paths::locateLayout(path), QString());
    try {
        ReportLayout::load(path);
        QFAIL("a missing layout loaded");
    } catch (const ReportError &error) {
        for (const QString &part : {QStringLiteral("\"prodct.rpt\""), m_world->paths->programFolder(),
                                    m_installed, m_desktopData + QStringLiteral("/kelvara/report-layouts")})
            QVERIFY2(error.message().contains(part), qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(TestPaths)
#include "test_paths.moc"
