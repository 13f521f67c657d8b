#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>

// A zip archive written member by member onto a seekable device, each member's data streamed
// through deflate (or stored) as it comes, so that a big member never has to be held in memory.
// OpenDocument files are such archives.
class ZipWriter
{
public:
    ZipWriter(QIODevice &out, const QDateTime &stamp);
    ~ZipWriter();
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    // Starts a member; `compress` false stores it as it is (an OpenDocument's "mimetype").
    bool begin(const QString &name, bool compress = true);
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    // Ends the member: its sizes and checksum go into its header.
    bool end();
    bool add(const QString &name, const QByteArray &data, bool compress = true)
    {
        return begin(name, compress) && write(data) && end();
    }
    // Writes the central directory; the archive is complete.
    bool finish();
    bool failed() const { return m_failed; }

private:
    struct Member
    {
        QByteArray name;
        bool compressed = true;
        quint32 crc = 0;
        quint64 packed = 0, size = 0;
        qint64 offset = 0;
    };
    bool deflateChunk(const char *data, qint64 size, int flush);
    bool flushPending();
    bool pass(const char *data, qint64 size);
    bool put(const QByteArray &bytes);

    QIODevice &m_out;
    quint16 m_time = 0, m_date = 0;
    QList<Member> m_members;
    struct Stream;
    Stream *m_stream = nullptr; // the deflate state of the open member
    QByteArray m_pending;       // written but not yet through deflate
    bool m_open = false;
    bool m_failed = false;
};

// The open member of a ZipWriter as a device, for writers that take one (QXmlStreamWriter).
class ZipMemberDevice : public QIODevice
{
public:
    explicit ZipMemberDevice(ZipWriter &zip) : m_zip(zip) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override { return m_zip.write(data, size) ? size : -1; }

private:
    ZipWriter &m_zip;
};
