#include "TestSupport.h"

#include "foundation/ServerAddress.h"

#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

// The database layer: opening files in every state the plant meets, the engine numbers callers
// test, bound parameters and transactions.
class TestDatabase : public QObject
{
    Q_OBJECT

private slots:
    void serverAddressConnectsWithinATimeLimit_data();
    void serverAddressConnectsWithinATimeLimit();
    void serverAddressSurvivesItsOwnSpelling_data();
    void serverAddressSurvivesItsOwnSpelling();
    void init();
    void cleanup();
    void openFailures_data();
    void openFailures();
    void zeroLengthFileIsAnEmptyDatabase();
    void readOnlyFileRefusedForWriting();
    void readOnlyConnectionRefusesWrites();
    void createFileRefusesAnExistingFile();
    void sharedFileSettings();
    void alreadyExists_data();
    void alreadyExists();
    void scalar();
    void boundValuesRoundTrip_data();
    void boundValuesRoundTrip();
    void parameterNamesWithBlanks();
    void textThatLooksLikeAParameter_data();
    void textThatLooksLikeAParameter();
    void missingParameterIsNamed();
    void transactions();
    void movedConnectionStaysUsable();
    void writeWhileAnotherWriterHoldsTheFile();
    void statementsAreUsedAgain();
    void oneStatementAtATime_data();
    void oneStatementAtATime();
    void rowsLetGoHoldNoLock();
    void savedQueryTextIsReadOncePerConnection();

private:
    QString path(const QString &name = QStringLiteral("test.mdb")) const { return m_dir->filePath(name); }
    // A new file at path() with an empty [Job Lookup Table].
    Database newDatabase() const;
    static int rowCount(const Database &db);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestDatabase::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestDatabase::cleanup()
{
    // No test may leave a connection behind, even one whose open failed.
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
    m_dir.reset();
}

Database TestDatabase::newDatabase() const
{
    Database db = Database::createFile(path());
    db.exec(QStringLiteral("CREATE TABLE \"Job Lookup Table\" (\"Job Number\" TEXT PRIMARY KEY, "
                           "\"Job Description\" TEXT, \"Active\" INTEGER)"));
    return db;
}

int TestDatabase::rowCount(const Database &db)
{
    return db.scalar(QStringLiteral("SELECT count(*) FROM \"Job Lookup Table\"")).toInt();
}

void TestDatabase::openFailures_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("number");

    const QByteArray text = "This is a text file renamed to look like a database.\r\n";
    QByteArray badPages("SQLite format 3", 16);
    badPages += QByteArray(4080, '\xA5');

    QTest::newRow("missing file") << "missing.mdb" << QByteArray() << int(Database::ReadWrite)
                                  << DbErrors::FileNotFound;
    QTest::newRow("missing file read-only")
        << "missing.mdb" << QByteArray() << int(Database::ReadOnly) << DbErrors::FileNotFound;
    QTest::newRow("empty path") << "" << QByteArray() << int(Database::ReadWrite) << DbErrors::FileNotFound;
    QTest::newRow("text file") << "QUORVEL.MDB" << text << int(Database::ReadWrite) << DbErrors::Damaged;
    QTest::newRow("text file read-only")
        << "QUORVEL.MDB" << text << int(Database::ReadOnly) << DbErrors::Damaged;
    QTest::newRow("header then garbage")
        << "QUORVEL.MDB" << badPages << int(Database::ReadWrite) << DbErrors::Damaged;
}

void TestDatabase::openFailures()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(int, number);

    const QString file = fileName.isEmpty() ? QString() : path(fileName);
    if (!content.isEmpty())
        QVERIFY(writeFile(file, content));
    const auto error = errorOf<DatabaseError>([&] { Database::open(file, Database::Mode(mode)); });
    QVERIFY2(error, "the open succeeded");
    QCOMPARE(error->number(), number);
    QVERIFY(!error->description().isEmpty());
    // A damaged file is left exactly as it was for the repair to work on.
    if (!content.isEmpty())
        QCOMPARE(readFile(file), content);
}

