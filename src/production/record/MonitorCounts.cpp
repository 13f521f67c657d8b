#include "MonitorCounts.h"

#include "foundation/Database.h"

#include <QDate>
#include <QSettings>

#include <limits>

namespace {
const char *const kKeys[MonitorCounts::ColumnCount] = {"MachineColumn", "JobColumn", "DateColumn",
                                                       "ShiftColumn", "CountColumn"};

QString keyOf(int column)
{
    return QStringLiteral("MonitorImport/") + QString::fromLatin1(kKeys[column]);
}

// The names monitoring systems commonly give each column, compared without case and blanks.
const QStringList &commonNames(int column)
{
    static const QStringList names[MonitorCounts::ColumnCount] = {
        {"machine", "machinenumber", "machineno", "machine#", "press", "pressnumber", "workcenter",
         "station"},
        {"job", "jobnumber", "jobno", "job#", "part", "partnumber", "item", "order", "workorder"},
        {"date", "shiftdate", "productiondate", "day"},
        {"shift", "shiftnumber", "shiftno"},
        {"count", "mattec", "matteccount", "monitorcount", "parts", "goodparts", "good", "quantity", "qty",
         "total", "partcount", "produced"},
    };
    return names[column];
}

QString squeezed(const QString &name)
{
    QString text = name.toLower();
    text.remove(QLatin1Char(' '));
    text.remove(QLatin1Char('_'));
    text.remove(QLatin1Char('.'));
    return text;
}

QChar delimiterOf(const QString &headerLine)
{
    QChar best = QLatin1Char(',');
    for (const QChar candidate : {QLatin1Char(';'), QLatin1Char('\t')}) {
        if (headerLine.count(candidate) > headerLine.count(best))
            best = candidate;
    }
    return best;
}

QStringList fields(const QString &line, QChar delimiter)
{
    QStringList result;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == delimiter && !quoted) {
            result << field.trimmed();
            field.clear();
        } else {
            field += c;
        }
    }
    result << field.trimmed();
    return result;
}

// A count as monitors write it: digits, perhaps with thousands separators.
std::optional<qint64> countOf(QString text)
{
    text.remove(QLatin1Char(','));
    text.remove(QLatin1Char(' '));
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok && value >= 0 && value <= std::numeric_limits<qint32>::max() ? std::optional(value)
                                                                           : std::nullopt;
}

QDate dateOf(const QString &text)
{
    for (const char *format : {"MM/dd/yyyy", "M/d/yyyy", "yyyy-MM-dd", "yyyyMMdd"}) {
        const QDate date = QDate::fromString(text, QString::fromLatin1(format));
        if (date.isValid())
            return date;
    }
    return {};
}
} // namespace

QString MonitorCounts::Mapping::missing() const
{
    if (names[Machine].isEmpty())
        return QStringLiteral("The file has no column for the machine (a header such as \"Machine\").");
    if (names[Count].isEmpty())
        return QStringLiteral(
            "The file has no column for the count (a header such as \"Count\" or \"Parts\").");
    return {};
}

MonitorCounts::Mapping MonitorCounts::mappingFor(const QStringList &header, const QSettings &options)
{
    Mapping mapping;
    for (int column = 0; column < ColumnCount; ++column) {
        const QString stored = options.value(keyOf(column)).toString();
        if (!stored.isEmpty() && header.contains(stored)) {
            mapping.names[column] = stored;
            continue;
        }
        for (const QString &name : header) {
            if (commonNames(column).contains(squeezed(name))) {
                mapping.names[column] = name;
                break;
            }
        }
    }
    return mapping;
}

void MonitorCounts::storeMapping(const Mapping &mapping, QSettings &options)
{
    for (int column = 0; column < ColumnCount; ++column)
        options.setValue(keyOf(column), mapping.names[column]);
}

