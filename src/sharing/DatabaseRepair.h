#pragma once

#include <QString>
#include <QStringList>

class Session;

// What a rebuild got out of a damaged file.
struct RebuildResult
{
    bool ok = false;
    QString failure; // why nothing usable came out
    int tablesCopied = 0;
    qint64 rowsCopied = 0;
    QStringList damagedTables; // tables of which some rows could not be read
};

// The corrupt-database repair, run whenever opening the production database reports a damaged
// file. SQLite here has no recovery extension, so the repair builds a new file from the damaged
// file's own schema and every row that can still be read, checks it, compacts it into "db2.mdb"
// beside the database, and only then puts it in place of the damaged file, which is kept beside
// it under a ".damaged-<time>" name. A repair that fails leaves the damaged file as it was.
class DatabaseRepair
{
public:
    explicit DatabaseRepair(Session &session);

    // The whole repair with its questions and messages; No to the first question ends the program.
    void run();

    // A new database at targetPath (which must not exist) from what can be read of damagedPath.
    // A file whose header is smashed, or that was cut short, is read through a copy with the
    // header corrected, made in scratchFolder.
    static RebuildResult rebuild(const QString &damagedPath, const QString &targetPath,
                                 const QString &scratchFolder);

    static QString statusText();

private:
    bool compactAndReplace(const QString &rebuilt, QString &failure);
    bool replaceDamaged(const QString &compacted, QString &failure);
    void reportFailure(const QString &failure);
    QString workFolder() const;
    QString workFile(const QString &name) const;

    Session &m_session;
};
