#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
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
