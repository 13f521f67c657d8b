#include "ZipReader.h"

#include <QtEndian>
#include <zlib.h>

namespace {
constexpr int kChunk = 64 * 1024;
constexpr qint64 kEndRecord = 22; // the end of central directory record without its comment
constexpr qint64 kCentralHeader = 46, kLocalHeader = 30;

quint16 le16(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 le32(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}
} // namespace

ZipReader::ZipReader(QIODevice &in) : m_in(in)
{
    m_ok = readDirectory();
}

bool ZipReader::readDirectory()
{
    // the end record is the last thing in the archive, before a comment of at most 64 KiB
    const qint64 size = m_in.size();
    const qint64 tail = std::min<qint64>(size, kEndRecord + 0xFFFF);
    if (size < kEndRecord || !m_in.seek(size - tail))
        return false;
    const QByteArray end = m_in.read(tail);
    const int at = int(end.lastIndexOf(QByteArrayLiteral("PK\x05\x06")));
    if (at < 0 || end.size() - at < kEndRecord)
        return false;
    const quint16 count = le16(end, at + 10);
    const quint32 directorySize = le32(end, at + 12);
    const quint32 directoryOffset = le32(end, at + 16);
    if (directoryOffset == 0xFFFFFFFFu || qint64(directoryOffset) + directorySize > size ||
        !m_in.seek(directoryOffset))
        return false;
    const QByteArray directory = m_in.read(directorySize);
    if (directory.size() != qint64(directorySize))
        return false;
    int pos = 0;
    for (int i = 0; i < count; ++i) {
        if (directory.size() - pos < kCentralHeader || le32(directory, pos) != 0x02014b50u)
            return false;
        Member member;
        member.method = le16(directory, pos + 10);
        member.crc = le32(directory, pos + 16);
        member.packed = le32(directory, pos + 20);
        member.size = le32(directory, pos + 24);
        member.offset = le32(directory, pos + 42);
        const int nameLength = le16(directory, pos + 28);
        const int skip = nameLength + le16(directory, pos + 30) + le16(directory, pos + 32);
        if (directory.size() - pos - kCentralHeader < skip || member.packed == 0xFFFFFFFFu ||
            member.size == 0xFFFFFFFFu || member.offset == 0xFFFFFFFFu)
            return false;
        member.name = directory.mid(pos + kCentralHeader, nameLength);
        m_members.append(member);
        pos += int(kCentralHeader) + skip;
    }
    return true;
}

bool ZipReader::read(const Member &member, const std::function<bool(const char *, qint64)> &sink)
{
    if (!m_ok || (member.method != 0 && member.method != 8) || !m_in.seek(member.offset))
        return false;
    const QByteArray local = m_in.read(kLocalHeader);
    if (local.size() != kLocalHeader || le32(local, 0) != 0x04034b50u ||
        !m_in.seek(member.offset + kLocalHeader + le16(local, 26) + le16(local, 28)))
        return false;
    z_stream z{};
    if (member.method == 8 && inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    QByteArray out(kChunk, Qt::Uninitialized);
    quint32 crc = crc32(0, nullptr, 0);
    quint64 left = member.packed, produced = 0;
    int status = Z_OK;
    bool good = true;
    while (good && left > 0 && status != Z_STREAM_END) {
        const QByteArray in = m_in.read(qint64(std::min<quint64>(left, kChunk)));
        good = !in.isEmpty();
        left -= quint64(in.size());
        if (member.method == 0) {
            crc = crc32(crc, reinterpret_cast<const Bytef *>(in.constData()), uInt(in.size()));
            produced += quint64(in.size());
            good = good && sink(in.constData(), in.size());
            continue;
        }
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
        z.avail_in = uInt(in.size());
        do {
            z.next_out = reinterpret_cast<Bytef *>(out.data());
            z.avail_out = kChunk;
            status = inflate(&z, Z_NO_FLUSH);
            const qint64 got = kChunk - z.avail_out;
            if (status == Z_BUF_ERROR && got == 0) // the output filled just as the input ran out
                status = Z_OK;
            crc = crc32(crc, reinterpret_cast<const Bytef *>(out.constData()), uInt(got));
            produced += quint64(got);
            good = (status == Z_OK || status == Z_STREAM_END) && (got == 0 || sink(out.constData(), got));
        } while (good && z.avail_out == 0 && status != Z_STREAM_END);
    }
    if (member.method == 8)
        inflateEnd(&z);
    return good && (member.method == 0 || status == Z_STREAM_END) && produced == member.size &&
           crc == member.crc;
}
