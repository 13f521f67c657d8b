#include "ReportDatabase.h"

#include "foundation/Database.h"
#include "foundation/Paths.h"

#include <QDir>
#include <QFile>

bool ReportDatabase::ensure(const Paths &paths)
{
    const QString path = paths.reportDatabasePath();
    if (QFile::exists(path))
        return true;
    if (!QDir().mkpath(paths.reportDatabaseFolder()))
        return false;
    try {
        Database::createFile(path).close();
    } catch (const DatabaseError &) {
        return false;
    }
    return QFile::exists(path);
}
