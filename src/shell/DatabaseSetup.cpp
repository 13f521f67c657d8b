#include "DatabaseSetup.h"

#include "foundation/Database.h"
#include "foundation/Session.h"
#include "production/record/SamplePlant.h"
#include "reports/ReportCatalog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
// The database is made on the server when it is not there yet; one holding tables is left alone.
QString createOnServer(Session &session, const QString &uri, bool sample)
{
    try {
        SamplePlant::createDatabase(uri, session.identity().userName(), sample, session.clock().today(),
                                    ReportCatalog::savedQueries());
    } catch (const KelvaraError &error) {
        return error.description();
    }
    return {};
}

} // namespace

QString DatabaseSetup::createFile(Session &session, const QString &path, bool sample)
{
    if (path.trimmed().isEmpty())
        return QStringLiteral("No file name was given.");
    if (SqlDialect::isServerName(path))
        return createOnServer(session, path, sample);
    if (QFileInfo::exists(path))
        return QStringLiteral("The file '%1' already exists.").arg(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("The folder of '%1' cannot be created.").arg(path);
    try {
        SamplePlant::createDatabase(path, session.identity().userName(), sample, session.clock().today(),
                                    ReportCatalog::savedQueries());
    } catch (const KelvaraError &error) {
        QFile::remove(path);
        return error.description();
    }
    return {};
}

QString DatabaseSetup::create(Session &session, const QString &path, bool sample)
{
    const QString failure = createFile(session, path, sample);
    if (failure.isEmpty())
        session.options().setDatabaseName(
            SqlDialect::isServerName(path) ? path : QFileInfo(path).absoluteFilePath());
    return failure;
}

QString DatabaseSetup::useExisting(Session &session, const QString &path)
{
    if (SqlDialect::isServerName(path)) {
        try {
            Database::open(path, Database::ReadOnly);
        } catch (const KelvaraError &error) {
            return error.description();
        }
        session.options().setDatabaseName(path);
        return {};
    }
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("Could not find the database file '%1'.").arg(path);
    session.options().setDatabaseName(info.absoluteFilePath());
    return {};
}

QString DatabaseSetup::samplePath(const Paths &paths)
{
    return QDir(paths.userDataFolder()).filePath(QStringLiteral("QUORVEL.MDB"));
}

QString DatabaseSetup::useSample(Session &session)
{
    const QString path = samplePath(session.paths());
    if (QFileInfo::exists(path))
        return useExisting(session, path);
    return create(session, path, true);
}

DatabaseSetup::Start DatabaseSetup::prepareStart(Session &session, bool sample)
{
    const QString named = session.options().DatabaseName();
    if (sample) {
        if (named.isEmpty()) {
            const QString failure = useSample(session);
            return {failure.isEmpty() ? Start::Need::Ready : Start::Need::Failed, {}, failure};
        }
        const QString path = samplePath(session.paths());
        if (!QFileInfo::exists(path)) {
            if (const QString failure = createFile(session, path, true); !failure.isEmpty())
                return {Start::Need::Failed, {}, failure};
        }
        session.options().setDatabaseNameForThisRun(QFileInfo(path).absoluteFilePath());
        return {};
    }
    if (named.isEmpty())
        return {Start::Need::FirstStart, {}, {}};
    if (!SqlDialect::isServerName(named) && !QFileInfo::exists(named))
        return {Start::Need::FirstStart, named, {}};
    return {};
}
