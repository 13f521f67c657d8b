#pragma once

#include <QString>
#include <QVariantList>

class Clock;
class Identity;
struct sqlite3;

// The change history's chain: each row's [Row Hash] is the SHA-256 of the row's canonical text,
// which ends with the hash of the row before it. The server's trigger function builds the very
// same text in PL/pgSQL; the file's triggers have it built here.
namespace HistoryChain {
// The columns a row's hash covers, in this order: every column of [Change History] but the hash.
QStringList hashedColumns();

// Each value (null or text, numbers in decimal) as "~" when null, otherwise its length in UTF-8
// bytes, a colon and the value, each followed by "|"; then the previous row's hash ("" before
// the first row). The length makes the text unambiguous whatever a value holds.
QByteArray canonicalText(const QVariantList &values, const QString &previousHash);
QString rowHash(const QVariantList &values, const QString &previousHash);

// The time of a change as the history writes it: 2026-12-09T07:50:12.123+01:00.
QString timeText(const QDateTime &when);

// The clock and login the file's writer records: the session's seams while a session runs (it
// hands them in as it starts and takes them back as it ends), the system's otherwise.
void useSeams(const Clock &clock, const Identity &identity);
// Back to the system's, unless another session's seams came in meanwhile.
void dropSeams(const Clock &clock);
QDateTime now();
QString login();

// Who makes the changes on a connection to a file, and with what program.
struct Author
{
    QString login, workstation, program;
};
// "Kelvara <version>", what the program writes into [Program].
QString programName();

// The program's functions on one connection to a file, which the file's history triggers call; a
// connection without them (the sqlite3 shell) cannot change an audited row. The writer keeps its
// two statements compiled for the connection's life: release() finalizes them, and must run before
// the connection closes (the engine keeps a file open while a statement of it is left). The
// connection owns the object and deletes it as it closes.
class Writer;
Writer *registerFunctions(sqlite3 *db, const Author &author);
void release(Writer *writer);
// The name of the function that writes the history rows of one changed row.
QString writerFunction();
// The name of the function the history's own insert trigger calls: it refuses a row that the
// writer is not writing.
QString guardFunction();
} // namespace HistoryChain
