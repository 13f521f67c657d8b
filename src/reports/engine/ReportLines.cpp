#include "ReportLines.h"

#include "ReportError.h"

#include <QDataStream>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <cerrno>
#include <cstring>
#include <unistd.h>

// A record: its length (quint32, itself included), kind, level, text, then the cells, the size of
// what follows, the values and the keys, each list its count and its items. A string is its length in UTF-16
// units (-1 for a null string) and its units; a value a tag and its data. The file is read only by this
// process, so numbers are in the machine's own order.
namespace {
enum Tag : char { Invalid, Text, LongLong, Int, Double, Bool, Date, LocalDateTime, Streamed };

constexpr qint64 kFlushAt = 1 << 20;
constexpr qint64 kReadChunk = 1 << 18;

// Up to `size` bytes at `offset`, whatever other readers of the descriptor do meanwhile; -1 on error.
qint64 readAt(int handle, char *into, qint64 size, qint64 offset)
{
    ssize_t read;
    do
        read = ::pread(handle, into, size_t(size), off_t(offset));
    while (read < 0 && errno == EINTR);
    return read;
}

template <typename T> void put(QByteArray &out, T value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

void putString(QByteArray &out, const QString &text)
{
    put<qint32>(out, text.isNull() ? -1 : qint32(text.size()));
    out.append(reinterpret_cast<const char *>(text.constData()), text.size() * qsizetype(sizeof(QChar)));
}

void putValue(QByteArray &out, const QVariant &value)
{
    const bool typedNull = value.isValid() && value.isNull();
    const int type = typedNull ? -1 : value.typeId();
    switch (type) {
    case QMetaType::UnknownType:
        out.append(Invalid);
        return;
    case QMetaType::QString:
        out.append(Text);
        putString(out, value.toString());
        return;
    case QMetaType::LongLong:
        out.append(LongLong);
        put<qint64>(out, value.toLongLong());
        return;
    case QMetaType::Int:
        out.append(Int);
        put<qint32>(out, value.toInt());
        return;
    case QMetaType::Double:
        out.append(Double);
        put<double>(out, value.toDouble());
        return;
    case QMetaType::Bool:
        out.append(Bool);
        out.append(char(value.toBool()));
        return;
    case QMetaType::QDate:
        out.append(Date);
        put<qint64>(out, value.toDate().toJulianDay());
        return;
    case QMetaType::QDateTime: {
        const QDateTime when = value.toDateTime();
        if (when.timeSpec() == Qt::LocalTime && when.isValid()) {
            out.append(LocalDateTime);
            put<qint64>(out, when.date().toJulianDay());
            put<qint32>(out, when.time().msecsSinceStartOfDay());
            return;
        }
        break;
    }
    default:
        break;
    }
    // anything else the way Qt streams it
    QByteArray streamed;
    QDataStream stream(&streamed, QIODevice::WriteOnly);
    stream << value;
    out.append(Streamed);
    put<qint32>(out, qint32(streamed.size()));
    out.append(streamed);
}

void putList(QByteArray &out, const QVector<QVariant> &values)
{
    put<qint32>(out, qint32(values.size()));
    for (const QVariant &value : values)
        putValue(out, value);
}

// Reads the parts of one record, which lies whole in memory.
class RecordReader
{
public:
    explicit RecordReader(const char *data) : m_at(data) {}

    template <typename T> T take()
    {
        T value;
        std::memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }

    void string(QString &text)
    {
        const qint32 size = take<qint32>();
        if (size < 0) {
            text = QString();
            return;
        }
        text.resize(size); // keeps the string's memory when it is the reader's own
        std::memcpy(static_cast<void *>(text.data()), m_at, size * sizeof(QChar));
        m_at += size * sizeof(QChar);
    }

    QVariant value()
    {
        switch (take<char>()) {
        case Text: {
            QString text;
            string(text);
            return text;
        }
        case LongLong:
            return take<qint64>();
        case Int:
            return take<qint32>();
        case Double:
            return take<double>();
        case Bool:
            return bool(take<char>());
        case Date:
            return QDate::fromJulianDay(take<qint64>());
        case LocalDateTime: {
            const QDate date = QDate::fromJulianDay(take<qint64>());
            return QDateTime(date, QTime::fromMSecsSinceStartOfDay(take<qint32>()));
        }
        case Streamed: {
            const qint32 size = take<qint32>();
            QDataStream stream(QByteArray::fromRawData(m_at, size));
            m_at += size;
            QVariant value;
            stream >> value;
            return value;
        }
        default:
            return {};
        }
    }

    void list(QVector<QVariant> &values)
    {
        values.resize(take<qint32>());
        for (QVariant &value : values)
            value = this->value();
    }

private:
    const char *m_at;
};
} // namespace

ReportLineSpool::ReportLineSpool() : m_file(QDir::tempPath() + QStringLiteral("/kelvara-report-XXXXXX"))
{
    if (!m_file.open())
        throw ReportError(ReportError::Data, QStringLiteral("The report's lines cannot be kept in \"%1\": %2")
                                                 .arg(QDir::tempPath(), m_file.errorString()));
    // Its name goes at once; what was written stays readable through the open descriptor.
    m_file.setAutoRemove(false);
    QFile::remove(m_file.fileName());
    m_buffer.reserve(kFlushAt + 4096);
}

void ReportLineSpool::append(const ReportLine &line)
{
    const qsizetype start = m_buffer.size();
    put<quint32>(m_buffer, 0); // the length, filled in below
    m_buffer.append(char(line.kind));
    put<qint32>(m_buffer, line.level);
    putString(m_buffer, line.text);
    put<qint32>(m_buffer, qint32(line.cells.size()));
    for (const QString &cell : line.cells)
        putString(m_buffer, cell);
    const qsizetype values = m_buffer.size();
    put<qint32>(m_buffer, 0); // the size of the values and keys, for a reader that skips them
    putList(m_buffer, line.values);
    putList(m_buffer, line.keys);
    const qint32 valuesSize = qint32(m_buffer.size() - values - sizeof(qint32));
    std::memcpy(m_buffer.data() + values, &valuesSize, sizeof valuesSize);
    const quint32 length = quint32(m_buffer.size() - start);
    std::memcpy(m_buffer.data() + start, &length, sizeof length);
    if (m_widest.size() < line.cells.size())
        m_widest.resize(line.cells.size());
    for (int i = 0; i < line.cells.size(); ++i)
        m_widest[i] = std::max<int>(m_widest[i], line.cells[i].size());
    m_widestCaption = std::max(m_widestCaption, line.captionLength());
    ++m_count;
    if (m_buffer.size() >= kFlushAt)
        flush();
}

void ReportLineSpool::finish()
{
    flush();
    if (!m_file.flush())
        throw ReportError(ReportError::Data,
                          QStringLiteral("The report's lines cannot be kept: %1").arg(m_file.errorString()));
}

void ReportLineSpool::flush()
{
    if (m_file.write(m_buffer) != m_buffer.size())
        throw ReportError(ReportError::Data, QStringLiteral("The report's lines cannot be kept in \"%1\": %2")
                                                 .arg(QDir::tempPath(), m_file.errorString()));
    m_buffer.clear();
}

ReportLineReader::ReportLineReader(const QVector<ReportLine> *lines, const ReportLineSpool *spool,
                                   bool withValues)
    : m_lines(lines), m_withValues(withValues)
{
    if (spool)
        m_handle = spool->handle();
}

qint64 ReportLineReader::position() const
{
    return m_handle >= 0 ? m_bufferAt + m_offset : m_index;
}

void ReportLineReader::seek(qint64 position)
{
    if (m_handle < 0) {
        m_index = position;
        return;
    }
    if (position >= m_bufferAt && position <= m_bufferAt + m_buffer.size()) {
        m_offset = position - m_bufferAt; // already read: a page that follows the one before
        return;
    }
    m_buffer.clear();
    m_bufferAt = position;
    m_offset = 0;
}

// At least `wanted` bytes from the next record on in the buffer; false when the file ends first.
bool ReportLineReader::fill(qint64 wanted)
{
    if (m_buffer.size() - m_offset >= wanted)
        return true;
    m_buffer.remove(0, m_offset);
    m_bufferAt += m_offset;
    m_offset = 0;
    while (m_buffer.size() < wanted) {
        const qsizetype had = m_buffer.size();
        m_buffer.resize(had + std::max<qint64>(kReadChunk, wanted - had));
        const qint64 read = readAt(m_handle, m_buffer.data() + had, m_buffer.size() - had, m_bufferAt + had);
        const int readError = errno; // before anything else may set it
        m_buffer.resize(had + std::max<qint64>(read, 0));
        if (read < 0)
            throw ReportError(
                ReportError::Data,
                QStringLiteral("The report's lines cannot be read back from the temporary folder "
                               "\"%1\": %2")
                    .arg(QDir::tempPath(), QString::fromLocal8Bit(std::strerror(readError))));
        if (read == 0)
            return false;
    }
    return true;
}

bool ReportLineReader::next(ReportLine &line)
{
    if (m_handle < 0) {
        if (!m_lines || m_index >= m_lines->size())
            return false;
        line = m_lines->at(m_index++);
        return true;
    }
    quint32 length = 0;
    if (!fill(sizeof length))
        return false;
    std::memcpy(&length, m_buffer.constData() + m_offset, sizeof length);
    if (!fill(length))
        throw ReportError(ReportError::Data,
                          QStringLiteral("The report's lines were cut short in the temporary folder \"%1\".")
                              .arg(QDir::tempPath()));
    RecordReader record(m_buffer.constData() + m_offset + sizeof length);
    line.kind = ReportLine::Kind(record.take<char>());
    line.level = record.take<qint32>();
    record.string(line.text);
    line.cells.resize(record.take<qint32>());
    for (QString &cell : line.cells)
        record.string(cell);
    if (m_withValues) {
        record.take<qint32>();
        record.list(line.values);
        record.list(line.keys);
    } else {
        line.values.clear();
        line.keys.clear();
    }
    m_offset += length;
    return true;
}
