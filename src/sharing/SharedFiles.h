#pragma once

#include <QString>
#include <QStringList>

class Paths;

// Where the workstations of a file plant find each other: CURUSERS.DAT (who is in the database)
// and db.lok (a whole-file operation is running). Both are kept beside the production database
// file, the one folder every workstation opens. The program folder and the working folder are no
// such place once the program is installed: every copy then runs from /usr/bin and from its
// user's home folder, and each would see only its own files.
//
// Copies that run from the plant's shared folder kept CURUSERS.DAT in their working folder and
// looked for db.lok in their program folder. Those places are still read (never written), so a
// plant where some copies still work that way keeps seeing them.
class SharedFiles
{
public:
    SharedFiles(const Paths &paths, const QString &databaseName);

    // Beside the database: where this copy writes.
    QString currentUsersPath() const;
    QString lockPath() const;
    // Every place read, beside the database first; the older place only where it differs.
    QStringList currentUsersPaths() const;
    QStringList lockPaths() const;

    // The users present in any of the current-users files, each name once, in file order.
    QStringList currentUsers() const;

private:
    QStringList places(const QString &fileName, const QString &olderFolder) const;

    const Paths &m_paths;
    QString m_databaseFolder;
};
