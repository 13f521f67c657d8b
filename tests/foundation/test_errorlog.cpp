#include "TestSupport.h"

#include "foundation/ErrorLog.h"
#include "foundation/KelvaraError.h"

#include <QDir>
#include <QtTest>
#include <limits>

// The error log, the serious-error dialog and the debug identifiers of the data classes. (The
// class error itself is tested with the summaries that raise it.)
class TestErrorLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void logLines_data();
    void logLines();
    void appendsToWhatIsThere();
    void unwritableLogIsSkipped_data();
    void unwritableLogIsSkipped();
    void seriousError_data();
    void seriousError();
    void classIdsOverflow();

private:
    QByteArray logContent() const;

    std::unique_ptr<TestWorld> m_world;
};

void TestErrorLog::init()
{
    m_world = std::make_unique<TestWorld>();
    m_world->clock.set(QDate(2026, 12, 8), QTime(7, 5, 9));
}

void TestErrorLog::cleanup()
{
    m_world.reset();
}

QByteArray TestErrorLog::logContent() const
{
    return readFile(m_world->paths->inProgramFolder(QStringLiteral("error.log")));
}

void TestErrorLog::logLines_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("plain")
        << "jdoe"
        << "frmJobList2, Form_Load Event Start 3049-damaged"
        << QByteArray("2026-12-08 07:05:09 jdoe frmJobList2, Form_Load Event Start 3049-damaged\r\n");
    // The message goes in unchanged: a line feed in it starts a second physical line.
    QTest::newRow("line feed") << "jdoe"
                               << "first part\nsecond part"
                               << QByteArray("2026-12-08 07:05:09 jdoe first part\nsecond part\r\n");
    QTest::newRow("no user yet") << ""
                                 << "before login" << QByteArray("2026-12-08 07:05:09  before login\r\n");
    QTest::newRow("accented text")
        << "jdoe" << QString::fromUtf8("Zähler übergelaufen")
        << QString::fromUtf8("2026-12-08 07:05:09 jdoe Zähler übergelaufen\r\n").toUtf8();
}

void TestErrorLog::logLines()
{
    QFETCH(QString, user);
    QFETCH(QString, message);
    QFETCH(QByteArray, line);

    m_world->session->networkUserName = user;
    m_world->session->writeErrorLog(message);
    QCOMPARE(logContent(), line);
    if (message.contains('\n')) {
        const QList<QByteArray> physical = logContent().split('\n');
        QCOMPARE(physical.size(), 3); // two lines and the empty rest after the last line end
        QCOMPARE(physical.at(1), QByteArray("second part\r"));
    }
}

void TestErrorLog::appendsToWhatIsThere()
{
    QVERIFY(writeFile(m_world->paths->inProgramFolder(QStringLiteral("error.log")),
                      "2026-12-01 10:00:00 other earlier failure\r\n"));
    m_world->session->writeErrorLog(QStringLiteral("one"));
    m_world->clock.set(QDate(2026, 12, 8), QTime(23, 59, 59));
    // A second workstation with its own log object appends to the same file.
    ErrorLog(*m_world->paths, m_world->clock).write(QStringLiteral("asmith"), QStringLiteral("two"));
    QCOMPARE(logContent(), QByteArray("2026-12-01 10:00:00 other earlier failure\r\n"
                                      "2026-12-08 07:05:09 jdoe one\r\n"
                                      "2026-12-08 23:59:59 asmith two\r\n"));
}

void TestErrorLog::unwritableLogIsSkipped_data()
{
    QTest::addColumn<bool>("folderMissing");

    QTest::newRow("error.log is a folder") << false;
    // the log then goes to the user's data folder, which is a file here
    QTest::newRow("program folder missing, no data folder") << true;
}

void TestErrorLog::unwritableLogIsSkipped()
{
    QFETCH(bool, folderMissing);

    const QString folder = m_world->paths->programFolder();
    if (folderMissing) {
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QDir(m_world->paths->userDataFolder()).removeRecursively());
        QVERIFY(writeFile(m_world->paths->userDataFolder(), "not a folder"));
    } else {
        QVERIFY(QDir(folder).mkdir(QStringLiteral("error.log")));
    }

    const ErrorLog log(*m_world->paths, m_world->clock);
    QVERIFY(!log.write(QStringLiteral("jdoe"), QStringLiteral("lost")));
    // The serious-error dialog still reaches the user, and OK carries on.
    m_world->session->showSeriousError(QStringLiteral("lost"));
    QCOMPARE(m_world->prompter.messages().size(), 1);
    QVERIFY(m_world->endRequests.isEmpty());
}

void TestErrorLog::seriousError_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("ends");

    QTest::newRow("OK carries on") << MsgAnswer::Ok << false;
    QTest::newRow("Cancel ends the program") << MsgAnswer::Cancel << true;
}

void TestErrorLog::seriousError()
{
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, ends);

    QByteArray logWhenEnding;
    m_world->session->setEndProgramHandler([&](int code) {
        m_world->endRequests.append(code);
        logWhenEnding = logContent();
    });
    m_world->prompter.script({answer});
    const QString message = QStringLiteral("frmJobList2, Form_Load Event wrap-up 3021-No current record.");
    m_world->session->showSeriousError(message);

    QCOMPARE(m_world->prompter.messages().size(), 1);
    const PromptMessage shown = m_world->prompter.messages().first();
    QCOMPARE(shown.text, QStringLiteral("An error has occurred.  The operation you just attempted MAY NOT "
                                        "have completed due to it.\nThe error message is this: ") +
                             message +
                             QStringLiteral("\nPress OK to continue, or Cancel to end the program."));
    QCOMPARE(shown.title, QStringLiteral("Serious Error"));
    QCOMPARE(shown.icon, MsgIcon::Critical);
    QCOMPARE(shown.buttons, MsgButtons::OkCancel);
    // The log holds the caller's message alone, not the dialog's text.
    const QByteArray line = "2026-12-08 07:05:09 jdoe " + message.toUtf8() + "\r\n";
    QCOMPARE(logContent(), line);
    QCOMPARE(m_world->endRequests.size(), ends ? 1 : 0);
    if (ends)
        QCOMPARE(logWhenEnding, line);
}

void TestErrorLog::classIdsOverflow()
{
    ClassIdGenerator ids(std::numeric_limits<qint32>::max() - 1);
    QCOMPARE(ids.next(), std::numeric_limits<qint32>::max());
    QVERIFY_THROWS_EXCEPTION(std::overflow_error, ids.next());
    // The counter does not wrap into negative identifiers.
    QVERIFY_THROWS_EXCEPTION(std::overflow_error, ids.next());
}

QTEST_GUILESS_MAIN(TestErrorLog)
#include "test_errorlog.moc"
