#pragma once

#include "sharing/TaggedValue.h"

#include <QString>

class FileOps;

// Record 1 of "DFUNC.DAT" beside the database: the dates of the last backup, repair and
// compaction as three tagged values in a 128-byte record. Only the maintenance commands read and
// write it.
class MaintenanceRecord
{
public:
    static constexpr int RecordLength = 128;

    static QString fileName() { return QStringLiteral("DFUNC.DAT"); }

    // The record as stored; a missing file, a short file or values of a kind this program cannot
    // step over give empty dates.
    static MaintenanceRecord fromBytes(const QByteArray &record);
    QByteArray toBytes() const;

    // Reads record 1 of the file (a missing file gives empty values); false when it cannot be read.
    static bool read(const QString &path, MaintenanceRecord &record);
    // Writes record 1 in place through files, creating the file when it is missing.
    bool write(const QString &path, FileOps &files) const;

    TaggedValue lastBackup = TaggedValue::empty();
    TaggedValue lastRepair = TaggedValue::empty();
    TaggedValue lastCompaction = TaggedValue::empty();
};
