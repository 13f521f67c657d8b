#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

class Paths;
class QIODevice;

// What came out of a stored check sheet: the document, or why there is none.
struct ExtractedDocument
{
    QByteArray bytes;
    QString failure; // empty when the document was read
    bool ok() const { return failure.isEmpty(); }
};

// The way a check sheet leaves the `Check Sheet` field: written in 32000-byte chunks to the
// temporary file "~OLE.TMP", its header skipped by the 16-bit length at byte 2, the document read
// from behind it, and the file deleted again.
class CheckSheetFile
{
public:
    static constexpr int ChunkSize = 32000;

    static QString fileName() { return QStringLiteral("~OLE.TMP"); }

    // The folder of the temporary file: the variable Temp (or TEMP), else Tmp (or TMP), else the
    // workstation's data folder. One trailing separator is dropped. environment gives a variable's
    // value, empty when unset.
    static QString temporaryFolder(const Paths &paths,
                                   const std::function<QString(const char *)> &environment);
    static QString systemEnvironment(const char *name);

    // The sizes of the writes that copy a field of size bytes: whole chunks, then the rest.
    static QList<qint64> chunkSizes(qint64 size);
    static bool writeInChunks(QIODevice &file, const QByteArray &field);

    // Extracts the document through a temporary file in folder. The file is created new (never
    // opened through a file or link already there, as a shared temporary folder may hold one of
    // another account) and always deleted afterwards.
    static ExtractedDocument extract(const QByteArray &field, const QString &folder);
};
