#pragma once

#include <QString>

class Paths;
class Session;

// Making a production database for a workstation that has none: a new file (empty, or with the
// sample plant) with the current login authorized at level "C", named in the options.
namespace DatabaseSetup {
// Creates the file only. Returns the failure text, empty on success. A file that already exists
// is refused; a half-made file is removed again.
QString createFile(Session &session, const QString &path, bool sample);
// Creates the file and names it in the DatabaseName option.
QString create(Session &session, const QString &path, bool sample);
// Names an existing file in the DatabaseName option.
QString useExisting(Session &session, const QString &path);
// QUORVEL.MDB in the user's data folder.
QString samplePath(const Paths &paths);
// The sample plant database, created on first use and kept on later runs, named in the options.
QString useSample(Session &session);
} // namespace DatabaseSetup
