#pragma once

#include <QString>

class Paths;
class Session;

// Making a production database for a workstation that has none: a new file (empty, or with the
// sample plant) with the current login authorized at level "C", named in the options.
namespace DatabaseSetup {
// Creates the file only. Returns the failure text, empty on success. A file that already exists
// is refused; a half-made file is removed again. A postgresql:// name makes the database on that
// server (when it is not there yet) and refuses one that holds tables already.
QString createFile(Session &session, const QString &path, bool sample);
// Creates the file and names it in the DatabaseName option.
QString create(Session &session, const QString &path, bool sample);
// Names an existing file, or a database on a server that can be reached, in the DatabaseName option.
QString useExisting(Session &session, const QString &path);
// QUORVEL.MDB in the user's data folder.
QString samplePath(const Paths &paths);
// The sample plant database, created on first use and kept on later runs, named in the options.
QString useSample(Session &session);

// What a start needs before the start-up sequence can open a database.
struct Start
{
    enum class Need { Ready, FirstStart, Failed };
    Need need = Need::Ready;
    QString missingPath; // FirstStart: the named file that is not there (empty: none named)
    QString failure;     // Failed: why
};
// With sample, the sample plant is opened for this run only; it is named in the options only when
// none was named before. Without it, a workstation with no database named, or one whose file is
// missing, needs the first-start dialog.
Start prepareStart(Session &session, bool sample);
} // namespace DatabaseSetup