void TestDatabase::zeroLengthFileIsAnEmptyDatabase()
{
    // The engine reads a zero-length file as an empty database: it opens, but every production
    // table and saved query is missing, and asking for one is an error, not a crash.
    QVERIFY(writeFile(path(), QByteArray()));
    for (Database::Mode mode : {Database::ReadOnly, Database::ReadWrite}) {
        Database db = Database::open(path(), mode);
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master")).toInt(), 0);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db.savedQuerySql(QStringLiteral("JobIDs")));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db.execSaved(QStringLiteral("Get Highest Date")));
        QVERIFY_THROWS_EXCEPTION(DatabaseError,
                                 db.exec(QStringLiteral("SELECT * FROM \"Production Table\"")));
    }
}

void TestDatabase::readOnlyFileRefusedForWriting()
{
    newDatabase();
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    if (QFileInfo(path()).isWritable())
        QSKIP("the file stays writable for this user (running as root)");

    const auto error = errorOf<DatabaseError>([&] { Database::open(path(), Database::ReadWrite); });
    QVERIFY2(error, "a read-only file was opened for writing");
    QCOMPARE(error->number(), DbErrors::ReadOnly);
    // Reading it is still possible.
    Database db = Database::open(path(), Database::ReadOnly);
    QCOMPARE(rowCount(db), 0);
}

void TestDatabase::readOnlyConnectionRefusesWrites()
{
    newDatabase();
    Database db = Database::open(path(), Database::ReadOnly);
    const auto error = errorOf<DatabaseError>(
        [&] { db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('A-1', 'x', 1)")); });
    QVERIFY2(error, "a read-only connection wrote a row");
    QCOMPARE(error->number(), DbErrors::ReadOnly);
    QCOMPARE(rowCount(db), 0);
}

void TestDatabase::createFileRefusesAnExistingFile()
{
    QVERIFY(writeFile(path(), "precious"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Database::createFile(path()));
    QCOMPARE(readFile(path()), QByteArray("precious"));
}

void TestDatabase::sharedFileSettings()
{
    // Several workstations share the file over the network: rollback journal, not WAL, and the
    // relations are enforced on every connection, including ones opened later.
    {
        Database db = Database::createFile(path());
        QCOMPARE(db.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("delete"));
    }
    Database db = Database::open(path());
    QCOMPARE(db.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("delete"));
    QCOMPARE(db.scalar(QStringLiteral("PRAGMA foreign_keys")).toInt(), 1);
    Database reader = Database::open(path(), Database::ReadOnly);
    QCOMPARE(reader.scalar(QStringLiteral("PRAGMA foreign_keys")).toInt(), 1);
}

void TestDatabase::alreadyExists_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("number");

    QTest::newRow("table created twice")
        << "CREATE TABLE \"Job Lookup Table\" (\"Job Number\" TEXT)" << DbErrors::TableExists;
    QTest::newRow("index created twice")
        << "CREATE INDEX \"Jobs\" ON \"Job Lookup Table\"(\"Active\")" << DbErrors::TableExists;
    // A duplicate key is a different failure, even when the value itself reads "already exists".
    QTest::newRow("duplicate key") << "INSERT INTO \"Job Lookup Table\" VALUES ('already exists', 'x', 1)"
                                   << DbErrors::Other;
    QTest::newRow("row others refer to")
        << "DELETE FROM \"Job Lookup Table\" WHERE \"Active\" = 1" << DbErrors::HasRelated;
}

void TestDatabase::alreadyExists()
{
    QFETCH(QString, sql);
    QFETCH(int, number);

    Database db = newDatabase();
    db.exec(QStringLiteral("CREATE INDEX \"Jobs\" ON \"Job Lookup Table\"(\"Active\")"));
    db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('already exists', 'x', 1)"));
    db.exec(QStringLiteral(
        "CREATE TABLE \"Lines\" (\"Job Number\" TEXT REFERENCES \"Job Lookup Table\"(\"Job Number\"))"));
    db.exec(QStringLiteral("INSERT INTO \"Lines\" VALUES ('already exists')"));
    const auto error = errorOf<DatabaseError>([&] { db.exec(sql); });
    QVERIFY2(error, "the statement succeeded");
    QCOMPARE(error->number(), number);
    // The statement goes to the error log, never into what the user reads.
    QVERIFY2(!error->description().contains(sql.section(' ', 0, 1)), qPrintable(error->description()));
    QVERIFY2(error->detail().startsWith(sql), qPrintable(error->detail()));
}

void TestDatabase::scalar()
{
    Database db = newDatabase();
    const auto error = errorOf<DatabaseError>(
        [&] { db.scalar(QStringLiteral("SELECT \"Job Number\" FROM \"Job Lookup Table\"")); });
    QVERIFY2(error, "a value was read from no row");
    QCOMPARE(error->number(), DbErrors::NoCurrentRecord);
    // A row whose value is Null is a row: the value is Null, not an error.
    const QVariant max = db.scalar(QStringLiteral("SELECT MAX(\"Job Number\") FROM \"Job Lookup Table\""));
    QVERIFY(max.isNull());
}

void TestDatabase::boundValuesRoundTrip_data()
{
    QTest::addColumn<QString>("jobNumber");

    QTest::newRow("apostrophe") << "O'Brien's cap";
    QTest::newRow("quote and bracket") << "\"lid\" \"large\"";
    QTest::newRow("statement text") << "x'); DROP TABLE [Job Lookup Table]; --";
    QTest::newRow("colon word") << "A:B :name";
}

void TestDatabase::boundValuesRoundTrip()
{
    QFETCH(QString, jobNumber);

    Database db = newDatabase();
    const QVariantMap params{{QStringLiteral("n"), jobNumber}};
    db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" (\"Job Number\") VALUES (:n)"), params);
    QCOMPARE(
        db.scalar(QStringLiteral("SELECT \"Job Number\" FROM \"Job Lookup Table\" WHERE \"Job Number\" = :n"),
                  params)
            .toString(),
        jobNumber);
    QCOMPARE(rowCount(db), 1);
}

