#include "Euromap.h"

namespace {
// The identifier of the one command of a session request; a host that sends one request per
// session may use the same each time.
const char *kCommandId = "00000001";

QString unquoted(const QString &field)
{
    if (field.size() >= 2 && field.startsWith(QLatin1Char('"')) && field.endsWith(QLatin1Char('"')))
        return field.mid(1, field.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return field;
}

// The lines of a file, a continuation line (one starting with a blank) joined to the line before.
QStringList logicalLines(const QByteArray &text)
{
    QStringList lines;
    for (QString line : QString::fromLatin1(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith(QLatin1Char(' ')) && !lines.isEmpty())
            lines.last() += line.trimmed();
        else
            lines << line.trimmed();
    }
    return lines;
}

QString withoutSemicolon(QString line)
{
    line = line.trimmed();
    if (line.endsWith(QLatin1Char(';')))
        line.chop(1);
    return line;
}
} // namespace

QByteArray Euromap::jobText(const QString &jobName, const QString &logFile, const QStringList &commands)
{
    QString text = QStringLiteral("JOB %1 RESPONSE \"%2\";\r\n").arg(jobName, logFile);
    for (const QString &command : commands)
        text += command + QStringLiteral(";\r\n");
    return text.toLatin1();
}

QByteArray Euromap::requestText(const QString &jobFile)
{
    return QStringLiteral("%1 EXECUTE \"%2\";\r\n").arg(QLatin1String(kCommandId), jobFile).toLatin1();
}

QString Euromap::reportCommand(const QString &dataFile, const QStringList &parameters)
{
    // Without a CYCLIC clause the machine writes the report once and the job ends.
    return QStringLiteral("REPORT KLVREAD REWRITE \"%1\" START IMMEDIATE PARAMETERS %2")
        .arg(dataFile, parameters.join(QLatin1Char(',')));
}

std::optional<Euromap::Response> Euromap::parseResponse(const QByteArray &text)
{
    const QString whole = QString::fromLatin1(text).trimmed();
    if (!whole.endsWith(QLatin1Char(';')))
        return std::nullopt;
    const QStringList words = withoutSemicolon(whole).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() >= 2 && words.at(1) == QLatin1String("PROCESSED"))
        return Response{true, 0, 0, {}};
    if (words.size() >= 4 && words.at(1) == QLatin1String("ERROR")) {
        Response response;
        response.errorClass = words.at(2).toInt();
        response.errorCode = words.at(3).toInt();
        const qsizetype quote = whole.indexOf(QLatin1Char('"'));
        if (quote >= 0)
            response.text = unquoted(withoutSemicolon(whole.mid(quote)));
        return response;
    }
    return std::nullopt;
}

QStringList Euromap::splitFields(const QString &line)
{
    QStringList fields;
    QString field;
    bool inQuotes = false;
    int brackets = 0;
    for (const QChar c : line) {
        if (c == QLatin1Char('"'))
            inQuotes = !inQuotes;
        else if (!inQuotes && c == QLatin1Char('['))
            ++brackets;
        else if (!inQuotes && c == QLatin1Char(']') && brackets > 0)
            --brackets;
        if (c == QLatin1Char(',') && !inQuotes && brackets == 0) {
            fields << field.trimmed();
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field.trimmed();
    return fields;
}

std::optional<QString> Euromap::DataFile::value(const QString &name) const
{
    const qsizetype at = names.indexOf(name);
    return at < 0 ? std::nullopt : values.at(at);
}

QDateTime Euromap::DataFile::machineTime() const
{
    const auto date = value(QStringLiteral("DATE"));
    const auto time = value(QStringLiteral("TIME"));
    if (!date || !time)
        return {};
    return QDateTime(QDate::fromString(*date, QStringLiteral("yyyyMMdd")),
                     QTime::fromString(*time, QStringLiteral("hh:mm:ss")));
}

std::optional<Euromap::DataFile> Euromap::parseDataFile(const QByteArray &text)
{
    const QStringList lines = logicalLines(text);
    if (lines.size() < 2)
        return std::nullopt;
    DataFile file;
    file.names = splitFields(withoutSemicolon(lines.at(0)));
    const QStringList values = splitFields(withoutSemicolon(lines.at(1)));
    if (file.names.contains(QString()) || values.size() != file.names.size())
        return std::nullopt;
    for (const QString &value : values) {
        if (value == QLatin1String("?"))
            file.values << std::nullopt;
        else
            file.values << unquoted(value);
    }
    return file;
}

QStringList Euromap::parseParameterList(const QByteArray &text)
{
    QStringList names;
    for (const QString &entry : QString::fromLatin1(text).split(QLatin1Char(';'))) {
        const QString name = splitFields(entry.trimmed()).value(0);
        if (!name.isEmpty())
            names << name;
    }
    return names;
}
