#include "TestSupport.h"

#include "tools/CheckSheetFile.h"
#include "tools/CheckSheets.h"

#include <QBuffer>
#include <QDir>
#include <QtTest>

// How a check sheet leaves its field: the chunked copy, the header, the temporary file.
class TestCheckSheet : public QObject
{
    Q_OBJECT

private slots:
    void chunks_data();
    void chunks();
    void temporaryFolder_data();
    void temporaryFolder();
    void extractSkipsTheHeader();
    void extractNeverWritesThroughWhatIsThere();
    void activeParts();
};

namespace {
// Records the size of every write.
class RecordingBuffer : public QBuffer
{
public:
    QList<qint64> writes;

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        writes.append(size);
        return QBuffer::writeData(data, size);
    }
};

QByteArray stored(const QByteArray &document, int headerLength = 12)
{
    QByteArray header(headerLength, 'h');
    header[2] = char(headerLength & 0xff);
    header[3] = char(headerLength >> 8);
    return header + document;
}
} // namespace

void TestCheckSheet::chunks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<qint64>>("writes");
    QTest::newRow("empty") << 0 << QList<qint64>{};
    QTest::newRow("one byte") << 1 << QList<qint64>{1};
    QTest::newRow("exactly one chunk") << 32000 << QList<qint64>{32000};
    QTest::newRow("one byte more") << 32001 << QList<qint64>{32000, 1};
    QTest::newRow("two chunks and a rest") << 64999 << QList<qint64>{32000, 32000, 999};
}

void TestCheckSheet::chunks()
{
    QFETCH(int, size);
    QFETCH(QList<qint64>, writes);
    QByteArray field(size, '\0');
    for (int i = 0; i < size; ++i)
        field[i] = char(i * 7);
    RecordingBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(CheckSheetFile::writeInChunks(buffer, field));
    QCOMPARE(buffer.writes, writes);
    QCOMPARE(buffer.data(), field);
}

void TestCheckSheet::temporaryFolder_data()
{
    QTest::addColumn<QStringList>("variables"); // name=value
    QTest::addColumn<QString>("folder");        // "<data>" for the data folder
    QTest::newRow("Temp") << QStringList{"Temp=/t/one", "Tmp=/t/two"} << "/t/one";
    QTest::newRow("TEMP") << QStringList{"TEMP=/t/upper"} << "/t/upper";
    QTest::newRow("Tmp when Temp is empty") << QStringList{"Temp=", "Tmp=/t/two"} << "/t/two";
    QTest::newRow("TMP") << QStringList{"TMP=/t/three/"} << "/t/three";
    QTest::newRow("one backslash dropped") << QStringList{"Temp=C:\\TEMP\\"} << "C:\\TEMP";
    QTest::newRow("neither") << QStringList{} << "<data>";
}

void TestCheckSheet::temporaryFolder()
{
    QFETCH(QStringList, variables);
    QFETCH(QString, folder);
    const FixedPaths paths(QStringLiteral("/plant"));
    const auto environment = [&](const char *name) {
        for (const QString &variable : variables) {
            if (variable.section('=', 0, 0) == QLatin1String(name))
                return variable.section('=', 1);
        }
        return QString();
    };
    const QString expected = folder == QLatin1String("<data>") ? paths.localDataRoot() : folder;
    QCOMPARE(CheckSheetFile::temporaryFolder(paths, environment), expected);
}

void TestCheckSheet::extractSkipsTheHeader()
{
    QTemporaryDir dir;
    const QByteArray document = QByteArray("%PDF-1.4 ") + QByteArray(40000, 'x');
    const ExtractedDocument extracted = CheckSheetFile::extract(stored(document, 300), dir.path());
    QVERIFY2(extracted.ok(), qPrintable(extracted.failure));
    QCOMPARE(extracted.bytes, document);
    // The temporary file is gone afterwards, also when nothing could be read.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    QVERIFY(!CheckSheetFile::extract({}, dir.path()).ok());
    QVERIFY(!CheckSheetFile::extract(stored({}, 8), dir.path()).ok());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
}

void TestCheckSheet::extractNeverWritesThroughWhatIsThere()
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("victim.txt"));
    QVERIFY(writeFile(victim, "keep me"));
    const QString ole = dir.filePath(CheckSheetFile::fileName());
    for (const bool asLink : {false, true}) {
        if (asLink)
            QVERIFY(QFile::link(victim, ole));
        else
            QVERIFY(writeFile(ole, "another account's file"));
        const ExtractedDocument extracted = CheckSheetFile::extract(stored("document"), dir.path());
        QVERIFY2(extracted.ok(), qPrintable(extracted.failure));
        QCOMPARE(extracted.bytes, QByteArray("document"));
        QCOMPARE(readFile(victim), QByteArray("keep me"));
        QVERIFY(QFileInfo(ole).isSymLink() == asLink);
        if (!asLink)
            QCOMPARE(readFile(ole), QByteArray("another account's file"));
        QFile::remove(ole);
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{QStringLiteral("victim.txt")});
}

void TestCheckSheet::activeParts()
{
    DatabaseWorld world(QStringLiteral("C"), {QStringLiteral("10-1042")});
    Fixture::job(world.db, QStringLiteral("20-0101"), {}, false);
    world.db.exec(
        QStringLiteral(
            "UPDATE \"Job Lookup Table\" SET \"Check Sheet\" = :s WHERE \"Job Number\" = '10-1042'"),
        {{QStringLiteral("s"), stored("sheet")}});
    const CheckSheets sheets(world.db);
    const QList<PartEntry> parts = sheets.activeParts();
    QCOMPARE(parts.size(), 1);
    QCOMPARE(parts[0].number, QStringLiteral("10-1042"));
    QCOMPARE(sheets.field(QStringLiteral("10-1042")), stored("sheet"));
    QVERIFY(sheets.field(QStringLiteral("20-0101")).isEmpty());
}

QTEST_GUILESS_MAIN(TestCheckSheet)
#include "test_checksheet.moc"
