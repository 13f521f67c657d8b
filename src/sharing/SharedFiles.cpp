#include "SharedFiles.h"

#include "CurrentUsersFile.h"
#include "foundation/Paths.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kCurrentUsers = QStringLiteral("CURUSERS.DAT");
const QString kLock = QStringLiteral("db.lok");
} // namespace

SharedFiles::SharedFiles(const Paths &paths, const QString &databaseName)
    : m_paths(paths), m_databaseFolder(QFileInfo(databaseName).absolutePath())
{
}

QString SharedFiles::currentUsersPath() const
{
    return QDir(m_databaseFolder).filePath(kCurrentUsers);
}

QString SharedFiles::lockPath() const
{
    return QDir(m_databaseFolder).filePath(kLock);
}

QStringList SharedFiles::places(const QString &fileName, const QString &olderFolder) const
{
    const QString beside = QDir(m_databaseFolder).filePath(fileName);
    const QString older = QDir(olderFolder).filePath(fileName);
    // The same folder reached by two spellings (a symbolic link, "..") is one place.
    const QString besideCanonical = QFileInfo(m_databaseFolder).canonicalFilePath();
    const bool same =
        QDir::cleanPath(QFileInfo(olderFolder).absoluteFilePath()) == QDir::cleanPath(m_databaseFolder) ||
        (!besideCanonical.isEmpty() && QFileInfo(olderFolder).canonicalFilePath() == besideCanonical);
    return same ? QStringList{beside} : QStringList{beside, older};
}

QStringList SharedFiles::currentUsersPaths() const
{
    return places(kCurrentUsers, m_paths.workingFolder());
}

QStringList SharedFiles::lockPaths() const
{
    return places(kLock, m_paths.programFolder());
}

QStringList SharedFiles::currentUsers() const
{
    QStringList names;
    QStringList keys; // names are matched as they are stored: cut to the record's name field
    for (const QString &path : currentUsersPaths()) {
        for (const QString &name : CurrentUsersFile(path).currentUsers()) {
            const QString key = CurrentUsersFile::nameKey(name);
            if (keys.contains(key))
                continue;
            keys << key;
            names << name;
        }
    }
    return names;
}
