#pragma once

#include <QSaveFile>

// A file written for the user: the bytes go into a new file in the target's folder, which takes
// the target's place only when every byte has been written, flushed and closed. A short or failed
// write (a full disk), a cancel (the object destroyed without commit()) or the program ended while
// writing leaves the file that was there as it was; on Linux the new file has no name until it
// is committed, so that even a killed program leaves nothing behind.
class OutputFile : public QSaveFile
{
public:
    explicit OutputFile(const QString &path);

    bool open();
    // The name under which a writer that opens files by name (a library, the printer) writes
    // into this same new file. Empty before open().
    QString writerPath() const;
    // Puts the file in place: false, with the old file kept, when any byte was not written.
    bool commit();
    // True once a write has failed: what follows is not written.
    bool failed() const { return !m_failure.isEmpty(); }
    // Why the file could not be written, for the user: "The disk holding ... is full: ...".
    QString failure() const;

protected:
    qint64 writeData(const char *data, qint64 length) override;

private:
    bool fail();

    QString m_failure;
    int m_errno = 0;
};
