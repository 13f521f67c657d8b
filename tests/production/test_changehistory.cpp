#include "TestSupport.h"

#include "foundation/HistoryChain.h"
#include "foundation/ServerAddress.h"
#include "production/record/ChangeHistory.h"
#include "production/record/DatabaseCopy.h"
#include "shell/CommandLine.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTextStream>
#include <sqlite3.h>

// The change history as any client meets it: what each audited table's changes write, that a
// change it cannot record is not made, that clients other than the program are recorded (server)
// or refused (file), that the chain finds a row altered behind the triggers' back, and that a
// copy carries the chain whole.
class TestChangeHistory : public QObject
{
    Q_OBJECT

private slots:
    void eachAuditedTableRecordsItsChanges();
    void aChangeThatCannotBeRecordedIsNotMade();
    void theSqliteShellChangesNoAuditedRowNorHistoryRow();
    void aFilesHistoryTakesTheSessionsClockAndLogin();
    void anotherClientOnTheServerIsRecordedAsSuch();
    void aStaleSnapshotCannotForkTheChain();
    void verifyHistoryNamesTheAlteredRow();
    void aCopyBothWaysCarriesTheChainUnchanged();
};

namespace {
// The history rows after the given Change ID, as "table|key|action|field|old|new|job id|date".
QStringList historyAfter(const Database &db, qint64 after)
{
    QStringList rows;
    QSqlQuery query =
        db.exec(QStringLiteral(
                    R"(SELECT "Table Name", "Row Key", "Action", "Field", "Old Value", "New Value", "Job ID",
                       "Date", "Program" FROM "Change History" WHERE "Change ID" > :after ORDER BY "Change ID")"),
                {{QStringLiteral("after"), after}});
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < 8; ++i)
            values << (query.value(i).isNull() ? QStringLiteral("-") : query.value(i).toString());
        rows << values.join(QLatin1Char('|'));
        if (query.value(8).toString() != HistoryChain::programName())
            rows << QStringLiteral("written by ") + query.value(8).toString();
    }
    return rows;
}

qint64 newestId(const Database &db)
{
    return db.scalar(QStringLiteral(R"(SELECT COALESCE(MAX("Change ID"), 0) FROM "Change History")"))
        .toLongLong();
}

// A connection of the server's own driver, as psql or any other client makes one.
class OtherClient
{
public:
    explicit OtherClient(const QString &uri, const QString &name) : m_name(name)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        ServerAddress::parse(uri).applyTo(db, {});
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    }
    ~OtherClient() { QSqlDatabase::removeDatabase(m_name); }
    // The statement's error, empty when it ran.
    QString run(const QString &sql) const
    {
        QSqlQuery query(QSqlDatabase::database(m_name));
        return query.exec(sql) ? QString() : query.lastError().databaseText();
    }

private:
    QString m_name;
};

// The sqlite3 shell: a connection without the program's functions.
class Shell
{
public:
    explicit Shell(const QString &path) { sqlite3_open(QFile::encodeName(path).constData(), &m_db); }
    ~Shell() { sqlite3_close(m_db); }
    QString run(const QString &sql) const
    {
        char *error = nullptr;
        sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error);
        const QString text = error ? QString::fromUtf8(error) : QString();
        sqlite3_free(error);
        return text;
    }

private:
    sqlite3 *m_db = nullptr;
};
} // namespace

