#pragma once

#include <QString>

// Where the program finds its folders. Tests point every folder at temporary directories.
class Paths
{
public:
    virtual ~Paths() = default;
    // The folder of the executable: error.log, db.lok at start-up, the report files, db2.mdb.
    virtual QString programFolder() const = 0;
    // The workstation's local data root (C:\NETDATA on Windows).
    virtual QString localDataRoot() const = 0;
    // The folder where CURUSERS.DAT is opened by its bare name.
    virtual QString workingFolder() const = 0;
    // Where a sample plant database is created on first use.
    virtual QString userDataFolder() const = 0;

    QString reportDatabaseFolder() const; // <local data root>/PRODUCTN
    QString reportDatabasePath() const;   // <local data root>/PRODUCTN/REPORTS.MDB
    QString inProgramFolder(const QString &fileName) const;
    QString inWorkingFolder(const QString &fileName) const;
};

class SystemPaths : public Paths
{
public:
    QString programFolder() const override;
    QString localDataRoot() const override;
    QString workingFolder() const override;
    QString userDataFolder() const override;
};

// Paths fixed at construction; used by tests and by tools that run outside an installed program.
class FixedPaths : public Paths
{
public:
    FixedPaths(QString program, QString localData, QString working, QString userData)
        : m_program(std::move(program)), m_localData(std::move(localData)), m_working(std::move(working)),
          m_userData(std::move(userData))
    {
    }
    explicit FixedPaths(const QString &root)
        : FixedPaths(root + "/program", root + "/NETDATA", root + "/work", root + "/data")
    {
    }

    QString programFolder() const override { return m_program; }
    QString localDataRoot() const override { return m_localData; }
    QString workingFolder() const override { return m_working; }
    QString userDataFolder() const override { return m_userData; }

private:
    QString m_program, m_localData, m_working, m_userData;
};
