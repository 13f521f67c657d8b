#include "CheckSheetFile.h"

#include "foundation/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {
// Deletes the temporary file however the extraction ends.
class RemoveOnExit
{
public:
    explicit RemoveOnExit(QFile &file) : m_file(file) {}
    ~RemoveOnExit()
    {
        m_file.close();
        m_file.remove();
    }
    RemoveOnExit(const RemoveOnExit &) = delete;
    RemoveOnExit &operator=(const RemoveOnExit &) = delete;

private:
    QFile &m_file;
};

// Creates a new file in folder: "~OLE.TMP", or when that name is taken "~OLE1.TMP" and on.
bool createNew(QFile &file, const QString &folder)
{
    const QDir dir(folder);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            attempt == 0 ? CheckSheetFile::fileName() : QStringLiteral("~OLE%1.TMP").arg(attempt);
        file.setFileName(dir.filePath(name));
        // NewOnly is O_CREAT|O_EXCL: it fails on any existing name, a dangling link included.
        if (file.open(QIODevice::ReadWrite | QIODevice::NewOnly))
            return true;
        if (!QFileInfo::exists(file.fileName()) && !QFileInfo(file.fileName()).isSymLink())
            return false; // not a taken name: the folder cannot be written
    }
    return false;
}
} // namespace

QString CheckSheetFile::systemEnvironment(const char *name)
{
    return qEnvironmentVariable(name);
}

QString CheckSheetFile::temporaryFolder(const Paths &paths,
                                        const std::function<QString(const char *)> &environment)
{
    QString folder;
    for (const char *name : {"Temp", "TEMP", "Tmp", "TMP"}) {
        folder = environment(name);
        if (!folder.isEmpty())
            break;
    }
    if (folder.isEmpty())
        folder = paths.localDataRoot();
    if (folder.endsWith(QLatin1Char('\\')) || folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QList<qint64> CheckSheetFile::chunkSizes(qint64 size)
{
    QList<qint64> sizes(size / ChunkSize, ChunkSize);
    if (size % ChunkSize >= 1)
        sizes.append(size % ChunkSize);
    return sizes;
}

bool CheckSheetFile::writeInChunks(QIODevice &file, const QByteArray &field)
{
    qint64 offset = 0;
    for (const qint64 size : chunkSizes(field.size())) {
        if (file.write(field.constData() + offset, size) != size)
            return false;
        offset += size;
    }
    return true;
}

ExtractedDocument CheckSheetFile::extract(const QByteArray &field, const QString &folder)
{
    QDir().mkpath(folder);
    QFile file;
    if (!createNew(file, folder))
        return {{}, QStringLiteral("No temporary file can be made in '%1'.").arg(folder)};
    const RemoveOnExit removeOnExit(file);
    if (!writeInChunks(file, field) || !file.flush())
        return {{}, QStringLiteral("The temporary file '%1' cannot be written.").arg(file.fileName())};
    uchar length[2];
    if (!file.seek(2) || file.read(reinterpret_cast<char *>(length), 2) != 2)
        return {{}, QStringLiteral("This part has no check sheet.")};
    const quint16 headerLength = qFromLittleEndian<quint16>(length);
    if (headerLength >= file.size() || !file.seek(headerLength))
        return {{}, QStringLiteral("The stored check sheet holds no document.")};
    return {file.readAll(), {}};
}