void TestDatabase::parameterNamesWithBlanks()
{
    Database db = newDatabase();
    db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('A-1', 'cap', 1), ('B-2', 'lid', 0)"));

    // Saved queries name their parameters as the plant does ("This Date"); the same parameter may
    // appear more than once in one statement.
    QSqlQuery q =
        db.exec(QStringLiteral("SELECT \"Job Number\", :ThisDate FROM \"Job Lookup Table\" "
                               "WHERE \"Active\" = :ThisShift OR \"Job Number\" = :ThisDate "
                               "ORDER BY \"Job Number\""),
                {{QStringLiteral("This Date"), QStringLiteral("B-2")}, {QStringLiteral("This Shift"), 1}});
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + '/' + q.value(1).toString();
    QCOMPARE(rows, (QStringList{QStringLiteral("A-1/B-2"), QStringLiteral("B-2/B-2")}));
}

void TestDatabase::textThatLooksLikeAParameter_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");

    // Only placeholders outside quoted text and bracketed names need a value.
    QTest::newRow("in quoted text") << "SELECT ':ThisDate'"
                                    << ":ThisDate";
    QTest::newRow("in a bracketed alias") << "SELECT 'x' AS \"a :b\""
                                          << "x";
    QTest::newRow("time literal") << "SELECT '10:00:00'"
                                  << "10:00:00";
}

void TestDatabase::textThatLooksLikeAParameter()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);

    Database db = Database::createFile(path());
    QCOMPARE(db.scalar(sql).toString(), expected);
}

void TestDatabase::missingParameterIsNamed()
{
    Database db = newDatabase();
    const auto error = errorOf<DatabaseError>([&] {
        db.exec(
            QStringLiteral(
                "SELECT * FROM \"Job Lookup Table\" WHERE \"Job Number\" = :Job AND \"Active\" = :Active"),
            {{QStringLiteral("Job"), QStringLiteral("A-1")}});
    });
    QVERIFY2(error, "a statement ran with a parameter left unbound");
    QVERIFY2(error->description().contains(QStringLiteral("'Active'")), qPrintable(error->description()));
}

void TestDatabase::transactions()
{
    Database db = newDatabase();
    {
        Transaction transaction(db);
        db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('A-1', 'cap', 1)"));
        // Not committed: leaving the scope undoes the row.
    }
    QCOMPARE(rowCount(db), 0);
    try {
        Transaction transaction(db);
        db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('A-1', 'cap', 1)"));
        db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('A-1', 'again', 1)"));
        transaction.commit();
    } catch (const DatabaseError &) {
    }
    QCOMPARE(rowCount(db), 0);
    {
        Transaction transaction(db);
        db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('B-2', 'lid', 1)"));
        transaction.commit();
    }
    // A committed row is there for another connection too.
    Database other = Database::open(path(), Database::ReadOnly);
    QCOMPARE(rowCount(other), 1);
}

