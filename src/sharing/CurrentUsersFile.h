#pragma once

#include "TaggedValue.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One 80-byte record of CURUSERS.DAT: the user full name in 48 blank-padded single-byte
// characters, an unused tagged value, then the tagged time value (Null while the user is present,
// the time of leaving afterwards). The rest of the record carries no data and is kept as read.
struct CurrentUserRecord
{
    int number = 0; // records are numbered from 1
    QByteArray raw; // the record's 80 bytes as read
    QString name;   // trimmed
    std::optional<TaggedValue> second;
    std::optional<TaggedValue> time;
    int timeOffset = -1;

    // A record whose values cannot be located (a value type of unknown length) is never listed
    // and never rewritten.
    bool readable() const { return time.has_value(); }
    bool isPresent() const { return time && time->isNull(); }
};

// The current-users file "CURUSERS.DAT" shared by the workstations. Writers hold a lock file
// beside it while they read and write their record, so that two workstations appending at the
// same moment do not pick the same record number.
class CurrentUsersFile
{
public:
    static constexpr int RecordLength = 80;
    static constexpr int NameLength = 48;

    explicit CurrentUsersFile(QString path) : m_path(std::move(path)) {}
    static CurrentUsersFile inFolder(const QString &folder);
    QString path() const { return m_path; }

    // Every whole record; bytes past the last whole record are ignored (and kept).
    QList<CurrentUserRecord> records() const;
    // Trimmed names of the records whose time value is Null, in record order.
    QStringList currentUsers() const;

    // At login: the user's record (reused, or appended) gets a Null time value. A new file is
    // made readable and writable by every user, so that another account can add its record.
    bool recordPresent(const QString &fullName);
    // At exit: the user's record (reused, or appended) gets the time of leaving.
    bool recordExit(const QString &fullName, const QDateTime &when);
    // Why the last record could not be written.
    QString errorString() const { return m_error; }

    static CurrentUserRecord decode(const QByteArray &raw, int number);
    // Names longer than the 48-byte field are stored cut to it and matched in that form.
    static QByteArray encodeName(const QString &fullName);
    static QString nameKey(const QString &fullName);

private:
    bool writeTimeValue(const QString &fullName, const TaggedValue &value);
    static QByteArray newRecord(const QString &fullName, const TaggedValue &value);

    QString m_path;
    QString m_error;
};
