#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

class Database;

// A write to one row of a table that several workstations share. Only the fields the user
// changed are written, and only while the row still holds the values they had when it was read:
// a row changed elsewhere since is left as it is, the write matches no row, and the window reads
// the row again rather than overwrite what another workstation stored. Tables and columns are
// the program's own names, in double quotes as the statements spell them; every value is bound.
class SharedRow
{
public:
    SharedRow(QString table, QString keyColumn, QVariant key);

    // The row is written only while column still holds read. A value read with a stored null
    // taken as something else (a count as 0, a text as "") gives that as nullReadsAs; otherwise a
    // null read matches only a null stored.
    SharedRow &expect(const QString &column, const QVariant &read, const QVariant &nullReadsAs = {});
    // column takes value.
    SharedRow &set(const QString &column, const QVariant &value);
    // Both: column takes value, provided it still holds read.
    SharedRow &change(const QString &column, const QVariant &value, const QVariant &read,
                      const QVariant &nullReadsAs = {});
    // A further condition of the program's own (no user text, no parameters), such as the line
    // not being protected.
    SharedRow &where(const QString &condition);
    // The same with values of the program's own bound by name (":limit"); the names key, rN, vN
    // and nN are the write's own.
    SharedRow &where(const QString &condition, const QVariantMap &params);

    // Writes the row; false when it no longer held what was read (or failed the condition, or is
    // gone) and nothing was written. With nothing to write it runs nothing and is true.
    bool write(const Database &db) const;
    // Whether the row still holds what was read and meets the condition; writes nothing.
    bool holds(const Database &db) const;

private:
    struct Check
    {
        QString column;
        QVariant read;
        QVariant nullReadsAs;
    };
    QString whereClause(const Database &db, QVariantMap &params) const;

    QString m_table;
    QString m_keyColumn;
    QVariant m_key;
    QList<QPair<QString, QVariant>> m_sets;
    QList<Check> m_checks;
    QStringList m_conditions;
    QVariantMap m_conditionParams;
};
