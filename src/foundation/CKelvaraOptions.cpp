#include "CKelvaraOptions.h"

#include "Database.h"
#include "Paths.h"

#include <QSettings>

namespace {
const QString kOptions = QStringLiteral("Options");
const QString kColWidths = QStringLiteral("ColWidths");
const QString kReportFiles = QStringLiteral("ReportFiles");
} // namespace

CKelvaraOptions::CKelvaraOptions(const Paths &paths, QList<ReportFile> reportFiles,
                                 std::unique_ptr<QSettings> store)
    : m_paths(paths), m_reportFiles(std::move(reportFiles)), m_store(std::move(store))
{
    if (!m_store)
        m_store = std::make_unique<QSettings>(QStringLiteral("Kelvara"), QStringLiteral("Kelvara"));
}

CKelvaraOptions::~CKelvaraOptions() = default;

QString CKelvaraOptions::read(const QString &section, const QString &key, const QString &fallback) const
{
    // Keys are addressed as section/key; QSettings would treat a "/" inside a key as a group.
    return m_store->value(section + '/' + QString(key).replace('/', '\\'), fallback).toString();
}

void CKelvaraOptions::write(const QString &section, const QString &key, const QString &value)
{
    m_store->setValue(section + '/' + QString(key).replace('/', '\\'), value);
    if (m_batches == 0)
        m_store->sync();
}

QString CKelvaraOptions::reportTitle(int selector) const
{
    return validReport(selector) ? m_reportFiles[selector].title : QString();
}

QString CKelvaraOptions::ReportFilename(int selector) const
{
    if (!validReport(selector))
        return {};
    const QString fallback = m_paths.inProgramFolder(m_reportFiles[selector].fileName);
    return read(kReportFiles, reportTitle(selector), fallback);
}

void CKelvaraOptions::setReportFilename(int selector, const QString &fileName)
{
    if (validReport(selector))
        write(kReportFiles, reportTitle(selector), fileName);
}

void CKelvaraOptions::SaveColumnWidths(const QString &section, const QList<GridColumn> &columns)
{
    Batch batch(*this);
    for (const GridColumn &column : columns) {
        if (column.visible)
            write(kColWidths, section + '-' + column.id, QString::number(float(column.width)));
    }
}

void CKelvaraOptions::GetColumnWidths(const QString &section, QList<GridColumn> &columns) const
{
    for (GridColumn &column : columns) {
        if (!column.visible)
            continue;
        // A stored width that is not a positive number is ignored: the column keeps its width.
        bool ok = false;
        const double width = read(kColWidths, section + '-' + column.id).toDouble(&ok);
        if (ok && width > 0)
            column.width = width;
    }
}

void CKelvaraOptions::SaveLoginCredentials()
{
    write(kOptions, QStringLiteral("UserName"), m_userName);
    write(kOptions, QStringLiteral("UserPW"), m_userPwd);
}

QString CKelvaraOptions::UserPwd()
{
    if (m_userPwd.isEmpty())
        m_userPwd = read(kOptions, QStringLiteral("UserPW"));
    return m_userPwd;
}

void CKelvaraOptions::setUserPwd(const QString &value)
{
    m_userPwd = value;
}

QString CKelvaraOptions::UserName()
{
    if (m_userName.isEmpty())
        m_userName = read(kOptions, QStringLiteral("UserName"));
    return m_userName;
}

void CKelvaraOptions::setUserName(const QString &value)
{
    m_userName = value;
}

QString CKelvaraOptions::rereadOption(const QString &key, QString &cache)
{
    cache = read(kOptions, key);
    return cache;
}

void CKelvaraOptions::writeOption(const QString &key, QString &cache, const QString &value)
{
    cache = value;
    write(kOptions, key, value);
}

QString CKelvaraOptions::AdminUserPwd()
{
    return rereadOption(QStringLiteral("DefaultPW"), m_adminUserPwd);
}
void CKelvaraOptions::setAdminUserPwd(const QString &v)
{
    writeOption(QStringLiteral("DefaultPW"), m_adminUserPwd, v);
}
QString CKelvaraOptions::AdminUserName()
{
    return rereadOption(QStringLiteral("DefaultUser"), m_adminUserName);
}
void CKelvaraOptions::setAdminUserName(const QString &v)
{
    writeOption(QStringLiteral("DefaultUser"), m_adminUserName, v);
}
QString CKelvaraOptions::SystemDatabase()
{
    return rereadOption(QStringLiteral("SystemDB"), m_systemDatabase);
}
void CKelvaraOptions::setSystemDatabase(const QString &v)
{
    writeOption(QStringLiteral("SystemDB"), m_systemDatabase, v);
}
QString CKelvaraOptions::DatabaseName()
{
    if (!m_databaseNameForThisRun.isEmpty())
        return m_databaseNameForThisRun;
    return rereadOption(QStringLiteral("DBName"), m_databaseName);
}
void CKelvaraOptions::setDatabaseName(const QString &v)
{
    writeOption(QStringLiteral("DBName"), m_databaseName, v);
}
QString CKelvaraOptions::SchedulePath()
{
    return rereadOption(QStringLiteral("SchedulePath"), m_schedulePath);
}
void CKelvaraOptions::setSchedulePath(const QString &v)
{
    writeOption(QStringLiteral("SchedulePath"), m_schedulePath, v);
}

QString CKelvaraOptions::CompanyName()
{
    QString path = m_databaseNameForThisRun.isEmpty() ? m_databaseName : m_databaseNameForThisRun;
    if (path.isEmpty())
        path = DatabaseName();
    if (path.isEmpty())
        return {};
    Database db = Database::open(path, Database::ReadOnly);
    QSqlQuery query = db.exec(QStringLiteral("SELECT \"CompanyName\" FROM \"CompanyInfo\" LIMIT 1"));
    return query.next() ? query.value(0).toString() : QString();
}
