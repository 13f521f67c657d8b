#pragma once

#include <QString>

class FileOps;

// The local report database found damaged (3049): what can still be read is rebuilt into
// "Quorvel2.mdb" beside it, the damaged file is deleted and the rebuilt one takes its name. The
// file holds only the tables of runs in progress, so when nothing can be read an empty database
// takes its place.
namespace ReportDatabaseRepair {
bool repair(const QString &path, FileOps &fileOps);
// True when the file at path is damaged (its pages fail the quick check, or it is not a database);
// false for a sound or a missing file.
bool isDamaged(const QString &path);
} // namespace ReportDatabaseRepair