void TestDatabase::movedConnectionStaysUsable()
{
    Database first = newDatabase();
    Database second = std::move(first);
    QVERIFY(!first.isOpen());
    QVERIFY(second.isOpen());
    QCOMPARE(rowCount(second), 0);
    first.close(); // closing the moved-from object must not close the moved one
    QCOMPARE(rowCount(second), 0);
    second.close();
    QVERIFY(!second.isOpen());
}

void TestDatabase::writeWhileAnotherWriterHoldsTheFile()
{
    newDatabase();
    Database holder = Database::open(path());
    Database other = Database::open(path());
    Transaction transaction(holder);
    holder.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('A-1', 'cap', 1)"));
    // The other workstation waits out the busy timeout, then is told the file is locked.
    const auto error = errorOf<DatabaseError>(
        [&] { other.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('B-2', 'lid', 1)")); });
    QVERIFY2(error, "two writers wrote at once");
    QCOMPARE(error->number(), DbErrors::Locked);
    QCOMPARE(error->description(),
             QStringLiteral("Another workstation is writing to the database; try again in a moment."));
    QVERIFY(error->detail().contains(
        QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('B-2', 'lid', 1)")));
    transaction.commit();
    QCOMPARE(rowCount(other), 1);
}

void TestDatabase::statementsAreUsedAgain()
{
    Database db = newDatabase();
    const QString insert = QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES (:job, 'x', 1)");
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(db.insert(insert, {{QStringLiteral("job"), QStringLiteral("J-%1").arg(i)}}), i);
    const QString select =
        QStringLiteral("SELECT \"Job Number\" FROM \"Job Lookup Table\" WHERE \"Active\" = :on ORDER BY 1");
    QSqlQuery outer = db.exec(select, {{QStringLiteral("on"), 1}});
    QVERIFY(outer.next());
    // The same text run while the first rows are still held gets a statement of its own.
    QSqlQuery inner = db.exec(select, {{QStringLiteral("on"), 1}});
    QStringList seen;
    while (inner.next())
        seen << inner.value(QStringLiteral("Job Number")).toString();
    QCOMPARE(seen, QStringList({"J-1", "J-2", "J-3"}));
    QVERIFY(outer.next());
    QCOMPARE(outer.value(0).toString(), QStringLiteral("J-2"));
    // Rows held past the connection's close end there.
    db.close();
    QVERIFY(!outer.next());
}

void TestDatabase::oneStatementAtATime_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("refused");
    QTest::newRow("a read, then a delete") << "SELECT 1; DELETE FROM \"Job Lookup Table\"" << true;
    QTest::newRow("a delete, then a read") << "DELETE FROM \"Job Lookup Table\"; SELECT 1" << true;
    QTest::newRow("a delete, then a comment") << "DELETE FROM \"Job Lookup Table\"; -- x" << false;
    QTest::newRow("closing semicolon and blanks") << "DELETE FROM \"Job Lookup Table\" ;  \n" << false;
}

// A text of two statements is refused whole: none of it runs, not the first part only.
void TestDatabase::oneStatementAtATime()
{
    QFETCH(QString, sql);
    QFETCH(bool, refused);
    Database db = newDatabase();
    db.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('A-1', 'x', 1)"));

    const auto error = errorOf<DatabaseError>([&] { db.exec(sql); });

    QCOMPARE(bool(error), refused);
    QCOMPARE(rowCount(db), refused ? 1 : 0);
}

void TestDatabase::rowsLetGoHoldNoLock()
{
    Database reader = newDatabase();
    for (const char *job : {"A-1", "B-2", "C-3"})
        reader.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES (:job, 'x', 1)"),
                    {{QStringLiteral("job"), QString::fromLatin1(job)}});
    for (int i = 0; i < 2; ++i) {
        QSqlQuery firstRow = reader.exec(QStringLiteral("SELECT \"Job Number\" FROM \"Job Lookup Table\""));
        QVERIFY(firstRow.next()); // one row of three read, then let go
    }
    // Another workstation writes at once: a statement kept for reuse holds no read lock.
    Database writer = Database::open(path());
    Transaction transaction(writer);
    writer.exec(QStringLiteral("INSERT INTO \"Job Lookup Table\" VALUES ('D-4', 'x', 1)"));
    transaction.commit();
    QCOMPARE(rowCount(reader), 4);
}

void TestDatabase::savedQueryTextIsReadOncePerConnection()
{
    Database db = newDatabase();
    db.exec(QStringLiteral(
        "CREATE TABLE \"Saved Queries\" (\"Query Name\" TEXT PRIMARY KEY, \"SQL Text\" TEXT)"));
    db.exec(QStringLiteral("INSERT INTO \"Saved Queries\" VALUES ('Answer', 'SELECT 1')"));
    auto answer = [](const Database &on) {
        QSqlQuery query = on.execSaved(QStringLiteral("Answer"));
        return query.next() ? query.value(0).toInt() : -1;
    };
    QCOMPARE(answer(db), 1);
    Database other = Database::open(path());
    other.exec(QStringLiteral("UPDATE \"Saved Queries\" SET \"SQL Text\" = 'SELECT 2'"));
    QCOMPARE(answer(db), 1);
    QCOMPARE(answer(other), 2);
    db.forgetSavedQueries();
    QCOMPARE(answer(db), 2);
}

QTEST_GUILESS_MAIN(TestDatabase)
void TestDatabase::serverAddressConnectsWithinATimeLimit_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("timeout");
    QTest::newRow("none given") << "postgresql://dbhost/kelvara"
                                << "connect_timeout=10";
    QTest::newRow("the address's own") << "postgresql://dbhost/kelvara?connect_timeout=3&sslmode=require"
                                       << "connect_timeout=3";
}

// A machine that is gone must not keep a window waiting for minutes.
void TestDatabase::serverAddressConnectsWithinATimeLimit()
{
    QFETCH(QString, uri);
    QFETCH(QString, timeout);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("address"));
        ServerAddress::parse(uri).applyTo(db, QStringLiteral("application_name=Kelvara"));
        const QStringList options = db.connectOptions().split(';');
        QCOMPARE(options.filter(QStringLiteral("connect_timeout=")), QStringList{timeout});
        QVERIFY(options.contains(QStringLiteral("application_name=Kelvara")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("address"));
}

void TestDatabase::serverAddressSurvivesItsOwnSpelling_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("host");
    QTest::newRow("socket folder") << "postgresql:///kelvara?host=/var/run/postgresql"
                                   << "/var/run/postgresql";
    QTest::newRow("socket folder, login, port")
        << "postgresql:///kelvara?host=/tmp/kpg.X1&port=5433&user=kelvara_admin"
        << "/tmp/kpg.X1";
    QTest::newRow("host") << "postgresql://dbhost/kelvara"
                          << "dbhost";
    QTest::newRow("login, host, port, sslmode") << "postgresql://jdoe@dbhost:5433/kelvara?sslmode=require"
                                                << "dbhost";
    QTest::newRow("IPv6 host") << "postgresql://[::1]:5432/kelvara"
                               << "::1";
    QTest::newRow("option with a blank") << "postgresql://dbhost/kelvara?application_name=Line%20A"
                                         << "dbhost";
}

// Every administrator command opens the server's own database on the same address: the address
// written back must be the one read.
void TestDatabase::serverAddressSurvivesItsOwnSpelling()
{
    QFETCH(QString, uri);
    QFETCH(QString, host);
    const ServerAddress address = ServerAddress::parse(uri);
    QCOMPARE(address.host, host);
    QCOMPARE(address.uri(), uri);
    const ServerAddress again = ServerAddress::parse(address.on(QStringLiteral("postgres")).uri());
    QCOMPARE(again.host, address.host);
    QCOMPARE(again.port, address.port);
    QCOMPARE(again.user, address.user);
    QCOMPARE(again.options, address.options);
    QCOMPARE(again.database, QStringLiteral("postgres"));
}

#include "test_database.moc"