void TestChangeHistory::eachAuditedTableRecordsItsChanges()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("J-100")});
    const Database &db = world.db;
    qint64 from = newestId(db);
    const qint64 line = Fixture::line(db, QDate(2026, 12, 8), 2, 7, QStringLiteral("J-100"), 500);
    const QString id = QString::number(line);
    // A new line: its key and what it was given beyond the defaults; date, shift, machine and
    // job are on every row of it.
    QCOMPARE(
        historyAfter(db, from),
        QStringList(
            {QStringLiteral("Production Table|%1|insert|Job ID|-|%1|%1|2026-12-08").arg(id),
             QStringLiteral("Production Table|%1|insert|Job Description|-|Part J-100|%1|2026-12-08").arg(id),
             QStringLiteral("Production Table|%1|insert|Beginning Count|-|500|%1|2026-12-08").arg(id)}));
    from = newestId(db);
    db.exec(
        QStringLiteral(
            R"(UPDATE "Production Table" SET "Ending Count" = 740, "Rejects" = "Rejects" WHERE "Job ID" = %1)")
            .arg(line));
    QCOMPARE(
        historyAfter(db, from),
        QStringList{QStringLiteral("Production Table|%1|change|Ending Count|0|740|%1|2026-12-08").arg(id)});

    // Tickets and distribution rows carry their line's; the distribution row without a line of
    // its own finds it through its hold ticket.
    from = newestId(db);
    const qint64 transfer = Fixture::transfer(db, line, 31, 40);
    const qint64 hold = Fixture::hold(db, line, 77, 12);
    const qint64 distribution = Fixture::distribution(db, hold, QVariant(), 5);
    db.exec(QStringLiteral(R"(UPDATE "Hold Distribution" SET "Job ID" = %1 WHERE "Distribution ID" = %2)")
                .arg(line)
                .arg(distribution));
    db.exec(QStringLiteral(R"(DELETE FROM "Transfer Table" WHERE "Transfer ID" = %1)").arg(transfer));
    const QStringList tickets = historyAfter(db, from);
    const QString t = QString::number(transfer);
    for (const QString &row :
         {QStringLiteral("Transfer Table|%1|insert|Transfer Quantity|-|40|%2|2026-12-08").arg(t, id),
          QStringLiteral("Hold Table|%1|insert|Hold Quantity|-|12|%2|2026-12-08").arg(hold).arg(id),
          QStringLiteral("Hold Distribution|%1|insert|Reworked Quantity|-|5|%2|2026-12-08")
              .arg(distribution)
              .arg(id),
          QStringLiteral("Hold Distribution|%1|change|Job ID|-|%2|%2|2026-12-08").arg(distribution).arg(id),
          QStringLiteral("Transfer Table|%1|delete|Transfer ID|%1|-|%2|2026-12-08").arg(t, id),
          QStringLiteral("Transfer Table|%1|delete|Transfer Number|31|-|%2|2026-12-08").arg(t, id)})
        QVERIFY2(tickets.contains(row), qPrintable(row + QStringLiteral("\n") + tickets.join('\n')));

    // The Security Table, a color feeder sheet, a machine reading, a protection.
    from = newestId(db);
    db.exec(
        QStringLiteral(R"(UPDATE "Security Table" SET "Security Level" = 'B' WHERE "UserName" = 'jdoe')"));
    db.exec(QStringLiteral(R"(INSERT INTO "Color Table" ("Job Number", "Color Feeder Code", "Shot Weight")
                              VALUES ('J-100', 2, 1.5))"));
    db.exec(QStringLiteral(R"(INSERT INTO "Machine Readings" ("Machine Number", "Date", "Shift", "Parameter",
                              "Value", "Read At") VALUES (7, '2026-12-08', 2, 'ActCntPrt', '740', 'now'))"));
    Fixture::protect(db, QDate(2026, 12, 8), 2);
    const QStringList others = historyAfter(db, from);
    for (const QString &row :
         {QStringLiteral("Security Table|jdoe|change|Security Level|C|B|-|-"),
          QStringLiteral("Color Table|1|insert|Shot Weight|-|1.5|-|-"),
          QStringLiteral("Machine Readings|1|insert|Value|-|740|-|2026-12-08"),
          QStringLiteral("Production Table|%1|change|Protected Record|0|1|%1|2026-12-08").arg(id)})
        QVERIFY2(others.contains(row), qPrintable(row + QStringLiteral("\n") + others.join('\n')));
    QCOMPARE(ChangeHistory::verify(db).firstMismatch, 0);
}

// The history's table gone (renamed by the administrator), no audited row can change.
void TestChangeHistory::aChangeThatCannotBeRecordedIsNotMade()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("J-100")});
    const qint64 line = Fixture::line(world.db, QDate(2026, 12, 8), 1, 3, QStringLiteral("J-100"), 0, 10);
    world.db.exec(QStringLiteral(R"(ALTER TABLE "Change History" RENAME TO "Elsewhere")"));
    const QString update =
        QStringLiteral(R"(UPDATE "Production Table" SET "Ending Count" = 99 WHERE "Job ID" = %1)").arg(line);
    QVERIFY(errorOf<DatabaseError>([&] { world.db.exec(update); }));
    QVERIFY(errorOf<DatabaseError>([&] { Fixture::transfer(world.db, line, 1, 5); }));
    QCOMPARE(world.db.scalar(QStringLiteral(R"(SELECT "Ending Count" FROM "Production Table")")).toLongLong(),
             10);
    QCOMPARE(world.db.scalar(QStringLiteral(R"(SELECT count(*) FROM "Transfer Table")")).toLongLong(), 0);
}

