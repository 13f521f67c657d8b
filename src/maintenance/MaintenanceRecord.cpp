#include "MaintenanceRecord.h"

#include "foundation/FileOps.h"

#include <QFile>

MaintenanceRecord MaintenanceRecord::fromBytes(const QByteArray &record)
{
    MaintenanceRecord result;
    int offset = 0;
    TaggedValue *values[] = {&result.lastBackup, &result.lastRepair, &result.lastCompaction};
    for (TaggedValue *slot : values) {
        const std::optional<TaggedValue> value = TaggedValue::parse(record, offset);
        // A short or unknown record is read as a new one: nobody else reads these dates.
        if (!value)
            return {};
        *slot = *value;
        offset += value->size();
    }
    return result;
}

QByteArray MaintenanceRecord::toBytes() const
{
    QByteArray bytes = lastBackup.bytes() + lastRepair.bytes() + lastCompaction.bytes();
    bytes.resize(RecordLength, '\0');
    return bytes;
}

bool MaintenanceRecord::read(const QString &path, MaintenanceRecord &record)
{
    QFile file(path);
    if (!file.exists()) {
        record = {};
        return true;
    }
    if (!file.open(QIODevice::ReadOnly))
        return false;
    record = fromBytes(file.read(RecordLength));
    return true;
}

bool MaintenanceRecord::write(const QString &path, FileOps &files) const
{
    // Records after the first, if a file has any, stay as they are.
    return files.writeAt(path, 0, toBytes());
}