MonitorCounts::File MonitorCounts::read(const QByteArray &text, const QSettings &options)
{
    File file;
    QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    while (!lines.isEmpty() && lines.first().trimmed().isEmpty())
        lines.removeFirst();
    if (lines.isEmpty()) {
        file.error = QStringLiteral("The file is empty.");
        return file;
    }
    const QChar delimiter = delimiterOf(lines.first());
    file.header = fields(lines.first(), delimiter);
    const Mapping mapping = mappingFor(file.header, options);
    if (const QString missing = mapping.missing(); !missing.isEmpty()) {
        file.error = missing;
        return file;
    }
    int at[ColumnCount];
    for (int column = 0; column < ColumnCount; ++column)
        at[column] = mapping.names[column].isEmpty() ? -1 : int(file.header.indexOf(mapping.names[column]));
    for (qsizetype index = 1; index < lines.size(); ++index) {
        if (lines.at(index).trimmed().isEmpty())
            continue;
        const QStringList values = fields(lines.at(index), delimiter);
        const auto value = [&](int column) { return at[column] < 0 ? QString() : values.value(at[column]); };
        Row row;
        row.number = int(index + 1);
        row.text = lines.at(index).trimmed();
        bool ok = false;
        const int machine = value(Machine).toInt(&ok);
        if (ok)
            row.machine = machine;
        row.job = value(Job);
        row.count = countOf(value(Count));
        const QDate date = dateOf(value(Date));
        const int shift = value(Shift).toInt(&ok);
        if (date.isValid() && ok)
            row.dateShift = DateShift{date, shift};
        file.rows << row;
    }
    return file;
}

QString MonitorCounts::Match::describe() const
{
    const QString where = QStringLiteral("Machine %1, job %2").arg(*line.machineNumber).arg(line.jobNumber);
    switch (kind) {
    case Fill:
        return QStringLiteral("%1: Mattec Count %2.").arg(where).arg(*row.count);
    case Same:
        return QStringLiteral("%1: Mattec Count %2 as stored already.").arg(where).arg(*row.count);
    case Differs:
        return QStringLiteral("%1: the file says %2, the Mattec Count typed is %3.")
            .arg(where)
            .arg(*row.count)
            .arg(line.matecCount);
    }
    return {};
}

QStringList MonitorCounts::Plan::describe() const
{
    QStringList lines;
    for (const Match &match : matches)
        lines << match.describe();
    for (const Row &row : unmatched)
        lines << QStringLiteral("Row %1 matches no line: %2").arg(row.number).arg(row.text);
    return lines;
}

MonitorCounts::Plan MonitorCounts::plan(const QList<JobLine> &lines, const DateShift &dateShift,
                                        const QList<Row> &rows)
{
    Plan plan;
    for (const Row &row : rows) {
        if (row.dateShift &&
            !(row.dateShift->date == dateShift.date && row.dateShift->shift == dateShift.shift))
            continue;
        const JobLine *found = nullptr;
        // The machine's last line of the date-shift with the row's job (any job when the file has none).
        for (const JobLine &line : lines) {
            if (row.machine && line.machineNumber == row.machine && !line.protectedRecord &&
                (row.job.isEmpty() || row.job.compare(line.jobNumber, Qt::CaseInsensitive) == 0))
                found = &line;
        }
        if (!found || !row.count) {
            plan.unmatched << row;
            continue;
        }
        Match match;
        match.line = *found;
        match.row = row;
        match.kind = found->matecCount == *row.count ? Match::Same
                     : found->matecCount == 0        ? Match::Fill
                                                     : Match::Differs;
        plan.matches << match;
    }
    return plan;
}

bool MonitorCounts::store(Database &db, const Plan &plan, bool changeDiffering)
{
    JobLines lines(db);
    Transaction transaction(db);
    for (const Match &match : plan.matches) {
        if (match.kind == Match::Same || (match.kind == Match::Differs && !changeDiffering))
            continue;
        if (!lines.setCount(match.line.jobId, CountField::Mattec, *match.row.count, match.line.matecCount))
            return false;
    }
    transaction.commit();
    return true;
}