void TestChangeHistory::theSqliteShellChangesNoAuditedRowNorHistoryRow()
{
    FILE_DATABASE_ONLY("the server's clients are tested by their logins");
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("J-100")});
    Fixture::line(world.db, QDate(2026, 12, 8), 1, 3, QStringLiteral("J-100"), 0, 10);
    const qint64 rows = newestId(world.db);
    const Shell shell(world.session->options().DatabaseName());
    for (const char *sql :
         {R"(UPDATE "Production Table" SET "Ending Count" = 99)", R"(DELETE FROM "Security Table")",
          R"(INSERT INTO "Color Table" ("Job Number", "Color Feeder Code") VALUES ('J-100', 1))"})
        QVERIFY2(shell.run(QLatin1String(sql)).contains(QLatin1String("kelvara")), sql);
    for (const char *sql :
         {R"(UPDATE "Change History" SET "New Value" = '5')", R"(DELETE FROM "Change History")",
          R"(INSERT INTO "Change History" SELECT * FROM "Change History" LIMIT 1)"})
        QVERIFY2(!shell.run(QLatin1String(sql)).isEmpty(), sql);
    // Not even through the program's own connection, but by its triggers.
    QVERIFY(errorOf<DatabaseError>([&] {
        world.db.exec(
            QStringLiteral(R"(INSERT INTO "Change History" ("Change ID", "Changed At", "Login", "Program",
            "Table Name", "Row Key", "Action", "Field", "Row Hash") VALUES (999, 'x', 'x', 'x', 'x', 'x', 'change',
            'x', 'x'))"));
    }));
    QCOMPARE(newestId(world.db), rows);
    QCOMPARE(world.db.scalar(QStringLiteral(R"(SELECT "Ending Count" FROM "Production Table")")).toLongLong(),
             10);
}

void TestChangeHistory::aFilesHistoryTakesTheSessionsClockAndLogin()
{
    FILE_DATABASE_ONLY("a server records its own clock and the session's login");
    TestWorld world;
    world.createDatabase();
    world.identity.set(QStringLiteral("auditor7"));
    Database db = world.openDatabase();
    Fixture::job(db, QStringLiteral("J-100"));
    for (const QDateTime &when : {QDateTime(QDate(2031, 3, 4), QTime(5, 6, 7, 89)),
                                  QDateTime(QDate(2031, 3, 4), QTime(23, 59, 59, 999))}) {
        world.clock.set(when);
        const qint64 from = newestId(db);
        Fixture::line(db, when.date(), 1, 3, QStringLiteral("J-100"));
        QSqlQuery rows = db.exec(QStringLiteral(R"(SELECT DISTINCT "Changed At", "Login" FROM "Change History"
            WHERE "Change ID" > :from)"),
                                 {{QStringLiteral("from"), from}});
        QVERIFY(rows.next());
        QCOMPARE(rows.value(0).toString().left(23), when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")));
        QCOMPARE(rows.value(1).toString(), QStringLiteral("auditor7"));
        QVERIFY(!rows.next());
    }
}

void TestChangeHistory::anotherClientOnTheServerIsRecordedAsSuch()
{
    if (!onServer())
        QSKIP("a client other than the program on a server");
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("J-100")});
    const qint64 line = Fixture::line(world.db, QDate(2026, 12, 8), 1, 3, QStringLiteral("J-100"));
    const OtherClient psql(world.session->options().DatabaseName(), QStringLiteral("psql"));
    QCOMPARE(
        psql.run(QStringLiteral(R"(UPDATE "Production Table" SET "Ending Count" = 12 WHERE "Job ID" = %1)")
                     .arg(line)),
        QString());
    QSqlQuery newest = world.db.exec(QStringLiteral(
        R"(SELECT "Program", "Login", "Field" FROM "Change History" ORDER BY "Change ID" DESC LIMIT 1)"));
    QVERIFY(newest.next());
    QCOMPARE(newest.value(0).toString(), QStringLiteral("other client"));
    QCOMPARE(newest.value(1).toString(), ServerAddress::parse(testServer()).user);
    QCOMPARE(newest.value(2).toString(), QStringLiteral("Ending Count"));
}

