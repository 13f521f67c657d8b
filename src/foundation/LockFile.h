#pragma once

#include <QString>

// The files the workstations lock single bytes of (the row claims beside a database, the
// presence lock), shared by every account that runs the program. A file is a native handle:
// a descriptor, or a Windows HANDLE.
namespace LockFile {
using Handle = qintptr;
constexpr Handle kNone = -1;

// Opens the file for reading and writing; one that is missing is made so that every other
// account may open it too, whatever this user's umask. kNone when it cannot be opened so.
Handle openReadWrite(const QString &path);
void close(Handle file);
} // namespace LockFile
