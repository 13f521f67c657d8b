#include "ZipWriter.h"

#include "ByteOrder.h"

#include <QtEndian>
#include <utility>
#include <zlib.h>

namespace {
constexpr int kChunk = 64 * 1024;

void le16(QByteArray &out, quint16 v)
{
    ByteOrder::appendLittleEndian(out, v);
}

void le32(QByteArray &out, quint32 v)
{
    ByteOrder::appendLittleEndian(out, v);
}
} // namespace

struct ZipWriter::Stream
{
    z_stream z{};
    QByteArray buffer = QByteArray(kChunk, Qt::Uninitialized);
};

ZipWriter::ZipWriter(QIODevice &out, const QDateTime &stamp) : m_out(out)
{
    // MS-DOS time and date, as zip keeps them; before 1980 they cannot be written
    const QDateTime when =
        stamp.isValid() && stamp.date().year() >= 1980 ? stamp : QDateTime(QDate(1980, 1, 1), {});
    m_time = quint16(when.time().hour() << 11 | when.time().minute() << 5 | when.time().second() / 2);
    m_date = quint16((when.date().year() - 1980) << 9 | when.date().month() << 5 | when.date().day());
}

ZipWriter::~ZipWriter()
{
    if (m_stream)
        deflateEnd(&m_stream->z);
    delete m_stream;
}

bool ZipWriter::put(const QByteArray &bytes)
{
    if (!m_failed && m_out.write(bytes) != bytes.size())
        m_failed = true;
    return !m_failed;
}

bool ZipWriter::begin(const QString &name, bool compress)
{
    if (m_failed || m_open)
        return false;
    Member member;
    member.name = name.toUtf8();
    member.compressed = compress;
    member.offset = m_out.pos();
    member.crc = crc32(0, nullptr, 0);
    m_members.append(member);
    // the local header, its checksum and sizes filled in by end()
    QByteArray header;
    le32(header, 0x04034b50);
    le16(header, 20);
    le16(header, 0x0800); // names in UTF-8
    le16(header, compress ? 8 : 0);
    le16(header, m_time);
    le16(header, m_date);
    le32(header, 0);
    le32(header, 0);
    le32(header, 0);
    le16(header, quint16(member.name.size()));
    le16(header, 0);
    header += member.name;
    m_open = true;
    if (compress) {
        m_stream = new Stream;
        if (deflateInit2(&m_stream->z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            m_failed = true;
    }
    return put(header);
}

bool ZipWriter::deflateChunk(const char *data, qint64 size, int flush)
{
    z_stream &z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    z.avail_in = uInt(size);
    int status = Z_OK;
    do {
        z.next_out = reinterpret_cast<Bytef *>(m_stream->buffer.data());
        z.avail_out = kChunk;
        status = deflate(&z, flush);
        if (status == Z_STREAM_ERROR)
            return m_failed = true, false;
        const qint64 produced = kChunk - z.avail_out;
        if (produced > 0 && m_out.write(m_stream->buffer.constData(), produced) != produced)
            return m_failed = true, false;
        m_members.back().packed += produced;
    } while (z.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    return true;
}

bool ZipWriter::write(const char *data, qint64 size)
{
    if (m_failed || !m_open)
        return false;
    // small writes (an XML writer's) gather into chunks: deflate works best on big ones
    if (size < kChunk) {
        m_pending.append(data, size);
        return m_pending.size() < kChunk || flushPending();
    }
    return flushPending() && pass(data, size);
}

bool ZipWriter::flushPending()
{
    const QByteArray chunk = std::exchange(m_pending, QByteArray());
    m_pending.reserve(kChunk + 1024);
    return pass(chunk.constData(), chunk.size());
}

bool ZipWriter::pass(const char *data, qint64 size)
{
    Member &member = m_members.back();
    while (size > 0) { // zlib counts in 32 bits
        const qint64 part = std::min<qint64>(size, 1 << 30);
        member.crc = crc32(member.crc, reinterpret_cast<const Bytef *>(data), uInt(part));
        member.size += part;
        if (member.compressed) {
            if (!deflateChunk(data, part, Z_NO_FLUSH))
                return false;
        } else {
            if (m_out.write(data, part) != part)
                return m_failed = true, false;
            member.packed += part;
        }
        data += part;
        size -= part;
    }
    return true;
}

bool ZipWriter::end()
{
    if (m_failed || !m_open || !flushPending())
        return false;
    if (m_stream) {
        deflateChunk(nullptr, 0, Z_FINISH);
        deflateEnd(&m_stream->z);
        delete m_stream;
        m_stream = nullptr;
    }
    m_open = false;
    const Member &member = m_members.back();
    if (m_failed || member.packed > 0xFFFFFFFFu || member.size > 0xFFFFFFFFu)
        return m_failed = true, false; // past what a zip without its 64-bit extension holds
    const qint64 here = m_out.pos();
    QByteArray sizes;
    le32(sizes, member.crc);
    le32(sizes, quint32(member.packed));
    le32(sizes, quint32(member.size));
    if (!m_out.seek(member.offset + 14) || !put(sizes) || !m_out.seek(here))
        m_failed = true;
    return !m_failed;
}

bool ZipWriter::finish()
{
    if (m_failed || m_open)
        return false;
    const qint64 start = m_out.pos();
    QByteArray directory;
    for (const Member &member : m_members) {
        le32(directory, 0x02014b50);
        le16(directory, 20);
        le16(directory, 20);
        le16(directory, 0x0800);
        le16(directory, member.compressed ? 8 : 0);
        le16(directory, m_time);
        le16(directory, m_date);
        le32(directory, member.crc);
        le32(directory, quint32(member.packed));
        le32(directory, quint32(member.size));
        le16(directory, quint16(member.name.size()));
        le16(directory, 0);
        le16(directory, 0);
        le16(directory, 0);
        le16(directory, 0);
        le32(directory, 0);
        le32(directory, quint32(member.offset));
        directory += member.name;
    }
    const quint32 directorySize = quint32(directory.size());
    le32(directory, 0x06054b50);
    le16(directory, 0);
    le16(directory, 0);
    le16(directory, quint16(m_members.size()));
    le16(directory, quint16(m_members.size()));
    le32(directory, directorySize);
    le32(directory, quint32(start));
    le16(directory, 0);
    return put(directory);
}
