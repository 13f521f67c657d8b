#pragma once

#include <QString>

// Compaction of a plant database on a PostgreSQL server for a login that owns none of its tables
// (level C on a database --setup-server made): the server lets only a table's owner rewrite it,
// so the rewrite is a function of the owner role's, run with its rights (SECURITY DEFINER).
namespace ServerCompaction {
// The statement that makes (or replaces) the function in the schema.
QString createStatement(const QString &schema);
QString function();  // "kelvara_compact"
QString signature(); // "kelvara_compact()", for grants
// The call: a row per table, "Table", "Rewritten", "Before" and "After" (its bytes).
QString call();
} // namespace ServerCompaction
