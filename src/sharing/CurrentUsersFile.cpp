#include "CurrentUsersFile.h"

#include <QDir>
#include <QFile>
#include <QLockFile>

namespace {
// Every account that runs the program writes its own record into the one shared file.
QFileDevice::Permissions sharedPermissions()
{
    return QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser |
           QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
           QFileDevice::WriteOther;
}

QList<CurrentUserRecord> decodeAll(const QByteArray &bytes)
{
    QList<CurrentUserRecord> records;
    const int whole = int(bytes.size() / CurrentUsersFile::RecordLength);
    for (int i = 0; i < whole; ++i)
        records.append(CurrentUsersFile::decode(
            bytes.mid(qsizetype(i) * CurrentUsersFile::RecordLength, CurrentUsersFile::RecordLength), i + 1));
    return records;
}
} // namespace

CurrentUsersFile CurrentUsersFile::inFolder(const QString &folder)
{
    return CurrentUsersFile(QDir(folder).filePath(QStringLiteral("CURUSERS.DAT")));
}

QByteArray CurrentUsersFile::encodeName(const QString &fullName)
{
    QByteArray name = fullName.toLatin1().left(NameLength);
    name.append(QByteArray(NameLength - name.size(), ' '));
    return name;
}

QString CurrentUsersFile::nameKey(const QString &fullName)
{
    return QString::fromLatin1(encodeName(fullName)).trimmed();
}

CurrentUserRecord CurrentUsersFile::decode(const QByteArray &raw, int number)
{
    CurrentUserRecord record;
    record.number = number;
    record.raw = raw;
    record.name = QString::fromLatin1(raw.left(NameLength)).trimmed();
    record.second = TaggedValue::parse(raw, NameLength);
    if (record.second) {
        record.timeOffset = NameLength + record.second->size();
        record.time = TaggedValue::parse(raw, record.timeOffset);
    }
    return record;
}

QList<CurrentUserRecord> CurrentUsersFile::records() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodeAll(file.readAll());
}

QStringList CurrentUsersFile::currentUsers() const
{
    QStringList names;
    for (const CurrentUserRecord &record : records()) {
        if (record.isPresent())
            names.append(record.name);
    }
    return names;
}

bool CurrentUsersFile::recordPresent(const QString &fullName)
{
    return writeTimeValue(fullName, TaggedValue::null());
}

bool CurrentUsersFile::recordExit(const QString &fullName, const QDateTime &when)
{
    return writeTimeValue(fullName, TaggedValue::date(when));
}

QByteArray CurrentUsersFile::newRecord(const QString &fullName, const TaggedValue &value)
{
    QByteArray raw = encodeName(fullName) + TaggedValue::empty().bytes() + value.bytes();
    raw.append(QByteArray(RecordLength - raw.size(), '\0'));
    return raw;
}

bool CurrentUsersFile::writeTimeValue(const QString &fullName, const TaggedValue &value)
{
    QLockFile lock(m_path + QStringLiteral(".lck"));
    // A workstation that died while holding the lock must not block the others for long.
    lock.setStaleLockTime(30000);
    if (!lock.tryLock(10000)) {
        m_error =
            lock.error() == QLockFile::LockFailedError
                ? QStringLiteral("another workstation keeps %1.lck locked").arg(m_path)
                : QStringLiteral("%1.lck cannot be made (no permission to write in its folder)").arg(m_path);
        return false;
    }
    QFile file(m_path);
    const bool isNew = !file.exists();
    if (!file.open(QIODevice::ReadWrite)) {
        m_error = QStringLiteral("%1: %2").arg(m_path, file.errorString());
        return false;
    }
    if (isNew)
        file.setPermissions(sharedPermissions());
    const QList<CurrentUserRecord> all = decodeAll(file.readAll());
    const QString key = nameKey(fullName);
    QByteArray raw;
    int number = int(all.size()) + 1;
    for (const CurrentUserRecord &record : all) {
        if (record.readable() && record.name == key && record.timeOffset + value.size() <= RecordLength) {
            raw = record.raw;
            raw.replace(record.timeOffset, value.size(), value.bytes());
            number = record.number;
            break;
        }
    }
    if (raw.isEmpty())
        raw = newRecord(fullName, value);
    // A trailing partial record is overwritten only by a new whole record at its number.
    if (!file.seek(qint64(number - 1) * RecordLength) || file.write(raw) != RecordLength || !file.flush()) {
        m_error = QStringLiteral("%1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}
