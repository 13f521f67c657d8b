#pragma once

#include <QList>
#include <QString>

class Database;

// The rows a window stored and may still be typing into, claimed for as long as the window is
// open, so that another workstation's clean-up can tell a half-typed row whose window is still
// there from one left by a program that ended or was killed. A claim is a lock the system or the
// server lets go when its holder ends, however it ended:
//  - on a file, a shared lock on one byte of "<database file>.claims" (the byte at the row's key
//    in the table's range), held on an open file description of this object's own;
//  - on a server, a shared session advisory lock (table number, key) on the window's connection.
// Claims are shared: two windows may type into one row, and neither waits for the other.
// Claims are taken inside the transaction that stores the row, so that a clean-up that sees the
// row sees its claim too.
class RowClaims
{
public:
    // table: a small number of the table the keys belong to (1 transfers, 2 holds).
    RowClaims(Database &db, int table);
    ~RowClaims();
    RowClaims(const RowClaims &) = delete;
    RowClaims &operator=(const RowClaims &) = delete;

    // Claims the row; false where it cannot (the claim file cannot be opened, a system without
    // such locks). Nothing is lost then: other workstations cannot ask about the row either, and
    // a row that cannot be asked about counts as claimed.
    bool claim(qint64 key);
    // Lets every claim of this object go.
    void releaseAll();
    // Whether any window, of this or another program, holds a claim on the row. A row that
    // cannot be asked about counts as claimed: it is left alone.
    bool claimedByAnyone(qint64 key) const;

private:
    qint64 offset(qint64 key) const;

    Database &m_db;
    int m_table;
    QList<qint64> m_claimed;
    qintptr m_file = -1; // the claim file, opened at the first claim (file databases)
};
