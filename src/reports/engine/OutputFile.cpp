#include "OutputFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>

OutputFile::OutputFile(const QString &path) : QSaveFile(path) {}

bool OutputFile::open()
{
    return QSaveFile::open(QIODevice::WriteOnly) || fail();
}

QString OutputFile::writerPath() const
{
    return isOpen() ? QStringLiteral("/proc/self/fd/%1").arg(handle()) : QString();
}

qint64 OutputFile::writeData(const char *data, qint64 length)
{
    if (!m_failure.isEmpty())
        return -1;
    const qint64 written = QSaveFile::writeData(data, length);
    // the file device takes a write cut short by a full disk as done: only the count tells
    if (written != length) {
        fail();
        return -1;
    }
    return written;
}

bool OutputFile::commit()
{
    if (!m_failure.isEmpty()) {
        cancelWriting();
        QSaveFile::commit(); // discards the new file
        return false;
    }
    // a writer that wrote by name wrote past this device's own position
    const bool flushed = flush() && size() >= pos();
    if (!flushed) {
        fail();
        cancelWriting();
        QSaveFile::commit();
        return false;
    }
    return QSaveFile::commit() || fail();
}

bool OutputFile::fail()
{
    if (m_failure.isEmpty()) {
        m_errno = errno;
        m_failure = errorString();
        if (m_failure.isEmpty() || m_failure == QLatin1String("Unknown error"))
            m_failure =
                m_errno != 0 ? qt_error_string(m_errno) : QStringLiteral("it could not be written whole");
    }
    return false;
}

QString OutputFile::failure() const
{
    const QString path = QDir::toNativeSeparators(fileName());
    const QString folder = QDir::toNativeSeparators(QFileInfo(fileName()).absolutePath());
    const QStorageInfo disk(QFileInfo(fileName()).absolutePath());
    const bool full = m_errno == ENOSPC || m_errno == EDQUOT || error() == QFileDevice::ResourceError ||
                      (disk.isValid() && disk.bytesAvailable() < 64 * 1024);
    if (full)
        return QStringLiteral("The disk holding \"%1\" is full: \"%2\" was not written, and a file "
                              "already there is unchanged.")
            .arg(folder, path);
    return QStringLiteral("The file \"%1\" could not be written (%2); a file already there is unchanged.")
        .arg(path, m_failure.isEmpty() ? QStringLiteral("it was not written whole") : m_failure);
}
