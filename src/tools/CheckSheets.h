#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class Database;

struct PartEntry
{
    QString number;
    QString description;
};

// The active parts and their stored check sheets, read from the Job Lookup Table.
class CheckSheets
{
public:
    explicit CheckSheets(const Database &db) : m_db(db) {}

    QList<PartEntry> activeParts() const;
    // The `Check Sheet` field of the part as stored; empty when it has none.
    QByteArray field(const QString &jobNumber) const;
    // What kind of document the bytes are, and a line telling it and its size.
    static QString mimeType(const QByteArray &document);
    static QString description(const QByteArray &document);

private:
    const Database &m_db;
};
