#pragma once

#include <QString>
#include <QStringList>

// Where the program finds its folders. Tests point every folder at temporary directories.
class Paths
{
public:
    virtual ~Paths() = default;
    // The folder of the executable: db.lok at start-up, the report files, error.log where it may.
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

    // Where the files the program writes for itself go (error.log): the program folder where it
    // may be written, as on a shared network folder; an installed program's folder (/usr/bin) may
    // not, so there they go to the user's data folder, made when missing.
    QString writableFolder() const;
    QString inWritableFolder(const QString &fileName) const;

    // The folders a report layout is looked for in, in order: the layout's own folder (by default
    // the program folder: the build tree, or a copy run from its folder), then the installed share
    // folder beside the program's bin folder (<prefix>/share/kelvara/report-layouts), then the same
    // folder under each of the desktop's data folders (XDG_DATA_DIRS).
    static QStringList layoutFolders(const QString &folder);
    // The layout file: path itself when it exists, else the first file of its name in the other
    // layout folders; empty when none exists.
    static QString locateLayout(const QString &path);
    // The message for a layout found nowhere, naming where it was looked for.
    static QString layoutMissingText(const QString &path);
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
