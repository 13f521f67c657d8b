#pragma once

#include <QByteArray>
#include <QDateTime>

#include <optional>

// A tagged value as the shared record files (CURUSERS.DAT, DFUNC.DAT) store it: a 2-byte
// little-endian type code, then the value's bytes. This system writes only Empty, Null and Date;
// any other value is kept byte for byte as it was read.
class TaggedValue
{
public:
    enum Type : quint16 { Empty = 0, Null = 1, Date = 7 };

    static TaggedValue empty();
    static TaggedValue null();
    static TaggedValue date(const QDateTime &when);

    // The value starting at offset; nothing when its type code has no known length or the value
    // runs past the end of the bytes.
    static std::optional<TaggedValue> parse(const QByteArray &bytes, int offset);

    quint16 type() const;
    // The whole value as stored: the type code and the value's bytes.
    const QByteArray &bytes() const { return m_bytes; }
    int size() const { return int(m_bytes.size()); }
    bool isNull() const { return type() == Null; }
    bool isDate() const { return type() == Date; }
    QDateTime dateTime() const;

    // Dates are days since 30 December 1899 with the time of day as the fraction.
    static double toSerial(const QDateTime &when);
    static QDateTime fromSerial(double serial);

private:
    explicit TaggedValue(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    QByteArray m_bytes;
};
