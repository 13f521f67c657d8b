#pragma once

#include <QList>
#include <QSettings>
#include <QString>
#include <memory>

class Paths;

// One grid column as the column-width store sees it. The identifier is the column's caption,
// which is stable for a given column of a given grid.
struct GridColumn
{
    QString id;
    double width = 0;
    bool visible = true;
};

// A report's layout file in the options: its key in section "ReportFiles", and the file beside the
// program used while none is set.
struct ReportFile
{
    QString title;
    QString fileName;
};

// The program's per-user settings: application "Kelvara", sections "Options", "ReportFiles" and
// "ColWidths". The company name lives in the production database and is read on every call.
class CKelvaraOptions
{
public:
    // The report files are the reports' table (ReportCatalog::reportFiles()), numbered from 0 by
    // their selector. The store defaults to the platform's per-user settings of application
    // "Kelvara"; tests pass a store of their own.
    CKelvaraOptions(const Paths &paths, QList<ReportFile> reportFiles, std::unique_ptr<QSettings> store = {});
    ~CKelvaraOptions();

    QString ReportFilename(int selector) const;
    void setReportFilename(int selector, const QString &fileName);
    QString reportTitle(int selector) const;

    void SaveColumnWidths(const QString &section, const QList<GridColumn> &columns);
    void GetColumnWidths(const QString &section, QList<GridColumn> &columns) const;

    void SaveLoginCredentials();
    QString UserPwd();
    void setUserPwd(const QString &value);
    QString UserName();
    void setUserName(const QString &value);

    QString AdminUserPwd();
    void setAdminUserPwd(const QString &value);
    QString AdminUserName();
    void setAdminUserName(const QString &value);
    QString SystemDatabase();
    void setSystemDatabase(const QString &value);
    QString DatabaseName();
    void setDatabaseName(const QString &value);
    // A database for this run only (the sample plant asked for on the command line): DatabaseName
    // returns it while the stored option stays as the plant configured it.
    void setDatabaseNameForThisRun(const QString &path) { m_databaseNameForThisRun = path; }
    QString SchedulePath();
    void setSchedulePath(const QString &value);

    // Opens the database named by DatabaseName, reads CompanyInfo.CompanyName of its first row
    // and closes it again. Empty when no database is named; database errors reach the caller.
    QString CompanyName();

    QSettings &store() { return *m_store; }

    // Writes made while a batch is open go to the settings file once, as the last batch closes
    // (a window's close saves every column width of its grids in one write).
    class Batch
    {
    public:
        explicit Batch(CKelvaraOptions &options) : m_options(options) { ++m_options.m_batches; }
        ~Batch()
        {
            if (--m_options.m_batches == 0)
                m_options.m_store->sync();
        }
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        CKelvaraOptions &m_options;
    };

private:
    QString read(const QString &section, const QString &key, const QString &fallback = {}) const;
    void write(const QString &section, const QString &key, const QString &value);
    QString rereadOption(const QString &key, QString &cache);
    void writeOption(const QString &key, QString &cache, const QString &value);

    bool validReport(int selector) const { return selector >= 0 && selector < m_reportFiles.size(); }

    const Paths &m_paths;
    const QList<ReportFile> m_reportFiles;
    std::unique_ptr<QSettings> m_store;
    QString m_databaseName, m_systemDatabase, m_adminUserName, m_adminUserPwd, m_schedulePath;
    QString m_userName, m_userPwd;
    int m_batches = 0;
    QString m_databaseNameForThisRun;
};
