#pragma once

class Paths;

// The workstation's local report database REPORTS.MDB, into which the reports stage their rows.
namespace ReportDatabase {
// Creates the folders and an empty database at Paths::reportDatabasePath() when it is missing.
// True when the file is there afterwards; a failure is passed over by the callers.
bool ensure(const Paths &paths);
} // namespace ReportDatabase
