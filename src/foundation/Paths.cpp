#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString Paths::reportDatabaseFolder() const
{
    return QDir(localDataRoot()).filePath(QStringLiteral("PRODUCTN"));
}

QString Paths::reportDatabasePath() const
{
    return QDir(reportDatabaseFolder()).filePath(QStringLiteral("REPORTS.MDB"));
}

QString Paths::inProgramFolder(const QString &fileName) const
{
    return QDir(programFolder()).filePath(fileName);
}

QString Paths::inWorkingFolder(const QString &fileName) const
{
    return QDir(workingFolder()).filePath(fileName);
}

QString Paths::writableFolder() const
{
    const QFileInfo program(programFolder());
    if (program.isDir() && program.isWritable())
        return programFolder();
    QDir().mkpath(userDataFolder());
    return userDataFolder();
}

QString Paths::inWritableFolder(const QString &fileName) const
{
    return QDir(writableFolder()).filePath(fileName);
}

QStringList Paths::layoutFolders(const QString &folder)
{
    const QString installed = QStringLiteral("share/kelvara/report-layouts");
    QStringList folders{QDir::cleanPath(folder), QDir::cleanPath(QDir(folder).filePath("../" + installed))};
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << QDir::cleanPath(QDir(data).filePath(QStringLiteral("kelvara/report-layouts")));
    folders.removeDuplicates();
    return folders;
}

QString Paths::locateLayout(const QString &path)
{
    const QFileInfo file(path);
    if (file.exists())
        return path;
    for (const QString &folder : layoutFolders(file.absolutePath())) {
        const QString candidate = QDir(folder).filePath(file.fileName());
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return {};
}

QString Paths::layoutMissingText(const QString &path)
{
    const QFileInfo file(path);
    QStringList folders = layoutFolders(file.absolutePath());
    for (QString &folder : folders)
        folder = '"' + QDir::toNativeSeparators(folder) + '"';
    return QStringLiteral("The report file \"%1\" was not found; it was looked for in %2.")
        .arg(file.fileName(), folders.join(QStringLiteral(", ")));
}

QString SystemPaths::programFolder() const
{
    return QCoreApplication::applicationDirPath();
}

QString SystemPaths::localDataRoot() const
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:/NETDATA");
#else
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("NETDATA"));
#endif
}

QString SystemPaths::workingFolder() const
{
    return QDir::currentPath();
}

QString SystemPaths::userDataFolder() const
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Kelvara"));
}
