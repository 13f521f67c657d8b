#include "ReportDatabaseRepair.h"

#include "foundation/Database.h"
#include "foundation/FileOps.h"
#include "foundation/FileSalvage.h"

#include <QFileInfo>

bool ReportDatabaseRepair::repair(const QString &path, FileOps &fileOps)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QString rebuilt = folder + QStringLiteral("/Quorvel2.mdb");
    if (QFileInfo::exists(rebuilt) && !fileOps.remove(rebuilt))
        return false;
    if (!FileSalvage::rebuild(path, rebuilt, folder).ok) {
        fileOps.remove(rebuilt);
        try {
            Database::createFile(rebuilt).close();
        } catch (const DatabaseError &) {
            return false;
        }
    }
    return fileOps.remove(path) && fileOps.rename(rebuilt, path);
}

bool ReportDatabaseRepair::isDamaged(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    try {
        return Database::open(path).scalar(QStringLiteral("PRAGMA quick_check")).toString() !=
               QLatin1String("ok");
    } catch (const DatabaseError &error) {
        return error.number() == DbErrors::Damaged;
    }
}
