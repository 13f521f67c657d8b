#include "TaggedValue.h"

#include <QtEndian>
#include <cmath>
#include <cstring>

namespace {
const QDate kSerialEpoch(1899, 12, 30);
constexpr double kMsecsPerDay = 86400000.0;

QByteArray typeCode(quint16 type)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian<quint16>(type, bytes.data());
    return bytes;
}

// Length of the value after its type code, for the types the record files may hold; -1 for a
// type whose length depends on the value (strings) and -2 for an unknown type.
int fixedLength(quint16 type)
{
    switch (type) {
    case 0:
    case 1:
        return 0; // empty, null
    case 17:
        return 1; // byte
    case 2:
    case 11:
        return 2; // integer, boolean
    case 3:
    case 4:
    case 10:
        return 4; // long, single, error
    case 5:
    case 6:
    case 7:
    case 20:
        return 8; // double, currency, date, 64-bit integer
    case 8:
        return -1; // string: 2-byte length, then the characters
    default:
        return -2;
    }
}
} // namespace

TaggedValue TaggedValue::empty()
{
    return TaggedValue(typeCode(Empty));
}
TaggedValue TaggedValue::null()
{
    return TaggedValue(typeCode(Null));
}

TaggedValue TaggedValue::date(const QDateTime &when)
{
    QByteArray bytes = typeCode(Date);
    const double serial = toSerial(when);
    quint64 bits = 0;
    std::memcpy(&bits, &serial, sizeof bits);
    QByteArray value(8, '\0');
    qToLittleEndian<quint64>(bits, value.data());
    return TaggedValue(bytes + value);
}

std::optional<TaggedValue> TaggedValue::parse(const QByteArray &bytes, int offset)
{
    if (offset < 0 || offset + 2 > bytes.size())
        return std::nullopt;
    const quint16 type = qFromLittleEndian<quint16>(bytes.constData() + offset);
    int length = fixedLength(type);
    if (length == -2)
        return std::nullopt;
    if (length == -1) {
        if (offset + 4 > bytes.size())
            return std::nullopt;
        length = 2 + qFromLittleEndian<quint16>(bytes.constData() + offset + 2);
    }
    if (offset + 2 + length > bytes.size())
        return std::nullopt;
    return TaggedValue(bytes.mid(offset, 2 + length));
}

quint16 TaggedValue::type() const
{
    return qFromLittleEndian<quint16>(m_bytes.constData());
}

QDateTime TaggedValue::dateTime() const
{
    if (!isDate() || m_bytes.size() < 10)
        return {};
    const quint64 bits = qFromLittleEndian<quint64>(m_bytes.constData() + 2);
    double serial = 0;
    std::memcpy(&serial, &bits, sizeof serial);
    return fromSerial(serial);
}

double TaggedValue::toSerial(const QDateTime &when)
{
    const double days = double(kSerialEpoch.daysTo(when.date()));
    const double fraction = when.time().msecsSinceStartOfDay() / kMsecsPerDay;
    // Before the epoch the whole days count down while the time of day still counts up.
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime TaggedValue::fromSerial(double serial)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 3e6)
        return {};
    const double whole = std::trunc(serial);
    const double fraction = std::fabs(serial - whole);
    const qint64 msecs = std::llround(fraction * kMsecsPerDay);
    // Round to the second, as the files store no finer time.
    const QTime time =
        QTime::fromMSecsSinceStartOfDay(int(std::min<qint64>((msecs + 500) / 1000 * 1000, 86399000)));
    return QDateTime(kSerialEpoch.addDays(qint64(whole)), time);
}
