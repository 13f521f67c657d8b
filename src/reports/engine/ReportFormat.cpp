#include "ReportFormat.h"

#include <QLocale>
#include <cmath>

namespace {
bool isNumberFormat(const QString &format)
{
    if (format.isEmpty())
        return false;
    for (const QChar c : format) {
        if (c != '#' && c != '0' && c != ',' && c != '.')
            return false;
    }
    return true;
}

// "1,234,567": a report of a year formats millions of these.
QString grouped(qlonglong whole)
{
    char16_t text[32];
    int at = 32;
    qulonglong rest = whole < 0 ? 0 - qulonglong(whole) : qulonglong(whole);
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0)
            text[--at] = u',';
        text[--at] = char16_t(u'0' + rest % 10);
        rest /= 10;
        ++digits;
    } while (rest > 0);
    if (whole < 0)
        text[--at] = u'-';
    return QString::fromUtf16(text + at, 32 - at);
}
} // namespace

QString ReportFormat::number(double value, const QString &format)
{
    const int dot = format.indexOf('.');
    const int decimals = dot < 0 ? 0 : format.size() - dot - 1;
    const bool zeroShows = format.isEmpty() || format.endsWith('0') || (dot > 0 && format[dot - 1] == '0');
    if (value == 0 && !zeroShows)
        return {};
    const bool groups = format.contains(',');
    if (decimals == 0) {
        const qlonglong whole = std::llround(value);
        return groups ? grouped(whole) : QString::number(whole);
    }
    QString text = QString::number(std::fabs(value), 'f', decimals);
    if (groups) {
        const int point = text.indexOf('.');
        text = grouped(text.left(point).toLongLong()) + text.mid(point);
    }
    return value < 0 ? '-' + text : text;
}

QString ReportFormat::value(const QVariant &value, const QString &format)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return QLocale().toString(value.toDate(), format.isEmpty() ? QStringLiteral("MM/dd/yyyy") : format);
    case QMetaType::QDateTime:
        return QLocale().toString(value.toDateTime(),
                                  format.isEmpty() ? QStringLiteral("MM/dd/yyyy hh:mm") : format);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        if (format == QLatin1String("Yes/No"))
            return value.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
        if (isNumberFormat(format) || format.isEmpty())
            return number(value.toDouble(), format.isEmpty() ? QStringLiteral("0") : format);
        break;
    default:
        break;
    }
    return value.toString();
}

QString ReportFormat::fill(const QString &text, const std::function<QVariant(const QString &)> &lookup)
{
    QString result;
    int at = 0;
    while (at < text.size()) {
        const int open = text.indexOf('{', at);
        const int close = open < 0 ? -1 : text.indexOf('}', open);
        if (close < 0) {
            result += text.mid(at);
            break;
        }
        result += text.mid(at, open - at);
        const QString inner = text.mid(open + 1, close - open - 1);
        const int bar = inner.indexOf('|');
        const QString fallback = bar < 0 ? QString() : inner.mid(bar + 1);
        const QString token = bar < 0 ? inner : inner.left(bar);
        const int colon = token.indexOf(':');
        const QString name = colon < 0 ? token : token.left(colon);
        const QString written = value(lookup(name), colon < 0 ? QString() : token.mid(colon + 1));
        result += written.isEmpty() ? fallback : written;
        at = close + 1;
    }
    return result;
}

QMap<QString, QString> ReportFormat::formulaValues(const QStringList &entries)
{
    QMap<QString, QString> values;
    for (const QString &entry : entries) {
        const int equals = entry.indexOf('=');
        if (equals <= 0)
            continue;
        QString value = entry.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('\'') && value.endsWith('\''))
            value = value.mid(1, value.size() - 2);
        values.insert(entry.left(equals).trimmed(), value);
    }
    return values;
}