// A writer whose snapshot is older than another's history rows is refused rather than chaining to
// a row that is no longer the newest.
void TestChangeHistory::aStaleSnapshotCannotForkTheChain()
{
    if (!onServer())
        QSKIP("concurrent writers on a server");
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("J-100")});
    const qint64 line = Fixture::line(world.db, QDate(2026, 12, 8), 1, 3, QStringLiteral("J-100"));
    const QString uri = world.session->options().DatabaseName();
    const OtherClient first(uri, QStringLiteral("first")), second(uri, QStringLiteral("second"));
    QCOMPARE(second.run(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ")), QString());
    QCOMPARE(second.run(QStringLiteral(R"(SELECT count(*) FROM "Change History")")), QString());
    QCOMPARE(
        first.run(QStringLiteral(R"(UPDATE "Production Table" SET "Ending Count" = 1 WHERE "Job ID" = %1)")
                      .arg(line)),
        QString());
    QVERIFY(!second
                 .run(QStringLiteral(R"(UPDATE "Production Table" SET "Matec Count" = 2 WHERE "Job ID" = %1)")
                          .arg(line))
                 .isEmpty());
    second.run(QStringLiteral("ROLLBACK"));
    QCOMPARE(ChangeHistory::verify(world.db).firstMismatch, 0);
}

// Altered behind the triggers' back: by the server's administrator, or on a file whose triggers
// were dropped.
void TestChangeHistory::verifyHistoryNamesTheAlteredRow()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("J-100")});
    const qint64 line = Fixture::line(world.db, QDate(2026, 12, 8), 1, 3, QStringLiteral("J-100"), 0, 10);
    world.db.exec(
        QStringLiteral(R"(UPDATE "Production Table" SET "Ending Count" = 25 WHERE "Job ID" = %1)").arg(line));
    const qint64 altered = newestId(world.db) - 1, rows = newestId(world.db);
    const QString tamper =
        QStringLiteral(R"(UPDATE "Change History" SET "New Value" = '2' WHERE "Change ID" = %1)")
            .arg(altered);
    if (onServer()) {
        world.db.exec(QStringLiteral(R"(ALTER TABLE "Change History" DISABLE TRIGGER USER)"));
        world.db.exec(tamper);
    } else {
        const Shell shell(world.session->options().DatabaseName());
        QCOMPARE(shell.run(QStringLiteral(R"(DROP TRIGGER "Change History Kept Update")")), QString());
        QCOMPARE(shell.run(tamper), QString());
    }
    const ChangeHistory::Verification found = ChangeHistory::verify(world.db);
    QCOMPARE(found.rows, rows);
    QCOMPARE(found.firstMismatch, altered);

    QString output, errors;
    QTextStream out(&output), err(&errors);
    QCOMPARE(CommandLine({QStringLiteral("--verify-history")}).verifyHistory(*world.session, out, err), 1);
    err.flush();
    QVERIFY2(errors.contains(QStringLiteral("Change ID %1 ").arg(altered)), qPrintable(errors));
}

void TestChangeHistory::aCopyBothWaysCarriesTheChainUnchanged()
{
    if (!onServer())
        QSKIP("a copy between a file and a server");
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("J-100")});
    const qint64 line = Fixture::line(world.db, QDate(2026, 12, 8), 1, 3, QStringLiteral("J-100"), 0, 10);
    Fixture::transfer(world.db, line, 4, 6);
    const ChangeHistory::Verification original = ChangeHistory::verify(world.db);
    const ServerAddress server = ServerAddress::parse(world.session->options().DatabaseName());
    const QString onServerCopy = server.on(server.database + QStringLiteral("_copy")).uri();
    const QString file = world.file(QStringLiteral("copy.db")), back = world.file(QStringLiteral("back.db"));
    QVERIFY(DatabaseCopy::copy(world.session->options().DatabaseName(), file).copied);
    QVERIFY(DatabaseCopy::copy(file, onServerCopy).copied);
    QVERIFY(DatabaseCopy::copy(onServerCopy, back).copied);
    for (const QString &copy : {file, onServerCopy, back}) {
        const ChangeHistory::Verification found = ChangeHistory::verify(Database::open(copy));
        QCOMPARE(found.rows, original.rows);
        QCOMPARE(found.latestHash, original.latestHash);
        QCOMPARE(found.firstMismatch, 0);
    }
    Database::open(server.on(QStringLiteral("postgres")).uri())
        .exec(QStringLiteral("DROP DATABASE %1 WITH (FORCE)")
                  .arg(quotedName(server.database + QStringLiteral("_copy"))));
}

QTEST_GUILESS_MAIN(TestChangeHistory)
#include "test_changehistory.moc"
