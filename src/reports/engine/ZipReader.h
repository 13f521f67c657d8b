#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <functional>

// The members of a zip archive on a seekable device, read back by name: the central directory
// says where each one is, and its data comes through inflate (or as stored) in chunks, checked
// against its checksum. Archives with the 64-bit extension are not read.
class ZipReader
{
public:
    struct Member
    {
        QByteArray name;
        quint16 method = 0; // 0 stored, 8 deflated
        quint32 crc = 0;
        quint64 packed = 0, size = 0;
        qint64 offset = 0; // of its local header
    };

    explicit ZipReader(QIODevice &in);

    // False when the device holds no whole archive.
    bool ok() const { return m_ok; }
    const QList<Member> &members() const { return m_members; }
    // Passes the member's data to `sink` as it comes; false when it cannot be read whole, does
    // not match its checksum, or the sink refuses it.
    bool read(const Member &member, const std::function<bool(const char *, qint64)> &sink);

private:
    bool readDirectory();

    QIODevice &m_in;
    QList<Member> m_members;
    bool m_ok = false;
};
