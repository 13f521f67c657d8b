#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The text of the files a host and a machine exchange through a session folder (EUROMAP 63): the
// job and session request the host writes, the response, the report's data file, the parameter
// list of GETID. Every file is a sequence of commands or lines ended by ';' (requests, responses,
// parameter lists) or a header line and a value line (data files).
namespace Euromap {
// One job: the commands after its JOB line, each without the ';'.
QByteArray jobText(const QString &jobName, const QString &logFile, const QStringList &commands);
QByteArray requestText(const QString &jobFile);
QString reportCommand(const QString &dataFile, const QStringList &parameters);

// A session response: PROCESSED, or ERROR with its layer's class and code and the machine's text.
struct Response
{
    bool processed = false;
    int errorClass = 0; // 1 session layer, 2 presentation layer
    int errorCode = 0;
    QString text;
};
// Nothing while the response is empty or not yet written up to its ';' (the machine is writing
// it), or when it holds neither PROCESSED nor ERROR.
std::optional<Response> parseResponse(const QByteArray &text);

// A report's data file: the parameter names (the header, which may be wrapped onto continuation
// lines that start with a blank) and one value each. A value the machine cannot give ('?') is
// null; strings lose their quotes; commas inside [...] or quotes do not separate values.
struct DataFile
{
    QStringList names;
    QList<std::optional<QString>> values;

    std::optional<QString> value(const QString &name) const;
    // The machine's own DATE (yyyymmdd) and TIME (hh:mm:ss); invalid when either is missing.
    QDateTime machineTime() const;
};
// Nothing when the file is empty or half-written: no value line yet, or fewer values than names.
std::optional<DataFile> parseDataFile(const QByteArray &text);

// The first field of each entry of a GETID file (name,type,length,...;): the parameters offered.
QStringList parseParameterList(const QByteArray &text);

// Splits a line at commas that are outside quotes and brackets; fields are trimmed.
QStringList splitFields(const QString &line);
} // namespace Euromap
